#pragma once

#include "ClinicInfo.h"
#include "Database.h"
#include "LibraryCache.h"
#include "PageGeometry.h"
#include "ProgramState.h"
#include "Services.h"
#include "SettingsValues.h"

#include <QString>
#include <memory>

namespace tramelle {

// What windows ask of the main window and of the system's dialogs; declared and
// reached on the widget side (WindowServices.h), held here only as a pointer.
class WindowServices;

// The shared state of one run of the program: the application folder, the settings
// values, the current program, the open databases and the services that the data
// routines call. Tests build a fresh one in a temporary folder.
class AppContext
{
public:
    explicit AppContext(QString appFolder);
    ~AppContext();
    AppContext(const AppContext&) = delete;
    AppContext& operator=(const AppContext&) = delete;

    // The application folder, with "/" separators and no trailing "/".
    const QString& AppFolder() const { return m_appFolder; }
    // The application folder, "/" and the name, resolved without regard to letter case.
    QString AppPathAndFName(const QString& name) const;

    SettingsValues Settings;
    ProgramState Program;
    Databases Db;
    LibraryCache Library;

    ClinicInfo Clinic;
    // Measures of the document being composed (printer or preview).
    PageGeometry Geometry;
    // The folder a document was last printed to as a PDF file, in this run.
    QString LastPdfFolder;

    // Text of "cover.txt" and the vendor's numbers, read at start-up.
    QString CoverText;
    QString VendorFax;
    QString VendorPhone;

    PromptService& Prompt() const { return *m_prompt; }
    LauncherService& Launcher() const { return *m_launcher; }
    MainWindowServices& MainWindow() const { return *m_mainWindow; }

    // The context does not own installed services; passing nullptr restores the null one.
    void SetPromptService(PromptService* service);
    void SetLauncherService(LauncherService* service);
    void SetMainWindowServices(MainWindowServices* service);
    // The installed widget-side services, or nullptr; windows reach them through
    // Windows(ctx), which falls back to ones that do nothing.
    WindowServices* InstalledWindowServices() const { return m_windows; }
    void SetWindowServices(WindowServices* service) { m_windows = service; }

private:
    QString m_appFolder;
    NullPromptService m_nullPrompt;
    NullLauncherService m_nullLauncher;
    NullMainWindowServices m_nullMainWindow;
    PromptService* m_prompt = &m_nullPrompt;
    LauncherService* m_launcher = &m_nullLauncher;
    MainWindowServices* m_mainWindow = &m_nullMainWindow;
    WindowServices* m_windows = nullptr;
};

} // namespace tramelle
