#pragma once

#include "Database.h"
#include "Outcome.h"
#include "SafeFiles.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace tramelle {

// The backup archive and the folder of the clinic's own media it holds beside the files.
inline const QString BackupArchiveName = QStringLiteral("Velmora Backup.ZIP");
inline const QString BackupClinicFolder = QStringLiteral("Clinic");

// A size in whole kilobytes (the remainder dropped) followed by "K".
QString CalculateK(qint64 size);

// Why a file could not be put into the archive (the reason codes of the window's message).
enum class SkipReason
{
    NotFound = 0,
    UnableToOpen = 4
};

// One archive member: a data file at the top, or a path under "Clinic/".
struct BackupMember
{
    QString Name;
    qint64 Size = 0;
    QDateTime Modified;
    bool IsFolder = false;
};

// Points of the backup for tests that interrupt one.
enum class BackupStage
{
    Written,
    Verified
};

struct BackupOptions
{
    // Before each member is added, in archive order.
    std::function<void(const BackupMember&)> FileAdded;
    // A data file that cannot be added; the backup then fails.
    std::function<void(const QString& name, SkipReason reason)> FileSkipped;
    // Overall progress and that of the current member, in percent.
    std::function<void(int overall, int current)> Progress;
    // Polled while writing; true ends the backup (the old archive stays).
    std::function<bool()> Cancelled;
    // Called at each stage; may throw MaintenanceFailure to simulate a fault there.
    std::function<void(BackupStage)> AtStage;
};

// The error number of a backup the user aborted.
inline constexpr int BackupCancelledCode = 32;

// Writes the archive of the application folder's closed data files and its "Clinic"
// folder to `archivePath`: under a temporary name, re-read with every CRC checked,
// synced and renamed over the old archive only then. Any failure leaves the old archive
// untouched and throws MaintenanceFailure (BackupCancelledCode when cancelled).
QList<BackupMember> WriteBackupArchive(const QString& appFolder, const QString& archivePath,
                                       const BackupOptions& options = {});

// Reads every member of a whole archive, checking its CRC. Throws MaintenanceFailure.
QList<BackupMember> VerifyArchive(const QString& archivePath);

// The first volume of a split set beside `archivePath` ("Velmora Backup.z01"), or empty.
QString SplitSetFirstVolume(const QString& archivePath);

// Runs Info-ZIP's zip with the arguments; false with the reason on failure.
using ZipRunner = std::function<Outcome(const QStringList& arguments)>;

// What a checked backup holds, extracted into a work folder.
struct BackupContents
{
    struct DataFile
    {
        DbFile File = DbFile::Main;
        QString ExtractedPath;
        QString Version; // empty for the oldest files
        qint64 Size = 0;
        QDateTime Modified;
    };
    QList<DataFile> DataFiles;   // the three, in DbFile order
    QList<BackupMember> Members; // every member
    QString ClinicFolder;        // extracted "Clinic" folder, when the archive holds one
    qint64 Patients = 0;
    qint64 Programs = 0;

    // A listing for the user: files, dates, sizes, patients and programs.
    QString Summary() const;
};

// Checks a backup (whole or split; a split set is joined with `zip -s 0` through the
// runner) before anything is touched: every CRC, the three data files present, each
// passing the engine's integrity check with the tables of its kind and a version this
// program opens or upgrades. Extracts into `workFolder`. Throws MaintenanceFailure
// naming what is wrong.
BackupContents InspectBackup(const QString& archivePath, const QString& workFolder,
                             const ZipRunner& runZip);

// Replaces the closed data files of the application folder by those of the backup,
// keeping each replaced file beside it under a dated name, and puts the backup's
// "Clinic" files in place. Returns the names the replaced files were kept under.
// Throws MaintenanceFailure.
QStringList RestoreBackupFiles(const BackupContents& contents, const QString& appFolder,
                               const QDateTime& now);

} // namespace tramelle
