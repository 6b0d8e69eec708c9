#pragma once

#include "LibraryEntry.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace tramelle {

// Names of the delivered sample data files in the delivered folder.
inline const QString DeliveredLibraryFileName = QStringLiteral("library.json");
inline const QString DeliveredPickListsFileName = QStringLiteral("picklists.json");

// Limits of the library columns, as the library editor enforces them.
inline constexpr int AbbrevDescLimit = 15;
inline constexpr int DescLimit = 50;
inline constexpr int InstructLimit = 75;
inline constexpr int PickListEntryLimit = 40;      // the "Provider" list
inline constexpr int OtherPickListEntryLimit = 20; // every other list

// Exercises numbered below this are delivered with the program and cannot be deleted.
inline constexpr qint32 FirstUserExerciseID = 244;
// The delivered exercise whose first picture shows that the picture folder is there.
inline constexpr qint32 ProbeExerciseID = 385;

// True for the numbers of the exercises delivered with the program.
bool IsDeliveredExercise(qint32 exerciseID);
// The identity of a delivered exercise: derived from its number, so the same in every
// clinic. Empty for any other number (those get random ones).
QString DeliveredExerciseUuid(qint32 exerciseID);

// File names of an exercise's media by the naming rule: picture n (1 to 3) is
// "<id>_<n>.JPG", the icon "<id>.JPG", the movie "<id>.AVI".
QString PictureFileName(qint32 exerciseID, int n);
QString IconFileName(qint32 exerciseID);
QString MovieFileName(qint32 exerciseID);

// One delivered library row: the cached columns plus which picture the icon was made from.
struct DeliveredExercise
{
    LibraryEntry Entry;
    qint16 IconSrc = 0;

    bool operator==(const DeliveredExercise&) const = default;
};

struct DeliveredPickList
{
    QString Name;
    QStringList Entries;

    bool operator==(const DeliveredPickList&) const = default;
};

// What is wrong with a delivered row: column limits, code equal to the number as text,
// media names by the naming rule. Empty when the row is sound.
QStringList CheckDeliveredExercise(const DeliveredExercise& row);

// Conversion between a row and its JSON object (keys are the column names). Reading
// throws DbError naming the key when a value is missing, of the wrong kind or out of the
// 16-bit range.
QJsonObject DeliveredExerciseToJson(const DeliveredExercise& row);
DeliveredExercise DeliveredExerciseFromJson(const QJsonObject& object);

// Reads a whole JSON file. Throws DbError naming the file when it cannot be read or parsed.
QJsonDocument ReadJsonDocument(const QString& path);

// Read and write the delivered JSON files. Throw DbError naming the file on failure.
QList<DeliveredExercise> ReadDeliveredLibrary(const QString& path);
void WriteDeliveredLibrary(const QString& path, const QList<DeliveredExercise>& rows);
QList<DeliveredPickList> ReadDeliveredPickLists(const QString& path);

// Append the rows to ExerciseLibrary / the lists to Label and Level1, each call in one
// transaction: all rows or none. A row that fails CheckDeliveredExercise is refused.
void InsertLibraryRows(const QSqlDatabase& db, const QList<DeliveredExercise>& rows);
void InsertPickLists(const QSqlDatabase& db, const QList<DeliveredPickList>& lists);

// Adds to the library the delivered rows it lacks (numbers below FirstUserExerciseID
// and the probe), as a library file of an earlier version does, all in one transaction.
// Rows already there stay as they are, even when the clinic has edited them. Returns
// how many were added. Throws DbError.
int AddMissingDeliveredRows(const QSqlDatabase& db, const QList<DeliveredExercise>& rows);
// The same with the rows of the delivered folder's library; 0 when the folder has none.
int AddMissingDeliveredExercises(const QSqlDatabase& db, const QString& deliveredFolder);

// Fills freshly created data files with the delivered sample data (library rows,
// pick lists) read from the delivered folder. Files that the folder lacks are skipped,
// leaving the tables empty. Throws DbError on failure.
void FillDeliveredData(const QString& mainPath, const QString& libraryPath,
                       const QString& picklistPath, const QString& deliveredFolder);

} // namespace tramelle
