#include "Clinic.h"
#include "Currency.h"
#include "DbError.h"
#include "OrderFields.h"
#include "ProgramStore.h"
#include "TestMain.h"
#include "TestSupport.h"
#include "frmClinic.h"
#include "frmItems.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>

using namespace tramelle;
using namespace tramelle::test;

namespace {

template <typename T> T* Find(QWidget* w, const char* name)
{
    T* child = w->findChild<T*>(QLatin1String(name));
    if (!child)
        qFatal("no control %s", name);
    return child;
}

void Click(QWidget* w, const char* name)
{
    // On the indicator or the caption: a check box stretched by its layout ignores clicks
    // beyond its text.
    auto* button = Find<QAbstractButton>(w, name);
    QTest::mouseClick(button, Qt::LeftButton, {},
                      QPoint(qMin(8, button->width() / 2), button->height() / 2));
}

void Choose(QWidget* w, const char* combo, const QString& text)
{
    auto* box = Find<QComboBox>(w, combo);
    const int index = box->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    box->setCurrentIndex(index);
}

QString Text(QWidget* w, const char* name)
{
    return Find<QLabel>(w, name)->text();
}

bool Shown(QWidget* window, const char* name)
{
    return Find<QWidget>(window, name)->isVisibleTo(window);
}

// The windows as the main window opens them: shown, not blocking.
frmItems* Items(AppContext& ctx)
{
    return qobject_cast<frmItems*>(OpenOrderItems(ctx, nullptr));
}

frmClinic* Clinic(AppContext& ctx)
{
    return qobject_cast<frmClinic*>(OpenClinicInfo(ctx, nullptr));
}

qint32 AddPatient(AppContext& ctx, const QString& name)
{
    const qint32 id =
        Exec(ctx.Db.MainDb(), QStringLiteral("INSERT INTO Patient (FullName) VALUES (?)"), {name})
            .lastInsertId()
            .toInt();
    ctx.Program = ProgramState();
    ctx.Program.PatientID = id;
    ctx.Program.PatientName = name;
    ctx.Program.SaveAsNew = true;
    return id;
}

ClinicInfo SampleClinic()
{
    ClinicInfo c;
    c.Name = QStringLiteral("Harbour Physio");
    c.Phone = QStringLiteral("555-0100");
    c.BillAddr = QStringLiteral("Harbour Physio\r\n1 Quay St");
    c.ShipAddr = QStringLiteral("Harbour Physio\r\nDock 4");
    c.ShipMethod = QStringLiteral("UPS Next Day");
    c.PayMethod = QStringLiteral("Master Card");
    c.CardNum = QStringLiteral("5500 0000 0000 0004");
    c.CardDate = QDate(2027, 3, 1).startOfDay();
    c.NameOnCard = QStringLiteral("A Harbour");
    return c;
}

} // namespace

class TestClinicItems : public QObject
{
    Q_OBJECT

private slots:
    void moneyTextsConvertWithoutFloatingPoint()
    {
        QCOMPARE(CurrencyText(Currency::FromCents(1995)), QStringLiteral("$19.95"));
        QCOMPARE(CurrencyText(Currency::FromRaw(9975)), QStringLiteral("$1.00"));
        QCOMPARE(CurrencyText(Currency::FromRaw(-12550)), QStringLiteral("($1.26)"));
        QCOMPARE(frmItems::VarToCur(QStringLiteral("$19.95")), Currency::FromCents(1995));
        QCOMPARE(frmItems::VarToCur(QStringLiteral("$1,234.50")), Currency::FromCents(123450));
        QCOMPARE(frmItems::VarToCur(QStringLiteral("($2.00)")), Currency::FromUnits(-2));
        QCOMPARE(frmItems::VarToCur(QStringLiteral("-$2.00")), Currency::FromUnits(-2));
        QCOMPARE(frmItems::VarToCur(QStringLiteral("12")), Currency::FromUnits(12));
        // Not amounts: empty captions count as nothing.
        for (const char* text : {"", "$", "abc", "1.2.3", "12$x", "99999999999999999999"})
            QCOMPARE(frmItems::VarToCur(QString::fromLatin1(text)), Currency());
        // Beyond four decimals: to the nearest, halves to even.
        QCOMPARE(ParseCurrency(QStringLiteral("1.00005"))->Raw, 10000);
        QCOMPARE(ParseCurrency(QStringLiteral("1.00015"))->Raw, 10002);
        QCOMPARE(ParseCurrency(QStringLiteral("1.000051"))->Raw, 10001);
        QCOMPARE(PercentOf(Currency::FromUnits(30), 5), Currency::FromCents(150));
        QCOMPARE(PercentOf(Currency::FromCents(1995), 5), Currency::FromRaw(9975));
        QCOMPARE(PercentOf(Currency::FromRaw(10), 5), Currency::FromRaw(0)); // 0.5 -> even
        QCOMPARE(PercentOf(Currency::FromRaw(30), 5), Currency::FromRaw(2)); // 1.5 -> even
        // What is shown reads back as the same amount.
        for (qint64 cents : {0LL, 1LL, 99LL, 1995LL, 4350LL, 123456789LL})
            QCOMPARE(frmItems::VarToCur(CurrencyText(Currency::FromCents(cents))),
                     Currency::FromCents(cents));
    }

    void cardDatesReadInCommonForms()
    {
        QVERIFY(ReadCardDate(QStringLiteral("")).has_value());
        QVERIFY(!ReadCardDate(QStringLiteral("  "))->isValid());
        QCOMPARE(ReadCardDate(QStringLiteral("12/26"))->date(), QDate(2026, 12, 1));
        QCOMPARE(ReadCardDate(QStringLiteral("3/2031"))->date(), QDate(2031, 3, 1));
        QCOMPARE(ReadCardDate(QStringLiteral("12/8/26"))->date(), QDate(2026, 12, 8));
        QCOMPARE(ReadCardDate(QStringLiteral("2026-12-08"))->date(), QDate(2026, 12, 8));
        QCOMPARE(ReadCardDate(CardDateText(QDate(1999, 7, 4).startOfDay()))->date(),
                 QDate(1999, 7, 4));
        QCOMPARE(CardDateText(QDateTime()), QString());
        for (const char* text : {"13/26", "someday", "12/", "31/2/26", "1990"})
            QVERIFY2(!ReadCardDate(QString::fromLatin1(text)), text);
    }

    void itemsExampleTotalsAndStoredOrder()
    {
        TestContext t;
        const qint32 patient = AddPatient(*t, QStringLiteral("Ann Lee"));
        QPointer<frmItems> w = Items(*t);
        QCOMPARE(t.MainWindow.ToolbarStates, QList<int>{4});
        QCOMPARE(t.MainWindow.MenuStates, QList<int>{0});

        Click(w, "chkBand");
        Click(w, "chkBall");
        Click(w, "chkTax");
        Choose(w, "cboShipMethod", QStringLiteral("UPS 2-Day"));
        QCOMPARE(Text(w, "lblVideo"), QString());
        QCOMPARE(Text(w, "lblBand"), QStringLiteral("$10.00"));
        QCOMPARE(Text(w, "lblBall"), QStringLiteral("$20.00"));
        QCOMPARE(Text(w, "lblSubTotal"), QStringLiteral("$30.00"));
        QCOMPARE(Text(w, "lblTax"), QStringLiteral("$1.50"));
        QCOMPARE(Text(w, "lblShipMethod"), QStringLiteral("$12.00"));
        QCOMPARE(Text(w, "lblTotal"), QStringLiteral("$43.50"));

        // Totals follow every change.
        Click(w, "chkTax");
        QCOMPARE(Text(w, "lblTax"), QString());
        QCOMPARE(Text(w, "lblTotal"), QStringLiteral("$42.00"));
        Click(w, "chkVideo");
        Choose(w, "cboShipMethod", QStringLiteral("UPS Next Day"));
        QCOMPARE(Text(w, "lblTotal"), QStringLiteral("$69.95"));
        Click(w, "chkVideo");
        Click(w, "chkTax");
        Choose(w, "cboShipMethod", QStringLiteral("UPS 2-Day"));

        Click(w, "cmdOKCancel_0");
        QVERIFY(t.Prompt.Records.isEmpty());
        QCOMPARE(t.MainWindow.ToolbarStates, (QList<int>{4, 2}));
        QCOMPARE(t.MainWindow.MenuStates, (QList<int>{0, 2}));
        QTRY_VERIFY(w.isNull());

        const ProgramState& p = t->Program;
        QCOMPARE(p.OrderItemCount, qint16(2));
        QCOMPARE(p.OrderItems[0].PartNumber, QStringLiteral("P002"));
        QCOMPARE(p.OrderItems[0].Description, QStringLiteral("Band Kit"));
        QCOMPARE(p.OrderItems[0].Qty, qint16(1));
        QCOMPARE(p.OrderItems[0].Price, Currency::FromUnits(10));
        QCOMPARE(p.OrderItems[1].PartNumber, QStringLiteral("P003"));
        QCOMPARE(p.OrderItems[1].Qty, qint16(1));
        QCOMPARE(p.OrderItems[1].Price, Currency::FromUnits(20));
        QCOMPARE(p.OrderItems[2], OrderItem());
        QCOMPARE(p.Tax, qint16(5));
        QCOMPARE(p.ShipMethod, QStringLiteral("UPS 2-Day"));
        QVERIFY(!p.Modified);
        QVERIFY(p.InvoiceID.has_value());

        // The stored order is what the screen showed.
        QSqlQuery q =
            Exec(t->Db.MainDb(),
                 QStringLiteral("SELECT Items.PartNumber, Items.Qty, Items.Price, Invoice.Tax, "
                                "Invoice.PatientID FROM Items JOIN Invoice ON Items.InvoiceID = "
                                "Invoice.InvoiceID WHERE Items.InvoiceID = ? ORDER BY RankOnOrder"),
                 {*p.InvoiceID});
        QStringList rows;
        while (q.next())
            rows << QStringLiteral("%1 %2 %3 %4 %5")
                        .arg(q.value(0).toString())
                        .arg(q.value(1).toInt())
                        .arg(q.value(2).toLongLong())
                        .arg(q.value(3).toInt())
                        .arg(q.value(4).toInt() == patient);
        QCOMPARE(rows, (QStringList{QStringLiteral("P002 1 100000 5 1"),
                                    QStringLiteral("P003 1 200000 5 1")}));
    }

    void itemsFailedSaveKeepsTheWindowOpenWithTheEdits()
    {
        TestContext t;
        AddPatient(*t, QStringLiteral("Ann Lee"));
        // The order's rows cannot be written: the whole save fails.
        Exec(t->Db.MainDb(), QStringLiteral("CREATE TRIGGER NoItems BEFORE INSERT ON Items "
                                            "BEGIN SELECT RAISE(ABORT, 'disk is full'); END"));
        QPointer<frmItems> w = Items(*t);
        Click(w, "chkBand");
        Choose(w, "cboShipMethod", QStringLiteral("UPS 2-Day"));
        Click(w, "cmdOKCancel_0");

        QCOMPARE(t.Prompt.Records.size(), 1);
        QCOMPARE(t.Prompt.Records[0].title, QStringLiteral("Error in SaveProgram"));
        QVERIFY(t.Prompt.Records[0].text.contains(QStringLiteral("disk is full")));
        QCoreApplication::processEvents();
        QVERIFY(!w.isNull());
        QVERIFY(w->isVisible());
        QVERIFY(Find<QCheckBox>(w, "chkBand")->isChecked());
        QCOMPARE(Find<QComboBox>(w, "cboShipMethod")->currentText(), QStringLiteral("UPS 2-Day"));
        // Still open: the toolbar and menus stay as the window set them.
        QCOMPARE(t.MainWindow.ToolbarStates, QList<int>{4});
        QCOMPARE(t.MainWindow.MenuStates, QList<int>{0});
        QVERIFY(t->Program.Modified);
        QVERIFY(!t->Program.InvoiceID.has_value());
        QSqlQuery invoices = Exec(t->Db.MainDb(), QStringLiteral("SELECT COUNT(*) FROM Invoice"));
        QVERIFY(invoices.next());
        QCOMPARE(invoices.value(0).toInt(), 0);
        invoices.finish();

        // Once the fault is gone the same OK stores the order and closes.
        Exec(t->Db.MainDb(), QStringLiteral("DROP TRIGGER NoItems"));
        Click(w, "cmdOKCancel_0");
        QCOMPARE(t.Prompt.Records.size(), 1);
        QTRY_VERIFY(w.isNull());
        QCOMPARE(t.MainWindow.ToolbarStates, (QList<int>{4, 2}));
        QVERIFY(!t->Program.Modified);
        QCOMPARE(t->Program.OrderItemCount, qint16(1));
        QCOMPARE(t->Program.OrderItems[0].PartNumber, QStringLiteral("P002"));
    }

    void itemsNewProgramTakesClinicDefaults()
    {
        TestContext t;
        t->Clinic = SampleClinic();
        AddPatient(*t, QStringLiteral("Bo Chan"));
        auto* w = Items(*t);
        QCOMPARE(Find<QPlainTextEdit>(w, "txtBillAddr")->toPlainText(),
                 QStringLiteral("Harbour Physio\n1 Quay St"));
        QCOMPARE(Find<QPlainTextEdit>(w, "txtShipAddr")->toPlainText(),
                 QStringLiteral("Harbour Physio\nDock 4"));
        QCOMPARE(Find<QLineEdit>(w, "txtShipPhone")->text(), QStringLiteral("555-0100"));
        QCOMPARE(Find<QComboBox>(w, "cboPayMethod")->currentText(), QStringLiteral("Master Card"));
        QCOMPARE(Find<QComboBox>(w, "cboShipMethod")->currentText(),
                 QStringLiteral("UPS Next Day"));
        QCOMPARE(Find<QLineEdit>(w, "txtCardNum")->text(), QStringLiteral("5500 0000 0000 0004"));
        QCOMPARE(Find<QLineEdit>(w, "txtCardDate")->text(), QStringLiteral("3/1/27"));
        QCOMPARE(Find<QLineEdit>(w, "txtNameOnCard")->text(), QStringLiteral("A Harbour"));
        QCOMPARE(Text(w, "lblShipMethod"), QStringLiteral("$20.00"));
        QCOMPARE(Text(w, "lblTotal"), QStringLiteral("$20.00"));
        for (const char* box : {"chkVideo", "chkBand", "chkBall", "chkTax"})
            QVERIFY(!Find<QCheckBox>(w, box)->isChecked());

        // Copy >> and the address limit work here too; Cancel keeps the program as it was.
        Find<QPlainTextEdit>(w, "txtBillAddr")->setPlainText(QStringLiteral("1\n2\n3\n4\n5\n6"));
        QCOMPARE(Find<QPlainTextEdit>(w, "txtBillAddr")->toPlainText(),
                 QStringLiteral("1\n2\n3\n4\n5"));
        Click(w, "txtShiptoBill");
        QCOMPARE(Find<QPlainTextEdit>(w, "txtShipAddr")->toPlainText(),
                 QStringLiteral("1\n2\n3\n4\n5"));
        const ProgramState before = t->Program;
        Click(w, "cmdOKCancel_1");
        QCOMPARE(t->Program.BillAddr, before.BillAddr);
        QVERIFY(!t->Program.Modified);
        QCOMPARE(t.MainWindow.ToolbarStates, (QList<int>{4, 2}));
        QCOMPARE(t.MainWindow.MenuStates, (QList<int>{0, 2}));
        QVERIFY(t.Prompt.Records.isEmpty());

        // A clinic paying by purchase order lends no card data; unknown methods show the first.
        t->Clinic.PayMethod = QStringLiteral("Purchase Order");
        t->Clinic.ShipMethod = QStringLiteral("Carrier pigeon");
        w = Items(*t);
        QCOMPARE(Find<QComboBox>(w, "cboShipMethod")->currentText(), QStringLiteral("UPS Ground"));
        QCOMPARE(Find<QLineEdit>(w, "txtCardNum")->text(), QString());
        QCOMPARE(Find<QLineEdit>(w, "txtCardDate")->text(), QString());
        delete w;
    }

    void itemsRecalledProgramShowsItsOwnOrder()
    {
        TestContext t;
        t->Clinic = SampleClinic();
        AddPatient(*t, QStringLiteral("Cy Dunn"));
        ProgramState& p = t->Program;
        p.PayMethod = QStringLiteral("VISA");
        p.CardNum = QStringLiteral("4111");
        p.CardDate = QDate(2028, 5, 1).startOfDay();
        p.NameOnCard = QStringLiteral("C Dunn");
        p.ShipMethod = QStringLiteral("UPS Ground");
        p.ShipPhone = QStringLiteral("555-0199");
        p.Tax = 5;
        p.OrderItems[0] = {QStringLiteral("P003"), QStringLiteral("Gym Ball"), 1,
                           Currency::FromUnits(20)};
        p.OrderItemCount = 1;
        p.Modified = true;
        QVERIFY(SaveProgram(*t, false));
        const qint32 invoice = *p.InvoiceID;
        p = ProgramState();
        LoadProgram(*t, invoice);

        auto* w = Items(*t);
        QCOMPARE(Find<QComboBox>(w, "cboPayMethod")->currentText(), QStringLiteral("VISA"));
        QCOMPARE(Find<QComboBox>(w, "cboShipMethod")->currentText(), QStringLiteral("UPS Ground"));
        QCOMPARE(Find<QLineEdit>(w, "txtCardNum")->text(), QStringLiteral("4111"));
        QCOMPARE(Find<QLineEdit>(w, "txtCardDate")->text(), QStringLiteral("5/1/28"));
        QCOMPARE(Find<QLineEdit>(w, "txtNameOnCard")->text(), QStringLiteral("C Dunn"));
        QCOMPARE(Find<QLineEdit>(w, "txtShipPhone")->text(), QStringLiteral("555-0199"));
        QVERIFY(Find<QCheckBox>(w, "chkBall")->isChecked());
        QVERIFY(!Find<QCheckBox>(w, "chkBand")->isChecked());
        QVERIFY(Find<QCheckBox>(w, "chkTax")->isChecked());
        QCOMPARE(Text(w, "lblTotal"), QStringLiteral("$25.00"));

        // A purchase order keeps only its number.
        Choose(w, "cboPayMethod", QStringLiteral("Purchase Order"));
        QVERIFY(Shown(w, "txtCardNum"));
        QVERIFY(!Shown(w, "txtCardDate") && !Shown(w, "lblCardDate"));
        QVERIFY(!Shown(w, "txtNameOnCard") && !Shown(w, "lblNameOnCard"));
        Find<QLineEdit>(w, "txtCardNum")->setText(QStringLiteral("PO-77"));
        Find<QLineEdit>(w, "txtCardDate")->setText(QStringLiteral("not checked when hidden"));
        Click(w, "cmdOKCancel_0");
        QVERIFY(t.Prompt.Records.isEmpty());
        QCOMPARE(t->Program.PayMethod, QStringLiteral("Purchase Order"));
        QCOMPARE(t->Program.CardNum, QStringLiteral("PO-77"));
        QVERIFY(!t->Program.CardDate.isValid());

        const qint32 replaced = *p.InvoiceID;
        p = ProgramState();
        LoadProgram(*t, replaced);
        w = Items(*t);
        QCOMPARE(Find<QLineEdit>(w, "txtCardNum")->text(), QStringLiteral("PO-77"));
        QVERIFY(!Shown(w, "txtCardDate"));
        Choose(w, "cboPayMethod", QStringLiteral("VISA"));
        QVERIFY(Shown(w, "txtCardDate") && Shown(w, "txtNameOnCard"));
        delete w;
    }

    void itemsRefuseACardDateThatIsNoDate()
    {
        TestContext t;
        AddPatient(*t, QStringLiteral("Di Eve"));
        QPointer<frmItems> w = Items(*t);
        Click(w, "chkVideo");
        Find<QLineEdit>(w, "txtCardDate")->setText(QStringLiteral("next spring"));
        Click(w, "cmdOKCancel_0");
        QCOMPARE(t.Prompt.Records.size(), 1);
        QCOMPARE(t.Prompt.Records[0].title, QStringLiteral("Order Items"));
        QVERIFY(t.Prompt.Records[0].text.contains(QStringLiteral("Date field (\"next spring\")")));
        QCOMPARE(t.Prompt.Records[0].icon, PromptIcon::Warning);
        QVERIFY(!w.isNull());
        QCOMPARE(t.MainWindow.ToolbarStates, QList<int>{4});
        QVERIFY(!t->Program.Modified);
        QCOMPARE(t->Program.OrderItemCount, qint16(0));
        QVERIFY(!t->Program.InvoiceID);

        Find<QLineEdit>(w, "txtCardDate")->setText(QStringLiteral("12/26"));
        Click(w, "cmdOKCancel_0");
        QCOMPARE(t.Prompt.Records.size(), 1);
        QCOMPARE(t->Program.CardDate.date(), QDate(2026, 12, 1));
        QCOMPARE(t->Program.OrderItems[0].PartNumber, QStringLiteral("P001"));
        QCOMPARE(t->Program.OrderItems[0].Price, Currency::FromCents(1995));
        QVERIFY(t->Program.InvoiceID);
    }

    void clinicShowsEditsAndStoresItsRecord()
    {
        TestContext t;
        t->Clinic = SampleClinic();
        t->Clinic.PayMethod = QStringLiteral("Cheque");
        QPointer<frmClinic> w = Clinic(*t);
        QCOMPARE(t.MainWindow.ToolbarStates, QList<int>{0});
        QCOMPARE(t.MainWindow.MenuStates, QList<int>{0});
        QCOMPARE(Find<QLineEdit>(w, "txtName")->text(), QStringLiteral("Harbour Physio"));
        QCOMPARE(Find<QPlainTextEdit>(w, "txtShipAddr")->toPlainText(),
                 QStringLiteral("Harbour Physio\nDock 4"));
        QCOMPARE(Find<QComboBox>(w, "cboPayMethod")->currentText(), QStringLiteral("VISA"));
        QCOMPARE(Find<QComboBox>(w, "cboShipMethod")->currentText(),
                 QStringLiteral("UPS Next Day"));
        QCOMPARE(Find<QLineEdit>(w, "txtCardDate")->text(), QStringLiteral("3/1/27"));
        QCOMPARE(Find<QPushButton>(w, "cmdOKCancel_0")->toolTip(),
                 QStringLiteral("Save changes and exit"));
        QCOMPARE(Find<QPushButton>(w, "cmdOKCancel_1")->toolTip(),
                 QStringLiteral("Discard changes and exit"));

        // Typing a sixth line into an address is refused; the fifth line stays whole.
        auto* bill = Find<QPlainTextEdit>(w, "txtBillAddr");
        bill->setPlainText(QStringLiteral("a\nb\nc\nd\ne"));
        bill->moveCursor(QTextCursor::End);
        QTest::keyClick(bill, Qt::Key_Return);
        QTest::keyClicks(bill, QStringLiteral("f"));
        QCOMPARE(bill->toPlainText(), QStringLiteral("a\nb\nc\nd\nef"));
        bill->setPlainText(QStringLiteral("a\nb\nc\nd\ne"));
        Click(w, "cmdCopyBillToShip");
        QCOMPARE(Find<QPlainTextEdit>(w, "txtShipAddr")->toPlainText(),
                 QStringLiteral("a\nb\nc\nd\ne"));

        Choose(w, "cboPayMethod", QStringLiteral("Purchase Order"));
        for (const char* name : {"lblCardNum", "txtCardNum", "lblCardDate", "txtCardDate",
                                 "lblNameOnCard", "txtNameOnCard"})
            QVERIFY2(!Shown(w, name), name);
        Choose(w, "cboPayMethod", QStringLiteral("Master Card"));
        QVERIFY(Shown(w, "txtCardNum") && Shown(w, "txtCardDate") && Shown(w, "txtNameOnCard"));
        Find<QLineEdit>(w, "txtCardDate")->setText(QString());
        Choose(w, "cboShipMethod", QStringLiteral("UPS Ground"));
        Click(w, "cmdOKCancel_0");
        QTRY_VERIFY(w.isNull());
        QVERIFY(t.Prompt.Records.isEmpty());
        QCOMPARE(t.MainWindow.ToolbarStates, (QList<int>{0, 1})); // no patient is current
        QCOMPARE(t.MainWindow.MenuStates, (QList<int>{0, 2}));

        const ClinicInfo saved = t->Clinic;
        QCOMPARE(saved.BillAddr, QStringLiteral("a\r\nb\r\nc\r\nd\r\ne"));
        QCOMPARE(saved.ShipAddr, saved.BillAddr);
        QCOMPARE(saved.PayMethod, QStringLiteral("Master Card"));
        QCOMPARE(saved.ShipMethod, QStringLiteral("UPS Ground"));
        QVERIFY(!saved.CardDate.isValid());
        t->Clinic = ClinicInfo();
        LoadClinicInfo(*t);
        QCOMPARE(t->Clinic, saved);
        QSqlQuery q = Exec(t->Db.MainDb(), QStringLiteral("SELECT CardDate IS NULL FROM Clinic"));
        QVERIFY(q.next() && q.value(0).toBool());

        // Cancel changes nothing; with a patient current the toolbar comes back whole.
        AddPatient(*t, QStringLiteral("Ed Fox"));
        t.MainWindow.ToolbarStates.clear();
        w = Clinic(*t);
        Find<QLineEdit>(w, "txtName")->setText(QStringLiteral("Other"));
        Click(w, "cmdOKCancel_1");
        QCOMPARE(t->Clinic, saved);
        QCOMPARE(t.MainWindow.ToolbarStates, (QList<int>{0, 2}));
    }

    void clinicNameStartsEmptyAddresses()
    {
        TestContext t;
        auto* w = Clinic(*t);
        auto* name = Find<QLineEdit>(w, "txtName");
        name->setText(QStringLiteral("Bay Clinic"));
        QFocusEvent out(QEvent::FocusOut);
        QCoreApplication::sendEvent(name, &out);
        QCOMPARE(Find<QPlainTextEdit>(w, "txtBillAddr")->toPlainText(),
                 QStringLiteral("Bay Clinic\n"));
        QCOMPARE(Find<QPlainTextEdit>(w, "txtShipAddr")->toPlainText(),
                 QStringLiteral("Bay Clinic\n"));
        name->setText(QStringLiteral("Renamed"));
        QCoreApplication::sendEvent(name, &out);
        QCOMPARE(Find<QPlainTextEdit>(w, "txtBillAddr")->toPlainText(),
                 QStringLiteral("Bay Clinic\n"));
        Click(w, "cmdOKCancel_0");
        QCOMPARE(t->Clinic.BillAddr, QStringLiteral("Bay Clinic\r\n"));
        QCOMPARE(t->Clinic.Name, QStringLiteral("Renamed"));
    }

    void clinicRefusesBadDatesAndReportsFailedSaves()
    {
        TestContext t;
        t->Clinic = SampleClinic();
        SaveClinicInfo(*t);
        const ClinicInfo stored = t->Clinic;
        QPointer<frmClinic> w = Clinic(*t);
        Find<QLineEdit>(w, "txtPhone")->setText(QStringLiteral("555-0111"));
        Find<QLineEdit>(w, "txtCardDate")->setText(QStringLiteral("13/45/99"));
        Click(w, "cmdOKCancel_0");
        QCOMPARE(t.Prompt.Records.size(), 1);
        QCOMPARE(t.Prompt.Records[0].title, QStringLiteral("Clinic Information"));
        QVERIFY(t.Prompt.Records[0].text.contains(QStringLiteral("\"13/45/99\"")));
        QVERIFY(!w.isNull());
        QCOMPARE(t->Clinic, stored);
        QCOMPARE(t.MainWindow.MenuStates, QList<int>{0});

        // Hidden by "Purchase Order" the date is not in the way.
        Choose(w, "cboPayMethod", QStringLiteral("Purchase Order"));
        Exec(t->Db.MainDb(), QStringLiteral("DROP TABLE Clinic"));
        Click(w, "cmdOKCancel_0");
        QCOMPARE(t.Prompt.Records.size(), 2);
        QCOMPARE(t.Prompt.Records[1].icon, PromptIcon::Critical);
        QVERIFY(t.Prompt.Records[1].text.startsWith(
            QStringLiteral("The clinic information was not saved.")));
        QVERIFY(!w.isNull());
        QCOMPARE(t->Clinic, stored); // memory still matches the file
        QCOMPARE(Find<QLineEdit>(w, "txtPhone")->text(), QStringLiteral("555-0111"));
        Click(w, "cmdOKCancel_1");
        QTRY_VERIFY(w.isNull());
    }
};

TRAMELLE_TEST_MAIN(TestClinicItems)
#include "tst_clinic_items.moc"
