#include "Database.h"

#include "DbError.h"
#include "DbFileTexts.h"
#include "DeliveredData.h"
#include "Paths.h"
#include "Upgrade.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tramelle {

namespace {

// The messages of this file, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(tramelle::DataFiles)
};

// Makes a rename durable against a power cut, not only against a crash.
void SyncFolder(const QString& folder)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(folder);
#endif
}

const QString InstallFolderPrefix = QStringLiteral(".install-");
const QString InstallManifestName = QStringLiteral("install.manifest");
const DbFile AllFiles[] = {DbFile::Main, DbFile::Library, DbFile::Picklist};

QByteArray FileDigest(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&f);
    return hash.result().toHex();
}

// The staged files' digests, written once all three are complete and before the first
// is moved into place: a staging folder with a manifest can always be finished.
void WriteInstallManifest(const QString& staging)
{
    QSaveFile file(JoinPath(staging, InstallManifestName));
    if (!file.open(QIODevice::WriteOnly))
        throw DbError(FileError(Texts::tr("Cannot write"), file.fileName(), file.errorString()));
    for (DbFile f : AllFiles) {
        const QString name = DbFileName(f);
        file.write(name.toUtf8() + '\t' + FileDigest(JoinPath(staging, name)) + '\n');
    }
    if (!file.commit())
        throw DbError(FileError(Texts::tr("Cannot write"), file.fileName(), file.errorString()));
}

// Empty unless the manifest is whole.
QHash<QString, QByteArray> ReadInstallManifest(const QString& staging)
{
    QHash<QString, QByteArray> digests;
    QFile file(JoinPath(staging, InstallManifestName));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() == 2 && parts[1].size() == 64)
            digests.insert(QString::fromUtf8(parts[0]), parts[1]);
    }
    for (DbFile f : AllFiles) {
        if (!digests.contains(DbFileName(f)))
            return {};
    }
    return digests;
}

void CopyFolder(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString rel = QDir(from).relativeFilePath(it.filePath());
        const QString target = JoinPath(to, rel);
        if (it.fileInfo().isDir()) {
            QDir().mkpath(target);
            continue;
        }
        QDir().mkpath(QFileInfo(target).absolutePath());
        if (QFileInfo::exists(target))
            continue;
        QFile src(it.filePath());
        if (!src.copy(target))
            throw DbError(FileError(Texts::tr("Cannot copy"), it.filePath(), src.errorString()));
        // Delivered files may come from a read-only folder; the copies belong to the clinic.
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                          QFile::ReadOther);
    }
}

// Texts, icons and help: copied when the delivered folder has them, never overwriting.
void CopyDeliveredExtras(const QString& appFolder, const QString& deliveredFolder)
{
    if (deliveredFolder.isEmpty() || !QFileInfo(deliveredFolder).isDir())
        return;
    QDirIterator it(deliveredFolder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        if (name.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
            continue; // the sample data went into the databases
        const QString target = JoinPath(appFolder, name);
        if (it.fileInfo().isDir()) {
            CopyFolder(it.filePath(), target);
        } else if (!QFileInfo::exists(target)) {
            QFile src(it.filePath());
            if (!src.copy(target))
                throw DbError(
                    FileError(Texts::tr("Cannot copy"), it.filePath(), src.errorString()));
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                              QFile::ReadOther);
        }
    }
}

// A staging folder left by an installation that was stopped (a crash, a power cut).
// Without its manifest the files were still being built: it goes, and the start
// installs anew. With it, every delivered file is either still staged or already in
// place exactly as staged: the staged ones are moved in and the extras copied. A file in
// the application folder that differs from what was staged is the clinic's: then
// nothing is touched and the usual checks report what is missing. True when an
// installation was finished here.
bool FinishInterruptedInstall(const QString& appFolder, const QString& deliveredFolder,
                              const InstallStepHook& hook)
{
    bool finished = false;
    const QStringList stagings = QDir(appFolder).entryList(
        {InstallFolderPrefix + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& folder : stagings) {
        const QString staging = JoinPath(appFolder, folder);
        const QHash<QString, QByteArray> digests = ReadInstallManifest(staging);
        if (digests.isEmpty()) {
            QDir(staging).removeRecursively();
            continue;
        }
        bool sound = true;
        for (DbFile f : AllFiles) {
            const QString name = DbFileName(f);
            const QString target = ResolvePath(JoinPath(appFolder, name));
            const QString staged = JoinPath(staging, name);
            const QString present = QFileInfo::exists(target) ? target : staged;
            if (FileDigest(present) != digests.value(name) ||
                QFileInfo::exists(present + QStringLiteral("-wal")))
                sound = false;
        }
        if (!sound)
            continue;
        for (DbFile f : AllFiles) {
            const QString name = DbFileName(f);
            const QString target = JoinPath(appFolder, name);
            if (QFileInfo::exists(ResolvePath(target)))
                continue;
            if (hook)
                hook(QStringLiteral("rename ") + name);
            if (!QFile::rename(JoinPath(staging, name), target))
                throw DbError(
                    FileError(Texts::tr("Cannot create"), target, Texts::tr("rename failed")));
            SyncFolder(appFolder);
        }
        if (hook)
            hook(QStringLiteral("copy"));
        CopyDeliveredExtras(appFolder, deliveredFolder);
        QDir(staging).removeRecursively();
        finished = true;
    }
    return finished;
}

} // namespace

DbFileCheck CheckDatabaseFile(const QString& path, DbFile file)
{
    DbFileCheck result;
    const QString name =
        QStringLiteral("check-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        // The check creates no side files and changes nothing.
        ConfigureReadOnly(db, path);
        auto fail = [&](const QString& error) {
            result.status = DbFileCheck::Damaged;
            result.error = error;
        };
        if (!db.open()) {
            fail(EngineText(db.lastError()));
        } else {
            QSqlQuery q(db);
            // Reading the schema fails on a file that is not a database or is locked.
            if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'"))) {
                fail(EngineText(q.lastError()));
                if (IsInUse(EngineCode(q.lastError())))
                    result.status = DbFileCheck::InUse;
            } else {
                QStringList tables;
                while (q.next())
                    tables << q.value(0).toString();
                q.finish();
                QStringList problems;
                // Columns are checked below, only for a file at the current version: an
                // older file lacks some of them until it is upgraded. The oldest files
                // have no Version table at all.
                for (const auto& required : RequiredTables(file)) {
                    if (!tables.contains(required.first, Qt::CaseInsensitive) &&
                        required.first != QLatin1String("Version"))
                        problems << Texts::tr("table %1 is missing").arg(required.first);
                }
                if (!problems.isEmpty()) {
                    fail(problems.join(QStringLiteral("; ")));
                } else if (!tables.contains(QStringLiteral("Version"), Qt::CaseInsensitive)) {
                    result.status = DbFileCheck::NeedsUpgrade;
                } else {
                    QSqlQuery v(db);
                    if (!v.exec(QStringLiteral("SELECT \"Version\" FROM \"Version\""))) {
                        fail(EngineText(v.lastError()));
                    } else if (!v.next()) {
                        fail(Texts::tr("the Version table is empty"));
                    } else {
                        result.version = v.value(0).toString().trimmed();
                        v.finish();
                        // Versions compare as numbers ("3.80" is "3.8").
                        if (VersionNumber(result.version) !=
                            VersionNumber(CurrentSchemaVersionOf(file))) {
                            result.status = DbFileCheck::NeedsUpgrade;
                        } else {
                            for (const auto& [table, columns] : RequiredTables(file)) {
                                const QSqlRecord record = db.record(table);
                                for (const QString& c : columns) {
                                    if (record.indexOf(c) < 0)
                                        problems
                                            << Texts::tr("column %1.%2 is missing").arg(table, c);
                                }
                            }
                            if (!problems.isEmpty())
                                fail(problems.join(QStringLiteral("; ")));
                        }
                    }
                }
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

QuickCheckResult QuickCheckFile(const QString& path)
{
    QuickCheckResult result;
    const QString name =
        QStringLiteral("quick-check-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        ConfigureReadOnly(db, path);
        if (!db.open()) {
            result.ok = false;
            result.report = EngineText(db.lastError());
        } else {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("PRAGMA quick_check(10)"))) {
                result.ok = false;
                result.report = EngineText(q.lastError());
            } else {
                QStringList findings;
                while (q.next())
                    findings << q.value(0).toString();
                if (findings != QStringList{QStringLiteral("ok")}) {
                    result.ok = false;
                    result.report = findings.join(QStringLiteral("\r\n"));
                }
            }
            q.finish();
            q = QSqlQuery();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

QString FileWriteProblem(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return f.errorString();
    return {};
}

DataFilesCheck PrepareDataFiles(const QString& appFolder, const QString& deliveredFolder,
                                const InstallStepHook& hook)
{
    DataFilesCheck result;
    const DbFile files[] = {DbFile::Main, DbFile::Library, DbFile::Picklist};
    try {
        result.installed = FinishInterruptedInstall(appFolder, deliveredFolder, hook);
    } catch (const DbError& e) {
        result.title = QStringLiteral("Installation Failed");
        result.message = Texts::tr("The data files could not be created in %1.\r\n\r\n%2")
                             .arg(QDir::toNativeSeparators(appFolder), e.message());
        return result;
    }
    QStringList missing;
    for (DbFile f : files) {
        if (!QFileInfo(ResolvePath(JoinPath(appFolder, DbFileName(f)))).isFile())
            missing << DbFileName(f);
    }
    if (missing.size() == 3) {
        try {
            InstallDeliveredFiles(appFolder, deliveredFolder, hook);
        } catch (const DbError& e) {
            result.title = QStringLiteral("Installation Failed");
            result.message = Texts::tr("The data files could not be created in %1.\r\n\r\n%2")
                                 .arg(QDir::toNativeSeparators(appFolder), e.message());
            return result;
        }
        result.installed = true;
        result.ok = true;
        return result;
    }
    if (!missing.isEmpty()) {
        result.title = QStringLiteral("Missing Database");
        result.message =
            Texts::tr("The following database files are missing from %1:\r\n\r\n%2\r\n\r\n"
                      "Restore them from your backup. The program will now end.")
                .arg(QDir::toNativeSeparators(appFolder), missing.join(QStringLiteral("\r\n")));
        return result;
    }
    // The main file takes every save: one that cannot be written is refused now, before
    // anything is opened beside it. The other two may stay read-only.
    const QString mainPath = ResolvePath(JoinPath(appFolder, MainDbFileName));
    if (const QString problem = FileWriteProblem(mainPath); !problem.isEmpty()) {
        result.title = QStringLiteral("Database Error");
        result.message =
            Texts::tr("The database file %1 cannot be written: %2.\r\n\r\n"
                      "The program keeps its patients and programs in it and cannot work "
                      "with it read-only. Make the file writable, then start the program "
                      "again. The program will now end.")
                .arg(QDir::toNativeSeparators(mainPath), problem);
        return result;
    }
    for (DbFile f : files) {
        const QString path = ResolvePath(JoinPath(appFolder, DbFileName(f)));
        const DbFileCheck check = CheckDatabaseFile(path, f);
        if (check.status == DbFileCheck::InUse) {
            result.title = QStringLiteral("Database Error");
            result.message = InUseText(path);
            return result;
        }
        if (check.status == DbFileCheck::Damaged) {
            result.title = QStringLiteral("Database Error");
            result.message = Texts::tr("The database file %1 cannot be used.\r\n\r\n%2")
                                 .arg(QDir::toNativeSeparators(path), check.error);
            return result;
        }
        // An older file is upgraded when it is opened; a newer one is left alone.
        if (check.status == DbFileCheck::NeedsUpgrade && IsNewerThanCurrent(check.version, f)) {
            result.title = QStringLiteral("Newer Database Version");
            result.message = NewerVersionMessage(path, check.version, f);
            return result;
        }
        if (check.status == DbFileCheck::NeedsUpgrade && !VersionNumber(check.version) &&
            !check.version.isEmpty()) {
            result.title = QStringLiteral("Database Error");
            result.message = Texts::tr("The database file %1 cannot be used.\r\n\r\nIts "
                                       "version \"%2\" is not a number.")
                                 .arg(QDir::toNativeSeparators(path), check.version);
            return result;
        }
    }
    result.ok = true;
    return result;
}

void InstallDeliveredFiles(const QString& appFolder, const QString& deliveredFolder,
                           const InstallStepHook& hook)
{
    auto step = [&](const QString& name) {
        if (hook)
            hook(name);
    };
    if (!QDir().mkpath(appFolder))
        throw DbError(FileError(Texts::tr("Cannot create the folder"), appFolder,
                                Texts::tr("permission denied or invalid path")));
    const QString staging = JoinPath(
        appFolder, InstallFolderPrefix + QUuid::createUuid().toString(QUuid::WithoutBraces));
    if (!QDir().mkpath(staging))
        throw DbError(FileError(Texts::tr("Cannot write to the folder"), appFolder,
                                Texts::tr("permission denied")));
    QStringList renamed;
    try {
        for (DbFile f : AllFiles)
            CreateDatabaseFile(JoinPath(staging, DbFileName(f)), f);
        FillDeliveredData(JoinPath(staging, MainDbFileName), JoinPath(staging, LibraryDbFileName),
                          JoinPath(staging, PicklistDbFileName), deliveredFolder);
        WriteInstallManifest(staging);
        step(QStringLiteral("staged"));
        for (DbFile f : AllFiles) {
            const QString from = JoinPath(staging, DbFileName(f));
            const QString to = JoinPath(appFolder, DbFileName(f));
            step(QStringLiteral("rename ") + DbFileName(f));
            if (!QFile::rename(from, to))
                throw DbError(
                    FileError(Texts::tr("Cannot create"), to, Texts::tr("rename failed")));
            renamed << to;
            SyncFolder(appFolder);
        }
    } catch (...) {
        // Leave no part of an installation behind: the next start installs again.
        for (const QString& path : renamed)
            QFile::remove(path);
        QDir(staging).removeRecursively();
        throw;
    }
    step(QStringLiteral("copy"));
    CopyDeliveredExtras(appFolder, deliveredFolder);
    // Only now: a start that finds the staging folder copies what is still missing.
    QDir(staging).removeRecursively();
    step(QStringLiteral("done"));
}

} // namespace tramelle
