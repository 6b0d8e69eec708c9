#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

namespace tramelle::imageeditor {

// The crop frame: a box of the library pictures' proportions (4:3) inside the part of the
// picture that holds picture everywhere. All rectangles are in the coordinates of the
// turned picture (before straightening), whose centre is the centre of straightening.
inline constexpr double CropAspect = 4.0 / 3.0;

enum class CropCorner
{
    TopLeft,
    TopRight,
    BottomLeft,
    BottomRight
};

// The largest box of the picture's own proportions, centred, that a picture of the size
// given still covers everywhere when it is turned by the angle given (degrees).
QRectF UsableRect(const QSizeF& picture, double degrees);

// The largest 4:3 box centred in the usable rectangle.
QRectF LargestCrop(const QRectF& usable);

// The smallest width a crop may have inside a usable rectangle.
double MinimumCropWidth(const QRectF& usable);

// The box made 4:3 (keeping its width and centre), no larger than the usable rectangle and
// moved inside it.
QRectF FitCrop(const QRectF& crop, const QRectF& usable);

// Moved by the distance given, stopping at the edges.
QRectF MoveCrop(const QRectF& crop, const QPointF& by, const QRectF& usable);

// A corner dragged to a point, the opposite corner staying where it is.
QRectF DragCropCorner(const QRectF& crop, CropCorner corner, const QPointF& to,
                      const QRectF& usable);

// Grown or shrunk by a width about its centre (moved inside when it grows at an edge).
QRectF GrowCrop(const QRectF& crop, double byWidth, const QRectF& usable);

} // namespace tramelle::imageeditor
