#include "CropBox.h"
#include "ImageEditorLink.h"
#include "PictureDocument.h"
#include "TestMain.h"
#include "TestPictures.h"
#include "TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <cmath>

using namespace tramelle;
using namespace tramelle::imageeditor;
using namespace tramelle::test;

namespace {

bool Near(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 &&
           std::abs(a.blue() - b.blue()) < 40;
}

// A crop is 4:3 and lies in the usable part, and that part lies in the turned picture.
void CheckCrop(const QRectF& crop, const QSizeF& picture, double degrees)
{
    const QRectF usable = UsableRect(picture, degrees);
    QVERIFY2(std::abs(crop.width() / crop.height() - 4.0 / 3.0) < 1e-9,
             qPrintable(QString::number(crop.width())));
    QVERIFY(crop.width() > 0);
    const QRectF grown = usable.adjusted(-1e-6, -1e-6, 1e-6, 1e-6);
    QVERIFY(grown.contains(crop));
    QTransform back;
    back.translate(picture.width() / 2, picture.height() / 2)
        .rotate(-degrees)
        .translate(-picture.width() / 2, -picture.height() / 2);
    for (const QPointF& corner :
         {usable.topLeft(), usable.topRight(), usable.bottomLeft(), usable.bottomRight()}) {
        const QPointF p = back.map(corner);
        QVERIFY(p.x() > -1e-6 && p.y() > -1e-6 && p.x() < picture.width() + 1e-6 &&
                p.y() < picture.height() + 1e-6);
    }
}

// A BMP header claiming a size, without pixels.
QByteArray BmpHeader(int width, int height)
{
    QByteArray bytes(54, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    qToLittleEndian<quint32>(54, bytes.data() + 10);
    qToLittleEndian<quint32>(40, bytes.data() + 14);
    qToLittleEndian<qint32>(width, bytes.data() + 18);
    qToLittleEndian<qint32>(height, bytes.data() + 22);
    qToLittleEndian<quint16>(1, bytes.data() + 26);
    qToLittleEndian<quint16>(24, bytes.data() + 28);
    return bytes;
}

} // namespace

class TestImageEdit : public QObject
{
    Q_OBJECT

private slots:
    void cropStaysFourThirdsInsideThePicture()
    {
        for (const QSizeF picture :
             {QSizeF(4000, 3000), QSizeF(3000, 4000), QSizeF(1000, 200), QSizeF(30, 90)}) {
            for (double degrees : {0.0, 3.5, -10.0}) {
                const QRectF usable = UsableRect(picture, degrees);
                QRectF crop = LargestCrop(usable);
                CheckCrop(crop, picture, degrees);
                QVERIFY(std::abs(crop.width() - usable.width()) < 1e-6 ||
                        std::abs(crop.height() - usable.height()) < 1e-6);
                CheckCrop(MoveCrop(GrowCrop(crop, -crop.width() / 2, usable), {-1e6, 5e5}, usable),
                          picture, degrees);
                CheckCrop(GrowCrop(crop, 1e6, usable), picture, degrees);
                CheckCrop(GrowCrop(crop, -1e6, usable), picture, degrees);
                const QRectF small = GrowCrop(crop, -crop.width() / 2, usable);
                for (CropCorner corner : {CropCorner::TopLeft, CropCorner::TopRight,
                                          CropCorner::BottomLeft, CropCorner::BottomRight}) {
                    CheckCrop(DragCropCorner(small, corner, {-1e5, 1e5}, usable), picture, degrees);
                    CheckCrop(DragCropCorner(small, corner, small.center(), usable), picture,
                              degrees);
                }
                // A box from elsewhere (a turned picture's) is brought back inside.
                CheckCrop(FitCrop(QRectF(-50, -50, 5000, 10), usable), picture, degrees);
            }
        }
        // Dragging the bottom-right corner keeps the top-left where it was.
        const QRectF usable(0, 0, 800, 600);
        const QRectF dragged =
            DragCropCorner(QRectF(100, 100, 200, 150), CropCorner::BottomRight, {500, 200}, usable);
        QCOMPARE(dragged.topLeft(), QPointF(100, 100));
        QCOMPARE(dragged.width(), 400.0);
    }

    void orientationTagTurnsThePicture()
    {
        QTemporaryDir dir;
        const QImage marked = MarkedPicture(80, 60);
        const struct
        {
            int tag;
            double degrees;
        } cases[] = {{1, 0}, {3, 180}, {6, 90}, {8, 270}};
        for (const auto& c : cases) {
            const QString path = dir.filePath(QStringLiteral("photo%1.jpg").arg(c.tag));
            QVERIFY(WriteFile(path, JpegWithOrientation(marked, c.tag)));
            QString error;
            const QImage read = ReadPicture(path, &error);
            QVERIFY2(!read.isNull(), qPrintable(error));
            const QImage expected = marked.transformed(QTransform().rotate(c.degrees));
            QCOMPARE(read.size(), expected.size());
            for (const QPoint p :
                 {QPoint(5, 5), QPoint(read.width() - 6, 5), QPoint(5, read.height() - 6),
                  QPoint(read.width() - 6, read.height() - 6)})
                QVERIFY2(Near(read.pixelColor(p), expected.pixelColor(p)),
                         qPrintable(QString::number(c.tag)));
        }
    }

    void unreadablePicturesAreRefused()
    {
        QTemporaryDir dir;
        QString error;
        QVERIFY(ReadPicture(dir.filePath(QStringLiteral("missing.jpg")), &error).isNull());
        QVERIFY(!error.isEmpty());
        const QString garbage = dir.filePath(QStringLiteral("garbage.jpg"));
        QVERIFY(WriteFile(garbage, QByteArray("\xFF\xD8\xFF\xE0 not really a picture")));
        QVERIFY(ReadPicture(garbage, &error).isNull());
        QVERIFY(!error.isEmpty());
        // Refused from its header, before anything is decoded.
        const QString huge = dir.filePath(QStringLiteral("huge.bmp"));
        QVERIFY(WriteFile(huge, BmpHeader(10000, 5001)));
        QVERIFY(ReadPicture(huge, &error).isNull());
        QVERIFY2(error.contains(QStringLiteral("50 megapixels")), qPrintable(error));
        // An opened document keeps its picture when the next one fails.
        PictureDocument document;
        document.SetPicture(MarkedPicture(40, 30), QStringLiteral("/x/a.jpg"));
        QVERIFY(!document.Open(garbage, &error));
        QCOMPARE(document.FileName(), QStringLiteral("/x/a.jpg"));
    }

    void editsTurnFlipAndStraightenTheSavedPicture()
    {
        PictureDocument document;
        document.SetPicture(MarkedPicture(800, 600), QStringLiteral("/x/a.jpg"));
        QImage out = document.Render();
        QCOMPARE(out.size(), QSize(OutputWidth, OutputHeight));
        QVERIFY(Near(out.pixelColor(10, 290), QColor(200, 30, 30)));
        QVERIFY(Near(out.pixelColor(390, 290), QColor(30, 30, 200)));
        QVERIFY(Near(out.pixelColor(200, 10), QColor(30, 200, 30)));

        document.SetState(document.Flipped(true));
        out = document.Render();
        QVERIFY(Near(out.pixelColor(10, 290), QColor(30, 30, 200)));
        QVERIFY(Near(out.pixelColor(200, 10), QColor(30, 200, 30)));
        document.SetState(document.Flipped(false));
        QVERIFY(Near(document.Render().pixelColor(200, 290), QColor(30, 200, 30)));

        // Two quarter turns undo the two flips.
        document.SetState(document.Rotated(true));
        QCOMPARE(document.TurnedSize(), QSizeF(600, 800));
        CheckCrop(document.State().Crop, document.TurnedSize(), 0);
        document.SetState(document.Rotated(true));
        out = document.Render();
        QVERIFY(Near(out.pixelColor(10, 290), QColor(200, 30, 30)));
        QVERIFY(Near(out.pixelColor(200, 10), QColor(30, 200, 30)));

        // Straightened: the crop shrinks so no corner outside the picture shows.
        QImage black(800, 600, QImage::Format_RGB32);
        black.fill(Qt::black);
        document.SetPicture(black, {});
        document.SetState(document.Straightened(8));
        CheckCrop(document.State().Crop, document.TurnedSize(), 8);
        out = document.Render();
        for (const QPoint p : {QPoint(0, 0), QPoint(399, 0), QPoint(0, 299), QPoint(399, 299)})
            QVERIFY(qGray(out.pixel(p)) < 40);
        QCOMPARE(document.Straightened(45).Straighten, MaxStraightenDegrees);

        document.SetState(document.Adjusted(100, 0));
        QVERIFY(qGray(document.Render().pixel(200, 150)) > 120);
    }

    void saveNameMustLieInThePictureFolder()
    {
        QTemporaryDir dir;
        const QString app = dir.path();
        const QString folder = app + QStringLiteral("/Clinic/Picture");
        QString error;
        QVERIFY2(CheckSaveName(folder + QStringLiteral("/100000_1.JPG"), app, &error),
                 qPrintable(error));
        QVERIFY(QFileInfo(folder).isDir());
        QVERIFY(
            CheckSaveName(QStringLiteral("%1\\Clinic\\Picture\\7_1.jpg").arg(app), app, &error));
        for (const QString& bad :
             {QStringLiteral("/tmp/7_1.JPG"), folder + QStringLiteral("/../7_1.JPG"),
              app + QStringLiteral("/Picture/7_1.JPG"), QStringLiteral("Clinic/Picture/7_1.JPG"),
              folder + QStringLiteral("/7_1.png"), QString()}) {
            error.clear();
            QVERIFY2(!CheckSaveName(bad, app, &error), qPrintable(bad));
            QVERIFY(!error.isEmpty());
        }
        QVERIFY(QFile::link(QStringLiteral("/etc/hostname"), folder + QStringLiteral("/link.JPG")));
        QVERIFY(!CheckSaveName(folder + QStringLiteral("/link.JPG"), app, &error));
    }

    void failedWriteLeavesTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("1_1.JPG"));
        QVERIFY(WriteJpeg(MarkedPicture(400, 300), path, nullptr));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray old = file.readAll();
        file.close();
        QString error;
        QVERIFY(!WriteJpeg(QImage(), path, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("1_1.JPG")});
        // A folder that cannot take files.
        QVERIFY(
            !WriteJpeg(MarkedPicture(4, 3), dir.filePath(QStringLiteral("none/1_1.JPG")), &error));
    }

    void linkMessagesSurviveHostileBytes()
    {
        const LinkMessage poke{LinkMessageKind::Poke, LinkItem::SaveFName,
                               QStringLiteral("/a b/\"x\"\n|y.JPG")};
        const LinkMessage raise{LinkMessageKind::Raise, {}, {}};
        LinkMessageReader reader;
        const QByteArray bytes =
            EncodeLinkMessage(poke) + "not json\n{\"kind\":\"poke\"}\n" + EncodeLinkMessage(raise);
        // Arriving a byte at a time changes nothing.
        for (char c : bytes)
            QVERIFY(reader.Append(QByteArray(1, c)));
        QCOMPARE(reader.Next(), poke);
        QCOMPARE(reader.Next(), raise);
        QVERIFY(!reader.Next());
        QVERIFY(!reader.Append(QByteArray(MaxLinkLineBytes + 1, 'x')));

        QTemporaryDir dir;
        const Result<QString> made = ImageEditorSocketPath(dir.path());
        QVERIFY2(made, qPrintable(made.Reason()));
        const QString& path = made.Value();
        QVERIFY(QFile::encodeName(path).size() <= 106);
        QVERIFY(!QFileInfo(path).fileName().contains(QLatin1Char('/')));
        QCOMPARE(ImageEditorSocketPath(dir.path() + QStringLiteral("/./")).Value(), path);
        QVERIFY(ImageEditorSocketPath(dir.path() + QStringLiteral("/other")).Value() != path);
    }

    // The real program: a second start hands its picture over; a killed editor's socket
    // does not stop the next one.
    void secondStartHandsOverAndStaleSocketIsReplaced()
    {
        QTemporaryDir dir;
        const QString photo = dir.filePath(QStringLiteral("photo.jpg"));
        QVERIFY(WriteFile(photo, JpegWithOrientation(MarkedPicture(120, 90), 1)));
        const QStringList arguments = ImageEditorArguments(dir.path());
        QProcess first;
        first.start(QStringLiteral(TRAMELLE_IMAGEEDITOR), arguments);
        QVERIFY(first.waitForStarted());
        ImageEditorLink link;
        QTRY_VERIFY_WITH_TIMEOUT(link.Connect(dir.path(), 200), 10000);
        QTRY_COMPARE(link.Value(LinkItem::LinkStatus), QStringLiteral("0"));

        QProcess second;
        second.start(QStringLiteral(TRAMELLE_IMAGEEDITOR), ImageEditorArguments(dir.path(), photo));
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(link.Value(LinkItem::StatFileName), photo, 10000);

        first.kill();
        first.waitForFinished();
        QTRY_VERIFY(!link.IsConnected());
        QVERIFY(QFileInfo::exists(ImageEditorSocketPath(dir.path()).Value()));
        QProcess third;
        third.start(QStringLiteral(TRAMELLE_IMAGEEDITOR), arguments);
        QVERIFY(third.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(link.Connect(dir.path(), 200), 10000);
        QTRY_COMPARE(link.Value(LinkItem::StatFileName), QString());
        third.kill();
        third.waitForFinished();
    }
};

TRAMELLE_TEST_MAIN(TestImageEdit)
#include "tst_imageedit.moc"
