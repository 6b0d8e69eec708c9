#pragma once

#include "LibraryEntry.h"
#include "Outcome.h"
#include "PrintTypes.h"

#include <QString>

namespace tramelle {

class AppContext;
class OutputSurface;

// The parameters of an exercise as printed: "10 reps, 5 sec hold, 3 sets".
QString RepsHoldSetsText(const ProgramEntry& entry);

// The exercise sheets of the current program, 4 per page (portrait) or 2 per page
// (landscape), every page with the clinic's title, the header block and the footer.
void PrintExerciseSheets(AppContext& ctx, OutputSurface& surface, int perPage);

// The cover page: title, header block, the clinic's cover text, footer. One page.
void PrintCoverPage(AppContext& ctx, OutputSurface& surface);

// Sets the orientation the document prints in and composes it onto the surface; the
// reason when it cannot be composed (a measure or an amount out of range, a document
// this build does not know).
Outcome ComposeDocument(AppContext& ctx, PrintJobKind kind, OutputSurface& surface);

// Whether a job of this kind starts with the cover page (the setting PrintPatientCover,
// for the exercise sheets).
bool JobHasCover(const AppContext& ctx, PrintJobKind kind);

// Every page one print job of this kind prints: the cover page first when the job has
// one, then the document. The printer and the preview both compose through this. Fails
// as ComposeDocument does.
Outcome ComposeJob(AppContext& ctx, PrintJobKind kind, OutputSurface& surface);

} // namespace tramelle
