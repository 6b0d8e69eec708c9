#include "LargePrint.h"

#include "AppContext.h"
#include "Documents.h"
#include "PageComposer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace tramelle {

namespace {

// A picture is at most this share of the text width, so its instruction keeps room.
constexpr double MaxPictureShare = 0.6;
// Pictures are never made smaller than this, however long the instructions run.
constexpr double MinPictureInches = 1.0;

// One row of a page: a picture box and its instruction beside it.
struct HandoutRow
{
    const QString* picture = nullptr;
    const QString* instruction = nullptr;
};

// Where one exercise's pictures go on its page.
struct HandoutLayout
{
    qint16 pictureWidth = 0;
    qint16 pictureHeight = 0;
    qint16 textX = 0;
    qint16 textWidth = 0;
};

QString HeadingText(int index, const ProgramEntry& e)
{
    return QString::number(index + 1) + QStringLiteral(". (") + e.code + QStringLiteral(") ") +
           e.Desc + QStringLiteral(": ") + RepsHoldSetsText(e);
}

// The rows an exercise prints: a slot with neither picture nor instruction is left out, so
// the others grow into its room.
std::vector<HandoutRow> RowsOf(const ProgramEntry& e)
{
    const std::array<HandoutRow, 3> all{HandoutRow{&e.Picture0, &e.Instruct0},
                                        HandoutRow{&e.Picture1, &e.Instruct1},
                                        HandoutRow{&e.Picture2, &e.Instruct2}};
    std::vector<HandoutRow> rows;
    for (const HandoutRow& r : all)
        if (!r.picture->isEmpty() || !r.instruction->isEmpty())
            rows.push_back(r);
    return rows;
}

class HandoutComposer
{
public:
    HandoutComposer(AppContext& ctx, OutputSurface& surface) : c(ctx, surface), s(surface), g(c.G)
    {
    }

    void Compose()
    {
        StartDocumentGeometry(g, LargePrint::InstructionPoints);
        c.TopInches = LargePrint::Margin;
        c.BottomInches = LargePrint::Margin;
        g.PageMargin = c.Inches(LargePrint::Margin);
        m_left = g.PageMargin;
        m_right = IntFloor16(g.UnitsPerInch * (g.PageWidthInches - LargePrint::Margin));
        if (g.PreviewMode)
            s.Cls();

        const ProgramState& program = c.Ctx.Program;
        const int count = std::clamp<int>(program.EntryCount, 0, MaxProgramEntries);
        const QString title = c.PageTitle();
        StartPage(title);
        for (int i = 0; i < count; ++i) {
            if (i > 0) {
                c.PrintCallFooter();
                s.NewPage();
                StartPage(title);
            }
            PrintExercise(i, program.Entries.at(i));
        }
        c.PrintCallFooter();
    }

private:
    void StartPage(const QString& title)
    {
        c.PrintTitle(title);
        c.PrintHeaderBlock();
        s.PrintLine();
    }

    double BodySize() const { return g.BaseFontSize * g.PageScale; }

    void PrintExercise(int index, const ProgramEntry& entry)
    {
        const qint16 width = CheckedInt16(m_right - m_left);
        const double footerTop = c.FooterTop() - g.UnitsPerInch * 0.2;
        s.SetFontSize(LargePrint::HeadingPoints * g.PageScale);
        s.SetFontBold(true);
        c.PrintWrapped(HeadingText(index, entry), m_left, width);
        s.PrintLine();
        s.SetFontBold(false);
        s.SetFontSize(BodySize());

        const std::vector<HandoutRow> rows = RowsOf(entry);
        if (rows.empty())
            return;
        double y = std::floor(s.CurrentY + g.UnitsPerInch * 0.1);
        const double rowGap = g.UnitsPerInch * 0.2;
        const HandoutLayout layout = Plan(rows, footerTop - y, rowGap);

        QList<PageComposer::PictureBox> boxes;
        for (const HandoutRow& r : rows)
            boxes.append({*r.picture, layout.pictureWidth, layout.pictureHeight});
        c.PrefetchPictures(boxes);

        for (const HandoutRow& r : rows) {
            const qint16 top = IntFloor16(y);
            c.DrawPicture(*r.picture, m_left, top, layout.pictureWidth, layout.pictureHeight);
            s.CurrentY = top;
            c.PrintWrapped(*r.instruction, layout.textX, layout.textWidth);
            y = top + RowHeight(r, layout) + rowGap;
        }
        s.CurrentY = y;
    }

    HandoutLayout LayoutFor(qint16 pictureHeight) const
    {
        HandoutLayout l;
        l.pictureHeight = pictureHeight;
        l.pictureWidth = Round16(pictureHeight * 4.0 / 3.0);
        l.textX = CheckedInt16(m_left + l.pictureWidth + g.UnitsPerInch * 0.25);
        l.textWidth = CheckedInt16(m_right - l.textX);
        return l;
    }

    double RowHeight(const HandoutRow& r, const HandoutLayout& l) const
    {
        const int lines = c.WrappedRowCount(*r.instruction, l.textX, l.textWidth);
        return std::max<double>(l.pictureHeight, lines * s.TextHeight(QStringLiteral("X")));
    }

    // The tallest 4:3 pictures with which every row, its instruction included, fits above
    // the footer; the smallest allowed when even those do not.
    HandoutLayout Plan(const std::vector<HandoutRow>& rows, double room, double rowGap) const
    {
        const auto n = double(rows.size());
        auto height = [&](qint16 pictureHeight) {
            const HandoutLayout l = LayoutFor(pictureHeight);
            double total = (n - 1) * rowGap;
            for (const HandoutRow& r : rows)
                total += RowHeight(r, l);
            return total;
        };
        const double widest = (m_right - m_left) * MaxPictureShare * 3.0 / 4.0;
        qint16 hi = IntFloor16(std::min(widest, (room - (n - 1) * rowGap) / n));
        qint16 lo = IntFloor16(g.UnitsPerInch * MinPictureInches);
        if (hi <= lo || height(lo) > room)
            return LayoutFor(lo);
        while (lo < hi) {
            const auto mid = static_cast<qint16>((lo + hi + 1) / 2);
            if (height(mid) <= room)
                lo = mid;
            else
                hi = static_cast<qint16>(mid - 1);
        }
        return LayoutFor(lo);
    }

    PageComposer c;
    OutputSurface& s;
    PageGeometry& g;
    qint16 m_left = 0;
    qint16 m_right = 0;
};

} // namespace

void PrintLargePrintHandouts(AppContext& ctx, OutputSurface& surface)
{
    HandoutComposer(ctx, surface).Compose();
}

} // namespace tramelle
