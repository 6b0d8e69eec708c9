#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace mediagen {

// Writes a Motion-JPEG AVI: one video stream whose frames are complete JPEG files,
// every frame a key frame, with the index that players use to seek. The bytes depend
// only on the frames, so the same frames give the same file.
QByteArray BuildMjpegAvi(const QList<QByteArray>& jpegFrames, int width, int height,
                         int framesPerSecond);

// Writes the movie to a file (through a temporary file renamed into place).
// Returns false and sets *error on failure.
bool WriteMjpegAvi(const QString& path, const QList<QByteArray>& jpegFrames, int width, int height,
                   int framesPerSecond, QString* error);

} // namespace mediagen
