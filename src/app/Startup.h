#pragma once

namespace tramelle {

// Runs the program: start-up, the main window's event loop, shutdown. Returns the
// process exit status.
int RunApplication(int argc, char** argv);

} // namespace tramelle
