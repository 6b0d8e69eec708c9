#pragma once

#include <QString>

class QWidget;

namespace tramelle {

class AppContext;

class frmHelp;

// The manual, "Help/index.html" in the application folder, in the help window: one
// window, a child of parent, reused by every call. A missing manual is told in a message
// and gives nullptr.
// Help > "&Contents" and the toolbar's "Help": the manual's table of contents.
frmHelp* OpenHelpContents(AppContext& ctx, QWidget* parent);
// Help > "&User Manual": the manual from its beginning.
frmHelp* OpenUserManual(AppContext& ctx, QWidget* parent);

// Print > "&Cover Page": prints the delivered patient instructions, "Patient
// Instructions.pdf" in the application folder, where the printer dialog says (a printer
// or a PDF file). pdfFile, when given, prints to that file. A missing document or a
// failed job is told in a message; returns true when the job was sent.
bool PrintCoverDocument(AppContext& ctx, const QString& pdfFile = QString());

} // namespace tramelle
