// Times opening a 12-megapixel camera photo (turned by its orientation tag) in the image
// editor's document, and saving a straightened, adjusted crop of it as a library picture.
#include "PictureDocument.h"
#include "TestPictures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using namespace tramelle::imageeditor;

namespace {

// Photograph-like content: gradients, shapes and noise, so the JPEG is as large as a camera's.
QImage Photo(int width, int height)
{
    QImage image = tramelle::test::MarkedPicture(width, height);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor(240, 220, 200, 160));
    gradient.setColorAt(1, QColor(40, 60, 90, 160));
    painter.fillRect(image.rect(), gradient);
    QRandomGenerator random(7);
    for (int i = 0; i < 400; ++i)
        painter.fillRect(random.bounded(width), random.bounded(height), random.bounded(600),
                         random.bounded(600), QColor::fromRgb(random.generate() | 0xff000000));
    painter.end();
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] ^= random.generate() & 0x0f0f0f;
    }
    return image;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const QString photo = dir.filePath(QStringLiteral("photo.jpg"));
    tramelle::test::WriteFile(photo, tramelle::test::JpegWithOrientation(Photo(4000, 3000), 6));
    std::printf("photo: 4000 x 3000, %.1f MB, orientation tag 6\n", QFileInfo(photo).size() / 1e6);

    std::vector<double> opens, saves;
    for (int run = 0; run < 5; ++run) {
        PictureDocument document;
        QElapsedTimer timer;
        timer.start();
        QString error;
        if (!document.Open(photo, &error)) {
            std::printf("open failed: %s\n", qPrintable(error));
            return 1;
        }
        opens.push_back(timer.nsecsElapsed() / 1e6);

        document.SetState(document.Straightened(3.5));
        document.SetState(document.Adjusted(10, 15));
        const QRectF usable = document.Usable();
        document.SetState(
            document.Cropped(QRectF(usable.left() + 200, usable.top() + 300, 2000, 1500)));
        timer.restart();
        if (!WriteJpeg(document.Render(), dir.filePath(QStringLiteral("100000_1.JPG")), &error)) {
            std::printf("save failed: %s\n", qPrintable(error));
            return 1;
        }
        saves.push_back(timer.nsecsElapsed() / 1e6);
        // The whole picture as the crop: the largest reduction.
        document.SetState(document.Cropped(usable));
        timer.restart();
        WriteJpeg(document.Render(), dir.filePath(QStringLiteral("100000_2.JPG")), &error);
        saves.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("open 12-megapixel JPEG (decode, turn, screen copy): median %.0f ms, worst %.0f ms "
                "(target 1000)\n",
                Median(opens), *std::max_element(opens.begin(), opens.end()));
    std::printf("save cropped 400 x 300 JPEG (render, write, rename): median %.0f ms, worst %.0f "
                "ms (target 300)\n",
                Median(saves), *std::max_element(saves.begin(), saves.end()));
    return 0;
}
