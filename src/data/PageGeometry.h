#pragma once

#include <QtGlobal>

namespace tramelle {

// The drawing measures shared by every document composer. Positions are in drawing
// units: twips at PageScale 1 (1440 per inch), scaled for the preview's zoom.
struct PageGeometry
{
    double PageScale = 1.0;     // 1 while printing; the preview's zoom (0.25 to 2)
    qint16 UnitsPerInch = 1440; // Int(1440 x PageScale), set by each document
    qint16 PageMargin = 720;    // left X of body text, right margin of right-aligned text
    bool PreviewMode = false;   // drawing into the preview rather than the printer
    double BaseFontSize = 12;   // body font size in points before scaling
    double PageWidthInches = 8.5;
    double PageHeightInches = 11;
};

} // namespace tramelle
