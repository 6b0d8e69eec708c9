#pragma once

#include "ProgramRules.h"

namespace tramelle {

// Going back to an earlier copy of the program, as undo and redo do. The copies are whole
// ProgramState values; only their slots are put back.

// True when both hold the same entries in the same used slots.
bool SameSlots(const ProgramState& a, const ProgramState& b);

// Puts the 20 slots and the entry count of `earlier` back into `program`; its header, order
// lines and flags stay. Returns the slots whose content changed, in slot order. A slot that
// now shows the picture of an entry the program held a moment ago names that entry's slot as
// From, so that the panel moves the picture instead of reading it again.
ProgramEdit RestoreSlots(ProgramState& program, const ProgramState& earlier);

// True when `program` differs from `clean` in anything but the Modified flag (unused slots
// do not count).
bool DiffersApartFromFlag(const ProgramState& program, const ProgramState& clean);

} // namespace tramelle
