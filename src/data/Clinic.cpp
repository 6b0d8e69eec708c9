#include "Clinic.h"

#include "AppContext.h"
#include "DbError.h"
#include "TextHelpers.h"
#include "Transaction.h"

#include <QSqlQuery>

namespace tramelle {

namespace {
// Numbers printed on the video order form. Both lie in the 555-01xx range that is
// reserved for fictitious use.
const QString VendorFaxNumber = QStringLiteral("(800) 555-0147");
const QString VendorPhoneNumber = QStringLiteral("(800) 555-0123");
} // namespace

void LoadClinicInfo(AppContext& ctx)
{
    QSqlQuery q = Exec(
        ctx.Db.MainDb(),
        QStringLiteral("SELECT Name, Phone, ShipAddr, ShipMethod, BillAddr, PayMethod, CardNum, "
                       "CardDate, NameOnCard FROM Clinic ORDER BY rowid LIMIT 1"));
    ClinicInfo c;
    if (q.next()) {
        c.Name = NullToText(q.value(0));
        c.Phone = NullToText(q.value(1));
        c.ShipAddr = NullToText(q.value(2));
        c.ShipMethod = NullToText(q.value(3));
        c.BillAddr = NullToText(q.value(4));
        c.PayMethod = NullToText(q.value(5));
        c.CardNum = NullToText(q.value(6));
        c.CardDate = ToNullableDate(q.value(7));
        c.NameOnCard = NullToText(q.value(8));
    }
    ctx.Clinic = c;
}

void SaveClinicInfo(AppContext& ctx)
{
    const ClinicInfo& c = ctx.Clinic;
    const QVariantList values{c.Name,      c.Phone,     c.ShipAddr, c.ShipMethod,
                              c.BillAddr,  c.PayMethod, c.CardNum,  DateToDb(c.CardDate),
                              c.NameOnCard};
    const QSqlDatabase db = ctx.Db.MainDb();
    Transaction transaction(db);
    QSqlQuery first = Exec(db, QStringLiteral("SELECT rowid FROM Clinic ORDER BY rowid LIMIT 1"));
    if (first.next()) {
        const qint64 row = first.value(0).toLongLong();
        first.finish();
        Exec(db,
             QStringLiteral(
                 "UPDATE Clinic SET Name = ?, Phone = ?, ShipAddr = ?, ShipMethod = ?, BillAddr = "
                 "?, "
                 "PayMethod = ?, CardNum = ?, CardDate = ?, NameOnCard = ? WHERE rowid = ?"),
             values + QVariantList{row});
    } else {
        first.finish();
        Exec(db,
             QStringLiteral("INSERT INTO Clinic (Name, Phone, ShipAddr, ShipMethod, BillAddr, "
                            "PayMethod, CardNum, "
                            "CardDate, NameOnCard) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
             values);
    }
    transaction.Commit();
}

Outcome LoadVendorContacts(AppContext& ctx)
{
    ctx.VendorFax = VendorFaxNumber;
    ctx.VendorPhone = VendorPhoneNumber;
    Result<QString> cover = ReadCoverText(ctx);
    ctx.CoverText = cover ? std::move(cover.Value()) : QString();
    return cover ? Outcome::Done() : Outcome::Failed(cover.Reason());
}

} // namespace tramelle
