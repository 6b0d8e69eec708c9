#include "Database.h"
#include "DbError.h"
#include "Paths.h"
#include "TestMain.h"
#include "TestSupport.h"
#include "Transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

#include <csignal>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tramelle;
using namespace tramelle::test;

namespace {

QByteArray FileBytes(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

qint64 InsertPatient(const QSqlDatabase& db, const QString& name)
{
    QSqlQuery q = Exec(db, QStringLiteral("INSERT INTO Patient (FullName) VALUES (?)"), {name});
    return q.lastInsertId().toLongLong();
}

// Makes a file that even the superuser cannot write (immutable attribute), or a plain
// read-only file for other users. Undone by the destructor.
struct WriteProtected
{
    QString Path;
    explicit WriteProtected(QString path) : Path(std::move(path))
    {
        if (::geteuid() == 0)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), Path});
        else
            QFile::setPermissions(Path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    }
    ~WriteProtected()
    {
        if (::geteuid() == 0)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), Path});
        QFile::setPermissions(Path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    }
};

// A small file system of its own (a tmpfs), to run out of room in.
struct SmallDisk
{
    QTemporaryDir Dir;
    bool Mounted = false;
    explicit SmallDisk(const char* size)
    {
        const QByteArray options = QByteArray("size=") + size;
        Mounted = ::mount("tmpfs", QFile::encodeName(Dir.path()).constData(), "tmpfs", 0,
                          options.constData()) == 0;
    }
    ~SmallDisk()
    {
        if (Mounted)
            ::umount2(QFile::encodeName(Dir.path()).constData(), MNT_DETACH);
    }
    // Takes every byte that is left.
    void Fill() const
    {
        QFile f(JoinPath(Dir.path(), QStringLiteral("filler")));
        f.open(QIODevice::WriteOnly);
        const QByteArray block(4096, 'f');
        while (f.write(block) == block.size() && f.flush()) {
        }
    }
};

} // namespace

class TestDatabase : public QObject
{
    Q_OBJECT

private slots:
    void newFilesHoldEveryTableColumnAndVersion()
    {
        TestContext t;
        const struct
        {
            DbFile file;
            QSqlDatabase db;
        } files[] = {{DbFile::Main, t->Db.MainDb()},
                     {DbFile::Library, t->Db.LibraryDb()},
                     {DbFile::Picklist, t->Db.PicklistDb()}};
        for (const auto& f : files) {
            QVERIFY(f.db.isOpen());
            for (const auto& [table, columns] : RequiredTables(f.file)) {
                const QSqlRecord record = f.db.record(table);
                QVERIFY2(!record.isEmpty(), qPrintable(table));
                for (const QString& c : columns)
                    QVERIFY2(record.indexOf(c) >= 0, qPrintable(table + QLatin1Char('.') + c));
            }
            QSqlQuery v = Exec(f.db, QStringLiteral("SELECT Version FROM Version"));
            QVERIFY(v.next());
            QCOMPARE(v.value(0).toString(), CurrentSchemaVersionOf(f.file));
            QVERIFY(!v.next());
            QSqlQuery fk = Exec(f.db, QStringLiteral("PRAGMA foreign_keys"));
            QVERIFY(fk.next());
            QCOMPARE(fk.value(0).toInt(), 1);
            QSqlQuery jm = Exec(f.db, QStringLiteral("PRAGMA journal_mode"));
            QVERIFY(jm.next());
            QCOMPARE(jm.value(0).toString(), QStringLiteral("wal"));
        }
        // The library is kept as UTF-16 (read whole, often); the other files as UTF-8.
        QSqlQuery enc = Exec(t->Db.LibraryDb(), QStringLiteral("PRAGMA encoding"));
        QVERIFY(enc.next());
        QCOMPARE(enc.value(0).toString(), QStringLiteral("UTF-16le"));
        // The clinic record exists from the start, empty.
        QSqlQuery c = Exec(t->Db.MainDb(), QStringLiteral("SELECT COUNT(*) FROM Clinic"));
        QVERIFY(c.next());
        QCOMPARE(c.value(0).toInt(), 1);
    }

    void deletingAParentDeletesItsChildren()
    {
        TestContext t;
        const QSqlDatabase db = t->Db.MainDb();
        const qint64 patient = InsertPatient(db, QStringLiteral("Doe, Jane"));
        QSqlQuery inv =
            Exec(db, QStringLiteral("INSERT INTO Invoice (PatientID, Date) VALUES (?, ?)"),
                 {patient, QStringLiteral("2026-12-08T00:00:00")});
        const qint64 invoice = inv.lastInsertId().toLongLong();
        Exec(db,
             QStringLiteral(
                 "INSERT INTO Exercise (InvoiceID, RankOnTape, ExerciseID) VALUES (?, 0, 5)"),
             {invoice});
        Exec(db,
             QStringLiteral("INSERT INTO Items (InvoiceID, PartNumber, Qty, Price, RankOnOrder) "
                            "VALUES (?, 'P002', 1, 199500, 0)"),
             {invoice});
        QSqlQuery prot = Exec(db, QStringLiteral("INSERT INTO Protocol (Name) VALUES ('Knee')"));
        const qint64 protocol = prot.lastInsertId().toLongLong();
        Exec(db,
             QStringLiteral("INSERT INTO ProtocolExercise (ProtocolID, RankOnTape, ExerciseID) "
                            "VALUES (?, 0, 5)"),
             {protocol});

        Exec(db, QStringLiteral("DELETE FROM Patient WHERE PatientID = ?"), {patient});
        Exec(db, QStringLiteral("DELETE FROM Protocol WHERE ProtocolID = ?"), {protocol});
        for (const char* table : {"Invoice", "Exercise", "Items", "ProtocolExercise"}) {
            QSqlQuery n =
                Exec(db, QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table)));
            QVERIFY(n.next());
            QVERIFY2(n.value(0).toInt() == 0, table);
        }

        const QSqlDatabase pl = t->Db.PicklistDb();
        Exec(pl, QStringLiteral("DELETE FROM Label"));
        Exec(pl, QStringLiteral("INSERT INTO Label (ID, Name) VALUES (1, 'Provider')"));
        Exec(pl,
             QStringLiteral("INSERT INTO Level1 (ID, Name, LabelID) VALUES (1, 'Therapist', 1)"));
        Exec(pl, QStringLiteral("DELETE FROM Label"));
        QSqlQuery n = Exec(pl, QStringLiteral("SELECT COUNT(*) FROM Level1"));
        QVERIFY(n.next());
        QCOMPARE(n.value(0).toInt(), 0);

        // A child without its parent is refused.
        QVERIFY_THROWS_EXCEPTION(
            DbError, Exec(db, QStringLiteral(
                                  "INSERT INTO Exercise (InvoiceID, RankOnTape) VALUES (999, 0)")));
    }

    void sizedColumnsAndIntegersRefuseWhatDoesNotFit()
    {
        TestContext t;
        const QSqlDatabase db = t->Db.MainDb();
        const qint64 patient = InsertPatient(db, QStringLiteral("A"));
        const QString fits40(40, QLatin1Char('p'));
        Exec(db, QStringLiteral("INSERT INTO Invoice (PatientID, Provider) VALUES (?, ?)"),
             {patient, fits40});
        try {
            Exec(db, QStringLiteral("INSERT INTO Invoice (PatientID, Provider) VALUES (?, ?)"),
                 {patient, fits40 + QLatin1Char('x')});
            QFAIL("a 41-character provider was stored");
        } catch (const DbError& e) {
            QVERIFY2(e.message().contains(QLatin1String("CHECK constraint failed")),
                     qPrintable(e.message()));
        }
        const QString fits75(75, QChar(0x00e9)); // counted in characters, not bytes
        Exec(
            t->Db.LibraryDb(),
            QStringLiteral("INSERT INTO ExerciseLibrary (ExerciseID, Instruct0) VALUES (90001, ?)"),
            {fits75});
        QVERIFY_THROWS_EXCEPTION(
            DbError,
            Exec(t->Db.LibraryDb(),
                 QStringLiteral(
                     "INSERT INTO ExerciseLibrary (ExerciseID, Instruct2) VALUES (90002, ?)"),
                 {fits75 + QLatin1Char('x')}));
        QVERIFY_THROWS_EXCEPTION(
            DbError, Exec(t->Db.PicklistDb(),
                          QStringLiteral("INSERT INTO Level1 (ID, Name) VALUES (30001, ?)"),
                          {fits40 + QLatin1Char('x')}));
        QVERIFY_THROWS_EXCEPTION(DbError, Exec(db, QStringLiteral("UPDATE Version SET Version = ?"),
                                               {QString(21, QLatin1Char('9'))}));
        QVERIFY_THROWS_EXCEPTION(DbError,
                                 Exec(db, QStringLiteral("UPDATE Version SET Version = ''")));
        // 16-bit columns refuse values beyond their range instead of wrapping them.
        QVERIFY_THROWS_EXCEPTION(
            DbError,
            Exec(t->Db.LibraryDb(),
                 QStringLiteral(
                     "INSERT INTO ExerciseLibrary (ExerciseID, Reps) VALUES (90003, 32768)")));
        // The library's numbers are unique.
        QVERIFY_THROWS_EXCEPTION(
            DbError,
            Exec(t->Db.LibraryDb(),
                 QStringLiteral("INSERT INTO ExerciseLibrary (ExerciseID) VALUES (90001)")));
    }

    void autoNumbersAreNeverReused()
    {
        TestContext t;
        qint64 second = 0;
        {
            const QSqlDatabase db = t->Db.MainDb();
            InsertPatient(db, QStringLiteral("A"));
            second = InsertPatient(db, QStringLiteral("B"));
            Exec(db, QStringLiteral("DELETE FROM Patient WHERE PatientID = ?"), {second});
            QVERIFY(InsertPatient(db, QStringLiteral("C")) > second);
        }
        // Also after closing and reopening the file.
        CloseDatabases(*t);
        OpenDatabases(*t);
        QVERIFY(InsertPatient(t->Db.MainDb(), QStringLiteral("D")) > second + 1);
    }

    void firstStartInstallsOnlyWhenNoFileExists()
    {
        QTemporaryDir dir;
        const QString app = dir.filePath(QStringLiteral("new/app folder"));
        DataFilesCheck c = PrepareDataFiles(app, QString());
        QVERIFY2(c.ok, qPrintable(c.message));
        QVERIFY(c.installed);
        for (const QString& name : {MainDbFileName, LibraryDbFileName, PicklistDbFileName})
            QVERIFY(QFileInfo(JoinPath(app, name)).isFile());
        // No leftovers of the staging folder.
        QCOMPARE(QDir(app)
                     .entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)
                     .filter(QStringLiteral(".install"))
                     .size(),
                 0);

        c = PrepareDataFiles(app, QString());
        QVERIFY(c.ok);
        QVERIFY(!c.installed);

        // One file missing: the message names it and nothing is created.
        QVERIFY(QFile::remove(JoinPath(app, PicklistDbFileName)));
        const QByteArray mainBefore = FileBytes(JoinPath(app, MainDbFileName));
        c = PrepareDataFiles(app, QString());
        QVERIFY(!c.ok);
        QVERIFY(c.message.contains(PicklistDbFileName));
        QVERIFY(!c.message.contains(MainDbFileName));
        QVERIFY(!QFileInfo::exists(JoinPath(app, PicklistDbFileName)));
        QCOMPARE(FileBytes(JoinPath(app, MainDbFileName)), mainBefore);
    }

    void damagedOrOlderFilesAreRefusedAndLeftUntouched_data()
    {
        QTest::addColumn<int>("damage");
        QTest::newRow("not a database") << 0;
        QTest::newRow("table missing") << 1;
        QTest::newRow("newer version") << 2;
        QTest::newRow("empty file") << 3;
    }

    void damagedOrOlderFilesAreRefusedAndLeftUntouched()
    {
        QFETCH(int, damage);
        QTemporaryDir dir;
        QVERIFY(PrepareDataFiles(dir.path(), QString()).ok);
        const QString lib = JoinPath(dir.path(), LibraryDbFileName);
        if (damage == 0 || damage == 3) {
            QFile f(lib);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            if (damage == 0)
                f.write(QByteArray(4096, 'x'));
        } else {
            const QString name = QStringLiteral("damage");
            {
                QSqlDatabase db = OpenConnection(lib, name);
                if (damage == 1)
                    Exec(db, QStringLiteral("DROP TABLE ExerciseLibrary"));
                else
                    Exec(db, QStringLiteral("UPDATE Version SET Version = '9.5'"));
            }
            CloseConnection(name);
        }
        const QByteArray before = FileBytes(lib);
        const DataFilesCheck c = PrepareDataFiles(dir.path(), QString());
        QVERIFY(!c.ok);
        QVERIFY2(c.message.contains(QDir::toNativeSeparators(lib)), qPrintable(c.message));
        if (damage == 2)
            QVERIFY(c.message.contains(QLatin1String("made by a newer version")));
        if (damage == 1)
            QVERIFY(c.message.contains(QLatin1String("ExerciseLibrary")));
        QCOMPARE(FileBytes(lib), before);
        QVERIFY(!QFileInfo::exists(lib + QStringLiteral("-wal")));
    }

    void lockedFileIsReported()
    {
        QTemporaryDir dir;
        QVERIFY(PrepareDataFiles(dir.path(), QString()).ok);
        const QString main = JoinPath(dir.path(), MainDbFileName);
        const QString name = QStringLiteral("locker");
        {
            QSqlDatabase db = OpenConnection(main, name);
            Exec(db, QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"));
            Exec(db, QStringLiteral("BEGIN EXCLUSIVE"));
            Exec(db, QStringLiteral("INSERT INTO Patient (FullName) VALUES ('x')"));
            AppContext ctx(dir.path());
            QVERIFY_THROWS_EXCEPTION(DbError, OpenDatabases(ctx));
            Exec(db, QStringLiteral("ROLLBACK"));
        }
        CloseConnection(name);
    }

    void aMainFileThatCannotBeWrittenIsRefusedOthersMayStayReadOnly()
    {
        QTemporaryDir dir;
        QVERIFY(PrepareDataFiles(dir.path(), QString()).ok);
        const QString main = JoinPath(dir.path(), MainDbFileName);
        const QString picks = JoinPath(dir.path(), PicklistDbFileName);
        {
            WriteProtected guard(main);
            if (FileWriteProblem(main).isEmpty())
                QSKIP("cannot write-protect a file here");
            const QByteArray before = FileBytes(main);
            const DataFilesCheck c = PrepareDataFiles(dir.path(), QString());
            QVERIFY(!c.ok);
            QVERIFY2(c.message.contains(QDir::toNativeSeparators(main)), qPrintable(c.message));
            QVERIFY2(c.message.contains(FileWriteProblem(main)), qPrintable(c.message));
            QCOMPARE(FileBytes(main), before);
            QVERIFY(!QFileInfo::exists(main + QStringLiteral("-wal")));
            QVERIFY(!QFileInfo::exists(main + QStringLiteral("-shm")));
        }
        // The pick lists read-only: the start goes on, reading works, storing says why.
        WriteProtected guard(picks);
        QVERIFY(PrepareDataFiles(dir.path(), QString()).ok);
        AppContext ctx(dir.path());
        OpenDatabases(ctx);
        QVERIFY(Exec(ctx.Db.PicklistDb(), QStringLiteral("SELECT COUNT(*) FROM Label")).next());
        for (int viaTransaction = 0; viaTransaction < 2; ++viaTransaction) {
            try {
                if (viaTransaction) {
                    Transaction t(ctx.Db.PicklistDb());
                    QFAIL("a transaction began on a read-only file");
                }
                Exec(ctx.Db.PicklistDb(), QStringLiteral("DELETE FROM Label"));
                QFAIL("a read-only file was written");
            } catch (const DbError& e) {
                QVERIFY2(e.message().contains(QDir::toNativeSeparators(picks)) &&
                             e.message().contains(QLatin1String("read-only")),
                         qPrintable(e.message()));
            }
        }
        CloseDatabases(ctx);
        QVERIFY(!QFileInfo::exists(picks + QStringLiteral("-wal")));
    }

    void lockedMainFileIsNamedAsInUse()
    {
        QTemporaryDir dir;
        QVERIFY(PrepareDataFiles(dir.path(), QString()).ok);
        const QString main = JoinPath(dir.path(), MainDbFileName);
        const QString name = QStringLiteral("writer");
        {
            // Another program in the middle of a write: readers go on, writers wait.
            QSqlDatabase db = OpenConnection(main, name);
            Exec(db, QStringLiteral("BEGIN IMMEDIATE"));
            AppContext ctx(dir.path());
            try {
                OpenDatabases(ctx);
                QFAIL("a file held by another program was opened");
            } catch (const DbError& e) {
                QVERIFY2(e.message().contains(QDir::toNativeSeparators(main)),
                         qPrintable(e.message()));
                QVERIFY2(e.message().contains(QLatin1String("another program is using it")),
                         qPrintable(e.message()));
            }
            Exec(db, QStringLiteral("ROLLBACK"));
        }
        CloseConnection(name);
    }

    void anInstallStoppedAtAnyStepIsFinishedByTheNextStart_data()
    {
        QTest::addColumn<QString>("step");
        for (const char* step : {"staged", "rename Velmora.MDB", "rename Exercise Library.MDB",
                                 "rename Picklist.MDB", "copy", "done"})
            QTest::newRow(step) << QString::fromLatin1(step);
    }

    void anInstallStoppedAtAnyStepIsFinishedByTheNextStart()
    {
        QFETCH(QString, step);
        QTemporaryDir dir;
        const QString app = dir.filePath(QStringLiteral("app"));
        const pid_t child = ::fork();
        if (child == 0) {
            // Killed at that step: nothing after it runs, not even clean-up.
            PrepareDataFiles(app, DeliveredFilesFolder(), [&](const QString& s) {
                if (s == step)
                    ::raise(SIGKILL);
            });
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        QVERIFY(WIFSIGNALED(status));
        const DataFilesCheck c = PrepareDataFiles(app, DeliveredFilesFolder());
        QVERIFY2(c.ok, qPrintable(c.message));
        for (DbFile f : {DbFile::Main, DbFile::Library, DbFile::Picklist})
            QCOMPARE(CheckDatabaseFile(JoinPath(app, DbFileName(f)), f).status, DbFileCheck::Ok);
        QCOMPARE(
            QDir(app).entryList({QStringLiteral(".install-*")}, QDir::Dirs | QDir::Hidden).size(),
            0);
        QVERIFY(QFileInfo::exists(JoinPath(app, QStringLiteral("TIPOFDAY.TXT"))));
    }

    void anInterruptedInstallNeverTouchesAFileOfTheClinic()
    {
        QTemporaryDir dir;
        const QString app = dir.filePath(QStringLiteral("app"));
        const pid_t child = ::fork();
        if (child == 0) {
            PrepareDataFiles(app, QString(), [](const QString& s) {
                if (s == QLatin1String("rename Exercise Library.MDB"))
                    ::raise(SIGKILL);
            });
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        // Someone put their own main file in place meanwhile.
        const QString main = JoinPath(app, MainDbFileName);
        {
            QSqlDatabase db = OpenConnection(main, QStringLiteral("own"));
            InsertPatient(db, QStringLiteral("Doe, Jane"));
        }
        CloseConnection(QStringLiteral("own"));
        const QByteArray own = FileBytes(main);
        const DataFilesCheck c = PrepareDataFiles(app, QString());
        QVERIFY(!c.ok);
        QVERIFY2(c.message.contains(LibraryDbFileName), qPrintable(c.message));
        QCOMPARE(FileBytes(main), own);
    }

    void aDamagedMainFileIsFoundAndThenStoresNothing()
    {
        QTemporaryDir dir;
        QVERIFY(PrepareDataFiles(dir.path(), QString()).ok);
        const QString main = JoinPath(dir.path(), MainDbFileName);
        {
            AppContext ctx(dir.path());
            OpenDatabases(ctx);
            Transaction t(ctx.Db.MainDb());
            for (int i = 0; i < 3000; ++i)
                InsertPatient(ctx.Db.MainDb(),
                              QStringLiteral("Patient number %1 with a long name").arg(i));
            t.Commit();
        }
        QVERIFY(QuickCheckFile(main).ok);
        {
            // The last page (the patients' rows) loses its header; the schema still reads.
            QFile f(main);
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.seek(f.size() - 4096);
            f.write(QByteArray(16, '\x7f'));
        }
        QCOMPARE(CheckDatabaseFile(main, DbFile::Main).status, DbFileCheck::Ok);
        QVERIFY(!QuickCheckFile(main).ok);

        AppContext ctx(dir.path());
        OpenDatabases(ctx);
        QString report;
        ctx.Db.StartMainFileCheck([&](const QString& r) { report = r; });
        // A write during the check waits for it, then is refused.
        try {
            Exec(ctx.Db.MainDb(), QStringLiteral("DELETE FROM Clinic"));
            QFAIL("a damaged file was written");
        } catch (const DbError& e) {
            QVERIFY2(e.message().contains(QLatin1String("damaged and has been opened read-only")),
                     qPrintable(e.message()));
        }
        QVERIFY(!ctx.Db.MainDamage().isEmpty());
        QTRY_VERIFY(!report.isEmpty());
        QVERIFY_THROWS_EXCEPTION(DbError, Transaction(ctx.Db.MainDb()));
        QVERIFY(Exec(ctx.Db.MainDb(), QStringLiteral("SELECT COUNT(*) FROM Clinic")).next());
    }

    void aSoundMainFilePassesTheCheckAndWritesGoOn()
    {
        TestContext t;
        QString report = QStringLiteral("none");
        t->Db.StartMainFileCheck([&](const QString& r) { report = r; });
        InsertPatient(t->Db.MainDb(), QStringLiteral("A"));
        QCOMPARE(report, QStringLiteral("none"));
        QVERIFY(t->Db.MainDamage().isEmpty());
    }

    void closingOnAFullDiskKeepsTheChangesBesideTheFile()
    {
        SmallDisk disk("3m");
        if (!disk.Mounted)
            QSKIP("no small file system can be mounted here");
        const QString app = JoinPath(disk.Dir.path(), QStringLiteral("app"));
        QVERIFY(PrepareDataFiles(app, QString()).ok);
        ScriptedPromptService prompt;
        AppContext ctx(app);
        ctx.SetPromptService(&prompt);
        OpenDatabases(ctx);
        {
            Transaction t(ctx.Db.MainDb());
            for (int i = 0; i < 2000; ++i)
                InsertPatient(ctx.Db.MainDb(), QString(200, QLatin1Char('a' + i % 26)));
            t.Commit();
        }
        disk.Fill();
        CloseDatabases(ctx);
        QCOMPARE(prompt.Records.size(), 1);
        const QString main = JoinPath(app, MainDbFileName);
        QVERIFY2(prompt.Records.first().text.contains(
                     QDir::toNativeSeparators(main + QStringLiteral("-wal"))),
                 qPrintable(prompt.Records.first().text));
        QVERIFY(prompt.Records.first().text.contains(
            QLatin1String("merged into the file the next time")));
        QVERIFY(QFileInfo(main + QStringLiteral("-wal")).size() > 0);

        // With room again, the next start merges them: nothing was lost.
        QVERIFY(QFile::remove(JoinPath(disk.Dir.path(), QStringLiteral("filler"))));
        prompt.Clear();
        OpenDatabases(ctx);
        QSqlQuery n = Exec(ctx.Db.MainDb(), QStringLiteral("SELECT COUNT(*) FROM Patient"));
        QVERIFY(n.next());
        QCOMPARE(n.value(0).toInt(), 2000);
        n = QSqlQuery();
        CloseDatabases(ctx);
        QVERIFY(prompt.Records.isEmpty());
        QVERIFY(!QFileInfo::exists(main + QStringLiteral("-wal")));
    }

    void pathsResolveWithoutRegardToCase()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("Picture")));
        QFile f(dir.filePath(QStringLiteral("Picture/385_1.JPG")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QVERIFY(FileExistsAnyCase(dir.path() + QStringLiteral("/PICTURE/385_1.jpg")));
        QVERIFY(FileExistsAnyCase(dir.path() + QStringLiteral("\\picture\\385_1.Jpg")));
        QCOMPARE(ResolvePath(dir.path() + QStringLiteral("/PICTURE/385_1.jpg")), f.fileName());
        QVERIFY(!FileExistsAnyCase(dir.path() + QStringLiteral("/PICTURE/386_1.jpg")));
        QCOMPARE(JoinPath(QStringLiteral("a\\b\\"), QStringLiteral("\\c")),
                 QStringLiteral("a/b/c"));
    }
};

TRAMELLE_TEST_MAIN(TestDatabase)
#include "tst_database.moc"
