#pragma once

#include "LibraryStore.h"
#include "Paths.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace tramelle {

class AppContext;

// A file of shared exercises is a zip archive: this document at its top, and the media
// it names under "Picture/", "ICON/" and "Movie/".
inline const QString ShareDocumentName = QStringLiteral("exercises.json");
inline const QString ShareFormatName = QStringLiteral("vmr-tramelle-exercises");
inline constexpr int ShareFormatVersion = 1;

// What a file may claim before anything of it is read; a larger claim is refused whole.
inline constexpr qint64 ShareDocumentLimit = 32LL << 20;
inline constexpr qint64 ShareMemberLimit = 256LL << 20;
inline constexpr qint64 ShareTotalLimit = 2LL << 30;
inline constexpr int ShareMemberCountLimit = 20000;
// Texts of columns without a size of their own.
inline constexpr int ShareTextLimit = 255;

struct SharedExercise
{
    LibraryRecord Record; // ExerciseID: the number it had where it was exported
    QString Uuid;
};

struct SharedProtocol
{
    QString Name;
    QList<ProgramEntry> Rows; // ExerciseID: as in the file
    QStringList RowUuids;     // the exercise of each row
};

struct SharePackage
{
    QList<SharedExercise> Exercises;
    QList<SharedProtocol> Protocols;
};

// The document of a package, and back. Reading checks everything (format and its
// version, kinds of values, lengths, media names, identities) and throws DbError saying
// what was refused.
QByteArray SharePackageToJson(const SharePackage& package);
SharePackage SharePackageFromJson(const QByteArray& json);

// The archive member of a media file.
QString ShareMediaMember(MediaKind kind, const QString& name);
// True for a plain file name: no folder, no "..", no drive, not empty.
bool IsPlainFileName(const QString& name);

// What to export: exercises by number, or every clinic's own; protocols by number.
struct ShareSelection
{
    QList<qint32> Exercises;
    bool AllClinicExercises = false;
    QList<qint32> Protocols;
};

struct ShareExportResult
{
    int Exercises = 0;
    int Protocols = 0;
    int MediaFiles = 0;
    QStringList MissingMedia; // named by a row, found nowhere
};

// Writes the file: the exercises, the protocols with their rows, the clinic's own
// exercises those rows use, and every picture, icon and movie named that is found. The
// archive is written under a temporary name and renamed into place. Throws DbError.
ShareExportResult ExportShare(const AppContext& ctx, const ShareSelection& selection,
                              const QString& zipPath);

struct ShareImportResult
{
    QList<QPair<qint32, qint32>> Numbers; // number in the file, new number
    QStringList Imported;                 // "<new number> <Desc>"
    QStringList Skipped;                  // what, and why
    QStringList Notes;                    // imported, with something left out
    int Protocols = 0;
    int MediaFiles = 0;
    bool Cancelled = false;

    // The report shown at the end.
    QString Report() const;
};

// A prepared media file of an import: its bytes, and the name it takes in its folder.
struct ImportMedia
{
    MediaKind Kind = MediaKind::Picture;
    QString Name;
    // Writes the bytes to `file`; returns an error text, empty when done.
    std::function<QString(QIODevice& file)> Write;
};

// One exercise ready to be added: its row (ExerciseID assigned by the import) and media.
struct ImportExercise
{
    LibraryRecord Record;
    QString Uuid; // empty: a random one is given
    QList<ImportMedia> Media;
};

// Adds exercises with their media and protocols as one step: the media are written one
// at a time into the clinic's folders under temporary names (through the progress
// window, which can cancel), then the rows are stored in one transaction per file and
// the media renamed into place with them. A cancel or failure stores nothing. Throws
// DbError.
void StoreImport(AppContext& ctx, const QList<ImportExercise>& exercises,
                 const QList<QPair<QString, QList<ProgramEntry>>>& protocols,
                 const QString& caption, ShareImportResult& result);

// Imports a file written by ExportShare: exercises get new numbers from the next free
// one (at least FirstClinicExercise), one already in the library (same UUID) is skipped,
// protocols point at the new numbers. A file that breaks any rule is refused whole with
// DbError naming what; nothing is stored from it.
ShareImportResult ImportShare(AppContext& ctx, const QString& zipPath);

} // namespace tramelle
