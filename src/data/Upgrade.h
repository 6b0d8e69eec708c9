#pragma once

#include "Database.h"
#include "DeliveredData.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace tramelle {

class AppContext;
class PromptService;

// The update files read by two of the upgrade steps, looked for in the application folder.
inline const QString VideoUpdateFileName = QStringLiteral("Video.MDB");
inline const QString LibraryUpdateFileName = QStringLiteral("VMR Exercise Library.MDB");
// The oldest version a file can be upgraded from; files of it have no Version table.
inline const QString OldestSchemaVersion = QStringLiteral("3.1");

// A version text as a number ("3.10" is 3.1); nothing when it is no number.
std::optional<double> VersionNumber(const QString& text);
// The stored version, as written; nothing when the file has no readable version.
std::optional<QString> StoredVersion(const QSqlDatabase& db);
// True when the stored version, as a number, is at least `version`; false on any failure.
bool VersionAtLeast(const QSqlDatabase& db, const QString& version);
// Replaces the Version row (creating the table when it is missing).
void SetVersion(const QSqlDatabase& db, const QString& version);

// The message for a file whose version is newer than this program's.
QString NewerVersionMessage(const QString& path, const QString& version, DbFile file);
// True when the version text is a number above the program's current version of the file.
bool IsNewerThanCurrent(const QString& version, DbFile file);

struct UpgradeOptions
{
    // Folders searched for the update files, in order.
    QStringList UpdateFolders;
    // Asks the "Update Text" question and shows the notices; without one the question is
    // answered No and the notices are only collected.
    PromptService* Prompt = nullptr;
    std::function<void(const QString&)> Status;
    // Called with every statement before it runs; may throw to simulate a failure.
    std::function<void(const QString&)> BeforeStatement;
    // Stop once the file is at this version (used to build files of older versions).
    QString StopAt;
};

struct FileUpgradeResult
{
    QString FromVersion; // empty when the file had no Version table
    QStringList StepsRun;
    QStringList Notices;
    QString BackupPath; // the copy taken before the first step, if any
};

class StepRun;

// One step of the upgrade: run on a file not yet at `Version`, in one transaction with
// the stamp of that version.
struct UpgradeStep
{
    DbFile File;
    const char* Version;
    void (*Run)(StepRun&);
};

// Every step, per file in version order. A later schema change is one more entry (the
// next version as a number: 3.9, 4.0, ...) and the file's current version
// (CurrentSchemaVersionOf) moves to it.
const std::vector<UpgradeStep>& UpgradeSteps();

// Brings one file to the current version. A file at the current version is only read.
// Throws DbError (a newer file is refused and left untouched).
FileUpgradeResult UpgradeDatabaseFile(const QString& path, DbFile file,
                                      const UpgradeOptions& options);

// The three files of the application folder, library first; update files from the
// application folder, then the delivered files. Throws DbError.
void UpgradeDatabases(AppContext& ctx);

// The statements of the oldest schema each file is upgraded from.
QStringList OldestSchemaStatements(DbFile file);
// Creates a file at an older version: the oldest schema, upgraded up to `version`
// without update files. `version` OldestSchemaVersion gives a file without Version table.
void CreateOldDatabaseFile(const QString& path, DbFile file, const QString& version);

// Writes the two update files into the folder from the delivered library rows.
void WriteUpdateFiles(const QList<DeliveredExercise>& rows, const QString& folder);

} // namespace tramelle
