// The patient record and the video order form as drawn on a recording surface.
#include "Documents.h"
#include "PageComposer.h"
#include "PatientRecord.h"
#include "RecordingSurface.h"
#include "TestSupport.h"
#include "VideoOrderForm.h"

#include <QTest>
#include <algorithm>

using namespace tramelle;
using namespace tramelle::test;

namespace {

const QString Ticked(QChar(0x2611));
const QString Unticked(QChar(0x2610));
constexpr double G = 90; // the rule offset at scale 1
const QString AddressBlank = QStringLiteral("________________________");
const QString PhoneBlank = QStringLiteral("(____)___________________");

QList<DrawOp> Ops(const RecordingSurface& r, const QString& kind)
{
    QList<DrawOp> out;
    for (const DrawOp& op : r.Ops)
        if (op.kind == kind)
            out << op;
    return out;
}

// Horizontal rules spanning from `left` to `right`, top to bottom.
QList<double> HorizontalRules(const RecordingSurface& r, double left, double right)
{
    QList<double> ys;
    for (const DrawOp& op : Ops(r, QStringLiteral("line")))
        if (op.box.top() == op.box.bottom() && op.box.left() == left && op.box.right() == right)
            ys << op.box.top();
    std::sort(ys.begin(), ys.end());
    return ys;
}

QList<double> VerticalRuleXs(const RecordingSurface& r, double top, double bottom)
{
    QList<double> xs;
    for (const DrawOp& op : Ops(r, QStringLiteral("line")))
        if (op.box.left() == op.box.right() && op.box.top() >= top && op.box.bottom() <= bottom)
            xs << op.box.left();
    std::sort(xs.begin(), xs.end());
    return xs;
}

QList<DrawOp> TextsEqual(const RecordingSurface& r, const QString& text)
{
    QList<DrawOp> out;
    for (const DrawOp& op : r.Texts())
        if (op.text == text)
            out << op;
    return out;
}

// The texts whose top lies between two rules (a row of a grid).
QStringList TextsBetween(const RecordingSurface& r, double top, double bottom)
{
    QStringList out;
    for (const DrawOp& op : r.Texts())
        if (op.box.top() > top && op.box.top() < bottom)
            out << op.text;
    return out;
}

QList<double> Inches(std::initializer_list<double> values, double offset = 0)
{
    QList<double> out;
    for (double v : values)
        out << std::floor(v * 1440) - offset;
    return out;
}

void Compose(AppContext& ctx, PrintJobKind kind, RecordingSurface& r, double scale = 1)
{
    ctx.Geometry.PageScale = scale;
    ctx.Geometry.PreviewMode = scale != 1;
    ComposeDocument(ctx, kind, r);
}

// A complete order of two lines, paid by card.
void FillOrder(AppContext& ctx)
{
    ProgramState& p = ctx.Program;
    p.BillAddr = QStringLiteral("Riverside Physio\r\n1 Main St\r\nTown, MA 01000");
    p.ShipAddr = QStringLiteral("Jane Doe\r\n2 Elm St");
    p.ShipPhone = QStringLiteral("555-0199");
    p.ShipMethod = QStringLiteral("UPS 2-Day");
    p.PayMethod = QStringLiteral("VISA");
    p.CardNum = QStringLiteral("4111");
    p.CardDate = QDateTime(QDate(2028, 9, 1), QTime(0, 0));
    p.NameOnCard = QStringLiteral("J Doe");
    p.Tax = 5;
    p.OrderItems[0] = {QStringLiteral("VT"), QStringLiteral("Video tape"), 1, Currency::FromCents(3995)};
    p.OrderItems[1] = {QStringLiteral("TB"), QStringLiteral("Band"), 2, Currency::FromCents(850)};
    p.OrderItemCount = 2;
}

} // namespace

class TestPrintForms : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InitTestEnvironment(); }

    void recordGridsStandOnTheirColumns()
    {
        TestContext t(false);
        FillProgram(*t, 3);
        t->Program.Entries[1].Hold = 0;
        RecordingSurface r;
        Compose(*t, PrintKindPatientRecord, r);
        QCOMPARE(r.Page, 0);
        QCOMPARE(r.PageOrientations.first(), 1);

        // The header labels at 1 inch and 4.25 inch.
        QCOMPARE(r.FindText(QStringLiteral("Patient:")).box.left(), 1440.0);
        QCOMPARE(r.FindText(QStringLiteral("Provider:")).box.left(), 6120.0);

        // Every rule starts g left of the first column and ends g left of the right edge:
        // 21 program passes and 16 log passes, each grid with its top rule.
        const QList<double> rules = HorizontalRules(r, 1440 - G, 10800 - G);
        QCOMPARE(rules.size(), 22 + 17);
        const QList<DrawOp> bands = Ops(r, QStringLiteral("fill"));
        QCOMPARE(bands.size(), 2);
        for (const DrawOp& band : bands) {
            QCOMPARE(band.box.left(), 1440 - G);
            QCOMPARE(band.box.right(), 10800 - G);
        }
        const double logBand = bands[1].box.top();
        const QList<double> program = rules.mid(0, 22);
        const QList<double> log = rules.mid(22);
        QVERIFY(program.last() < logBand && log.first() > bands[1].box.bottom());
        QCOMPARE(VerticalRuleXs(r, program.first(), program.last()),
                 Inches({1, 1.5, 2, 6, 6.5, 7, 7.5}, G));
        QCOMPARE(VerticalRuleXs(r, log.first(), log.last()), Inches({1, 2, 7.5}, G));
        QCOMPARE(r.FindText(QStringLiteral("EXERCISE PROGRAM")).bold, true);
        QVERIFY(r.FindText(QStringLiteral("EXERCISE LOG")).box.top() >= logBand);

        // Heads between the top rule and the first row rule, every cell inside its row.
        QCOMPARE(TextsBetween(r, program[0], program[1]),
                 (QStringList{"Nbr", "Code", "Description", "Reps", "Hold", "Sets"}));
        QCOMPARE(TextsBetween(r, program[1], program[2]),
                 (QStringList{" 1 ", "C1", "Exercise number 1", " 10 ", "5s", " 3 "}));
        QCOMPARE(TextsBetween(r, program[2], program[3]).at(4), QStringLiteral("0s"));
        for (int row = 5; row < 22; ++row)
            QVERIFY(TextsBetween(r, program[row - 1], program[row]).isEmpty());
        for (const QString& head : {QStringLiteral("Nbr"), QStringLiteral("Sets"), QStringLiteral("Date"),
                                    QStringLiteral("Notes")}) {
            const QList<DrawOp> ops = TextsEqual(r, head);
            QVERIFY2(ops.size() == 1 && ops.first().bold, qPrintable(head));
        }
        QCOMPARE(r.FindText(QStringLiteral("Notes")).box.left(), 2880.0);
        QCOMPARE(TextsBetween(r, log[0], log[1]), (QStringList{"Date", "Notes"}));
        for (int row = 2; row < log.size(); ++row)
            QVERIFY(TextsBetween(r, log[row - 1], log[row]).isEmpty());

        const DrawOp signature = r.FindText(QStringLiteral("Signature: ___"));
        QCOMPARE(signature.box.left(), 1440.0);
        QVERIFY(signature.box.top() > log.last());
        QVERIFY(signature.box.bottom() < r.FindText(PublisherNotice()).box.top());
    }

    void recordKeepsItsSizeWhateverTheProgramHolds_data()
    {
        QTest::addColumn<int>("exercises");
        QTest::addColumn<double>("scale");
        QTest::newRow("empty") << 0 << 1.0;
        QTest::newRow("full") << 20 << 1.0;
        QTest::newRow("full, preview") << 20 << 0.75;
    }

    void recordKeepsItsSizeWhateverTheProgramHolds()
    {
        QFETCH(int, exercises);
        QFETCH(double, scale);
        TestContext t(false);
        FillProgram(*t, exercises);
        RecordingSurface r;
        Compose(*t, PrintKindPatientRecord, r, scale);
        QCOMPARE(r.Page, 0);
        QCOMPARE(r.Ops.first().kind == QLatin1String("cls"), scale != 1.0);
        const double inch = std::floor(1440 * scale);
        const double g = std::floor(inch * 0.0625);
        const QList<double> rules = HorizontalRules(r, inch - g, std::floor(inch * 7.5) - g);
        QCOMPARE(rules.size(), 39);
        QCOMPARE(TextsEqual(r, QStringLiteral(" 20 ")).size(), exercises == 20 ? 1 : 0);
        if (exercises == 20)
            QVERIFY(TextsBetween(r, rules[20], rules[21]).contains(QStringLiteral("C20")));
        QCOMPARE(r.FindText(QStringLiteral("Patient:")).box.left(), inch);
        QVERIFY(r.FindText(QStringLiteral("Signature:")).box.bottom() < r.FindText(PublisherNotice()).box.top());
    }

    void orderTotals_data()
    {
        QTest::addColumn<QString>("ship");
        QTest::addColumn<qint64>("subCents");
        QTest::addColumn<int>("tax");
        QTest::addColumn<qint64>("shipCents");
        QTest::addColumn<qint64>("taxCents");
        QTest::addColumn<qint64>("totalCents");
        QTest::newRow("next day, no tax") << "UPS Next Day" << qint64(5000) << 0 << qint64(1400) << qint64(0) << qint64(6400);
        QTest::newRow("ground, tax on 100") << "UPS Ground" << qint64(10000) << 5 << qint64(400) << qint64(500) << qint64(10900);
        QTest::newRow("2-day, not the dialog's 12") << "UPS 2-Day" << qint64(1995) << 0 << qint64(800) << qint64(0) << qint64(2795);
        QTest::newRow("unknown method ships free") << "Courier" << qint64(1000) << 0 << qint64(0) << qint64(0) << qint64(1000);
        QTest::newRow("empty order") << "UPS Ground" << qint64(0) << 5 << qint64(400) << qint64(0) << qint64(400);
    }

    void orderTotals()
    {
        QFETCH(QString, ship);
        QFETCH(qint64, subCents);
        QFETCH(int, tax);
        ProgramState p;
        p.ShipMethod = ship;
        p.Tax = static_cast<qint16>(tax);
        // The sub-total comes from quantity x price: two of half the amount.
        if (subCents != 0) {
            p.OrderItems[0] = {QStringLiteral("A"), QStringLiteral("Tape"), 2, Currency::FromRaw(subCents * 50)};
            p.OrderItemCount = 1;
        }
        const OrderTotals t = ComputeOrderTotals(p);
        QCOMPARE(t.SubTotal, Currency::FromCents(subCents));
        QFETCH(qint64, shipCents);
        QCOMPARE(t.Shipping, Currency::FromCents(shipCents));
        QFETCH(qint64, taxCents);
        QFETCH(qint64, totalCents);
        QCOMPARE(t.Tax, Currency::FromCents(taxCents));
        QCOMPARE(t.Total, Currency::FromCents(totalCents));
    }

    void orderAmountsTooLargeAreErrors()
    {
        ProgramState p;
        p.OrderItems[0] = {QStringLiteral("A"), QStringLiteral("Tape"), 32767, Currency::FromRaw(Q_INT64_C(1) << 50)};
        p.OrderItemCount = 1;
        QVERIFY_THROWS_EXCEPTION(PrintError, ComputeOrderTotals(p));
        QVERIFY_THROWS_EXCEPTION(PrintError, OrderItemAmounts(p));
    }

    void orderLinesText()
    {
        ProgramState p;
        p.OrderItems[0] = {QStringLiteral("A"), QStringLiteral("Video tape"), 2, Currency::FromCents(1995)};
        p.OrderItems[1] = {QStringLiteral("B"), QStringLiteral("Band"), 0, Currency::FromCents(500)};
        // A slot past the count is not part of the order.
        p.OrderItems[2] = {QStringLiteral("C"), QStringLiteral("Stale"), 1, Currency::FromCents(100)};
        p.OrderItemCount = 2;
        QCOMPARE(OrderItemDescriptions(p), QStringLiteral("Video tape\r\nBand\r\n\r\n"));
        QCOMPARE(OrderItemAmounts(p),
                 QStringLiteral("  2  x $19.95 = $39.90\r\n___x $5.00 = $_____\r\n___x $0.00 = $_____\r\n"));
    }

    void checksumOfTheVideoExercises()
    {
        TestContext t(false);
        FillProgram(*t, 3);
        ProgramState& p = t->Program;
        p.Entries[1].HasVideo = true;
        p.Entries[1].code = QStringLiteral("1234B");
        p.Entries[1].VideoReps = 8;
        p.Entries[1].VideoHold = 0;
        p.Entries[1].VideoSets = 2;
        RecordingSurface r;
        Compose(*t, PrintKindVideoOrder, r);
        QCOMPARE(r.Page, 0);
        QVERIFY(!r.FindText(QStringLiteral("CHECKSUM: 1234")).text.isEmpty());

        // The tape grid: heads, then the video exercise in the program's second row.
        const QList<double> rules = HorizontalRules(r, 1440 - G, 10800 - G);
        QCOMPARE(rules.size(), 22);
        QCOMPARE(VerticalRuleXs(r, rules.first(), rules.last()), Inches({1, 2, 6, 6.5, 7, 7.5}, G));
        QCOMPARE(TextsBetween(r, rules[0], rules[1]),
                 (QStringList{"Code", "Description", "Reps", "Hold", "Sets"}));
        QVERIFY(TextsBetween(r, rules[1], rules[2]).isEmpty());
        QCOMPARE(TextsBetween(r, rules[2], rules[3]), (QStringList{"1234B", "Exercise number 2", " 8 ", "0s", " 2 "}));
        QVERIFY(TextsBetween(r, rules[3], rules[4]).isEmpty());
        QVERIFY(r.FindText(QStringLiteral("CHECKSUM")).box.top() > rules.last());

        // Codes without a leading number, or no video at all: the vendor fills it in.
        p.Entries[1].code = QStringLiteral("B12");
        QCOMPARE(VideoChecksum(p), 0);
        p.Entries[0].HasVideo = true;
        p.Entries[0].code = QStringLiteral(" 7x");
        QCOMPARE(VideoChecksum(p), 7);
        p.Entries[0].HasVideo = false;
        RecordingSurface blank;
        Compose(*t, PrintKindVideoOrder, blank);
        QVERIFY(!blank.FindText(QStringLiteral("CHECKSUM (to be filled by VMR):____")).text.isEmpty());

        // A sum beyond 32 bits is reported, not wrapped.
        p.Entries[0].HasVideo = true;
        p.Entries[0].code = QStringLiteral("2147483647");
        p.Entries[1].code = QStringLiteral("1");
        QVERIFY_THROWS_EXCEPTION(PrintError, VideoChecksum(p));
    }

    void cardPaymentAndTotals()
    {
        TestContext t(false);
        FillProgram(*t, 1);
        FillOrder(*t);
        RecordingSurface r;
        Compose(*t, PrintKindVideoOrder, r);

        QCOMPARE(r.FindText(Ticked).box.left(), 1440.0); // VISA
        QCOMPARE(r.FindText(QStringLiteral("Card #: 4111")).text, QStringLiteral("Card #: 4111"));
        QVERIFY(!r.FindText(QStringLiteral("Exp Date: 9/1/28")).text.isEmpty());
        QVERIFY(!r.FindText(QStringLiteral("Name: J Doe")).text.isEmpty());
        QVERIFY(!r.FindText(QStringLiteral("Purchase Order #: ____")).text.isEmpty());

        // The shipping column: the second method is ticked, with the form's own charge.
        const double shipX = std::floor(1440 * 4.25) + 45;
        QList<DrawOp> boxes;
        for (const DrawOp& op : r.Texts())
            if ((op.text == Ticked || op.text == Unticked) && op.box.left() == shipX)
                boxes << op;
        QCOMPARE(boxes.size(), 3);
        QCOMPARE(boxes[0].text, Unticked);
        QCOMPARE(boxes[1].text, Ticked);
        QCOMPARE(boxes[2].text, Unticked);
        QVERIFY(!r.FindText(QStringLiteral(" 2 Day        $8.00")).text.isEmpty());

        // Sub-total 56.95, shipping 8, tax 2.85, total 67.80, amounts lined up.
        const QStringList amounts{"= $56.95", "= $8.00", "= $2.85", "= $67.80"};
        double lastY = 0;
        for (const QString& a : amounts) {
            const QList<DrawOp> ops = TextsEqual(r, a);
            QCOMPARE(ops.size(), 1);
            QCOMPARE(ops.first().box.left(), std::floor(1440 * 1.85 + 6120) + std::floor(1440 * 0.7));
            QVERIFY(ops.first().box.top() > lastY);
            lastY = ops.first().box.top();
        }
        QVERIFY(!r.FindText(QStringLiteral("  1  x $39.95 = $39.95")).text.isEmpty());
        QCOMPARE(r.FindText(QStringLiteral("Band")).box.left(), 6120.0);
        QVERIFY(!r.FindText(QStringLiteral("Please FAX completed order form to Velmora, Inc. at ") + t->VendorFax)
                     .text.isEmpty());
        QVERIFY(r.FindText(QStringLiteral("For questions")).box.bottom() < r.FindText(PublisherNotice()).box.top());
    }

    void purchaseOrderTicksOnlyItsBox()
    {
        TestContext t(false);
        FillProgram(*t, 1);
        FillOrder(*t);
        t->Program.PayMethod = QStringLiteral("Purchase Order");
        t->Program.CardNum = QStringLiteral("PO-77");
        RecordingSurface r;
        Compose(*t, PrintKindVideoOrder, r);

        QList<DrawOp> payment;
        for (const DrawOp& op : r.Texts())
            if ((op.text == Ticked || op.text == Unticked) && op.box.left() < 4 * 1440)
                payment << op;
        QCOMPARE(payment.size(), 3); // VISA, Master Card, Purchase Order
        QCOMPARE(payment[0].text, Unticked);
        QCOMPARE(payment[1].text, Unticked);
        QCOMPARE(payment[1].box.left(), 2880.0);
        QCOMPARE(payment[2].text, Ticked);
        QVERIFY(!r.FindText(QStringLiteral("Purchase Order #: PO-77")).text.isEmpty());
        // The card lines carry their labels only.
        QCOMPARE(TextsEqual(r, QStringLiteral("Card #: ")).size(), 1);
        QCOMPARE(TextsEqual(r, QStringLiteral("Exp Date: ")).size(), 1);
        QCOMPARE(TextsEqual(r, QStringLiteral("Name: ")).size(), 1);
        QVERIFY(r.FindText(QStringLiteral("Card #: PO")).text.isEmpty());
    }

    void missingValuesLeaveBlanks()
    {
        TestContext t(false);
        FillProgram(*t, 2);
        ProgramState& p = t->Program;
        p.PatientName.clear();
        p.Usage.clear();
        p.Provider.clear();
        p.PayMethod = QStringLiteral("Master Card");
        p.ShipMethod = QStringLiteral("UPS Ground");
        p.OrderItems[0] = {QStringLiteral("A"), QStringLiteral("Tape"), 0, Currency::FromCents(3995)};
        p.OrderItemCount = 1;
        RecordingSurface r;
        Compose(*t, PrintKindVideoOrder, r);

        // Both address blocks are blank lines to write on, six and a telephone.
        for (double x : {1440.0, 5400.0}) {
            int lines = 0;
            for (const DrawOp& op : TextsEqual(r, AddressBlank))
                lines += op.box.left() == x;
            QCOMPARE(lines, 6);
        }
        QCOMPARE(TextsEqual(r, PhoneBlank).size(), 3); // two addresses and the patient's
        QCOMPARE(TextsEqual(r, AddressBlank).last().box.left(), 3240.0); // the provider
        QVERIFY(!r.FindText(QStringLiteral("___x per_______")).text.isEmpty());

        // No card date is a blank, never a date of 1990; an empty number and name too.
        QVERIFY(!r.FindText(QStringLiteral("Exp Date: ___")).text.isEmpty());
        QVERIFY(!r.FindText(QStringLiteral("Card #: _____")).text.isEmpty());
        QVERIFY(!r.FindText(QStringLiteral("Name: _____")).text.isEmpty());
        for (const DrawOp& op : r.Texts())
            QVERIFY2(!op.text.contains(QLatin1String("1990")) && !op.text.contains(QLatin1String("/90")),
                     qPrintable(op.text));

        // No quantity anywhere: sub-total 0 and every figure left to fill in.
        QCOMPARE(TextsEqual(r, QStringLiteral("= $__________")).size(), 4);
        QCOMPARE(TextsEqual(r, QStringLiteral("___x $39.95 = $_____")).size(), 1);
        // Master Card and Ground are the only ticks.
        QList<double> ticks;
        for (const DrawOp& op : TextsEqual(r, Ticked))
            ticks << op.box.left();
        QCOMPARE(ticks, (QList<double>{2880, std::floor(1440 * 4.25) + 45}));
    }
};

QTEST_MAIN(TestPrintForms)
#include "tst_print_forms.moc"
