#include "LibraryStore.h"

#include "AppContext.h"
#include "DbError.h"
#include "DeliveredData.h"
#include "LibraryCache.h"
#include "Paths.h"
#include "TextHelpers.h"
#include "Transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryFile>
#include <limits>

namespace tramelle {

namespace {

QString FileProblem(const QString& what, const QString& path, const QString& reason)
{
    return QStringLiteral("%1 \"%2\": %3").arg(what, QDir::toNativeSeparators(path), reason);
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

    void Put(const PreparedFile& f)
    {
        QString backup;
        if (QFileInfo::exists(f.destination)) {
            backup = f.destination + QStringLiteral(".old");
            QFile::remove(backup);
            if (!QFile::rename(f.destination, backup))
                throw DbError(FileProblem(QStringLiteral("Cannot replace"), f.destination,
                                          QStringLiteral("the file could not be moved aside")));
        }
        m_placed.append({f.destination, backup});
        if (!QFile::rename(f.prepared, f.destination))
            throw DbError(
                FileProblem(QStringLiteral("Cannot write"), f.destination,
                            QStringLiteral("the new file could not be renamed into place")));
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
QString CopyToPrepared(const QString& source, const QString& destination)
{
    QFile in;
    if (!OpenRegularFile(in, source))
        throw DbError(FileProblem(QStringLiteral("Cannot read"), source, in.errorString()));
    QTemporaryFile out(destination + QStringLiteral(".XXXXXX"));
    out.setAutoRemove(false);
    if (!out.open())
        throw DbError(FileProblem(QStringLiteral("Cannot write"), destination, out.errorString()));
    const QByteArray bytes = in.readAll();
    if (out.write(bytes) != bytes.size() || !out.flush()) {
        const QString reason = out.errorString();
        out.remove();
        throw DbError(FileProblem(QStringLiteral("Cannot write"), destination, reason));
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

qint32 NextExerciseID(const QSqlDatabase& db)
{
    QSqlQuery q = Exec(db, QStringLiteral("SELECT MAX(ExerciseID) FROM ExerciseLibrary"));
    const QVariant highest = q.next() ? q.value(0) : QVariant();
    if (highest.isNull())
        return FirstClinicExercise;
    const qlonglong next = highest.toLongLong() + 1;
    if (next > std::numeric_limits<qint32>::max())
        throw DbError(QStringLiteral("Overflow: no exercise number is left after %1")
                          .arg(highest.toLongLong()));
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
    r.IconSrc = NullToInteger(q.value(QStringLiteral("IconSrc")));
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

void StoreExercise(const QSqlDatabase& db, const LibraryRecord& record, bool isNew,
                   const QList<PreparedFile>& files)
{
    StoreWithFiles(db, files, [&] {
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
                throw DbError(QStringLiteral("The exercise %1 is no longer in the library")
                                  .arg(record.Entry.ExerciseID));
        }
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

void StoreWithFiles(const QSqlDatabase& db, const QList<PreparedFile>& files,
                    const std::function<void()>& work)
{
    try {
        Transaction t(db);
        work();
        FileSwap swap;
        for (const PreparedFile& f : files)
            swap.Put(f);
        t.Commit();
        swap.Finish();
    } catch (...) {
        for (const PreparedFile& f : files)
            QFile::remove(f.prepared);
        throw;
    }
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

qint32 DuplicateExercise(AppContext& ctx, qint32 exerciseId)
{
    const QSqlDatabase db = ctx.Db.LibraryDb();
    std::optional<LibraryRecord> record = ReadExercise(db, exerciseId);
    if (!record)
        throw DbError(
            QStringLiteral("The exercise %1 is no longer in the library").arg(exerciseId));
    const qint32 id = NextExerciseID(db);
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
    try {
        for (MediaKind kind : {MediaKind::Picture, MediaKind::Icon})
            if (!QDir().mkpath(ClinicMediaFolder(ctx.AppFolder(), kind)))
                throw DbError(FileProblem(QStringLiteral("Cannot make the folder"),
                                          ClinicMediaFolder(ctx.AppFolder(), kind),
                                          QStringLiteral("access denied")));
        auto copy = [&](MediaKind kind, const QString& from, const QString& to) {
            const QString source = FindMediaFile(ctx, kind, from);
            if (source.isEmpty())
                return;
            const QString destination = ClinicMediaPath(ctx, kind, to);
            files.append({CopyToPrepared(source, destination), destination});
        };
        copy(MediaKind::Picture, oldPictures[0], e.Picture0);
        copy(MediaKind::Picture, oldPictures[1], e.Picture1);
        copy(MediaKind::Picture, oldPictures[2], e.Picture2);
        copy(MediaKind::Icon, oldIcon, e.Icon);
    } catch (...) {
        for (const PreparedFile& f : files)
            QFile::remove(f.prepared);
        throw;
    }
    StoreExercise(db, *record, true, files);
    return id;
}

} // namespace tramelle
