#pragma once

#include <QCursor>
#include <QGuiApplication>

namespace tramelle {

// The wait pointer for the life of a scope, restored on every path.
class WaitPointer
{
public:
    WaitPointer()
    {
        if (qGuiApp) {
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
            m_active = true;
        }
    }
    ~WaitPointer()
    {
        if (m_active)
            QGuiApplication::restoreOverrideCursor();
    }
    WaitPointer(const WaitPointer&) = delete;
    WaitPointer& operator=(const WaitPointer&) = delete;

private:
    bool m_active = false;
};

} // namespace tramelle
