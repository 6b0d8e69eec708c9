#pragma once

namespace tramelle {

class AppContext;
class OutputSurface;

// The clinic's file copy of the program: the "EXERCISE PROGRAM" grid of 20 rows, an
// empty "EXERCISE LOG" grid of 15 rows for the patient's visits and a signature line.
// Always one page, whatever the program holds.
void PrintPatientRecord(AppContext& ctx, OutputSurface& surface);

} // namespace tramelle
