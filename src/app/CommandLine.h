#pragma once

namespace tramelle {

// Whether the arguments ask for work without the main window: an export to PDF, the
// help or the version. Such a run needs no display and does not take the lock that keeps
// one window per application folder.
bool IsCommandLineRun(int argc, char** argv);

// Runs that work and returns the exit status: 0 when done, 1 when the export failed
// (unknown patient or program, unusable data files, a file that cannot be written), 2 for
// arguments that make no sense. Messages go to the error stream.
//
//   vmr-tramelle --export-pdf KIND (--program INVOICEID | --patient PATIENTID) --out FILE
//
// The data files are opened read-only and nothing in the application folder is written.
int RunCommandLine(int argc, char** argv);

} // namespace tramelle
