#pragma once

#include "Outcome.h"

#include <QImage>
#include <QString>

namespace tramelle {

// The icon of an exercise is made from one of its pictures: LoadFile, then
// ResizeAndSaveFile. Nothing is shown; failures come back as texts.
inline constexpr int IconWidth = 61;

// Loads a picture file (the format is taken from its content), or says why it cannot.
Result<QImage> LoadFile(const QString& fileName);

// Scales the picture to `width` pixels, proportions kept, smoothly, and writes it as a
// JPEG to a new file beside `destination`. Returns that file's path (on failure the
// reason, leaving nothing behind); the caller renames it into place.
Result<QString> WriteResizedFile(const QImage& picture, const QString& destination, int width);

// WriteResizedFile, then the new file is renamed over `destination`. On failure
// `destination` is unchanged.
Outcome ResizeAndSaveFile(const QImage& picture, const QString& destination, int width);

} // namespace tramelle
