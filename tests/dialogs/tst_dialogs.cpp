// The tip of the day and the about box, the start-up steps that show the tip and the
// media check window, and media folders taking effect at once.
#include "AboutInfo.h"
#include "ChoiceGrid.h"
#include "Database.h"
#include "DbError.h"
#include "DeliveredData.h"
#include "LibraryCache.h"
#include "Paths.h"
#include "Startup.h"
#include "TestMain.h"
#include "TestSupport.h"
#include "TipsFile.h"
#include "WidgetSupport.h"
#include "frmAbout.h"
#include "frmCheckMedia.h"
#include "frmMedia.h"
#include "frmTip.h"
#include "mdiVMR.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

using namespace tramelle;
using namespace tramelle::test;

namespace {

QString TipText(const frmTip& tip)
{
    return tip.findChild<QLabel*>(QStringLiteral("lblTipText"))->text();
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void tipsFileLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("tips");
        QTest::newRow("empty") << QByteArray() << QStringList();
        QTest::newRow("one line") << QByteArray("Only tip") << QStringList{"Only tip"};
        QTest::newRow("line ends of every kind, empty lines count")
            << QByteArray("a\r\nb\n\nc\rd\r\n") << QStringList{"a", "b", "", "c", "d"};
        QTest::newRow("not UTF-8 reads as Latin-1")
            << QByteArray("caf\xe9") << QStringList{QStringLiteral("caf\u00e9")};
        QTest::newRow("control bytes are left out")
            << QByteArray("bin\x00\x01\x1b[ary\tx", 12) << QStringList{"bin[ary x"};
    }

    void tipsFileLines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, tips);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("TIPOFDAY.TXT"));
        WriteTestFile(path, bytes);
        const std::optional<QStringList> read = ReadTipsFile(path);
        QVERIFY(read);
        QCOMPARE(*read, tips);
    }

    void tipsFileMissingOrHuge()
    {
        QTemporaryDir dir;
        QVERIFY(!ReadTipsFile(dir.filePath(QStringLiteral("TIPOFDAY.TXT"))));
        QVERIFY(!ReadTipsFile(QString()));
        // Found whatever the case of its name.
        WriteTestFile(dir.filePath(QStringLiteral("tipofday.txt")), "x");
        QVERIFY(ReadTipsFile(dir.filePath(QStringLiteral("TIPOFDAY.TXT"))));
        // One line of several megabytes: cut, and read no further than the limit.
        WriteTestFile(dir.filePath(QStringLiteral("long.txt")),
                      QByteArray(5 * 1024 * 1024, 'w') + "\nnext");
        const std::optional<QStringList> tips =
            ReadTipsFile(dir.filePath(QStringLiteral("long.txt")));
        QCOMPARE(tips->size(), 1);
        QCOMPARE(tips->first().size(), TipLengthLimit);
    }

    void tipWindowShowsTipsOrTheMissingFileText()
    {
        TestContext t(false);
        {
            frmTip tip(*t);
            QCOMPARE(tip.windowTitle(), QStringLiteral("Tip of the Day"));
            QVERIFY(tip.Tips().isEmpty());
            const QString missing = TipText(tip);
            QVERIFY2(
                missing.startsWith(QStringLiteral("That the TIPOFDAY.TXT file was not found? \n\n"
                                                  "Create a text file named TIPOFDAY.TXT")),
                qPrintable(missing));
            ClickButton(&tip, QStringLiteral("cmdNextTip"));
            QCOMPARE(TipText(tip), missing);
        }
        WriteTestFile(t->AppPathAndFName(QStringLiteral("TIPOFDAY.TXT")), QByteArray());
        {
            frmTip tip(*t);
            QVERIFY(tip.Tips().isEmpty());
            QCOMPARE(TipText(tip), QString());
        }
        WriteTestFile(t->AppPathAndFName(QStringLiteral("TIPOFDAY.TXT")), "The one tip\r\n");
        frmTip tip(*t);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(TipText(tip), QStringLiteral("The one tip"));
            ClickButton(&tip, QStringLiteral("cmdNextTip"));
        }
    }

    void aLongTipIsCutToTheLabel()
    {
        TestContext t(false);
        WriteTestFile(t->AppPathAndFName(QStringLiteral("TIPOFDAY.TXT")), QByteArray(6000, 'W'));
        frmTip tip(*t);
        tip.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tip));
        auto* label = tip.findChild<TipLabel*>(QStringLiteral("lblTipText"));
        QCOMPARE(label->FullText().size(), TipLengthLimit);
        QVERIFY(label->text().size() < TipLengthLimit);
        QVERIFY(label->text().endsWith(QStringLiteral("...")));
        // The window keeps its size rather than growing with the text.
        QVERIFY(tip.width() < 800);
    }

    void okSavesShowTipsAndClosingOtherwiseLeavesIt()
    {
        TestContext t(false);
        t->Settings.ShowTips = true;
        {
            frmTip tip(*t);
            auto* box = tip.findChild<QCheckBox*>(QStringLiteral("chkLoadTipsAtStartup"));
            QCOMPARE(box->text(), QStringLiteral("&Show Tips at Startup"));
            QVERIFY(box->isChecked());
            box->setChecked(false);
            tip.reject();
        }
        QCOMPARE(t->Settings.ShowTips, true);
        frmTip tip(*t);
        tip.findChild<QCheckBox*>(QStringLiteral("chkLoadTipsAtStartup"))->setChecked(false);
        ClickButton(&tip, QStringLiteral("cmdOK"));
        QCOMPARE(t->Settings.ShowTips, false);
    }

    void editTipsOpensTheFileInTheTextEditor()
    {
        TestContext t(false);
        frmTip tip(*t);
        ClickButton(&tip, QStringLiteral("cmdEditTip"));
        QCOMPARE(t.Launcher.Launches.size(), 1);
        QCOMPARE(t.Launcher.Launches.first().kind, QStringLiteral("open"));
        QCOMPARE(t.Launcher.Launches.first().program,
                 t->AppPathAndFName(QStringLiteral("TIPOFDAY.TXT")));
        QVERIFY(t.Prompt.Records.isEmpty());
        t.Launcher.Fail = true;
        ClickButton(&tip, QStringLiteral("cmdEditTip"));
        QCOMPARE(t.Prompt.Records.size(), 1);
        QVERIFY(t.Prompt.Records.first().text.contains(t.Launcher.FailureText));
    }

    void aboutBoxNamesVersionPublisherAndFolders()
    {
        TestContext t;
        t->Settings.PictureFolder = QStringLiteral("/srv/media/Picture/");
        t->VendorPhone = QStringLiteral("(800) 555-0123");
        frmAbout about(*t);
        QCOMPARE(about.windowTitle(), QStringLiteral("About VMR Tramelle"));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("lblTitle"))->text(),
                 QStringLiteral("VMR Tramelle"));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("lblVersion"))->text(),
                 QStringLiteral("Version ") + QStringLiteral(TRAMELLE_VERSION));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("lblDescription"))->text(),
                 QStringLiteral("Build custom exercise programs for your patients."));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("lblContact_1"))->text(),
                 QStringLiteral("Phone:\nFax:\nHome:\ne-mail:"));
        QVERIFY(about.findChild<QLabel*>(QStringLiteral("lblContact_2"))
                    ->text()
                    .startsWith(QStringLiteral("(800) 555-0123\n")));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("lblDisclaimer"))
                     ->text()
                     .count(QLatin1Char('\n')),
                 1);

        ClickButton(&about, QStringLiteral("cmdCopy"));
        const QString copied = QGuiApplication::clipboard()->text();
        QVERIFY2(copied.contains(QDir::toNativeSeparators(t->AppFolder())), qPrintable(copied));
        QVERIFY(copied.contains(QDir::toNativeSeparators(QStringLiteral("/srv/media/Picture/"))));
        QVERIFY(copied.contains(QStringLiteral("Qt: ") + QLatin1String(qVersion())));
        QVERIFY2(copied.contains(QStringLiteral("SQLite: 3.")), qPrintable(copied));
    }

    void systemInfoStartsAToolOrSaysItIsUnavailable()
    {
        TestContext t(false);
        frmAbout about(*t);
        ClickButton(&about, QStringLiteral("cmdSysInfo"));
        QCOMPARE(t.Prompt.MessageTexts(),
                 QStringList{"System Information Is Unavailable At This Time"});
        QVERIFY(t.Launcher.Launches.isEmpty());
        t.Launcher.AvailablePrograms << QStringLiteral("hardinfo");
        ClickButton(&about, QStringLiteral("cmdSysInfo"));
        QCOMPARE(t.Launcher.Launches.size(), 1);
        QCOMPARE(t.Launcher.Launches.first().program, QStringLiteral("/usr/bin/hardinfo"));
        QCOMPARE(t.Prompt.Records.size(), 1);
    }

    // Start-up: the tip of the day, modal, when the setting is on; the media check window
    // when the probe picture is missing.
    void startUpShowsTheTipAndTheMediaCheck_data()
    {
        QTest::addColumn<bool>("showTips");
        QTest::addColumn<bool>("probePresent");
        QTest::newRow("tips on, pictures missing") << true << false;
        QTest::newRow("tips off, pictures present") << false << true;
    }

    void startUpShowsTheTipAndTheMediaCheck()
    {
        QFETCH(bool, showTips);
        QFETCH(bool, probePresent);
        QTemporaryDir home;
        const QString pictures = home.filePath(QStringLiteral("pictures/"));
        QDir().mkpath(pictures);
        if (probePresent)
            WriteTestFile(pictures + QStringLiteral("385_1.JPG"), "probe");
        const QString settingsFile = home.filePath(QStringLiteral("settings.ini"));
        {
            QSettings store(settingsFile, QSettings::IniFormat);
            store.setValue(QStringLiteral("Options/ShowTips"), showTips ? "True" : "False");
            store.setValue(QStringLiteral("Options/Picture"), pictures);
        }
        ScriptedPromptService prompt;
        ScriptedLauncherService launcher;
        StartupOptions options;
        options.ShowSplash = false;
        options.QuitWhenReady = true;
        options.AppFolder = home.filePath(QStringLiteral("app"));
        options.SettingsFile = settingsFile;
        options.Prompt = &prompt;
        options.Launcher = &launcher;

        // The tip blocks start-up: it is answered from inside its own event loop.
        bool tipWasModal = false;
        bool readyBeforeTip = false;
        bool ready = false;
        bool checkShown = false;
        QTimer answer;
        answer.setInterval(20);
        connect(&answer, &QTimer::timeout, this, [&] {
            auto* tip = qobject_cast<frmTip*>(QApplication::activeModalWidget());
            if (!tip)
                return;
            answer.stop();
            tipWasModal = true;
            readyBeforeTip = ready;
            tip->findChild<QCheckBox*>(QStringLiteral("chkLoadTipsAtStartup"))->setChecked(false);
            tip->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
        });
        answer.start();
        options.OnReady = [&](mdiVMR& w, AppContext&) {
            ready = true;
            auto* check = w.findChild<frmCheckMedia*>();
            checkShown = check && check->isVisible();
        };
        QCOMPARE(StartApplication(options), 0);
        QCOMPARE(tipWasModal, showTips);
        QVERIFY(!readyBeforeTip);
        QVERIFY(ready);
        QCOMPARE(checkShown, !probePresent);
        // OK with the box unticked turns the tip off for the next start.
        QSettings saved(settingsFile, QSettings::IniFormat);
        QCOMPARE(saved.value(QStringLiteral("Options/ShowTips")).toString(),
                 QStringLiteral("False"));
    }

    // A library file of an earlier version gets the exercises delivered since, once.
    void startUpAddsTheNewDeliveredExercises()
    {
        QTemporaryDir home;
        ScriptedPromptService prompt;
        ScriptedLauncherService launcher;
        StartupOptions options;
        options.ShowSplash = false;
        options.ShowTipOfTheDay = false;
        options.QuitWhenReady = true;
        options.AppFolder = home.filePath(QStringLiteral("app"));
        options.SettingsFile = home.filePath(QStringLiteral("settings.ini"));
        options.Prompt = &prompt;
        options.Launcher = &launcher;
        QCOMPARE(StartApplication(options), 0);
        const QString library = JoinPath(options.AppFolder, LibraryDbFileName);
        const QString connection = QStringLiteral("older-library");
        {
            const QSqlDatabase db = OpenConnection(library, connection);
            Exec(db,
                 QStringLiteral(
                     "DELETE FROM ExerciseLibrary WHERE ExerciseID >= 200 AND ExerciseID < 244"));
        }
        CloseConnection(connection);

        const QString added = QStringLiteral(
            "44 exercises delivered with this version were added to the exercise library.");
        qsizetype offered = 0;
        options.OnReady = [&](mdiVMR&, AppContext& ctx) { offered = ctx.Library.Entries.size(); };
        prompt.Clear();
        QCOMPARE(StartApplication(options), 0);
        QVERIFY2(prompt.MessageTexts().contains(added),
                 qPrintable(prompt.MessageTexts().join(QLatin1Char('|'))));
        QCOMPARE(offered,
                 ReadDeliveredLibrary(JoinPath(DeliveredFilesFolder(), DeliveredLibraryFileName))
                     .size());

        prompt.Clear();
        QCOMPARE(StartApplication(options), 0);
        QVERIFY(!prompt.MessageTexts().contains(added));
    }

    // Icons chosen in "Media Locations" show in the selection window's grid without a restart.
    void aNewPictureFolderTakesEffectAtOnce()
    {
        QTemporaryDir home;
        ScriptedPromptService prompt;
        ScriptedLauncherService launcher;
        StartupOptions options;
        options.ShowSplash = false;
        options.ShowTipOfTheDay = false;
        options.QuitWhenReady = true;
        options.AppFolder = home.filePath(QStringLiteral("app"));
        options.SettingsFile = home.filePath(QStringLiteral("settings.ini"));
        options.Prompt = &prompt;
        options.Launcher = &launcher;
        QRgb before = 0;
        QRgb after = 0;
        QString iconFolder;
        options.OnReady = [&](mdiVMR& w, AppContext& ctx) {
            if (ctx.Library.Entries.isEmpty())
                return;
            // The grid is larger than the icons here, so its cells show the pictures.
            const QString icon = IconSourcePicture(ctx.Library.Entries.first());
            const QString red = home.filePath(QStringLiteral("red pictures/"));
            QDir().mkpath(red);
            QImage picture(70, 53, QImage::Format_RGB32);
            picture.fill(Qt::red);
            picture.save(red + icon, "JPG");
            w.Toolbar1_Exercises();
            const auto centre = [&w] {
                const QImage shown = w.SelectionWindow()->findChild<ChoiceGrid*>()->Picture(0);
                return shown.isNull() ? QRgb(0)
                                      : shown.pixel(shown.width() / 2, shown.height() / 2);
            };
            before = centre();
            w.SelectionWindow()->findChild<QPushButton*>(QStringLiteral("cmdOkCancel_1"))->click();

            TriggerAction(&w, QStringLiteral("mnuSetMedia"));
            auto* media = w.findChild<frmMedia*>();
            prompt.TextAnswers.push_back(red + icon);
            media->findChild<QPushButton*>(QStringLiteral("cmdMedia_1"))->click();
            media->findChild<QPushButton*>(QStringLiteral("cmdOKCancel_0"))->click();
            iconFolder = ctx.Settings.PictureFolder;
            w.Toolbar1_Exercises();
            after = centre();
        };
        QCOMPARE(StartApplication(options), 0);
        QCOMPARE(iconFolder, home.filePath(QStringLiteral("red pictures/")));
        QVERIFY(qRed(after) > 200 && qGreen(after) < 60);
        QVERIFY(before != after);
    }
};

TRAMELLE_TEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
