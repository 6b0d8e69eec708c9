#include "CropBox.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tramelle::imageeditor {

namespace {

QRectF Centred(const QPointF& centre, double width)
{
    const double height = width / CropAspect;
    return {centre.x() - width / 2, centre.y() - height / 2, width, height};
}

// The widest 4:3 box that fits in a rectangle.
double WidestIn(const QSizeF& size)
{
    return std::min(size.width(), size.height() * CropAspect);
}

} // namespace

QRectF UsableRect(const QSizeF& picture, double degrees)
{
    const double w = picture.width(), h = picture.height();
    if (w <= 0 || h <= 0)
        return {};
    const double radians = degrees * std::numbers::pi / 180.0;
    const double c = std::abs(std::cos(radians)), s = std::abs(std::sin(radians));
    // A centred w'×h' box fits inside the turned picture when its outline, seen in the
    // picture's own frame, does: w'c + h's <= w and w's + h'c <= h.
    const double k = std::min({1.0, w / (w * c + h * s), h / (w * s + h * c)});
    const double uw = w * k, uh = h * k;
    return {(w - uw) / 2, (h - uh) / 2, uw, uh};
}

QRectF LargestCrop(const QRectF& usable)
{
    return Centred(usable.center(), WidestIn(usable.size()));
}

double MinimumCropWidth(const QRectF& usable)
{
    return std::min(WidestIn(usable.size()), 40.0);
}

QRectF FitCrop(const QRectF& crop, const QRectF& usable)
{
    const double width =
        std::clamp(crop.width(), MinimumCropWidth(usable), WidestIn(usable.size()));
    QRectF fitted = Centred(crop.center(), width);
    return MoveCrop(fitted, {0, 0}, usable);
}

QRectF MoveCrop(const QRectF& crop, const QPointF& by, const QRectF& usable)
{
    QRectF moved = crop.translated(by);
    // Clamp with the right and bottom edges first, so a box as large as the usable area
    // ends at its top left.
    moved.moveLeft(std::max(usable.left(), std::min(moved.left(), usable.right() - moved.width())));
    moved.moveTop(std::max(usable.top(), std::min(moved.top(), usable.bottom() - moved.height())));
    return moved;
}

QRectF DragCropCorner(const QRectF& crop, CropCorner corner, const QPointF& to,
                      const QRectF& usable)
{
    const bool left = corner == CropCorner::TopLeft || corner == CropCorner::BottomLeft;
    const bool top = corner == CropCorner::TopLeft || corner == CropCorner::TopRight;
    const QPointF anchor(left ? crop.right() : crop.left(), top ? crop.bottom() : crop.top());
    // The dragged corner follows the pointer along whichever side it pulls further.
    const double dx = left ? anchor.x() - to.x() : to.x() - anchor.x();
    const double dy = top ? anchor.y() - to.y() : to.y() - anchor.y();
    double width = std::max(dx, dy * CropAspect);
    // Room from the anchor to the usable area's edges in the dragged direction.
    const double roomX = left ? anchor.x() - usable.left() : usable.right() - anchor.x();
    const double roomY = top ? anchor.y() - usable.top() : usable.bottom() - anchor.y();
    const double widest = std::min(roomX, roomY * CropAspect);
    width = std::clamp(width, std::min(MinimumCropWidth(usable), widest), widest);
    const double height = width / CropAspect;
    const QRectF result(left ? anchor.x() - width : anchor.x(),
                        top ? anchor.y() - height : anchor.y(), width, height);
    // Rounding may leave the result a hair outside; the fit settles it.
    return FitCrop(result, usable);
}

QRectF GrowCrop(const QRectF& crop, double byWidth, const QRectF& usable)
{
    return FitCrop(Centred(crop.center(), crop.width() + byWidth), usable);
}

} // namespace tramelle::imageeditor
