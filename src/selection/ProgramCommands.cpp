#include "ProgramCommands.h"
#include "Outcome.h"

#include "AppContext.h"
#include "DbError.h"
#include "ProgramRules.h"
#include "ProgramStore.h"
#include "StatusLine.h"

#include <QCoreApplication>

namespace tramelle {

bool AcceptProgram(AppContext& ctx, const QString& provider, const QString& usage,
                   StatusLine& status)
{
    ProgramState& program = ctx.Program;
    program.Modified = true;
    status.Ready();
    StampProgram(program, provider, usage, QDateTime::currentDateTime());
    ctx.MainWindow().UpdateToolbar(ToolbarState::PatientSelected);
    status.Forget();
    if (!SaveProgram(ctx, false))
        return false;
    // Without a patient nothing is stored, and nothing is said.
    if (!program.Modified && program.PatientID)
        status.Set(QCoreApplication::translate("frmExerciseSelection", "Program saved for ") +
                   program.PatientName);
    return true;
}

void RevertProgram(AppContext& ctx, StatusLine& status)
{
    try {
        LoadProgram(ctx, ctx.Program.InvoiceID);
    } catch (const DbError& e) {
        ReportFailure(ctx, QStringLiteral("cmdOkCancel_Click"), e.message());
    }
    status.Forget();
    ctx.MainWindow().UpdateToolbar(ToolbarState::PatientSelected);
}

} // namespace tramelle
