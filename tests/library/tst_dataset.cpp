// A public exercise data set in the flat JSON shape: how its fields map onto the library,
// its pictures fitted into the pictures' box, and bad sets refused with nothing stored.
// The sample is made here: three exercises and generated pictures.
#include "AppContext.h"
#include "DataSet.h"
#include "DbError.h"
#include "LoadPicture.h"
#include "TestMain.h"
#include "TestSupport.h"

#include <QDirIterator>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QSqlQuery>
#include <QTest>

using namespace tramelle;
using namespace tramelle::test;

namespace {

QJsonObject Exercise(const QString& id, const QString& name, const QStringList& muscles,
                     const QStringList& instructions, const QStringList& images)
{
    return QJsonObject{{QStringLiteral("id"), id},
                       {QStringLiteral("name"), name},
                       {QStringLiteral("force"), QStringLiteral("push")},
                       {QStringLiteral("level"), QStringLiteral("beginner")},
                       {QStringLiteral("mechanic"), QStringLiteral("compound")},
                       {QStringLiteral("equipment"), QJsonValue()},
                       {QStringLiteral("primaryMuscles"), QJsonArray::fromStringList(muscles)},
                       {QStringLiteral("secondaryMuscles"), QJsonArray()},
                       {QStringLiteral("instructions"), QJsonArray::fromStringList(instructions)},
                       {QStringLiteral("category"), QStringLiteral("strength")},
                       {QStringLiteral("images"), QJsonArray::fromStringList(images)}};
}

QByteArray Json(const QJsonArray& set)
{
    return QJsonDocument(set).toJson();
}

// A picture of the given size: red, with a blue frame, so that its placement shows.
void WritePicture(const QString& path, int width, int height, const char* format)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter p(&image);
    p.setPen(QPen(Qt::blue, 4));
    p.drawRect(2, 2, width - 4, height - 4);
    p.end();
    QDir().mkpath(QFileInfo(path).path());
    QVERIFY(image.save(path, format));
}

DataSetMapping Mapping()
{
    return ReadDataSetMapping(JoinPath(DeliveredFilesFolder(), DataSetMappingFileName));
}

int ClinicFileCount(const QString& appFolder)
{
    int n = 0;
    QDirIterator it(JoinPath(appFolder, QStringLiteral("Clinic")), QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++n;
    }
    return n;
}

const QString LongName =
    QStringLiteral("Seated single leg extension with a resistance band around the ankle, slowly");

} // namespace

class TestDataSet : public QObject
{
    Q_OBJECT

    QTemporaryDir m_set;

    QJsonArray Sample() const
    {
        return {Exercise(
                    QStringLiteral("Leg_Extension"), LongName,
                    {QStringLiteral("Quadriceps"), QStringLiteral("glutes"),
                     QStringLiteral("hamstrings"), QStringLiteral("tongue")},
                    {QStringLiteral("Sit tall on a firm chair."),
                     QStringLiteral("Loop the band around the ankle."),
                     QStringLiteral("Straighten the knee slowly until the leg is level, "
                                    "then hold it there and breathe out while you count "
                                    "to three before you lower it again."),
                     QStringLiteral("Lower the leg."), QStringLiteral("Rest.")},
                    {QStringLiteral("Leg_Extension/0.jpg"), QStringLiteral("Leg_Extension/1.png")}),
                Exercise(QStringLiteral("Calf_Raise"), QStringLiteral("Calf Raise"),
                         {QStringLiteral("calves")}, {QStringLiteral("Rise on your toes.")},
                         {QStringLiteral("Calf_Raise/0.jpg")})};
    }

private slots:
    void initTestCase()
    {
        WritePicture(JoinPath(m_set.path(), QStringLiteral("Leg_Extension/0.jpg")), 750, 500,
                     "JPEG");
        WritePicture(JoinPath(m_set.path(), QStringLiteral("Leg_Extension/1.png")), 300, 600,
                     "PNG");
        WritePicture(JoinPath(m_set.path(), QStringLiteral("Calf_Raise/0.jpg")), 120, 90, "JPEG");
        WriteTestFile(JoinPath(m_set.path(), QStringLiteral("Broken/0.jpg")), "not a picture");
    }

    void fieldsMapOntoTheLibrary()
    {
        const QList<DataSetExercise> set = ReadDataSet(Json(Sample()), Mapping());
        QCOMPARE(set.size(), 2);
        const DataSetExercise& x = set.first();
        const LibraryEntry& e = x.Record.Entry;
        QCOMPARE(e.Desc, QStringLiteral("Seated single leg extension with a resistance band"));
        QCOMPARE(e.AbbrevDesc, QStringLiteral("Seated single"));
        QCOMPARE(e.Joint, QStringLiteral("Knee, Hip"));
        QCOMPARE(e.Motion, QStringLiteral("Extension"));
        QCOMPARE(e.Type, QStringLiteral("Strengthening"));
        QCOMPARE(e.Instruct0,
                 QStringLiteral("Sit tall on a firm chair. Loop the band around the ankle."));
        QCOMPARE(e.Instruct1, QStringLiteral("Straighten the knee slowly until the leg is level, "
                                             "then hold it there and"));
        QCOMPARE(e.Instruct2, QStringLiteral("breathe out while you count to three before you "
                                             "lower it again."));
        const QString notes = x.Notes.join(QLatin1Char('|'));
        QVERIFY2(notes.contains(QLatin1String("name cut")), qPrintable(notes));
        QVERIFY(notes.contains(QLatin1String("no joint for the muscle \"tongue\"")));
        QVERIFY(notes.contains(QLatin1String("\"Lower the leg. Rest.\"")));
        QCOMPARE(set.at(1).Record.Entry.AbbrevDesc, QStringLiteral("Calf Raise"));
        QCOMPARE(set.at(1).Record.Entry.Joint, QStringLiteral("Ankle"));
        QCOMPARE(CutAtWord(QStringLiteral("Supercalifragilistic"), 5), QStringLiteral("Super"));
    }

    void mappingUsesOnlyTheDeliveredVocabulary()
    {
        QFile source(QStringLiteral(TRAMELLE_SOURCE_DIR "/resources/exercises.json"));
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QJsonObject vocabulary = QJsonDocument::fromJson(source.readAll())
                                           .object()
                                           .value(QLatin1String("vocabulary"))
                                           .toObject();
        const DataSetMapping m = Mapping();
        const auto check = [&](const QHash<QString, QString>& table, const char* column) {
            const QJsonArray terms = vocabulary.value(QLatin1String(column)).toArray();
            for (const QString& value : table)
                QVERIFY2(terms.contains(value), qPrintable(value));
        };
        check(m.Joints, "Joint");
        check(m.Motions, "Motion");
        check(m.Types, "Type");
    }

    void picturesAreFittedIntoTheBoxAndStored()
    {
        TestContext t;
        const qint32 first = NextExerciseID(t->Db.LibraryDb()).Value();
        const QList<DataSetExercise> set = ReadDataSet(Json(Sample()), Mapping());
        const ShareImportResult r = ImportDataSet(*t, set, m_set.path(), DataSetPictureWriters());
        QCOMPARE(r.Imported.size(), 2);
        QCOMPARE(r.MediaFiles, 5);
        const std::optional<LibraryRecord> stored = ReadExercise(t->Db.LibraryDb(), first);
        QVERIFY(stored);
        QCOMPARE(stored->Entry.code, QString::number(first));
        QCOMPARE(stored->Entry.Picture1, PictureFileName(first, 2));
        QCOMPARE(stored->PictureSrc[1], QStringLiteral("Leg_Extension/1.png"));
        QVERIFY(r.Report().contains(QLatin1String("Left out:")));

        // Wide and tall pictures keep their shape inside the 4:3 box, on white.
        const QImage wide(ClinicMediaPath(*t, MediaKind::Picture, stored->Entry.Picture0));
        QCOMPARE(wide.size(), QSize(PictureWidth, PictureHeight));
        QVERIFY(qRed(wide.pixel(200, 5)) > 200 && qGreen(wide.pixel(200, 5)) > 200);
        QVERIFY(qRed(wide.pixel(200, 150)) > 200 && qGreen(wide.pixel(200, 150)) < 60);
        const QImage tall(ClinicMediaPath(*t, MediaKind::Picture, stored->Entry.Picture1));
        QCOMPARE(tall.size(), QSize(PictureWidth, PictureHeight));
        QVERIFY(qGreen(tall.pixel(20, 150)) > 200);
        QVERIFY(qGreen(tall.pixel(200, 150)) < 60);
        const QImage icon(ClinicMediaPath(*t, MediaKind::Icon, stored->Entry.Icon));
        QCOMPARE(icon.width(), IconWidth);
        // A small picture of the box's shape fills it.
        const std::optional<LibraryRecord> small = ReadExercise(t->Db.LibraryDb(), first + 1);
        const QImage calf(ClinicMediaPath(*t, MediaKind::Picture, small->Entry.Picture0));
        QCOMPARE(calf.size(), QSize(PictureWidth, PictureHeight));
        QVERIFY(qGreen(calf.pixel(30, 150)) < 60);
    }

    void badSetsAreRefusedWithNothingStored()
    {
        TestContext t;
        const auto refused = [&](const QByteArray& json, const QString& expected) {
            try {
                const auto set = ReadDataSet(json, Mapping());
                (void)ImportDataSet(*t, set, m_set.path(), DataSetPictureWriters());
                QFAIL("the data set was imported");
            } catch (const DbError& e) {
                QVERIFY2(e.message().contains(expected), qPrintable(e.message()));
            }
        };
        const qint64 before = [&] {
            QSqlQuery q =
                Exec(t->Db.LibraryDb(), QStringLiteral("SELECT count(*) FROM ExerciseLibrary"));
            q.next();
            return q.value(0).toLongLong();
        }();
        QJsonObject o = Sample().first().toObject();
        o.insert(QStringLiteral("name"), 42);
        refused(Json({o}), QStringLiteral("name must be a text"));
        o = Sample().first().toObject();
        o.insert(QStringLiteral("name"), QString(10000, QLatin1Char('n')));
        refused(Json({o}), QStringLiteral("name has 10000 characters"));
        o = Sample().first().toObject();
        o.insert(QStringLiteral("instructions"), QStringLiteral("one long text"));
        refused(Json({o}), QStringLiteral("instructions must be a list of texts"));
        o = Sample().first().toObject();
        o.insert(QStringLiteral("images"), QJsonArray{QStringLiteral("../../etc/passwd")});
        refused(Json({o}), QStringLiteral("outside the image folder"));
        refused("{\"id\": 1}", QStringLiteral("must be a list of exercises"));
        // A picture that does not decode stops the whole set, after good ones were written.
        o = Sample().at(1).toObject();
        o.insert(QStringLiteral("images"), QJsonArray{QStringLiteral("Broken/0.jpg")});
        refused(Json({Sample().first(), o}), QStringLiteral("Broken/0.jpg\" cannot be read"));

        QSqlQuery q =
            Exec(t->Db.LibraryDb(), QStringLiteral("SELECT count(*) FROM ExerciseLibrary"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toLongLong(), before);
        QCOMPARE(ClinicFileCount(t.Folder()), 0);
    }
};

TRAMELLE_TEST_MAIN(TestDataSet)
#include "tst_dataset.moc"
