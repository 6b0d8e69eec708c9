#pragma once

#include "SafeFiles.h"

#include <QString>
#include <functional>

namespace tramelle {

// The temporary file of compaction and repair, beside the clinic database.
inline const QString CompactTempFileName = QStringLiteral("~TEMP.MDB");

// Points between the stages of a file replacement, for tests that interrupt one.
enum class MaintenanceStage
{
    TempRemoved,
    Copied,
    Synced,
    Replaced
};

struct CompactOptions
{
    // Called at each stage; may throw to simulate a failure there.
    std::function<void(MaintenanceStage)> AtStage;
};

// Compacts a closed database file: a leftover temporary file is deleted, the file is
// copied without its free space into the temporary file, which is synced and renamed
// over the database file in one step. A failure at any point leaves the old file whole
// (and the new one, once renamed). Throws MaintenanceFailure with the errors.
void CompactDatabaseFile(const QString& path, const QString& tempPath,
                         const CompactOptions& options = {});

} // namespace tramelle
