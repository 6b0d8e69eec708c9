#pragma once

#include <QString>

namespace tramelle {

class AppContext;

// "&Contents": the help file "Help/Velmora.HLP" when the application folder holds it,
// otherwise the HTML help "Help/index.html", opened in the desktop's program for it.
void OpenHelpContents(AppContext& ctx);

// "&User Manual": "Help/VMR Users Manual.doc" when present, otherwise the HTML help.
void OpenUserManual(AppContext& ctx);

// Print > "&Cover Page": prints the delivered patient instructions, "Patient
// Instructions.pdf" in the application folder, where the printer dialog says (a printer
// or a PDF file). pdfFile, when given, prints to that file. A missing document or a
// failed job is told in a message; returns true when the job was sent.
bool PrintCoverDocument(AppContext& ctx, const QString& pdfFile = QString());

} // namespace tramelle
