#include "ProgramSlots.h"

#include "AppContext.h"
#include "ChoicePane.h"

#include <QScopeGuard>
#include <QScrollBar>

namespace tramelle {

ProgramSlots::ProgramSlots(AppContext& ctx, SlotPanel* panel, QScrollBar* scroll, QObject* parent)
    : QObject(parent), m_ctx(ctx), m_panel(panel), m_scroll(scroll), m_history(ctx.Program)
{
    connect(&m_history, &ProgramHistory::restored, this, [this](const ProgramEdit& edit) {
        emit edited();
        m_panel->Apply(m_ctx.Program, edit);
    });
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

void ProgramSlots::Show(const ProgramEdit& edit, const QString& text, const ProgramState& before)
{
    if (!edit.IsEmpty()) {
        emit edited();
        m_history.Record(text, before);
    }
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

void ProgramSlots::Append(const ProgramEntry& entry)
{
    const ProgramState before = m_ctx.Program;
    Show(InsertEntry(m_ctx.Program, m_ctx.Program.EntryCount, entry),
         tr("Add %1").arg(entry.AbbrevDesc), before);
}

void ProgramSlots::Change(int slot, const ProgramEntry& entry)
{
    ProgramState& program = m_ctx.Program;
    if (slot < 0 || slot >= program.EntryCount)
        return;
    const ProgramState before = program;
    program.Entries.at(static_cast<size_t>(slot)) = entry;
    program.Modified = true;
    m_history.Record(tr("Change %1").arg(entry.AbbrevDesc), before);
    RefreshCaption(slot);
}

void ProgramSlots::Replaced(const QString& text, const ProgramState& before)
{
    m_history.Record(text, before);
    ShowAll();
}

void ProgramSlots::Clear()
{
    emit edited();
    const ProgramState before = m_ctx.Program;
    ClearEntries(m_ctx.Program);
    m_history.Record(tr("Clear"), before);
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
    const ProgramState before = program;
    program.Modified = true;
    emit edited();
    if (target < 0 || target >= MaxProgramEntries)
        return;
    if (source.kind == DragSource::Choice) {
        if (source.index < 0 || source.index >= m_ctx.Library.LibraryCount || RefuseWhenFull())
            return;
        const ProgramEntry& entry = m_ctx.Library.Entries.at(source.index);
        Show(InsertEntry(program, target, entry), tr("Add %1").arg(entry.AbbrevDesc), before);
        // Appended: the new slot's row comes to the top of the panel when it is above it.
        const int top = SlotPanel::PictureRect(program.EntryCount - 1).top();
        if (target >= program.EntryCount - 1 && top < m_scroll->value())
            m_scroll->setValue(top - 2);
    } else if (source.kind == DragSource::Slot) {
        const QString text =
            source.index >= 0 && source.index < program.EntryCount
                ? tr("Move %1").arg(
                      program.Entries.at(static_cast<size_t>(source.index)).AbbrevDesc)
                : QString();
        Show(MoveEntry(program, source.index, target, m_ctx.Library.DragMode), text, before);
    }
}

void ProgramSlots::Delete(int slot)
{
    if (m_deleteBusy)
        return;
    m_deleteBusy = true;
    const auto busy = qScopeGuard([this] { m_deleteBusy = false; });
    const ProgramState before = m_ctx.Program;
    const QString text =
        slot >= 0 && slot < before.EntryCount
            ? tr("Remove %1").arg(before.Entries.at(static_cast<size_t>(slot)).AbbrevDesc)
            : QString();
    Show(RemoveEntry(m_ctx.Program, slot), text, before);
}

} // namespace tramelle
