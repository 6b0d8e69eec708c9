#include "ProgramRules.h"

#include <algorithm>
#include <utility>

namespace tramelle {

namespace {

ProgramEntry& At(ProgramState& program, int slot)
{
    return program.Entries.at(static_cast<size_t>(slot));
}

bool InUse(const ProgramState& program, int slot)
{
    return slot >= 0 && slot < program.EntryCount;
}

} // namespace

ProgramEdit InsertEntry(ProgramState& program, int at, const ProgramEntry& entry)
{
    ProgramEdit edit;
    if (at < 0 || at >= MaxProgramEntries)
        return edit;
    if (program.EntryCount >= MaxProgramEntries) {
        edit.Refused = true;
        return edit;
    }
    const int count = program.EntryCount;
    const int slot = std::min(at, count);
    for (int c = count; c > slot; --c)
        At(program, c) = At(program, c - 1);
    At(program, slot) = entry;
    ++program.EntryCount;
    program.Modified = true;
    edit.Changes << SlotChange{slot, -1};
    for (int c = slot + 1; c <= count; ++c)
        edit.Changes << SlotChange{c, c - 1};
    return edit;
}

ProgramEdit MoveEntry(ProgramState& program, int from, int to, DragMode mode)
{
    ProgramEdit edit;
    if (from == to || !InUse(program, from) || !InUse(program, to))
        return edit;
    program.Modified = true;
    if (mode == DragMode::Replace) {
        std::swap(At(program, from), At(program, to));
        edit.Changes << SlotChange{std::min(from, to), std::max(from, to)}
                     << SlotChange{std::max(from, to), std::min(from, to)};
        return edit;
    }
    const ProgramEntry held = At(program, from);
    if (from > to) {
        for (int h = from; h > to; --h)
            At(program, h) = At(program, h - 1);
        edit.Changes << SlotChange{to, from};
        for (int h = to + 1; h <= from; ++h)
            edit.Changes << SlotChange{h, h - 1};
    } else {
        for (int g = from; g < to; ++g)
            At(program, g) = At(program, g + 1);
        for (int g = from; g < to; ++g)
            edit.Changes << SlotChange{g, g + 1};
        edit.Changes << SlotChange{to, from};
    }
    At(program, to) = held;
    return edit;
}

ProgramEdit RemoveEntry(ProgramState& program, int slot)
{
    ProgramEdit edit;
    if (!InUse(program, slot))
        return edit;
    program.Modified = true;
    const int last = program.EntryCount - 1;
    for (int k = slot; k < last; ++k) {
        At(program, k) = At(program, k + 1);
        edit.Changes << SlotChange{k, k + 1};
    }
    --program.EntryCount;
    edit.Changes << SlotChange{last, -1};
    return edit;
}

ProgramEdit ClearEntries(ProgramState& program)
{
    ProgramEdit edit;
    program.Modified = true;
    for (int k = 0; k < program.EntryCount; ++k)
        edit.Changes << SlotChange{k, -1};
    program.EntryCount = 0;
    return edit;
}

void StampProgram(ProgramState& program, const QString& provider, const QString& usage,
                  const QDateTime& now)
{
    program.Modified = true;
    program.Provider = provider;
    program.Usage = usage;
    program.Date =
        QDateTime(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second()));
}

} // namespace tramelle
