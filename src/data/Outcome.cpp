#include "Outcome.h"

#include "AppContext.h"

#include <QCoreApplication>

namespace tramelle {

namespace {

// The messages of this file, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(tramelle::Outcome)
};

} // namespace

void ReportFailure(const AppContext& ctx, const QString& routine, const QString& reason)
{
    ReportFailureTitled(ctx, Texts::tr("Error in ") + routine, reason);
}

void ReportFailureTitled(const AppContext& ctx, const QString& title, const QString& reason)
{
    ctx.Prompt().Message(title, reason, PromptIcon::Critical, PromptButtons::Ok);
}

} // namespace tramelle
