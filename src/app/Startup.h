#pragma once

#include <QString>
#include <functional>

namespace tramelle {

class AppContext;
class LauncherService;
class PromptService;
class WindowServices;
class mdiVMR;

// How a caller in code (tests, benchmarks) runs the start-up. The program itself
// always runs with the defaults.
struct StartupOptions
{
    bool ShowSplash = true;
    // With false the tip of the day is not shown, whatever the settings say.
    bool ShowTipOfTheDay = true;
    // Closes the main window (a normal shutdown) as soon as start-up is done.
    bool QuitWhenReady = false;
    // Empty: the default application folder.
    QString AppFolder;
    // Empty: the per-user settings store.
    QString SettingsFile;
    // Services to use instead of the widget and desktop ones.
    PromptService* Prompt = nullptr;
    LauncherService* Launcher = nullptr;
    // Replaces the system's printer dialog under the main window.
    WindowServices* Windows = nullptr;
    // Called when the main window is ready, before the event loop runs.
    std::function<void(mdiVMR&, AppContext&)> OnReady;
};

// Runs the program: start-up, the main window's event loop, shutdown; or, when the
// arguments ask for it, an export without a window (see CommandLine.h). Returns the
// process exit status.
int RunApplication(int argc, char** argv);

// The names the settings store and the data folder are found by.
void SetApplicationNames();

// The same with a QApplication that already exists.
int StartApplication(const StartupOptions& options);

// The name of the lock file that keeps one instance per application folder.
QString InstanceLockPath(const QString& appFolder);

} // namespace tramelle
