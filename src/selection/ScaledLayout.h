#pragma once

#include <QHash>
#include <QRect>
#include <initializer_list>

class QWidget;

namespace tramelle {

// Where a window's controls are in its layout at scale 1, and the one factor they are drawn
// at: each control keeps its rectangle of the layout and is placed at the factor's multiple.
class ScaledLayout
{
public:
    // Records the named children of `window` where they are now, leaving out `others` and
    // what is inside them (panels that lay out their own parts).
    void Record(QWidget* window, std::initializer_list<const QWidget*> others);
    // Moves `w` to `geometry` of the layout, placed at the current factor.
    void Place(QWidget* w, const QRect& geometry);
    QRect Base(QWidget* w) const { return m_base.value(w); }
    // Slides `label` and the panel below it up by `distance` pixels of the layout (down when
    // negative) in steps of 10, the panel growing by as much; each step is painted.
    void SlideUp(QWidget* label, QWidget* panel, int distance);
    // Places every recorded control at `scale`.
    void SetScale(double scale);
    double Scale() const { return m_scale; }

private:
    QHash<QWidget*, QRect> m_base;
    double m_scale = 1.0;
};

} // namespace tramelle
