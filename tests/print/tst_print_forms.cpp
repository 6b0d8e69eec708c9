// The patient record and the video order form as drawn on a recording surface.
#include "Documents.h"
#include "PageComposer.h"
#include "RecordingSurface.h"
#include "TestMain.h"
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

// Horizontal rules from `left` to `right`, top to bottom, and the X of vertical ones.
QList<double> Rules(const RecordingSurface& r, double left, double right, bool horizontal = true)
{
    QList<double> out;
    for (const DrawOp& op : r.Ops) {
        if (op.kind != QLatin1String("line"))
            continue;
        if (horizontal && op.box.height() == 0 && op.box.left() == left && op.box.right() == right)
            out << op.box.top();
        if (!horizontal && op.box.width() == 0 && op.box.top() >= left && op.box.bottom() <= right)
            out << op.box.left();
    }
    std::sort(out.begin(), out.end());
    return out;
}

QList<DrawOp> TextsEqual(const RecordingSurface& r, const QString& text)
{
    QList<DrawOp> out;
    for (const DrawOp& op : r.Texts())
        if (op.text == text)
            out << op;
    return out;
}

// The texts whose top lies between two rules: one row of a grid.
QStringList TextsBetween(const RecordingSurface& r, double top, double bottom)
{
    QStringList out;
    for (const DrawOp& op : r.Texts())
        if (op.box.top() > top && op.box.top() < bottom)
            out << op.text;
    return out;
}

QList<double> Columns(std::initializer_list<double> inches)
{
    QList<double> out;
    for (double v : inches)
        out << std::floor(v * 1440) - G;
    return out;
}

void Compose(AppContext& ctx, PrintJobKind kind, RecordingSurface& r, double scale = 1)
{
    ctx.Geometry.PageScale = scale;
    ctx.Geometry.PreviewMode = scale != 1;
    QVERIFY(ComposeDocument(ctx, kind, r));
}

// The check boxes drawn in a column, top to bottom.
QStringList BoxesAt(const RecordingSurface& r, double x)
{
    QStringList out;
    for (const DrawOp& op : r.Texts())
        if ((op.text == Ticked || op.text == Unticked) && op.box.left() == x)
            out << op.text;
    return out;
}

} // namespace

class TestPrintForms : public QObject
{
    Q_OBJECT

private slots:
    void recordGridsStandOnTheirColumns()
    {
        TestContext t(false);
        FillProgram(*t, 3);
        t->Program.Entries[1].Hold = 0;
        RecordingSurface r;
        Compose(*t, PrintJobKind::PatientRecord, r);
        QCOMPARE(r.Page, 0);
        QCOMPARE(r.FindText(QStringLiteral("Patient:")).box.left(), 1440.0);
        QCOMPARE(r.FindText(QStringLiteral("Provider:")).box.left(), 6120.0);

        // 21 program passes and 16 log passes, each grid with its top rule; every rule
        // stands g left of its column.
        const QList<double> rules = Rules(r, 1440 - G, 10800 - G);
        QCOMPARE(rules.size(), 22 + 17);
        const QList<double> program = rules.mid(0, 22);
        const QList<double> log = rules.mid(22);
        const DrawOp logHeading = r.FindText(QStringLiteral("EXERCISE LOG"));
        QVERIFY(program.last() < logHeading.box.top() && logHeading.box.bottom() < log.first());
        QCOMPARE(Rules(r, program.first(), program.last(), false),
                 Columns({1, 1.5, 2, 6, 6.5, 7, 7.5}));
        QCOMPARE(Rules(r, log.first(), log.last(), false), Columns({1, 2, 7.5}));

        // Heads under the top rule, every cell inside its row, the rest empty.
        QCOMPARE(TextsBetween(r, program[0], program[1]),
                 (QStringList{"Nbr", "Code", "Description", "Reps", "Hold", "Sets"}));
        QCOMPARE(TextsBetween(r, program[1], program[2]),
                 (QStringList{" 1 ", "C1", "Exercise number 1", " 10 ", "5s", " 3 "}));
        QCOMPARE(TextsBetween(r, program[2], program[3]).at(4), QStringLiteral("0s"));
        for (int row = 5; row < 22; ++row)
            QVERIFY(TextsBetween(r, program[row - 1], program[row]).isEmpty());
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
        QTest::newRow("full, preview") << 20 << 0.75;
    }

    void recordKeepsItsSizeWhateverTheProgramHolds()
    {
        QFETCH(int, exercises);
        QFETCH(double, scale);
        TestContext t(false);
        FillProgram(*t, exercises);
        RecordingSurface r;
        Compose(*t, PrintJobKind::PatientRecord, r, scale);
        QCOMPARE(r.Page, 0);
        const double inch = std::floor(1440 * scale);
        const double g = std::floor(inch * 0.0625);
        const QList<double> rules = Rules(r, inch - g, std::floor(inch * 7.5) - g);
        QCOMPARE(rules.size(), 39);
        if (exercises == 20)
            QVERIFY(TextsBetween(r, rules[20], rules[21]).contains(QStringLiteral("C20")));
        QVERIFY(r.FindText(QStringLiteral("Signature:")).box.bottom() <
                r.FindText(PublisherNotice()).box.top());
    }

    void orderTotals_data()
    {
        QTest::addColumn<QString>("ship");
        QTest::addColumn<qint64>("subCents");
        QTest::addColumn<int>("tax");
        QTest::addColumn<qint64>("shipCents");
        QTest::addColumn<qint64>("taxCents");
        QTest::addColumn<qint64>("totalCents");
        QTest::newRow("next day, no tax")
            << "UPS Next Day" << qint64(5000) << 0 << qint64(1400) << qint64(0) << qint64(6400);
        QTest::newRow("ground, tax on 100")
            << "UPS Ground" << qint64(10000) << 5 << qint64(400) << qint64(500) << qint64(10900);
        QTest::newRow("2-day, not the dialog's 12")
            << "UPS 2-Day" << qint64(1995) << 0 << qint64(800) << qint64(0) << qint64(2795);
        QTest::newRow("unknown method ships free")
            << "Courier" << qint64(1000) << 0 << qint64(0) << qint64(0) << qint64(1000);
    }

    void orderTotals()
    {
        QFETCH(QString, ship);
        QFETCH(qint64, subCents);
        QFETCH(int, tax);
        QFETCH(qint64, shipCents);
        QFETCH(qint64, taxCents);
        QFETCH(qint64, totalCents);
        ProgramState p;
        p.ShipMethod = ship;
        p.Tax = static_cast<qint16>(tax);
        // Two of half the amount, so the quantity counts.
        p.OrderItems[0] = {QStringLiteral("A"), QStringLiteral("Tape"), 2,
                           Currency::FromRaw(subCents * 50)};
        p.OrderItemCount = 1;
        const OrderTotals t = ComputeOrderTotals(p).Value();
        QCOMPARE(t.SubTotal, Currency::FromCents(subCents));
        QCOMPARE(t.Shipping, Currency::FromCents(shipCents));
        QCOMPARE(t.Tax, Currency::FromCents(taxCents));
        QCOMPARE(t.Total, Currency::FromCents(totalCents));
    }

    void orderLinesText()
    {
        ProgramState p;
        p.OrderItems[0] = {QStringLiteral("A"), QStringLiteral("Video tape"), 2,
                           Currency::FromCents(1995)};
        p.OrderItems[1] = {QStringLiteral("B"), QStringLiteral("Band"), 0,
                           Currency::FromCents(500)};
        // A slot past the count is not part of the order.
        p.OrderItems[2] = {QStringLiteral("C"), QStringLiteral("Stale"), 1,
                           Currency::FromCents(100)};
        p.OrderItemCount = 2;
        QCOMPARE(OrderItemDescriptions(p), QStringLiteral("Video tape\r\nBand\r\n\r\n"));
        QCOMPARE(OrderItemAmounts(p).Value(),
                 QStringLiteral(
                     "  2  x $19.95 = $39.90\r\n___x $5.00 = $_____\r\n___x $0.00 = $_____\r\n"));

        // Amounts too large for the money type are reported, not wrapped.
        p.OrderItems[0] = {QStringLiteral("A"), QStringLiteral("Tape"), 32767,
                           Currency::FromRaw(Q_INT64_C(1) << 50)};
        const QString tooLarge =
            QStringLiteral("Overflow: an amount of the order is too large to print.");
        QCOMPARE(ComputeOrderTotals(p).Reason(), tooLarge);
        QCOMPARE(OrderItemAmounts(p).Reason(), tooLarge);
        // The form is not drawn at all then: no half-filled order goes out.
        TestContext t(false);
        t->Program = p;
        RecordingSurface none;
        QCOMPARE(ComposeDocument(*t, PrintJobKind::VideoOrder, none).Reason(), tooLarge);
        QVERIFY(none.FindText(QStringLiteral("Sub-Total")).text.isEmpty());
    }

    void checksumOfTheVideoExercises()
    {
        TestContext t(false);
        FillProgram(*t, 3);
        ProgramState& p = t->Program;
        ProgramEntry& video = p.Entries[1];
        video.HasVideo = true;
        video.code = QStringLiteral("1234B");
        video.VideoReps = 8;
        video.VideoSets = 2;
        RecordingSurface r;
        Compose(*t, PrintJobKind::VideoOrder, r);
        QCOMPARE(r.Page, 0);
        QVERIFY(!r.FindText(QStringLiteral("CHECKSUM: 1234")).text.isEmpty());

        // Only the video exercise, in the program's second row, with the video's numbers.
        const QList<double> rules = Rules(r, 1440 - G, 10800 - G);
        QCOMPARE(rules.size(), 22);
        QCOMPARE(Rules(r, rules.first(), rules.last(), false), Columns({1, 2, 6, 6.5, 7, 7.5}));
        QCOMPARE(TextsBetween(r, rules[0], rules[1]),
                 (QStringList{"Code", "Description", "Reps", "Hold", "Sets"}));
        QVERIFY(TextsBetween(r, rules[1], rules[2]).isEmpty());
        QCOMPARE(TextsBetween(r, rules[2], rules[3]),
                 (QStringList{"1234B", "Exercise number 2", " 8 ", "0s", " 2 "}));
        QVERIFY(TextsBetween(r, rules[3], rules[4]).isEmpty());

        // Codes without a leading number add nothing; below 1 the vendor fills it in.
        video.code = QStringLiteral("B12");
        p.Entries[0].HasVideo = true;
        p.Entries[0].code = QStringLiteral(" 7x");
        QCOMPARE(VideoChecksum(p).Value(), 7);
        p.Entries[0].HasVideo = false;
        RecordingSurface blank;
        Compose(*t, PrintJobKind::VideoOrder, blank);
        QVERIFY(
            !blank.FindText(QStringLiteral("CHECKSUM (to be filled by VMR):____")).text.isEmpty());

        p.Entries[0].HasVideo = true;
        p.Entries[0].code = QStringLiteral("2147483647");
        video.code = QStringLiteral("1");
        QCOMPARE(VideoChecksum(p).Reason(),
                 QStringLiteral("Overflow: the checksum of the exercise codes is out of range."));
    }

    void cardOrderWithTotals()
    {
        TestContext t(false);
        FillProgram(*t, 1);
        ProgramState& p = t->Program;
        p.ShipMethod = QStringLiteral("UPS 2-Day");
        p.PayMethod = QStringLiteral("VISA");
        p.CardNum = QStringLiteral("4111");
        p.Tax = 5;
        p.OrderItems[0] = {QStringLiteral("VT"), QStringLiteral("Video tape"), 1,
                           Currency::FromCents(3995)};
        p.OrderItems[1] = {QStringLiteral("TB"), QStringLiteral("Band"), 2,
                           Currency::FromCents(850)};
        p.OrderItemCount = 2;
        RecordingSurface r;
        Compose(*t, PrintJobKind::VideoOrder, r);

        QCOMPARE(BoxesAt(r, 1440), (QStringList{Ticked, Unticked})); // VISA; purchase order
        QCOMPARE(BoxesAt(r, 2880), QStringList{Unticked});           // Master Card
        QCOMPARE(BoxesAt(r, 6120 + 45), (QStringList{Unticked, Ticked, Unticked}));
        QVERIFY(!r.FindText(QStringLiteral(" 2 Day        $8.00")).text.isEmpty());
        QVERIFY(!r.FindText(QStringLiteral("Card #: 4111")).text.isEmpty());
        // No card date is a blank to write in, never a date of 1990.
        QCOMPARE(TextsEqual(r, QStringLiteral("Exp Date: __________")).size(), 1);

        // Sub-total 56.95, shipping 8, tax 2.85, total 67.80, one under the other.
        double lastY = 0;
        for (const QString a : {"= $56.95", "= $8.00", "= $2.85", "= $67.80"}) {
            const QList<DrawOp> ops = TextsEqual(r, a);
            QCOMPARE(ops.size(), 1);
            QCOMPARE(ops.first().box.left(),
                     std::floor(1440 * 1.85 + 6120) + std::floor(1440 * 0.7));
            QVERIFY(ops.first().box.top() > lastY);
            lastY = ops.first().box.top();
        }
        QVERIFY(r.FindText(QStringLiteral("For questions")).box.bottom() <
                r.FindText(PublisherNotice()).box.top());
    }

    void purchaseOrderAndBlanks()
    {
        TestContext t(false);
        FillProgram(*t, 1);
        ProgramState& p = t->Program;
        p.PatientName.clear();
        p.Provider.clear();
        p.PayMethod = QStringLiteral("Purchase Order");
        p.CardNum = QStringLiteral("PO-77");
        p.OrderItems[0] = {QStringLiteral("A"), QStringLiteral("Tape"), 0,
                           Currency::FromCents(3995)};
        p.OrderItemCount = 1;
        RecordingSurface r;
        Compose(*t, PrintJobKind::VideoOrder, r);

        QCOMPARE(BoxesAt(r, 1440), (QStringList{Unticked, Ticked}));
        QCOMPARE(BoxesAt(r, 2880), QStringList{Unticked});
        QVERIFY(!r.FindText(QStringLiteral("Purchase Order #: PO-77")).text.isEmpty());
        // The card lines carry their labels only, spaced as for a card.
        const DrawOp card = TextsEqual(r, QStringLiteral("Card #: ")).value(0);
        const DrawOp date = TextsEqual(r, QStringLiteral("Exp Date: ")).value(0);
        const DrawOp name = TextsEqual(r, QStringLiteral("Name: ")).value(0);
        QCOMPARE(date.box.top() - card.box.top(), 420.0);
        QCOMPARE(name.box.top() - date.box.top(), 420.0);

        // Both addresses, the patient and the provider are blanks; no quantity leaves
        // every figure to fill in.
        QCOMPARE(TextsEqual(r, AddressBlank).size(), 6 + 6 + 2);
        QCOMPARE(TextsEqual(r, AddressBlank).last().box.left(), 3240.0);
        QCOMPARE(TextsEqual(r, QStringLiteral("= $__________")).size(), 4);
        QCOMPARE(TextsEqual(r, QStringLiteral("___x $39.95 = $_____")).size(), 1);
    }
};

TRAMELLE_TEST_MAIN(TestPrintForms)
#include "tst_print_forms.moc"
