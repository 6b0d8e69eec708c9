#include "ProgramHistory.h"

#include "ProgramSnapshot.h"

#include <QScopeGuard>
#include <QUndoCommand>

namespace tramelle {

// One recorded edit: the program before and after it.
class ProgramEditCommand : public QUndoCommand
{
public:
    ProgramEditCommand(ProgramHistory& history, const QString& text, const ProgramState& before,
                       const ProgramState& after)
        : QUndoCommand(text), m_history(history), m_before(before), m_after(after)
    {
    }

    void undo() override { m_history.GoTo(m_before); }
    void redo() override
    {
        // The rules made the edit before it was recorded.
        if (m_recorded)
            m_recorded = false;
        else
            m_history.GoTo(m_after);
    }

    const ProgramState& Before() const { return m_before; }
    const ProgramState& After() const { return m_after; }

private:
    ProgramHistory& m_history;
    ProgramState m_before;
    ProgramState m_after;
    bool m_recorded = true;
};

ProgramHistory::ProgramHistory(ProgramState& program, QObject* parent)
    : QObject(parent), m_program(program), m_clean(program)
{
    m_stack.setUndoLimit(Depth);
    connect(&m_stack, &QUndoStack::indexChanged, this, &ProgramHistory::changed);
}

ProgramHistory::~ProgramHistory() = default;

const ProgramEditCommand* ProgramHistory::Command(int index) const
{
    return static_cast<const ProgramEditCommand*>(m_stack.command(index));
}

void ProgramHistory::Record(const QString& text, const ProgramState& before)
{
    if (m_busy || SameSlots(before, m_program))
        return;
    m_stack.push(new ProgramEditCommand(*this, text, before, m_program));
}

bool ProgramHistory::Undo()
{
    if (m_busy || !CanUndo())
        return false;
    if (!SameSlots(Command(m_stack.index() - 1)->After(), m_program)) {
        Reset();
        return false;
    }
    m_stack.undo();
    return true;
}

bool ProgramHistory::Redo()
{
    if (m_busy || !CanRedo())
        return false;
    if (!SameSlots(Command(m_stack.index())->Before(), m_program)) {
        Reset();
        return false;
    }
    m_stack.redo();
    return true;
}

void ProgramHistory::Reset()
{
    if (m_busy)
        return;
    m_clean = m_program;
    m_stack.clear(); // which tells `changed`
}

void ProgramHistory::GoTo(const ProgramState& earlier)
{
    m_busy = true;
    const auto busy = qScopeGuard([this] { m_busy = false; });
    const ProgramEdit edit = RestoreSlots(m_program, earlier);
    m_program.Modified = DiffersApartFromFlag(m_program, m_clean) || m_clean.Modified;
    emit restored(edit);
}

} // namespace tramelle
