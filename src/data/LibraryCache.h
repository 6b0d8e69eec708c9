#pragma once

#include "LibraryEntry.h"
#include "Outcome.h"
#include "Paths.h"
#include "ProgramRules.h"

#include <QList>
#include <QSqlRecord>
#include <QString>
#include <QVariantList>

class QSqlQuery;

namespace tramelle {

class AppContext;
struct LibraryFilter;

// The library rows currently offered, in AbbrevDesc order: the whole library after
// start-up, or the rows passing the selection window's filter.
struct LibraryCache
{
    QList<LibraryEntry> Entries; // the "Library" array; entries 0 to LibraryCount - 1
    qint16 LibraryCount = 0;
    tramelle::DragMode DragMode =
        tramelle::DragMode::Insert; // how the selection window moves a dropped slot
};

// A statement with its bound values.
struct BoundStatement
{
    QString Sql;
    QVariantList Values;
};

// The library snapshot's statement: every cached column of ExerciseLibrary, the rows
// that may pass the filter (see LibraryFilterCondition), in AbbrevDesc order.
BoundStatement LibrarySnapshotStatement(const LibraryFilter& filter);
// The filter's condition alone: " WHERE ..." with its values, or an empty statement when
// the filter is empty. It may pass more rows than the filter (the engine folds the case of
// ASCII letters only); LibraryFilterAccepts decides for each row read.
BoundStatement LibraryFilterCondition(const LibraryFilter& filter);
// Whether a row with these columns passes the filter: a selected joint contained in its
// Joint text, its Motion and its Type equal to a selected one, letter case ignored.
bool LibraryFilterAccepts(const LibraryFilter& filter, const QString& joint, const QString& motion,
                          const QString& type);

// Rebuilds the cache from the whole library; resets DragMode. The reason when the
// library is not open or offers more than 32767 exercises (the cache is then empty);
// throws DbError for the engine's errors and a row with a null required column.
Outcome LoadLibraryCache(AppContext& ctx);
// Rebuilds the cache from the rows that pass ctx.Db.LibraryRecordset.Filter; an empty
// result leaves the cache empty. Fails as LoadLibraryCache does.
Outcome LoadLibraryCacheFiltered(AppContext& ctx);
// Replaces the cache by every row of an executed query, from its first row on; the
// reason beyond 32767 rows, DbError on a row with a null required column. `expectedRows`
// sizes the cache once when the caller knows the count.
Outcome FillLibraryFromRecordset(AppContext& ctx, QSqlQuery& query, qsizetype expectedRows = 0);

// Column positions of an exercise row, found once per query by name; -1 when absent
// (Joint, Motion and Type are not stored with programs and protocols).
struct EntryColumns
{
    explicit EntryColumns(const QSqlRecord& record);
    int ExerciseID, code, Desc, AbbrevDesc, Joint, Motion, Type, Reps, Hold, Sets, Movie, Icon,
        Picture0, Picture1, Picture2, Instruct0, Instruct1, Instruct2, HasVideo, VideoReps,
        VideoHold, VideoSets, IconSrc;
};

// One exercise row (library, program or protocol) with the conversions of the cache:
// null texts read as "", null video values as 0; a null code, Reps, Hold, Sets or
// HasVideo throws DbError.
LibraryEntry ReadEntry(const QSqlQuery& query, const EntryColumns& columns);

// The picture the entry's icon was made from (IconSrc), else Picture0.
const QString& IconSourcePicture(const LibraryEntry& entry);

// PictureFolder + id + "_" + number + ".JPG" ("385_1.JPG").
QString PicturePath(const AppContext& ctx, qint32 exerciseId, qint16 number);
// IconFolder + id + ".JPG".
QString IconPath(const AppContext& ctx, qint32 exerciseId);

// A picture, icon or movie named in a library row: the clinic's own file when there is
// one, otherwise the configured folder's; "" when neither holds a regular file.
QString FindMediaFile(const AppContext& ctx, MediaKind kind, const QString& name);
// The configured folder of a kind (PictureFolder, IconFolder, MovieFolder).
QString ConfiguredMediaFolder(const AppContext& ctx, MediaKind kind);
// Where the program writes a file of that kind: the clinic's folder.
QString ClinicMediaPath(const AppContext& ctx, MediaKind kind, const QString& name);

} // namespace tramelle
