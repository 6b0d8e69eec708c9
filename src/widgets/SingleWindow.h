#pragma once

#include <QString>
#include <QWidget>

namespace tramelle {

// Brings an open window to the front and gives it the focus.
inline void RaiseWindow(QWidget* window)
{
    window->raise();
    window->activateWindow();
}

// Windows that open once: the window of type T already open over `parent` (a direct
// child), brought to the front; nullptr when there is none and a new one may be built.
template <typename T> T* RaiseOpenWindow(QWidget* parent)
{
    if (!parent)
        return nullptr;
    T* open = parent->findChild<T*>(QString(), Qt::FindDirectChildrenOnly);
    if (open)
        RaiseWindow(open);
    return open;
}

} // namespace tramelle
