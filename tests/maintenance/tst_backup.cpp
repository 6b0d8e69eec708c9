#include "Backup.h"
#include "Database.h"
#include "DbError.h"
#include "Paths.h"
#include "RealLauncher.h"
#include "SafeFiles.h"
#include "TestMain.h"
#include "TestSupport.h"
#include "Upgrade.h"
#include "WidgetSupport.h"
#include "frmBackup.h"
#include "mdiVMR.h"

#include <QAction>
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTest>
#include <QTreeWidget>

using namespace tramelle;
using namespace tramelle::test;

namespace {

int Run(const QString& program, const QStringList& args, const QString& folder)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(program, args);
    p.waitForFinished(60000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QByteArray Hash(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1);
}

qint64 Patients(AppContext& ctx)
{
    QSqlQuery q = Exec(ctx.Db.MainDb(), QStringLiteral("SELECT COUNT(*) FROM Patient"));
    return q.next() ? q.value(0).toLongLong() : -1;
}

void AddProgram(AppContext& ctx, const QString& name)
{
    Exec(ctx.Db.MainDb(), QStringLiteral("INSERT INTO Patient (FullName) VALUES (?)"), {name});
    Exec(ctx.Db.MainDb(),
         QStringLiteral(
             "INSERT INTO Invoice (PatientID, Provider) VALUES (last_insert_rowid(), 'Dr. A')"));
}

void WriteNoise(const QString& path, int bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QByteArray data(bytes, Qt::Uninitialized);
    for (char& c : data)
        c = char(QRandomGenerator::global()->bounded(256));
    f.write(data);
}

struct Fixture
{
    TestContext t;
    RealLauncher launcher;
    QTemporaryDir dest;
    std::unique_ptr<frmBackup> form;

    Fixture()
    {
        t->SetLauncherService(&launcher);
        form = std::make_unique<frmBackup>(*t);
        form->SetDestination(dest.path());
        form->SetMediumProbe([](const QString&) { return BackupMedium{false, qint64(1) << 40}; });
    }
    QString Archive() const { return JoinPath(dest.path(), BackupArchiveName); }
    void Click(const char* name) { ClickButton(form.get(), QString::fromLatin1(name)); }
    QString LastTitle() const
    {
        return t.Prompt.Records.isEmpty() ? QString() : t.Prompt.Records.last().title;
    }
};

} // namespace

class TestBackup : public QObject
{
    Q_OBJECT

private slots:
    void calculateK()
    {
        QCOMPARE(CalculateK(1023), QStringLiteral("0K"));
        QCOMPARE(CalculateK(1024), QStringLiteral("1K"));
        QCOMPARE(CalculateK(2047), QStringLiteral("1K"));
        QCOMPARE(frmBackup::CalculateK(qint64(5) << 30), QStringLiteral("5242880K"));
    }

    // The Database menu's "Backup" opens one window, however often it is chosen.
    void backupCommandOpensOneWindow()
    {
        TestContext t;
        mdiVMR w(*t);
        t->SetMainWindowServices(&w);
        auto* action = w.findChild<QAction*>(QStringLiteral("mnuBackup"));
        QVERIFY(action);
        action->setEnabled(true);
        action->trigger();
        action->trigger();
        const auto forms = w.findChildren<frmBackup*>();
        QCOMPARE(forms.size(), 1);
        QVERIFY(forms.at(0)->isVisible());
        QCOMPARE(forms.at(0)->windowTitle(), QStringLiteral("Backup VMR Database"));
        forms.at(0)->close();
        t->SetMainWindowServices(&t.MainWindow);
    }

    // Backup of a program and the clinic's own media, then restore after the data changed.
    void backupAndRestoreRoundTrip()
    {
        Fixture f;
        AppContext& ctx = *f.t;
        AddProgram(ctx, QStringLiteral("Jane Doe"));
        WriteNoise(JoinPath(f.t.Folder(), QStringLiteral("Clinic/Pictures/9001_1.JPG")), 5000);

        // A modified program is offered for saving; Cancel changes nothing.
        ctx.Program.PatientID = 1;
        ctx.Program.Modified = true;
        f.t.Prompt.Answers = {PromptAnswer::Cancel};
        f.Click("cmdBackup");
        QCOMPARE(f.t.Prompt.Records.at(0).title, QStringLiteral("Exercise Program Modified"));
        QVERIFY(!QFile::exists(f.Archive()));
        QVERIFY(ctx.Db.IsOpen());
        ctx.Program.Modified = false;

        f.t.Prompt.Clear();
        f.Click("cmdBackup");
        QCOMPARE(f.LastTitle(), QStringLiteral("Backup Status"));
        QCOMPARE(f.t.Prompt.MessageTexts().last(), QStringLiteral("Backup completed"));
        QVERIFY(ctx.Db.IsOpen());
        auto* list = f.form->findChild<QTreeWidget*>(QStringLiteral("lstMain"));
        QStringList names;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            names << list->topLevelItem(i)->text(0);
        for (const QString& n : {MainDbFileName, LibraryDbFileName, PicklistDbFileName,
                                 QStringLiteral("9001_1.JPG"), QStringLiteral("<dir>")})
            QVERIFY2(names.contains(n), qPrintable(names.join(QLatin1Char(','))));
        QVERIFY(f.t.MainWindow.StatusTexts.join(QLatin1Char('|'))
                    .contains(QStringLiteral(" Adding file: Velmora.MDB (")));
        QCOMPARE(Run(QStringLiteral("unzip"), {QStringLiteral("-tq"), f.Archive()}, f.dest.path()),
                 0);

        // The data change, then the backup comes back.
        Exec(ctx.Db.MainDb(), QStringLiteral("DELETE FROM Patient"));
        QFile::remove(JoinPath(f.t.Folder(), QStringLiteral("Clinic/Pictures/9001_1.JPG")));
        f.t.Prompt.Clear();
        f.t.Prompt.TextAnswers = {f.Archive()};
        f.t.Prompt.Answers = {PromptAnswer::Yes};
        f.Click("cmdRestore");
        const QStringList texts = f.t.Prompt.MessageTexts();
        QCOMPARE(texts.size(), 2);
        QVERIFY2(texts.at(0).contains(QStringLiteral("1 patients, 1 exercise programs")),
                 qPrintable(texts.at(0)));
        QVERIFY2(texts.at(1).startsWith(QStringLiteral("Restore completed.")),
                 qPrintable(texts.at(1)));
        QVERIFY(ctx.Db.IsOpen());
        QCOMPARE(Patients(ctx), 1);
        QVERIFY(
            QFile::exists(JoinPath(f.t.Folder(), QStringLiteral("Clinic/Pictures/9001_1.JPG"))));
        const QStringList kept =
            QDir(f.t.Folder()).entryList({QStringLiteral("Velmora (replaced *).MDB")});
        QCOMPARE(kept.size(), 1);
    }

    // Abort, a write fault and a missing data file all end in the error and keep the old archive.
    void failuresKeepTheOldArchive()
    {
        Fixture f;
        f.Click("cmdBackup");
        QCOMPARE(f.LastTitle(), QStringLiteral("Backup Status"));
        const QByteArray old = Hash(f.Archive());
        AddProgram(*f.t, QStringLiteral("Changed"));

        // Abort midway, confirmed.
        f.t.Prompt.Clear();
        bool clicked = false;
        f.form->SetProgressHook([&](int overall) {
            if (overall >= 10 && !clicked) {
                clicked = true;
                f.t.Prompt.Answers = {PromptAnswer::Yes};
                f.Click("cmdAbort");
            }
        });
        f.Click("cmdBackup");
        QVERIFY(clicked);
        QCOMPARE(f.t.Prompt.Records.at(0).text,
                 QStringLiteral("Are you sure you want to abort the current operation?"));
        QCOMPARE(f.LastTitle(), QStringLiteral("Backup Error: %1").arg(BackupCancelledCode));
        QVERIFY(f.t.Prompt.MessageTexts().last().startsWith(
            QStringLiteral("An error occurred during the backup procedure")));
        QCOMPARE(Hash(f.Archive()), old);
        QVERIFY(f.t->Db.IsOpen());
        f.form->SetProgressHook({});

        // A write error once the archive is written.
        f.t.Prompt.Clear();
        f.form->SetBackupHook([](BackupStage stage) {
            if (stage == BackupStage::Written)
                throw MaintenanceFailure(28, QStringLiteral("No space left on device"));
        });
        f.Click("cmdBackup");
        QCOMPARE(f.LastTitle(), QStringLiteral("Backup Error: 28"));
        QVERIFY(
            f.t.Prompt.MessageTexts().last().contains(QStringLiteral("No space left on device")));
        QCOMPARE(Hash(f.Archive()), old);
        QCOMPARE(QDir(f.dest.path()).entryList(QDir::Files), QStringList{BackupArchiveName});
        QVERIFY(f.t->Db.IsOpen());

        // A data file that cannot be read fails the backup.
        QTemporaryDir partial;
        QVERIFY(QFile::copy(JoinPath(f.t.Folder(), MainDbFileName),
                            JoinPath(partial.path(), MainDbFileName)));
        QStringList skipped;
        BackupOptions options;
        options.FileSkipped = [&](const QString& name, SkipReason r) {
            skipped << name << QString::number(int(r));
        };
        QVERIFY_THROWS_EXCEPTION(MaintenanceFailure,
                                 WriteBackupArchive(partial.path(), f.Archive(), options));
        QCOMPARE(skipped, (QStringList{LibraryDbFileName, QStringLiteral("0")}));
        QCOMPARE(Hash(f.Archive()), old);

        // Changes left in a journal beside a file (a close that could not merge them).
        for (const QString& name : {LibraryDbFileName, PicklistDbFileName})
            QVERIFY(QFile::copy(JoinPath(f.t.Folder(), name), JoinPath(partial.path(), name)));
        WriteNoise(JoinPath(partial.path(), MainDbFileName + QStringLiteral("-wal")), 100);
        QVERIFY_THROWS_EXCEPTION(MaintenanceFailure,
                                 WriteBackupArchive(partial.path(), f.Archive()));
        QCOMPARE(Hash(f.Archive()), old);
        QFile::remove(JoinPath(partial.path(), MainDbFileName + QStringLiteral("-wal")));
        WriteBackupArchive(partial.path(), f.Archive());
        QVERIFY(Hash(f.Archive()) != old);
    }

    // A removable medium too small for the archive gets a standard split set.
    void smallMediumGivesSplitSet()
    {
        Fixture f;
        WriteNoise(JoinPath(f.t.Folder(), QStringLiteral("Clinic/Movies/9001.AVI")), 2600 * 1024);
        int probes = 0;
        f.form->SetMediumProbe([&](const QString&) {
            ++probes;
            // The third medium offered is too small for a part.
            return BackupMedium{true, probes == 3 ? 300 * 1024 : 1536 * 1024};
        });
        // zip cannot join a member that runs over more than two parts: no set is written.
        f.Click("cmdBackup");
        QCOMPARE(f.LastTitle(), QStringLiteral("Backup Error: 5"));
        QVERIFY(f.t.Prompt.MessageTexts().last().contains(
            QStringLiteral("cannot be split into parts of 1 MB")));
        QVERIFY(QDir(f.dest.path()).isEmpty());
        QVERIFY(f.t->Db.IsOpen());

        WriteNoise(JoinPath(f.t.Folder(), QStringLiteral("Clinic/Movies/9001.AVI")), 900 * 1024);
        WriteNoise(JoinPath(f.t.Folder(), QStringLiteral("Clinic/Movies/9002.AVI")), 900 * 1024);
        WriteNoise(JoinPath(f.t.Folder(), QStringLiteral("Clinic/Movies/9003.AVI")), 900 * 1024);
        probes = 0;
        f.t.Prompt.Clear();
        f.t.Prompt.Answers = std::deque<PromptAnswer>(12, PromptAnswer::Ok);
        f.Click("cmdBackup");
        QCOMPARE(f.LastTitle(), QStringLiteral("Backup Status"));
        const QStringList texts = f.t.Prompt.MessageTexts();
        QVERIFY2(texts.contains(QStringLiteral("Please insert disk #2 of the set.")),
                 qPrintable(texts.join('|')));
        QVERIFY(texts.contains(QStringLiteral("Please insert the last disk of the set.")));
        QVERIFY(texts.filter(QStringLiteral("Please use another disk.")).size() == 1);
        QVERIFY(QFile::exists(JoinPath(f.dest.path(), QStringLiteral("Velmora Backup.z01"))));
        QVERIFY(QFile::exists(JoinPath(f.dest.path(), QStringLiteral("Velmora Backup.z02"))));
        for (const QString& name : QDir(f.dest.path()).entryList(QDir::Files))
            QVERIFY(QFileInfo(JoinPath(f.dest.path(), name)).size() <= 1024 * 1024);

        QCOMPARE(Run(QStringLiteral("zip"),
                     {QStringLiteral("-q"), QStringLiteral("-s"), QStringLiteral("0"),
                      BackupArchiveName, QStringLiteral("--out"), QStringLiteral("whole.zip")},
                     f.dest.path()),
                 0);
        QCOMPARE(Run(QStringLiteral("unzip"), {QStringLiteral("-tq"), QStringLiteral("whole.zip")},
                     f.dest.path()),
                 0);
        QFile::remove(JoinPath(f.dest.path(), QStringLiteral("whole.zip")));

        QTemporaryDir work;
        const BackupContents contents =
            InspectBackup(f.Archive(), work.path(), [&](const QStringList& a) {
                return f.launcher.RunProgram(QStandardPaths::findExecutable(QStringLiteral("zip")),
                                             a, 60000);
            });
        QCOMPARE(contents.DataFiles.size(), 3);
        QCOMPARE(
            QFileInfo(JoinPath(contents.ClinicFolder, QStringLiteral("Movies/9002.AVI"))).size(),
            900 * 1024);
    }

    // A backup of an older version is restored and upgraded as it is opened.
    void olderBackupIsUpgraded()
    {
        Fixture f;
        QTemporaryDir src;
        CreateOldDatabaseFile(JoinPath(src.path(), MainDbFileName), DbFile::Main,
                              OldestSchemaVersion);
        for (const QString& name : {LibraryDbFileName, PicklistDbFileName})
            QVERIFY(QFile::copy(JoinPath(f.t.Folder(), name), JoinPath(src.path(), name)));
        const QString archive = JoinPath(src.path(), BackupArchiveName);
        QCOMPARE(Run(QStringLiteral("zip"),
                     {QStringLiteral("-q"), archive, MainDbFileName, LibraryDbFileName,
                      PicklistDbFileName},
                     src.path()),
                 0);
        f.t.Prompt.TextAnswers = {archive};
        f.t.Prompt.Answers = {PromptAnswer::Yes};
        f.Click("cmdRestore");
        QVERIFY2(f.t.Prompt.MessageTexts().last().startsWith(QStringLiteral("Restore completed.")),
                 qPrintable(f.t.Prompt.MessageTexts().join(QLatin1Char('|'))));
        QVERIFY(f.t->Db.IsOpen());
        QCOMPARE(StoredVersion(f.t->Db.MainDb()).value_or(QString()), CurrentSchemaVersion);
    }

    // A damaged or hostile archive is refused before anything is replaced.
    void damagedArchiveRefused()
    {
        Fixture f;
        f.Click("cmdBackup");
        QCOMPARE(f.LastTitle(), QStringLiteral("Backup Status"));
        QTemporaryDir work;
        QVERIFY(!InspectBackup(f.Archive(), work.path(), {}).DataFiles.isEmpty());

        // Bytes changed in the middle of the main file's data.
        QFile zip(f.Archive());
        QVERIFY(zip.open(QIODevice::ReadWrite));
        zip.seek(zip.size() / 4);
        QByteArray junk(64, '\x5a');
        zip.write(junk);
        zip.close();
        const QByteArray main = Hash(JoinPath(f.t.Folder(), MainDbFileName));
        f.t.Prompt.Clear();
        f.t.Prompt.TextAnswers = {f.Archive()};
        f.t.Prompt.Answers = {PromptAnswer::Yes};
        f.Click("cmdRestore");
        QCOMPARE(f.t.Prompt.MessageTexts().size(), 1);
        QVERIFY(f.t.Prompt.MessageTexts().at(0).startsWith(
            QStringLiteral("This backup cannot be restored; nothing was changed.")));
        QVERIFY(f.t->Db.IsOpen());
        f.t->Db.Close();
        QCOMPARE(Hash(JoinPath(f.t.Folder(), MainDbFileName)), main);

        // Sound CRCs, wrong contents: texts as the data files, a file missing.
        auto refused = [&](const QStringList& names, const QString& expected) {
            QTemporaryDir src;
            for (const QString& n : names) {
                QFile out(JoinPath(src.path(), n));
                QVERIFY(out.open(QIODevice::WriteOnly));
                out.write("not a database");
            }
            const QString bad = JoinPath(src.path(), QStringLiteral("bad.zip"));
            QCOMPARE(Run(QStringLiteral("zip"), QStringList{QStringLiteral("-q"), bad} + names,
                         src.path()),
                     0);
            try {
                InspectBackup(bad, work.path(), {});
                QFAIL("accepted");
            } catch (const MaintenanceFailure& e) {
                QVERIFY2(e.errors().at(0).description.contains(expected),
                         qPrintable(e.errors().at(0).description));
            }
        };
        refused({MainDbFileName, LibraryDbFileName, PicklistDbFileName},
                QStringLiteral("\"Velmora.MDB\" in the archive"));
        refused({LibraryDbFileName}, QStringLiteral("holds no \"Velmora.MDB\""));
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TestBackup test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_backup.moc"
