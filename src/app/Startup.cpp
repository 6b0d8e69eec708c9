#include "Startup.h"

#include "AppContext.h"
#include "ApplicationServices.h"
#include "Database.h"
#include "DbError.h"
#include "Paths.h"

#include <QApplication>
#include <QMainWindow>

namespace tramelle {

int RunApplication(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Velmora"));
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
    QApplication::setApplicationDisplayName(QStringLiteral("VMR Tramelle"));

    WidgetPromptService prompt;
    DesktopLauncherService launcher;
    AppContext ctx(DefaultApplicationFolder());
    ctx.SetPromptService(&prompt);
    ctx.SetLauncherService(&launcher);

    const DataFilesCheck check = PrepareDataFiles(ctx.AppFolder(), DeliveredFilesFolder());
    if (!check.ok) {
        ctx.Prompt().Message(check.title, check.message, PromptIcon::Critical);
        return 1;
    }
    try {
        OpenDatabases(ctx);
    } catch (const DbError& e) {
        ctx.Prompt().Message(QStringLiteral("Database Error"), e.message(), PromptIcon::Critical);
        return 1;
    }

    QMainWindow window;
    window.setObjectName(QStringLiteral("mdiVMR"));
    window.setWindowTitle(QStringLiteral("VMR Tramelle - No Patient Selected"));
    window.resize(800, 600);
    window.show();
    const int status = app.exec();
    CloseDatabases(ctx);
    return status;
}

} // namespace tramelle
