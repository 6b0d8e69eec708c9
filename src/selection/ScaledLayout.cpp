#include "ScaledLayout.h"

#include "LayoutScale.h"

#include <QCoreApplication>
#include <QWidget>
#include <algorithm>
#include <cstdlib>

namespace tramelle {

void ScaledLayout::Record(QWidget* window, std::initializer_list<const QWidget*> others)
{
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const QString name = w->objectName();
        const bool insideOther = std::any_of(others.begin(), others.end(), [w](const QWidget* o) {
            return w == o || o->isAncestorOf(w);
        });
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) || insideOther)
            continue;
        m_base.insert(w, w->geometry());
    }
}

void ScaledLayout::Place(QWidget* w, const QRect& geometry)
{
    m_base.insert(w, geometry);
    w->setGeometry(Scaled(geometry, m_scale));
}

void ScaledLayout::SlideUp(QWidget* label, QWidget* panel, int distance)
{
    const QRect labelBase = Base(label);
    const QRect panelBase = Base(panel);
    const int step = distance < 0 ? -1 : 1;
    for (int offset = 0; offset <= std::abs(distance); offset += 10) {
        const int by = step * offset;
        Place(label, labelBase.translated(0, -by));
        Place(panel,
              QRect(panelBase.x(), panelBase.y() - by, panelBase.width(), panelBase.height() + by));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

void ScaledLayout::SetScale(double scale)
{
    m_scale = scale;
    for (auto it = m_base.cbegin(); it != m_base.cend(); ++it)
        it.key()->setGeometry(Scaled(it.value(), scale));
}

} // namespace tramelle
