#pragma once

#include <QRect>
#include <QSize>
#include <algorithm>
#include <cmath>

namespace tramelle {

// A window laid out in pixels of 96 dots per inch grows with the room it is given: one
// factor for both directions, the largest at which the whole layout fits, never below 1.
inline double LayoutScaleFor(QSize room, QSize layout)
{
    if (layout.width() <= 0 || layout.height() <= 0)
        return 1.0;
    const double k =
        std::min(double(room.width()) / layout.width(), double(room.height()) / layout.height());
    return std::max(k, 1.0);
}

// A length of the layout at scale `k`.
inline int Scaled(double length, double k)
{
    return static_cast<int>(std::lround(length * k));
}

// A rectangle of the layout at scale `k`: its edges are scaled, so that controls that
// touch at 1.0 still touch.
inline QRect Scaled(const QRect& r, double k)
{
    const int left = Scaled(r.left(), k);
    const int top = Scaled(r.top(), k);
    return {left, top, Scaled(r.left() + r.width(), k) - left,
            Scaled(r.top() + r.height(), k) - top};
}

} // namespace tramelle
