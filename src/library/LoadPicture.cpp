#include "LoadPicture.h"

#include "Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryFile>
#include <filesystem>
#include <memory>

namespace tramelle {

namespace {

// Reads a picture; with a box, a larger one is decoded straight at the size that fits it.
Result<QImage> ReadPicture(const QString& fileName, const QSize& box = QSize())
{
    QFile file;
    if (!OpenRegularFile(file, ResolveMediaPath(fileName)))
        return Result<QImage>::Failed(
            QCoreApplication::translate("LoadPicture", "The picture \"%1\" cannot be opened.")
                .arg(QDir::toNativeSeparators(fileName)));
    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (box.isValid() && size.isValid() &&
        !reader.transformation().testFlag(QImageIOHandler::TransformationRotate90) &&
        (size.width() > box.width() || size.height() > box.height()))
        reader.setScaledSize(size.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    QImage image = reader.read();
    if (image.isNull())
        return Result<QImage>::Failed(
            QCoreApplication::translate("LoadPicture", "The picture \"%1\" cannot be read: %2")
                .arg(QDir::toNativeSeparators(fileName), reader.errorString()));
    return image;
}

} // namespace

Result<QImage> LoadFile(const QString& fileName)
{
    return ReadPicture(fileName);
}

Result<QImage> LoadFittedPicture(const QString& fileName)
{
    const QSize box(PictureWidth, PictureHeight);
    Result<QImage> read = ReadPicture(fileName, box);
    if (!read)
        return read;
    const QImage& picture = read.Value();
    const QSize size = picture.size().scaled(box, Qt::KeepAspectRatio);
    const QImage scaled = picture.size() == size ? picture
                                                 : picture.scaled(size, Qt::IgnoreAspectRatio,
                                                                  Qt::SmoothTransformation);
    QImage fitted(box, QImage::Format_RGB32);
    fitted.fill(Qt::white);
    QPainter painter(&fitted);
    painter.drawImage((box.width() - scaled.width()) / 2, (box.height() - scaled.height()) / 2,
                      scaled);
    painter.end();
    return fitted;
}

QString WriteJpeg(const QImage& image, QIODevice& out)
{
    QImageWriter writer(&out, "jpeg");
    writer.setQuality(90);
    if (!writer.write(image.convertToFormat(QImage::Format_RGB32)))
        return writer.errorString();
    return {};
}

QImage IconImage(const QImage& picture, int width)
{
    const int height =
        std::max(1, static_cast<int>(qRound64(double(picture.height()) * width / picture.width())));
    return picture.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB32);
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
    const QImage scaled = IconImage(picture, width);
    QTemporaryFile out(destination + QStringLiteral(".XXXXXX"));
    out.setAutoRemove(true);
    if (!out.open())
        return fail(out.errorString());
    const QString error = WriteJpeg(scaled, out);
    if (!error.isEmpty())
        return fail(error);
    if (!out.flush())
        return fail(out.errorString());
    out.setAutoRemove(false);
    out.close();
    return out.fileName();
}

DataSetWriters DataSetPictureWriters()
{
    // The icon is made from the picture written just before it, which is kept (one at a
    // time) rather than decoded again.
    struct Last
    {
        QString Source;
        QImage Fitted;
    };
    auto last = std::make_shared<Last>();
    const auto fitted = [last](const QString& source) -> Result<QImage> {
        if (last->Source == source && !last->Fitted.isNull())
            return last->Fitted;
        Result<QImage> picture = LoadFittedPicture(source);
        *last = picture ? Last{source, picture.Value()} : Last{};
        return picture;
    };
    return {[fitted](const QString& source, QIODevice& out) {
                const Result<QImage> picture = fitted(source);
                return picture ? WriteJpeg(picture.Value(), out) : picture.Reason();
            },
            [fitted, last](const QString& source, QIODevice& out) {
                const Result<QImage> picture = fitted(source);
                *last = Last{};
                return picture ? WriteJpeg(IconImage(picture.Value(), IconWidth), out)
                               : picture.Reason();
            }};
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
