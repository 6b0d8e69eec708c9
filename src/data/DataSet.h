#pragma once

#include "Sharing.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace tramelle {

class AppContext;

// The table that maps a public exercise data set onto the library, delivered as
// "dataset-mapping.json": primary muscle to joint, category to type, force or mechanic
// to motion (keys in lower case).
inline const QString DataSetMappingFileName = QStringLiteral("dataset-mapping.json");

struct DataSetMapping
{
    QHash<QString, QString> Joints;
    QHash<QString, QString> Types;
    QHash<QString, QString> Motions;
};

// Reads the table. Throws DbError naming the file.
DataSetMapping ReadDataSetMapping(const QString& path);

// The text cut to at most `limit` characters at the last blank that keeps it within
// (a single word longer than the limit is cut inside it); `rest` gets what was left off.
QString CutAtWord(const QString& text, int limit, QString* rest = nullptr);

// One exercise of the data set as it will enter the library.
struct DataSetExercise
{
    QString SourceId;
    QString Name;
    LibraryRecord Record; // ExerciseID 0 until numbered
    QStringList Images;   // as the data set names them, relative to its image folder
    QStringList Notes;    // what was cut or left out, and why
};

// Reads a data set: a JSON array of objects with id, name, force, level, mechanic,
// equipment, primaryMuscles, secondaryMuscles, instructions (sentences), category and
// images. The whole set is checked first; a value of the wrong kind, a name of more than
// 1,000 characters or an image path that leaves the image folder refuses the file
// (DbError naming the exercise and the field).
QList<DataSetExercise> ReadDataSet(const QByteArray& json, const DataSetMapping& mapping);

// Converts one picture file into the bytes of a library picture (JPEG) or icon; returns
// an error text, empty when done. Given by the windows, which decode pictures.
using PictureWriter = std::function<QString(const QString& source, QIODevice& out)>;

struct DataSetWriters
{
    PictureWriter Picture;
    PictureWriter Icon;
};

// Adds the exercises with new numbers from the next free one: up to three images become
// the pictures and the first the icon, each converted when it is written, one at a time.
// Goes through StoreImport (progress, cancel, one step). Throws DbError.
ShareImportResult ImportDataSet(AppContext& ctx, const QList<DataSetExercise>& exercises,
                                const QString& imageFolder, const DataSetWriters& writers);

} // namespace tramelle
