#pragma once

#include <QImage>
#include <QRectF>
#include <QString>
#include <QTransform>

namespace tramelle::imageeditor {

// Library pictures are 400 x 300.
inline constexpr int OutputWidth = 400, OutputHeight = 300;
inline constexpr qint64 MaxPicturePixels = 50'000'000;
inline constexpr double MaxStraightenDegrees = 10.0;
inline constexpr int MaxAdjustment = 100; // brightness and contrast run from -100 to 100
inline constexpr int JpegQuality = 90;

// Every edit of a picture: the picture itself is never changed, so a step costs only
// this much memory to undo.
struct EditState
{
    int QuarterTurns = 0;  // clockwise, 0 to 3, after the mirroring
    bool Mirrored = false; // left and right swapped, before turning
    double Straighten = 0; // degrees clockwise about the centre
    int Brightness = 0;
    int Contrast = 0;
    QRectF Crop; // in the turned picture's coordinates (see CropBox.h)

    bool operator==(const EditState&) const = default;
};

// A picture's pixels are changed by brightness (shift) and contrast (slope about the middle).
void AdjustColours(QImage& image, int brightness, int contrast);

// Reads a picture, turned upright by its orientation tag. Refuses pictures over
// MaxPicturePixels before decoding them. A null image, with the reason in error, when it
// cannot be read.
QImage ReadPicture(const QString& path, QString* error);

// The folder the clinic's own pictures are saved in, under the application folder.
QString ClinicPictureFolder(const QString& appFolder);

// True when a picture may be saved under the name: a JPEG name directly in the clinic's
// picture folder (which is made when missing). Otherwise false with the reason.
bool CheckSaveName(const QString& path, const QString& appFolder, QString* error);

// Writes a picture as a JPEG to a new file renamed into place: the old file stays whole
// when anything fails.
bool WriteJpeg(const QImage& image, const QString& path, QString* error);

class PictureDocument
{
public:
    bool Open(const QString& path, QString* error);
    void SetPicture(const QImage& picture, const QString& fileName);

    bool IsOpen() const { return !m_source.isNull(); }
    const QImage& Source() const { return m_source; }
    QString FileName() const { return m_fileName; }

    const EditState& State() const { return m_state; }
    // Takes a state made by the edits below (its crop is fitted again).
    void SetState(const EditState& state);

    // The picture turned (before straightening), and the part of it that stays covered
    // with picture once straightened.
    QSizeF TurnedSize() const;
    QRectF Usable() const;
    // From the picture's pixels to the turned picture's coordinates, straightening included.
    QTransform SourceToTurned() const;

    EditState Rotated(bool clockwise) const;
    EditState Flipped(bool leftRight) const;
    EditState Straightened(double degrees) const;
    EditState Adjusted(int brightness, int contrast) const;
    EditState Cropped(const QRectF& crop) const;

    // The crop at the library pictures' size, every edit applied.
    QImage Render(const QSize& size = QSize(OutputWidth, OutputHeight)) const;

    // A smaller copy of the picture for the screen, brightness and contrast applied, and
    // the scale from the picture to it.
    QImage Preview() const;
    double PreviewScale() const { return m_previewScale; }

private:
    QSizeF TurnedSizeFor(int quarterTurns) const;
    QTransform OrientationFor(int quarterTurns, bool mirrored) const;
    QTransform SourceToTurnedFor(const EditState& state) const;

    QImage m_source;
    QImage m_preview;
    double m_previewScale = 1.0;
    QString m_fileName;
    EditState m_state;

    mutable QImage m_adjustedPreview;
    mutable int m_previewBrightness = 0, m_previewContrast = 0;
};

} // namespace tramelle::imageeditor
