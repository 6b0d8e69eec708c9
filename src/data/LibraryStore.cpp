#include "LibraryStore.h"

#include "AppContext.h"
#include "DbError.h"
#include "DeliveredData.h"
#include "LibraryCache.h"
#include "Paths.h"
#include "TextHelpers.h"
#include "Transaction.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryFile>
#include <limits>

namespace tramelle {

namespace {

// The messages of this file, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(tramelle::LibraryStore)
};

QString FileProblem(const QString& what, const QString& path, const QString& reason)
{
    return QStringLiteral("%1 \"%2\": %3").arg(what, QDir::toNativeSeparators(path), reason);
}

QString NoLongerThere(qint32 exerciseId)
{
    return Texts::tr("The exercise %1 is no longer in the library").arg(exerciseId);
}

QVariantList RowValues(const LibraryRecord& r)
{
    const LibraryEntry& e = r.Entry;
    return {
        e.code,         e.Desc,      e.AbbrevDesc, e.Joint,     e.Motion,        e.Type,
        e.Reps,         e.Hold,      e.Sets,       e.Movie,     e.Icon,          e.Picture0,
        e.Picture1,     e.Picture2,  e.Instruct0,  e.Instruct1, e.Instruct2,     e.HasVideo ? 1 : 0,
        e.VideoReps,    e.VideoHold, e.VideoSets,  r.IconSrc,   r.PictureSrc[0], r.PictureSrc[1],
        r.PictureSrc[2]};
}

const QString RowColumns = QStringLiteral("code, Desc, AbbrevDesc, Joint, Motion, Type, Reps, "
                                          "Hold, Sets, Movie, Icon, Picture0, Picture1, "
                                          "Picture2, Instruct0, Instruct1, Instruct2, HasVideo, "
                                          "VideoReps, VideoHold, VideoSets, IconSrc, "
                                          "Picture0Src, Picture1Src, Picture2Src");

// Puts prepared files into place, keeping what they replace until Finish or Undo.
class FileSwap
{
public:
    ~FileSwap()
    {
        if (!m_done)
            Undo();
    }

    Outcome Put(const PreparedFile& f)
    {
        QString backup;
        if (QFileInfo::exists(f.destination)) {
            backup = f.destination + QStringLiteral(".old");
            QFile::remove(backup);
            if (!QFile::rename(f.destination, backup))
                return Outcome::Failed(FileProblem(Texts::tr("Cannot replace"), f.destination,
                                                   Texts::tr("the file could not be moved aside")));
        }
        m_placed.append({f.destination, backup});
        if (!QFile::rename(f.prepared, f.destination))
            return Outcome::Failed(
                FileProblem(Texts::tr("Cannot write"), f.destination,
                            Texts::tr("the new file could not be renamed into place")));
        return Outcome::Done();
    }

    void Finish()
    {
        m_done = true;
        for (const auto& p : m_placed)
            if (!p.second.isEmpty())
                QFile::remove(p.second);
    }

private:
    void Undo()
    {
        for (auto it = m_placed.crbegin(); it != m_placed.crend(); ++it) {
            QFile::remove(it->first);
            if (!it->second.isEmpty())
                QFile::rename(it->second, it->first);
        }
    }

    QList<QPair<QString, QString>> m_placed; // destination, what it replaced
    bool m_done = false;
};

// Copies a file to a new file in the destination's folder; returns its path.
Result<QString> CopyToPrepared(const QString& source, const QString& destination)
{
    QFile in;
    if (!OpenRegularFile(in, source))
        return Result<QString>::Failed(
            FileProblem(Texts::tr("Cannot read"), source, in.errorString()));
    // A read that breaks off must not leave a shortened copy.
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return Result<QString>::Failed(
            FileProblem(Texts::tr("Cannot read"), source, in.errorString()));
    QTemporaryFile out(destination + QStringLiteral(".XXXXXX"));
    out.setAutoRemove(false);
    if (!out.open())
        return Result<QString>::Failed(
            FileProblem(Texts::tr("Cannot write"), destination, out.errorString()));
    if (out.write(bytes) != bytes.size() || !out.flush()) {
        const QString reason = out.errorString();
        out.remove();
        return Result<QString>::Failed(FileProblem(Texts::tr("Cannot write"), destination, reason));
    }
    out.close();
    return out.fileName();
}

} // namespace

QList<LibraryListRow> ReadLibraryList(const QSqlDatabase& db)
{
    QSqlQuery q = Exec(
        db,
        QStringLiteral("SELECT ExerciseID, code, Joint, Motion, Type, Desc FROM ExerciseLibrary"));
    QList<LibraryListRow> rows;
    while (q.next()) {
        LibraryListRow r;
        r.ExerciseID = q.value(0).toInt();
        r.Code = NullToText(q.value(1));
        r.Joint = NullToText(q.value(2));
        r.Motion = NullToText(q.value(3));
        r.Type = NullToText(q.value(4));
        r.DescIsNull = q.value(5).isNull();
        r.Desc = NullToText(q.value(5));
        rows.append(std::move(r));
    }
    ThrowIfFailed(q.lastError());
    return rows;
}

Result<qint32> NextExerciseID(const QSqlDatabase& db)
{
    QSqlQuery q = Exec(db, QStringLiteral("SELECT MAX(ExerciseID) FROM ExerciseLibrary"));
    const QVariant highest = q.next() ? q.value(0) : QVariant();
    if (highest.isNull())
        return FirstClinicExercise;
    const qlonglong next = highest.toLongLong() + 1;
    if (next > std::numeric_limits<qint32>::max())
        return Result<qint32>::Failed(
            Texts::tr("Overflow: no exercise number is left after %1").arg(highest.toLongLong()));
    return static_cast<qint32>(std::max<qlonglong>(next, FirstClinicExercise));
}

std::optional<LibraryRecord> ReadExercise(const QSqlDatabase& db, qint32 exerciseId)
{
    QSqlQuery q = Exec(db, QStringLiteral("SELECT * FROM ExerciseLibrary WHERE ExerciseID = ?"),
                       {exerciseId});
    if (!q.next()) {
        ThrowIfFailed(q.lastError());
        return std::nullopt;
    }
    const EntryColumns columns(q.record());
    LibraryRecord r;
    r.Entry = ReadEntry(q, columns);
    r.IconSrc = StoredInteger(q.value(QStringLiteral("IconSrc")));
    r.PictureSrc[0] = NullToText(q.value(QStringLiteral("Picture0Src")));
    r.PictureSrc[1] = NullToText(q.value(QStringLiteral("Picture1Src")));
    r.PictureSrc[2] = NullToText(q.value(QStringLiteral("Picture2Src")));
    return r;
}

QStringList DistinctColumnValues(const QSqlDatabase& db, const QString& column)
{
    if (column != QLatin1String("Joint") && column != QLatin1String("Motion") &&
        column != QLatin1String("Type"))
        throw DbError(QStringLiteral("No list of values is kept for the column %1").arg(column));
    QSqlQuery q =
        Exec(db, QStringLiteral("SELECT DISTINCT \"%1\" FROM ExerciseLibrary").arg(column));
    QStringList values;
    while (q.next())
        values << NullToText(q.value(0));
    ThrowIfFailed(q.lastError());
    return values;
}

Outcome StoreExercise(const QSqlDatabase& db, const LibraryRecord& record, bool isNew,
                      const QList<PreparedFile>& files)
{
    return StoreWithFiles(db, files, [&]() -> Outcome {
        QVariantList values = RowValues(record);
        values << record.Entry.ExerciseID;
        if (isNew) {
            Exec(db,
                 QStringLiteral("INSERT INTO ExerciseLibrary (%1, ExerciseID) VALUES (%2?)")
                     .arg(RowColumns, QStringLiteral("?, ").repeated(25)),
                 values);
        } else {
            QString sets = RowColumns;
            sets.replace(QStringLiteral(", "), QStringLiteral(" = ?, "));
            QSqlQuery q = Exec(
                db,
                QStringLiteral("UPDATE ExerciseLibrary SET %1 = ? WHERE ExerciseID = ?").arg(sets),
                values);
            if (q.numRowsAffected() != 1)
                return Outcome::Failed(NoLongerThere(record.Entry.ExerciseID));
        }
        return Outcome::Done();
    });
}

void InsertExerciseRow(const QSqlDatabase& db, const LibraryRecord& record, const QString& uuid)
{
    QVariantList values = RowValues(record);
    values << record.Entry.ExerciseID << uuid;
    Exec(db,
         QStringLiteral("INSERT INTO ExerciseLibrary (%1, ExerciseID, UUID) VALUES (%2?, ?)")
             .arg(RowColumns, QStringLiteral("?, ").repeated(25)),
         values);
}

Outcome StoreWithFiles(const QSqlDatabase& db, const QList<PreparedFile>& files,
                       const std::function<Outcome()>& work)
{
    // Whatever ends this early (a reason or an engine error), the prepared files go.
    const auto removePrepared = qScopeGuard([&files] {
        for (const PreparedFile& f : files)
            QFile::remove(f.prepared);
    });
    Transaction t(db);
    if (Outcome done = work(); !done)
        return done;
    FileSwap swap;
    for (const PreparedFile& f : files)
        if (Outcome put = swap.Put(f); !put)
            return put;
    t.Commit();
    swap.Finish();
    return Outcome::Done();
}

void DeleteExercise(const QSqlDatabase& db, qint32 exerciseId)
{
    Exec(db, QStringLiteral("DELETE FROM ExerciseLibrary WHERE ExerciseID = ?"), {exerciseId});
}

QString StripLineBreaks(const QString& text)
{
    QString s = text;
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    s.remove(QLatin1Char('\n'));
    return s;
}

int CleanInstructionTexts(const QSqlDatabase& db)
{
    Transaction t(db);
    QSqlQuery q = Exec(
        db,
        QStringLiteral("SELECT ExerciseID, Instruct0, Instruct1, Instruct2 FROM ExerciseLibrary"));
    QList<QVariantList> changes;
    while (q.next()) {
        QVariantList row;
        bool changed = false;
        for (int c = 1; c <= 3; ++c) {
            const QVariant v = q.value(c);
            if (v.isNull()) {
                row << v;
                continue;
            }
            const QString cleaned = StripLineBreaks(v.toString());
            changed = changed || cleaned != v.toString();
            row << cleaned;
        }
        if (changed) {
            row << q.value(0);
            changes << row;
        }
    }
    ThrowIfFailed(q.lastError());
    q.finish();
    for (const QVariantList& row : changes)
        Exec(db,
             QStringLiteral("UPDATE ExerciseLibrary SET Instruct0 = ?, Instruct1 = ?, Instruct2 = "
                            "? WHERE ExerciseID = ?"),
             row);
    t.Commit();
    return static_cast<int>(changes.size());
}

Result<qint32> DuplicateExercise(AppContext& ctx, qint32 exerciseId)
{
    const QSqlDatabase db = ctx.Db.LibraryDb();
    std::optional<LibraryRecord> record = ReadExercise(db, exerciseId);
    if (!record)
        return Result<qint32>::Failed(NoLongerThere(exerciseId));
    const Result<qint32> next = NextExerciseID(db);
    if (!next)
        return next;
    const qint32 id = next.Value();
    LibraryEntry& e = record->Entry;
    const QString oldPictures[3] = {e.Picture0, e.Picture1, e.Picture2};
    const QString oldIcon = e.Icon;
    e.ExerciseID = id;
    e.code = QString::number(id);
    e.Icon = IconFileName(id);
    e.Picture0 = PictureFileName(id, 1);
    e.Picture1 = PictureFileName(id, 2);
    e.Picture2 = PictureFileName(id, 3);

    QList<PreparedFile> files;
    // StoreExercise takes the prepared files over; until then they are ours to remove.
    auto removePrepared = qScopeGuard([&files] {
        for (const PreparedFile& f : files)
            QFile::remove(f.prepared);
    });
    for (MediaKind kind : {MediaKind::Picture, MediaKind::Icon})
        if (!QDir().mkpath(ClinicMediaFolder(ctx.AppFolder(), kind)))
            return Result<qint32>::Failed(FileProblem(Texts::tr("Cannot make the folder"),
                                                      ClinicMediaFolder(ctx.AppFolder(), kind),
                                                      Texts::tr("access denied")));
    const std::pair<MediaKind, std::pair<QString, QString>> copies[] = {
        {MediaKind::Picture, {oldPictures[0], e.Picture0}},
        {MediaKind::Picture, {oldPictures[1], e.Picture1}},
        {MediaKind::Picture, {oldPictures[2], e.Picture2}},
        {MediaKind::Icon, {oldIcon, e.Icon}}};
    for (const auto& [kind, names] : copies) {
        const QString source = FindMediaFile(ctx, kind, names.first);
        if (source.isEmpty())
            continue;
        const QString destination = ClinicMediaPath(ctx, kind, names.second);
        const Result<QString> prepared = CopyToPrepared(source, destination);
        if (!prepared)
            return Result<qint32>::Failed(prepared.Reason());
        files.append({prepared.Value(), destination});
    }
    removePrepared.dismiss();
    if (Outcome stored = StoreExercise(db, *record, true, files); !stored)
        return Result<qint32>::Failed(stored.Reason());
    return id;
}

} // namespace tramelle
