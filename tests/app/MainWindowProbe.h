#pragma once

#include "mdiVMR.h"

#include <QAction>
#include <QStringList>
#include <QToolBar>

namespace tramelle::test {

// The captions of the toolbar buttons that are enabled, left to right.
inline QStringList EnabledButtons(const mdiVMR& w)
{
    QStringList keys;
    for (QAction* a : w.findChild<QToolBar*>(QStringLiteral("Toolbar1"))->actions()) {
        if (!a->isSeparator() && a->isEnabled())
            keys << a->text();
    }
    return keys;
}

} // namespace tramelle::test
