#include "HelpCommands.h"

#include "AppContext.h"
#include "Paths.h"
#include "PrintJobs.h"
#include "SingleWindow.h"
#include "WindowServices.h"
#include "frmHelp.h"

#include <QCoreApplication>
#include <QDir>
#include <QUrl>
#include <QWidget>

namespace tramelle {

namespace {

const QString ManualFile = QStringLiteral("Help/index.html");

frmHelp* ShowManual(AppContext& ctx, QWidget* parent, const QString& anchor)
{
    const QString path = ResolvePath(ctx.AppPathAndFName(ManualFile));
    if (!FileExistsAnyCase(path)) {
        ctx.Prompt().Message(QCoreApplication::translate("HelpCommands", "Help"),
                             QCoreApplication::translate(
                                 "HelpCommands", "The user manual %1 could not be found.\r\n\r\n"
                                                 "Install VMR Tramelle again to restore it.")
                                 .arg(QDir::toNativeSeparators(path)),
                             PromptIcon::Warning);
        return nullptr;
    }
    const QUrl home = QUrl::fromLocalFile(path);
    frmHelp* window =
        parent ? parent->findChild<frmHelp*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (window && window->Home() != home) {
        // The application folder changed: a new window for the manual found there.
        delete window;
        window = nullptr;
    }
    if (!window) {
        window = new frmHelp(ctx, home, parent);
        // Closing only hides the window, with its pages and history; without an owner it
        // goes when closed.
        window->setAttribute(Qt::WA_DeleteOnClose, parent == nullptr);
        Windows(ctx).CenterForm(window);
    }
    QUrl page = home;
    if (!anchor.isEmpty())
        page.setFragment(anchor);
    window->ShowPage(page);
    window->show();
    RaiseWindow(window);
    return window;
}

} // namespace

frmHelp* OpenHelpContents(AppContext& ctx, QWidget* parent)
{
    return ShowManual(ctx, parent, QStringLiteral("contents"));
}

frmHelp* OpenUserManual(AppContext& ctx, QWidget* parent)
{
    return ShowManual(ctx, parent, QString());
}

bool PrintCoverDocument(AppContext& ctx, const QString& pdfFile)
{
    const QString name = QStringLiteral("Patient Instructions");
    const QString path = ResolvePath(ctx.AppPathAndFName(name + QStringLiteral(".pdf")));
    if (!FileExistsAnyCase(path)) {
        ctx.Prompt().Message(
            QCoreApplication::translate("HelpCommands", "Cover Page"),
            QCoreApplication::translate("HelpCommands",
                                        "The patient instructions could not be printed: the "
                                        "document %1 is missing.\r\n\r\nInstall VMR Tramelle "
                                        "again to restore it.")
                .arg(QDir::toNativeSeparators(path)),
            PromptIcon::Warning);
        return false;
    }
    return PrintPdfDocument(ctx, path, name, pdfFile);
}

} // namespace tramelle
