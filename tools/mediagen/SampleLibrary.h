#pragma once

#include "DeliveredData.h"
#include "Figure.h"

#include <QList>
#include <QString>

namespace mediagen {

// One exercise of the source data: its library row and its illustration.
struct SourceExercise
{
    tramelle::DeliveredExercise Row;
    Art Drawing;
};

// Reads the exercise source (resources/exercises.json). The row's code, media names and
// icon source are derived here by the naming rule. Throws SourceError naming the
// exercise on any fault, including a row that breaks the library's limits.
QList<SourceExercise> ReadExerciseSource(const QString& path);

// Picture sizes: pictures print in 2 x 1.5 inch boxes, icons are 61 pixels wide.
inline constexpr int PictureWidth = 400, PictureHeight = 300;
inline constexpr int IconWidth = 61, IconHeight = 46;
inline constexpr int MovieWidth = 320, MovieHeight = 240, MovieFps = 12;

// Writes the three pictures and the movie of each exercise into mediaFolder/Picture and
// mediaFolder/Movie, its icon into deliveredFolder/ICON, and the library rows into
// deliveredFolder/library.json. Throws SourceError on failure.
void WriteSampleMedia(const QList<SourceExercise>& exercises, const QString& mediaFolder,
                      const QString& deliveredFolder);

// The frames of an exercise's movie, as JPEG files.
QList<QByteArray> MovieFrames(const Art& art);

// Renders the patient instructions (HTML) onto one Letter page of a PDF.
void WritePatientInstructions(const QString& htmlPath, const QString& pdfPath);

// Builds a library of the delivered exercises and `count` more in `outFolder` for
// benchmarks: the three data files, and Picture, ICON and Movie folders whose files are links to
// the sample media.
void WriteLargeLibrary(int count, const QString& outFolder, const QString& mediaFolder,
                       const QString& deliveredFolder);

} // namespace mediagen
