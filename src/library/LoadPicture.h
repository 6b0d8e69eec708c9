#pragma once

#include <QImage>
#include <QString>

namespace tramelle {

// The icon of an exercise is made from one of its pictures: LoadFile, then
// ResizeAndSaveFile. Nothing is shown; failures come back as texts.
inline constexpr int IconWidth = 61;

// Loads a picture file (the format is taken from its content). A null image, with the
// reason in error, when it cannot be read.
QImage LoadFile(const QString& fileName, QString* error = nullptr);

// Scales the picture to `width` pixels, proportions kept, smoothly, and writes it as a
// JPEG to a new file beside `destination`. Returns that file's path ("" with the reason
// in error on failure, leaving nothing behind); the caller renames it into place.
QString WriteResizedFile(const QImage& picture, const QString& destination, int width,
                         QString* error = nullptr);

// WriteResizedFile, then the new file is renamed over `destination`. False with the
// reason in error when anything failed; `destination` is then unchanged.
bool ResizeAndSaveFile(const QImage& picture, const QString& destination, int width,
                       QString* error = nullptr);

} // namespace tramelle
