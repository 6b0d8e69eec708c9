#pragma once

#include "DragController.h"
#include "ProgramHistory.h"
#include "ProgramRules.h"
#include "SlotPanel.h"

#include <QObject>

class QScrollBar;

namespace tramelle {

class AppContext;

// The program side of the selection window: the slot rules applied to the current program
// for drops, deletions and the parameters dialog, and their result shown on the slot panel.
class ProgramSlots : public QObject
{
    Q_OBJECT

public:
    ProgramSlots(AppContext& ctx, SlotPanel* panel, QScrollBar* scroll, QObject* parent = nullptr);

    // Reads a program entry's picture for the panel; an unreadable file is reported.
    static SlotPanel::PictureLoader Loader(AppContext& ctx, const QWidget* screen);

    // Shows every slot of the program again.
    void ShowAll();
    // A choice or a slot dropped on slot `target`.
    void Drop(int target, DragSource source);
    // Removes the entry of a used slot (not again while a removal runs).
    void Delete(int slot);
    void Clear();
    // Appends `entry` after the last used slot.
    void Append(const ProgramEntry& entry);
    // Gives a used slot's entry new parameters.
    void Change(int slot, const ProgramEntry& entry);
    // Shows every slot after an edit made elsewhere, and records it as `text`.
    void Replaced(const QString& text, const ProgramState& before);
    // Undo and redo of the edits above.
    ProgramHistory& History() { return m_history; }
    void RefreshCaption(int slot);
    quint64 Generation(int slot) const { return m_panel->Generation(slot); }
    // When `adding` more entries would pass 20: the "Exercise list full" message, and true.
    bool RefuseWhenFull(int adding = 1);

signals:
    // The program was edited (or a drop was attempted): the status line shows Ready.
    void edited();

private:
    // Shows what an edit changed and records it as `text`; `before` is the program as it was.
    void Show(const ProgramEdit& edit, const QString& text, const ProgramState& before);

    AppContext& m_ctx;
    SlotPanel* m_panel;
    QScrollBar* m_scroll;
    bool m_deleteBusy = false;
    ProgramHistory m_history;
};

} // namespace tramelle
