#include "MaintenanceCommands.h"

#include "AppContext.h"
#include "Compaction.h"
#include "Database.h"
#include "DbError.h"
#include "ProgramStore.h"
#include "Repair.h"
#include "WaitPointer.h"

#include <QCoreApplication>
#include <QScopeGuard>

namespace tramelle {

namespace {

const QString AppTitle = QStringLiteral("VMR Tramelle");

bool Ask(AppContext& ctx, const QString& title, const QString& question)
{
    return ctx.Prompt().Message(title, question, PromptIcon::Question, PromptButtons::YesNo) ==
           PromptAnswer::Yes;
}

// Runs the work with the files closed and re-opens them; the errors are listed one per
// box, as the engine gave them, each behind `prefix`.
template <typename Work>
bool WithFilesClosed(AppContext& ctx, const QString& status, const QString& prefix, Work&& work)
{
    WaitPointer wait;
    ctx.MainWindow().SetStatusBar(status);
    CloseDatabases(ctx);
    QList<MaintenanceError> errors;
    try {
        work();
    } catch (const MaintenanceFailure& failure) {
        errors = failure.errors();
    }
    const bool opened = Reopen(ctx);
    wait.Restore();
    for (const MaintenanceError& e : std::as_const(errors))
        ctx.Prompt().Message(AppTitle,
                             prefix + QCoreApplication::translate("Maintenance", "Error number: ") +
                                 QString::number(e.number) + QLatin1Char('\r') + e.description,
                             PromptIcon::Critical);
    if (!errors.isEmpty() && opened)
        ctx.Prompt().Message(AppTitle,
                             QCoreApplication::translate(
                                 "Maintenance", "The database was not changed and is open again."),
                             PromptIcon::Information);
    ctx.MainWindow().SetStatusBarReady();
    return errors.isEmpty() && opened;
}

} // namespace

bool OfferToSave(AppContext& ctx)
{
    const ProgramState& p = ctx.Program;
    if (!p.PatientID || !p.Modified)
        return true;
    switch (ctx.Prompt().Message(
        QCoreApplication::translate("Maintenance", "Exercise Program Modified"),
        QCoreApplication::translate("Maintenance", "Save current exercise program in database"),
        PromptIcon::Question, PromptButtons::YesNoCancel)) {
    case PromptAnswer::Yes:
        return SaveProgram(ctx, false);
    case PromptAnswer::No:
        return true;
    default:
        return false;
    }
}

bool Reopen(AppContext& ctx)
{
    try {
        OpenDatabases(ctx);
        return true;
    } catch (const DbError& e) {
        ctx.Prompt().Message(
            AppTitle,
            QCoreApplication::translate("Maintenance", "The databases could not be opened again.") +
                QStringLiteral("\r\n\r\n") + e.message() + QStringLiteral("\r\n\r\n") +
                QCoreApplication::translate(
                    "Maintenance", "Close the program and restore the file from your backup."),
            PromptIcon::Critical);
        ctx.Program.PatientID.reset();
        ctx.Program.InvoiceID.reset();
        ctx.MainWindow().UpdateToolbar(ToolbarState::HelpOnly);
        ctx.MainWindow().UpdateMenu(MenuState::Restricted);
        ctx.MainWindow().UpdateCaption();
        return false;
    }
}

void CompressCommand(AppContext& ctx)
{
    if (!Ask(ctx, QCoreApplication::translate("Maintenance", "Compress Database"),
             QCoreApplication::translate("Maintenance", "Compress the VMR database?")) ||
        !OfferToSave(ctx))
        return;
    const QString main = ctx.AppPathAndFName(MainDbFileName);
    const QString temp = ctx.AppPathAndFName(CompactTempFileName);
    const bool ok = WithFilesClosed(
        ctx, QCoreApplication::translate("Maintenance", "Compressing the database..."), QString(),
        [&] { CompactDatabaseFile(main, temp); });
    if (!ctx.Db.IsOpen())
        return;
    if (ok)
        ctx.Prompt().Message(QCoreApplication::translate("Maintenance", "Compress Database"),
                             QCoreApplication::translate("Maintenance", "Compression completed!"),
                             PromptIcon::Information);
    ClearCurrentPatient(ctx);
}

void RebuildCommand(AppContext& ctx)
{
    if (!Ask(ctx, QCoreApplication::translate("Maintenance", "Repair Database"),
             QCoreApplication::translate("Maintenance", "Repair the VMR database?")) ||
        !OfferToSave(ctx))
        return;
    const QString main = ctx.AppPathAndFName(MainDbFileName);
    const QString temp = ctx.AppPathAndFName(CompactTempFileName);
    RepairResult result;
    const bool ok = WithFilesClosed(
        ctx, QCoreApplication::translate("Maintenance", "Repairing the database..."),
        QCoreApplication::translate("Maintenance", "Repair unsuccessful!\r"),
        [&] { result = RepairDatabaseFile(main, temp); });
    if (!ctx.Db.IsOpen())
        return;
    if (ok) {
        QString text = QCoreApplication::translate("Maintenance", "Repair completed!");
        if (!result.WasSound)
            text += QStringLiteral("\r\n\r\n") + RepairReportText(result);
        ctx.Prompt().Message(QCoreApplication::translate("Maintenance", "Repair Database"), text,
                             PromptIcon::Information);
    }
    ClearCurrentPatient(ctx);
}

} // namespace tramelle
