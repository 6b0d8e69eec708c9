#pragma once

#include "Outcome.h"

namespace tramelle {

class AppContext;

// Reads the one Clinic row into ctx.Clinic; with no row the record is left empty. An
// empty card date reads as a null date. Throws DbError.
void LoadClinicInfo(AppContext& ctx);

// Writes ctx.Clinic into the Clinic row (added when the table is empty, otherwise the
// first row is updated), in one transaction. Throws DbError.
void SaveClinicInfo(AppContext& ctx);

// Sets the vendor's fax and telephone numbers and reads the cover text; the reason when
// the cover text cannot be read (the cover text is then empty).
Outcome LoadVendorContacts(AppContext& ctx);

} // namespace tramelle
