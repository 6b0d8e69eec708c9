#include "ProgramSlots.h"

#include "AppContext.h"
#include "ChoicePane.h"

#include <QScopeGuard>
#include <QScrollBar>

namespace tramelle {

ProgramSlots::ProgramSlots(AppContext& ctx, SlotPanel* panel, QScrollBar* scroll, QObject* parent)
    : QObject(parent), m_ctx(ctx), m_panel(panel), m_scroll(scroll)
{
}

SlotPanel::PictureLoader ProgramSlots::Loader(AppContext& ctx, const QWidget* screen)
{
    return [&ctx, screen](const ProgramEntry& entry, QSize size) {
        Result<QImage> picture = ReadCellPicture(ctx, entry, size, screen->devicePixelRatioF());
        if (!picture) {
            ctx.Prompt().Message(
                QStringLiteral("SetSelExFromPool"),
                QStringLiteral("Error: %1,  %2").arg(picture.Code()).arg(picture.Reason()),
                PromptIcon::Warning, PromptButtons::Ok);
            return QPixmap();
        }
        return QPixmap::fromImage(std::move(picture.Value()));
    };
}

void ProgramSlots::Show(const ProgramEdit& edit)
{
    if (!edit.IsEmpty())
        emit edited();
    m_panel->Apply(m_ctx.Program, edit);
}

void ProgramSlots::ShowAll()
{
    m_panel->ShowAll(m_ctx.Program);
}

void ProgramSlots::RefreshCaption(int slot)
{
    m_panel->RefreshCaption(m_ctx.Program, slot);
}

void ProgramSlots::Put(int destination, const ProgramEntry& entry)
{
    m_ctx.Program.Modified = true;
    emit edited();
    m_ctx.Program.Entries.at(static_cast<size_t>(destination)) = entry;
    m_panel->ShowSlot(m_ctx.Program, destination);
}

void ProgramSlots::Clear()
{
    emit edited();
    ClearEntries(m_ctx.Program);
    ShowAll();
}

bool ProgramSlots::RefuseWhenFull(int adding)
{
    if (m_ctx.Program.EntryCount + adding <= MaxProgramEntries)
        return false;
    m_ctx.Prompt().Message(
        QStringLiteral("Exercise list full"),
        QStringLiteral("No room for more exercises.\r\nPlease delete one first."),
        PromptIcon::Information, PromptButtons::Ok);
    return true;
}

void ProgramSlots::Drop(int target, DragSource source)
{
    ProgramState& program = m_ctx.Program;
    program.Modified = true;
    emit edited();
    if (target < 0 || target >= MaxProgramEntries)
        return;
    if (source.kind == DragSource::Choice) {
        if (source.index < 0 || source.index >= m_ctx.Library.LibraryCount || RefuseWhenFull())
            return;
        Show(InsertEntry(program, target, m_ctx.Library.Entries.at(source.index)));
        // Appended: the new slot's row comes to the top of the panel when it is above it.
        const int top = SlotPanel::PictureRect(program.EntryCount - 1).top();
        if (target >= program.EntryCount - 1 && top < m_scroll->value())
            m_scroll->setValue(top - 2);
    } else if (source.kind == DragSource::Slot) {
        Show(MoveEntry(program, source.index, target, m_ctx.Library.DragMode));
    }
}

void ProgramSlots::Delete(int slot)
{
    if (m_deleteBusy)
        return;
    m_deleteBusy = true;
    const auto busy = qScopeGuard([this] { m_deleteBusy = false; });
    Show(RemoveEntry(m_ctx.Program, slot));
}

} // namespace tramelle
