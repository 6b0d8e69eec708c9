#include "ProgramSnapshot.h"

#include <algorithm>

namespace tramelle {

namespace {

const ProgramEntry& At(const ProgramState& program, int slot)
{
    return program.Entries.at(static_cast<size_t>(slot));
}

// The panel draws an entry from these fields only.
bool SamePicture(const ProgramEntry& a, const ProgramEntry& b)
{
    return a.Icon == b.Icon && a.IconSrc == b.IconSrc && a.Picture0 == b.Picture0 &&
           a.Picture1 == b.Picture1 && a.Picture2 == b.Picture2;
}

// The program with its unused slots emptied, so that what lingers there is not compared.
ProgramState UsedPart(const ProgramState& program)
{
    ProgramState used = program;
    for (int k = std::max<int>(program.EntryCount, 0); k < MaxProgramEntries; ++k)
        used.Entries.at(static_cast<size_t>(k)) = ProgramEntry{};
    return used;
}

} // namespace

bool SameSlots(const ProgramState& a, const ProgramState& b)
{
    if (a.EntryCount != b.EntryCount)
        return false;
    for (int k = 0; k < a.EntryCount; ++k) {
        if (!(At(a, k) == At(b, k)))
            return false;
    }
    return true;
}

ProgramEdit RestoreSlots(ProgramState& program, const ProgramState& earlier)
{
    const ProgramState now = program;
    program.Entries = earlier.Entries;
    program.EntryCount = earlier.EntryCount;
    ProgramEdit edit;
    for (int slot = 0; slot < MaxProgramEntries; ++slot) {
        const bool wasUsed = slot < now.EntryCount;
        const bool isUsed = slot < program.EntryCount;
        if (!isUsed) {
            if (wasUsed)
                edit.Changes << SlotChange{slot, -1};
            continue;
        }
        const ProgramEntry& entry = At(program, slot);
        if (wasUsed && At(now, slot) == entry)
            continue;
        int from = -1;
        if (wasUsed && SamePicture(At(now, slot), entry)) {
            from = slot;
        } else {
            for (int k = 0; k < now.EntryCount && from < 0; ++k) {
                if (SamePicture(At(now, k), entry))
                    from = k;
            }
        }
        edit.Changes << SlotChange{slot, from};
    }
    return edit;
}

bool DiffersApartFromFlag(const ProgramState& program, const ProgramState& clean)
{
    ProgramState a = UsedPart(program);
    a.Modified = clean.Modified;
    return !(a == UsedPart(clean));
}

} // namespace tramelle
