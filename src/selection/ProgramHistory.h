#pragma once

#include "ProgramRules.h"

#include <QObject>
#include <QString>
#include <QUndoStack>

namespace tramelle {

class ProgramEditCommand;

// Undo and redo of the edits of the program's slots. Each edit is recorded after the rules
// made it, as the program before and after it; undo and redo put those slots back. The
// Modified flag follows: back where the history starts it is what it was then, unless
// something else of the program (header, order, stored id) changed meanwhile.
class ProgramHistory : public QObject
{
    Q_OBJECT

public:
    // How many edits can be taken back.
    static constexpr int Depth = 100;

    explicit ProgramHistory(ProgramState& program, QObject* parent = nullptr);
    ~ProgramHistory() override;

    // Records an edit that has just been made, named `text` ("Add Ankle Pumps"); `before` is
    // the program as it was. An edit that left the slots as they were is not recorded.
    void Record(const QString& text, const ProgramState& before);
    // False when there was nothing to take back or do again. When the program's slots were
    // changed by something that did not record it, the history no longer applies: it starts
    // again from the program as it is.
    bool Undo();
    bool Redo();
    // Forgets every edit: the program as it is now is where undo stops.
    void Reset();

    bool CanUndo() const { return m_stack.canUndo(); }
    bool CanRedo() const { return m_stack.canRedo(); }
    QString UndoText() const { return m_stack.undoText(); }
    QString RedoText() const { return m_stack.redoText(); }
    int Count() const { return m_stack.count(); }

signals:
    // Undo or redo put these slots back.
    void restored(const tramelle::ProgramEdit& edit);
    // What undo and redo would do has changed.
    void changed();

private:
    friend class ProgramEditCommand;
    void GoTo(const ProgramState& earlier);
    const ProgramEditCommand* Command(int index) const;

    ProgramState& m_program;
    ProgramState m_clean; // the program where the history starts
    QUndoStack m_stack;
    bool m_busy = false;
};

} // namespace tramelle
