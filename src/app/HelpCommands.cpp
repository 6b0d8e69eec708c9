#include "HelpCommands.h"

#include "AppContext.h"
#include "Paths.h"

#include <QApplication>
#include <QDir>
#include <QScopeGuard>

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

void PrintCoverDocument(AppContext& ctx)
{
    const QString title = QStringLiteral("Cover Page");
    const QString pdf = ctx.AppPathAndFName(QStringLiteral("Patient Instructions.pdf"));
    const QString doc = ctx.AppPathAndFName(QStringLiteral("Patient Instructions.Doc"));

    QString program;
    QStringList arguments;
    QString path;
    if (FileExistsAnyCase(pdf)) {
        path = pdf;
        program = QStringLiteral("lp");
        arguments = {pdf};
    } else if (FileExistsAnyCase(doc)) {
        path = doc;
        program = ctx.Launcher().FindProgram(QStringLiteral("soffice"));
        if (program.isEmpty())
            program = ctx.Launcher().FindProgram(QStringLiteral("libreoffice"));
        if (program.isEmpty()) {
            ctx.Prompt().Message(title,
                                 QStringLiteral("The patient instructions %1 could not be printed: "
                                                "LibreOffice is not installed.")
                                     .arg(QDir::toNativeSeparators(doc)),
                                 PromptIcon::Warning);
            return;
        }
        arguments = {QStringLiteral("--headless"), QStringLiteral("-p"), doc};
    } else {
        ctx.Prompt().Message(
            title,
            QStringLiteral("The patient instructions could not be printed: neither "
                           "\"Patient Instructions.pdf\" nor \"Patient Instructions.Doc\" "
                           "is in %1.")
                .arg(QDir::toNativeSeparators(ctx.AppFolder())),
            PromptIcon::Warning);
        return;
    }

    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    QString error;
    if (ctx.Launcher().RunProgram(program, arguments, &error, 120000))
        return;
    restore.dismiss();
    QApplication::restoreOverrideCursor();
    ctx.Prompt().Message(
        title,
        QStringLiteral("The patient instructions %1 could not be printed.\r\n\r\n%2")
            .arg(QDir::toNativeSeparators(path), error),
        PromptIcon::Warning);
}

} // namespace tramelle
