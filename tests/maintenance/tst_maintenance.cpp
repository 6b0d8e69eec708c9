#include "Compaction.h"
#include "Database.h"
#include "DbError.h"
#include "MaintenanceCommands.h"
#include "Paths.h"
#include "Repair.h"
#include "SafeFiles.h"
#include "TestMain.h"
#include "TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

#include <csignal>

using namespace tramelle;
using namespace tramelle::test;

namespace {

qint64 Count(const QString& path, const QString& sql)
{
    ScopedDb db(path, true);
    QSqlQuery q = Exec(db.Db(), sql);
    return q.next() ? q.value(0).toLongLong() : -1;
}

QString Check(const QString& path)
{
    ScopedDb db(path, true);
    QSqlQuery q = Exec(db.Db(), QStringLiteral("PRAGMA integrity_check"));
    q.next();
    const QString text = q.value(0).toString();
    q.finish();
    QSqlQuery fk = Exec(db.Db(), QStringLiteral("PRAGMA foreign_key_check"));
    return fk.next() ? QStringLiteral("foreign key: ") + fk.value(0).toString() : text;
}

// A main file with `programs` stored programs of ten exercises and two order lines.
void FillMain(const QString& path, int programs)
{
    ScopedDb db(path, false);
    Exec(db.Db(), QStringLiteral("BEGIN"));
    for (int p = 1; p <= programs; ++p) {
        Exec(db.Db(), QStringLiteral("INSERT INTO Patient (PatientID, FullName) VALUES (?, ?)"),
             {p, QStringLiteral("Patient %1").arg(p)});
        Exec(db.Db(),
             QStringLiteral(
                 "INSERT INTO Invoice (InvoiceID, PatientID, Provider) VALUES (?, ?, 'Dr. A')"),
             {p, p});
        for (int e = 0; e < 10; ++e)
            Exec(db.Db(),
                 QStringLiteral("INSERT INTO Exercise (InvoiceID, RankOnTape, ExerciseID, "
                                "\"Desc\", Instruct0, HasVideo) "
                                "VALUES (?, ?, ?, ?, ?, 0)"),
                 {p, e, e + 1, QString(60, QLatin1Char('d')), QString(70, QLatin1Char('i'))});
        for (int i = 0; i < 2; ++i)
            Exec(db.Db(),
                 QStringLiteral("INSERT INTO Items (InvoiceID, PartNumber, Qty, RankOnOrder) "
                                "VALUES (?, 'T-1', 1, ?)"),
                 {p, i});
    }
    Exec(db.Db(), QStringLiteral("COMMIT"));
}

// Overwrites pages of the file with noise, never the first one (the table of contents).
void DamagePages(const QString& path, const QList<int>& pages)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    for (int page : pages) {
        QByteArray noise(4096, '\0');
        for (char& c : noise)
            c = char(QRandomGenerator::global()->bounded(256));
        f.seek(qint64(page - 1) * 4096);
        f.write(noise);
    }
}

// Rows a point read by key finds, for keys 1 to `upTo`: what any repair could copy.
qint64 PointReadable(const QString& path, const QString& table, qint64 upTo)
{
    ScopedDb db(path, true);
    QSqlQuery q(db.Db());
    q.prepare(QStringLiteral("SELECT * FROM \"%1\" WHERE rowid = ?").arg(table));
    qint64 found = 0;
    for (qint64 k = 1; k <= upTo; ++k) {
        q.bindValue(0, k);
        if (q.exec() && q.next())
            ++found;
    }
    return found;
}

} // namespace

class TestMaintenance : public QObject
{
    Q_OBJECT

private slots:
    void compactionReplacesTheFileAndDeletesALeftover()
    {
        QTemporaryDir dir;
        const QString path = JoinPath(dir.path(), MainDbFileName);
        const QString temp = JoinPath(dir.path(), CompactTempFileName);
        CreateDatabaseFile(path, DbFile::Main);
        FillMain(path, 200);
        {
            ScopedDb db(path, false);
            Exec(db.Db(), QStringLiteral("DELETE FROM Invoice WHERE InvoiceID > 20"));
        }
        QFile leftover(temp);
        QVERIFY(leftover.open(QIODevice::WriteOnly));
        leftover.write("half a file from an interrupted run");
        leftover.close();
        const qint64 before = QFileInfo(path).size();
        CompactDatabaseFile(path, temp);
        QVERIFY(QFileInfo(path).size() < before);
        QVERIFY(!QFileInfo::exists(temp));
        QCOMPARE(Check(path), QStringLiteral("ok"));
        QCOMPARE(Count(path, QStringLiteral("SELECT count(*) FROM Exercise")), 200);
        QCOMPARE(
            Count(path, QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = 'Invoice'")),
            200);
        // A file that is already compact compacts again.
        CompactDatabaseFile(path, temp);
        QCOMPARE(Check(path), QStringLiteral("ok"));
    }

    void aFailureAtAnyStageLeavesTheOldFileWhole_data()
    {
        QTest::addColumn<int>("stage");
        QTest::newRow("leftover deleted") << int(MaintenanceStage::TempRemoved);
        QTest::newRow("copied") << int(MaintenanceStage::Copied);
        QTest::newRow("synced") << int(MaintenanceStage::Synced);
    }

    void aFailureAtAnyStageLeavesTheOldFileWhole()
    {
        QFETCH(int, stage);
        QTemporaryDir dir;
        const QString path = JoinPath(dir.path(), MainDbFileName);
        CreateDatabaseFile(path, DbFile::Main);
        FillMain(path, 20);
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        const QByteArray bytes = f.readAll();
        f.close();
        CompactOptions options;
        options.AtStage = [&](MaintenanceStage s) {
            if (int(s) == stage)
                throw MaintenanceFailure(28, QStringLiteral("No space left on device"));
        };
        try {
            CompactDatabaseFile(path, JoinPath(dir.path(), CompactTempFileName), options);
            QFAIL("no failure");
        } catch (const MaintenanceFailure& e) {
            QCOMPARE(e.errors().first().number, 28);
        }
        f.open(QIODevice::ReadOnly);
        QCOMPARE(f.readAll(), bytes);
        QVERIFY(!QFileInfo::exists(JoinPath(dir.path(), CompactTempFileName)));
    }

    void aKillDuringCompactionLeavesAWholeFile()
    {
        QTemporaryDir dir;
        const QString path = JoinPath(dir.path(), MainDbFileName);
        CreateDatabaseFile(path, DbFile::Main);
        FillMain(path, 1500);
        for (int kill = 0; kill < 8; ++kill) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--compact-loop"), dir.path()});
            QVERIFY(child.waitForStarted());
            QThread::msleep(80 + QRandomGenerator::global()->bounded(300));
            ::kill(pid_t(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished());
            QCOMPARE(Check(path), QStringLiteral("ok"));
            QCOMPARE(Count(path, QStringLiteral("SELECT count(*) FROM Exercise")), 15000);
        }
    }

    void aDamagedFileIsRebuiltWithEveryReadableRow()
    {
        QTemporaryDir dir;
        const QString path = JoinPath(dir.path(), MainDbFileName);
        CreateDatabaseFile(path, DbFile::Main);
        FillMain(path, 400);
        const qint64 pages = QFileInfo(path).size() / 4096;
        DamagePages(path,
                    {int(pages / 3), int(pages / 2), int(pages / 2) + 1, int(pages - 5), 8, 9});
        const qint64 exercises = PointReadable(path, QStringLiteral("Exercise"), 4000);
        const qint64 invoices = PointReadable(path, QStringLiteral("Invoice"), 400);

        RepairOptions options;
        options.Stamp = QStringLiteral("2026-12-09 010203");
        const RepairResult r =
            RepairDatabaseFile(path, JoinPath(dir.path(), CompactTempFileName), options);
        QVERIFY(!r.WasSound);
        QCOMPARE(Check(path), QStringLiteral("ok"));
        QVERIFY(QFileInfo::exists(
            JoinPath(dir.path(), QStringLiteral("Velmora (damaged 2026-12-09 010203).MDB"))));
        qint64 kept = 0;
        for (const TableRepair& t : r.Tables) {
            QCOMPARE(t.Read, t.Copied + t.Orphans);
            if (t.Table != QLatin1String("Clinic") && t.Table != QLatin1String("Protocol") &&
                t.Table != QLatin1String("ProtocolExercise"))
                kept += t.Read;
            if (t.Table == QLatin1String("Exercise")) {
                QCOMPARE(t.Read, exercises);
                QCOMPARE(t.Unreadable, 4000 - exercises);
                QVERIFY(t.UnreadableKnown);
            }
            if (t.Table == QLatin1String("Invoice"))
                QCOMPARE(t.Read, invoices);
        }
        QVERIFY(kept < 400 + 400 + 4000 + 800);
        // Nothing read is lost: the repaired file and the orphans file hold it all.
        qint64 stored = 0;
        for (const char* table : {"Patient", "Invoice", "Exercise", "Items"}) {
            stored +=
                Count(path, QStringLiteral("SELECT count(*) FROM %1").arg(QLatin1String(table)));
            if (!r.OrphansPath.isEmpty())
                stored += std::max<qint64>(0, [&] {
                    ScopedDb db(r.OrphansPath, true);
                    QSqlQuery q(db.Db());
                    return q.exec(QStringLiteral("SELECT count(*) FROM %1")
                                      .arg(QLatin1String(table))) &&
                                   q.next()
                               ? q.value(0).toLongLong()
                               : 0;
                }());
        }
        QCOMPARE(stored, kept);
        const QString report = RepairReportText(r);
        QVERIFY2(report.contains(QStringLiteral("Exercise: %1 read").arg(exercises)),
                 qPrintable(report));
        QVERIFY(report.contains(QLatin1String("Velmora (damaged 2026-12-09 010203).MDB")));
    }

    void commandsAskSaveAndReopen()
    {
        TestContext t;
        AppContext& ctx = *t;
        ctx.Program.PatientID = 1;
        ctx.Program.PatientName = QStringLiteral("Doe, Jane");
        ctx.Program.Modified = true;
        // Cancel at the save offer abandons the command.
        t.Prompt.Answers = {PromptAnswer::Yes, PromptAnswer::Cancel};
        CompressCommand(ctx);
        QCOMPARE(t.Prompt.Records.at(0).title, QStringLiteral("Compress Database"));
        QCOMPARE(t.Prompt.Records.at(0).text, QStringLiteral("Compress the VMR database?"));
        QCOMPARE(t.Prompt.Records.at(1).text,
                 QStringLiteral("Save current exercise program in database"));
        QCOMPARE(t.Prompt.Records.at(1).buttons, PromptButtons::YesNoCancel);
        QVERIFY(ctx.Program.PatientID.has_value());
        QVERIFY(ctx.Db.IsOpen());

        t.Prompt.Clear();
        t.Prompt.Answers = {PromptAnswer::Yes, PromptAnswer::No};
        CompressCommand(ctx);
        QCOMPARE(t.Prompt.MessageTexts().last(), QStringLiteral("Compression completed!"));
        QVERIFY(ctx.Db.IsOpen());
        QVERIFY(!ctx.Program.PatientID);
        QCOMPARE(t.MainWindow.ToolbarStates.last(), 1);
        QCOMPARE(t.MainWindow.MenuStates.last(), 2);

        // A failed compaction lists the error and opens the file it left alone.
        QVERIFY(QDir().mkpath(JoinPath(t.Folder(), CompactTempFileName + QStringLiteral("/x"))));
        t.Prompt.Clear();
        t.Prompt.Answers = {PromptAnswer::Yes};
        CompressCommand(ctx);
        const QStringList texts = t.Prompt.MessageTexts();
        QVERIFY2(texts.at(1).startsWith(QLatin1String("Error number: ")),
                 qPrintable(texts.join(QLatin1Char('|'))));
        QVERIFY(texts.at(1).contains(QLatin1Char('\r')));
        QCOMPARE(texts.at(2), QStringLiteral("The database was not changed and is open again."));
        QVERIFY(ctx.Db.IsOpen());
        QDir(JoinPath(t.Folder(), CompactTempFileName)).removeRecursively();

        t.Prompt.Clear();
        t.Prompt.Answers = {PromptAnswer::Yes};
        RebuildCommand(ctx);
        QCOMPARE(t.Prompt.Records.at(0).text, QStringLiteral("Repair the VMR database?"));
        QCOMPARE(t.Prompt.MessageTexts().last(), QStringLiteral("Repair completed!"));
        QVERIFY(ctx.Db.IsOpen());
    }
};

int main(int argc, char** argv)
{
    // Child mode of the kill test: compacts the file over and over until killed.
    if (argc == 3 && qstrcmp(argv[1], "--compact-loop") == 0) {
        QCoreApplication app(argc, argv);
        const QString folder = QString::fromLocal8Bit(argv[2]);
        for (;;)
            CompactDatabaseFile(JoinPath(folder, MainDbFileName),
                                JoinPath(folder, CompactTempFileName));
    }
    QApplication app(argc, argv);
    TestMaintenance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_maintenance.moc"
