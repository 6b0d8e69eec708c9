#include "Startup.h"

#include "AppContext.h"
#include "ApplicationServices.h"
#include "Clinic.h"
#include "CommandLine.h"
#include "Database.h"
#include "DbError.h"
#include "DeliveredData.h"
#include "Paths.h"
#include "Settings.h"
#include "frmSplash.h"
#include "mdiVMR.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QTimer>
#include <cerrno>

namespace tramelle {

namespace {

// Step 11: the probe picture marks a present picture folder.
bool PicturesPresent(const AppContext& ctx)
{
    return FileExistsAnyCase(ctx.Settings.PictureFolder + QStringLiteral("385_1.JPG"));
}

// Step 12: a file of the earlier version only triggers a notice; it is left alone.
void CheckPreviousDatabase(AppContext& ctx)
{
    if (!FileExistsAnyCase(JoinPath(ctx.AppFolder(), QStringLiteral("VMR.MDB"))))
        return;
    ctx.Prompt().Message(QCoreApplication::translate("Startup", "Previous Database Detected"),
                         QCoreApplication::translate(
                             "Startup", "You have a previous version of the VMR Database.\r\n"
                                        "Run the Velmora Database Ugrade program to import "
                                        "your data."),
                         PromptIcon::Information);
}

// A library file of an earlier version lacks the exercises delivered since; they are
// added once, leaving the clinic's own changes alone.
void AddNewDeliveredExercises(AppContext& ctx)
{
    try {
        const int added = AddMissingDeliveredExercises(ctx.Db.LibraryDb(), DeliveredFilesFolder());
        if (added > 0) {
            ctx.Prompt().Message(QStringLiteral("Exercise Library"),
                                 added == 1
                                     ? QStringLiteral("1 exercise delivered with this version was "
                                                      "added to the exercise library.")
                                     : QStringLiteral("%1 exercises delivered with this version "
                                                      "were added to the exercise library.")
                                           .arg(added),
                                 PromptIcon::Information);
        }
    } catch (const DbError& e) {
        ctx.Prompt().Message(
            QStringLiteral("Exercise Library"),
            QStringLiteral("The exercises delivered with this version could not be added to the "
                           "exercise library.\r\n\r\n%1")
                .arg(e.message()),
            PromptIcon::Warning);
    }
}

// Opens the data files after checking them; false (the user told why) when they
// cannot be used. Nothing is modified on that path.
bool InitializeData(AppContext& ctx)
{
    const DataFilesCheck check = PrepareDataFiles(ctx.AppFolder(), DeliveredFilesFolder());
    if (!check.ok) {
        ctx.Prompt().Message(check.title, check.message, PromptIcon::Critical);
        return false;
    }
    try {
        OpenDatabases(ctx);
    } catch (const DbError& e) {
        ctx.Prompt().Message(QCoreApplication::translate("Startup", "Database Error"), e.message(),
                             PromptIcon::Critical);
        return false;
    }
    AddNewDeliveredExercises(ctx);
    const auto stop = [&ctx](const QString& reason) {
        ctx.Prompt().Message(QCoreApplication::translate("Startup", "Database Error"), reason,
                             PromptIcon::Critical);
        CloseDatabases(ctx);
        return false;
    };
    try {
        if (const Outcome contacts = LoadVendorContacts(ctx); !contacts)
            return stop(contacts.Reason());
        LoadClinicInfo(ctx);
    } catch (const DbError& e) {
        return stop(e.message());
    }
    ctx.Geometry.PageScale = 1;
    return true;
}

void ReportFolderNotWritable(AppContext& ctx, const QString& detail, bool permission = true)
{
    ctx.Prompt().Message(
        QCoreApplication::translate("Startup", "VMR Tramelle"),
        QCoreApplication::translate(
            "Startup", "The program cannot write to its data folder\r\n%1\r\n\r\n%2\r\n\r\n%3"
                       "The program will now end.")
            .arg(QDir::toNativeSeparators(ctx.AppFolder()), detail,
                 permission
                     ? QCoreApplication::translate(
                           "Startup", "Ask your administrator to give you write access to it. ")
                     : QString()),
        PromptIcon::Critical);
}

// Whether something can be written in the folder, found by writing a small file there;
// else why not in the system's words ("No space left on device"), numbered EACCES when
// the user may not write there.
Outcome ProbeFolderWrite(const QString& folder)
{
    QFile probe(JoinPath(folder, QStringLiteral(".vmr-tramelle.probe")));
    const bool opened = probe.open(QIODevice::WriteOnly | QIODevice::Truncate);
    const bool written = opened && probe.write(QByteArray(512, '\0')) == 512 && probe.flush();
    const QString reason = probe.errorString();
    probe.close();
    QFile::remove(probe.fileName());
    if (written)
        return Outcome::Done();
    return Outcome::Failed(reason, QFileInfo(folder).isWritable() ? 0 : EACCES);
}

// The main file is checked on a second thread once the window is up; a damaged file
// is offered read-only or the program ends.
void OfferDamagedMainFile(AppContext& ctx, mdiVMR& window, const QString& report)
{
    const PromptAnswer answer = ctx.Prompt().Message(
        QCoreApplication::translate("Startup", "Database Damaged"),
        QCoreApplication::translate(
            "Startup", "The database file %1 is damaged:\r\n\r\n%2\r\n\r\n"
                       "You can go on with the file opened read-only: everything in it can be "
                       "looked at and printed, but nothing can be stored. Rebuild in the Database "
                       "menu repairs the file.\r\n\r\n"
                       "Continue read-only? No ends the program.")
            .arg(QDir::toNativeSeparators(ctx.Db.MainPath), report),
        PromptIcon::Critical, PromptButtons::YesNo, PromptAnswer::Yes);
    if (answer != PromptAnswer::Yes)
        QTimer::singleShot(0, &window, &QWidget::close);
}

} // namespace

QString InstanceLockPath(const QString& appFolder)
{
    return JoinPath(appFolder, QStringLiteral(".vmr-tramelle.lock"));
}

void SetApplicationNames()
{
    QCoreApplication::setOrganizationName(SettingsOrganization);
    QCoreApplication::setApplicationName(SettingsApplication);
    QCoreApplication::setApplicationVersion(QStringLiteral(TRAMELLE_VERSION));
    // No display name: the platform would append it to every caption.
}

int RunApplication(int argc, char** argv)
{
    if (IsCommandLineRun(argc, argv))
        return RunCommandLine(argc, argv);
    QApplication app(argc, argv);
    SetApplicationNames();
    return StartApplication(StartupOptions{});
}

int StartApplication(const StartupOptions& options)
{
    WidgetPromptService widgetPrompt;
    WidgetWindowServices widgetWindows;
    DesktopLauncherService desktopLauncher;
    AppContext ctx(options.AppFolder.isEmpty() ? DefaultApplicationFolder() : options.AppFolder);
    ctx.SetPromptService(options.Prompt ? options.Prompt : &widgetPrompt);
    ctx.SetLauncherService(options.Launcher ? options.Launcher : &desktopLauncher);
    ctx.SetWindowServices(options.Windows ? options.Windows : &widgetWindows);

    mdiVMR window(ctx);
    window.SetSettingsFile(options.SettingsFile);
    // 1. Only "Help" until the data is loaded.
    window.UpdateToolbar(ToolbarState::HelpOnly);
    window.UpdateMenu(MenuState::Restricted);

    // 2. One instance per application folder; a second one ends silently. The lock
    // file also proves that the folder can be written before anything is created in it.
    if (!QDir().mkpath(ctx.AppFolder())) {
        ReportFolderNotWritable(
            ctx, QCoreApplication::translate("Startup", "The folder could not be created."));
        return 1;
    }
    QLockFile lock(InstanceLockPath(ctx.AppFolder()));
    // Held for the whole run; a lock left by a crashed run is taken over (process check).
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0)) {
        if (lock.error() == QLockFile::LockFailedError)
            return 0;
        if (const Outcome probe = ProbeFolderWrite(ctx.AppFolder()); !probe)
            ReportFolderNotWritable(ctx, probe.Reason(), probe.Code() == EACCES);
        else
            ReportFolderNotWritable(
                ctx, QCoreApplication::translate("Startup", "No file can be created in it."));
        return 1;
    }

    // 3. The splash, modal, for three seconds or until dismissed.
    if (options.ShowSplash) {
        frmSplash splash;
        window.CenterForm(&splash);
        splash.exec();
    }

    // 4. and 5.
    LoadSettings(ctx, *OpenSettingsStore(options.SettingsFile));
    if (!InitializeData(ctx))
        return 1;

    // 6.
    window.show();
    window.CenterForm(&window);

    // 7. The exercise selection window is created and hidden, which loads the library
    // and builds its picture grid, so it is ready when first asked for.
    window.CreateSelectionWindow();
    ctx.Db.StartMainFileCheck(
        [&ctx, &window](const QString& report) { OfferDamagedMainFile(ctx, window, report); });

    // 8. The tip of the day, modal.
    if (ctx.Settings.ShowTips && options.ShowTipOfTheDay)
        window.ShowTipOfTheDay();

    // 9. and 10.
    window.UpdateToolbar(ToolbarState::NoPatient);
    ctx.Program.PatientID.reset();
    ctx.Program.InvoiceID.reset();
    window.UpdateCaption();
    window.SetStatusBarReady();

    // 11.
    if (!PicturesPresent(ctx))
        window.mnuCopyPictures_Click();

    // 12. and 13.
    CheckPreviousDatabase(ctx);
    window.UpdateMenu(MenuState::All);

    if (options.OnReady)
        options.OnReady(window, ctx);
    if (options.QuitWhenReady)
        QTimer::singleShot(0, &window, &QWidget::close);
    const int status = QApplication::exec();
    // The window normally shut down when it closed; this covers a quit from elsewhere.
    window.Shutdown();
    return status;
}

} // namespace tramelle
