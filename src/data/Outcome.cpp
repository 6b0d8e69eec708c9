#include "Outcome.h"

#include "AppContext.h"

namespace tramelle {

void ReportFailure(const AppContext& ctx, const QString& routine, const QString& reason)
{
    ctx.Prompt().Message(QStringLiteral("Error in ") + routine, reason, PromptIcon::Critical,
                         PromptButtons::Ok);
}

} // namespace tramelle
