// Sharing exercises and protocols between clinics: a file written by the export comes
// back whole, a second import skips what is there, numbering, and every bad file refused
// with nothing stored.
#include "AppContext.h"
#include "DbError.h"
#include "DeliveredData.h"
#include "LibraryCache.h"
#include "LibraryStore.h"
#include "ProtocolStore.h"
#include "Sharing.h"
#include "TestMain.h"
#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QTest>
#include <QtEndian>

#include <zip.h>

using namespace tramelle;
using namespace tramelle::test;

namespace {

LibraryRecord Record(qint32 id, const QString& abbrev)
{
    LibraryRecord r;
    LibraryEntry& e = r.Entry;
    e.ExerciseID = id;
    e.code = QString::number(id);
    e.AbbrevDesc = abbrev;
    e.Desc = abbrev + QStringLiteral(" in full");
    e.Joint = QStringLiteral("Knee");
    e.Reps = 12;
    e.Hold = 3;
    e.Sets = 2;
    e.Picture0 = PictureFileName(id, 1);
    e.Picture1 = PictureFileName(id, 2);
    e.Icon = IconFileName(id);
    e.Instruct0 = QStringLiteral("Bend the knee.");
    e.HasVideo = true;
    e.VideoReps = 4;
    r.IconSrc = 1;
    r.PictureSrc[0] = QStringLiteral("/photos/a.jpg");
    return r;
}

qint64 Count(AppContext& ctx, const QString& sql, bool main = false)
{
    QSqlQuery q = Exec(main ? ctx.Db.MainDb() : ctx.Db.LibraryDb(), sql);
    return q.next() ? q.value(0).toLongLong() : -1;
}

// Every file below the clinic's media folders, with its bytes.
QMap<QString, QByteArray> ClinicFiles(const QString& appFolder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(JoinPath(appFolder, QStringLiteral("Clinic")), QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(appFolder).relativeFilePath(path), TestFileBytes(path));
    }
    return files;
}

void WriteZip(const QString& path, const QList<QPair<QString, QByteArray>>& members)
{
    int error = 0;
    zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    QVERIFY(za);
    for (const auto& [name, bytes] : members) {
        // The members' buffers live until the archive is closed.
        zip_source_t* src = zip_source_buffer(za, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        QVERIFY(zip_file_add(za, name.toUtf8().constData(), src, ZIP_FL_ENC_UTF_8) >= 0);
    }
    QCOMPARE(zip_close(za), 0);
}

QByteArray Document(const QJsonArray& exercises, const QJsonArray& protocols = {}, int version = 1)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("format"), ShareFormatName},
                                     {QStringLiteral("version"), version},
                                     {QStringLiteral("exercises"), exercises},
                                     {QStringLiteral("protocols"), protocols}})
        .toJson();
}

DeliveredExercise DeliveredRow()
{
    DeliveredExercise delivered;
    delivered.Entry = Record(7, QStringLiteral("Delivered")).Entry;
    delivered.IconSrc = 1;
    delivered.Entry.Picture2 = PictureFileName(7, 3);
    return delivered;
}

QJsonObject ExerciseJson(qint32 id)
{
    SharePackage p;
    p.Exercises << SharedExercise{Record(id, QStringLiteral("Shared %1").arg(id)),
                                  QUuid::createUuid().toString(QUuid::WithoutBraces)};
    return QJsonDocument::fromJson(SharePackageToJson(p))
        .object()
        .value(QLatin1String("exercises"))
        .toArray()
        .first()
        .toObject();
}

} // namespace

class TestSharing : public QObject
{
    Q_OBJECT

    // Two clinic exercises with pictures and an icon, a delivered one, and a protocol.
    void Fill(TestContext& t)
    {
        const QSqlDatabase lib = t->Db.LibraryDb();
        Exec(lib, QStringLiteral("DELETE FROM ExerciseLibrary"));
        const DeliveredExercise delivered = DeliveredRow();
        InsertLibraryRows(lib, {delivered});
        for (qint32 id : {100000, 100001}) {
            QVERIFY(StoreExercise(lib, Record(id, QStringLiteral("Own %1").arg(id)), true));
            for (MediaKind kind : {MediaKind::Picture, MediaKind::Icon})
                QDir().mkpath(ClinicMediaFolder(t.Folder(), kind));
            WriteTestFile(ClinicMediaPath(*t, MediaKind::Picture, PictureFileName(id, 1)),
                          QByteArray("picture one of ") + QByteArray::number(id));
            WriteTestFile(ClinicMediaPath(*t, MediaKind::Picture, PictureFileName(id, 2)),
                          QByteArray("picture two of ") + QByteArray::number(id));
            WriteTestFile(ClinicMediaPath(*t, MediaKind::Icon, IconFileName(id)),
                          QByteArray("icon of ") + QByteArray::number(id));
        }
        ProgramState program;
        program.Entries[0] = Record(100001, QStringLiteral("Own 100001")).Entry;
        program.Entries[0].Reps = 5;
        program.Entries[1] = delivered.Entry;
        program.EntryCount = 2;
        SaveProtocolAs(t->Db.MainDb(), QStringLiteral("Knee week 1"), program);
    }

    // Imports `zip` expecting a refusal that says `expected`, with nothing stored.
    void ExpectRefused(TestContext& t, const QString& zip, const QString& expected)
    {
        const qint64 rows = Count(*t, QStringLiteral("SELECT count(*) FROM ExerciseLibrary"));
        const qint64 protocols = Count(*t, QStringLiteral("SELECT count(*) FROM Protocol"), true);
        const auto files = ClinicFiles(t.Folder());
        try {
            ImportShare(*t, zip);
            QFAIL("the file was imported");
        } catch (const DbError& e) {
            QVERIFY2(e.message().contains(expected), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QLatin1String("refused")), qPrintable(e.message()));
        }
        QCOMPARE(Count(*t, QStringLiteral("SELECT count(*) FROM ExerciseLibrary")), rows);
        QCOMPARE(Count(*t, QStringLiteral("SELECT count(*) FROM Protocol"), true), protocols);
        QCOMPARE(ClinicFiles(t.Folder()), files);
    }

private slots:
    void exportDeleteImportGivesTheSameRowsAndMedia()
    {
        TestContext t;
        Fill(t);
        const QString zip = JoinPath(t.Folder(), QStringLiteral("share.zip"));
        const auto protocols = ListProtocols(t->Db.MainDb());
        ShareSelection selection;
        selection.Exercises = {100000};
        selection.Protocols = {protocols.first().ProtocolID};
        const ShareExportResult out = ExportShare(*t, selection, zip);
        // The protocol brings the clinic's exercise it uses, not the delivered one.
        QCOMPARE(out.Exercises, 2);
        QCOMPARE(out.Protocols, 1);
        QCOMPARE(out.MediaFiles, 6);
        QVERIFY(!QFileInfo::exists(zip + QStringLiteral(".part")));

        const auto before = ClinicFiles(t.Folder());
        const std::optional<LibraryRecord> original = ReadExercise(t->Db.LibraryDb(), 100001);
        const QList<ProgramEntry> originalRows =
            ReadProtocol(t->Db.MainDb(), protocols.first().ProtocolID);
        for (qint32 id : {100000, 100001})
            DeleteExercise(t->Db.LibraryDb(), id);
        DeleteProtocol(t->Db.MainDb(), protocols.first().ProtocolID);
        QDir(JoinPath(t.Folder(), QStringLiteral("Clinic"))).removeRecursively();

        const ShareImportResult in = ImportShare(*t, zip);
        QVERIFY(!in.Cancelled);
        QCOMPARE(in.Imported.size(), 2);
        QCOMPARE(in.Protocols, 1);
        QCOMPARE(in.MediaFiles, 6);
        QVERIFY2(in.Skipped.isEmpty(), qPrintable(in.Skipped.join(QLatin1Char('\n'))));
        // The library's highest number was the delivered 7: the import starts at 100000.
        QCOMPARE(in.Numbers, (QList<QPair<qint32, qint32>>{{100000, 100000}, {100001, 100001}}));
        QCOMPARE(ClinicFiles(t.Folder()), before);
        const std::optional<LibraryRecord> back = ReadExercise(t->Db.LibraryDb(), 100001);
        QVERIFY(back);
        QCOMPARE(back->Entry, original->Entry);
        QCOMPARE(back->PictureSrc, original->PictureSrc);
        const auto imported = ListProtocols(t->Db.MainDb());
        QCOMPARE(imported.size(), 1);
        QCOMPARE(ReadProtocol(t->Db.MainDb(), imported.first().ProtocolID), originalRows);
        QVERIFY(in.Report().startsWith(
            QLatin1String("Imported: 2 exercises, 1 protocols, 6 pictures, icons and movies.")));

        // The same file again adds nothing and says why.
        const ShareImportResult again = ImportShare(*t, zip);
        QVERIFY(again.Imported.isEmpty());
        QCOMPARE(again.Protocols, 0);
        QCOMPARE(again.Skipped.size(), 3);
        QVERIFY2(again.Skipped.first().contains(QLatin1String("already in the library as number")),
                 qPrintable(again.Skipped.first()));
        QCOMPARE(Count(*t, QStringLiteral("SELECT count(*) FROM ExerciseLibrary")), 3);
        QCOMPARE(Count(*t, QStringLiteral("SELECT count(*) FROM Protocol"), true), 1);
    }

    void importNumbersFromTheNextFreeNumberAndRenamesMedia()
    {
        TestContext t;
        Fill(t);
        const QString zip = JoinPath(t.Folder(), QStringLiteral("share.zip"));
        ShareSelection all;
        all.AllClinicExercises = true;
        all.Protocols = {ListProtocols(t->Db.MainDb()).first().ProtocolID};
        QCOMPARE(ExportShare(*t, all, zip).Exercises, 2);

        // Another clinic, whose own exercises reach 100050 and whose delivered 7 is there.
        TestContext other;
        Exec(other->Db.LibraryDb(), QStringLiteral("DELETE FROM ExerciseLibrary"));
        InsertLibraryRows(other->Db.LibraryDb(), {DeliveredRow()});
        QVERIFY(
            StoreExercise(other->Db.LibraryDb(), Record(100050, QStringLiteral("Theirs")), true));
        const ShareImportResult in = ImportShare(*other, zip);
        QCOMPARE(in.Numbers, (QList<QPair<qint32, qint32>>{{100000, 100051}, {100001, 100052}}));
        const std::optional<LibraryRecord> r = ReadExercise(other->Db.LibraryDb(), 100052);
        QCOMPARE(r->Entry.code, QStringLiteral("100052"));
        QCOMPARE(r->Entry.Picture1, PictureFileName(100052, 2));
        QCOMPARE(TestFileBytes(ClinicMediaPath(*other, MediaKind::Picture, r->Entry.Picture1)),
                 QByteArray("picture two of 100001"));
        QCOMPARE(TestFileBytes(ClinicMediaPath(*other, MediaKind::Icon, r->Entry.Icon)),
                 QByteArray("icon of 100001"));
        // The protocol points at the new number and at the other clinic's delivered row.
        const QList<ProgramEntry> rows =
            ReadProtocol(other->Db.MainDb(), ListProtocols(other->Db.MainDb()).first().ProtocolID);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0).ExerciseID, 100052);
        QCOMPARE(rows.at(0).Reps, 5);
        QCOMPARE(rows.at(0).Picture0, PictureFileName(100052, 1));
        QCOMPARE(rows.at(1).ExerciseID, 7);
        // A number from the file is never taken over, even a free one below 244.
        WriteZip(zip, {{ShareDocumentName, Document({ExerciseJson(5)})}});
        const ShareImportResult low = ImportShare(*other, zip);
        QCOMPARE(low.Numbers.first().second, 100053);
        QVERIFY(low.Notes.join(QLatin1Char('|')).contains(QLatin1String("is not in the file")));
    }

    void cancelledImportStoresNothing()
    {
        TestContext t;
        Fill(t);
        const QString zip = JoinPath(t.Folder(), QStringLiteral("share.zip"));
        ShareSelection all;
        all.AllClinicExercises = true;
        (void)ExportShare(*t, all, zip);
        for (qint32 id : {100000, 100001})
            DeleteExercise(t->Db.LibraryDb(), id);
        QDir(JoinPath(t.Folder(), QStringLiteral("Clinic"))).removeRecursively();
        t.MainWindow.CancelAfterUpdates = 2;
        const ShareImportResult in = ImportShare(*t, zip);
        QVERIFY(in.Cancelled);
        QCOMPARE(in.Report(), QStringLiteral("The import was cancelled; nothing was stored."));
        QCOMPARE(t.MainWindow.ProgressCaptions, QStringList{QStringLiteral("Importing Exercises")});
        QCOMPARE(Count(*t, QStringLiteral("SELECT count(*) FROM ExerciseLibrary")), 1);
        QVERIFY(ClinicFiles(t.Folder()).isEmpty());
    }

    void badFilesAreRefusedWithNothingStored()
    {
        TestContext t;
        Fill(t);
        const QString zip = JoinPath(t.Folder(), QStringLiteral("bad.zip"));
        const QByteArray good = Document({ExerciseJson(100000)});

        WriteZip(zip, {{ShareDocumentName, good}, {QStringLiteral("../x"), "x"}});
        ExpectRefused(t, zip, QStringLiteral("\"../x\" outside its own folder"));
        WriteZip(zip, {{ShareDocumentName, good}, {QStringLiteral("/etc/x"), "x"}});
        ExpectRefused(t, zip, QStringLiteral("\"/etc/x\" outside its own folder"));
        WriteZip(zip, {{ShareDocumentName, good}, {QStringLiteral("Picture/..\\..\\x"), "x"}});
        ExpectRefused(t, zip, QStringLiteral("outside its own folder"));

        WriteZip(zip, {{QStringLiteral("notes.txt"), "hello"}});
        ExpectRefused(t, zip, QStringLiteral("it holds no \"exercises.json\""));
        WriteZip(zip, {{ShareDocumentName, "[1, 2, 3]"}});
        ExpectRefused(t, zip, QStringLiteral("not one of exercises shared by this program"));
        WriteZip(zip, {{ShareDocumentName, "{not json"}});
        ExpectRefused(t, zip, QStringLiteral("no valid JSON"));
        WriteZip(zip, {{ShareDocumentName, Document({ExerciseJson(100000)}, {}, 2)}});
        ExpectRefused(t, zip, QStringLiteral("newer version of the program (format 2"));

        QJsonObject wrong = ExerciseJson(100000);
        wrong.insert(QStringLiteral("Reps"), QStringLiteral("ten"));
        WriteZip(zip, {{ShareDocumentName, Document({wrong})}});
        ExpectRefused(t, zip, QStringLiteral("Reps must be a number"));
        wrong = ExerciseJson(100000);
        wrong.insert(QStringLiteral("Sets"), 70000);
        WriteZip(zip, {{ShareDocumentName, Document({wrong})}});
        ExpectRefused(t, zip, QStringLiteral("Sets = 70000 is not a whole number"));
        wrong = ExerciseJson(100000);
        wrong.insert(QStringLiteral("Desc"), QString(10000, QLatin1Char('d')));
        WriteZip(zip, {{ShareDocumentName, Document({wrong})}});
        ExpectRefused(t, zip, QStringLiteral("Desc has 10000 characters; at most 50 fit"));
        wrong = ExerciseJson(100000);
        wrong.insert(QStringLiteral("Picture0"), QStringLiteral("../../evil.JPG"));
        WriteZip(zip, {{ShareDocumentName, Document({wrong})}});
        ExpectRefused(t, zip, QStringLiteral("Picture0 \"../../evil.JPG\" is no plain file name"));
        wrong = ExerciseJson(100000);
        wrong.insert(QStringLiteral("UUID"), QStringLiteral("nope"));
        WriteZip(zip, {{ShareDocumentName, Document({wrong})}});
        ExpectRefused(t, zip, QStringLiteral("UUID is no identity"));

        QJsonObject row = ExerciseJson(100000);
        row.insert(QStringLiteral("ExerciseUUID"),
                   QUuid::createUuid().toString(QUuid::WithoutBraces));
        const QJsonArray protocol{QJsonObject{{QStringLiteral("Name"), QStringLiteral("P")},
                                              {QStringLiteral("exercises"), QJsonArray{row}}}};
        WriteZip(zip, {{ShareDocumentName, Document({ExerciseJson(100000)}, protocol)}});
        ExpectRefused(t, zip, QStringLiteral("the protocol \"P\" uses an exercise that neither"));

        // A member claiming gigabytes is refused before anything is read.
        WriteZip(zip, {{ShareDocumentName, good},
                       {QStringLiteral("Movie/big.AVI"), QByteArray(100000, 'a')}});
        QByteArray bytes = TestFileBytes(zip);
        const QByteArray name("Movie/big.AVI");
        const qint32 claimed = qint32(0xF0000000u);
        for (qsizetype at = bytes.indexOf(name); at >= 0; at = bytes.indexOf(name, at + 1)) {
            // The uncompressed size stands 4 (local) or 6 (central) fields before the name.
            const bool central = bytes.mid(at - 46, 4) == QByteArray("PK\x01\x02", 4);
            const qsizetype field = central ? at - 46 + 24 : at - 30 + 22;
            qToLittleEndian(claimed, bytes.data() + field);
        }
        WriteTestFile(zip, bytes);
        ExpectRefused(t, zip, QStringLiteral("\"Movie/big.AVI\" in it claims 4026531840 bytes"));

        WriteTestFile(zip, "no zip at all");
        ExpectRefused(t, zip, QStringLiteral("no readable zip archive"));
    }
};

TRAMELLE_TEST_MAIN(TestSharing)
#include "tst_sharing.moc"
