#pragma once

namespace tramelle {

class AppContext;

// "&Contents": the help file "Help/Velmora.HLP" when the application folder holds it,
// otherwise the HTML help "Help/index.html", opened in the desktop's program for it.
void OpenHelpContents(AppContext& ctx);

// "&User Manual": "Help/VMR Users Manual.doc" when present, otherwise the HTML help.
void OpenUserManual(AppContext& ctx);

// "&Cover Page": prints "Patient Instructions.pdf" with lp, or the word-processor
// document "Patient Instructions.Doc" through LibreOffice when it is installed.
void PrintCoverDocument(AppContext& ctx);

} // namespace tramelle
