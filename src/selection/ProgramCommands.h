#pragma once

#include <QString>

namespace tramelle {

class AppContext;
class StatusLine;

// What OK and Cancel of the selection window do to the patient's program.

// Stamps the program with the provider, usage and time and stores it; the status line names
// the patient when it was stored. False when storing failed (the user has been told why).
bool AcceptProgram(AppContext& ctx, const QString& provider, const QString& usage,
                   StatusLine& status);
// Reads the stored program back, dropping the edits; a failure is reported.
void RevertProgram(AppContext& ctx, StatusLine& status);

} // namespace tramelle
