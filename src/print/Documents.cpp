#include "Documents.h"
#include "AppContext.h"
#include "LargePrint.h"
#include "PageComposer.h"
#include "PatientRecord.h"
#include "VideoOrderForm.h"

#include <QCoreApplication>
#include <array>
#include <vector>

namespace tramelle {

namespace {

// The words this file prints, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(tramelle::Documents)
};

} // namespace

QString RepsHoldSetsText(const ProgramEntry& entry)
{
    QString text = QString::number(entry.Reps) + Texts::tr(" rep");
    if (entry.Reps > 1)
        text += QLatin1Char('s');
    if (entry.Hold != 0)
        text += QStringLiteral(", ") + QString::number(entry.Hold) + Texts::tr(" sec hold");
    text += QStringLiteral(", ") + QString::number(entry.Sets) + Texts::tr(" set");
    if (entry.Sets > 1)
        text += QLatin1Char('s');
    return text;
}

namespace {

// Where one sheet's exercises go and how large its pictures and instructions are.
struct SheetPage
{
    int first = 0;
    int count = 0;
    qint16 pictureWidth = 0;
    qint16 pictureHeight = 0;
    double instructionPoints = 11;
};

// The fixed measures of the sheets in one orientation.
struct SheetLayout
{
    int perPage = 4;
    qint16 pictureWidth = 0;
    qint16 pictureHeight = 0;
    // Instructions wrap at the column's full width, whatever the boxes shrink to.
    qint16 columnWidth = 0;
    std::array<qint16, 3> columns{};
    double top = 0;       // where the first exercise of a page starts
    double footerTop = 0; // where the footer starts
    double headingRow = 0;
    double gap = 0;
};

// A page may shrink its pictures by this share at most before its instructions take a
// smaller font.
constexpr double MaxPictureShrink = 0.15;

std::array<const QString*, 3> Instructions(const ProgramEntry& e)
{
    return {&e.Instruct0, &e.Instruct1, &e.Instruct2};
}

// Plans the pages: each takes up to perPage exercises. When their instructions need more
// than the two rows left under the pictures, the page's pictures shrink by what is needed
// (at most 15 %), past that its instructions are set one point smaller (and the pictures
// shrink again as needed); only an exercise that still does not fit starts the next page.
std::vector<SheetPage> PlanSheetPages(PageComposer& c, const SheetLayout& layout,
                                      const ProgramState& program, int count)
{
    OutputSurface& s = c.S;
    const double scale = c.G.PageScale;
    const double basePoints = c.G.BaseFontSize - 1;

    // Rows each exercise needs under its pictures in a font, at least the two the layout leaves.
    auto rowsIn = [&](double points) {
        s.SetFontSize(points * scale);
        std::vector<int> rows(static_cast<size_t>(count), 2);
        for (int i = 0; i < count; ++i) {
            const auto texts = Instructions(program.Entries.at(i));
            for (int k = 0; k < 3; ++k)
                rows[size_t(i)] =
                    std::max(rows[size_t(i)],
                             c.WrappedRowCount(*texts[k], layout.columns[k], layout.columnWidth));
        }
        return std::pair{rows, s.TextHeight(QStringLiteral("X"))};
    };
    const std::array<std::pair<std::vector<int>, double>, 2> fonts{rowsIn(basePoints),
                                                                   rowsIn(basePoints - 1)};
    s.SetFontSize(c.G.BaseFontSize * scale);

    // The foot of a page holding exercises first .. first + n - 1 with pictures of this height.
    auto bottom = [&](int first, int n, const std::pair<std::vector<int>, double>& font,
                      qint16 height) {
        double y = layout.top;
        for (int i = first; i < first + n; ++i) {
            y += layout.headingRow;
            y = std::floor(y + layout.gap) + height + font.first[size_t(i)] * font.second;
        }
        return y;
    };
    const auto smallest =
        static_cast<qint16>(std::ceil(layout.pictureHeight * (1 - MaxPictureShrink)));

    std::vector<SheetPage> pages;
    int next = 0;
    while (next < count) {
        SheetPage page;
        page.first = next;
        bool placed = false;
        for (int n = std::min(layout.perPage, count - next); n > 0 && !placed; --n) {
            for (size_t f = 0; f < fonts.size() && !placed; ++f) {
                if (bottom(next, n, fonts[f], smallest) > layout.footerTop)
                    continue;
                // The tallest pictures that still fit.
                qint16 lo = smallest, hi = layout.pictureHeight;
                while (lo < hi) {
                    const auto mid = static_cast<qint16>((lo + hi + 1) / 2);
                    if (bottom(next, n, fonts[f], mid) <= layout.footerTop)
                        lo = mid;
                    else
                        hi = static_cast<qint16>(mid - 1);
                }
                page.count = n;
                page.pictureHeight = lo;
                page.instructionPoints = basePoints - double(f);
                placed = true;
            }
        }
        if (!placed) {
            // One exercise taller than a whole page: it gets the page to itself.
            page.count = 1;
            page.pictureHeight = smallest;
            page.instructionPoints = basePoints - 1;
        }
        page.pictureWidth =
            page.pictureHeight == layout.pictureHeight
                ? layout.pictureWidth
                : Round16(double(layout.pictureWidth) * page.pictureHeight / layout.pictureHeight);
        pages.push_back(page);
        next += page.count;
    }
    return pages;
}

} // namespace

void PrintExerciseSheets(AppContext& ctx, OutputSurface& surface, int perPage)
{
    PageComposer c(ctx, surface);
    PageGeometry& g = ctx.Geometry;
    OutputSurface& s = surface;

    StartDocumentGeometry(g, 12);
    g.PageMargin = c.Inches(0.5);
    SheetLayout layout;
    layout.pictureHeight = c.Inches(1.5);
    layout.pictureWidth = CheckedInt16(g.UnitsPerInch * 2.0);
    if (perPage == 2) {
        layout.perPage = 2;
        layout.pictureHeight = Round16(layout.pictureHeight * 1.5);
        layout.pictureWidth = Round16(layout.pictureWidth * 1.5);
        layout.columns = {g.PageMargin, c.Inches(3.75), CheckedInt16(g.UnitsPerInch * 7.0)};
    } else {
        layout.perPage = 4;
        layout.columns = {g.PageMargin, CheckedInt16(g.UnitsPerInch * 3.0), c.Inches(5.5)};
    }
    layout.columnWidth = layout.pictureWidth;
    const double bodySize = g.BaseFontSize * g.PageScale;

    if (g.PreviewMode)
        s.Cls();
    const QString title = c.PageTitle();
    c.PrintTitle(title);
    c.PrintHeaderBlock();
    layout.top = s.CurrentY;
    layout.footerTop = c.FooterTop();
    s.SetFontBold(true);
    layout.headingRow = s.TextHeight(QStringLiteral("X"));
    s.SetFontBold(false);
    layout.gap = g.UnitsPerInch * 0.05;

    const ProgramState& program = ctx.Program;
    const int count = std::clamp<int>(program.EntryCount, 0, MaxProgramEntries);
    const std::vector<SheetPage> pages = PlanSheetPages(c, layout, program, count);

    QList<PageComposer::PictureBox> pictureFiles;
    for (const SheetPage& page : pages) {
        for (int i = page.first; i < page.first + page.count; ++i) {
            const ProgramEntry& entry = program.Entries.at(i);
            for (const QString* name : {&entry.Picture0, &entry.Picture1, &entry.Picture2})
                pictureFiles.append({*name, page.pictureWidth, page.pictureHeight});
        }
    }
    c.PrefetchPictures(pictureFiles);

    for (size_t p = 0; p < pages.size(); ++p) {
        const SheetPage& page = pages[p];
        if (p > 0) {
            c.PrintCallFooter();
            s.NewPage();
            c.PrintTitle(title);
            c.PrintHeaderBlock();
        }
        const double instructionSize = page.instructionPoints * g.PageScale;
        for (int i = page.first; i < page.first + page.count; ++i) {
            const ProgramEntry& entry = program.Entries.at(i);
            const std::array<const QString*, 3> pictures{&entry.Picture0, &entry.Picture1,
                                                         &entry.Picture2};
            const auto instructions = Instructions(entry);

            s.SetFontBold(true);
            const QString label = QString::number(i + 1) + QStringLiteral(". ");
            s.CurrentX = g.PageMargin - s.TextWidth(label);
            s.PrintStay(label);
            s.CurrentX = g.PageMargin;
            s.PrintLine(QStringLiteral("(") + entry.code + QStringLiteral(") ") + entry.Desc +
                        QStringLiteral(": ") + RepsHoldSetsText(entry));
            s.SetFontBold(false);

            const qint16 y = IntFloor16(s.CurrentY + layout.gap);
            s.SetFontSize(instructionSize);
            int rows = 2;
            for (int k = 0; k < 3; ++k) {
                c.DrawPicture(*pictures[k], layout.columns[k], y, page.pictureWidth,
                              page.pictureHeight);
                s.CurrentY = y + page.pictureHeight;
                c.PrintWrapped(*instructions[k], layout.columns[k], layout.columnWidth);
                rows = std::max(rows, c.WrappedRowCount(*instructions[k], layout.columns[k],
                                                        layout.columnWidth));
            }
            s.CurrentY = y + page.pictureHeight + rows * s.TextHeight(QStringLiteral("X"));
            s.SetFontSize(bodySize);
        }
    }
    c.PrintCallFooter();
}

void PrintCoverPage(AppContext& ctx, OutputSurface& surface)
{
    PageComposer c(ctx, surface);
    PageGeometry& g = ctx.Geometry;
    OutputSurface& s = surface;

    StartDocumentGeometry(g, 12);
    if (g.PreviewMode)
        s.Cls();
    g.PageMargin = c.Inches(1.25);
    c.PrintTitle(c.PageTitle());
    c.PrintHeaderBlock();
    s.PrintLine();
    s.SetFontSize(12 * g.PageScale);
    c.PrintTextLines(g.PageMargin, ctx.CoverText);
    c.PrintCallFooter();
}

Outcome ComposeDocument(AppContext& ctx, PrintJobKind kind, OutputSurface& surface)
try {
    PageComposer c(ctx, surface);
    switch (kind) {
    case PrintJobKind::Exercises2:
        c.SetOrientation(PageOrientation::Landscape);
        PrintExerciseSheets(ctx, surface, 2);
        return Outcome::Done();
    case PrintJobKind::Exercises4:
        c.SetOrientation(PageOrientation::Portrait);
        PrintExerciseSheets(ctx, surface, 4);
        return Outcome::Done();
    case PrintJobKind::CoverPage:
        c.SetOrientation(PageOrientation::Portrait);
        PrintCoverPage(ctx, surface);
        return Outcome::Done();
    case PrintJobKind::VideoOrder:
        c.SetOrientation(PageOrientation::Portrait);
        return PrintVideoOrderForm(ctx, surface);
    case PrintJobKind::PatientRecord:
        c.SetOrientation(PageOrientation::Portrait);
        PrintPatientRecord(ctx, surface);
        return Outcome::Done();
    case PrintJobKind::LargePrint:
        c.SetOrientation(PageOrientation::Portrait);
        PrintLargePrintHandouts(ctx, surface);
        return Outcome::Done();
    }
    return Outcome::Failed(
        Texts::tr("This document cannot be printed by this version of the program."));
} catch (const MeasureOverflow& overflow) {
    return Outcome::Failed(overflow.Reason());
}

bool JobHasCover(const AppContext& ctx, PrintJobKind kind)
{
    return ctx.Settings.PrintPatientCover &&
           (kind == PrintJobKind::Exercises2 || kind == PrintJobKind::Exercises4);
}

Outcome ComposeJob(AppContext& ctx, PrintJobKind kind, OutputSurface& surface)
{
    if (JobHasCover(ctx, kind)) {
        if (Outcome cover = ComposeDocument(ctx, PrintJobKind::CoverPage, surface); !cover)
            return cover;
        surface.NewPage();
    }
    return ComposeDocument(ctx, kind, surface);
}

} // namespace tramelle
