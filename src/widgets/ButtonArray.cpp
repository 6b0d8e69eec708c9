#include "ButtonArray.h"

#include <QPushButton>

namespace tramelle {

QList<QPushButton*> MakeButtonArray(QWidget* owner, const QString& name,
                                    const QList<ArrayButton>& buttons,
                                    const std::function<void(int index)>& clicked)
{
    QList<QPushButton*> made;
    made.reserve(buttons.size());
    for (const ArrayButton& spec : buttons) {
        auto* b = new QPushButton(spec.icon, spec.caption, owner);
        b->setObjectName(name + QLatin1Char('_') + QString::number(spec.index));
        b->setProperty("tag", spec.tag);
        b->setAutoDefault(false);
        if (!spec.toolTip.isEmpty())
            b->setToolTip(spec.toolTip);
        if (clicked)
            QObject::connect(b, &QPushButton::clicked, owner,
                             [clicked, index = spec.index] { clicked(index); });
        made << b;
    }
    return made;
}

QList<ArrayButton> OkCancelButtons(const QString& ok, const QString& cancel)
{
    return {{static_cast<int>(OkCancelButton::Ok), QStringLiteral("OK"), ok},
            {static_cast<int>(OkCancelButton::Cancel), QStringLiteral("Cancel"), cancel}};
}

} // namespace tramelle
