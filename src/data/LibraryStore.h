#pragma once

#include "DeliveredData.h"
#include "LibraryEntry.h"
#include "Outcome.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>

namespace tramelle {

class AppContext;

// Exercises added by the clinic are numbered from here (the limits of the columns and
// the first deletable number are in DeliveredData.h).
inline constexpr qint32 FirstClinicExercise = 100000;

// One row of the library list.
struct LibraryListRow
{
    qint32 ExerciseID = 0;
    QString Code;
    QString Desc;
    QString Joint;
    QString Motion;
    QString Type;
    bool DescIsNull = false;
};

// A whole library row as the exercise editor works on it.
struct LibraryRecord
{
    LibraryEntry Entry;
    qint16 IconSrc = 0;
    std::array<QString, 3> PictureSrc;
};

// Every exercise of the library, in the engine's order. Throws DbError.
QList<LibraryListRow> ReadLibraryList(const QSqlDatabase& db);

// The number of a new exercise: the highest + 1, at least FirstClinicExercise (an empty
// library gives FirstClinicExercise); "Overflow: ..." when no number is left. Throws
// DbError.
Result<qint32> NextExerciseID(const QSqlDatabase& db);

// The row of an exercise; nothing when there is none. Throws DbError.
std::optional<LibraryRecord> ReadExercise(const QSqlDatabase& db, qint32 exerciseId);

// The distinct values of Joint, Motion or Type (any other column throws DbError), in the
// engine's order; null reads as "".
QStringList DistinctColumnValues(const QSqlDatabase& db, const QString& column);

// A file that is to replace `destination` when the row is stored: written beforehand to
// `prepared` in the destination's folder.
struct PreparedFile
{
    QString prepared;
    QString destination;
};

// Stores a row (inserted when `isNew`, otherwise replacing the row of its ExerciseID) and
// puts the prepared files into place, as one step: when anything fails the old row and
// the old files stay as they were and the prepared files are removed. A file that cannot
// be put in place, or a row that is gone, gives the reason; the engine's errors throw
// DbError.
Outcome StoreExercise(const QSqlDatabase& db, const LibraryRecord& record, bool isNew,
                      const QList<PreparedFile>& files = {});

// Adds a row with its identity inside the caller's transaction. Throws DbError.
void InsertExerciseRow(const QSqlDatabase& db, const LibraryRecord& record, const QString& uuid);

// Runs `work` in one transaction on `db` and puts the prepared files into place with it,
// as StoreExercise does: when anything fails (the work included) nothing is stored, the
// old files stay and the prepared ones are removed. A file that cannot be put in place,
// or the work's own reason, is returned; the engine's errors throw DbError.
Outcome StoreWithFiles(const QSqlDatabase& db, const QList<PreparedFile>& files,
                       const std::function<Outcome()>& work);

// Deletes one exercise (programs and protocols keep their own copies). Throws DbError.
void DeleteExercise(const QSqlDatabase& db, qint32 exerciseId);

// Every carriage return becomes one blank and every line feed goes.
QString StripLineBreaks(const QString& text);

// StripLineBreaks over the three instruction texts of every row, in one transaction
// (a null text stays null). Returns the number of rows changed. Throws DbError.
int CleanInstructionTexts(const QSqlDatabase& db);

// Copies an exercise under the next free number: its row, and its pictures and icon into
// the clinic's folders (from wherever they are found). Returns the new number, or why
// there is none; the engine's errors throw DbError. On a failure nothing is left behind.
Result<qint32> DuplicateExercise(AppContext& ctx, qint32 exerciseId);

} // namespace tramelle
