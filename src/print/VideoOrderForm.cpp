#include "VideoOrderForm.h"

#include "AppContext.h"
#include "FormGrid.h"

#include <QCoreApplication>
#include <QLocale>
#include <array>
#include <limits>
#include <optional>

namespace tramelle {

namespace {

// The words this file prints, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(tramelle::VideoOrderForm)
};

const QString PurchaseOrder = QStringLiteral("Purchase Order");
const QString AddressBlank = QStringLiteral("________________________");
const QString PhoneBlank = QStringLiteral("(____)___________________");
const QString DateBlank = QStringLiteral("__________");

struct ShippingChoice
{
    QString method;
    const char* label; // printed, translated
    qint64 charge;
};

// The form's own charges, in whole currency units.
const std::array<ShippingChoice, 3> ShippingChoices{{
    {QStringLiteral("UPS Ground"), QT_TRANSLATE_NOOP("tramelle::VideoOrderForm", " Ground     "),
     4},
    {QStringLiteral("UPS 2-Day"), QT_TRANSLATE_NOOP("tramelle::VideoOrderForm", " 2 Day        "),
     8},
    {QStringLiteral("UPS Next Day"), QT_TRANSLATE_NOOP("tramelle::VideoOrderForm", " Next Day  "),
     14},
}};

QString AmountOverflow()
{
    return Texts::tr("Overflow: an amount of the order is too large to print.");
}

// a + b, or nothing when the sum does not fit.
std::optional<Currency> Plus(Currency a, Currency b)
{
    qint64 raw = 0;
    if (__builtin_add_overflow(a.Raw, b.Raw, &raw))
        return std::nullopt;
    return Currency::FromRaw(raw);
}

std::optional<Currency> LineAmount(const OrderItem& item)
{
    qint64 raw = 0;
    if (__builtin_mul_overflow(item.Price.Raw, qint64(item.Qty), &raw))
        return std::nullopt;
    return Currency::FromRaw(raw);
}

// Slots past the count hold nothing the user chose: they print as empty lines.
OrderItem ItemAt(const ProgramState& program, int i)
{
    if (i < std::clamp<int>(program.OrderItemCount, 0, MaxOrderItems))
        return program.OrderItems.at(std::size_t(i));
    return {};
}

QString ShortDateOrBlank(const QDateTime& date)
{
    return date.isValid() ? QLocale().toString(date.date(), QLocale::ShortFormat) : DateBlank;
}

QString BlankAddress()
{
    QString text;
    for (int i = 0; i < 6; ++i)
        text += AddressBlank + QStringLiteral("\r\n");
    return text + PhoneBlank;
}

// The number a code starts with, as the vendor reads it: "123A" is 123, "A12" is 0.
qint64 LeadingNumber(const QString& code)
{
    qint64 value = 0;
    for (QChar ch : code.trimmed()) {
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
            break;
        value = value * 10 + (ch.unicode() - '0');
        if (value > std::numeric_limits<qint32>::max())
            return value; // already out of range; the caller reports it
    }
    return value;
}

} // namespace

Result<OrderTotals> ComputeOrderTotals(const ProgramState& program)
{
    OrderTotals t;
    for (int i = 0; i < MaxOrderItems; ++i) {
        const std::optional<Currency> line = LineAmount(ItemAt(program, i));
        const std::optional<Currency> sum = line ? Plus(t.SubTotal, *line) : std::nullopt;
        if (!sum)
            return Result<OrderTotals>::Failed(AmountOverflow());
        t.SubTotal = *sum;
    }
    if (program.Tax != 0) {
        if (t.SubTotal.Raw > std::numeric_limits<qint64>::max() / 100 ||
            t.SubTotal.Raw < std::numeric_limits<qint64>::min() / 100)
            return Result<OrderTotals>::Failed(AmountOverflow());
        t.Tax = PercentOf(t.SubTotal, 5);
    }
    for (const ShippingChoice& choice : ShippingChoices)
        if (program.ShipMethod == choice.method)
            t.Shipping = Currency::FromUnits(choice.charge);
    const std::optional<Currency> withShipping = Plus(t.SubTotal, t.Shipping);
    const std::optional<Currency> total = withShipping ? Plus(*withShipping, t.Tax) : std::nullopt;
    if (!total)
        return Result<OrderTotals>::Failed(AmountOverflow());
    t.Total = *total;
    return t;
}

QString OrderItemDescriptions(const ProgramState& program)
{
    QString text;
    for (int i = 0; i < MaxOrderItems; ++i)
        text += ItemAt(program, i).Description + QStringLiteral("\r\n");
    return text;
}

Result<QString> OrderItemAmounts(const ProgramState& program)
{
    QString text;
    for (int i = 0; i < MaxOrderItems; ++i) {
        const OrderItem item = ItemAt(program, i);
        const std::optional<Currency> amount = LineAmount(item);
        if (!amount)
            return Result<QString>::Failed(AmountOverflow());
        if (item.Qty != 0)
            text += QStringLiteral("  ") + QString::number(item.Qty) + QStringLiteral("  x ") +
                    CurrencyText(item.Price) + QStringLiteral(" = ") + CurrencyText(*amount);
        else
            text +=
                QStringLiteral("___x ") + CurrencyText(item.Price) + QStringLiteral(" = $_____");
        text += QStringLiteral("\r\n");
    }
    return text;
}

Result<qint32> VideoChecksum(const ProgramState& program)
{
    qint64 sum = 0;
    const int count = std::clamp<int>(program.EntryCount, 0, MaxProgramEntries);
    for (int i = 0; i < count; ++i) {
        const ProgramEntry& e = program.Entries.at(std::size_t(i));
        if (!e.HasVideo)
            continue;
        sum += LeadingNumber(e.code);
        if (sum > std::numeric_limits<qint32>::max())
            return Result<qint32>::Failed(
                Texts::tr("Overflow: the checksum of the exercise codes is out of range."));
    }
    return static_cast<qint32>(sum);
}

void PrintShippingChoices(PageComposer& c, qint16 x)
{
    for (const ShippingChoice& choice : ShippingChoices) {
        c.S.CurrentX = x;
        c.PrintCheckBox(c.Ctx.Program.ShipMethod == choice.method);
        c.S.PrintStay(Texts::tr(choice.label) + CurrencyText(Currency::FromUnits(choice.charge)));
        c.AdvanceRow();
    }
}

Outcome PrintVideoOrderForm(AppContext& ctx, OutputSurface& surface)
{
    PageComposer c(ctx, surface);
    PageGeometry& g = ctx.Geometry;
    OutputSurface& s = surface;
    const ProgramState& p = ctx.Program;
    // The figures first: a form is drawn whole or not at all.
    const Result<qint32> checksum = VideoChecksum(p);
    const Result<QString> amounts = OrderItemAmounts(p);
    const Result<OrderTotals> figures = ComputeOrderTotals(p);
    for (const QString& reason : {checksum.Reason(), amounts.Reason(), figures.Reason()})
        if (!reason.isEmpty())
            return Outcome::Failed(reason);
    const OrderTotals& totals = figures.Value();

    StartDocumentGeometry(g, 10);
    g.PageMargin = g.UnitsPerInch;
    const qint16 offset = c.Inches(0.0625);
    const qint16 nudge = IntFloor16(offset / 2.0);
    const qint16 halfNudge = IntFloor16(nudge / 2.0);
    const qint16 shipColumn = c.Inches(3.75);
    const qint16 dateColumn = c.Inches(6.25);
    const qint16 valueColumn = c.Inches(2.25);
    const qint16 bandEnd = IntFloor16(g.UnitsPerInch * 7.5 - offset);
    const double bodySize = g.BaseFontSize * g.PageScale;
    auto at = [&s](double x, const QString& text, bool endLine = false) {
        s.CurrentX = x;
        s.Print(text, endLine);
    };
    auto boldAfter = [&s](const QString& text) {
        s.SetFontBold(true);
        s.PrintStay(text);
        s.SetFontBold(false);
    };

    if (g.PreviewMode)
        s.Cls();
    c.PrintTitle(c.PageTitle());
    s.SetFontSize(10 * g.PageScale);
    c.AdvanceSpacedRow();
    s.PrintLine();
    c.AdvanceRow();
    s.SetFontSize(bodySize);
    s.CurrentY += nudge;

    // 1 and 2: the addresses, blanks to write in where the order has none.
    at(g.PageMargin, QStringLiteral("1. "));
    boldAfter(Texts::tr("BILL TO:"));
    at(shipColumn, QStringLiteral("2. "));
    boldAfter(Texts::tr("SHIP TO:  "));
    c.PrintCheckBox(false);
    s.CurrentX += nudge; // the box's glyph has no side bearing of its own
    s.PrintStay(Texts::tr("Billing address"));
    at(dateColumn, Texts::tr("DATE:"));
    c.AdvanceSpacedRow();
    const qint16 addressTop = IntFloor16(s.CurrentY);
    c.PrintTextRows(g.PageMargin, p.BillAddr.isEmpty() ? BlankAddress() : p.BillAddr);
    s.CurrentY = addressTop;
    if (!p.ShipAddr.isEmpty()) {
        c.PrintTextRows(shipColumn, p.ShipAddr);
        at(shipColumn, Texts::tr("Phone: ") + p.ShipPhone, true);
    } else {
        c.PrintTextRows(shipColumn, BlankAddress());
    }
    s.CurrentY = addressTop;
    at(dateColumn, ShortDateOrBlank(p.Date), true);
    c.AdvanceRows(6.5);

    // 3: who the tape is for and the exercises that have a video.
    PrintShadedHeading(c, Texts::tr("3. TAPE CONTENT"), offset, bandEnd);
    s.CurrentY += nudge;
    at(g.PageMargin, Texts::tr("Patient: "));
    if (p.PatientName.isEmpty())
        at(valueColumn, AddressBlank);
    else
        s.PrintStay(p.PatientName);
    at(c.Inches(5.25), p.Usage.isEmpty() ? QStringLiteral("___x per_______") : p.Usage, true);
    at(g.PageMargin, Texts::tr("Provider: "));
    if (p.Provider.isEmpty())
        at(valueColumn, AddressBlank, true);
    else
        s.PrintLine(p.Provider);
    at(g.PageMargin, Texts::tr("Phone: "));
    at(valueColumn, PhoneBlank, true);

    s.CurrentY += nudge;
    const FormGrid tape{{g.UnitsPerInch, c.Inches(2), c.Inches(6), c.Inches(6.5), c.Inches(7)},
                        c.Inches(7.5),
                        offset};
    const qint16 tapeTop =
        tape.StartWithHeads(c,
                            {Texts::tr("Code"), Texts::tr("Description"), Texts::tr("Reps"),
                             Texts::tr("Hold"), Texts::tr("Sets")},
                            nudge);
    const int count = std::clamp<int>(p.EntryCount, 0, MaxProgramEntries);
    for (int i = 0; i <= MaxProgramEntries; ++i) {
        c.AdvanceRow();
        // An exercise without a video keeps its row, empty: rows match the program's numbers.
        if (i < count && p.Entries.at(std::size_t(i)).HasVideo) {
            const ProgramEntry& e = p.Entries.at(std::size_t(i));
            tape.Cell(c, 0, e.code);
            tape.Cell(c, 1, e.Desc);
            tape.Cell(c, 2, NumberCell(e.VideoReps));
            tape.Cell(c, 3, SecondsCell(e.VideoHold));
            tape.Cell(c, 4, NumberCell(e.VideoSets));
        }
        tape.RowRule(c, halfNudge, nudge);
    }
    tape.Verticals(c, tapeTop, IntFloor16(s.CurrentY - nudge));

    s.CurrentY += nudge;
    s.SetFontSize(10 * g.PageScale);
    at(g.PageMargin, checksum.Value() >= 1
                         ? Texts::tr("CHECKSUM: ") + QString::number(checksum.Value())
                         : Texts::tr("CHECKSUM (to be filled by VMR):____"));
    c.AdvanceRow();
    s.CurrentY += nudge;

    // 4 and 5 side by side: how the clinic pays, and what it orders.
    const qint16 x5 = c.Inches(4.25);
    const qint16 band = IntFloor16(s.CurrentY);
    c.ShadeBand(CheckedInt16(double(g.PageMargin) - offset), bandEnd, band);
    s.CurrentY = band;
    s.SetFontBold(true);
    at(g.PageMargin, Texts::tr(" 4. PAYMENT METHOD"));
    at(x5, Texts::tr(" 5. ORDER QUANTITY & PRICE"), true);
    s.SetFontBold(false);
    s.CurrentY += offset + nudge;

    const bool byPurchaseOrder = p.PayMethod == PurchaseOrder;
    s.CurrentX = g.PageMargin;
    c.PrintCheckBox(p.PayMethod == QLatin1String("VISA"));
    s.CurrentX = g.PageMargin + g.UnitsPerInch;
    c.PrintCheckBox(p.PayMethod == QLatin1String("Master Card"));
    const qint16 xc = IntFloor16(s.TextWidth(QStringLiteral("XX")) + g.PageMargin);
    at(xc, Texts::tr("Visa"));
    at(xc + g.UnitsPerInch, Texts::tr("Master Card"));
    at(c.Inches(6), Texts::tr("Qty"));
    at(c.Inches(7), Texts::tr("Total"));
    c.AdvanceSpacedRows(1.75);
    const qint16 yp = IntFloor16(s.CurrentY);
    // A purchase order has no card: its lines keep their labels only, evenly spaced
    // like the card's so the block reads the same either way.
    auto cardValue = [byPurchaseOrder](const QString& value, const QString& blank) {
        return byPurchaseOrder ? QString() : value.isEmpty() ? blank : value;
    };
    at(xc, Texts::tr("Card #: ") +
               cardValue(p.CardNum, QStringLiteral("_____________________________")));
    c.AdvanceSpacedRows(1.75);
    // A card without a date leaves the date to be written in.
    at(xc, Texts::tr("Exp Date: ") + (byPurchaseOrder ? QString() : ShortDateOrBlank(p.CardDate)));
    c.AdvanceSpacedRows(1.75);
    at(xc, Texts::tr("Name: ") +
               cardValue(p.NameOnCard, QStringLiteral("______________________________")));
    c.AdvanceSpacedRows(1.75);
    at(xc, Texts::tr("Signature: ___________________________"));
    c.AdvanceSpacedRows(1.75);
    s.CurrentX = g.PageMargin;
    c.PrintCheckBox(byPurchaseOrder);
    const QString poNumber = byPurchaseOrder && !p.CardNum.isEmpty()
                                 ? p.CardNum
                                 : QStringLiteral("_____________________");
    at(xc, Texts::tr("Purchase Order #: ") + poNumber, true);
    const qint16 yq = IntFloor16(s.CurrentY);

    s.CurrentY = yp;
    c.PrintTextRows(x5, OrderItemDescriptions(p));
    s.CurrentY = yp;
    c.PrintTextRows(CheckedInt16(x5 + c.Inches(1.75)), amounts.Value());
    s.CurrentY += offset;
    const qint16 yb = IntFloor16(s.CurrentY);
    s.Box(x5, yb - nudge, x5 + c.Inches(1.45), yb + c.Inches(0.5));
    s.CurrentY = yb;
    PrintShippingChoices(c, CheckedInt16(x5 + nudge));

    s.CurrentY = yb;
    const qint16 xT = IntFloor16(g.UnitsPerInch * 1.85 + x5);
    const double amountX = xT + c.Inches(0.7);
    // Without a sub-total the figures are left for the vendor to fill in.
    auto amount = [&](Currency value) {
        at(amountX, totals.SubTotal.Raw != 0 ? QStringLiteral("= ") + CurrencyText(value)
                                             : QStringLiteral("= $__________"));
    };
    at(xT, Texts::tr("Sub-Total"));
    amount(totals.SubTotal);
    c.AdvanceRow();
    c.AdvanceRow();
    s.CurrentX = xT - offset;
    c.PrintMarker();
    s.PrintStay(Texts::tr("Shipping"));
    amount(totals.Shipping);
    c.AdvanceRow();
    s.CurrentY += offset;
    at(xT - g.UnitsPerInch, Texts::tr("5% sales Tax (MA only)"));
    amount(totals.Tax);
    c.AdvanceRow();
    s.CurrentY += offset;
    at(xT, Texts::tr("Total"));
    amount(totals.Total);
    c.AdvanceRow();
    const qint16 yr = IntFloor16(s.CurrentY);
    s.Line(x5 - offset, yp - c.Inches(0.18), x5 - offset, std::max(yr, yq));

    s.PrintLine();
    s.SetFontSize(12 * g.PageScale);
    c.PrintCentered(Texts::tr("Please FAX completed order form to Velmora, Inc. at ") +
                    ctx.VendorFax);
    c.AdvanceSpacedRow();
    c.PrintCentered(Texts::tr("For questions, call Velmora, Inc. at ") + ctx.VendorPhone);
    c.AdvanceSpacedRow();
    c.PrintPlainFooter();
    return Outcome::Done();
}

} // namespace tramelle
