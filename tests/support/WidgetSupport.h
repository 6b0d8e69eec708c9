#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <QWidget>

class QAbstractItemModel;

namespace tramelle::test {

// The child of `parent` named `name`; the test program stops when there is none, so that a
// renamed control fails loudly instead of crashing later on a null pointer.
template <typename T = QWidget> T* Find(const QObject* parent, const QString& name)
{
    T* found = parent->findChild<T*>(name);
    if (!found)
        qFatal("no control %s", qPrintable(name));
    return found;
}

// Clicks the button `name` inside `parent` with the left mouse button.
void ClickButton(const QObject* parent, const QString& name);
// Triggers the action `name` of `window` (a menu or toolbar command), as choosing it would.
void TriggerAction(const QObject* window, const QString& name);
// A drag by hand, as the windows that do their own dragging see it: the left button pressed
// at `fromPos` of `from`, the pointer moved a little there and then onto `toPos` of `to`, and
// the button released there. No drag-and-drop events are involved.
void DragByHand(QWidget* from, QPoint fromPos, QWidget* to, QPoint toPos);

// Checks `model` against the rules every item model must keep, now and after each of its
// changes for as long as it lives; a breach fails the running test. Asking twice is harmless.
void CheckModel(QAbstractItemModel* model);

} // namespace tramelle::test
