#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QPainter>

namespace tramelle::test {

// A photograph-like picture: left half red, right half blue, top quarter green, so each
// turn and mirror gives a different picture.
inline QImage MarkedPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(200, 30, 30));
    QPainter painter(&image);
    painter.fillRect(width / 2, 0, width - width / 2, height, QColor(30, 30, 200));
    painter.fillRect(0, 0, width, height / 4, QColor(30, 200, 30));
    return image;
}

// A JPEG with an EXIF orientation tag (1 to 8) written after its start marker.
inline QByteArray JpegWithOrientation(const QImage& image, int orientation)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    // TIFF header (big-endian), one IFD entry: 0x0112 SHORT count 1.
    const QByteArray tiff = QByteArray("MM\0*\0\0\0\x08", 8) + QByteArray("\0\x01", 2) +
                            QByteArray("\x01\x12\0\x03\0\0\0\x01", 8) + QByteArray(1, '\0') +
                            QByteArray(1, char(orientation)) + QByteArray(2, '\0') +
                            QByteArray(4, '\0');
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(payload.size()) + 2;
    QByteArray segment("\xFF\xE1", 2);
    segment += char(length >> 8);
    segment += char(length & 0xFF);
    segment += payload;
    return jpeg.left(2) + segment + jpeg.mid(2);
}

inline bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace tramelle::test
