#include "LibraryCache.h"

#include "AppContext.h"
#include "DbError.h"
#include "DeliveredData.h"
#include "Paths.h"
#include "TextHelpers.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <limits>
#include <numeric>
#include <vector>

namespace tramelle {

namespace {

// The messages of this file, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(tramelle::LibraryCache)
};

// LIKE's wildcards in a joint name are matched as themselves.
QString LikeContains(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('%'), QStringLiteral("\\%"));
    escaped.replace(QLatin1Char('_'), QStringLiteral("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

QString Placeholders(qsizetype count)
{
    QStringList marks;
    for (qsizetype i = 0; i < count; ++i)
        marks << QStringLiteral("?");
    return marks.join(QStringLiteral(", "));
}

[[noreturn]] void ThrowNull(const char* column)
{
    throw DbError(Texts::tr("Invalid use of Null: the column %1 of an exercise is empty")
                      .arg(QLatin1String(column)));
}

const QVariant& Required(const QVariant& v, const char* column)
{
    if (v.isNull())
        ThrowNull(column);
    return v;
}

qint16 RequiredInt16(const QVariant& v, const char* column)
{
    bool ok = false;
    const qlonglong n = Required(v, column).toLongLong(&ok);
    if (!ok)
        return StoredInteger(v);
    if (n < std::numeric_limits<qint16>::min() || n > std::numeric_limits<qint16>::max())
        throw DbError(Texts::tr("Overflow: %1 of %2 does not fit a 16-bit integer")
                          .arg(n)
                          .arg(QLatin1String(column)));
    return static_cast<qint16>(n);
}

QString OptionalText(const QSqlQuery& q, int column)
{
    return column < 0 ? QString() : NullToText(q.value(column));
}

QString SelectColumns()
{
    return QStringLiteral("SELECT ExerciseID, code, Desc, AbbrevDesc, Joint, Motion, Type, Reps, "
                          "Hold, Sets, Movie, Icon, "
                          "Picture0, Picture1, Picture2, Instruct0, Instruct1, Instruct2, "
                          "HasVideo, VideoReps, VideoHold, "
                          "VideoSets, IconSrc FROM ExerciseLibrary");
}

// The order of "ORDER BY AbbrevDesc COLLATE NOCASE, ExerciseID": letters A to Z compare
// as a to z, everything else by its code.
bool LibraryOrder(const LibraryEntry& a, const LibraryEntry& b)
{
    const QString& x = a.AbbrevDesc;
    const QString& y = b.AbbrevDesc;
    const char16_t* px = reinterpret_cast<const char16_t*>(x.constData());
    const char16_t* py = reinterpret_cast<const char16_t*>(y.constData());
    const qsizetype n = std::min(x.size(), y.size());
    for (qsizetype i = 0; i < n; ++i) {
        char16_t cx = px[i];
        char16_t cy = py[i];
        if (cx == cy)
            continue;
        if (cx >= u'A' && cx <= u'Z')
            cx += u'a' - u'A';
        if (cy >= u'A' && cy <= u'Z')
            cy += u'a' - u'A';
        if (cx != cy)
            return cx < cy;
    }
    if (x.size() != y.size())
        return x.size() < y.size();
    return a.ExerciseID < b.ExerciseID;
}

Outcome RunInto(AppContext& ctx, const LibraryFilter& filter)
{
    if (!ctx.Db.LibraryRecordset.Open)
        return Outcome::Failed(QCoreApplication::translate("tramelle::LibraryCache",
                                                           "The exercise library is not open"));
    const QSqlDatabase db = ctx.Db.LibraryDb();
    // The exact count first, so that the cache is sized once.
    const BoundStatement condition = LibraryFilterCondition(filter);
    QSqlQuery count =
        Exec(db, QStringLiteral("SELECT COUNT(*) FROM ExerciseLibrary") + condition.Sql,
             condition.Values);
    const qsizetype rows = count.next() ? count.value(0).toLongLong() : 0;
    count.finish();
    if (rows == 0)
        return Outcome::Done();
    // Sorting here costs a fraction of the engine's sorter, which copies every whole row.
    QSqlQuery query = Exec(db, SelectColumns() + condition.Sql, condition.Values);
    if (Outcome filled = FillLibraryFromRecordset(ctx, query, rows); !filled)
        return filled;
    QList<LibraryEntry>& entries = ctx.Library.Entries;
    entries.removeIf([&](const LibraryEntry& e) {
        return !LibraryFilterAccepts(filter, e.Joint, e.Motion, e.Type);
    });
    ctx.Library.LibraryCount = static_cast<qint16>(entries.size());
    // Positions are sorted, then each entry moves once.
    std::vector<qsizetype> order(static_cast<size_t>(entries.size()));
    std::iota(order.begin(), order.end(), qsizetype(0));
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        return LibraryOrder(entries[a], entries[b]);
    });
    QList<LibraryEntry> sorted;
    sorted.reserve(entries.size());
    for (qsizetype i : order)
        sorted.append(std::move(entries[i]));
    entries = std::move(sorted);
    return Outcome::Done();
}

} // namespace

BoundStatement LibraryFilterCondition(const LibraryFilter& filter)
{
    // The engine folds the case of ASCII letters only: a criterion with any other letter
    // is left to LibraryFilterAccepts, which the rows read are checked with.
    auto ascii = [](const QStringList& values) {
        return std::all_of(values.begin(), values.end(), [](const QString& v) {
            return std::all_of(v.begin(), v.end(), [](QChar c) { return c.unicode() < 0x80; });
        });
    };
    BoundStatement s;
    QStringList conditions;
    if (!filter.Joints.isEmpty() && ascii(filter.Joints)) {
        QStringList any;
        for (const QString& joint : filter.Joints) {
            any << QStringLiteral("Joint LIKE ? ESCAPE '\\'");
            s.Values << LikeContains(joint);
        }
        conditions << QLatin1Char('(') + any.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    }
    if (!filter.Motions.isEmpty() && ascii(filter.Motions)) {
        conditions << QStringLiteral("Motion COLLATE NOCASE IN (%1)")
                          .arg(Placeholders(filter.Motions.size()));
        for (const QString& m : filter.Motions)
            s.Values << m;
    }
    if (!filter.Types.isEmpty() && ascii(filter.Types)) {
        conditions
            << QStringLiteral("Type COLLATE NOCASE IN (%1)").arg(Placeholders(filter.Types.size()));
        for (const QString& t : filter.Types)
            s.Values << t;
    }
    if (!conditions.isEmpty())
        s.Sql = QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    return s;
}

bool LibraryFilterAccepts(const LibraryFilter& filter, const QString& joint, const QString& motion,
                          const QString& type)
{
    auto equalsOne = [](const QStringList& values, const QString& text) {
        return values.isEmpty() || std::any_of(values.begin(), values.end(), [&](const QString& v) {
                   return QString::compare(v, text, Qt::CaseInsensitive) == 0;
               });
    };
    const bool jointOk =
        filter.Joints.isEmpty() ||
        std::any_of(filter.Joints.begin(), filter.Joints.end(),
                    [&](const QString& j) { return joint.contains(j, Qt::CaseInsensitive); });
    return jointOk && equalsOne(filter.Motions, motion) && equalsOne(filter.Types, type);
}

BoundStatement LibrarySnapshotStatement(const LibraryFilter& filter)
{
    BoundStatement s = LibraryFilterCondition(filter);
    s.Sql.prepend(SelectColumns());
    // Letter case does not decide the order; equal descriptions keep the order of their ids.
    s.Sql += QStringLiteral(" ORDER BY AbbrevDesc COLLATE NOCASE ASC, ExerciseID ASC");
    return s;
}

Outcome LoadLibraryCache(AppContext& ctx)
{
    ctx.Library.Entries.clear();
    ctx.Library.LibraryCount = 0;
    ctx.Library.DragMode = DragMode::Insert;
    return RunInto(ctx, LibraryFilter{});
}

Outcome LoadLibraryCacheFiltered(AppContext& ctx)
{
    ctx.Library.Entries.clear();
    ctx.Library.LibraryCount = 0;
    return RunInto(ctx, ctx.Db.LibraryRecordset.Filter);
}

Outcome FillLibraryFromRecordset(AppContext& ctx, QSqlQuery& query, qsizetype expectedRows)
{
    QList<LibraryEntry> entries;
    entries.reserve(std::min<qsizetype>(std::max<qsizetype>(expectedRows, query.size()),
                                        std::numeric_limits<qint16>::max()));
    const EntryColumns columns(query.record());
    while (query.next()) {
        if (entries.size() >= std::numeric_limits<qint16>::max())
            return Outcome::Failed(QCoreApplication::translate(
                "tramelle::LibraryCache",
                "Overflow: the library offers more than 32767 exercises"));
        entries.append(ReadEntry(query, columns));
    }
    ThrowIfFailed(query.lastError());
    ctx.Library.LibraryCount = static_cast<qint16>(entries.size());
    ctx.Library.Entries = std::move(entries);
    return Outcome::Done();
}

EntryColumns::EntryColumns(const QSqlRecord& r)
    : ExerciseID(r.indexOf(QStringLiteral("ExerciseID"))), code(r.indexOf(QStringLiteral("code"))),
      Desc(r.indexOf(QStringLiteral("Desc"))), AbbrevDesc(r.indexOf(QStringLiteral("AbbrevDesc"))),
      Joint(r.indexOf(QStringLiteral("Joint"))), Motion(r.indexOf(QStringLiteral("Motion"))),
      Type(r.indexOf(QStringLiteral("Type"))), Reps(r.indexOf(QStringLiteral("Reps"))),
      Hold(r.indexOf(QStringLiteral("Hold"))), Sets(r.indexOf(QStringLiteral("Sets"))),
      Movie(r.indexOf(QStringLiteral("Movie"))), Icon(r.indexOf(QStringLiteral("Icon"))),
      Picture0(r.indexOf(QStringLiteral("Picture0"))),
      Picture1(r.indexOf(QStringLiteral("Picture1"))),
      Picture2(r.indexOf(QStringLiteral("Picture2"))),
      Instruct0(r.indexOf(QStringLiteral("Instruct0"))),
      Instruct1(r.indexOf(QStringLiteral("Instruct1"))),
      Instruct2(r.indexOf(QStringLiteral("Instruct2"))),
      HasVideo(r.indexOf(QStringLiteral("HasVideo"))),
      VideoReps(r.indexOf(QStringLiteral("VideoReps"))),
      VideoHold(r.indexOf(QStringLiteral("VideoHold"))),
      VideoSets(r.indexOf(QStringLiteral("VideoSets"))),
      IconSrc(r.indexOf(QStringLiteral("IconSrc")))
{
    const int required[] = {ExerciseID, code, Reps, Hold, Sets, HasVideo};
    for (int index : required) {
        if (index < 0)
            throw DbError(Texts::tr("An exercise column is missing from the query"));
    }
}

LibraryEntry ReadEntry(const QSqlQuery& q, const EntryColumns& c)
{
    LibraryEntry e;
    e.ExerciseID = static_cast<qint32>(Required(q.value(c.ExerciseID), "ExerciseID").toLongLong());
    e.code = Required(q.value(c.code), "code").toString();
    e.Desc = OptionalText(q, c.Desc);
    e.AbbrevDesc = OptionalText(q, c.AbbrevDesc);
    e.Joint = OptionalText(q, c.Joint);
    e.Motion = OptionalText(q, c.Motion);
    e.Type = OptionalText(q, c.Type);
    e.Reps = RequiredInt16(q.value(c.Reps), "Reps");
    e.Hold = RequiredInt16(q.value(c.Hold), "Hold");
    e.Sets = RequiredInt16(q.value(c.Sets), "Sets");
    e.Movie = OptionalText(q, c.Movie);
    e.Icon = OptionalText(q, c.Icon);
    e.Picture0 = OptionalText(q, c.Picture0);
    e.Picture1 = OptionalText(q, c.Picture1);
    e.Picture2 = OptionalText(q, c.Picture2);
    e.Instruct0 = OptionalText(q, c.Instruct0);
    e.Instruct1 = OptionalText(q, c.Instruct1);
    e.Instruct2 = OptionalText(q, c.Instruct2);
    e.HasVideo = Required(q.value(c.HasVideo), "HasVideo").toLongLong() != 0;
    e.VideoReps = c.VideoReps < 0 ? 0 : StoredInteger(q.value(c.VideoReps));
    e.VideoHold = c.VideoHold < 0 ? 0 : StoredInteger(q.value(c.VideoHold));
    e.VideoSets = c.VideoSets < 0 ? 0 : StoredInteger(q.value(c.VideoSets));
    e.IconSrc = c.IconSrc < 0 ? 0 : StoredInteger(q.value(c.IconSrc));
    return e;
}

const QString& IconSourcePicture(const LibraryEntry& entry)
{
    switch (entry.IconSrc) {
    case 2:
        return entry.Picture1;
    case 3:
        return entry.Picture2;
    default:
        return entry.Picture0;
    }
}

QString ConfiguredMediaFolder(const AppContext& ctx, MediaKind kind)
{
    switch (kind) {
    case MediaKind::Picture:
        return ctx.Settings.PictureFolder;
    case MediaKind::Icon:
        return ctx.Settings.IconFolder;
    case MediaKind::Movie:
        break;
    }
    return ctx.Settings.MovieFolder;
}

QString FindMediaFile(const AppContext& ctx, MediaKind kind, const QString& name)
{
    return ResolveMediaFile(ClinicMediaFolder(ctx.AppFolder(), kind),
                            ConfiguredMediaFolder(ctx, kind), name);
}

QString ClinicMediaPath(const AppContext& ctx, MediaKind kind, const QString& name)
{
    return ClinicMediaFolder(ctx.AppFolder(), kind) + name;
}

// The file that is read: the clinic's own when it exists, otherwise the configured one.
QString PicturePath(const AppContext& ctx, qint32 exerciseId, qint16 number)
{
    const QString name = PictureFileName(exerciseId, number);
    const QString found = FindMediaFile(ctx, MediaKind::Picture, name);
    if (!found.isEmpty())
        return found;
    const QString& folder = ctx.Settings.PictureFolder;
    return folder.isEmpty() ? name : WithTrailingSlash(folder) + name;
}

QString IconPath(const AppContext& ctx, qint32 exerciseId)
{
    const QString name = IconFileName(exerciseId);
    const QString found = FindMediaFile(ctx, MediaKind::Icon, name);
    if (!found.isEmpty())
        return found;
    const QString& folder = ctx.Settings.IconFolder;
    return folder.isEmpty() ? name : WithTrailingSlash(folder) + name;
}

} // namespace tramelle
