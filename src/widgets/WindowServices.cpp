#include "WindowServices.h"

#include "AppContext.h"

namespace tramelle {

WindowServices& Windows(const AppContext& ctx)
{
    static NullWindowServices none;
    WindowServices* installed = ctx.InstalledWindowServices();
    return installed ? *installed : none;
}

} // namespace tramelle
