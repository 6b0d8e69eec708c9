#include "DeliveredData.h"

#include "Database.h"
#include "DbError.h"
#include "Paths.h"
#include "TextHelpers.h"
#include "Transaction.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <cmath>
#include <limits>

namespace tramelle {

namespace {

// The messages of this file, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(tramelle::DeliveredData)
};

QString Describe(const DeliveredExercise& row)
{
    return Texts::tr("exercise %1").arg(row.Entry.ExerciseID);
}

QByteArray ReadWholeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw DbError(Texts::tr("Cannot read \"%1\": %2").arg(path, file.errorString()));
    return file.readAll();
}

} // namespace

QJsonDocument ReadJsonDocument(const QString& path)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(ReadWholeFile(path), &error);
    if (error.error != QJsonParseError::NoError)
        throw DbError(Texts::tr("\"%1\" is not valid JSON at offset %2: %3")
                          .arg(path)
                          .arg(error.offset)
                          .arg(error.errorString()));
    return doc;
}

namespace {

// Whole numbers only; a fraction or a value outside the range is refused, never wrapped.
qint64 IntegerValue(const QJsonObject& o, const char* key, qint64 low, qint64 high)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble())
        throw DbError(Texts::tr("%1 must be a number").arg(QLatin1String(key)));
    const double d = v.toDouble();
    if (std::trunc(d) != d || d < double(low) || d > double(high))
        throw DbError(Texts::tr("%1 = %2 is not a whole number between %3 and %4")
                          .arg(QLatin1String(key))
                          .arg(d)
                          .arg(low)
                          .arg(high));
    return qint64(d);
}

qint16 Int16Value(const QJsonObject& o, const char* key)
{
    return qint16(IntegerValue(o, key, std::numeric_limits<qint16>::min(),
                               std::numeric_limits<qint16>::max()));
}

// Optional texts read as "" when absent, as the cache reads a null.
QString TextValue(const QJsonObject& o, const char* key, bool required = false)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull()) {
        if (required)
            throw DbError(Texts::tr("%1 is missing").arg(QLatin1String(key)));
        return {};
    }
    if (!v.isString())
        throw DbError(Texts::tr("%1 must be a text").arg(QLatin1String(key)));
    return v.toString();
}

// Closes a connection opened here on every path, after its queries are gone.
class ScopedConnection
{
public:
    explicit ScopedConnection(const QString& path)
        : m_name(QStringLiteral("delivered-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
    {
        m_db = OpenConnection(path, m_name);
    }
    ~ScopedConnection()
    {
        m_db = QSqlDatabase();
        CloseConnection(m_name);
    }
    ScopedConnection(const ScopedConnection&) = delete;
    ScopedConnection& operator=(const ScopedConnection&) = delete;
    const QSqlDatabase& Db() const { return m_db; }

private:
    QString m_name;
    QSqlDatabase m_db;
};

} // namespace

bool IsDeliveredExercise(qint32 exerciseID)
{
    return (exerciseID > 0 && exerciseID < FirstUserExerciseID) || exerciseID == ProbeExerciseID;
}

QString DeliveredExerciseUuid(qint32 exerciseID)
{
    if (!IsDeliveredExercise(exerciseID))
        return {};
    // Our namespace for the delivered exercises' names; never change it.
    static const QUuid ns(QStringLiteral("6f1c2b7e-93d4-4c8a-b2f5-0e7a4d9c1b36"));
    return QUuid::createUuidV5(ns, QStringLiteral("exercise/%1").arg(exerciseID))
        .toString(QUuid::WithoutBraces);
}

QString PictureFileName(qint32 exerciseID, int n)
{
    return QStringLiteral("%1_%2.JPG").arg(exerciseID).arg(n);
}

QString IconFileName(qint32 exerciseID)
{
    return QStringLiteral("%1.JPG").arg(exerciseID);
}

QString MovieFileName(qint32 exerciseID)
{
    return QStringLiteral("%1.AVI").arg(exerciseID);
}

QStringList CheckDeliveredExercise(const DeliveredExercise& row)
{
    const LibraryEntry& e = row.Entry;
    QStringList problems;
    auto limit = [&](const char* column, const QString& text, int max) {
        if (StoredLength(text) > max)
            problems << Texts::tr("%1 has %2 characters (at most %3)")
                            .arg(QLatin1String(column))
                            .arg(StoredLength(text))
                            .arg(max);
    };
    if (e.ExerciseID <= 0)
        problems << Texts::tr("ExerciseID must be positive");
    if (e.code != QString::number(e.ExerciseID))
        problems << QStringLiteral("code \"%1\" is not the number as text").arg(e.code);
    if (e.AbbrevDesc.trimmed().isEmpty())
        problems << Texts::tr("AbbrevDesc is empty");
    limit("AbbrevDesc", e.AbbrevDesc, AbbrevDescLimit);
    limit("Desc", e.Desc, DescLimit);
    limit("Instruct0", e.Instruct0, InstructLimit);
    limit("Instruct1", e.Instruct1, InstructLimit);
    limit("Instruct2", e.Instruct2, InstructLimit);
    if (e.Reps < 0 || e.Hold < 0 || e.Sets < 0 || e.VideoReps < 0 || e.VideoHold < 0 ||
        e.VideoSets < 0)
        problems << Texts::tr("negative repetitions, hold or sets");
    if (e.Icon != IconFileName(e.ExerciseID))
        problems << QStringLiteral("Icon \"%1\" breaks the naming rule").arg(e.Icon);
    const QString pictures[] = {e.Picture0, e.Picture1, e.Picture2};
    for (int i = 0; i < 3; ++i) {
        if (pictures[i] != PictureFileName(e.ExerciseID, i + 1))
            problems << QStringLiteral("Picture%1 \"%2\" breaks the naming rule")
                            .arg(i)
                            .arg(pictures[i]);
    }
    if (!e.Movie.isEmpty() && e.Movie != MovieFileName(e.ExerciseID))
        problems << QStringLiteral("Movie \"%1\" breaks the naming rule").arg(e.Movie);
    if (row.IconSrc < 1 || row.IconSrc > 3)
        problems << Texts::tr("IconSrc must be 1, 2 or 3");
    return problems;
}

QJsonObject DeliveredExerciseToJson(const DeliveredExercise& row)
{
    const LibraryEntry& e = row.Entry;
    return QJsonObject{{QStringLiteral("ExerciseID"), e.ExerciseID},
                       {QStringLiteral("code"), e.code},
                       {QStringLiteral("AbbrevDesc"), e.AbbrevDesc},
                       {QStringLiteral("Desc"), e.Desc},
                       {QStringLiteral("Joint"), e.Joint},
                       {QStringLiteral("Motion"), e.Motion},
                       {QStringLiteral("Type"), e.Type},
                       {QStringLiteral("Reps"), e.Reps},
                       {QStringLiteral("Hold"), e.Hold},
                       {QStringLiteral("Sets"), e.Sets},
                       {QStringLiteral("Movie"), e.Movie},
                       {QStringLiteral("Icon"), e.Icon},
                       {QStringLiteral("Picture0"), e.Picture0},
                       {QStringLiteral("Picture1"), e.Picture1},
                       {QStringLiteral("Picture2"), e.Picture2},
                       {QStringLiteral("Instruct0"), e.Instruct0},
                       {QStringLiteral("Instruct1"), e.Instruct1},
                       {QStringLiteral("Instruct2"), e.Instruct2},
                       {QStringLiteral("HasVideo"), e.HasVideo},
                       {QStringLiteral("VideoReps"), e.VideoReps},
                       {QStringLiteral("VideoHold"), e.VideoHold},
                       {QStringLiteral("VideoSets"), e.VideoSets},
                       {QStringLiteral("IconSrc"), row.IconSrc}};
}

DeliveredExercise DeliveredExerciseFromJson(const QJsonObject& o)
{
    DeliveredExercise row;
    LibraryEntry& e = row.Entry;
    e.ExerciseID = qint32(IntegerValue(o, "ExerciseID", 1, std::numeric_limits<qint32>::max()));
    try {
        e.code = TextValue(o, "code", true);
        e.AbbrevDesc = TextValue(o, "AbbrevDesc");
        e.Desc = TextValue(o, "Desc");
        e.Joint = TextValue(o, "Joint");
        e.Motion = TextValue(o, "Motion");
        e.Type = TextValue(o, "Type");
        e.Reps = Int16Value(o, "Reps");
        e.Hold = Int16Value(o, "Hold");
        e.Sets = Int16Value(o, "Sets");
        e.Movie = TextValue(o, "Movie");
        e.Icon = TextValue(o, "Icon");
        e.Picture0 = TextValue(o, "Picture0");
        e.Picture1 = TextValue(o, "Picture1");
        e.Picture2 = TextValue(o, "Picture2");
        e.Instruct0 = TextValue(o, "Instruct0");
        e.Instruct1 = TextValue(o, "Instruct1");
        e.Instruct2 = TextValue(o, "Instruct2");
        const QJsonValue video = o.value(QLatin1String("HasVideo"));
        if (!video.isBool())
            throw DbError(Texts::tr("HasVideo must be true or false"));
        e.HasVideo = video.toBool();
        e.VideoReps = Int16Value(o, "VideoReps");
        e.VideoHold = Int16Value(o, "VideoHold");
        e.VideoSets = Int16Value(o, "VideoSets");
        row.IconSrc = Int16Value(o, "IconSrc");
    } catch (const DbError& error) {
        throw DbError(Describe(row) + QStringLiteral(": ") + error.message());
    }
    return row;
}

QList<DeliveredExercise> ReadDeliveredLibrary(const QString& path)
{
    const QJsonDocument doc = ReadJsonDocument(path);
    if (!doc.isArray())
        throw DbError(Texts::tr("\"%1\" must hold a list of exercises").arg(path));
    QList<DeliveredExercise> rows;
    const QJsonArray array = doc.array();
    rows.reserve(array.size());
    for (const QJsonValue& v : array) {
        if (!v.isObject())
            throw DbError(Texts::tr("\"%1\": every exercise must be an object").arg(path));
        try {
            rows << DeliveredExerciseFromJson(v.toObject());
        } catch (const DbError& error) {
            throw DbError(Texts::tr("\"%1\": %2").arg(path, error.message()));
        }
    }
    return rows;
}

void WriteDeliveredLibrary(const QString& path, const QList<DeliveredExercise>& rows)
{
    QJsonArray array;
    for (const DeliveredExercise& row : rows)
        array.append(DeliveredExerciseToJson(row));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw DbError(Texts::tr("Cannot write \"%1\": %2").arg(path, file.errorString()));
    file.write(QJsonDocument(array).toJson(QJsonDocument::Indented));
    if (!file.commit())
        throw DbError(Texts::tr("Cannot write \"%1\": %2").arg(path, file.errorString()));
}

QList<DeliveredPickList> ReadDeliveredPickLists(const QString& path)
{
    // A list of {"Name": ..., "Entries": [...]}: the order of the lists is kept.
    const QJsonDocument doc = ReadJsonDocument(path);
    if (!doc.isArray())
        throw DbError(Texts::tr("\"%1\" must hold a list of pick lists").arg(path));
    QList<DeliveredPickList> lists;
    for (const QJsonValue& v : doc.array()) {
        const QJsonObject o = v.toObject();
        DeliveredPickList list;
        list.Name = o.value(QLatin1String("Name")).toString();
        if (list.Name.isEmpty())
            throw DbError(Texts::tr("\"%1\": a pick list has no name").arg(path));
        const QJsonValue entries = o.value(QLatin1String("Entries"));
        if (!entries.isArray())
            throw DbError(
                Texts::tr("\"%1\": the list \"%2\" has no entries list").arg(path, list.Name));
        for (const QJsonValue& entry : entries.toArray()) {
            if (!entry.isString())
                throw DbError(
                    Texts::tr("\"%1\": an entry of \"%2\" is not a text").arg(path, list.Name));
            list.Entries << entry.toString();
        }
        lists << list;
    }
    return lists;
}

void InsertLibraryRows(const QSqlDatabase& db, const QList<DeliveredExercise>& rows)
{
    for (const DeliveredExercise& row : rows) {
        const QStringList problems = CheckDeliveredExercise(row);
        if (!problems.isEmpty())
            throw DbError(Describe(row) + QStringLiteral(": ") +
                          problems.join(QStringLiteral("; ")));
    }
    Transaction transaction(db);
    {
        QSqlQuery q(db);
        ThrowIfFailed(
            q,
            q.prepare(QStringLiteral(
                "INSERT INTO ExerciseLibrary (ExerciseID, code, \"Desc\", AbbrevDesc, Joint, "
                "Motion, "
                "Type, Reps, Hold, Sets, Movie, Icon, Picture0, Picture1, Picture2, Instruct0, "
                "Instruct1, Instruct2, HasVideo, VideoReps, VideoHold, VideoSets, IconSrc, UUID) "
                "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                "?)")));
        for (const DeliveredExercise& row : rows) {
            const LibraryEntry& e = row.Entry;
            const QVariantList values{e.ExerciseID,
                                      e.code,
                                      e.Desc,
                                      e.AbbrevDesc,
                                      e.Joint,
                                      e.Motion,
                                      e.Type,
                                      e.Reps,
                                      e.Hold,
                                      e.Sets,
                                      e.Movie,
                                      e.Icon,
                                      e.Picture0,
                                      e.Picture1,
                                      e.Picture2,
                                      e.Instruct0,
                                      e.Instruct1,
                                      e.Instruct2,
                                      e.HasVideo ? 1 : 0,
                                      e.VideoReps,
                                      e.VideoHold,
                                      e.VideoSets,
                                      row.IconSrc,
                                      IsDeliveredExercise(e.ExerciseID)
                                          ? QVariant(DeliveredExerciseUuid(e.ExerciseID))
                                          : QVariant()};
            for (int i = 0; i < values.size(); ++i)
                q.bindValue(i, values.at(i));
            if (!q.exec())
                throw DbError(Describe(row) + QStringLiteral(": ") + EngineText(q.lastError()),
                              EngineCode(q.lastError()));
        }
    }
    transaction.Commit();
}

void InsertPickLists(const QSqlDatabase& db, const QList<DeliveredPickList>& lists)
{
    for (const DeliveredPickList& list : lists) {
        const int max =
            list.Name == QLatin1String("Provider") ? PickListEntryLimit : OtherPickListEntryLimit;
        for (const QString& entry : list.Entries) {
            if (entry.isEmpty() || StoredLength(entry) > max)
                throw DbError(
                    QStringLiteral(
                        "The entry \"%1\" of the list \"%2\" must have 1 to %3 characters")
                        .arg(entry, list.Name)
                        .arg(max));
        }
    }
    Transaction transaction(db);
    // Lists and entries share one numbering, as the pick-list editor writes them.
    qint16 next = 1;
    for (const DeliveredPickList& list : lists) {
        const qint16 labelID = next++;
        Exec(db, QStringLiteral("INSERT INTO Label (ID, Name) VALUES (?, ?)"),
             {labelID, list.Name});
        for (const QString& entry : list.Entries) {
            if (next == std::numeric_limits<qint16>::max())
                throw DbError(Texts::tr("Too many pick-list entries"));
            Exec(db, QStringLiteral("INSERT INTO Level1 (ID, Name, LabelID) VALUES (?, ?, ?)"),
                 {next++, entry, labelID});
        }
    }
    transaction.Commit();
}

int AddMissingDeliveredRows(const QSqlDatabase& db, const QList<DeliveredExercise>& rows)
{
    QSet<qint32> present;
    QSqlQuery q =
        Exec(db,
             QStringLiteral(
                 "SELECT ExerciseID FROM ExerciseLibrary WHERE ExerciseID < ? OR ExerciseID = ?"),
             {FirstUserExerciseID, ProbeExerciseID});
    while (q.next())
        present.insert(q.value(0).toInt());
    ThrowIfFailed(q.lastError());
    q.finish();
    QList<DeliveredExercise> missing;
    for (const DeliveredExercise& row : rows) {
        const qint32 id = row.Entry.ExerciseID;
        if ((id < FirstUserExerciseID || id == ProbeExerciseID) && !present.contains(id))
            missing << row;
    }
    if (!missing.isEmpty())
        InsertLibraryRows(db, missing);
    return int(missing.size());
}

int AddMissingDeliveredExercises(const QSqlDatabase& db, const QString& deliveredFolder)
{
    if (deliveredFolder.isEmpty())
        return 0;
    const QString library = ResolvePath(JoinPath(deliveredFolder, DeliveredLibraryFileName));
    if (!QFileInfo(library).isFile())
        return 0;
    return AddMissingDeliveredRows(db, ReadDeliveredLibrary(library));
}

void FillDeliveredData(const QString& mainPath, const QString& libraryPath,
                       const QString& picklistPath, const QString& deliveredFolder)
{
    // The main file keeps only its empty clinic record, created with the schema.
    Q_UNUSED(mainPath);
    if (deliveredFolder.isEmpty())
        return;
    const QString library = ResolvePath(JoinPath(deliveredFolder, DeliveredLibraryFileName));
    if (QFileInfo(library).isFile()) {
        const QList<DeliveredExercise> rows = ReadDeliveredLibrary(library);
        ScopedConnection connection(libraryPath);
        InsertLibraryRows(connection.Db(), rows);
    }
    const QString picklists = ResolvePath(JoinPath(deliveredFolder, DeliveredPickListsFileName));
    if (QFileInfo(picklists).isFile()) {
        const QList<DeliveredPickList> lists = ReadDeliveredPickLists(picklists);
        ScopedConnection connection(picklistPath);
        InsertPickLists(connection.Db(), lists);
    }
}

} // namespace tramelle
