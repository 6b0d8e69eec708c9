#include "ProtocolStore.h"

#include "DbError.h"
#include "LibraryCache.h"
#include "Transaction.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QSqlRecord>

namespace tramelle {

namespace {

// The messages of this file, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(ProtocolStore)
};

// The columns a protocol row copies into an entry; none of them may be null.
const char* const CopiedColumns[] = {
    "ExerciseID", "code",     "Desc",      "AbbrevDesc", "Reps",     "Hold",      "Sets",
    "Movie",      "Icon",     "Picture0",  "Picture1",   "Picture2", "Instruct0", "Instruct1",
    "Instruct2",  "HasVideo", "VideoReps", "VideoHold",  "VideoSets"};

// A null QString binds as NULL; protocol texts are stored as "" instead, so that a
// stored protocol always reads back.
QVariant Text(const QString& text)
{
    return text.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(text);
}

} // namespace

QList<ProtocolListItem> ListProtocols(const QSqlDatabase& db)
{
    QSqlQuery q = Exec(db, QStringLiteral("SELECT ProtocolID, Name FROM Protocol ORDER BY Name "
                                          "COLLATE NOCASE ASC, ProtocolID ASC"));
    QList<ProtocolListItem> items;
    while (q.next())
        items << ProtocolListItem{static_cast<qint32>(q.value(0).toLongLong()),
                                  q.value(1).toString()};
    ThrowIfFailed(q.lastError());
    return items;
}

QStringList ProtocolExerciseDescs(const QSqlDatabase& db, qint32 protocolId)
{
    QSqlQuery q = Exec(
        db,
        QStringLiteral(
            "SELECT Desc FROM ProtocolExercise WHERE ProtocolID = ? ORDER BY RankOnTape, rowid"),
        {protocolId});
    QStringList descs;
    while (q.next())
        descs << q.value(0).toString();
    ThrowIfFailed(q.lastError());
    return descs;
}

QList<ProgramEntry> ReadProtocol(const QSqlDatabase& db, qint32 protocolId)
{
    QSqlQuery q =
        Exec(db,
             QStringLiteral(
                 "SELECT * FROM ProtocolExercise WHERE ProtocolID = ? ORDER BY RankOnTape, rowid"),
             {protocolId});
    const QSqlRecord record = q.record();
    const EntryColumns columns(record);
    const int rank = record.indexOf(QStringLiteral("RankOnTape"));
    QList<ProgramEntry> rows;
    while (q.next()) {
        if (rows.size() >= MaxProgramEntries)
            throw DbError(
                Texts::tr("The protocol holds more than %1 exercises.").arg(MaxProgramEntries));
        for (const char* column : CopiedColumns) {
            if (q.value(record.indexOf(QLatin1String(column))).isNull())
                throw DbError(Texts::tr("Exercise %1 of the protocol has no %2.")
                                  .arg(rows.size() + 1)
                                  .arg(QLatin1String(column)));
        }
        if (q.value(rank).isNull() || q.value(rank).toLongLong() != rows.size())
            throw DbError(
                Texts::tr("The exercises of the protocol are not numbered 0 to %1 in order.")
                    .arg(rows.size()));
        ProgramEntry entry = ReadEntry(q, columns);
        entry.Joint.clear();
        entry.Motion.clear();
        entry.Type.clear();
        rows << entry;
    }
    ThrowIfFailed(q.lastError());
    return rows;
}

qint32 SaveProtocolAs(const QSqlDatabase& db, const QString& name, const ProgramState& program,
                      std::optional<qint32> replaced)
{
    Transaction transaction(db);
    QList<ProgramEntry> rows;
    for (int i = 0; i < program.EntryCount && i < MaxProgramEntries; ++i)
        rows << program.Entries[static_cast<size_t>(i)];
    const qint32 id = InsertProtocol(db, name, rows);
    if (replaced)
        Exec(db, QStringLiteral("DELETE FROM Protocol WHERE ProtocolID = ?"), {*replaced});
    transaction.Commit();
    return id;
}

qint32 InsertProtocol(const QSqlDatabase& db, const QString& name, const QList<ProgramEntry>& rows)
{
    if (rows.size() > MaxProgramEntries)
        throw DbError(
            Texts::tr("The protocol holds more than %1 exercises.").arg(MaxProgramEntries));
    QSqlQuery head =
        Exec(db, QStringLiteral("INSERT INTO Protocol (Name) VALUES (?)"), {Text(name.trimmed())});
    const QVariant newId = head.lastInsertId();
    if (!newId.isValid())
        throw DbError(Texts::tr("The new protocol has no ProtocolID."));
    const qint32 id = static_cast<qint32>(newId.toLongLong());

    QSqlQuery ex(db);
    ThrowIfFailed(
        ex,
        ex.prepare(QStringLiteral(
            "INSERT INTO ProtocolExercise (ProtocolID, RankOnTape, ExerciseID, code, Desc, "
            "AbbrevDesc, "
            "Reps, Hold, Sets, Movie, Icon, Picture0, Picture1, Picture2, Instruct0, Instruct1, "
            "Instruct2, HasVideo, VideoReps, VideoHold, VideoSets) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")));
    for (int i = 0; i < rows.size(); ++i) {
        const ProgramEntry& e = rows.at(i);
        // 16-bit values go in as int: the driver would bind a short as text.
        const QVariantList values{id,
                                  i,
                                  e.ExerciseID,
                                  Text(e.code),
                                  Text(e.Desc),
                                  Text(e.AbbrevDesc),
                                  int(e.Reps),
                                  int(e.Hold),
                                  int(e.Sets),
                                  Text(e.Movie),
                                  Text(e.Icon),
                                  Text(e.Picture0),
                                  Text(e.Picture1),
                                  Text(e.Picture2),
                                  Text(e.Instruct0),
                                  Text(e.Instruct1),
                                  Text(e.Instruct2),
                                  e.HasVideo ? 1 : 0,
                                  int(e.VideoReps),
                                  int(e.VideoHold),
                                  int(e.VideoSets)};
        for (int v = 0; v < values.size(); ++v)
            ex.bindValue(v, values[v]);
        ThrowIfFailed(ex, ex.exec());
    }
    return id;
}

void DeleteProtocol(const QSqlDatabase& db, qint32 protocolId)
{
    Transaction transaction(db);
    // The foreign key cascades; the explicit delete also clears rows of files whose
    // key was declared without it.
    Exec(db, QStringLiteral("DELETE FROM ProtocolExercise WHERE ProtocolID = ?"), {protocolId});
    Exec(db, QStringLiteral("DELETE FROM Protocol WHERE ProtocolID = ?"), {protocolId});
    transaction.Commit();
}

bool ApplyProtocol(ProgramState& program, const QList<ProgramEntry>& rows, ProtocolApply how)
{
    const int first = how == ProtocolApply::Append ? program.EntryCount : 0;
    if (first + rows.size() > MaxProgramEntries)
        return false;
    for (int i = 0; i < rows.size(); ++i)
        program.Entries[static_cast<size_t>(first + i)] = rows.at(i);
    program.EntryCount = static_cast<qint16>(first + rows.size());
    return true;
}

} // namespace tramelle
