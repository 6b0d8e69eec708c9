// The sharing windows on screen: the library list with Export and Import, the preview of
// a small made-up data set, and the report of its import, each saved as a picture of the
// screen in the folder given:
//   xvfb-run -a -s "-screen 0 1280x1024x24" show_sharing /tmp/shots
#include "AppContext.h"
#include "DataSet.h"
#include "LoadPicture.h"
#include "SharingWindows.h"
#include "TestSupport.h"
#include "frmLibrary.h"

#include <QApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace tramelle;
using namespace tramelle::test;

namespace {

QString g_shots;

void Shot(const QString& name)
{
    QTest::qWait(400);
    QGuiApplication::primaryScreen()->grabWindow(0).save(g_shots + QLatin1Char('/') + name +
                                                         QStringLiteral(".png"));
}

QJsonObject Exercise(int i, const QString& name, const QString& muscle,
                     const QStringList& instructions)
{
    return QJsonObject{
        {QStringLiteral("id"), QStringLiteral("Made_%1").arg(i)},
        {QStringLiteral("name"), name},
        {QStringLiteral("force"), i % 2 ? QStringLiteral("pull") : QStringLiteral("push")},
        {QStringLiteral("mechanic"), QStringLiteral("isolation")},
        {QStringLiteral("category"),
         i % 3 ? QStringLiteral("strength") : QStringLiteral("stretching")},
        {QStringLiteral("primaryMuscles"), QJsonArray{muscle}},
        {QStringLiteral("instructions"), QJsonArray::fromStringList(instructions)},
        {QStringLiteral("images"), QJsonArray{QStringLiteral("made%1/0.jpg").arg(i)}}};
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InitTestEnvironment();
    g_shots = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(g_shots);
    TestContext t;

    // A made-up data set: four exercises, a generated picture each.
    QTemporaryDir set;
    QJsonArray exercises;
    const QStringList names{QStringLiteral("Standing calf raise on a step, both feet"),
                            QStringLiteral("Band row"),
                            QStringLiteral("Seated hamstring stretch with a towel around the foot, "
                                           "knee straight"),
                            QStringLiteral("Wall push")};
    const QStringList muscles{QStringLiteral("calves"), QStringLiteral("middle back"),
                              QStringLiteral("hamstrings"), QStringLiteral("chest")};
    for (int i = 0; i < names.size(); ++i) {
        QImage photo(i % 2 ? 500 : 750, 500, QImage::Format_RGB32);
        photo.fill(QColor::fromHsv(60 * i, 90, 230));
        QPainter p(&photo);
        p.setBrush(QColor::fromHsv(60 * i + 30, 200, 150));
        p.drawEllipse(photo.rect().adjusted(60, 60, -60, -60));
        p.end();
        QDir().mkpath(set.filePath(QStringLiteral("made%1").arg(i)));
        photo.save(set.filePath(QStringLiteral("made%1/0.jpg").arg(i)), "JPEG");
        exercises.append(Exercise(i, names.at(i), muscles.at(i),
                                  {QStringLiteral("Stand tall and hold on for balance."),
                                   QStringLiteral("Move slowly through the whole range, "
                                                  "breathing out as you work and in as you "
                                                  "return to the start."),
                                   QStringLiteral("Stop if it hurts.")}));
    }

    auto* library = new frmLibrary(*t, nullptr);
    library->resize(900, 560);
    library->show();
    Shot(QStringLiteral("1-library-list"));

    const QList<DataSetExercise> mapped =
        ReadDataSet(QJsonDocument(exercises).toJson(),
                    ReadDataSetMapping(JoinPath(DeliveredFilesFolder(), DataSetMappingFileName)));
    frmDataSetPreview preview(mapped, NextExerciseID(t->Db.LibraryDb()));
    QTimer::singleShot(0, &preview, [&] {
        Shot(QStringLiteral("2-data-set-preview"));
        preview.accept();
    });
    preview.exec();
    const ShareImportResult r = ImportDataSet(*t, mapped, set.path(), DataSetPictureWriters());
    library->cmdFillListBox_Click();
    Shot(QStringLiteral("3-library-after-import"));
    std::printf("%s\n", qPrintable(r.Report()));
    library->close();
    return 0;
}
