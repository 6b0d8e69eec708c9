#pragma once

#include "DataSet.h"
#include "Outcome.h"

#include <QIODevice>
#include <QImage>
#include <QString>

namespace tramelle {

// The icon of an exercise is made from one of its pictures: LoadFile, then
// ResizeAndSaveFile. Nothing is shown; failures come back as texts.
inline constexpr int IconWidth = 61;

// The size of the exercise pictures (4:3).
inline constexpr int PictureWidth = 400;
inline constexpr int PictureHeight = 300;

// Loads a picture file (the format is taken from its content), or says why it cannot.
Result<QImage> LoadFile(const QString& fileName);
// Loads a picture of any size and shape fitted into the pictures' box, proportions kept
// and the rest white. A large one is decoded at the reduced size.
Result<QImage> LoadFittedPicture(const QString& fileName);

// Writes the image as a JPEG to the device; empty, or why it could not.
QString WriteJpeg(const QImage& image, QIODevice& out);
// The image scaled smoothly to `width` pixels, proportions kept.
QImage IconImage(const QImage& picture, int width);

// Scales the picture to `width` pixels, proportions kept, smoothly, and writes it as a
// JPEG to a new file beside `destination`. Returns that file's path (on failure the
// reason, leaving nothing behind); the caller renames it into place.
Result<QString> WriteResizedFile(const QImage& picture, const QString& destination, int width);

// WriteResizedFile, then the new file is renamed over `destination`. On failure
// `destination` is unchanged.
Outcome ResizeAndSaveFile(const QImage& picture, const QString& destination, int width);

// The converters of a data set's images: fitted pictures, and icons made from them.
DataSetWriters DataSetPictureWriters();

} // namespace tramelle
