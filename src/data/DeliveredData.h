#pragma once

#include <QString>

namespace tramelle {

// Fills freshly created data files with the delivered sample data (library rows,
// pick lists) read from the delivered folder. Files that the folder lacks are skipped,
// leaving the tables empty. Throws DbError on failure.
void FillDeliveredData(const QString& mainPath, const QString& libraryPath, const QString& picklistPath,
                       const QString& deliveredFolder);

} // namespace tramelle
