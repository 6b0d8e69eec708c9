#include "Outcome.h"

#include "AppContext.h"

namespace tramelle {

void ReportFailure(const AppContext& ctx, const QString& routine, const QString& reason)
{
    ReportFailureTitled(ctx, QStringLiteral("Error in ") + routine, reason);
}

void ReportFailureTitled(const AppContext& ctx, const QString& title, const QString& reason)
{
    ctx.Prompt().Message(title, reason, PromptIcon::Critical, PromptButtons::Ok);
}

} // namespace tramelle
