#include "AviWriter.h"

#include <QSaveFile>
#include <QtEndian>
#include <algorithm>

namespace mediagen {

namespace {

void U32(QByteArray& out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

void U16(QByteArray& out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void FourCC(QByteArray& out, const char* cc)
{
    out.append(cc, 4);
}

// A chunk: id, little-endian size, data, padded to an even length.
QByteArray Chunk(const char* id, const QByteArray& data)
{
    QByteArray out;
    FourCC(out, id);
    U32(out, quint32(data.size()));
    out += data;
    if (data.size() % 2)
        out.append('\0');
    return out;
}

QByteArray List(const char* type, const QByteArray& content)
{
    QByteArray data;
    FourCC(data, type);
    data += content;
    return Chunk("LIST", data);
}

} // namespace

QByteArray BuildMjpegAvi(const QList<QByteArray>& frames, int width, int height, int fps)
{
    constexpr quint32 HasIndex = 0x10, KeyFrame = 0x10;
    quint32 largest = 0;
    qint64 total = 0;
    for (const QByteArray& f : frames) {
        largest = std::max<quint32>(largest, quint32(f.size()));
        total += f.size();
    }
    const quint32 count = quint32(frames.size());
    const quint32 bytesPerSecond = count ? quint32(total * fps / count) : 0;

    QByteArray avih;
    U32(avih, quint32(1000000 / fps)); // microseconds per frame
    U32(avih, bytesPerSecond);
    U32(avih, 0); // padding granularity
    U32(avih, HasIndex);
    U32(avih, count);
    U32(avih, 0); // initial frames
    U32(avih, 1); // streams
    U32(avih, largest + 8);
    U32(avih, quint32(width));
    U32(avih, quint32(height));
    for (int i = 0; i < 4; ++i)
        U32(avih, 0);

    QByteArray strh;
    FourCC(strh, "vids");
    FourCC(strh, "MJPG");
    U32(strh, 0); // flags
    U16(strh, 0); // priority
    U16(strh, 0); // language
    U32(strh, 0); // initial frames
    U32(strh, 1); // scale
    U32(strh, quint32(fps));
    U32(strh, 0); // start
    U32(strh, count);
    U32(strh, largest + 8);
    U32(strh, 0xFFFFFFFFu); // quality: default
    U32(strh, 0);           // sample size: frames vary
    U16(strh, 0);
    U16(strh, 0);
    U16(strh, quint16(width));
    U16(strh, quint16(height));

    QByteArray strf; // BITMAPINFOHEADER
    U32(strf, 40);
    U32(strf, quint32(width));
    U32(strf, quint32(height));
    U16(strf, 1);  // planes
    U16(strf, 24); // bits per pixel once decoded
    FourCC(strf, "MJPG");
    U32(strf, quint32(width * height * 3));
    for (int i = 0; i < 4; ++i)
        U32(strf, 0);

    const QByteArray hdrl =
        List("hdrl", Chunk("avih", avih) + List("strl", Chunk("strh", strh) + Chunk("strf", strf)));

    QByteArray movi;
    QByteArray index;
    for (const QByteArray& f : frames) {
        // Offsets count from the "movi" list type, as most readers expect.
        const quint32 offset = quint32(movi.size() + 4);
        movi += Chunk("00dc", f);
        FourCC(index, "00dc");
        U32(index, KeyFrame);
        U32(index, offset);
        U32(index, quint32(f.size()));
    }

    QByteArray riff;
    FourCC(riff, "AVI ");
    riff += hdrl;
    riff += List("movi", movi);
    riff += Chunk("idx1", index);
    return Chunk("RIFF", riff);
}

bool WriteMjpegAvi(const QString& path, const QList<QByteArray>& frames, int width, int height,
                   int fps, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(BuildMjpegAvi(frames, width, height, fps)) < 0 || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace mediagen
