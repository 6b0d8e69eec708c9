#include "Database.h"
#include "DbError.h"
#include "Paths.h"
#include "SafeFiles.h"
#include "TestMain.h"
#include "TestSupport.h"
#include "Upgrade.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTest>
#include <QUuid>

using namespace tramelle;
using namespace tramelle::test;

namespace {

QByteArray FileBytes(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

DeliveredExercise UpdateRow(qint32 id, bool video)
{
    DeliveredExercise row;
    LibraryEntry& e = row.Entry;
    e.ExerciseID = id;
    e.code = QString::number(id);
    e.AbbrevDesc = QStringLiteral("New %1").arg(id);
    e.Desc = QStringLiteral("New text of %1").arg(id);
    e.Reps = 12;
    e.Hold = 5;
    e.Sets = 2;
    e.Icon = IconFileName(id);
    e.Picture0 = PictureFileName(id, 1);
    e.Picture1 = PictureFileName(id, 2);
    e.Picture2 = PictureFileName(id, 3);
    e.Instruct0 = QString(75, QLatin1Char('i'));
    e.HasVideo = video;
    e.VideoReps = video ? 7 : 0;
    row.IconSrc = 1;
    return row;
}

// Columns (name, type, not null, key) of every table, as PRAGMA table_info gives them.
QStringList Columns(const QString& path)
{
    ScopedDb db(path, true);
    QStringList out;
    QSqlQuery t = Exec(db.Db(), QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' "
                                               "AND name NOT LIKE 'sqlite_%' ORDER BY name"));
    while (t.next()) {
        QSqlQuery c = Exec(
            db.Db(), QStringLiteral("SELECT name, type, \"notnull\", pk FROM pragma_table_info(?)"),
            {t.value(0)});
        while (c.next())
            out << QStringLiteral("%1.%2 %3 %4 %5")
                       .arg(t.value(0).toString(), c.value(0).toString(), c.value(1).toString(),
                            c.value(2).toString(), c.value(3).toString());
    }
    return out;
}

// The upgrade runs through a rollback journal: the file must be left in log mode (both
// format bytes of its header 2) with no journal beside it.
bool LeftInLogMode(const QString& path)
{
    const QByteArray bytes = FileBytes(path);
    return bytes.size() > 19 && bytes.at(18) == 2 && bytes.at(19) == 2 &&
           !QFileInfo::exists(path + QStringLiteral("-journal"));
}

QVariant Value(const QString& path, const QString& sql)
{
    ScopedDb db(path, true);
    QSqlQuery q = Exec(db.Db(), sql);
    return q.next() ? q.value(0) : QVariant();
}

// An oldest main file with one patient, a program of two exercises (one delivered,
// one of the clinic's own), a protocol, and a provider name longer than 40.
void FillOldMain(const QString& path)
{
    ScopedDb db(path, false);
    const QSqlDatabase& d = db.Db();
    Exec(d, QStringLiteral("INSERT INTO Patient (PatientID, FullName) VALUES (1, 'Doe, Jane')"));
    Exec(d, QStringLiteral("INSERT INTO Invoice (InvoiceID, PatientID, Provider) VALUES (1, 1, ?)"),
         {QString(45, QLatin1Char('P'))});
    Exec(d, QStringLiteral("INSERT INTO Exercise (InvoiceID, RankOnTape, ExerciseID, code, Icon, "
                           "Picture0, Picture3, Instruct3) "
                           "VALUES (1, 0, 5, 'old', '5.BMP', '5_1.BMP', 'x', 'y')"));
    Exec(d, QStringLiteral(
                "INSERT INTO Exercise (InvoiceID, RankOnTape, ExerciseID, code, Icon, Picture0) "
                "VALUES (1, 1, 20000, 'mine', '20000.BMP', '20000_1.BMP')"));
    Exec(d, QStringLiteral("INSERT INTO Protocol (ProtocolID, Name) VALUES (1, 'Knee')"));
    Exec(d, QStringLiteral("INSERT INTO ProtocolExercise (ProtocolID, RankOnTape, ExerciseID, "
                           "code, Instruct0) VALUES (1, 0, 5, 'old', 'a')"));
    // A deleted program's key is never given out again.
    Exec(d, QStringLiteral("INSERT INTO Invoice (InvoiceID, PatientID) VALUES (9, 1)"));
    Exec(d, QStringLiteral("DELETE FROM Invoice WHERE InvoiceID = 9"));
}

} // namespace

class TestUpgrade : public QObject
{
    Q_OBJECT

    QTemporaryDir m_updates;

private slots:
    void initTestCase()
    {
        WriteUpdateFiles({UpdateRow(5, true), UpdateRow(6, false)}, m_updates.path());
    }

    void stepsAreNumberedUpwardsToTheCurrentVersion()
    {
        QCOMPARE(*VersionNumber(QStringLiteral("3.10")), 3.1);
        QVERIFY(!VersionNumber(QStringLiteral("abc")));
        for (DbFile file : {DbFile::Main, DbFile::Library, DbFile::Picklist}) {
            double last = 0;
            for (const UpgradeStep& step : UpgradeSteps()) {
                if (step.File != file)
                    continue;
                QVERIFY(*VersionNumber(QLatin1String(step.Version)) > last);
                last = *VersionNumber(QLatin1String(step.Version));
            }
            QCOMPARE(last, *VersionNumber(CurrentSchemaVersionOf(file)));
        }
    }

    void mainFileFromEachVersionEndsCurrent_data()
    {
        QTest::addColumn<QString>("version");
        for (const char* v : {"3.1", "3.2", "3.3", "3.4", "3.5", "3.6", "3.7"})
            QTest::newRow(v) << QString::fromLatin1(v);
    }

    void mainFileFromEachVersionEndsCurrent()
    {
        QFETCH(QString, version);
        QTemporaryDir dir;
        const QString path = JoinPath(dir.path(), MainDbFileName);
        CreateOldDatabaseFile(path, DbFile::Main, OldestSchemaVersion);
        FillOldMain(path);
        if (version != OldestSchemaVersion) {
            UpgradeOptions older;
            older.StopAt = version;
            UpgradeDatabaseFile(path, DbFile::Main, older);
            for (const QString& f : QDir(dir.path()).entryList({QStringLiteral("* (version *")}))
                QFile::remove(JoinPath(dir.path(), f));
        }
        const QByteArray before = FileBytes(path);

        ScriptedPromptService prompt;
        prompt.Answers = {PromptAnswer::Yes};
        UpgradeOptions options;
        options.UpdateFolders = {m_updates.path()};
        options.Prompt = &prompt;
        const FileUpgradeResult r = UpgradeDatabaseFile(path, DbFile::Main, options);

        QCOMPARE(Value(path, QStringLiteral("SELECT Version FROM Version")).toString(),
                 CurrentSchemaVersion);
        QVERIFY(LeftInLogMode(path));
        const QString fresh = JoinPath(dir.path(), QStringLiteral("fresh.MDB"));
        CreateDatabaseFile(fresh, DbFile::Main);
        QCOMPARE(Columns(path), Columns(fresh));
        // The copy beside it holds the file as it was.
        const QString label =
            version == OldestSchemaVersion ? QStringLiteral("before 3.1") : version;
        QCOMPARE(
            FileBytes(JoinPath(dir.path(), QStringLiteral("Velmora (version %1).MDB").arg(label))),
            before);

        // Filled by the video step from 3.1, and with the texts before 3.6.
        const bool videoFilled = *VersionNumber(version) < 3.6;
        QCOMPARE(Value(path, QStringLiteral("SELECT VideoReps FROM Exercise WHERE ExerciseID = 5"))
                     .toInt(),
                 videoFilled ? 7 : 0);
        QCOMPARE(Value(path, QStringLiteral("SELECT count(*) FROM Exercise WHERE HasVideo IS NULL"))
                     .toInt(),
                 0);
        QCOMPARE(
            Value(path, QStringLiteral("SELECT Picture0 FROM Exercise WHERE ExerciseID = 20000"))
                .toString(),
            QStringLiteral("20000_1.BMP"));
        const bool textsCopied = *VersionNumber(version) < 3.6;
        QCOMPARE(Value(path, QStringLiteral("SELECT code FROM Exercise WHERE ExerciseID = 5"))
                     .toString(),
                 textsCopied ? QStringLiteral("5") : QStringLiteral("old"));
        QCOMPARE(Value(path, QStringLiteral("SELECT Icon FROM Exercise WHERE ExerciseID = 5"))
                     .toString(),
                 QStringLiteral("5.JPG"));
        QCOMPARE(prompt.MessageTexts().filter(QStringLiteral("update the text")).size(),
                 textsCopied ? 1 : 0);
        QCOMPARE(Value(path, QStringLiteral("SELECT Provider FROM Invoice")).toString(),
                 QString(40, QLatin1Char('P')));
        QVERIFY(r.Notices.join(QLatin1Char(' '))
                    .contains(QLatin1String("1 values of Provider in the table Invoice")));
        QCOMPARE(
            Value(path, QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = 'Invoice'"))
                .toInt(),
            9);

        // The rules of the current schema hold: wide instructions fit, long providers
        // and 16-bit overflows do not, and deleting a program cascades.
        ScopedDb db(path, false);
        Exec(db.Db(), QStringLiteral("UPDATE ProtocolExercise SET Instruct0 = ?"),
             {QString(75, QLatin1Char('x'))});
        Exec(db.Db(), QStringLiteral("UPDATE ProtocolExercise SET Instruct0 = ''"));
        QVERIFY_THROWS_EXCEPTION(DbError,
                                 Exec(db.Db(), QStringLiteral("UPDATE Invoice SET Provider = ?"),
                                      {QString(41, QLatin1Char('p'))}));
        Exec(db.Db(), QStringLiteral("UPDATE Exercise SET RankOnTape = 40000"));
        Exec(db.Db(), QStringLiteral("DELETE FROM Invoice"));
        QCOMPARE(Exec(db.Db(), QStringLiteral("SELECT count(*) FROM Exercise")).next(), true);
        QSqlQuery left = Exec(db.Db(), QStringLiteral("SELECT count(*) FROM Exercise"));
        left.next();
        QCOMPARE(left.value(0).toInt(), 0);
    }

    void libraryAndPickListFilesEndCurrent()
    {
        QTemporaryDir dir;
        const QString lib = JoinPath(dir.path(), LibraryDbFileName);
        CreateOldDatabaseFile(lib, DbFile::Library, OldestSchemaVersion);
        {
            ScopedDb db(lib, false);
            Exec(db.Db(),
                 QStringLiteral("INSERT INTO ExerciseLibrary (ExerciseID, code, Icon, Picture0, "
                                "reps_opts) VALUES (5, 'old', '5.BMP', '5_1.BMP', '1,2')"));
            Exec(db.Db(), QStringLiteral("INSERT INTO ExerciseLibrary (ExerciseID, code, Icon) "
                                         "VALUES (12000, 'mine', '12000.BMP')"));
        }
        const QString picks = JoinPath(dir.path(), PicklistDbFileName);
        CreateOldDatabaseFile(picks, DbFile::Picklist, OldestSchemaVersion);
        {
            ScopedDb db(picks, false);
            Exec(db.Db(), QStringLiteral("INSERT INTO Label (ID, Name) VALUES (1, 'Provider')"));
            Exec(db.Db(), QStringLiteral("INSERT INTO Level1 (ID, Name, LabelID) VALUES (2, ?, 1)"),
                 {QString(30, QChar(0x00E9)) + QString(20, QLatin1Char('x'))});
            Exec(db.Db(),
                 QStringLiteral("INSERT INTO Level1 (ID, Name, LabelID) VALUES (3, 'Short', 1)"));
        }
        UpgradeOptions options;
        options.UpdateFolders = {m_updates.path()};
        UpgradeDatabaseFile(lib, DbFile::Library, options);
        const FileUpgradeResult r = UpgradeDatabaseFile(picks, DbFile::Picklist, options);
        for (DbFile f : {DbFile::Library, DbFile::Picklist}) {
            const QString fresh = JoinPath(dir.path(), QStringLiteral("fresh%1.MDB").arg(int(f)));
            CreateDatabaseFile(fresh, f);
            QCOMPARE(Columns(JoinPath(dir.path(), DbFileName(f))), Columns(fresh));
        }
        QCOMPARE(Value(lib, QStringLiteral(
                                "SELECT AbbrevDesc FROM ExerciseLibrary WHERE ExerciseID = 5"))
                     .toString(),
                 QStringLiteral("New 5"));
        QCOMPARE(
            Value(lib, QStringLiteral("SELECT HasVideo FROM ExerciseLibrary WHERE ExerciseID = 5"))
                .toInt(),
            1);
        QCOMPARE(
            Value(lib, QStringLiteral(
                           "SELECT Icon || HasVideo FROM ExerciseLibrary WHERE ExerciseID = 12000"))
                .toString(),
            QStringLiteral("12000.BMP0"));
        QCOMPARE(Value(picks, QStringLiteral("SELECT Name FROM Level1 WHERE ID = 2")).toString(),
                 QString(30, QChar(0x00E9)) + QString(10, QLatin1Char('x')));
        QCOMPARE(r.Notices.size(), 1);
        QVERIFY(r.Notices.first().contains(QLatin1String("1 values of Name in the table Level1")));
    }

    void libraryFromVersion38GetsIdentities()
    {
        QTemporaryDir dir;
        const QString lib = JoinPath(dir.path(), LibraryDbFileName);
        CreateOldDatabaseFile(lib, DbFile::Library, QStringLiteral("3.8"));
        {
            ScopedDb db(lib, false);
            for (int id : {7, 385, 300, 100001})
                Exec(db.Db(), QStringLiteral("INSERT INTO ExerciseLibrary (ExerciseID) VALUES (?)"),
                     {id});
        }
        const FileUpgradeResult r = UpgradeDatabaseFile(lib, DbFile::Library, {});
        QCOMPARE(r.StepsRun, QStringList{QStringLiteral("3.9")});
        QCOMPARE(Value(lib, QStringLiteral("SELECT Version FROM Version")).toString(),
                 CurrentLibraryVersion);
        // Delivered exercises carry the same identity in every clinic; the others random.
        for (int id : {7, 385})
            QCOMPARE(Value(lib, QStringLiteral("SELECT UUID FROM ExerciseLibrary WHERE "
                                               "ExerciseID = %1")
                                    .arg(id))
                         .toString(),
                     DeliveredExerciseUuid(id));
        QCOMPARE(DeliveredExerciseUuid(7), DeliveredExerciseUuid(7));
        QVERIFY(DeliveredExerciseUuid(300).isEmpty());
        QCOMPARE(Value(lib, QStringLiteral("SELECT count(DISTINCT UUID) FROM ExerciseLibrary "
                                           "WHERE length(UUID) = 36"))
                     .toInt(),
                 4);
        ScopedDb db(lib, false);
        // New rows get one of their own; a copied identity is refused.
        Exec(db.Db(), QStringLiteral("INSERT INTO ExerciseLibrary (ExerciseID) VALUES (100002)"));
        QSqlQuery q = Exec(db.Db(), QStringLiteral("SELECT UUID FROM ExerciseLibrary WHERE "
                                                   "ExerciseID = 100002"));
        QVERIFY(q.next());
        QVERIFY(!QUuid::fromString(q.value(0).toString()).isNull());
        q.finish();
        QVERIFY_THROWS_EXCEPTION(
            DbError, Exec(db.Db(),
                          QStringLiteral("INSERT INTO ExerciseLibrary (ExerciseID, UUID) VALUES "
                                         "(100003, ?)"),
                          {DeliveredExerciseUuid(7)}));
    }

    void currentFilesAreOnlyRead()
    {
        QTemporaryDir dir;
        const QString path = JoinPath(dir.path(), MainDbFileName);
        CreateDatabaseFile(path, DbFile::Main);
        const QByteArray before = FileBytes(path);
        QStringList statements;
        UpgradeOptions options;
        options.BeforeStatement = [&](const QString& sql) { statements << sql; };
        QVERIFY(UpgradeDatabaseFile(path, DbFile::Main, options).StepsRun.isEmpty());
        QCOMPARE(statements, QStringList{QStringLiteral("SELECT \"Version\" FROM \"Version\"")});
        QCOMPARE(FileBytes(path), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{MainDbFileName});
    }

    void newerFilesAreRefusedUntouched()
    {
        QTemporaryDir dir;
        QVERIFY(PrepareDataFiles(dir.path(), QString()).ok);
        const QString lib = JoinPath(dir.path(), LibraryDbFileName);
        {
            ScopedDb db(lib, false);
            Exec(db.Db(), QStringLiteral("UPDATE Version SET Version = '4.0'"));
        }
        const QByteArray before = FileBytes(lib);
        const DataFilesCheck c = PrepareDataFiles(dir.path(), QString());
        QVERIFY(!c.ok);
        QVERIFY2(c.message.contains(QLatin1String("made by a newer version of the program")),
                 qPrintable(c.message));
        QVERIFY(c.message.contains(QDir::toNativeSeparators(lib)));
        QVERIFY_THROWS_EXCEPTION(DbError, UpgradeDatabaseFile(lib, DbFile::Library, {}));
        QCOMPARE(FileBytes(lib), before);
    }

    void updateTextAnsweredNoIsNotAskedAgain()
    {
        QTemporaryDir dir;
        const QString path = JoinPath(dir.path(), MainDbFileName);
        CreateOldDatabaseFile(path, DbFile::Main, OldestSchemaVersion);
        FillOldMain(path);
        ScriptedPromptService prompt;
        prompt.Answers = {PromptAnswer::No};
        UpgradeOptions options;
        options.UpdateFolders = {m_updates.path()};
        options.Prompt = &prompt;
        options.StopAt = QStringLiteral("3.6");
        UpgradeDatabaseFile(path, DbFile::Main, options);
        QCOMPARE(prompt.Records.size(), 1);
        QCOMPARE(prompt.Records.first().title, QStringLiteral("Update Text"));
        QCOMPARE(prompt.Records.first().text,
                 QStringLiteral("Do you want the browser to update the text\r\nfor your stored "
                                "protocols and exercise programs\r\nto match the new pictures.\r\n"
                                "We recommend you answer Yes."));
        options.StopAt.clear();
        UpgradeDatabaseFile(path, DbFile::Main, options);
        QCOMPARE(prompt.MessageTexts().filter(QStringLiteral("update the text")).size(), 1);
        QCOMPARE(Value(path, QStringLiteral("SELECT code FROM Exercise WHERE ExerciseID = 5"))
                     .toString(),
                 QStringLiteral("old"));
    }

    void missingUpdateFilesSkipTheirStepsWithANotice()
    {
        QTemporaryDir dir;
        const QString path = JoinPath(dir.path(), MainDbFileName);
        CreateOldDatabaseFile(path, DbFile::Main, OldestSchemaVersion);
        FillOldMain(path);
        ScriptedPromptService prompt;
        UpgradeOptions options;
        options.Prompt = &prompt;
        UpgradeDatabaseFile(path, DbFile::Main, options);
        const QString shown = prompt.MessageTexts().join(QLatin1Char('|'));
        QCOMPARE(prompt.MessageTexts().filter(QStringLiteral("\"Video.MDB\" was not found")).size(),
                 2);
        QVERIFY(shown.contains(QLatin1String("\"VMR Exercise Library.MDB\" was not found")));
        QVERIFY(!shown.contains(QLatin1String("update the text")));
        QCOMPARE(
            Value(path, QStringLiteral(
                            "SELECT count(*) FROM Exercise WHERE HasVideo = 0 AND VideoSets = 0"))
                .toInt(),
            2);
        QCOMPARE(Value(path, QStringLiteral("SELECT Version FROM Version")).toString(),
                 CurrentSchemaVersion);
    }

    void interruptedUpgradeResumesAtTheStepNotDone()
    {
        QTemporaryDir dir;
        const QString path = JoinPath(dir.path(), MainDbFileName);
        CreateOldDatabaseFile(path, DbFile::Main, OldestSchemaVersion);
        FillOldMain(path);
        UpgradeOptions options;
        options.UpdateFolders = {m_updates.path()};
        options.BeforeStatement = [](const QString& sql) {
            if (sql == QLatin1String("SetVersion 3.5"))
                throw DbError(QStringLiteral("disk I/O error"));
        };
        try {
            UpgradeDatabaseFile(path, DbFile::Main, options);
            QFAIL("the injected failure did not stop the upgrade");
        } catch (const DbError& e) {
            QVERIFY(e.message().contains(QLatin1String("version 3.5 failed")));
            QVERIFY(e.message().contains(QLatin1String("disk I/O error")));
        }
        QCOMPARE(Value(path, QStringLiteral("SELECT Version FROM Version")).toString(),
                 QStringLiteral("3.4"));
        QVERIFY(LeftInLogMode(path));
        {
            // The half-done step left nothing: the instructions are as narrow as before.
            ScopedDb db(path, false);
            QVERIFY_THROWS_EXCEPTION(
                DbError, Exec(db.Db(), QStringLiteral("UPDATE Exercise SET Instruct0 = ?"),
                              {QString(60, QLatin1Char('x'))}));
        }
        options.BeforeStatement = nullptr;
        const FileUpgradeResult r = UpgradeDatabaseFile(path, DbFile::Main, options);
        QCOMPARE(r.StepsRun, (QStringList{QStringLiteral("3.5"), QStringLiteral("3.6"),
                                          QStringLiteral("3.7"), QStringLiteral("3.8")}));
        QCOMPARE(Value(path, QStringLiteral("SELECT count(*) FROM Exercise")).toInt(), 2);
        QVERIFY(QFileInfo::exists(
            JoinPath(dir.path(), QStringLiteral("Velmora (version before 3.1).MDB"))));
    }
};

TRAMELLE_TEST_MAIN(TestUpgrade)
#include "tst_upgrade.moc"
