#include "PictureDocument.h"

#include "CropBox.h"
#include "Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
#include <array>
#include <cmath>

namespace tramelle::imageeditor {

namespace {

// The longest side of the screen copy.
constexpr int PreviewSide = 1600;

// Qt refuses to decode more than 128 MB by default; the largest picture taken is
// MaxPicturePixels at four bytes, and turning it by its tag needs a second copy.
constexpr int DecodeLimitMegabytes = 512;

QImage Upright(QImage image)
{
    if (image.hasAlphaChannel()) {
        // A JPEG has no transparency: transparent parts become white, as on paper.
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter painter(&flat);
        painter.drawImage(0, 0, image);
        return flat;
    }
    if (image.format() != QImage::Format_RGB32)
        image.convertTo(QImage::Format_RGB32);
    return image;
}

} // namespace

void AdjustColours(QImage& image, int brightness, int contrast)
{
    if (brightness == 0 && contrast == 0)
        return;
    brightness = std::clamp(brightness, -MaxAdjustment, MaxAdjustment);
    contrast = std::clamp(contrast, -MaxAdjustment, MaxAdjustment);
    // Contrast 100 triples the slope, -100 flattens the picture to grey.
    const double slope = contrast >= 0 ? 1.0 + contrast / 50.0 : 1.0 + contrast / 100.0;
    const double shift = brightness * 1.5;
    std::array<uchar, 256> table{};
    for (int v = 0; v < 256; ++v)
        table[size_t(v)] =
            uchar(std::clamp(std::lround((v - 127.5) * slope + 127.5 + shift), 0L, 255L));
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        image.convertTo(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            line[x] = qRgba(table[size_t(qRed(p))], table[size_t(qGreen(p))],
                            table[size_t(qBlue(p))], qAlpha(p));
        }
    }
}

QImage ReadPicture(const QString& path, QString* error)
{
    auto fail = [&](const QString& reason) {
        if (error)
            *error = reason;
        return QImage();
    };
    if (!QFileInfo(path).isFile())
        return fail(QCoreApplication::translate("PictureDocument", "The file does not exist."));
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return fail(QCoreApplication::translate(
            "PictureDocument", "It is not a picture this program can read (JPEG, PNG or BMP)."));
    auto tooLarge = [&](const QSize& size) {
        return qint64(size.width()) * qint64(size.height()) > MaxPicturePixels;
    };
    auto tooLargeText = [&](const QSize& size) {
        return QCoreApplication::translate(
                   "PictureDocument",
                   "It has %1 x %2 pixels; pictures of at most 50 megapixels can be opened.")
            .arg(size.width())
            .arg(size.height());
    };
    const QSize size = reader.size();
    if (size.isValid() && tooLarge(size))
        return fail(tooLargeText(size));
    QImageReader::setAllocationLimit(DecodeLimitMegabytes);
    QImage image;
    if (!reader.read(&image))
        return fail(QCoreApplication::translate("PictureDocument", "It cannot be decoded: %1.")
                        .arg(reader.errorString()));
    if (tooLarge(image.size()))
        return fail(tooLargeText(image.size()));
    return Upright(std::move(image));
}

QString ClinicPictureFolder(const QString& appFolder)
{
    return ResolvePath(JoinPath(appFolder, QStringLiteral("Clinic/Picture")));
}

bool CheckSaveName(const QString& path, const QString& appFolder, QString* error)
{
    const QString folder = ClinicPictureFolder(appFolder);
    auto fail = [&](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    const QString normal = QDir::cleanPath(NormalizeSlashes(path));
    if (path.trimmed().isEmpty() || QDir::isRelativePath(normal))
        return fail(
            QCoreApplication::translate("PictureDocument", "\"%1\" is not the full name of a file.")
                .arg(path));
    const QFileInfo info(normal);
    if (!info.fileName().endsWith(QStringLiteral(".jpg"), Qt::CaseInsensitive))
        return fail(QCoreApplication::translate(
            "PictureDocument", "Pictures are saved as JPEG files, whose names end in \".JPG\"."));
    if (!QDir().mkpath(folder))
        return fail(QCoreApplication::translate("PictureDocument",
                                                "The picture folder \"%1\" cannot be made.")
                        .arg(folder));
    const QString parent = QFileInfo(ResolvePath(info.absolutePath())).canonicalFilePath();
    if (parent.isEmpty() || parent != QFileInfo(folder).canonicalFilePath())
        return fail(QCoreApplication::translate(
                        "PictureDocument", "Pictures are saved only in the picture folder \"%1\".")
                        .arg(folder));
    const QFileInfo target(ResolvePath(normal));
    if (target.isSymLink() || (target.exists() && !target.isFile()))
        return fail(QCoreApplication::translate("PictureDocument", "\"%1\" is not a picture file.")
                        .arg(path));
    return true;
}

bool WriteJpeg(const QImage& image, const QString& path, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QImageWriter writer(&file, "jpeg");
    writer.setQuality(JpegQuality);
    if (!writer.write(image)) {
        if (error)
            *error = writer.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool PictureDocument::Open(const QString& path, QString* error)
{
    QImage picture = ReadPicture(path, error);
    if (picture.isNull())
        return false;
    SetPicture(picture, QFileInfo(path).absoluteFilePath());
    return true;
}

void PictureDocument::SetPicture(const QImage& picture, const QString& fileName)
{
    m_source = Upright(picture);
    m_fileName = fileName;
    m_previewScale =
        std::min(1.0, double(PreviewSide) / std::max(m_source.width(), m_source.height()));
    m_preview =
        m_previewScale < 1.0
            ? m_source.scaled(std::max(1, int(std::lround(m_source.width() * m_previewScale))),
                              std::max(1, int(std::lround(m_source.height() * m_previewScale))),
                              Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            : m_source;
    m_adjustedPreview = QImage();
    m_state = EditState();
    m_state.Crop = LargestCrop(Usable());
}

void PictureDocument::SetState(const EditState& state)
{
    m_state = state;
    m_state.QuarterTurns = ((state.QuarterTurns % 4) + 4) % 4;
    m_state.Straighten = std::clamp(state.Straighten, -MaxStraightenDegrees, MaxStraightenDegrees);
    m_state.Brightness = std::clamp(state.Brightness, -MaxAdjustment, MaxAdjustment);
    m_state.Contrast = std::clamp(state.Contrast, -MaxAdjustment, MaxAdjustment);
    m_state.Crop = m_state.Crop.isEmpty() ? LargestCrop(Usable()) : FitCrop(m_state.Crop, Usable());
}

QSizeF PictureDocument::TurnedSizeFor(int quarterTurns) const
{
    const QSizeF size = m_source.size();
    return quarterTurns % 2 ? size.transposed() : size;
}

QSizeF PictureDocument::TurnedSize() const
{
    return TurnedSizeFor(m_state.QuarterTurns);
}

QRectF PictureDocument::Usable() const
{
    return UsableRect(TurnedSize(), m_state.Straighten);
}

QTransform PictureDocument::OrientationFor(int quarterTurns, bool mirrored) const
{
    QTransform t;
    if (mirrored)
        t = QTransform(-1, 0, 0, 1, m_source.width(), 0);
    QTransform turn;
    turn.rotate(90.0 * quarterTurns);
    t *= turn;
    const QRectF box = t.mapRect(QRectF(QPointF(0, 0), QSizeF(m_source.size())));
    return t * QTransform::fromTranslate(-box.left(), -box.top());
}

QTransform PictureDocument::SourceToTurnedFor(const EditState& state) const
{
    const QSizeF turned = TurnedSizeFor(state.QuarterTurns);
    QTransform straighten = QTransform::fromTranslate(-turned.width() / 2, -turned.height() / 2);
    QTransform angle;
    angle.rotate(state.Straighten);
    straighten *= angle;
    straighten *= QTransform::fromTranslate(turned.width() / 2, turned.height() / 2);
    return OrientationFor(state.QuarterTurns, state.Mirrored) * straighten;
}

QTransform PictureDocument::SourceToTurned() const
{
    return SourceToTurnedFor(m_state);
}

EditState PictureDocument::Rotated(bool clockwise) const
{
    EditState next = m_state;
    next.QuarterTurns = (m_state.QuarterTurns + (clockwise ? 1 : 3)) % 4;
    // A 4:3 box does not survive a quarter turn: start again from the largest.
    next.Crop = LargestCrop(UsableRect(TurnedSizeFor(next.QuarterTurns), next.Straighten));
    return next;
}

EditState PictureDocument::Flipped(bool leftRight) const
{
    // Mirroring the turned picture: left-right is M·R^t = R^-t·M; top-bottom adds a half turn.
    EditState next = m_state;
    next.QuarterTurns = ((leftRight ? 0 : 2) - m_state.QuarterTurns + 4) % 4;
    next.Mirrored = !m_state.Mirrored;
    next.Straighten = -m_state.Straighten;
    const QSizeF turned = TurnedSize();
    const QRectF crop = m_state.Crop;
    next.Crop =
        leftRight
            ? QRectF(turned.width() - crop.right(), crop.top(), crop.width(), crop.height())
            : QRectF(crop.left(), turned.height() - crop.bottom(), crop.width(), crop.height());
    return next;
}

EditState PictureDocument::Straightened(double degrees) const
{
    EditState next = m_state;
    next.Straighten = std::clamp(degrees, -MaxStraightenDegrees, MaxStraightenDegrees);
    next.Crop = FitCrop(m_state.Crop, UsableRect(TurnedSize(), next.Straighten));
    return next;
}

EditState PictureDocument::Adjusted(int brightness, int contrast) const
{
    EditState next = m_state;
    next.Brightness = std::clamp(brightness, -MaxAdjustment, MaxAdjustment);
    next.Contrast = std::clamp(contrast, -MaxAdjustment, MaxAdjustment);
    return next;
}

EditState PictureDocument::Cropped(const QRectF& crop) const
{
    EditState next = m_state;
    next.Crop = FitCrop(crop, Usable());
    return next;
}

QImage PictureDocument::Render(const QSize& size) const
{
    QImage out(size, QImage::Format_RGB32);
    out.fill(Qt::white);
    const QRectF crop = m_state.Crop;
    if (!IsOpen() || crop.isEmpty() || size.isEmpty())
        return out;
    const QTransform toOut =
        QTransform::fromTranslate(-crop.left(), -crop.top()) *
        QTransform::fromScale(size.width() / crop.width(), size.height() / crop.height());
    const QTransform full = SourceToTurned() * toOut;
    // Only the part of the picture under the crop is scaled; a large reduction is done
    // by area averaging first, so the final smooth drawing reduces by two at most.
    const QRect region = full.inverted()
                             .mapRect(QRectF(QPointF(0, 0), QSizeF(size)))
                             .toAlignedRect()
                             .adjusted(-2, -2, 2, 2) &
                         m_source.rect();
    if (region.isEmpty())
        return out;
    const double sourcePerOut = crop.width() / size.width();
    QImage piece = region == m_source.rect() ? m_source : m_source.copy(region);
    QTransform pieceToSource = QTransform::fromTranslate(region.left(), region.top());
    if (sourcePerOut > 2.0) {
        const double factor = 2.0 / sourcePerOut;
        const QSize reduced(std::max(1, int(std::lround(region.width() * factor))),
                            std::max(1, int(std::lround(region.height() * factor))));
        piece = piece.scaled(reduced, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        pieceToSource = QTransform::fromScale(double(region.width()) / reduced.width(),
                                              double(region.height()) / reduced.height()) *
                        pieceToSource;
    }
    QPainter painter(&out);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setTransform(pieceToSource * full);
    painter.drawImage(0, 0, piece);
    painter.end();
    AdjustColours(out, m_state.Brightness, m_state.Contrast);
    return out;
}

QImage PictureDocument::Preview() const
{
    if (m_state.Brightness == 0 && m_state.Contrast == 0)
        return m_preview;
    if (m_adjustedPreview.isNull() || m_previewBrightness != m_state.Brightness ||
        m_previewContrast != m_state.Contrast) {
        m_adjustedPreview = m_preview.copy();
        AdjustColours(m_adjustedPreview, m_state.Brightness, m_state.Contrast);
        m_previewBrightness = m_state.Brightness;
        m_previewContrast = m_state.Contrast;
    }
    return m_adjustedPreview;
}

} // namespace tramelle::imageeditor
