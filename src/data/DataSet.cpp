#include "DataSet.h"

#include "AppContext.h"
#include "DbError.h"
#include "DeliveredData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>

#include <limits>

namespace tramelle {

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("DataSet", text);
}

// Longer texts are refused rather than cut: no exercise has such a name or sentence.
constexpr int SourceTextLimit = 1000;
constexpr int MaxPictures = 3;
constexpr qint16 DefaultReps = 10;
constexpr qint16 DefaultSets = 1;

QHash<QString, QString> Table(const QJsonObject& top, const char* key, const QString& path)
{
    const QJsonValue v = top.value(QLatin1String(key));
    if (!v.isObject())
        throw DbError(Tr("\"%1\" has no table \"%2\".").arg(path, QLatin1String(key)));
    QHash<QString, QString> table;
    const QJsonObject o = v.toObject();
    for (auto it = o.begin(); it != o.end(); ++it)
        table.insert(it.key().toLower(), it.value().toString());
    return table;
}

QString Text(const QJsonObject& o, const char* key, const QString& what)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull())
        return {};
    if (!v.isString())
        throw DbError(Tr("%1: %2 must be a text.").arg(what, QLatin1String(key)));
    if (v.toString().size() > SourceTextLimit)
        throw DbError(Tr("%1: %2 has %3 characters; at most %4 are read.")
                          .arg(what, QLatin1String(key))
                          .arg(v.toString().size())
                          .arg(SourceTextLimit));
    return v.toString().simplified();
}

QStringList Texts(const QJsonObject& o, const char* key, const QString& what)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull())
        return {};
    if (!v.isArray())
        throw DbError(Tr("%1: %2 must be a list of texts.").arg(what, QLatin1String(key)));
    QStringList texts;
    for (const QJsonValue& item : v.toArray()) {
        if (!item.isString())
            throw DbError(Tr("%1: %2 must be a list of texts.").arg(what, QLatin1String(key)));
        if (item.toString().size() > SourceTextLimit)
            throw DbError(Tr("%1: a text of %2 has %3 characters; at most %4 are read.")
                              .arg(what, QLatin1String(key))
                              .arg(item.toString().size())
                              .arg(SourceTextLimit));
        texts << item.toString().simplified();
    }
    return texts;
}

bool StaysInside(const QString& relative)
{
    if (relative.isEmpty() || relative.startsWith(QLatin1Char('/')) ||
        relative.startsWith(QLatin1Char('\\')) ||
        (relative.size() > 1 && relative.at(1) == QLatin1Char(':')))
        return false;
    for (const QString& part : NormalizeSlashes(relative).split(QLatin1Char('/')))
        if (part == QLatin1String(".."))
            return false;
    return true;
}

// Sentences fill the three instructions in turn, as many to a line as fit.
QStringList PackInstructions(const QStringList& sentences, QStringList& notes)
{
    QStringList lines;
    QString line;
    for (const QString& sentence : sentences) {
        if (sentence.isEmpty())
            continue;
        const QString joined = line.isEmpty() ? sentence : line + QLatin1Char(' ') + sentence;
        if (joined.size() <= InstructLimit) {
            line = joined;
            continue;
        }
        if (!line.isEmpty())
            lines << line;
        QString rest;
        line = CutAtWord(sentence, InstructLimit, &rest);
        if (!rest.isEmpty() && lines.size() < MaxPictures - 1) {
            // The rest of a long sentence goes on the next line.
            lines << line;
            line = CutAtWord(rest, InstructLimit, &rest);
        }
        if (!rest.isEmpty())
            notes << Tr("instruction cut: \"...%1\" left out").arg(rest);
    }
    if (!line.isEmpty())
        lines << line;
    while (lines.size() > MaxPictures)
        notes << Tr("instruction left out: \"%1\"").arg(lines.takeLast());
    return lines;
}

} // namespace

QString CutAtWord(const QString& text, int limit, QString* rest)
{
    const QString t = text.simplified();
    if (t.size() <= limit) {
        if (rest)
            rest->clear();
        return t;
    }
    qsizetype cut = t.lastIndexOf(QLatin1Char(' '), limit);
    if (cut <= 0)
        cut = limit;
    if (rest)
        *rest = t.mid(cut).trimmed();
    return t.left(cut).trimmed();
}

DataSetMapping ReadDataSetMapping(const QString& path)
{
    const QJsonDocument doc = ReadJsonDocument(path);
    DataSetMapping m;
    m.Joints = Table(doc.object(), "joints", path);
    m.Types = Table(doc.object(), "types", path);
    m.Motions = Table(doc.object(), "motions", path);
    return m;
}

QList<DataSetExercise> ReadDataSet(const QByteArray& json, const DataSetMapping& mapping)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        throw DbError(Tr("The data set is no valid JSON (at offset %1).").arg(error.offset));
    if (!doc.isArray())
        throw DbError(Tr("The data set must be a list of exercises."));
    QList<DataSetExercise> list;
    const QJsonArray array = doc.array();
    for (int i = 0; i < array.size(); ++i) {
        QString what = Tr("Exercise %1 of the data set").arg(i + 1);
        if (!array.at(i).isObject())
            throw DbError(Tr("%1 is not an object.").arg(what));
        const QJsonObject o = array.at(i).toObject();
        DataSetExercise x;
        x.SourceId = Text(o, "id", what);
        x.Name = Text(o, "name", what);
        if (x.Name.isEmpty())
            throw DbError(Tr("%1 has no name.").arg(what));
        what = Tr("%1 (\"%2\")").arg(what, x.Name.left(60));
        const QString force = Text(o, "force", what).toLower();
        const QString mechanic = Text(o, "mechanic", what).toLower();
        const QString category = Text(o, "category", what).toLower();
        Text(o, "level", what);
        Text(o, "equipment", what);
        const QStringList primary = Texts(o, "primaryMuscles", what);
        Texts(o, "secondaryMuscles", what);
        const QStringList instructions = Texts(o, "instructions", what);
        x.Images = Texts(o, "images", what);
        for (const QString& image : x.Images)
            if (!StaysInside(image))
                throw DbError(Tr("%1: the image \"%2\" is outside the image folder.")
                                  .arg(what, image.left(80)));

        LibraryEntry& e = x.Record.Entry;
        QString rest;
        e.Desc = CutAtWord(x.Name, DescLimit, &rest);
        if (!rest.isEmpty())
            x.Notes << Tr("name cut to \"%1\"").arg(e.Desc);
        e.AbbrevDesc = CutAtWord(x.Name, AbbrevDescLimit);
        QStringList joints;
        for (const QString& muscle : primary) {
            const QString joint = mapping.Joints.value(muscle.toLower());
            if (joint.isEmpty())
                x.Notes << Tr("no joint for the muscle \"%1\"").arg(muscle);
            else if (!joints.contains(joint) && joints.size() < 2)
                joints << joint;
        }
        e.Joint = joints.join(QStringLiteral(", "));
        e.Type = mapping.Types.value(category);
        if (e.Type.isEmpty())
            x.Notes << Tr("no type for the category \"%1\"").arg(category);
        e.Motion = mapping.Motions.value(force.isEmpty() ? mechanic : force);
        if (e.Motion.isEmpty())
            x.Notes << Tr("no motion for \"%1\"").arg(force.isEmpty() ? mechanic : force);
        const QStringList lines = PackInstructions(instructions, x.Notes);
        e.Instruct0 = lines.value(0);
        e.Instruct1 = lines.value(1);
        e.Instruct2 = lines.value(2);
        e.Reps = DefaultReps;
        e.Sets = DefaultSets;
        if (x.Images.size() > MaxPictures)
            x.Notes << Tr("%1 images left out").arg(x.Images.size() - MaxPictures);
        x.Images = x.Images.mid(0, MaxPictures);
        for (int p = 0; p < x.Images.size(); ++p)
            x.Record.PictureSrc[size_t(p)] = x.Images.at(p).left(ShareTextLimit);
        x.Record.IconSrc = x.Images.isEmpty() ? 0 : 1;
        list << x;
    }
    return list;
}

ShareImportResult ImportDataSet(AppContext& ctx, const QList<DataSetExercise>& exercises,
                                const QString& imageFolder, const DataSetWriters& writers)
{
    ShareImportResult result;
    const Result<qint32> firstFree = NextExerciseID(ctx.Db.LibraryDb());
    if (!firstFree)
        throw DbError(firstFree.Reason());
    qint64 next = firstFree.Value();
    QList<ImportExercise> items;
    for (const DataSetExercise& x : exercises) {
        if (next > std::numeric_limits<qint32>::max())
            throw DbError(Tr("The library has no free number left."));
        ImportExercise item;
        item.Record = x.Record;
        LibraryEntry& e = item.Record.Entry;
        e.ExerciseID = qint32(next++);
        e.code = QString::number(e.ExerciseID);
        QString* names[] = {&e.Picture0, &e.Picture1, &e.Picture2};
        for (int p = 0; p < x.Images.size(); ++p) {
            const QString source = JoinPath(imageFolder, NormalizeSlashes(x.Images.at(p)));
            *names[p] = PictureFileName(e.ExerciseID, p + 1);
            item.Media.append(
                {MediaKind::Picture, *names[p],
                 [source, w = writers.Picture](QIODevice& out) { return w(source, out); }});
            if (p == 0) {
                e.Icon = IconFileName(e.ExerciseID);
                item.Media.append(
                    {MediaKind::Icon, e.Icon,
                     [source, w = writers.Icon](QIODevice& out) { return w(source, out); }});
            }
        }
        for (const QString& note : x.Notes)
            result.Notes << QStringLiteral("%1 %2: %3").arg(e.ExerciseID).arg(e.Desc, note);
        items << item;
    }
    StoreImport(ctx, items, {}, Tr("Importing Exercises"), result);
    return result;
}

} // namespace tramelle
