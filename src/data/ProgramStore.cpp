#include "ProgramStore.h"
#include "Outcome.h"

#include "AppContext.h"
#include "DbError.h"
#include "LibraryCache.h"
#include "TextHelpers.h"
#include "Transaction.h"

#include <QCoreApplication>
#include <QLocale>
#include <QSqlQuery>
#include <QSqlRecord>

namespace tramelle {

namespace {

// The messages of this file, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(tramelle::ProgramStore)
};

// An empty method is stored as NULL, not as "".
QVariant TextOrNull(const QString& text)
{
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

// Writes the program as a new stored program, replacing the stored program `replacedId`
// when `replace` is set, in one transaction. Returns the new InvoiceID.
qint32 WriteProgram(const QSqlDatabase& db, const ProgramState& p, bool replace, qint32 replacedId)
{
    Transaction transaction(db);
    if (replace)
        Exec(db, QStringLiteral("DELETE FROM Invoice WHERE InvoiceID = ?"), {replacedId});

    QSqlQuery invoice = Exec(
        db,
        QStringLiteral(
            "INSERT INTO Invoice (PatientID, Date, Provider, Usage, BillAddr, PayMethod, CardNum, "
            "CardDate, NameOnCard, Tax, ShipAddr, ShipPhone, ShipMethod) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {*p.PatientID, DateToDb(p.Date), p.Provider, p.Usage, p.BillAddr, TextOrNull(p.PayMethod),
         p.CardNum, DateToDb(p.CardDate), p.NameOnCard, int(p.Tax), p.ShipAddr, p.ShipPhone,
         TextOrNull(p.ShipMethod)});
    const QVariant newId = invoice.lastInsertId();
    if (!newId.isValid())
        throw DbError(Texts::tr("The new stored program has no InvoiceID"));
    const qint32 id = static_cast<qint32>(newId.toLongLong());

    if (p.EntryCount > 0) {
        QSqlQuery ex(db);
        ThrowIfFailed(
            ex,
            ex.prepare(QStringLiteral(
                "INSERT INTO Exercise (InvoiceID, AbbrevDesc, code, Desc, ExerciseID, Hold, Icon, "
                "Movie, Instruct0, Instruct1, Instruct2, Picture0, Picture1, Picture2, RankOnTape, "
                "Reps, Sets, HasVideo, VideoReps, VideoHold, VideoSets) "
                "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")));
        for (int i = 0; i < p.EntryCount && i < MaxProgramEntries; ++i) {
            const ProgramEntry& e = p.Entries[static_cast<size_t>(i)];
            // 16-bit values go in as int: the driver would bind a short as text.
            const QVariantList values{id,
                                      e.AbbrevDesc,
                                      e.code,
                                      e.Desc,
                                      e.ExerciseID,
                                      int(e.Hold),
                                      e.Icon,
                                      e.Movie,
                                      e.Instruct0,
                                      e.Instruct1,
                                      e.Instruct2,
                                      e.Picture0,
                                      e.Picture1,
                                      e.Picture2,
                                      i,
                                      int(e.Reps),
                                      int(e.Sets),
                                      e.HasVideo ? 1 : 0,
                                      int(e.VideoReps),
                                      int(e.VideoHold),
                                      int(e.VideoSets)};
            for (int v = 0; v < values.size(); ++v)
                ex.bindValue(v, values[v]);
            ThrowIfFailed(ex, ex.exec());
        }
    }

    if (p.OrderItemCount > 0) {
        QSqlQuery items(db);
        ThrowIfFailed(
            items,
            items.prepare(QStringLiteral(
                "INSERT INTO Items (InvoiceID, PartNumber, Description, Qty, Price, RankOnOrder) "
                "VALUES (?, ?, ?, ?, ?, ?)")));
        for (int i = 0; i < p.OrderItemCount && i < MaxOrderItems; ++i) {
            const OrderItem& item = p.OrderItems[static_cast<size_t>(i)];
            const QVariantList values{
                id, item.PartNumber, item.Description, int(item.Qty), item.Price.Raw, i};
            for (int v = 0; v < values.size(); ++v)
                items.bindValue(v, values[v]);
            ThrowIfFailed(items, items.exec());
        }
    }
    transaction.Commit();
    return id;
}

// A program with no stored row: dated today, the clinic's order defaults, the provider
// last used.
void StartNewProgram(const AppContext& ctx, ProgramState& p)
{
    const ClinicInfo& c = ctx.Clinic;
    p.InvoiceID.reset();
    p.Provider = ctx.Settings.DefaultProvider;
    p.Usage.clear();
    p.Date = QDate::currentDate().startOfDay();
    p.BillAddr = c.BillAddr;
    p.CardDate = c.CardDate;
    p.CardNum = c.CardNum;
    p.NameOnCard = c.NameOnCard;
    p.PayMethod = c.PayMethod;
    p.ShipAddr = c.ShipAddr;
    p.ShipMethod = c.ShipMethod;
    p.ShipPhone = c.Phone;
    p.Tax = 0;
}

void ReadHeader(const QSqlQuery& q, ProgramState& p)
{
    const QSqlRecord r = q.record();
    auto value = [&](const char* column) { return q.value(r.indexOf(QLatin1String(column))); };
    p.InvoiceID = static_cast<qint32>(value("InvoiceID").toLongLong());
    p.Provider = NullToText(value("Provider"));
    p.Usage = NullToText(value("Usage"));
    p.BillAddr = NullToText(value("BillAddr"));
    p.CardNum = NullToText(value("CardNum"));
    p.NameOnCard = NullToText(value("NameOnCard"));
    p.PayMethod = NullToText(value("PayMethod"));
    p.ShipAddr = NullToText(value("ShipAddr"));
    p.ShipPhone = NullToText(value("ShipPhone"));
    p.ShipMethod = NullToText(value("ShipMethod"));
    p.Date = ToDateOrDefault(value("Date"));
    p.CardDate = ToNullableDate(value("CardDate"));
    p.Tax = StoredInteger(value("Tax"));
}

void ReadEntries(const QSqlDatabase& db, qint32 invoice, ProgramState& p)
{
    QSqlQuery q =
        Exec(db, QStringLiteral("SELECT * FROM Exercise WHERE InvoiceID = ? ORDER BY RankOnTape"),
             {invoice});
    const EntryColumns columns(q.record());
    while (q.next()) {
        if (p.EntryCount >= MaxProgramEntries)
            throw DbError(Texts::tr("The stored program %1 holds more than %2 exercises")
                              .arg(invoice)
                              .arg(MaxProgramEntries));
        p.Entries[static_cast<size_t>(p.EntryCount++)] = ReadEntry(q, columns);
    }
    ThrowIfFailed(q.lastError());
}

void ReadOrderItems(const QSqlDatabase& db, qint32 invoice, ProgramState& p)
{
    QSqlQuery q = Exec(
        db,
        QStringLiteral("SELECT PartNumber, Description, Qty, Price FROM Items WHERE InvoiceID = ? "
                       "ORDER BY RankOnOrder, rowid"),
        {invoice});
    while (q.next()) {
        if (p.OrderItemCount >= MaxOrderItems)
            throw DbError(Texts::tr("The stored program %1 holds more than %2 order lines")
                              .arg(invoice)
                              .arg(MaxOrderItems));
        OrderItem item;
        item.PartNumber = NullToText(q.value(0));
        item.Description = NullToText(q.value(1));
        item.Qty = StoredInteger(q.value(2));
        item.Price = Currency::FromRaw(q.value(3).toLongLong());
        p.OrderItems[static_cast<size_t>(p.OrderItemCount++)] = item;
    }
    ThrowIfFailed(q.lastError());
}

} // namespace

bool SaveProgram(AppContext& ctx, bool ask)
{
    ProgramState& p = ctx.Program;
    if (!p.PatientID || !p.Modified)
        return true;
    if (ask &&
        ctx.Prompt().Message(QStringLiteral("Exercise Program Modified"),
                             Texts::tr("Save current exercise program in database"),
                             PromptIcon::Information, PromptButtons::YesNo) != PromptAnswer::Yes)
        return true;
    // Replacing needs a stored program to replace; without one the save adds.
    const bool replace = !p.SaveAsNew && p.InvoiceID.has_value();
    qint32 id = 0;
    try {
        id = WriteProgram(ctx.Db.MainDb(), p, replace, p.InvoiceID.value_or(0));
    } catch (const DbError& e) {
        ReportFailure(ctx, QStringLiteral("SaveProgram"),
                      Texts::tr("The exercise program was not saved.\r\n\r\n%1").arg(e.message()));
        return false;
    }
    p.InvoiceID = id;
    p.Modified = false;
    p.SaveAsNew = false;
    ctx.Settings.DefaultProvider = p.Provider;
    ctx.MainWindow().SetStatusBarReady();
    return true;
}

void LoadProgram(AppContext& ctx, std::optional<qint32> invoice)
{
    const QSqlDatabase db = ctx.Db.MainDb();
    // Everything is read into a copy first: a failed load leaves the program in memory whole.
    ProgramState p = ctx.Program;
    p.Modified = false;
    p.EntryCount = 0;
    p.Entries = {};
    p.OrderItemCount = 0;
    p.OrderItems = {};
    bool patientChanged = false;

    QSqlQuery header(db);
    if (invoice) {
        QSqlQuery owner =
            Exec(db,
                 QStringLiteral("SELECT Patient.PatientID, Patient.FullName FROM Patient "
                                "INNER JOIN Invoice ON Patient.PatientID = Invoice.PatientID "
                                "WHERE Invoice.InvoiceID = ?"),
                 {*invoice});
        if (owner.next()) {
            p.PatientID = static_cast<qint32>(owner.value(0).toLongLong());
            p.PatientName = NullToText(owner.value(1));
            patientChanged = true;
        }
        owner.finish();
        header = Exec(db, QStringLiteral("SELECT * FROM Invoice WHERE InvoiceID = ?"), {*invoice});
    } else if (p.PatientID) {
        header = Exec(db,
                      QStringLiteral("SELECT * FROM Invoice WHERE PatientID = ? "
                                     "ORDER BY Date DESC, InvoiceID DESC LIMIT 1"),
                      {*p.PatientID});
    }

    const bool stored = header.isActive() && header.next();
    if (stored) {
        ReadHeader(header, p);
        header.finish();
        ReadEntries(db, *p.InvoiceID, p);
        ReadOrderItems(db, *p.InvoiceID, p);
    } else {
        header.finish();
        StartNewProgram(ctx, p);
    }

    ctx.Program = std::move(p);
    ctx.MainWindow().SetStatusBarReady();
    if (patientChanged)
        ctx.MainWindow().UpdateCaption();
    if (stored) {
        const ProgramState& loaded = ctx.Program;
        ctx.MainWindow().SetStatusBar(QStringLiteral("Patient: ") + loaded.PatientName +
                                      QLatin1Char(' ') +
                                      QLocale().toString(loaded.Date.date(), QLocale::ShortFormat));
    }
}

void ClearCurrentPatient(AppContext& ctx)
{
    ctx.Program.PatientID.reset();
    ctx.Program.InvoiceID.reset();
    ctx.Program.PatientName.clear();
    ctx.MainWindow().UpdateToolbar(ToolbarState::NoPatient);
    ctx.MainWindow().UpdateMenu(MenuState::All);
    ctx.MainWindow().UpdateCaption();
}

} // namespace tramelle
