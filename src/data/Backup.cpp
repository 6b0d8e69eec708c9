#include "Backup.h"

#include "DbError.h"
#include "Paths.h"
#include "Upgrade.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSqlQuery>

#include <zip.h>

#include <cerrno>

namespace tramelle {

namespace {

// The messages of this file, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(Backup)
};

QString Native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

[[noreturn]] void FailZip(zip_error_t* error, const QString& what)
{
    const int code = zip_error_code_zip(error);
    const QString text =
        what + QStringLiteral(": ") + QString::fromLocal8Bit(zip_error_strerror(error));
    throw MaintenanceFailure(code == ZIP_ER_OK ? ZIP_ER_INTERNAL : code, text);
}

[[noreturn]] void FailArchive(zip_t* za, const QString& what)
{
    FailZip(zip_get_error(za), what);
}

// Pictures and movies are compressed already: storing them saves the time.
bool IsCompressedMedia(const QString& name)
{
    static const QStringList suffixes = {QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                         QStringLiteral("avi"), QStringLiteral("mp4"),
                                         QStringLiteral("png"), QStringLiteral("zip")};
    return suffixes.contains(QFileInfo(name).suffix(), Qt::CaseInsensitive);
}

struct Source
{
    QString Path; // empty for a folder
    BackupMember Member;
};

struct WriteState
{
    const BackupOptions* Options = nullptr;
    const QList<Source>* Sources = nullptr;
    int Announced = 0;
};

void Announce(WriteState& s, int upTo)
{
    while (s.Announced < upTo && s.Announced < s.Sources->size()) {
        if (s.Options->FileAdded)
            s.Options->FileAdded(s.Sources->at(s.Announced).Member);
        ++s.Announced;
    }
}

// libzip adds the members one after the other, each one an equal share of the progress.
void OnProgress(zip_t*, double fraction, void* data)
{
    auto& s = *static_cast<WriteState*>(data);
    const int n = int(s.Sources->size());
    if (n == 0)
        return;
    const double position = std::clamp(fraction, 0.0, 1.0) * n;
    const int index = std::min(n - 1, int(position));
    Announce(s, index + 1);
    if (s.Options->Progress)
        s.Options->Progress(int(fraction * 100), int((position - index) * 100));
}

int OnCancel(zip_t*, void* data)
{
    auto& s = *static_cast<WriteState*>(data);
    return s.Options->Cancelled && s.Options->Cancelled() ? 1 : 0;
}

QList<Source> CollectSources(const QString& appFolder, const BackupOptions& options)
{
    QList<Source> sources;
    for (DbFile f : {DbFile::Main, DbFile::Library, DbFile::Picklist}) {
        const QString name = DbFileName(f);
        const QString path = ResolvePath(JoinPath(appFolder, name));
        const QFileInfo info(path);
        std::optional<SkipReason> skip;
        if (!info.isFile())
            skip = SkipReason::NotFound;
        else if (QFile file(path); !file.open(QIODevice::ReadOnly))
            skip = SkipReason::UnableToOpen;
        if (skip) {
            if (options.FileSkipped)
                options.FileSkipped(name, *skip);
            // A backup without one of the files cannot bring the clinic back.
            throw MaintenanceFailure(
                *skip == SkipReason::NotFound ? ENOENT : EACCES,
                Texts::tr("The file %1 could not be backed up.").arg(Native(path)));
        }
        // Changes still in the journal beside a closed file would be missing from the copy.
        if (QFileInfo(path + QStringLiteral("-wal")).size() > 0)
            throw MaintenanceFailure(
                EBUSY, Texts::tr("The last changes to %1 are still in its journal beside it; "
                                 "the backup would miss them.")
                           .arg(Native(path)));
        sources.append({path, {name, info.size(), info.lastModified(), false}});
    }
    const QString clinic = ResolvePath(JoinPath(appFolder, BackupClinicFolder));
    if (QFileInfo(clinic).isDir()) {
        const QDir root(clinic);
        sources.append(
            {QString(),
             {BackupClinicFolder + QLatin1Char('/'), 0, QFileInfo(clinic).lastModified(), true}});
        QStringList entries;
        QDirIterator it(clinic, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            entries << it.next();
        entries.sort();
        for (const QString& path : std::as_const(entries)) {
            const QFileInfo info(path);
            const QString name =
                BackupClinicFolder + QLatin1Char('/') + root.relativeFilePath(path);
            if (info.isDir())
                sources.append(
                    {QString(), {name + QLatin1Char('/'), 0, info.lastModified(), true}});
            else if (info.isFile())
                sources.append({path, {name, info.size(), info.lastModified(), false}});
        }
    }
    return sources;
}

} // namespace

QString CalculateK(qint64 size)
{
    return QString::number(size / 1024) + QLatin1Char('K');
}

QList<BackupMember> WriteBackupArchive(const QString& appFolder, const QString& archivePath,
                                       const BackupOptions& options)
{
    const QList<Source> sources = CollectSources(appFolder, options);
    const QString temp = archivePath + QStringLiteral(".new");
    QFile::remove(temp);
    auto removeTemp = qScopeGuard([&] { QFile::remove(temp); });

    int error = 0;
    zip_t* za = zip_open(QFile::encodeName(temp).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!za) {
        zip_error_t e;
        zip_error_init_with_code(&e, error);
        auto done = qScopeGuard([&] { zip_error_fini(&e); });
        FailZip(&e, Texts::tr("Cannot create \"%1\"").arg(Native(temp)));
    }
    auto discard = qScopeGuard([&] { zip_discard(za); });
    for (const Source& s : sources) {
        const QByteArray name = s.Member.Name.toUtf8();
        zip_int64_t index = -1;
        if (s.Member.IsFolder) {
            index = zip_dir_add(za, name.constData(), ZIP_FL_ENC_UTF_8);
        } else {
            zip_source_t* src = zip_source_file(za, QFile::encodeName(s.Path).constData(), 0, -1);
            if (!src)
                FailArchive(za, Texts::tr("Cannot read \"%1\"").arg(Native(s.Path)));
            index = zip_file_add(za, name.constData(), src, ZIP_FL_ENC_UTF_8);
            if (index < 0) {
                zip_source_free(src);
            } else if (IsCompressedMedia(s.Member.Name)) {
                zip_set_file_compression(za, zip_uint64_t(index), ZIP_CM_STORE, 0);
            } else {
                // The usual level: libzip's own default is the slowest one.
                zip_set_file_compression(za, zip_uint64_t(index), ZIP_CM_DEFLATE, 6);
            }
        }
        if (index < 0)
            FailArchive(za, Texts::tr("Cannot add \"%1\"").arg(s.Member.Name));
        zip_file_set_mtime(za, zip_uint64_t(index), time_t(s.Member.Modified.toSecsSinceEpoch()),
                           0);
    }

    WriteState state{&options, &sources, 0};
    zip_register_progress_callback_with_state(za, 0.001, OnProgress, nullptr, &state);
    zip_register_cancel_callback_with_state(za, OnCancel, nullptr, &state);
    if (zip_close(za) != 0) {
        if (zip_error_code_zip(zip_get_error(za)) == ZIP_ER_CANCELLED)
            throw MaintenanceFailure(BackupCancelledCode, Texts::tr("The backup was aborted."));
        FailArchive(za, Texts::tr("Cannot write \"%1\"").arg(Native(temp)));
    }
    discard.dismiss();
    Announce(state, int(sources.size()));
    if (options.AtStage)
        options.AtStage(BackupStage::Written);

    // What was written is read back before it takes the old archive's place.
    const QList<BackupMember> written = VerifyArchive(temp);
    if (written.size() != sources.size())
        throw MaintenanceFailure(
            ZIP_ER_INCONS, Texts::tr("The new archive \"%1\" is incomplete.").arg(Native(temp)));
    if (options.AtStage)
        options.AtStage(BackupStage::Verified);
    SyncFile(temp);
    ReplaceFile(temp, archivePath);
    removeTemp.dismiss();
    QList<BackupMember> members;
    for (const Source& s : sources)
        members.append(s.Member);
    return members;
}

namespace {

// Reads every member; with `extractTo` each one is written there as well.
QList<BackupMember> ReadArchive(const QString& archivePath, const QString& extractTo)
{
    int error = 0;
    zip_t* za =
        zip_open(QFile::encodeName(archivePath).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!za) {
        zip_error_t e;
        zip_error_init_with_code(&e, error);
        auto done = qScopeGuard([&] { zip_error_fini(&e); });
        FailZip(&e, Texts::tr("Cannot read the archive \"%1\"").arg(Native(archivePath)));
    }
    auto close = qScopeGuard([&] { zip_discard(za); });
    QList<BackupMember> members;
    const zip_int64_t count = zip_get_num_entries(za, 0);
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(za, zip_uint64_t(i), 0, &st) != 0)
            FailArchive(za, Texts::tr("Cannot read the archive \"%1\"").arg(Native(archivePath)));
        BackupMember m;
        m.Name = QString::fromUtf8(st.name);
        m.Size = qint64(st.size);
        m.Modified = QDateTime::fromSecsSinceEpoch(qint64(st.mtime));
        m.IsFolder = m.Name.endsWith(QLatin1Char('/'));
        // A member may never reach outside the folder it is restored into.
        const QString clean = QDir::cleanPath(m.Name);
        if (m.Name.contains(QLatin1Char('\\')) || QDir::isAbsolutePath(m.Name) ||
            clean.startsWith(QStringLiteral("..")) || clean.contains(QStringLiteral("/../")))
            throw MaintenanceFailure(
                ZIP_ER_INCONS,
                Texts::tr("The archive holds a member named \"%1\", which is not allowed.")
                    .arg(m.Name));
        members.append(m);
        if (m.IsFolder) {
            if (!extractTo.isEmpty())
                QDir().mkpath(JoinPath(extractTo, clean));
            continue;
        }
        QFile out;
        if (!extractTo.isEmpty()) {
            const QString target = JoinPath(extractTo, clean);
            QDir().mkpath(QFileInfo(target).absolutePath());
            out.setFileName(target);
            if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
                throw MaintenanceFailure(
                    int(out.error()),
                    Texts::tr("Cannot write \"%1\": %2").arg(Native(target), out.errorString()));
        }
        zip_file_t* zf = zip_fopen_index(za, zip_uint64_t(i), 0);
        if (!zf)
            FailArchive(za, Texts::tr("Cannot read \"%1\" in the archive").arg(m.Name));
        auto fclose = qScopeGuard([&] { zip_fclose(zf); });
        // libzip checks the CRC when the last byte has been read.
        for (;;) {
            const zip_int64_t n = zip_fread(zf, buffer.data(), zip_uint64_t(buffer.size()));
            if (n < 0)
                FailZip(zip_file_get_error(zf),
                        Texts::tr("\"%1\" in the archive is damaged").arg(m.Name));
            if (n == 0)
                break;
            if (out.isOpen() && out.write(buffer.constData(), n) != n)
                throw MaintenanceFailure(int(out.error()),
                                         Texts::tr("Cannot write \"%1\": %2")
                                             .arg(Native(out.fileName()), out.errorString()));
        }
        if (out.isOpen()) {
            out.close();
            out.setFileTime(m.Modified, QFileDevice::FileModificationTime);
        }
    }
    return members;
}

qint64 CountRows(const QSqlDatabase& db, const QString& table)
{
    QSqlQuery q = Exec(db, QStringLiteral("SELECT COUNT(*) FROM \"%1\"").arg(table));
    return q.next() ? q.value(0).toLongLong() : 0;
}

} // namespace

QList<BackupMember> VerifyArchive(const QString& archivePath)
{
    return ReadArchive(archivePath, QString());
}

QString SplitSetFirstVolume(const QString& archivePath)
{
    const QFileInfo info(archivePath);
    const QString base = info.completeBaseName();
    const QDir folder = info.absoluteDir();
    for (const QString& name : folder.entryList(QDir::Files)) {
        if (name.compare(base + QStringLiteral(".z01"), Qt::CaseInsensitive) == 0)
            return folder.filePath(name);
    }
    return {};
}

QString BackupContents::Summary() const
{
    QStringList lines;
    const QLocale locale;
    for (const DataFile& f : DataFiles)
        lines << QStringLiteral("%1\t%2\t%3")
                     .arg(DbFileName(f.File), locale.toString(f.Modified, QLocale::ShortFormat),
                          CalculateK(f.Size));
    int clinicFiles = 0;
    for (const BackupMember& m : Members)
        clinicFiles += !m.IsFolder && m.Name.startsWith(BackupClinicFolder + QLatin1Char('/'));
    if (clinicFiles)
        lines << Texts::tr("%1 files of the clinic's own exercises").arg(clinicFiles);
    lines << Texts::tr("%1 patients, %2 exercise programs").arg(Patients).arg(Programs);
    return lines.join(QStringLiteral("\r\n"));
}

namespace {

BackupContents Inspect(const QString& archivePath, const QString& workFolder,
                       const ZipRunner& runZip)
{
    if (!QFileInfo(archivePath).isFile())
        throw MaintenanceFailure(
            ENOENT, Texts::tr("The archive \"%1\" does not exist.").arg(Native(archivePath)));
    QString whole = archivePath;
    if (!SplitSetFirstVolume(archivePath).isEmpty()) {
        whole = JoinPath(workFolder, QStringLiteral("joined.zip"));
        QFile::remove(whole);
        const Outcome joined =
            runZip ? runZip({QStringLiteral("-q"), QStringLiteral("-s"), QStringLiteral("0"),
                             archivePath, QStringLiteral("--out"), whole})
                   : Outcome::Failed(Texts::tr("zip is not available"));
        if (!joined)
            throw MaintenanceFailure(
                ZIP_ER_READ, Texts::tr("The parts of the split archive could not be joined: %1")
                                 .arg(joined.Reason()));
    }
    const QString extract = JoinPath(workFolder, QStringLiteral("files"));
    QDir(extract).removeRecursively();
    QDir().mkpath(extract);

    BackupContents contents;
    contents.Members = ReadArchive(whole, extract);
    for (DbFile f : {DbFile::Main, DbFile::Library, DbFile::Picklist}) {
        const QString name = DbFileName(f);
        auto it = std::find_if(
            contents.Members.cbegin(), contents.Members.cend(),
            [&](const BackupMember& m) { return m.Name.compare(name, Qt::CaseInsensitive) == 0; });
        if (it == contents.Members.cend())
            throw MaintenanceFailure(ENOENT, Texts::tr("The archive holds no \"%1\".").arg(name));
        BackupContents::DataFile file{f, JoinPath(extract, it->Name), QString(), it->Size,
                                      it->Modified};
        {
            ScopedDb db(file.ExtractedPath, true);
            QSqlQuery q(db.Db());
            if (!q.exec(QStringLiteral("PRAGMA integrity_check")) || !q.next())
                throw MaintenanceFailure(
                    ZIP_ER_INCONS,
                    Texts::tr("\"%1\" in the archive is no database file.").arg(name));
            if (q.value(0).toString() != QLatin1String("ok"))
                throw MaintenanceFailure(ZIP_ER_INCONS,
                                         Texts::tr("\"%1\" in the archive is damaged: %2")
                                             .arg(name, q.value(0).toString()));
        }
        const DbFileCheck check = CheckDatabaseFile(file.ExtractedPath, f);
        file.Version = check.version;
        if (check.status == DbFileCheck::Damaged || check.status == DbFileCheck::InUse)
            throw MaintenanceFailure(
                ZIP_ER_INCONS,
                Texts::tr("\"%1\" in the archive cannot be used: %2").arg(name, check.error));
        if (check.status == DbFileCheck::NeedsUpgrade && !check.version.isEmpty()) {
            if (!VersionNumber(check.version) || IsNewerThanCurrent(check.version, f) ||
                *VersionNumber(check.version) < *VersionNumber(OldestSchemaVersion))
                throw MaintenanceFailure(
                    ZIP_ER_INCONS, Texts::tr("\"%1\" in the archive has the version \"%2\", which "
                                             "this program cannot open.")
                                       .arg(name, check.version));
        }
        if (f == DbFile::Main) {
            ScopedDb db(file.ExtractedPath, true);
            contents.Patients = CountRows(db.Db(), QStringLiteral("Patient"));
            contents.Programs = CountRows(db.Db(), QStringLiteral("Invoice"));
        }
        contents.DataFiles.append(file);
    }
    const QString clinic = JoinPath(extract, BackupClinicFolder);
    if (QFileInfo(clinic).isDir())
        contents.ClinicFolder = clinic;
    return contents;
}

} // namespace

BackupContents InspectBackup(const QString& archivePath, const QString& workFolder,
                             const ZipRunner& runZip)
{
    try {
        return Inspect(archivePath, workFolder, runZip);
    } catch (const DbError& e) {
        throw MaintenanceFailure(
            ZIP_ER_INCONS,
            Texts::tr("A file in the archive is no usable database: %1").arg(e.message()));
    }
}

QStringList RestoreBackupFiles(const BackupContents& contents, const QString& appFolder,
                               const QDateTime& now)
{
    const QString stamp = now.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
    // A log left beside a file would be replayed into the restored one.
    for (const BackupContents::DataFile& f : contents.DataFiles) {
        const QString current = ResolvePath(JoinPath(appFolder, DbFileName(f.File)));
        if (QFileInfo(current + QStringLiteral("-wal")).size() > 0)
            throw MaintenanceFailure(EBUSY,
                                     Texts::tr("\"%1\" still has changes in its journal; open and "
                                               "close the program, then restore again.")
                                         .arg(Native(current)));
    }
    QStringList kept;
    for (const BackupContents::DataFile& f : contents.DataFiles) {
        const QString current = ResolvePath(JoinPath(appFolder, DbFileName(f.File)));
        if (QFileInfo::exists(current)) {
            const QFileInfo info(current);
            const QString keptName = QStringLiteral("%1 (replaced %2).%3")
                                         .arg(info.completeBaseName(), stamp, info.suffix());
            CopyFileSafely(current, JoinPath(appFolder, keptName));
            kept << keptName;
        }
        CopyFileSafely(f.ExtractedPath, current);
        for (const QString& side : {QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(current + side);
    }
    if (!contents.ClinicFolder.isEmpty()) {
        const QDir source(contents.ClinicFolder);
        const QString target = ResolvePath(JoinPath(appFolder, BackupClinicFolder));
        QDirIterator it(contents.ClinicFolder, QDir::Files | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString to = JoinPath(target, source.relativeFilePath(path));
            QDir().mkpath(QFileInfo(to).absolutePath());
            CopyFileSafely(path, to);
        }
    }
    return kept;
}

} // namespace tramelle
