#pragma once

#include <QIcon>
#include <QList>
#include <QString>
#include <functional>

class QPushButton;
class QWidget;

namespace tramelle {

// One button of a button array. `index` is the number in its objectName and what the
// click reports; `tag` is the untranslated name it carries as the dynamic property "tag";
// `caption` is what it shows.
struct ArrayButton
{
    int index;
    QString tag;
    QString caption;
    QIcon icon = QIcon();
    QString toolTip = QString();
};

// Builds the buttons of an array on `owner`, in the order given: each named
// "<name>_<index>", tagged, never the automatic default, and connected so that its click
// calls `clicked` with its own index. Windows turn the index into their enum of buttons.
QList<QPushButton*> MakeButtonArray(QWidget* owner, const QString& name,
                                    const QList<ArrayButton>& buttons,
                                    const std::function<void(int index)>& clicked);

// The indexes of the usual pair of an "OK" and a "Cancel" button.
enum class OkCancelButton
{
    Ok = 0,
    Cancel = 1,
};

// That pair, tagged "OK" and "Cancel", showing the captions given.
QList<ArrayButton> OkCancelButtons(const QString& ok, const QString& cancel);

} // namespace tramelle
