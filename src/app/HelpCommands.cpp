#include "HelpCommands.h"

#include "AppContext.h"
#include "Paths.h"
#include "PrintJobs.h"

#include <QCoreApplication>
#include <QDir>

namespace tramelle {

namespace {

const QString HtmlHelp = QStringLiteral("Help/index.html");

// The user asked for a document: a failure is reported, never silent.
void OpenFirstPresent(AppContext& ctx, const QString& preferred, const QString& title,
                      const QString& what)
{
    QString path = ctx.AppPathAndFName(preferred);
    if (!FileExistsAnyCase(path))
        path = ctx.AppPathAndFName(HtmlHelp);
    QString error;
    if (!FileExistsAnyCase(path))
        error = QStringLiteral("The file does not exist.");
    else if (ctx.Launcher().OpenDocument(path, &error))
        return;
    ctx.Prompt().Message(title,
                         QStringLiteral("The %1 could not be opened:\r\n%2\r\n\r\n%3")
                             .arg(what, QDir::toNativeSeparators(path), error),
                         PromptIcon::Warning);
}

} // namespace

void OpenHelpContents(AppContext& ctx)
{
    OpenFirstPresent(ctx, QStringLiteral("Help/Velmora.HLP"), QStringLiteral("Help"),
                     QStringLiteral("help"));
}

void OpenUserManual(AppContext& ctx)
{
    OpenFirstPresent(ctx, QStringLiteral("Help/VMR Users Manual.doc"),
                     QStringLiteral("User Manual"), QStringLiteral("user manual"));
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
