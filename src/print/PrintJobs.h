#pragma once

#include "Outcome.h"
#include "PrintTypes.h"

#include <QString>

namespace tramelle {

class AppContext;

// Prints one document as one job on a printer (or a PDF file): asks the printer dialog
// through the main window unless skipDialog, then composes and sends it. The exercise
// sheets (kinds 1 and 2) start with the cover page, in the same job, when the setting
// PrintPatientCover is on; the cover prints in portrait, the sheets in their own
// orientation. A cancelled dialog prints nothing; a failure is told in a message.
// pdfFile, when given, sends the job to that file. Returns true when the job was sent.
bool PrintDocument(AppContext& ctx, PrintJobKind kind, bool skipDialog = false,
                   const QString& pdfFile = QString());

// The Print > Exercises 4/page and 2/page commands (and the toolbar "Print", which
// skips the dialog): status bar text while printing, then ready.
bool PrintExerciseSheetsCommand(AppContext& ctx, PrintJobKind kind, bool skipDialog,
                                const QString& pdfFile = QString());

// Prints a finished PDF document (the delivered patient instructions) where the printer
// dialog says: a system printer, or a PDF file. A failure is told in a message.
bool PrintPdfDocument(AppContext& ctx, const QString& path, const QString& documentName,
                      const QString& pdfFile = QString());

// The file name proposed when a document is printed to a PDF file: whose and what it is
// and the program's date ("Doe, Jane - Exercise Sheets - 2026-12-08.pdf"), in the folder
// last printed to.
QString ProposedPdfFile(const AppContext& ctx, const QString& documentName);
// The name with every character a file name cannot hold replaced by "-".
QString SafeFileName(const QString& name);

// Title of a document, used as the print job's name.
QString DocumentName(PrintJobKind kind);

// Writes every page a print job of this kind prints (the cover page first when the job
// has one) to a PDF file, with no dialog and no message: the file is written under a
// temporary name and renamed into place, so a failure leaves any earlier file whole.
Outcome ExportPdf(AppContext& ctx, PrintJobKind kind, const QString& pdfFile);

// The File > Export PDF commands: asks where to save the document, proposing the name
// and folder of printing to a file, exports it and says in the status bar where it went.
// A failure is told in a message. Returns true when the file was written.
bool ExportPdfCommand(AppContext& ctx, PrintJobKind kind);

} // namespace tramelle
