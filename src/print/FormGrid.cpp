#include "FormGrid.h"

namespace tramelle {

void FormGrid::Rule(PageComposer& c, qint16 y) const
{
    c.S.Line(Columns.front() - Offset, y, RightEdge - Offset, y);
}

qint16 FormGrid::StartWithHeads(PageComposer& c, const QStringList& heads, qint16 nudge) const
{
    const qint16 top = IntFloor16(c.S.CurrentY);
    Rule(c, top);
    c.S.CurrentY = top + nudge;
    Heads(c, heads);
    c.S.CurrentY = top + 2 * nudge;
    return top;
}

void FormGrid::RowRule(PageComposer& c, double halfNudge, qint16 nudge) const
{
    const qint16 rule = IntFloor16(c.S.CurrentY - halfNudge);
    Rule(c, rule);
    c.S.CurrentY = rule + nudge;
}

void FormGrid::Verticals(PageComposer& c, qint16 top, qint16 bottom) const
{
    for (qint16 x : Columns)
        c.S.Line(x - Offset, top, x - Offset, bottom);
    c.S.Line(RightEdge - Offset, top, RightEdge - Offset, bottom);
}

void FormGrid::Heads(PageComposer& c, const QStringList& heads) const
{
    c.S.SetFontBold(true);
    for (std::size_t k = 0; k < Columns.size() && k < std::size_t(heads.size()); ++k)
        Cell(c, k, heads.at(qsizetype(k)));
    c.S.SetFontBold(false);
}

void FormGrid::Cell(PageComposer& c, std::size_t column, const QString& text) const
{
    c.S.CurrentX = Columns.at(column);
    c.S.PrintStay(text);
}

QString NumberCell(qint32 n)
{
    return (n < 0 ? QString() : QStringLiteral(" ")) + QString::number(n) + QLatin1Char(' ');
}

QString SecondsCell(qint32 seconds)
{
    return QString::number(seconds) + QLatin1Char('s');
}

void PrintShadedHeading(PageComposer& c, const QString& heading, qint16 offset, qint16 rightEnd)
{
    OutputSurface& s = c.S;
    const qint16 y = IntFloor16(s.CurrentY);
    s.SetFontSize(10 * c.G.PageScale);
    c.ShadeBand(CheckedInt16(double(c.G.PageMargin) - offset), rightEnd, y);
    s.CurrentY = y;
    s.SetFontBold(true);
    c.PrintCentered(heading);
    s.SetFontBold(false);
    s.SetFontSize(c.G.BaseFontSize * c.G.PageScale);
    s.PrintLine();
}

} // namespace tramelle
