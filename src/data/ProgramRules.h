#pragma once

#include "ProgramState.h"

#include <QList>

namespace tramelle {

// How a program entry dropped on another slot moves.
enum class DragMode
{
    Insert = 0,  // the entry lands on the slot, those between move one place towards it
    Replace = 1, // the two entries change places
};

// One slot that an edit changed: it now holds the entry that was in slot From before the
// edit, a new entry (From -1 and Slot < EntryCount) or nothing (Slot >= EntryCount).
struct SlotChange
{
    int Slot = -1;
    int From = -1;

    bool operator==(const SlotChange&) const = default;
};

// What an edit of the program's slots did, in slot order.
struct ProgramEdit
{
    QList<SlotChange> Changes;
    bool Refused = false; // the program was full: nothing changed

    bool IsEmpty() const { return Changes.isEmpty(); }
};

// The editing rules of the 20 program slots. Each sets Modified when it changes anything
// and leaves the program untouched (and the edit empty) for slots out of range.

// Puts `entry` before slot `at` when that slot is in use, else after the last entry.
// Refused when the program is full.
ProgramEdit InsertEntry(ProgramState& program, int at, const ProgramEntry& entry);
// Moves the entry of slot `from` onto slot `to` (both in use, different).
ProgramEdit MoveEntry(ProgramState& program, int from, int to, DragMode mode);
// Removes the entry of a used slot; the ones after it move up one place.
ProgramEdit RemoveEntry(ProgramState& program, int slot);
// Empties the program.
ProgramEdit ClearEntries(ProgramState& program);

// Marks the program as accepted at `now` (to the whole second) with its provider and usage.
void StampProgram(ProgramState& program, const QString& provider, const QString& usage,
                  const QDateTime& now);

} // namespace tramelle
