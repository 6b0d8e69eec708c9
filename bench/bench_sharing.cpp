// Importing a data set of 1,000 exercises with 2,000 photographs of 750 x 500 pixels,
// against decoding, fitting and encoding those photographs alone in the same run; prints
// both, their ratio and the import's peak memory. The photographs are made first by a
// child process of this program, so that making them does not count in the peak.
#include "AppContext.h"
#include "DataSet.h"
#include "Database.h"
#include "LoadPicture.h"
#include "Paths.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

using namespace tramelle;

namespace {

constexpr int Exercises = 1000;
constexpr int PhotosEach = 2;
constexpr int PhotoWidth = 750;
constexpr int PhotoHeight = 500;

double PeakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// Gradients, shapes and grain: a JPEG about as costly to decode as a photograph.
int MakePhotos(const QString& folder)
{
    QRandomGenerator random(42);
    QImage grain(PhotoWidth, PhotoHeight, QImage::Format_ARGB32);
    for (int y = 0; y < PhotoHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(grain.scanLine(y));
        for (int x = 0; x < PhotoWidth; ++x)
            line[x] = qRgba(0, 0, 0, int(random.bounded(48)));
    }
    QJsonArray set;
    for (int i = 0; i < Exercises; ++i) {
        QJsonArray images;
        for (int n = 0; n < PhotosEach; ++n) {
            QImage photo(PhotoWidth, PhotoHeight, QImage::Format_RGB32);
            QPainter p(&photo);
            QLinearGradient g(0, 0, PhotoWidth, PhotoHeight);
            g.setColorAt(0, QColor::fromHsv(int(random.bounded(360)), 120, 220));
            g.setColorAt(1, QColor::fromHsv(int(random.bounded(360)), 200, 90));
            p.fillRect(photo.rect(), g);
            for (int s = 0; s < 12; ++s) {
                p.setBrush(QColor::fromHsv(int(random.bounded(360)), 160, 180));
                p.drawEllipse(
                    QPoint(int(random.bounded(PhotoWidth)), int(random.bounded(PhotoHeight))),
                    int(random.bounded(20, 160)), int(random.bounded(20, 160)));
            }
            p.drawImage(0, 0, grain);
            p.end();
            const QString name = QStringLiteral("ex%1/%2.jpg").arg(i).arg(n);
            QDir().mkpath(QFileInfo(JoinPath(folder, name)).path());
            if (!photo.save(JoinPath(folder, name), "JPEG", 85))
                return 1;
            images.append(name);
        }
        set.append(QJsonObject{
            {QStringLiteral("id"), QStringLiteral("Exercise_%1").arg(i)},
            {QStringLiteral("name"),
             QStringLiteral("Bench exercise number %1 with a longer name that is cut").arg(i)},
            {QStringLiteral("force"), QStringLiteral("pull")},
            {QStringLiteral("mechanic"), QStringLiteral("isolation")},
            {QStringLiteral("category"), QStringLiteral("strength")},
            {QStringLiteral("primaryMuscles"), QJsonArray{QStringLiteral("biceps")}},
            {QStringLiteral("instructions"),
             QJsonArray{QStringLiteral("Hold the band in one hand."),
                        QStringLiteral("Bend the elbow slowly and lower it again.")}},
            {QStringLiteral("images"), images}});
    }
    QSaveFile out(JoinPath(folder, QStringLiteral("exercises.json")));
    if (!out.open(QIODevice::WriteOnly))
        return 1;
    out.write(QJsonDocument(set).toJson());
    return out.commit() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--make")
        return MakePhotos(QString::fromLocal8Bit(argv[2]));

    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/bench_sharing-XXXXXX"));
    const QString set = dir.filePath(QStringLiteral("set"));
    QElapsedTimer timer;
    timer.start();
    if (QProcess::execute(QCoreApplication::applicationFilePath(),
                          {QStringLiteral("--make"), set}) != 0) {
        std::printf("could not make the photographs\n");
        return 1;
    }
    std::printf("made %d photographs of %dx%d in %.1f s\n", Exercises * PhotosEach, PhotoWidth,
                PhotoHeight, timer.nsecsElapsed() / 1e9);

    // The pictures alone: decode, fit into the box, encode, into memory.
    timer.restart();
    for (int i = 0; i < Exercises; ++i) {
        for (int n = 0; n < PhotosEach; ++n) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            const Result<QImage> fitted =
                LoadFittedPicture(JoinPath(set, QStringLiteral("ex%1/%2.jpg").arg(i).arg(n)));
            if (!fitted || !WriteJpeg(fitted.Value(), buffer).isEmpty()) {
                std::printf("a photograph could not be converted\n");
                return 1;
            }
        }
    }
    const double alone = timer.nsecsElapsed() / 1e9;

    const QString appFolder = dir.filePath(QStringLiteral("app"));
    QDir().mkpath(appFolder);
    InstallDeliveredFiles(appFolder, DeliveredFilesFolder());
    AppContext ctx(appFolder);
    OpenDatabases(ctx);
    timer.restart();
    QFile json(JoinPath(set, QStringLiteral("exercises.json")));
    if (!json.open(QIODevice::ReadOnly))
        return 1;
    const QList<DataSetExercise> exercises =
        ReadDataSet(json.readAll(),
                    ReadDataSetMapping(JoinPath(DeliveredFilesFolder(), DataSetMappingFileName)));
    const ShareImportResult result = ImportDataSet(ctx, exercises, set, DataSetPictureWriters());
    const double import = timer.nsecsElapsed() / 1e9;
    CloseDatabases(ctx);

    std::printf("pictures alone (decode, fit, encode %d): %.2f s\n", Exercises * PhotosEach, alone);
    std::printf("import of %lld exercises (%d pictures and icons written): %.2f s\n",
                qlonglong(result.Imported.size()), result.MediaFiles, import);
    std::printf("ratio import / pictures alone: %.2f (target at most 1.5)\n", import / alone);
    std::printf("peak memory: %.0f MB (target under 300 MB)\n", PeakMegabytes());
    return 0;
}
