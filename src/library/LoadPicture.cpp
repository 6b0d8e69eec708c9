#include "LoadPicture.h"

#include "Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryFile>
#include <filesystem>

namespace tramelle {

Result<QImage> LoadFile(const QString& fileName)
{
    QFile file;
    if (!OpenRegularFile(file, ResolveMediaPath(fileName)))
        return Result<QImage>::Failed(
            QCoreApplication::translate("LoadPicture", "The picture \"%1\" cannot be opened.")
                .arg(QDir::toNativeSeparators(fileName)));
    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull())
        return Result<QImage>::Failed(
            QCoreApplication::translate("LoadPicture", "The picture \"%1\" cannot be read: %2")
                .arg(QDir::toNativeSeparators(fileName), reader.errorString()));
    return image;
}

Result<QString> WriteResizedFile(const QImage& picture, const QString& destination, int width)
{
    auto fail = [&](const QString& reason) {
        return Result<QString>::Failed(
            QCoreApplication::translate("LoadPicture", "The icon \"%1\" cannot be written: %2")
                .arg(QDir::toNativeSeparators(destination), reason));
    };
    if (picture.isNull() || width <= 0)
        return fail(
            QCoreApplication::translate("LoadPicture", "there is no picture to make it from"));
    const int height =
        std::max(1, static_cast<int>(qRound64(double(picture.height()) * width / picture.width())));
    const QImage scaled =
        picture.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGB32);
    QTemporaryFile out(destination + QStringLiteral(".XXXXXX"));
    out.setAutoRemove(true);
    if (!out.open())
        return fail(out.errorString());
    QImageWriter writer(&out, "jpeg");
    writer.setQuality(90);
    if (!writer.write(scaled))
        return fail(writer.errorString());
    if (!out.flush())
        return fail(out.errorString());
    out.setAutoRemove(false);
    out.close();
    return out.fileName();
}

Outcome ResizeAndSaveFile(const QImage& picture, const QString& destination, int width)
{
    const Result<QString> prepared = WriteResizedFile(picture, destination, width);
    if (!prepared)
        return Outcome::Failed(prepared.Reason());
    const QString& written = prepared.Value();
    // One rename replaces the old file: a reader sees the old icon or the new one.
    std::error_code code;
    std::filesystem::rename(QFile::encodeName(written).toStdString(),
                            QFile::encodeName(destination).toStdString(), code);
    if (code) {
        QFile::remove(written);
        return Outcome::Failed(
            QCoreApplication::translate("LoadPicture", "The icon \"%1\" cannot be written: %2")
                .arg(QDir::toNativeSeparators(destination),
                     QString::fromStdString(code.message())));
    }
    return Outcome::Done();
}

} // namespace tramelle
