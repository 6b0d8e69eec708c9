#include "Database.h"
#include "DbError.h"
#include "DeliveredData.h"
#include "Paths.h"
#include "TestMain.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMediaPlayer>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QVideoSink>
#include <QtEndian>

using namespace tramelle;
using namespace tramelle::test;

namespace {

QString Delivered()
{
    return DeliveredFilesFolder();
}
QString Media()
{
    return ProductMediaFolder();
}

QList<DeliveredExercise> SampleRows()
{
    return ReadDeliveredLibrary(JoinPath(Delivered(), DeliveredLibraryFileName));
}

QByteArray FileBytes(const QString& path);

// The exercise source the delivered library is built from.
QJsonObject SourceDocument()
{
    return QJsonDocument::fromJson(
               FileBytes(QStringLiteral(TRAMELLE_SOURCE_DIR "/resources/exercises.json")))
        .object();
}

// The words that name what to avoid in an instruction.
const QRegularExpression& AvoidWords()
{
    static const QRegularExpression words(
        QStringLiteral("\\b(not|avoid|don't|without|stop|never)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return words;
}

QByteArray FileBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Runs the generator; returns its exit code (-1 when it did not run).
int RunGenerator(const QStringList& arguments, QString* errors = nullptr)
{
    QProcess p;
    p.start(QStringLiteral(TRAMELLE_MEDIAGEN), arguments);
    if (!p.waitForFinished(120000))
        return -1;
    if (errors)
        *errors = QString::fromLocal8Bit(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// The chunks of a RIFF list's content: id and data.
QList<QPair<QByteArray, QByteArray>> Chunks(const QByteArray& data)
{
    QList<QPair<QByteArray, QByteArray>> result;
    qsizetype at = 0;
    while (at + 8 <= data.size()) {
        const QByteArray id = data.mid(at, 4);
        const quint32 size = qFromLittleEndian<quint32>(data.constData() + at + 4);
        result.append({id, data.mid(at + 8, size)});
        at += 8 + size + (size % 2);
    }
    return result;
}

QByteArray FindList(const QList<QPair<QByteArray, QByteArray>>& chunks, const char* type)
{
    for (const auto& [id, data] : chunks) {
        if (id == "LIST" && data.startsWith(type))
            return data.mid(4);
    }
    return {};
}

} // namespace

class TestDelivered : public QObject
{
    Q_OBJECT

private slots:
    // Every delivered row must be one the library editor could have written.
    void sampleRowsKeepTheLibraryLimitsAndNamingRule()
    {
        const QList<DeliveredExercise> rows = SampleRows();
        QSet<qint32> ids;
        QSet<QString> joints, types;
        bool twoJoints = false;
        for (const DeliveredExercise& row : rows) {
            const LibraryEntry& e = row.Entry;
            const QByteArray what = QByteArray::number(e.ExerciseID);
            QVERIFY2(!ids.contains(e.ExerciseID), what);
            ids.insert(e.ExerciseID);
            QVERIFY2(e.ExerciseID > 0 && (e.ExerciseID < 244 || e.ExerciseID == 385), what);
            QCOMPARE(e.code, QString::number(e.ExerciseID));
            QVERIFY2(!e.AbbrevDesc.isEmpty() && e.AbbrevDesc.size() <= 15, what);
            QVERIFY2(!e.Desc.isEmpty() && e.Desc.size() <= 50, what);
            for (const QString& text : {e.Instruct0, e.Instruct1, e.Instruct2})
                QVERIFY2(!text.isEmpty() && text.size() <= 75, what);
            // A handout's steps: set up, then what to feel, then what to avoid.
            QVERIFY2(e.Instruct1.contains(QLatin1String("feel"), Qt::CaseInsensitive), what);
            QVERIFY2(AvoidWords().match(e.Instruct2).hasMatch(),
                     what + ": " + e.Instruct2.toUtf8());
            QVERIFY2(e.Reps > 0 && e.Sets > 0 && e.Hold >= 0, what);
            QVERIFY2(!e.Joint.isEmpty() && !e.Motion.isEmpty() && !e.Type.isEmpty(), what);
            QCOMPARE(e.Picture0, what + "_1.JPG");
            QCOMPARE(e.Picture1, what + "_2.JPG");
            QCOMPARE(e.Picture2, what + "_3.JPG");
            QCOMPARE(e.Icon, what + ".JPG");
            QVERIFY2(e.Movie.isEmpty() || e.Movie == what + ".AVI", what);
            // Video values belong to exercises on the tape only.
            if (!e.HasVideo)
                QVERIFY2(e.VideoReps == 0 && e.VideoHold == 0 && e.VideoSets == 0, what);
            for (const QString& j : e.Joint.split(QLatin1Char(',')))
                joints.insert(j.trimmed());
            twoJoints = twoJoints || e.Joint.contains(QLatin1Char(','));
            types.insert(e.Type);
        }
        // Every delivered number, and the probe picture's exercise.
        QSet<qint32> expected{ProbeExerciseID};
        for (qint32 id = 1; id < FirstUserExerciseID; ++id)
            expected.insert(id);
        QCOMPARE(ids, expected);
        QCOMPARE(rows.at(0).Entry.Movie, QStringLiteral("1.AVI"));
        QVERIFY(twoJoints);
        for (const char* j :
             {"Shoulder", "Elbow", "Wrist", "Hand", "Neck", "Low Back", "Hip", "Knee", "Ankle"})
            QVERIFY2(joints.contains(QLatin1String(j)), j);
        for (const char* t : {"Strengthening", "Stretching", "Range of Motion", "Balance"})
            QVERIFY2(types.contains(QLatin1String(t)), t);
    }

    // The filter lists offer these terms: each spelled one way only, and no joint term
    // inside another, as the Joint filter selects by containment ("Back" would select
    // "Low Back").
    void everyRowKeepsToTheVocabulary()
    {
        const QJsonObject lists = SourceDocument().value(QLatin1String("vocabulary")).toObject();
        const QStringList columns{QStringLiteral("Joint"), QStringLiteral("Motion"),
                                  QStringLiteral("Type")};
        QHash<QString, QSet<QString>> terms, used;
        for (const QString& column : columns) {
            QSet<QString> folded;
            for (const QJsonValue& v : lists.value(column).toArray()) {
                const QString term = v.toString();
                const QString key = term.toLower().remove(QLatin1Char(' '));
                QVERIFY2(!term.isEmpty() && term == term.trimmed() && !folded.contains(key),
                         qPrintable(term));
                folded.insert(key);
                terms[column].insert(term);
            }
        }
        for (const QString& a : terms.value(QStringLiteral("Joint"))) {
            for (const QString& b : terms.value(QStringLiteral("Joint")))
                QVERIFY2(a == b || !a.contains(b, Qt::CaseInsensitive),
                         qPrintable(a + QStringLiteral(" / ") + b));
        }

        QHash<QString, QHash<QString, int>> typesByJoint;
        for (const DeliveredExercise& row : SampleRows()) {
            const LibraryEntry& e = row.Entry;
            const QByteArray what = QByteArray::number(e.ExerciseID);
            QSet<QString> joints;
            for (const QString& part : e.Joint.split(QLatin1Char(','))) {
                const QString joint = part.trimmed();
                QVERIFY2(terms.value(QStringLiteral("Joint")).contains(joint) &&
                             !joints.contains(joint),
                         what);
                joints.insert(joint);
                ++typesByJoint[joint][e.Type];
            }
            QVERIFY2(terms.value(QStringLiteral("Motion")).contains(e.Motion), what);
            QVERIFY2(terms.value(QStringLiteral("Type")).contains(e.Type), what);
            used[QStringLiteral("Joint")] += joints;
            used[QStringLiteral("Motion")].insert(e.Motion);
            used[QStringLiteral("Type")].insert(e.Type);
        }
        // No term offered in a list selects nothing.
        for (const QString& column : columns)
            QCOMPARE(used.value(column), terms.value(column));
        // The regions of a general clinic, each moved, stretched and strengthened.
        for (const char* joint : {"Neck", "Upper Back", "Shoulder", "Elbow", "Wrist", "Hand",
                                  "Low Back", "Hip", "Knee", "Ankle", "Foot"}) {
            const QHash<QString, int> types = typesByJoint.value(QLatin1String(joint));
            for (const char* type : {"Range of Motion", "Stretching", "Strengthening"})
                QVERIFY2(types.value(QLatin1String(type)) > 0,
                         qPrintable(QLatin1String(joint) + QLatin1Char('/') + QLatin1String(type)));
        }
        QVERIFY(typesByJoint.value(QStringLiteral("Jaw")).size() >= 2);
        QVERIFY(typesByJoint.value(QStringLiteral("Hip")).value(QStringLiteral("Balance")) >= 10);
    }

    // A library file of an earlier version holds fewer delivered rows: the missing ones
    // are added once, and the clinic's own changes and exercises stay.
    void anOlderLibraryGetsTheMissingRowsOnly()
    {
        TestContext t;
        const QSqlDatabase db = t->Db.LibraryDb();
        const QList<DeliveredExercise> delivered = SampleRows();
        Exec(db,
             QStringLiteral("DELETE FROM ExerciseLibrary WHERE (ExerciseID >= 70 AND ExerciseID < "
                            "244) OR ExerciseID = ?"),
             {ProbeExerciseID});
        Exec(db,
             QStringLiteral(
                 "UPDATE ExerciseLibrary SET \"Desc\" = ?, Reps = ? WHERE ExerciseID = 1"),
             {QStringLiteral("Our arm raise"), 7});
        DeliveredExercise own = delivered.at(1);
        LibraryEntry& e = own.Entry;
        e.ExerciseID = FirstUserExerciseID;
        e.code = QString::number(e.ExerciseID);
        e.Picture0 = PictureFileName(e.ExerciseID, 1);
        e.Picture1 = PictureFileName(e.ExerciseID, 2);
        e.Picture2 = PictureFileName(e.ExerciseID, 3);
        e.Icon = IconFileName(e.ExerciseID);
        e.Movie.clear();
        InsertLibraryRows(db, {own});

        // All or nothing: a row that cannot be stored adds none of the others.
        QList<DeliveredExercise> twice = delivered;
        twice << delivered.at(100);
        QVERIFY_THROWS_EXCEPTION(DbError, AddMissingDeliveredRows(db, twice));
        auto count = [&db] {
            QSqlQuery q = Exec(db, QStringLiteral("SELECT COUNT(*) FROM ExerciseLibrary"));
            return q.next() ? q.value(0).toInt() : -1;
        };
        QCOMPARE(count(), 70);

        QCOMPARE(AddMissingDeliveredExercises(db, Delivered()), 175);
        QCOMPARE(count(), int(delivered.size()) + 1);
        QSqlQuery q =
            Exec(db, QStringLiteral("SELECT ExerciseID, \"Desc\", Reps FROM ExerciseLibrary "
                                    "WHERE ExerciseID IN (1, 100, 244) ORDER BY ExerciseID"));
        QVERIFY(q.next());
        QCOMPARE(q.value(1).toString(), QStringLiteral("Our arm raise"));
        QCOMPARE(q.value(2).toInt(), 7);
        QVERIFY(q.next());
        QCOMPARE(q.value(1).toString(), delivered.at(99).Entry.Desc);
        QVERIFY(q.next());
        QCOMPARE(q.value(1).toString(), own.Entry.Desc);
        q.finish();
        QCOMPARE(AddMissingDeliveredExercises(db, Delivered()), 0);
    }

    void everyNamedPictureIconAndMovieExists()
    {
        const QList<DeliveredExercise> rows = SampleRows();
        int movies = 0;
        for (const DeliveredExercise& row : rows) {
            const LibraryEntry& e = row.Entry;
            for (const QString& name : {e.Picture0, e.Picture1, e.Picture2}) {
                const QString path = JoinPath(Media(), QStringLiteral("Picture/") + name);
                QVERIFY2(FileExistsAnyCase(path), qPrintable(path));
                const QSize size = QImageReader(ResolvePath(path)).size();
                QCOMPARE(size, QSize(400, 300)); // 4:3, as the sheets print them
            }
            const QString icon = JoinPath(Delivered(), QStringLiteral("ICON/") + e.Icon);
            QVERIFY2(FileExistsAnyCase(icon), qPrintable(icon));
            QCOMPARE(QImageReader(ResolvePath(icon)).size().width(), 61);
            if (!e.Movie.isEmpty()) {
                ++movies;
                const QString movie = JoinPath(Media(), QStringLiteral("Movie/") + e.Movie);
                QVERIFY2(FileExistsAnyCase(movie), qPrintable(movie));
            }
        }
        QVERIFY(movies * 3 >= rows.size());
        QVERIFY(FileExistsAnyCase(JoinPath(Media(), QStringLiteral("Picture/385_1.JPG"))));
        // Pictures of one exercise show different poses.
        QVERIFY(FileBytes(JoinPath(Media(), QStringLiteral("Picture/1_1.JPG"))) !=
                FileBytes(JoinPath(Media(), QStringLiteral("Picture/1_3.JPG"))));
    }

    void freshInstallHoldsTheSampleData()
    {
        TestContext t;
        const int expected = int(SampleRows().size());
        QSqlQuery count =
            Exec(t->Db.LibraryDb(),
                 QStringLiteral("SELECT COUNT(*), SUM(code = CAST(ExerciseID AS TEXT)) "
                                "FROM ExerciseLibrary"));
        QVERIFY(count.next());
        QCOMPARE(count.value(0).toInt(), expected);
        QCOMPARE(count.value(1).toInt(), expected);
        count.finish();

        QSqlQuery row = Exec(t->Db.LibraryDb(),
                             QStringLiteral("SELECT Picture0, Icon, Movie, HasVideo, IconSrc "
                                            "FROM ExerciseLibrary WHERE ExerciseID = ?"),
                             {385});
        QVERIFY(row.next());
        QCOMPARE(row.value(0).toString(), QStringLiteral("385_1.JPG"));
        QCOMPARE(row.value(1).toString(), QStringLiteral("385.JPG"));
        QCOMPARE(row.value(2).toString(), QStringLiteral("385.AVI"));
        QCOMPARE(row.value(3).toInt(), 1);
        QCOMPARE(row.value(4).toInt(), 2);
        row.finish();

        for (const char* list : {"Provider", "Usage"}) {
            QSqlQuery q =
                Exec(t->Db.PicklistDb(),
                     QStringLiteral("SELECT Level1.Name FROM Label INNER JOIN Level1 ON Label.ID = "
                                    "Level1.LabelID WHERE Label.Name = ?"),
                     {QString::fromLatin1(list)});
            int entries = 0;
            while (q.next()) {
                ++entries;
                QVERIFY(q.value(0).toString().size() <= (qstrcmp(list, "Provider") == 0 ? 40 : 20));
            }
            QVERIFY2(entries >= 3, list);
        }
        // Lists and entries share one numbering.
        QSqlQuery ids =
            Exec(t->Db.PicklistDb(),
                 QStringLiteral("SELECT COUNT(*) FROM Label JOIN Level1 ON Label.ID = Level1.ID"));
        QVERIFY(ids.next());
        QCOMPARE(ids.value(0).toInt(), 0);
        ids.finish();

        QSqlQuery clinic =
            Exec(t->Db.MainDb(), QStringLiteral("SELECT COUNT(*), MAX(Name) FROM Clinic"));
        QVERIFY(clinic.next());
        QCOMPARE(clinic.value(0).toInt(), 1);
        QVERIFY(clinic.value(1).isNull());
        clinic.finish();

        // Texts, icons, help and the instructions document land in the application folder.
        const QStringList tips =
            QString::fromUtf8(FileBytes(t->AppPathAndFName(QStringLiteral("TIPOFDAY.TXT"))))
                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(tips.size() >= 15);
        QVERIFY(!FileBytes(t->AppPathAndFName(QStringLiteral("cover.txt"))).isEmpty());
        QVERIFY(FileBytes(t->AppPathAndFName(QStringLiteral("Help/index.html"))).contains("<h1>"));
        QVERIFY(FileBytes(t->AppPathAndFName(QStringLiteral("Patient Instructions.pdf")))
                    .startsWith("%PDF"));
        QVERIFY(QFileInfo(t->AppPathAndFName(QStringLiteral("ICON/385.JPG"))).isFile());
        QVERIFY(!QFileInfo::exists(t->AppPathAndFName(DeliveredLibraryFileName)));
    }

    // Faulty delivered data stops the installation whole: no half-filled files are left.
    void faultyDeliveredDataInstallsNothing_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QJsonValue>("value");
        QTest::newRow("abbreviation too long")
            << QByteArray("AbbrevDesc") << QJsonValue(QStringLiteral("Sixteen chars xx"));
        QTest::newRow("instruction too long")
            << QByteArray("Instruct1") << QJsonValue(QString(76, QLatin1Char('a')));
        QTest::newRow("reps out of 16-bit range") << QByteArray("Reps") << QJsonValue(40000);
        QTest::newRow("fractional sets") << QByteArray("Sets") << QJsonValue(1.5);
        QTest::newRow("picture breaks the naming rule")
            << QByteArray("Picture1") << QJsonValue(QStringLiteral("other.jpg"));
        QTest::newRow("code differs from the number")
            << QByteArray("code") << QJsonValue(QStringLiteral("A1"));
        QTest::newRow("missing HasVideo")
            << QByteArray("HasVideo") << QJsonValue(QJsonValue::Undefined);
    }
    void faultyDeliveredDataInstallsNothing()
    {
        QFETCH(QByteArray, key);
        QFETCH(QJsonValue, value);
        QTemporaryDir delivered, app;
        QJsonArray rows;
        for (const DeliveredExercise& row : SampleRows().mid(0, 5))
            rows.append(DeliveredExerciseToJson(row));
        QJsonObject bad = rows.at(3).toObject();
        if (value.isUndefined())
            bad.remove(QString::fromLatin1(key));
        else
            bad.insert(QString::fromLatin1(key), value);
        rows.replace(3, bad);
        WriteFile(JoinPath(delivered.path(), DeliveredLibraryFileName),
                  QJsonDocument(rows).toJson());
        try {
            InstallDeliveredFiles(app.path(), delivered.path());
            QFAIL("the faulty row was accepted");
        } catch (const DbError& e) {
            QVERIFY2(e.message().contains(
                         QString::number(bad.value(QLatin1String("ExerciseID")).toInt())),
                     qPrintable(e.message()));
        }
        QCOMPARE(QDir(app.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }

    void malformedPickListsAreRefused()
    {
        QTemporaryDir delivered, app;
        WriteFile(JoinPath(delivered.path(), DeliveredPickListsFileName),
                  "[{\"Name\": \"Usage\", \"Entries\": [");
        QVERIFY_THROWS_EXCEPTION(DbError, InstallDeliveredFiles(app.path(), delivered.path()));
        WriteFile(JoinPath(delivered.path(), DeliveredPickListsFileName),
                  "[{\"Name\": \"Usage\", \"Entries\": [\"A usage note far too long\"]}]");
        QVERIFY_THROWS_EXCEPTION(DbError, InstallDeliveredFiles(app.path(), delivered.path()));
        QVERIFY(!QFileInfo::exists(JoinPath(app.path(), PicklistDbFileName)));
    }

    // The container must be what players expect: one MJPG stream, frames and index agreeing.
    void moviesAreWellFormedMotionJpeg()
    {
        const QByteArray avi =
            FileBytes(ResolvePath(JoinPath(Media(), QStringLiteral("Movie/1.AVI"))));
        QVERIFY(avi.startsWith("RIFF"));
        QCOMPARE(qFromLittleEndian<quint32>(avi.constData() + 4), quint32(avi.size() - 8));
        QCOMPARE(avi.mid(8, 4), QByteArray("AVI "));
        const auto top = Chunks(avi.mid(12));
        const auto hdrl = Chunks(FindList(top, "hdrl"));
        QCOMPARE(hdrl.at(0).first, QByteArray("avih"));
        const quint32 frames = qFromLittleEndian<quint32>(hdrl.at(0).second.constData() + 16);
        const quint32 width = qFromLittleEndian<quint32>(hdrl.at(0).second.constData() + 32);
        const auto strl = Chunks(FindList(hdrl, "strl"));
        QCOMPARE(strl.at(0).second.mid(0, 8), QByteArray("vidsMJPG"));
        QCOMPARE(strl.at(1).second.mid(16, 4), QByteArray("MJPG"));
        const auto movi = Chunks(FindList(top, "movi"));
        QCOMPARE(quint32(movi.size()), frames);
        QVERIFY(frames >= 20); // a few seconds at 10 frames per second
        QByteArray index;
        for (const auto& [id, data] : top) {
            if (id == "idx1")
                index = data;
        }
        QCOMPARE(quint32(index.size()), frames * 16);
        for (const auto& [id, data] : movi) {
            QCOMPARE(id, QByteArray("00dc"));
            const QImage frame = QImage::fromData(data, "JPEG");
            QVERIFY(!frame.isNull());
            QCOMPARE(quint32(frame.width()), width);
        }
    }

    void movieOpensInQtMultimedia()
    {
        QMediaPlayer player;
        QVideoSink sink;
        player.setVideoSink(&sink);
        bool failed = false;
        QString error;
        connect(&player, &QMediaPlayer::errorOccurred, this,
                [&](QMediaPlayer::Error, const QString& text) {
                    failed = true;
                    error = text;
                });
        player.setSource(
            QUrl::fromLocalFile(ResolvePath(JoinPath(Media(), QStringLiteral("Movie/385.AVI")))));
        QTRY_VERIFY_WITH_TIMEOUT(failed || player.mediaStatus() == QMediaPlayer::LoadedMedia ||
                                     player.duration() > 0,
                                 20000);
        QVERIFY2(!failed, qPrintable(error));
        QTRY_VERIFY_WITH_TIMEOUT(player.duration() > 2000, 5000);
        QVERIFY(player.hasVideo());
    }

    void patientInstructionsAreOneLetterPage()
    {
        const QString pdf = JoinPath(Delivered(), QStringLiteral("Patient Instructions.pdf"));
        QProcess info;
        info.start(QStringLiteral("pdfinfo"), {pdf});
        if (!info.waitForFinished(20000) || info.exitCode() != 0)
            QSKIP("pdfinfo is not available");
        const QString out = QString::fromLocal8Bit(info.readAllStandardOutput());
        QVERIFY2(out.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))),
                 qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("612 x 792 pts")), qPrintable(out));
    }

    void generatorGivesTheSameFilesForTheSameInput()
    {
        QTemporaryDir a, b;
        const QString source = QStringLiteral(TRAMELLE_SOURCE_DIR "/resources/exercises.json");
        for (const QTemporaryDir* dir : {&a, &b}) {
            QString errors;
            QCOMPARE(RunGenerator({QStringLiteral("--exercises"), source, QStringLiteral("--only"),
                                   QStringLiteral("1,385"), QStringLiteral("--media"), dir->path(),
                                   QStringLiteral("--delivered"), dir->path()},
                                  &errors),
                     0);
        }
        for (const char* name : {"Picture/1_2.JPG", "Picture/385_3.JPG", "ICON/385.JPG",
                                 "Movie/1.AVI", "library.json"}) {
            const QByteArray first = FileBytes(JoinPath(a.path(), QLatin1String(name)));
            QVERIFY2(!first.isEmpty(), name);
            QVERIFY2(first == FileBytes(JoinPath(b.path(), QLatin1String(name))), name);
        }
        QCOMPARE(ReadDeliveredLibrary(JoinPath(a.path(), DeliveredLibraryFileName)).size(), 2);
    }

    void generatorRefusesFaultySource_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("named");
        // A typo must not draw a wrong picture; a stray term would make its own filter entry.
        QTest::newRow("pose typo") << QString() << QString() << QStringLiteral("sholderR");
        QTest::newRow("joint outside the vocabulary")
            << QStringLiteral("Joint") << QStringLiteral("Shoulder, Back")
            << QStringLiteral("\"Back\"");
        QTest::newRow("type outside the vocabulary")
            << QStringLiteral("Type") << QStringLiteral("range of motion")
            << QStringLiteral("\"range of motion\"");
    }

    void generatorRefusesFaultySource()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, named);
        QTemporaryDir dir;
        const QString source = JoinPath(dir.path(), QStringLiteral("exercises.json"));
        QJsonObject doc =
            QJsonDocument::fromJson(
                FileBytes(QStringLiteral(TRAMELLE_SOURCE_DIR "/resources/exercises.json")))
                .object();
        QJsonArray list = doc.value(QLatin1String("exercises")).toArray();
        QJsonObject first = list.at(0).toObject();
        QJsonObject art = first.value(QLatin1String("art")).toObject();
        QJsonArray poses = art.value(QLatin1String("poses")).toArray();
        QJsonObject pose = poses.at(1).toObject();
        if (key.isEmpty()) {
            pose.insert(named, 90);
            poses.replace(1, pose);
            art.insert(QStringLiteral("poses"), poses);
            first.insert(QStringLiteral("art"), art);
        } else {
            first.insert(key, value);
        }
        doc.insert(QStringLiteral("exercises"), QJsonArray{first});
        WriteFile(source, QJsonDocument(doc).toJson());
        QString errors;
        QCOMPARE(RunGenerator({QStringLiteral("--exercises"), source, QStringLiteral("--media"),
                               dir.path(), QStringLiteral("--delivered"), dir.path()},
                              &errors),
                 1);
        QVERIFY2(errors.contains(named), qPrintable(errors));
        QVERIFY(!QFileInfo::exists(JoinPath(dir.path(), DeliveredLibraryFileName)));
    }

    void largeLibraryReusesTheSamplePictures()
    {
        QTemporaryDir dir;
        const QString out = JoinPath(dir.path(), QStringLiteral("large"));
        const QStringList args{QStringLiteral("--large-library"), QStringLiteral("150"),
                               QStringLiteral("--out"),           out,
                               QStringLiteral("--media"),         Media(),
                               QStringLiteral("--delivered"),     Delivered()};
        QString errors;
        QCOMPARE(RunGenerator(args, &errors), 0);
        const QString library = JoinPath(out, LibraryDbFileName);
        {
            QSqlDatabase db = OpenConnection(library, QStringLiteral("large-check"));
            // The delivered rows, as in every library, and the copies.
            QSqlQuery q =
                Exec(db, QStringLiteral(
                             "SELECT COUNT(*), SUM(ExerciseID >= 1000), MAX(LENGTH(AbbrevDesc)) "
                             "FROM ExerciseLibrary"));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toInt(), 150 + int(SampleRows().size()));
            QCOMPARE(q.value(1).toInt(), 150);
            QVERIFY(q.value(2).toInt() <= 15);
        }
        CloseConnection(QStringLiteral("large-check"));
        QCOMPARE(CheckDatabaseFile(library, DbFile::Library).status, DbFileCheck::Ok);
        // Exercise 1149 is the 150th copy: the sample row at that position, under a new number.
        const QString sample = SampleRows().at(149 % SampleRows().size()).Entry.Picture2;
        const QString copy = JoinPath(out, QStringLiteral("Picture/1149_3.JPG"));
        QVERIFY(QImageReader(copy).canRead());
        QCOMPARE(FileBytes(copy),
                 FileBytes(ResolvePath(JoinPath(Media(), QStringLiteral("Picture/") + sample))));
        QVERIFY(QFileInfo(JoinPath(out, QStringLiteral("ICON/1000.JPG"))).exists());
        // A folder that already holds a library is left alone.
        const QByteArray before = FileBytes(library);
        QCOMPARE(RunGenerator(args, &errors), 1);
        QVERIFY(errors.contains(QStringLiteral("already holds")));
        QCOMPARE(FileBytes(library), before);
    }
};

TRAMELLE_TEST_MAIN(TestDelivered)
#include "tst_delivered.moc"
