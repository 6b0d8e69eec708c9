#include "AppContext.h"
#include "Clinic.h"
#include "DbError.h"
#include "ProgramStore.h"
#include "TestMain.h"
#include "TestSupport.h"

#include <QFile>
#include <QSqlQuery>
#include <QTest>

using namespace tramelle;
using namespace tramelle::test;

namespace {

qint32 InsertPatient(AppContext& ctx, const QString& name)
{
    return Exec(ctx.Db.MainDb(), QStringLiteral("INSERT INTO Patient (FullName) VALUES (?)"),
                {name})
        .lastInsertId()
        .toInt();
}

ProgramEntry Entry(int id, const QString& abbrev)
{
    ProgramEntry e;
    e.ExerciseID = id;
    e.code = QStringLiteral("C%1").arg(id);
    e.AbbrevDesc = abbrev;
    e.Desc = abbrev + QStringLiteral(" in full");
    e.Joint = QStringLiteral("Knee");
    e.Reps = qint16(10 + id);
    e.Hold = 5;
    e.Sets = 2;
    e.Picture0 = QStringLiteral("%1_1.JPG").arg(id);
    e.Instruct0 = QStringLiteral("Don't lock the knee");
    e.HasVideo = id % 2 == 0;
    e.VideoReps = 8;
    return e;
}

// A chosen patient with a modified three-exercise program dated 8 December 2026.
void ChoosePatient(AppContext& ctx, qint32 patient, const QString& name)
{
    ProgramState& p = ctx.Program;
    p.PatientID = patient;
    p.PatientName = name;
    p.InvoiceID.reset();
    p.SaveAsNew = true;
    p.Modified = true;
    p.Date = QDateTime(QDate(2026, 12, 8), QTime(9, 15));
    p.Provider = QStringLiteral("Dr. O'Neil");
    p.Usage = QStringLiteral("Home");
    p.BillAddr = QStringLiteral("1 Main St\r\nSpringfield");
    p.CardNum = QStringLiteral("4111");
    p.CardDate = QDateTime(QDate(2027, 5, 1), QTime(0, 0));
    p.Tax = 5;
    p.EntryCount = 3;
    p.Entries[0] = Entry(30, QStringLiteral("Zeta"));
    p.Entries[1] = Entry(10, QStringLiteral("Alpha"));
    p.Entries[2] = Entry(20, QStringLiteral("Mid"));
}

int Count(AppContext& ctx, const QString& sql, const QVariantList& values = {})
{
    QSqlQuery q = Exec(ctx.Db.MainDb(), sql, values);
    return q.next() ? q.value(0).toInt() : -1;
}

OrderItem Item(const char* part, const char* description, qint64 cents)
{
    return OrderItem{QString::fromLatin1(part), QString::fromLatin1(description), 1,
                     Currency::FromCents(cents)};
}

} // namespace

class TestProgramStore : public QObject
{
    Q_OBJECT

private slots:
    void saveAddsThenReplaces()
    {
        TestContext t;
        const qint32 patient = InsertPatient(*t, QStringLiteral("Doe, Jane"));
        Exec(t->Db.MainDb(),
             QStringLiteral(
                 "INSERT INTO Invoice (PatientID, Date) VALUES (?, '2020-01-01T00:00:00')"),
             {patient});
        ChoosePatient(*t, patient, QStringLiteral("Doe, Jane"));
        QVERIFY(SaveProgram(*t, false));
        const qint32 first = *t->Program.InvoiceID;
        QVERIFY(!t->Program.Modified);
        QVERIFY(!t->Program.SaveAsNew);
        QCOMPARE(t->Settings.DefaultProvider, QStringLiteral("Dr. O'Neil"));
        QCOMPARE(t.MainWindow.StatusTexts.last(), QStringLiteral("Status: Ready"));
        QCOMPARE(Count(*t, QStringLiteral("SELECT COUNT(*) FROM Invoice WHERE PatientID = ?"),
                       {patient}),
                 2);

        t->Program.Modified = true;
        t->Program.EntryCount = 1;
        QVERIFY(SaveProgram(*t, false));
        const qint32 second = *t->Program.InvoiceID;
        QVERIFY(second != first);
        // The earlier program stays; the first save was replaced with its children.
        QCOMPARE(Count(*t, QStringLiteral("SELECT COUNT(*) FROM Invoice WHERE PatientID = ?"),
                       {patient}),
                 2);
        QCOMPARE(
            Count(*t, QStringLiteral("SELECT COUNT(*) FROM Invoice WHERE InvoiceID = ?"), {first}),
            0);
        QCOMPARE(Count(*t, QStringLiteral("SELECT COUNT(*) FROM Exercise")), 1);

        // Nothing happens without a patient or without a change.
        t->Program.Modified = false;
        QVERIFY(SaveProgram(*t, false));
        QCOMPARE(*t->Program.InvoiceID, second);
        t->Program.Modified = true;
        t->Program.PatientID.reset();
        QVERIFY(SaveProgram(*t, false));
        QCOMPARE(*t->Program.InvoiceID, second);
    }

    void roundTripKeepsOrderFieldsAndNulls()
    {
        TestContext t;
        const qint32 patient = InsertPatient(*t, QStringLiteral("Doe, Jane"));
        ChoosePatient(*t, patient, QStringLiteral("Doe, Jane"));
        t->Program.OrderItemCount = 2;
        t->Program.OrderItems[0] = Item("P002", "Band Kit", 1000);
        t->Program.OrderItems[1] = Item("P003", "Gym Ball", 1995);
        QVERIFY(SaveProgram(*t, false));
        const ProgramState saved = t->Program;
        const qint32 id = *saved.InvoiceID;

        QCOMPARE(
            Count(
                *t,
                QStringLiteral(
                    "SELECT COUNT(*) FROM Invoice WHERE PayMethod IS NULL AND ShipMethod IS NULL")),
            1);
        QSqlQuery ranks =
            Exec(t->Db.MainDb(),
                 QStringLiteral("SELECT AbbrevDesc, RankOnTape FROM Exercise ORDER BY rowid"));
        for (int i = 0; i < 3; ++i) {
            QVERIFY(ranks.next());
            QCOMPARE(ranks.value(1).toInt(), i);
            QCOMPARE(ranks.value(0).toString(), saved.Entries[size_t(i)].AbbrevDesc);
        }
        ranks.finish();
        QCOMPARE(Count(*t, QStringLiteral("SELECT Price FROM Items WHERE PartNumber = 'P003'")),
                 199500);

        // Another program in memory, then recall the stored one.
        t->Program = ProgramState{};
        t.MainWindow.StatusTexts.clear();
        LoadProgram(*t, id);
        const ProgramState& p = t->Program;
        QCOMPARE(*p.PatientID, patient);
        QCOMPARE(p.PatientName, QStringLiteral("Doe, Jane"));
        QCOMPARE(t.MainWindow.CaptionUpdates, 1);
        QCOMPARE(t.MainWindow.StatusTexts.last(), QStringLiteral("Patient: Doe, Jane 12/8/26"));
        QCOMPARE(p.Date, saved.Date);
        QCOMPARE(p.CardDate, saved.CardDate);
        QCOMPARE(p.Provider, saved.Provider);
        QCOMPARE(p.BillAddr, saved.BillAddr);
        QCOMPARE(p.PayMethod, QString());
        QCOMPARE(p.ShipMethod, QString());
        QCOMPARE(p.Tax, qint16(5));
        QVERIFY(!p.Modified);
        QCOMPARE(p.EntryCount, qint16(3));
        for (size_t i = 0; i < 3; ++i) {
            ProgramEntry expected = saved.Entries[i];
            expected.Joint.clear(); // not stored with a program
            QCOMPARE(p.Entries[i], expected);
        }
        QCOMPARE(p.OrderItemCount, qint16(2));
        QCOMPARE(p.OrderItems[0], saved.OrderItems[0]);
        QCOMPARE(p.OrderItems[1], saved.OrderItems[1]);
        QCOMPARE(p.OrderItems[1].Price, Currency::FromRaw(199500));
    }

    void emptyProgramAndEmptyCardDate()
    {
        TestContext t;
        const qint32 patient = InsertPatient(*t, QStringLiteral("Roe, Rick"));
        ChoosePatient(*t, patient, QStringLiteral("Roe, Rick"));
        t->Program.EntryCount = 0;
        t->Program.CardDate = QDateTime();
        QVERIFY(SaveProgram(*t, false));
        QCOMPARE(Count(*t, QStringLiteral("SELECT COUNT(*) FROM Invoice WHERE CardDate IS NULL")),
                 1);
        QCOMPARE(Count(*t, QStringLiteral("SELECT COUNT(*) FROM Exercise")), 0);
        LoadProgram(*t, std::nullopt);
        QCOMPARE(t->Program.EntryCount, qint16(0));
        QVERIFY(!t->Program.CardDate.isValid());
        QVERIFY(t->Program.InvoiceID.has_value());
    }

    void nullDateReadsAsDefault()
    {
        TestContext t;
        const qint32 patient = InsertPatient(*t, QStringLiteral("Old, Record"));
        const qint32 id =
            Exec(
                t->Db.MainDb(),
                QStringLiteral("INSERT INTO Invoice (PatientID, Date, Tax) VALUES (?, NULL, NULL)"),
                {patient})
                .lastInsertId()
                .toInt();
        LoadProgram(*t, id);
        QCOMPARE(t->Program.Date, QDateTime(QDate(1990, 1, 1), QTime(0, 0)));
        QCOMPARE(t->Program.Tax, qint16(0));
        QCOMPARE(t->Program.Provider, QString());
    }

    void latestProgramAndNewProgram()
    {
        TestContext t;
        const qint32 patient = InsertPatient(*t, QStringLiteral("Doe, Jane"));
        // Two programs saved on the same day with the same date: the newer one is the latest.
        ChoosePatient(*t, patient, QStringLiteral("Doe, Jane"));
        t->Program.Usage = QStringLiteral("first");
        QVERIFY(SaveProgram(*t, false));
        ChoosePatient(*t, patient, QStringLiteral("Doe, Jane"));
        t->Program.Usage = QStringLiteral("second");
        t->Program.OrderItemCount = 1;
        t->Program.OrderItems[0] = Item("P001", "Exercise Video", 1995);
        QVERIFY(SaveProgram(*t, false));
        const qint32 newest = *t->Program.InvoiceID;
        t->Program.InvoiceID.reset();
        LoadProgram(*t, std::nullopt);
        QCOMPARE(*t->Program.InvoiceID, newest);
        QCOMPARE(t->Program.Usage, QStringLiteral("second"));

        // A patient without programs starts a new one with the clinic's defaults; the
        // previous patient's exercises and order do not come along.
        t->Clinic.ShipAddr = QStringLiteral("Clinic\r\nStreet");
        t->Clinic.ShipMethod = QStringLiteral("UPS Ground");
        t->Clinic.PayMethod = QStringLiteral("VISA");
        t->Clinic.Phone = QStringLiteral("555-0100");
        t->Settings.DefaultProvider = QStringLiteral("Dr. Who");
        const qint32 other = InsertPatient(*t, QStringLiteral("New, Patient"));
        t->Program.PatientID = other;
        t->Program.Modified = true;
        LoadProgram(*t, std::nullopt);
        const ProgramState& p = t->Program;
        QVERIFY(!p.InvoiceID);
        QVERIFY(!p.Modified);
        QCOMPARE(p.EntryCount, qint16(0));
        QCOMPARE(p.OrderItemCount, qint16(0));
        QCOMPARE(p.Date, QDate::currentDate().startOfDay());
        QCOMPARE(p.Provider, QStringLiteral("Dr. Who"));
        QCOMPARE(p.Usage, QString());
        QCOMPARE(p.ShipAddr, t->Clinic.ShipAddr);
        QCOMPARE(p.ShipMethod, QStringLiteral("UPS Ground"));
        QCOMPARE(p.PayMethod, QStringLiteral("VISA"));
        QCOMPARE(p.ShipPhone, QStringLiteral("555-0100"));
        QCOMPARE(p.Tax, qint16(0));
    }

    void failedSaveKeepsTheStoredProgram()
    {
        TestContext t;
        const qint32 patient = InsertPatient(*t, QStringLiteral("Doe, Jane"));
        ChoosePatient(*t, patient, QStringLiteral("Doe, Jane"));
        t->Program.OrderItemCount = 1;
        t->Program.OrderItems[0] = Item("P002", "Band Kit", 1000);
        QVERIFY(SaveProgram(*t, false));
        const qint32 stored = *t->Program.InvoiceID;

        // An instruction over its column's 75 characters fails the third exercise row.
        t->Program.Modified = true;
        t->Program.Entries[2].Instruct1 = QString(76, QLatin1Char('x'));
        t.Prompt.Clear();
        QVERIFY(!SaveProgram(*t, false));
        QCOMPARE(t.Prompt.Records.size(), 1);
        QCOMPARE(t.Prompt.Records[0].title, QStringLiteral("Error in SaveProgram"));
        QCOMPARE(t.Prompt.Records[0].icon, PromptIcon::Critical);
        QVERIFY(t->Program.Modified);
        QCOMPARE(*t->Program.InvoiceID, stored);
        QCOMPARE(Count(*t, QStringLiteral("SELECT COUNT(*) FROM Invoice")), 1);
        QCOMPARE(Count(*t, QStringLiteral("SELECT COUNT(*) FROM Exercise WHERE InvoiceID = ?"),
                       {stored}),
                 3);
        QCOMPARE(
            Count(*t, QStringLiteral("SELECT COUNT(*) FROM Items WHERE InvoiceID = ?"), {stored}),
            1);

        // Mended, the same program saves.
        t->Program.Entries[2].Instruct1.clear();
        QVERIFY(SaveProgram(*t, false));
        QCOMPARE(Count(*t, QStringLiteral("SELECT COUNT(*) FROM Invoice")), 1);
    }

    void replaceWithoutStoredProgramAdds()
    {
        TestContext t;
        const qint32 patient = InsertPatient(*t, QStringLiteral("Doe, Jane"));
        ChoosePatient(*t, patient, QStringLiteral("Doe, Jane"));
        t->Program.SaveAsNew = false;
        QVERIFY(SaveProgram(*t, false));
        QVERIFY(t->Program.InvoiceID.has_value());
        QCOMPARE(Count(*t, QStringLiteral("SELECT COUNT(*) FROM Invoice")), 1);
    }

    void askingFirst()
    {
        TestContext t;
        const qint32 patient = InsertPatient(*t, QStringLiteral("Doe, Jane"));
        ChoosePatient(*t, patient, QStringLiteral("Doe, Jane"));
        t.Prompt.Answers = {PromptAnswer::No, PromptAnswer::Yes};
        QVERIFY(SaveProgram(*t, true));
        QCOMPARE(t.Prompt.Records.size(), 1);
        const PromptRecord& r = t.Prompt.Records[0];
        QCOMPARE(r.title, QStringLiteral("Exercise Program Modified"));
        QCOMPARE(r.text, QStringLiteral("Save current exercise program in database"));
        QCOMPARE(r.icon, PromptIcon::Information);
        QCOMPARE(r.buttons, PromptButtons::YesNo);
        QVERIFY(t->Program.Modified);
        QCOMPARE(Count(*t, QStringLiteral("SELECT COUNT(*) FROM Invoice")), 0);
        QVERIFY(SaveProgram(*t, true));
        QVERIFY(!t->Program.Modified);
        QCOMPARE(Count(*t, QStringLiteral("SELECT COUNT(*) FROM Invoice")), 1);
    }

    void clearCurrentPatient()
    {
        TestContext t;
        ChoosePatient(*t, 7, QStringLiteral("Doe, Jane"));
        t->Program.InvoiceID = 3;
        ClearCurrentPatient(*t);
        QVERIFY(!t->Program.PatientID);
        QVERIFY(!t->Program.InvoiceID);
        QCOMPARE(t->Program.PatientName, QString());
        QCOMPARE(t->Program.EntryCount, qint16(3));
        QCOMPARE(t.MainWindow.ToolbarStates, QList<int>{1});
        QCOMPARE(t.MainWindow.MenuStates, QList<int>{2});
        QCOMPARE(t.MainWindow.CaptionUpdates, 1);
    }

    void clinicRecordRoundTrip()
    {
        TestContext t;
        ClinicInfo c;
        c.Name = QStringLiteral("Riverside Physio");
        c.Phone = QStringLiteral("555-0111");
        c.BillAddr = QStringLiteral("Riverside Physio\r\n2 Bank St");
        c.ShipAddr = c.BillAddr;
        c.PayMethod = QStringLiteral("Purchase Order");
        c.ShipMethod = QStringLiteral("UPS 2-Day");
        c.CardNum = QStringLiteral("PO-17'B");
        t->Clinic = c; // no card date
        SaveClinicInfo(*t);
        t->Clinic = ClinicInfo{};
        LoadClinicInfo(*t);
        QCOMPARE(t->Clinic, c);
        QCOMPARE(Count(*t, QStringLiteral("SELECT COUNT(*) FROM Clinic WHERE CardDate IS NULL")),
                 1);

        c.CardDate = QDateTime(QDate(2028, 2, 29), QTime(0, 0));
        t->Clinic = c;
        SaveClinicInfo(*t);
        LoadClinicInfo(*t);
        QCOMPARE(t->Clinic.CardDate, c.CardDate);
        QCOMPARE(Count(*t, QStringLiteral("SELECT COUNT(*) FROM Clinic")), 1);

        // No row: the record reads empty, and saving adds the row.
        Exec(t->Db.MainDb(), QStringLiteral("DELETE FROM Clinic"));
        LoadClinicInfo(*t);
        QCOMPARE(t->Clinic, ClinicInfo{});
        t->Clinic = c;
        SaveClinicInfo(*t);
        QCOMPARE(Count(*t, QStringLiteral("SELECT COUNT(*) FROM Clinic")), 1);
    }

    void vendorContactsAndCoverText()
    {
        TestContext t;
        // The delivered cover text is replaced by one whose name differs in letter case.
        QFile::remove(t.Folder() + QStringLiteral("/cover.txt"));
        QFile f(t.Folder() + QStringLiteral("/Cover.TXT"));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("Welcome\n");
        f.close();
        QVERIFY(LoadVendorContacts(*t));
        QVERIFY(!t->VendorFax.isEmpty());
        QVERIFY(!t->VendorPhone.isEmpty());
        QVERIFY(t->VendorFax != t->VendorPhone);
        QCOMPARE(t->CoverText, QStringLiteral("Welcome\r\n"));
    }
};

TRAMELLE_TEST_MAIN(TestProgramStore)
#include "tst_programstore.moc"
