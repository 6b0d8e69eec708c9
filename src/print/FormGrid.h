#pragma once

#include "PageComposer.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace tramelle {

// The ruled tables of the patient record and the video order form. Every rule stands
// `offset` left of the column X it belongs to, so a cell's text starts just right of it.
struct FormGrid
{
    std::vector<qint16> Columns; // left X of each column
    qint16 RightEdge = 0;
    qint16 Offset = 0; // the rule offset g

    // A rule across the grid at y.
    void Rule(PageComposer& c, qint16 y) const;
    // The top rule at the current Y and the bold heads under it, a nudge down; leaves
    // the current Y two nudges below the rule. Returns the rule's Y.
    qint16 StartWithHeads(PageComposer& c, const QStringList& heads, qint16 nudge) const;
    // Closes the row just printed: a rule half a nudge above the current Y (the rows
    // overlap their rules a little), and the next row starts a nudge below it.
    void RowRule(PageComposer& c, double halfNudge, qint16 nudge) const;
    // The column rules and the right edge, from top to bottom.
    void Verticals(PageComposer& c, qint16 top, qint16 bottom) const;
    // The column heads in bold, staying on the line at the current Y.
    void Heads(PageComposer& c, const QStringList& heads) const;
    // One cell's text at its column, staying on the line.
    void Cell(PageComposer& c, std::size_t column, const QString& text) const;
};

// A number as a table cell shows it: a leading space for the sign and a trailing space.
QString NumberCell(qint32 n);

// A hold time as a cell shows it: "5s".
QString SecondsCell(qint32 seconds);

// A grey band from `offset` left of the margin to `rightEnd` with a bold 10-point
// heading centred on the page; ends the line in the document's body font.
void PrintShadedHeading(PageComposer& c, const QString& heading, qint16 offset, qint16 rightEnd);

} // namespace tramelle
