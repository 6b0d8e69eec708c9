#include "Sharing.h"

#include "AppContext.h"
#include "DbError.h"
#include "DeliveredData.h"
#include "LibraryCache.h"
#include "ProtocolStore.h"
#include "SafeFiles.h"
#include "Services.h"
#include "Transaction.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QScopeGuard>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <QUuid>

#include <limits>
#include <zip.h>

namespace tramelle {

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("Sharing", text);
}

QString Native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

const char* const MediaColumns[] = {"Picture0", "Picture1", "Picture2", "Icon", "Movie"};

QString& MediaField(LibraryEntry& e, int i)
{
    QString* fields[] = {&e.Picture0, &e.Picture1, &e.Picture2, &e.Icon, &e.Movie};
    return *fields[i];
}

MediaKind MediaKindOf(int i)
{
    return i < 3 ? MediaKind::Picture : (i == 3 ? MediaKind::Icon : MediaKind::Movie);
}

// The name a media file takes under a new number: the naming rule's, keeping its ending.
QString RenamedMedia(int i, qint32 id, const QString& old)
{
    const QString rule =
        i < 3 ? PictureFileName(id, i + 1) : (i == 3 ? IconFileName(id) : MovieFileName(id));
    const QString suffix = QFileInfo(old).suffix();
    if (suffix.isEmpty())
        return rule;
    return QFileInfo(rule).completeBaseName() + QLatin1Char('.') + suffix.toUpper();
}

// --- The document ---

QJsonObject EntryToJson(const LibraryEntry& e, qint16 iconSrc)
{
    return DeliveredExerciseToJson(DeliveredExercise{e, iconSrc});
}

void CheckText(const QString& what, const QString& column, const QString& text, int limit)
{
    if (text.size() > limit)
        throw DbError(Tr("%1: %2 has %3 characters; at most %4 fit.")
                          .arg(what, column)
                          .arg(text.size())
                          .arg(limit));
}

void CheckEntry(const QString& what, const LibraryEntry& e)
{
    CheckText(what, QStringLiteral("code"), e.code, ShareTextLimit);
    CheckText(what, QStringLiteral("Desc"), e.Desc, DescLimit);
    CheckText(what, QStringLiteral("AbbrevDesc"), e.AbbrevDesc, AbbrevDescLimit);
    CheckText(what, QStringLiteral("Joint"), e.Joint, ShareTextLimit);
    CheckText(what, QStringLiteral("Motion"), e.Motion, ShareTextLimit);
    CheckText(what, QStringLiteral("Type"), e.Type, ShareTextLimit);
    CheckText(what, QStringLiteral("Instruct0"), e.Instruct0, InstructLimit);
    CheckText(what, QStringLiteral("Instruct1"), e.Instruct1, InstructLimit);
    CheckText(what, QStringLiteral("Instruct2"), e.Instruct2, InstructLimit);
    LibraryEntry copy = e;
    for (int i = 0; i < 5; ++i) {
        const QString& name = MediaField(copy, i);
        if (!name.isEmpty() && (!IsPlainFileName(name) || name.size() > ShareTextLimit))
            throw DbError(Tr("%1: %2 \"%3\" is no plain file name.")
                              .arg(what, QLatin1String(MediaColumns[i]), name.left(80)));
    }
}

LibraryEntry EntryFromJson(const QJsonValue& v, const QString& what)
{
    if (!v.isObject())
        throw DbError(Tr("%1 is not an object.").arg(what));
    const LibraryEntry e = DeliveredExerciseFromJson(v.toObject()).Entry;
    CheckEntry(what, e);
    return e;
}

QString UuidFromJson(const QJsonObject& o, const char* key, const QString& what)
{
    const QJsonValue v = o.value(QLatin1String(key));
    const QUuid uuid = v.isString() ? QUuid::fromString(v.toString()) : QUuid();
    if (uuid.isNull() || v.toString().size() != 36)
        throw DbError(Tr("%1: %2 is no identity of 36 characters.").arg(what, QLatin1String(key)));
    return uuid.toString(QUuid::WithoutBraces);
}

QJsonArray ArrayOf(const QJsonObject& o, const char* key, const QString& what)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isArray())
        throw DbError(Tr("%1: %2 must be a list.").arg(what, QLatin1String(key)));
    return v.toArray();
}

// --- Reading an archive ---

struct Member
{
    zip_uint64_t Index = 0;
    qint64 Size = 0;
};

bool IsSafeMemberName(const QString& name)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        (name.size() > 1 && name.at(1) == QLatin1Char(':')))
        return false;
    for (const QString& part : name.split(QLatin1Char('/')))
        if (part == QLatin1String(".."))
            return false;
    return true;
}

// An archive opened for reading whose every member name and size has been checked.
class ShareArchive
{
public:
    explicit ShareArchive(const QString& path) : m_path(path)
    {
        int error = 0;
        m_zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
        if (!m_zip) {
            zip_error_t e;
            zip_error_init_with_code(&e, error);
            const QString reason = QString::fromLocal8Bit(zip_error_strerror(&e));
            zip_error_fini(&e);
            throw DbError(Refused(Tr("it is no readable zip archive (%1)").arg(reason)));
        }
        const zip_int64_t count = zip_get_num_entries(m_zip, 0);
        if (count > ShareMemberCountLimit)
            throw DbError(Refused(Tr("it holds %1 files; at most %2 are read")
                                      .arg(count)
                                      .arg(ShareMemberCountLimit)));
        qint64 total = 0;
        for (zip_int64_t i = 0; i < count; ++i) {
            zip_stat_t st;
            zip_stat_init(&st);
            if (zip_stat_index(m_zip, zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
                throw DbError(Refused(Tr("a file in it cannot be read")));
            const QString name = QString::fromUtf8(st.name);
            if (!IsSafeMemberName(name))
                throw DbError(
                    Refused(Tr("it names a file \"%1\" outside its own folder").arg(name)));
            const qint64 size = (st.valid & ZIP_STAT_SIZE) ? qint64(st.size) : ShareMemberLimit + 1;
            if (size > ShareMemberLimit || size < 0)
                throw DbError(Refused(Tr("\"%1\" in it claims %2 bytes; at most %3 are read")
                                          .arg(name)
                                          .arg(size)
                                          .arg(ShareMemberLimit)));
            total += size;
            if (total > ShareTotalLimit)
                throw DbError(Refused(
                    Tr("its files claim more than %1 bytes together").arg(ShareTotalLimit)));
            m_members.insert(name, Member{zip_uint64_t(i), size});
        }
    }
    ~ShareArchive()
    {
        if (m_zip)
            zip_discard(m_zip);
    }
    ShareArchive(const ShareArchive&) = delete;
    ShareArchive& operator=(const ShareArchive&) = delete;

    QString Refused(const QString& why) const
    {
        return Tr("The file %1 was refused: %2. Nothing was imported.").arg(Native(m_path), why);
    }

    bool Has(const QString& name) const { return m_members.contains(name); }

    // Copies a member to `out`, never more than it claimed. Returns an error text.
    QString CopyTo(const QString& name, QIODevice& out) const
    {
        const Member m = m_members.value(name);
        zip_file_t* zf = zip_fopen_index(m_zip, m.Index, 0);
        if (!zf)
            return Tr("\"%1\" cannot be read: %2")
                .arg(name, QString::fromLocal8Bit(zip_strerror(m_zip)));
        auto close = qScopeGuard([&] { zip_fclose(zf); });
        QByteArray buffer(64 * 1024, Qt::Uninitialized);
        qint64 read = 0;
        for (;;) {
            const zip_int64_t n = zip_fread(zf, buffer.data(), zip_uint64_t(buffer.size()));
            if (n < 0)
                return Tr("\"%1\" is damaged: %2")
                    .arg(name, QString::fromLocal8Bit(zip_error_strerror(zip_file_get_error(zf))));
            if (n == 0)
                break;
            read += n;
            if (read > m.Size)
                return Tr("\"%1\" holds more than it claims").arg(name);
            if (out.write(buffer.constData(), n) != n)
                return out.errorString();
        }
        return {};
    }

    QByteArray Document() const
    {
        if (!Has(ShareDocumentName))
            throw DbError(Refused(Tr("it holds no \"%1\"").arg(ShareDocumentName)));
        if (m_members.value(ShareDocumentName).Size > ShareDocumentLimit)
            throw DbError(Refused(Tr("its \"%1\" is larger than %2 bytes")
                                      .arg(ShareDocumentName)
                                      .arg(ShareDocumentLimit)));
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        const QString error = CopyTo(ShareDocumentName, buffer);
        if (!error.isEmpty())
            throw DbError(Refused(error));
        return bytes;
    }

private:
    QString m_path;
    zip_t* m_zip = nullptr;
    QHash<QString, Member> m_members;
};

QHash<QString, qint32> LibraryUuids(const QSqlDatabase& db)
{
    QHash<QString, qint32> ids;
    QSqlQuery q = Exec(
        db, QStringLiteral("SELECT UUID, ExerciseID FROM ExerciseLibrary WHERE UUID IS NOT NULL"));
    while (q.next())
        ids.insert(q.value(0).toString(), q.value(1).toInt());
    return ids;
}

QString Describe(const LibraryEntry& e)
{
    return QStringLiteral("%1 %2").arg(e.ExerciseID).arg(e.Desc);
}

} // namespace

bool IsPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QLatin1Char(':'));
}

QString ShareMediaMember(MediaKind kind, const QString& name)
{
    const char* folder = kind == MediaKind::Picture ? "Picture/"
                         : kind == MediaKind::Icon  ? "ICON/"
                                                    : "Movie/";
    return QLatin1String(folder) + name;
}

QByteArray SharePackageToJson(const SharePackage& package)
{
    QJsonArray exercises;
    for (const SharedExercise& x : package.Exercises) {
        QJsonObject o = EntryToJson(x.Record.Entry, x.Record.IconSrc);
        o.insert(QStringLiteral("UUID"), x.Uuid);
        for (int i = 0; i < 3; ++i)
            o.insert(QStringLiteral("Picture%1Src").arg(i), x.Record.PictureSrc[size_t(i)]);
        exercises.append(o);
    }
    QJsonArray protocols;
    for (const SharedProtocol& p : package.Protocols) {
        QJsonArray rows;
        for (int i = 0; i < p.Rows.size(); ++i) {
            QJsonObject o = EntryToJson(p.Rows.at(i), 0);
            o.remove(QStringLiteral("IconSrc"));
            o.insert(QStringLiteral("ExerciseUUID"), p.RowUuids.at(i));
            rows.append(o);
        }
        protocols.append(
            QJsonObject{{QStringLiteral("Name"), p.Name}, {QStringLiteral("exercises"), rows}});
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("format"), ShareFormatName},
                                     {QStringLiteral("version"), ShareFormatVersion},
                                     {QStringLiteral("exercises"), exercises},
                                     {QStringLiteral("protocols"), protocols}})
        .toJson(QJsonDocument::Indented);
}

SharePackage SharePackageFromJson(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        throw DbError(Tr("The document is no valid JSON (at offset %1).").arg(error.offset));
    const QJsonObject top = doc.object();
    if (!doc.isObject() || top.value(QLatin1String("format")).toString() != ShareFormatName)
        throw DbError(Tr("The document is not one of exercises shared by this program."));
    const QJsonValue version = top.value(QLatin1String("version"));
    if (!version.isDouble() || version.toDouble() < 1 ||
        version.toDouble() != double(version.toInt()))
        throw DbError(Tr("The document has no format version."));
    if (version.toInt() > ShareFormatVersion)
        throw DbError(Tr("The document was written by a newer version of the program (format "
                         "%1; this program reads format %2).")
                          .arg(version.toInt())
                          .arg(ShareFormatVersion));
    SharePackage package;
    QSet<QString> seen;
    const QJsonArray exercises = ArrayOf(top, "exercises", Tr("The document"));
    for (int i = 0; i < exercises.size(); ++i) {
        const QString what = Tr("Exercise %1 of the document").arg(i + 1);
        try {
            SharedExercise x;
            x.Record.Entry = EntryFromJson(exercises.at(i), what);
            const QJsonObject o = exercises.at(i).toObject();
            x.Record.IconSrc = DeliveredExerciseFromJson(o).IconSrc;
            for (int p = 0; p < 3; ++p) {
                const QJsonValue src = o.value(QStringLiteral("Picture%1Src").arg(p));
                if (!src.isString() && !src.isUndefined())
                    throw DbError(Tr("Picture%1Src must be a text").arg(p));
                CheckText(what, QStringLiteral("Picture%1Src").arg(p), src.toString(),
                          ShareTextLimit);
                x.Record.PictureSrc[size_t(p)] = src.toString();
            }
            x.Uuid = UuidFromJson(o, "UUID", what);
            if (seen.contains(x.Uuid))
                throw DbError(Tr("the identity %1 comes twice").arg(x.Uuid));
            seen.insert(x.Uuid);
            package.Exercises << x;
        } catch (const DbError& e) {
            if (e.message().startsWith(what))
                throw;
            throw DbError(what + QStringLiteral(": ") + e.message());
        }
    }
    const QJsonArray protocols = ArrayOf(top, "protocols", Tr("The document"));
    for (int i = 0; i < protocols.size(); ++i) {
        const QString what = Tr("Protocol %1 of the document").arg(i + 1);
        const QJsonObject o = protocols.at(i).toObject();
        SharedProtocol p;
        const QJsonValue name = o.value(QLatin1String("Name"));
        if (!name.isString())
            throw DbError(Tr("%1 has no name.").arg(what));
        p.Name = name.toString();
        CheckText(what, QStringLiteral("Name"), p.Name, ShareTextLimit);
        const QJsonArray rows = ArrayOf(o, "exercises", what);
        if (rows.size() > MaxProgramEntries)
            throw DbError(Tr("%1 holds more than %2 exercises.").arg(what).arg(MaxProgramEntries));
        for (int r = 0; r < rows.size(); ++r) {
            const QString rowWhat = Tr("%1, exercise %2").arg(what).arg(r + 1);
            QJsonObject row = rows.at(r).toObject();
            // Rows carry no IconSrc of their own.
            row.insert(QStringLiteral("IconSrc"), 0);
            try {
                p.Rows << EntryFromJson(row, rowWhat);
            } catch (const DbError& e) {
                throw DbError(rowWhat + QStringLiteral(": ") + e.message());
            }
            p.RowUuids << UuidFromJson(row, "ExerciseUUID", rowWhat);
        }
        package.Protocols << p;
    }
    return package;
}

ShareExportResult ExportShare(const AppContext& ctx, const ShareSelection& selection,
                              const QString& zipPath)
{
    const QSqlDatabase lib = ctx.Db.LibraryDb();
    QList<qint32> ids = selection.Exercises;
    if (selection.AllClinicExercises) {
        QSqlQuery q = Exec(lib,
                           QStringLiteral("SELECT ExerciseID FROM ExerciseLibrary WHERE "
                                          "ExerciseID >= ? ORDER BY ExerciseID"),
                           {FirstClinicExercise});
        while (q.next())
            if (!ids.contains(q.value(0).toInt()))
                ids << q.value(0).toInt();
    }
    auto uuidOf = [&](qint32 id) {
        QSqlQuery q = Exec(lib,
                           QStringLiteral("SELECT UUID FROM ExerciseLibrary WHERE "
                                          "ExerciseID = ? AND UUID IS NOT NULL"),
                           {id});
        return q.next() ? q.value(0).toString() : QString();
    };

    SharePackage package;
    QHash<qint32, QString> names;
    for (const ProtocolListItem& item : ListProtocols(ctx.Db.MainDb()))
        names.insert(item.ProtocolID, item.Name);
    for (qint32 pid : selection.Protocols) {
        if (!names.contains(pid))
            throw DbError(Tr("The protocol %1 is no longer stored.").arg(pid));
        SharedProtocol p;
        p.Name = names.value(pid);
        p.Rows = ReadProtocol(ctx.Db.MainDb(), pid);
        for (const ProgramEntry& row : p.Rows) {
            const QString uuid = uuidOf(row.ExerciseID);
            if (uuid.isEmpty())
                throw DbError(Tr("The protocol \"%1\" uses the exercise %2, which is no longer "
                                 "in the library; it cannot be exported.")
                                  .arg(p.Name)
                                  .arg(row.ExerciseID));
            p.RowUuids << uuid;
            // The clinic's own go along; delivered ones are in every library.
            if (!IsDeliveredExercise(row.ExerciseID) && !ids.contains(row.ExerciseID))
                ids << row.ExerciseID;
        }
        package.Protocols << p;
    }

    ShareExportResult result;
    QList<QPair<QString, QString>> media; // member, file
    QSet<QString> members;
    for (qint32 id : ids) {
        const std::optional<LibraryRecord> record = ReadExercise(lib, id);
        if (!record)
            throw DbError(Tr("The exercise %1 is no longer in the library.").arg(id));
        SharedExercise x{*record, uuidOf(id)};
        if (x.Uuid.isEmpty())
            throw DbError(Tr("The exercise %1 has no identity.").arg(id));
        for (int i = 0; i < 5; ++i) {
            const QString name = MediaField(x.Record.Entry, i);
            if (name.isEmpty() || !IsPlainFileName(name))
                continue;
            const QString member = ShareMediaMember(MediaKindOf(i), name);
            if (members.contains(member))
                continue;
            const QString file = FindMediaFile(ctx, MediaKindOf(i), name);
            if (file.isEmpty()) {
                result.MissingMedia << name;
                continue;
            }
            members.insert(member);
            media.append({member, file});
        }
        package.Exercises << x;
    }

    const QByteArray document = SharePackageToJson(package);
    const QString temp = zipPath + QStringLiteral(".part");
    QFile::remove(temp);
    int error = 0;
    zip_t* za = zip_open(QFile::encodeName(temp).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!za)
        throw DbError(Tr("Cannot write \"%1\".").arg(Native(zipPath)));
    auto discard = qScopeGuard([&] {
        zip_discard(za);
        QFile::remove(temp);
    });
    auto fail = [&](const QString& what) {
        throw DbError(Tr("Cannot write \"%1\": %2 (%3).")
                          .arg(Native(zipPath), what, QString::fromLocal8Bit(zip_strerror(za))));
    };
    zip_source_t* doc =
        zip_source_buffer(za, document.constData(), zip_uint64_t(document.size()), 0);
    if (!doc ||
        zip_file_add(za, ShareDocumentName.toUtf8().constData(), doc, ZIP_FL_ENC_UTF_8) < 0) {
        if (doc)
            zip_source_free(doc);
        fail(ShareDocumentName);
    }
    for (const auto& [member, file] : media) {
        zip_source_t* src = zip_source_file(za, QFile::encodeName(file).constData(), 0, -1);
        const zip_int64_t index =
            src ? zip_file_add(za, member.toUtf8().constData(), src, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            if (src)
                zip_source_free(src);
            fail(Native(file));
        }
        // Pictures and movies are compressed already.
        zip_set_file_compression(za, zip_uint64_t(index), ZIP_CM_STORE, 0);
    }
    if (zip_close(za) != 0)
        fail(Tr("the archive could not be finished"));
    discard.dismiss();
    try {
        ReplaceFile(temp, zipPath);
    } catch (const MaintenanceFailure& e) {
        QFile::remove(temp);
        throw DbError(e.errors().first().description);
    }
    result.Exercises = int(package.Exercises.size());
    result.Protocols = int(package.Protocols.size());
    result.MediaFiles = int(media.size());
    return result;
}

QString ShareImportResult::Report() const
{
    QStringList lines;
    if (Cancelled)
        return Tr("The import was cancelled; nothing was stored.");
    lines << Tr("Imported: %1 exercises, %2 protocols, %3 pictures, icons and movies.")
                 .arg(Imported.size())
                 .arg(Protocols)
                 .arg(MediaFiles);
    for (const QString& line : Imported)
        lines << QStringLiteral("  ") + line;
    if (!Notes.isEmpty()) {
        lines << Tr("Left out:");
        for (const QString& line : Notes)
            lines << QStringLiteral("  ") + line;
    }
    lines << Tr("Skipped: %1.").arg(Skipped.size());
    for (const QString& line : Skipped)
        lines << QStringLiteral("  ") + line;
    return lines.join(QStringLiteral("\r\n"));
}

void StoreImport(AppContext& ctx, const QList<ImportExercise>& exercises,
                 const QList<QPair<QString, QList<ProgramEntry>>>& protocols,
                 const QString& caption, ShareImportResult& result)
{
    qint32 total = 0;
    for (const ImportExercise& x : exercises)
        total += qint32(x.Media.size());
    QList<PreparedFile> files;
    auto removePrepared = qScopeGuard([&] {
        for (const PreparedFile& f : files)
            QFile::remove(f.prepared);
    });
    MainWindowServices& window = ctx.MainWindow();
    window.InitCancellableProgress(total, caption);
    auto closeProgress = qScopeGuard([&] { window.DestroyProgress(); });
    for (MediaKind kind : {MediaKind::Picture, MediaKind::Icon, MediaKind::Movie}) {
        const QString folder = ClinicMediaFolder(ctx.AppFolder(), kind);
        if (!QDir().mkpath(folder))
            throw DbError(Tr("Cannot make the folder \"%1\".").arg(Native(folder)));
    }
    qint32 done = 0;
    for (const ImportExercise& x : exercises) {
        for (const ImportMedia& m : x.Media) {
            if (window.ProgressCancelled()) {
                result.Cancelled = true;
                return;
            }
            const QString destination = ClinicMediaPath(ctx, m.Kind, m.Name);
            QTemporaryFile out(destination + QStringLiteral(".XXXXXX"));
            out.setAutoRemove(false);
            if (!out.open())
                throw DbError(
                    Tr("Cannot write \"%1\": %2").arg(Native(destination), out.errorString()));
            files.append({out.fileName(), destination});
            QString error = m.Write(out);
            if (error.isEmpty() && !out.flush())
                error = out.errorString();
            if (!error.isEmpty())
                throw DbError(Tr("%1: %2").arg(Describe(x.Record.Entry), error));
            out.close();
            window.UpdateProgress(++done);
            // The progress window's Cancel is read between files.
            QCoreApplication::processEvents();
        }
    }
    if (window.ProgressCancelled()) {
        result.Cancelled = true;
        return;
    }
    // The protocols' file commits after the library's: should it fail, the exercises
    // stand on their own.
    Transaction mainTransaction(ctx.Db.MainDb());
    removePrepared.dismiss();
    const Outcome stored = StoreWithFiles(ctx.Db.LibraryDb(), files, [&] {
        for (const ImportExercise& x : exercises)
            InsertExerciseRow(ctx.Db.LibraryDb(), x.Record, x.Uuid);
        for (const auto& [name, rows] : protocols)
            InsertProtocol(ctx.Db.MainDb(), name, rows);
        return Outcome::Done();
    });
    if (!stored)
        throw DbError(stored.Reason());
    mainTransaction.Commit();
    result.MediaFiles += int(files.size());
    result.Protocols += int(protocols.size());
    for (const ImportExercise& x : exercises)
        result.Imported << Describe(x.Record.Entry);
}

ShareImportResult ImportShare(AppContext& ctx, const QString& zipPath)
{
    const ShareArchive archive(zipPath);
    const QByteArray document = archive.Document();
    SharePackage package;
    try {
        package = SharePackageFromJson(document);
    } catch (const DbError& e) {
        throw DbError(archive.Refused(e.message()));
    }

    ShareImportResult result;
    const QSqlDatabase lib = ctx.Db.LibraryDb();
    const QHash<QString, qint32> present = LibraryUuids(lib);
    QHash<QString, qint32> local = present;
    QHash<QString, LibraryEntry> renamed; // the file's entry by identity, before renaming
    QList<ImportExercise> toStore;
    const Result<qint32> firstFree = NextExerciseID(lib);
    if (!firstFree)
        throw DbError(archive.Refused(firstFree.Reason()));
    qint64 next = firstFree.Value();
    for (const SharedExercise& x : package.Exercises) {
        const LibraryEntry& e = x.Record.Entry;
        if (present.contains(x.Uuid)) {
            result.Skipped << Tr("%1: already in the library as number %2")
                                  .arg(Describe(e))
                                  .arg(present.value(x.Uuid));
            continue;
        }
        if (next > std::numeric_limits<qint32>::max())
            throw DbError(archive.Refused(Tr("the library has no free number left")));
        ImportExercise item;
        item.Record = x.Record;
        item.Uuid = x.Uuid;
        LibraryEntry& n = item.Record.Entry;
        n.ExerciseID = qint32(next++);
        if (n.code == QString::number(e.ExerciseID))
            n.code = QString::number(n.ExerciseID);
        for (int i = 0; i < 5; ++i) {
            QString& name = MediaField(n, i);
            if (name.isEmpty())
                continue;
            const QString member = ShareMediaMember(MediaKindOf(i), name);
            if (!archive.Has(member)) {
                result.Notes << Tr("%1: %2 \"%3\" is not in the file")
                                    .arg(Describe(n), QLatin1String(MediaColumns[i]), name);
                name.clear();
                continue;
            }
            name = RenamedMedia(i, n.ExerciseID, name);
            item.Media.append({MediaKindOf(i), name, [&archive, member](QIODevice& out) {
                                   return archive.CopyTo(member, out);
                               }});
        }
        local.insert(x.Uuid, n.ExerciseID);
        renamed.insert(x.Uuid, e);
        toStore << item;
        result.Numbers.append({e.ExerciseID, n.ExerciseID});
    }
    // Two pictures of one exercise may be the same file: it is written once per name.
    for (ImportExercise& item : toStore) {
        QSet<QString> names;
        QList<ImportMedia> unique;
        for (const ImportMedia& m : item.Media) {
            if (!names.contains(ShareMediaMember(m.Kind, m.Name)))
                unique << m;
            names.insert(ShareMediaMember(m.Kind, m.Name));
        }
        item.Media = unique;
    }

    QList<QPair<QString, QList<ProgramEntry>>> protocols;
    const QList<ProtocolListItem> existing = ListProtocols(ctx.Db.MainDb());
    for (const SharedProtocol& p : package.Protocols) {
        QList<ProgramEntry> rows;
        for (int r = 0; r < p.Rows.size(); ++r) {
            const QString& uuid = p.RowUuids.at(r);
            if (!local.contains(uuid))
                throw DbError(archive.Refused(
                    Tr("the protocol \"%1\" uses an exercise that neither the file nor the "
                       "library holds")
                        .arg(p.Name)));
            ProgramEntry row = p.Rows.at(r);
            row.ExerciseID = local.value(uuid);
            if (renamed.contains(uuid)) {
                LibraryEntry old = renamed.value(uuid);
                for (const ImportExercise& item : toStore) {
                    if (item.Uuid != uuid)
                        continue;
                    LibraryEntry now = item.Record.Entry;
                    for (int i = 0; i < 5; ++i)
                        if (MediaField(row, i) == MediaField(old, i))
                            MediaField(row, i) = MediaField(now, i);
                    if (row.code == old.code)
                        row.code = now.code;
                }
            }
            rows << row;
        }
        bool same = false;
        for (const ProtocolListItem& item : existing) {
            if (item.Name != p.Name)
                continue;
            const QList<ProgramEntry> have = ReadProtocol(ctx.Db.MainDb(), item.ProtocolID);
            same = have.size() == rows.size() &&
                   std::equal(have.begin(), have.end(), rows.begin(),
                              [](const ProgramEntry& a, const ProgramEntry& b) {
                                  return a.ExerciseID == b.ExerciseID && a.Reps == b.Reps &&
                                         a.Hold == b.Hold && a.Sets == b.Sets;
                              });
            if (same)
                break;
        }
        if (same)
            result.Skipped << Tr("Protocol \"%1\": already stored").arg(p.Name);
        else
            protocols.append({p.Name, rows});
    }
    StoreImport(ctx, toStore, protocols, Tr("Importing Exercises"), result);
    return result;
}

} // namespace tramelle
