#include "Compaction.h"

#include "DbError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace tramelle {

namespace {

void Stage(const CompactOptions& options, MaintenanceStage stage)
{
    if (options.AtStage)
        options.AtStage(stage);
}

// The engine's error, with its number.
MaintenanceFailure EngineFailure(const QSqlError& error)
{
    return MaintenanceFailure(error.nativeErrorCode().toInt(), EngineText(error));
}

} // namespace

void CompactDatabaseFile(const QString& path, const QString& tempPath,
                         const CompactOptions& options)
{
    if (!QFileInfo(path).isFile())
        throw MaintenanceFailure(ENOENT, QCoreApplication::translate(
                                             "Compaction", "The database file %1 does not exist.")
                                             .arg(QDir::toNativeSeparators(path)));
    RemoveDatabaseFile(tempPath);
    Stage(options, MaintenanceStage::TempRemoved);
    ReplaceThroughCopy(tempPath, path, [&] {
        ScopedDb source(path, false);
        QSqlQuery q(source.Db());
        if (!q.prepare(QStringLiteral("VACUUM INTO ?")))
            throw EngineFailure(q.lastError());
        q.addBindValue(tempPath);
        if (!q.exec())
            throw EngineFailure(q.lastError());
        q.finish();
        q = QSqlQuery();
        source.Close();
        // Another program that has the file open would keep its log beside it; the
        // copy would then miss what it writes.
        if (QFileInfo::exists(path + QStringLiteral("-wal")))
            throw MaintenanceFailure(
                EBUSY, QCoreApplication::translate("Compaction", "Another program is using %1.")
                           .arg(QDir::toNativeSeparators(path)));
        Stage(options, MaintenanceStage::Copied);
        SyncFile(tempPath);
        Stage(options, MaintenanceStage::Synced);
        ReplaceFile(tempPath, path);
    });
    Stage(options, MaintenanceStage::Replaced);
}

} // namespace tramelle
