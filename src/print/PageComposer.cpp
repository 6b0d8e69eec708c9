#include "PageComposer.h"

#include "AppContext.h"
#include "Paths.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>

namespace tramelle {

namespace {

// The words this file prints, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(tramelle::PageComposer)
};

const QString Arial = QStringLiteral("Arial");
// Check boxes and the marker come from a font that has those glyphs on every install.
const QString SymbolFont = QStringLiteral("DejaVu Sans");
const QChar TickedBox(0x2611);
const QChar EmptyBox(0x2610);
const QChar Marker(0x2794);

} // namespace

QStringList SplitLines(const QString& text)
{
    QStringList lines;
    const QString crlf = QStringLiteral("\r\n");
    qsizetype start = 0;
    for (;;) {
        const qsizetype p = text.indexOf(crlf, start);
        if (p < 0) {
            if (start < text.size())
                lines << text.mid(start);
            return lines;
        }
        lines << text.mid(start, p - start);
        start = p + 2;
    }
}

qint32 FindFirstOf(qint32 start, const QString& text, const QString& characters)
{
    for (qsizetype i = std::max<qint32>(start, 1) - 1; i < text.size(); ++i) {
        if (characters.contains(text.at(i)))
            return static_cast<qint32>(i + 1);
    }
    return 0;
}

QString PublisherNotice()
{
    return Texts::tr("Prepared with VMR Tramelle, Velmora, Inc.");
}

void StartDocumentGeometry(PageGeometry& g, double baseFontSize)
{
    g.BaseFontSize = baseFontSize;
    g.UnitsPerInch = IntFloor16(g.PageScale * 1440.0);
}

PageComposer::PageComposer(AppContext& ctx, OutputSurface& surface)
    : Ctx(ctx), S(surface), G(ctx.Geometry)
{
}

double PageComposer::PageWidthUnits() const
{
    return G.UnitsPerInch * G.PageWidthInches;
}

QString PageComposer::PageTitle() const
{
    // A clinic that has not filled in its details gets no lone separator on its pages.
    if (Ctx.Clinic.Name.isEmpty() || Ctx.Clinic.Phone.isEmpty())
        return Ctx.Clinic.Name + Ctx.Clinic.Phone;
    return Ctx.Clinic.Name + QStringLiteral(", ") + Ctx.Clinic.Phone;
}

void PageComposer::SetOrientation(PageOrientation orientation)
{
    // A printer that refuses the orientation still gets the page drawn.
    S.SetOrientation(orientation);
    if (orientation == PageOrientation::Portrait) {
        G.PageWidthInches = 8.5;
        G.PageHeightInches = 11;
    } else {
        G.PageWidthInches = 11;
        G.PageHeightInches = 8.5;
    }
}

void PageComposer::SetCenteredX(const QString& text)
{
    S.CurrentX = (PageWidthUnits() - S.TextWidth(text)) / 2.0;
}

void PageComposer::SetRightAlignedX(const QString& text)
{
    S.CurrentX = PageWidthUnits() - S.TextWidth(text) - G.PageMargin;
}

void PageComposer::PrintCentered(const QString& text)
{
    SetCenteredX(text);
    S.PrintStay(text);
}

void PageComposer::PrintCenteredLine(const QString& text)
{
    SetCenteredX(text);
    S.PrintLine(text);
}

void PageComposer::PrintRight(const QString& text)
{
    SetRightAlignedX(text);
    S.PrintStay(text);
}

void PageComposer::PrintSymbol(QChar symbol)
{
    const QString remembered = S.FontName();
    S.SetFontName(SymbolFont);
    S.PrintStay(QString(symbol));
    S.SetFontName(remembered);
}

void PageComposer::PrintCheckBox(bool ticked)
{
    PrintSymbol(ticked ? TickedBox : EmptyBox);
}

void PageComposer::PrintMarker()
{
    PrintSymbol(Marker);
}

void PageComposer::PrintTitle(const QString& text)
{
    S.SetFontName(Arial);
    S.SetFontSize(12 * G.PageScale);
    S.CurrentY = G.UnitsPerInch * TopInches;
    PrintCentered(text);
}

void PageComposer::PrintHeaderBlock()
{
    S.SetFontSize(10 * G.PageScale);
    S.PrintLine();
    S.SetFontSize(G.BaseFontSize * G.PageScale);

    const double label1 = G.PageMargin;
    const double value1 = G.PageMargin + G.UnitsPerInch;
    const double label2 = Inches(4.25);
    const double value2 = label2 + G.UnitsPerInch;
    const ProgramState& program = Ctx.Program;

    S.CurrentY = G.UnitsPerInch * (TopInches + 0.375);
    S.CurrentX = label1;
    S.PrintStay(Texts::tr("Patient:"));
    S.CurrentX = value1;
    S.PrintLine(program.PatientName);
    S.CurrentX = label1;
    S.PrintStay(Texts::tr("Usage:"));
    S.CurrentX = value1;
    S.PrintLine(program.Usage);

    S.CurrentY = G.UnitsPerInch * (TopInches + 0.375);
    S.CurrentX = label2;
    S.PrintStay(Texts::tr("Provider:"));
    S.CurrentX = value2;
    S.PrintLine(program.Provider);
    S.CurrentX = label2;
    S.PrintStay(Texts::tr("Date:"));
    S.CurrentX = value2;
    const QString date = program.Date.isValid()
                             ? QLocale().toString(program.Date.date(), QLocale::ShortFormat)
                             : QString();
    S.PrintLine(date);
}

double PageComposer::FooterTop() const
{
    return G.UnitsPerInch * G.PageHeightInches - 3 * S.TextHeight(QStringLiteral("X")) -
           BottomInches * G.UnitsPerInch;
}

void PageComposer::PrintPlainFooter()
{
    S.CurrentY = FooterTop();
    S.SetFontName(Arial);
    S.SetFontSize(10 * G.PageScale);
    PrintRight(PublisherNotice());
}

void PageComposer::PrintCallFooter()
{
    S.CurrentY = FooterTop();
    if (Ctx.Settings.PrintCallVMR) {
        S.SetFontBold(true);
        PrintCenteredLine(Texts::tr("Call Velmora, Inc. toll free at ") + Ctx.VendorPhone);
        PrintCenteredLine(Texts::tr("to order your video tape of this exercise program."));
        S.SetFontBold(false);
    }
    PrintRight(PublisherNotice());
}

void PageComposer::PrintTextLines(qint16 leftX, const QString& text)
{
    for (const QString& line : SplitLines(text)) {
        S.CurrentX = leftX;
        S.PrintLine(line);
    }
}

void PageComposer::PrintTextRows(qint16 leftX, const QString& text)
{
    for (const QString& line : SplitLines(text)) {
        S.CurrentX = leftX;
        S.PrintStay(line);
        AdvanceRow();
    }
}

void PageComposer::PrintWord(const QString& word, qint16 leftX, qint16 width)
{
    if (S.CurrentX + S.TextWidth(word) > leftX + width) {
        S.PrintLine();
        S.CurrentX = leftX;
    }
    S.PrintStay(word);
}

namespace {

// The word wrap of PrintWrapped, shared with the row count so the two never disagree:
// lineBreak() ends a row, word(text) puts a word where the row has reached. The widths
// add up in the same order as the surface's CurrentX does, so positions match exactly.
// A word that does not fit the rest of its row starts the next one; a word wider than
// the whole column is broken at the column's edge, so nothing runs past it.
template <typename LineBreak, typename Word>
void WalkWrapped(const OutputSurface& s, const QString& text, qint16 leftX, qint16 width,
                 LineBreak lineBreak, Word word)
{
    static const QRegularExpression paragraphBreak(QStringLiteral("\r\n|\r|\n"));
    const QString breakChars = QStringLiteral(" -");
    const double right = double(leftX) + width;
    double x = leftX;

    // A space at the end of a row takes no room that shows.
    auto visibleWidth = [&](const QString& w) {
        qsizetype n = w.size();
        while (n > 0 && w.at(n - 1) == QLatin1Char(' '))
            --n;
        return s.TextWidth(w.left(n));
    };
    auto put = [&](const QString& w) {
        word(w);
        x += s.TextWidth(w);
    };
    auto place = [&](QString w) {
        if (x + s.TextWidth(w) > right && x > leftX) {
            lineBreak();
            x = leftX;
        }
        // Wider than the column: as many characters as fit on each row.
        while (x == leftX && visibleWidth(w) > width) {
            qsizetype n = 1;
            while (n < w.size() && s.TextWidth(w.left(n + 1)) <= width)
                ++n;
            if (n > 1 && w.at(n - 1).isHighSurrogate())
                --n;
            put(w.left(n));
            w.remove(0, n);
            if (w.isEmpty())
                return;
            lineBreak();
            x = leftX;
        }
        put(w);
    };
    // A stored line break is honoured: printed as a character it would glue two lines
    // into one word.
    const QStringList paragraphs = text.split(paragraphBreak);
    for (qsizetype n = 0; n < paragraphs.size(); ++n) {
        if (n > 0) {
            lineBreak();
            x = leftX;
        }
        const QString& t = paragraphs.at(n);
        qint32 start = 1;
        for (;;) {
            const qint32 p = FindFirstOf(start, t, breakChars);
            if (p == 0) {
                place(t.mid(start - 1));
                break;
            }
            place(t.mid(start - 1, p - start + 1));
            start = p + 1;
        }
    }
}

} // namespace

void PageComposer::PrintWrapped(const QString& text, qint16 leftX, qint16 width)
{
    S.CurrentX = leftX;
    WalkWrapped(
        S, text, leftX, width,
        [&] {
            S.PrintLine();
            S.CurrentX = leftX;
        },
        [&](const QString& word) { S.PrintStay(word); });
}

int PageComposer::WrappedRowCount(const QString& text, qint16 leftX, qint16 width) const
{
    if (text.isEmpty())
        return 0;
    int rows = 1;
    WalkWrapped(
        S, text, leftX, width, [&] { ++rows; }, [](const QString&) {});
    return rows;
}

QString PageComposer::PicturePath(const QString& fileName)
{
    auto found = m_picturePaths.constFind(fileName);
    if (found == m_picturePaths.cend())
        found = m_picturePaths.insert(fileName, FindMediaFile(Ctx, MediaKind::Picture, fileName));
    return *found;
}

void PageComposer::PrefetchPictures(const QList<PictureBox>& pictures)
{
    QList<OutputSurface::PictureRequest> requests;
    for (const PictureBox& p : pictures) {
        const QString path = p.fileName.isEmpty() ? QString() : PicturePath(p.fileName);
        if (!path.isEmpty())
            requests.append({path, double(p.width), double(p.height)});
    }
    S.PrefetchPictures(requests);
}

void PageComposer::DrawPicture(const QString& fileName, qint16 x, qint16 y, qint16 width,
                               qint16 height)
{
    if (fileName.isEmpty())
        return;
    // A missing or unreadable picture, or a name that is no file inside the picture folder,
    // leaves its box empty, silently.
    const QString path = PicturePath(fileName);
    if (path.isEmpty())
        return;
    const QImage picture = S.LoadPicture(path, width, height);
    if (picture.isNull())
        return;
    S.PaintPicture(picture, x, y, width, height);
}

void PageComposer::ShadeBand(qint16 leftX, qint16 rightX, qint16 y)
{
    const double h = Round16(S.TextHeight(QStringLiteral("X")));
    S.FillBox(leftX, y - h / 8.0, rightX, y + h + h / 16.0, QColor(224, 224, 224));
}

void PageComposer::AdvanceRow()
{
    S.CurrentY += 220 * G.PageScale;
}

void PageComposer::AdvanceRows(double n)
{
    S.CurrentY += 220 * G.PageScale * n;
}

void PageComposer::AdvanceSpacedRow()
{
    S.CurrentY += 260 * G.PageScale;
}

void PageComposer::AdvanceSpacedRows(double n)
{
    S.CurrentY += 240 * G.PageScale * n;
}

} // namespace tramelle
