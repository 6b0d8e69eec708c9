#include "WaitPointer.h"

#include <QCursor>
#include <QGuiApplication>

namespace tramelle {

WaitPointer::WaitPointer()
{
    if (qGuiApp) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        m_active = true;
    }
}

WaitPointer::~WaitPointer()
{
    Restore();
}

void WaitPointer::Restore()
{
    if (!m_active)
        return;
    m_active = false;
    QGuiApplication::restoreOverrideCursor();
}

} // namespace tramelle
