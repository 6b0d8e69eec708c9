#include "DeliveredData.h"

namespace tramelle {

void FillDeliveredData(const QString& mainPath, const QString& libraryPath, const QString& picklistPath,
                       const QString& deliveredFolder)
{
    Q_UNUSED(mainPath);
    Q_UNUSED(libraryPath);
    Q_UNUSED(picklistPath);
    Q_UNUSED(deliveredFolder);
}

} // namespace tramelle
