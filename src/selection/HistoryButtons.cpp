#include "HistoryButtons.h"

#include "ProgramHistory.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>

namespace tramelle {

std::array<QPushButton*, 2> AddHistoryButtons(QWidget* window, ProgramHistory& history,
                                              const QRect& undoRect, const QRect& redoRect)
{
    auto button = [window](const QString& name, const QString& theme, QStyle::StandardPixmap icon,
                           const QRect& geometry, const QString& accessible) {
        auto* b = new QPushButton(QIcon::fromTheme(theme, window->style()->standardIcon(icon)),
                                  QString(), window);
        b->setObjectName(name);
        b->setGeometry(geometry);
        b->setIconSize(QSize(12, 12));
        b->setAccessibleName(accessible);
        return b;
    };
    const QString undoName = QCoreApplication::translate("HistoryButtons", "Undo");
    const QString redoName = QCoreApplication::translate("HistoryButtons", "Redo");
    QPushButton* undo = button(QStringLiteral("cmdUndo"), QStringLiteral("edit-undo"),
                               QStyle::SP_ArrowBack, undoRect, undoName);
    QPushButton* redo = button(QStringLiteral("cmdRedo"), QStringLiteral("edit-redo"),
                               QStyle::SP_ArrowForward, redoRect, redoName);
    QObject::connect(undo, &QPushButton::clicked, &history, [&history] { history.Undo(); });
    QObject::connect(redo, &QPushButton::clicked, &history, [&history] { history.Redo(); });

    auto* undoKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), window);
    auto* redoKey = new QShortcut(window);
    redoKey->setKeys(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    for (QShortcut* key : {undoKey, redoKey})
        key->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(undoKey, &QShortcut::activated, &history, [&history] { history.Undo(); });
    QObject::connect(redoKey, &QShortcut::activated, &history, [&history] { history.Redo(); });

    auto update = [&history, undo, redo, undoName, redoName] {
        undo->setEnabled(history.CanUndo());
        redo->setEnabled(history.CanRedo());
        undo->setToolTip(
            history.CanUndo()
                ? QCoreApplication::translate("HistoryButtons", "Undo %1").arg(history.UndoText())
                : undoName);
        redo->setToolTip(
            history.CanRedo()
                ? QCoreApplication::translate("HistoryButtons", "Redo %1").arg(history.RedoText())
                : redoName);
    };
    QObject::connect(&history, &ProgramHistory::changed, undo, update);
    update();
    return {undo, redo};
}

} // namespace tramelle
