#pragma once

#include <QtGlobal>
#include <optional>

namespace tramelle {

class AppContext;

// Stores the current program when a patient is current and it is modified; with ask
// the user is asked first. Returns false when a save was attempted and failed (the
// user has been told why, the stored program is unchanged and the program in memory
// stays Modified); true otherwise.
bool SaveProgram(AppContext& ctx, bool ask);

// Loads the stored program `invoice`; with no invoice, the current patient's latest
// program, or a new empty program when the patient has none. Throws DbError.
void LoadProgram(AppContext& ctx, std::optional<qint32> invoice);

// Forgets the current patient and stored program.
void ClearCurrentPatient(AppContext& ctx);

} // namespace tramelle
