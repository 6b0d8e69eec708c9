#include "AppContext.h"
#include "ApplicationServices.h"
#include "Database.h"
#include "DbError.h"
#include "HelpCommands.h"
#include "MainWindowProbe.h"
#include "Paths.h"
#include "ProgramStore.h"
#include "Settings.h"
#include "Startup.h"
#include "TestMain.h"
#include "TestSupport.h"
#include "WidgetSupport.h"
#include "frmHelp.h"
#include "frmPreferences.h"
#include "frmProgress.h"
#include "frmSplash.h"
#include "mdiVMR.h"

#include <QAction>
#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QSettings>
#include <QSqlQuery>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>
#include <QTranslator>
#include <QUrl>

#include <functional>
#include <sys/mount.h>

using namespace tramelle;
using namespace tramelle::test;

namespace {

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray FileBytes(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// Clicks the link whose text this is, as the mouse does.
void ClickLink(QTextBrowser* browser, const QString& text)
{
    const QTextCursor found = browser->document()->find(text);
    QVERIFY2(!found.isNull(), qPrintable(text));
    QTextCursor middle(browser->document());
    middle.setPosition((found.selectionStart() + found.selectionEnd()) / 2);
    browser->setTextCursor(middle);
    browser->ensureCursorVisible();
    QTest::mouseClick(browser->viewport(), Qt::LeftButton, {},
                      browser->cursorRect(middle).center());
}

bool MenuEnabled(const mdiVMR& w, const char* name)
{
    if (auto* menu = w.findChild<QMenu*>(QLatin1String(name)))
        return menu->menuAction()->isEnabled();
    return w.findChild<QAction*>(QLatin1String(name))->isEnabled();
}

QString Panel(const mdiVMR& w, const char* key)
{
    return w.findChild<QLabel*>(QStringLiteral("StatusBar1_") + QLatin1String(key))->text();
}

// Runs the whole start-up in a folder without the splash and with scripted prompts;
// `ready` runs when the main window is ready, then the window closes normally.
struct StartupRun
{
    QTemporaryDir Home;
    QString AppFolder = Home.filePath(QStringLiteral("app"));
    QString SettingsFile = Home.filePath(QStringLiteral("settings.ini"));
    ScriptedPromptService Prompt;
    ScriptedLauncherService Launcher;
    bool Ready = false;

    int Run(std::function<void(mdiVMR&, AppContext&)> ready = {}, bool quit = true)
    {
        StartupOptions options;
        options.ShowSplash = false;
        options.ShowTipOfTheDay = false;
        options.QuitWhenReady = quit;
        options.AppFolder = AppFolder;
        options.SettingsFile = SettingsFile;
        options.Prompt = &Prompt;
        options.Windows = &Prompt;
        options.Launcher = &Launcher;
        options.OnReady = [this, ready](mdiVMR& w, AppContext& ctx) {
            Ready = true;
            if (ready)
                ready(w, ctx);
        };
        return StartApplication(options);
    }
};

} // namespace

class TestApp : public QObject
{
    Q_OBJECT

private slots:
    // --- Settings ---------------------------------------------------------------

    void settingsDefaultsOnAnEmptyStore()
    {
        TestContext t(false);
        QSettings store(t.Dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
        LoadSettings(*t, store);
        const SettingsValues& s = t->Settings;
        QCOMPARE(s.CDDrive, ProductMediaFolder());
        QVERIFY(s.CDDrive.endsWith(QLatin1Char('/')));
        QCOMPARE(s.PictureFolder, s.CDDrive + QStringLiteral("PICTURE/"));
        QCOMPARE(s.MovieFolder, s.CDDrive + QStringLiteral("MOVIE/"));
        QCOMPARE(s.IconFolder, t.Folder() + QStringLiteral("/ICON/"));
        QCOMPARE(s.PrintPatientCover, true);
        QCOMPARE(s.PrintCallVMR, false);
        QCOMPARE(s.ShowTips, true);
        QCOMPARE(s.DefaultProvider, QString());
        QVERIFY(t.Prompt.Records.isEmpty());
    }

    void storedDriveValue_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("drive");
        QTest::addColumn<QString>("pictures");
        QTest::newRow("letter, colon, backslash") << "E:\\"
                                                  << "E:"
                                                  << "E:/PICTURE/";
        QTest::newRow("letter and colon") << "e:"
                                          << "e:"
                                          << "e:/PICTURE/";
        QTest::newRow("folder path") << "/media/cdrom"
                                     << "/media/cdrom/"
                                     << "/media/cdrom/PICTURE/";
        QTest::newRow("backslash folder") << "\\mnt\\vmr\\"
                                          << "/mnt/vmr/"
                                          << "/mnt/vmr/PICTURE/";
    }

    void storedDriveValue()
    {
        QFETCH(QString, stored);
        QFETCH(QString, drive);
        QFETCH(QString, pictures);
        TestContext t(false);
        QSettings store(t.Dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
        store.setValue(QStringLiteral("Options/CDRom Drive"), stored);
        LoadSettings(*t, store);
        QCOMPARE(t->Settings.CDDrive, drive);
        QCOMPARE(t->Settings.PictureFolder, pictures);
        QCOMPARE(t->Settings.MovieFolder, drive.endsWith(QLatin1Char('/'))
                                              ? drive + QStringLiteral("MOVIE/")
                                              : drive + QStringLiteral("/MOVIE/"));
    }

    void booleanRule_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("value");
        QTest::addColumn<bool>("reported");
        // ShowTips defaults to true: a bad value falls back to it.
        QTest::newRow("False") << "False" << false << false;
        QTest::newRow("any case") << "tRUE" << true << false;
        QTest::newRow("FALSE") << "FALSE" << false << false;
        QTest::newRow("zero") << "0" << false << false;
        QTest::newRow("minus one") << "-1" << true << false;
        QTest::newRow("fraction") << "0.5" << true << false;
        QTest::newRow("blanks around") << " 0 " << false << false;
        QTest::newRow("word") << "Yes" << true << true;
        QTest::newRow("empty") << "" << true << true;
    }

    void booleanRule()
    {
        QFETCH(QString, stored);
        QFETCH(bool, value);
        QFETCH(bool, reported);
        TestContext t(false);
        QSettings store(t.Dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
        store.setValue(QStringLiteral("Options/ShowTips"), stored);
        store.setValue(QStringLiteral("Options/PrintCallVMR"), QStringLiteral("1"));
        LoadSettings(*t, store);
        QCOMPARE(t->Settings.ShowTips, value);
        QCOMPARE(t->Settings.PrintCallVMR, true);
        QCOMPARE(t.Prompt.Records.size(), reported ? 1 : 0);
        if (reported) {
            const PromptRecord& r = t.Prompt.Records.first();
            QVERIFY2(r.text.contains(QStringLiteral("\"ShowTips\"")), qPrintable(r.text));
            QCOMPARE(r.icon, PromptIcon::Warning);
        }
    }

    void savingWritesChangesAndLeavesDefaultFoldersOut()
    {
        TestContext t(false);
        const QString file = t.Dir.filePath(QStringLiteral("s.ini"));
        {
            QSettings store(file, QSettings::IniFormat);
            // A folder stored equal to its default is dropped on the next save.
            store.setValue(QStringLiteral("Options/Icon"), t.Folder() + QStringLiteral("\\ICON\\"));
            store.setValue(QStringLiteral("Options/CDRom Drive"), QStringLiteral("F:\\"));
            LoadSettings(*t, store);
            t->Settings.PictureFolder = QStringLiteral("/srv/vmr/pictures/");
            t->Settings.ShowTips = false;
            t->Settings.DefaultProvider = QStringLiteral("Dr. O'Neil");
            QVERIFY(SaveSettings(*t, store));
        }
        QSettings raw(file, QSettings::IniFormat);
        raw.beginGroup(QStringLiteral("Options"));
        QVERIFY(!raw.contains(QStringLiteral("Icon")));
        QVERIFY(!raw.contains(QStringLiteral("Movie")));
        QCOMPARE(raw.value(QStringLiteral("Picture")).toString(),
                 QStringLiteral("/srv/vmr/pictures/"));
        QCOMPARE(raw.value(QStringLiteral("CDRom Drive")).toString(), QStringLiteral("F:\\"));
        QCOMPARE(raw.value(QStringLiteral("ShowTips")).toString(), QStringLiteral("False"));
        QCOMPARE(raw.value(QStringLiteral("PrintPatientCover")).toString(), QStringLiteral("True"));
        QCOMPARE(raw.value(QStringLiteral("PrintCallVMR")).toString(), QStringLiteral("False"));
        QCOMPARE(raw.value(QStringLiteral("Provider")).toString(), QStringLiteral("Dr. O'Neil"));
        raw.endGroup();

        // What was saved reads back the same.
        TestContext again(false);
        QSettings store(file, QSettings::IniFormat);
        LoadSettings(*again, store);
        QCOMPARE(again->Settings.PictureFolder, QStringLiteral("/srv/vmr/pictures/"));
        QCOMPARE(again->Settings.MovieFolder, QStringLiteral("F:/MOVIE/"));
        QCOMPARE(again->Settings.ShowTips, false);
        QCOMPARE(again->Settings.DefaultProvider, QStringLiteral("Dr. O'Neil"));
    }

    void aSettingsStoreThatCannotBeWrittenIsReported()
    {
        TestContext t(false);
        // A folder where the file should be: the store cannot be replaced.
        const QString file = t.Dir.filePath(QStringLiteral("s.ini"));
        QVERIFY(QDir().mkpath(file));
        QSettings store(file, QSettings::IniFormat);
        QVERIFY(!SaveSettings(*t, store));
        QCOMPARE(t.Prompt.Records.size(), 1);
        QVERIFY(t.Prompt.Records.first().text.contains(QStringLiteral("could not be saved")));
    }

    // --- Main window ------------------------------------------------------------

    void toolbarHoldsTenItemsWithTheirTips()
    {
        TestContext t;
        mdiVMR w(*t);
        const QList<QAction*> items = w.findChild<QToolBar*>(QStringLiteral("Toolbar1"))->actions();
        QStringList seen;
        for (QAction* a : items)
            seen << (a->isSeparator() ? QStringLiteral("|")
                                      : a->text() + QLatin1Char('=') + a->toolTip());
        QCOMPARE(seen,
                 (QStringList{"Patient=Select patient", "Exercises=Select exercises",
                              "Video=Order video tape", "|", "Preview=Preview exercise sheets",
                              "Print=Print exercise eheets", "|", "Programs=Recall stored programs",
                              "|", "Help=Help"}));
        for (QAction* a : items)
            QVERIFY(a->isSeparator() || !a->icon().isNull());
    }

    // Every text is looked up in the context lupdate files it under; the toolbar's table
    // keeps its untranslated keys, so the states still find their buttons.
    void mainWindowTextsAskTheTranslator()
    {
        class MarkingTranslator : public QTranslator
        {
        public:
            bool isEmpty() const override { return false; }
            QString translate(const char* context, const char* source, const char*,
                              int) const override
            {
                return QLatin1String(context) + QLatin1Char('|') + QString::fromUtf8(source);
            }
        };
        MarkingTranslator translator;
        QCoreApplication::installTranslator(&translator);
        auto remove = qScopeGuard([&] { QCoreApplication::removeTranslator(&translator); });
        TestContext t;
        mdiVMR w(*t);
        const auto* patient = w.findChild<QAction*>(QStringLiteral("Toolbar1_Patient"));
        QCOMPARE(patient->text(), QStringLiteral("tramelle::mdiVMR|Patient"));
        QCOMPARE(patient->toolTip(), QStringLiteral("tramelle::mdiVMR|Select patient"));
        QCOMPARE(w.findChild<QMenu*>(QStringLiteral("mnuFile"))->title(),
                 QStringLiteral("tramelle::mdiVMR|&File"));
        w.UpdateToolbar(ToolbarState::NoPatient);
        QStringList enabled;
        for (QAction* a : w.findChild<QToolBar*>(QStringLiteral("Toolbar1"))->actions()) {
            if (!a->isSeparator() && a->isEnabled())
                enabled << a->data().toString();
        }
        QCOMPARE(enabled, (QStringList{"Patient", "Programs", "Help"}));
        w.SetStatusBarReady();
        QCOMPARE(Panel(w, "status"), QStringLiteral("tramelle::mdiVMR|Status: Ready"));
    }

    void toolbarStates_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QStringList>("enabled");
        QTest::newRow("0") << 0 << QStringList{"Help"};
        QTest::newRow("1") << 1 << QStringList{"Patient", "Programs", "Help"};
        QTest::newRow("2") << 2 << QStringList{"Patient", "Exercises", "Video", "Preview",
                                               "Print",   "Programs",  "Help"};
        QTest::newRow("3") << 3 << QStringList{"Preview", "Print", "Help"};
        QTest::newRow("4 (order items)") << 4 << QStringList{};
        QTest::newRow("-1") << -1 << QStringList{};
    }

    void toolbarStates()
    {
        QFETCH(int, state);
        QFETCH(QStringList, enabled);
        TestContext t;
        mdiVMR w(*t);
        // Every button on first, so each state must turn some off.
        w.UpdateToolbar(ToolbarState::PatientSelected);
        w.UpdateToolbar(static_cast<ToolbarState>(state));
        QCOMPARE(EnabledButtons(w), enabled);
        QCOMPARE(static_cast<int>(w.ToolbarState), state);
    }

    void menuStates_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("print");
        QTest::addColumn<bool>("rest");
        QTest::newRow("0") << 0 << false << false;
        QTest::newRow("1") << 1 << true << false;
        QTest::newRow("2") << 2 << true << true;
    }

    void menuStates()
    {
        QFETCH(int, state);
        QFETCH(bool, print);
        QFETCH(bool, rest);
        TestContext t;
        mdiVMR w(*t);
        w.UpdateMenu(state == 2 ? MenuState::Restricted : MenuState::All);
        w.UpdateMenu(static_cast<MenuState>(state));
        QCOMPARE(static_cast<int>(w.MenuState), state);
        for (const char* name : {"mnuPrint", "mnuPreview"})
            QCOMPARE(MenuEnabled(w, name), print);
        for (const char* name : {"mnuClinic", "mnuSetMedia", "mnuCopyPictures", "mnuPreferences",
                                 "mnuDatabase", "mnuTools"})
            QVERIFY2(MenuEnabled(w, name) == rest, name);
        for (const char* name :
             {"mnuFile", "mnuExit", "mnuHelp", "mnuContents", "mnuPrintManual", "mnuAbout"})
            QVERIFY2(MenuEnabled(w, name), name);
    }

    void captionFollowsTheCurrentPatient()
    {
        TestContext t;
        mdiVMR w(*t);
        w.UpdateCaption();
        QCOMPARE(w.windowTitle(), QStringLiteral("VMR Tramelle - No Patient Selected"));
        t->Program.PatientID = 7;
        t->Program.PatientName = QString();
        w.UpdateCaption();
        QCOMPARE(w.windowTitle(), QStringLiteral("VMR Tramelle Patient: "));
        t->Program.PatientName = QStringLiteral("Doe, Jane");
        w.UpdateCaption();
        QCOMPARE(w.windowTitle(), QStringLiteral("VMR Tramelle Patient: Doe, Jane"));
    }

    // "Delete Patient" answered No: the patient window had already cleared the current
    // patient, so the main window must not stay locked with the old name in its caption.
    void deletePatientAnsweredNoLeavesNoPatientSelected()
    {
        TestContext t;
        const qint32 id =
            Exec(t->Db.MainDb(),
                 QStringLiteral("INSERT INTO Patient (FullName) VALUES ('Doe, Jane')"))
                .lastInsertId()
                .toInt();
        mdiVMR w(*t);
        t->Program.PatientID = id;
        t->Program.PatientName = QStringLiteral("Doe, Jane");
        w.UpdateCaption();
        w.UpdateToolbar(ToolbarState::PatientSelected);
        w.ToolbarButton(QStringLiteral("Patient"))->trigger();
        auto* select = w.findChild<QDialog*>(QStringLiteral("frmSelectPatient"));
        QVERIFY(select && select->isVisible());
        QCOMPARE(EnabledButtons(w), QStringList{"Help"});

        t.Prompt.Answers.push_back(PromptAnswer::No);
        select->findChild<QPushButton*>(QStringLiteral("cmdOkCancel_4"))->click();
        QCOMPARE(t.Prompt.Records.size(), 1);
        QCOMPARE(t.Prompt.Records[0].title, QStringLiteral("Delete Patient"));
        QVERIFY(!select->isVisible());
        QCOMPARE(w.windowTitle(), QStringLiteral("VMR Tramelle - No Patient Selected"));
        QCOMPARE(EnabledButtons(w), (QStringList{"Patient", "Programs", "Help"}));
        QCOMPARE(w.ToolbarState, ToolbarState::NoPatient);
        QVERIFY(MenuEnabled(w, "mnuPrint"));
        QSqlQuery q = Exec(t->Db.MainDb(), QStringLiteral("SELECT COUNT(*) FROM Patient"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 1);
    }

    void statusBarRepaintsOnChangeAndAlwaysOnReady()
    {
        TestContext t;
        mdiVMR w(*t);
        ProgramState& p = t->Program;
        w.SetStatusBar(QStringLiteral("Loading"));
        QCOMPARE(Panel(w, "status"), QStringLiteral("Loading"));
        QCOMPARE(Panel(w, "dirty"), QStringLiteral(" "));

        // The same text again is not repainted: panel 2 keeps its old state.
        p.Modified = true;
        p.SaveAsNew = true;
        w.SetStatusBar(QStringLiteral("Loading"));
        QCOMPARE(Panel(w, "dirty"), QStringLiteral(" "));

        // "Status: Ready" repaints every time.
        w.SetStatusBarReady();
        QCOMPARE(Panel(w, "status"), QStringLiteral("Status: Ready"));
        QCOMPARE(Panel(w, "dirty"), QStringLiteral("Add "));
        p.SaveAsNew = false;
        p.InvoiceID = 1234;
        w.SetStatusBarReady();
        QCOMPARE(Panel(w, "dirty"), QStringLiteral("Update 1234"));
        p.Modified = false;
        w.SetStatusBar(QStringLiteral("Saving"));
        QCOMPARE(Panel(w, "dirty"), QStringLiteral(" 1234"));
    }

    void closingWithAModifiedProgramOffersCancel()
    {
        TestContext t;
        mdiVMR w(*t);
        w.SetSettingsFile(t.Dir.filePath(QStringLiteral("options.ini")));
        t->Program.PatientID = 1;
        t->Program.Modified = true;
        t.Prompt.Answers = {PromptAnswer::Cancel};
        QVERIFY(!w.close()); // Cancel keeps the program running and loses nothing
        QCOMPARE(t.Prompt.Records.size(), 1);
        QCOMPARE(t.Prompt.Records[0].buttons, PromptButtons::YesNoCancel);
        QCOMPARE(t.Prompt.Records[0].text,
                 QStringLiteral("Save current exercise program in database"));
        QVERIFY(t->Program.Modified);
        QVERIFY(t->Db.IsOpen());
        // No closes without saving, and asks only once.
        t.Prompt.Answers = {PromptAnswer::No};
        QVERIFY(w.close());
        QCOMPARE(t.Prompt.Records.size(), 2);
        QVERIFY(!t->Db.IsOpen());
    }

    void printDialogIsSkippedOnce()
    {
        TestContext t;
        mdiVMR w(*t);
        t->SetMainWindowServices(&w);
        w.SkipPrintDialog = true;
        QVERIFY(w.MaybeShowPrintDlg(nullptr));
        QVERIFY(!w.SkipPrintDialog);
        QVERIFY(t.Prompt.Records.isEmpty());
        QPrinter* noPrinter = nullptr;
        QVERIFY(!w.MaybeShowPrintDlg(noPrinter));
        t.Prompt.Clear();

        // The toolbar "Print" goes straight to the printer; with none at all it says so,
        // and the one-shot flag does not outlive the command.
        if (!QPrinterInfo::availablePrinters().isEmpty())
            QSKIP("a printer is installed here; the toolbar would really print");
        w.findChild<QAction*>(QStringLiteral("Toolbar1_Print"))->setEnabled(true);
        TriggerAction(&w, QStringLiteral("Toolbar1_Print"));
        QCOMPARE(w.PrintJobKind, PrintJobKind::Exercises4);
        QVERIFY(!w.SkipPrintDialog);
        for (const auto& r : t.Prompt.Records)
            QVERIFY(r.kind != QLatin1String("printer"));
        QVERIFY2(
            t.Prompt.MessageTexts().join(QLatin1Char('|')).contains(QLatin1String("no printer")),
            qPrintable(t.Prompt.MessageTexts().join(QLatin1Char('|'))));
        t->SetMainWindowServices(&t.MainWindow);
    }

    void progressScale_data()
    {
        QTest::addColumn<qint32>("maximum");
        QTest::addColumn<qint32>("scale");
        QTest::addColumn<int>("barMaximum");
        QTest::newRow("0") << 0 << 1 << 1;
        QTest::newRow("31999") << 31999 << 1 << 31999;
        QTest::newRow("32000") << 32000 << 2 << 16000;
        QTest::newRow("64000") << 64000 << 3 << 21333;
        QTest::newRow("largest") << std::numeric_limits<qint32>::max() << 67109 << 31999;
    }

    void progressScale()
    {
        QFETCH(qint32, maximum);
        QFETCH(qint32, scale);
        QFETCH(int, barMaximum);
        TestContext t;
        mdiVMR w(*t);
        w.InitProgress(maximum);
        frmProgress* form = w.findChild<frmProgress*>(QStringLiteral("frmProgress"));
        QVERIFY(form && form->isVisible());
        QCOMPARE(form->windowTitle(), QStringLiteral("Building Report"));
        QCOMPARE(form->Scale(), scale);
        QProgressBar* bar = form->findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
        QCOMPARE(bar->maximum(), barMaximum);
        w.UpdateProgress(maximum);
        QCOMPARE(bar->value(), maximum / scale);
        w.DestroyProgress();
        QVERIFY(!w.ProgressForm());
        w.UpdateProgress(5); // after the form is gone: nothing happens
    }

    void centerFormPlacesWindows()
    {
        TestContext t;
        mdiVMR w(*t);
        w.resize(900, 600);
        w.show();
        QWidget child;
        child.resize(300, 200);
        auto* sub = w.MdiArea()->addSubWindow(&child);
        sub->resize(301, 200);
        sub->show();
        w.CenterForm(&child);
        QCOMPARE(sub->pos(), QPoint((w.MdiArea()->viewport()->width() - 301) / 2, 0));
        w.MdiArea()->removeSubWindow(&child);

        QWidget top;
        top.resize(201, 101);
        w.CenterForm(&top);
        const QRect screen = top.screen()->geometry();
        QCOMPARE(top.pos(), QPoint(screen.x() + (screen.width() - 201) / 2,
                                   screen.y() + (screen.height() - 101) / 2));
    }

    // --- Help and documents -----------------------------------------------------

    // The help window: the manual inside the program, its pages, history and find bar;
    // outside addresses go to the desktop.
    void helpWindowShowsTheManual()
    {
        TestContext t(false);
        QWidget owner;
        // Nothing delivered: the missing manual is named.
        QVERIFY(!OpenHelpContents(*t, &owner));
        QCOMPARE(t.Prompt.MessageTexts().size(), 1);
        QVERIFY(t.Prompt.MessageTexts().first().contains(QStringLiteral("Help/index.html")));
        QVERIFY(t.Launcher.Launches.isEmpty());

        const QString manual = t.Dir.filePath(QStringLiteral("Help/index.html"));
        WriteFile(manual, "<html><head><title>Test Manual</title></head><body><h1>Manual</h1>"
                          "<p>needle one</p><h2 id=\"contents\">Contents</h2>"
                          "<p><a href=\"page2.html\">Second page</a></p>"
                          "<p><a href=\"https://example.com/tramelle\">Web site</a> "
                          "<a href=\"mailto:help@example.com\">Write to us</a> "
                          "<a href=\"gone.html\">Lost page</a></p><p>needle two</p></body></html>");
        WriteFile(t.Dir.filePath(QStringLiteral("Help/page2.html")),
                  "<html><body><p>The second page.</p></body></html>");
        const QUrl home = QUrl::fromLocalFile(manual);
        t.Prompt.Clear();
        frmHelp* help = OpenHelpContents(*t, &owner);
        QVERIFY(help && help->isVisible());
        QCOMPARE(help->Browser()->source(), QUrl(home.toString() + QStringLiteral("#contents")));
        QCOMPARE(help->windowTitle(), QStringLiteral("VMR Tramelle Help - Test Manual"));
        // One window, reused; closing only hides it.
        help->close();
        QCOMPARE(OpenUserManual(*t, &owner), help);
        QVERIFY(help->isVisible());
        QCOMPARE(help->Browser()->source(), home);
        QCOMPARE(owner.findChildren<frmHelp*>().size(), 1);
        QVERIFY(QTest::qWaitForWindowActive(help));

        auto* back = help->findChild<QAction*>(QStringLiteral("cmdBack"));
        auto* forward = help->findChild<QAction*>(QStringLiteral("cmdForward"));
        ClickLink(help->Browser(), QStringLiteral("Second page"));
        QCOMPARE(help->Browser()->source().fileName(), QStringLiteral("page2.html"));
        QVERIFY(back->isEnabled() && !forward->isEnabled());
        back->trigger();
        QCOMPARE(help->Browser()->source().fileName(), QStringLiteral("index.html"));
        QVERIFY(forward->isEnabled());
        forward->trigger();
        QCOMPARE(help->Browser()->source().fileName(), QStringLiteral("page2.html"));
        TriggerAction(help, QStringLiteral("cmdHome"));
        QCOMPARE(help->Browser()->source(), home);

        // Web pages and e-mail leave through the launcher; the page stays.
        ClickLink(help->Browser(), QStringLiteral("Web site"));
        ClickLink(help->Browser(), QStringLiteral("Write to us"));
        QCOMPARE(t.Launcher.Launches.size(), 2);
        QCOMPARE(t.Launcher.Launches.at(0).kind, QStringLiteral("url"));
        QCOMPARE(t.Launcher.Launches.at(0).program, QStringLiteral("https://example.com/tramelle"));
        QCOMPARE(t.Launcher.Launches.at(1).program, QStringLiteral("mailto:help@example.com"));
        QCOMPARE(help->Browser()->source(), home);
        QVERIFY(t.Prompt.Records.isEmpty());
        t.Launcher.Fail = true;
        ClickLink(help->Browser(), QStringLiteral("Web site"));
        QCOMPARE(t.Prompt.MessageTexts().size(), 1);
        QVERIFY(t.Prompt.MessageTexts().first().contains(QStringLiteral("scripted failure")));
        t.Prompt.Clear();
        ClickLink(help->Browser(), QStringLiteral("Lost page"));
        QCOMPARE(t.Prompt.MessageTexts().size(), 1);
        QVERIFY(t.Prompt.MessageTexts().first().contains(QStringLiteral("gone.html")));
        QCOMPARE(help->Browser()->source(), home);

        // Ctrl+F, type, Enter for the next match round the end, Shift+Enter for the one before.
        auto* findText = help->findChild<QLineEdit*>(QStringLiteral("txtFind"));
        QTest::keyClick(help, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(findText->isVisible() && findText->hasFocus());
        QTest::keyClicks(findText, QStringLiteral("needle"));
        const auto selection = [&] {
            const QTextCursor c = help->Browser()->textCursor();
            return std::pair(c.selectedText(), c.selectionStart());
        };
        const auto [firstText, first] = selection();
        QCOMPARE(firstText, QStringLiteral("needle"));
        QTest::keyClick(findText, Qt::Key_Return);
        const int second = selection().second;
        QVERIFY(second != first);
        QTest::keyClick(findText, Qt::Key_Return);
        QCOMPARE(selection().second, first);
        QTest::keyClick(findText, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(selection().second, second);
        QTest::keyClicks(findText, QStringLiteral("s"));
        QCOMPARE(help->findChild<QLabel*>(QStringLiteral("lblFindStatus"))->text(),
                 QStringLiteral("Not found"));
        QCOMPARE(selection().second, second);
        QTest::keyClick(findText, Qt::Key_Escape);
        QVERIFY(!findText->isVisible());

        // The Help menu and the toolbar's Help open the main window's own help window.
        mdiVMR w(*t);
        TriggerAction(&w, QStringLiteral("mnuPrintManual"));
        frmHelp* own = w.findChild<frmHelp*>();
        QVERIFY(own && own != help && own->isVisible());
        QCOMPARE(own->Browser()->source(), home);
        w.ToolbarButton(QStringLiteral("Help"))->trigger();
        QCOMPARE(w.findChildren<frmHelp*>(), QList<frmHelp*>{own});
        QCOMPARE(own->Browser()->source().fragment(), QStringLiteral("contents"));
    }

    // Every menu path and toolbar button the manual names is a real one, every command of
    // the menus is described, and the contents' links lead somewhere.
    void manualNamesTheRealMenus()
    {
        QFile file(QStringLiteral(TRAMELLE_RESOURCES_DIR) + QStringLiteral("/help/index.html"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        TestContext t(false);
        mdiVMR w(*t);

        const auto plain = [](QString text) {
            text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
            return text.simplified();
        };
        const auto caption = [](const QAction* a) {
            return QString(a->text()).remove(QLatin1Char('&'));
        };
        QStringList named;
        QRegularExpression marked(QStringLiteral("<span class=\"(menu|toolbar)\">(.*?)</span>"),
                                  QRegularExpression::DotMatchesEverythingOption);
        for (const QRegularExpressionMatch& m : marked.globalMatch(html)) {
            const QString text = plain(m.captured(2));
            if (m.captured(1) == QLatin1String("toolbar")) {
                QVERIFY2(w.ToolbarButton(text), qPrintable(text));
                continue;
            }
            QList<QAction*> level = w.menuBar()->actions();
            QAction* found = nullptr;
            for (const QString& step : text.split(QLatin1Char('>'))) {
                QVERIFY2(!found || found->menu(),
                         qPrintable(text + QStringLiteral(": not a menu")));
                if (found)
                    level = found->menu()->actions();
                found = nullptr;
                for (QAction* a : level) {
                    if (!a->isSeparator() && caption(a) == step.trimmed())
                        found = a;
                }
                QVERIFY2(found,
                         qPrintable(text + QStringLiteral(": no \"") + step.trimmed() + "\""));
            }
            named << found->objectName();
        }

        // Every command of the menus is described.
        std::function<void(const QList<QAction*>&)> walk = [&](const QList<QAction*>& actions) {
            for (QAction* a : actions) {
                if (a->menu())
                    walk(a->menu()->actions());
                else if (!a->isSeparator())
                    QVERIFY2(named.contains(a->objectName()), qPrintable(caption(a)));
            }
        };
        walk(w.menuBar()->actions());

        // "the ... menu" in the text names a real menu.
        QStringList menus;
        for (const QMenu* m : w.findChildren<QMenu*>())
            menus << caption(m->menuAction());
        QTextDocument document;
        document.setHtml(html);
        QRegularExpression menuWord(QStringLiteral("\\b[Tt]he (\\w+) menu"));
        for (const QRegularExpressionMatch& m : menuWord.globalMatch(document.toPlainText()))
            QVERIFY2(menus.contains(m.captured(1)), qPrintable(m.captured(0)));

        QRegularExpression anchor(QStringLiteral("href=\"#([^\"]+)\""));
        for (const QRegularExpressionMatch& m : anchor.globalMatch(html))
            QVERIFY2(html.contains(QStringLiteral("id=\"%1\"").arg(m.captured(1))),
                     qPrintable(m.captured(0)));
    }

    // Print > Cover Page prints the delivered instructions where the printer dialog says.
    void coverPagePrintsTheDeliveredInstructions()
    {
        TestContext t(false);
        const QString outFolder = t.Dir.filePath(QStringLiteral("out"));
        const QString out = outFolder + QStringLiteral("/Instructions.pdf");
        QDir().mkpath(outFolder);

        // Nothing delivered: the missing document is named, and no dialog is asked.
        QVERIFY(!PrintCoverDocument(*t, out));
        QCOMPARE(t.Prompt.MessageTexts().size(), 1);
        QVERIFY(
            t.Prompt.MessageTexts().first().contains(QStringLiteral("Patient Instructions.pdf")));
        QVERIFY(t.MainWindow.ProposedFiles.isEmpty());

        // Found whatever its letter case and copied whole over an older file.
        const QByteArray pdf = "%PDF-1.4\n% patient instructions\n%%EOF\n";
        WriteFile(t.Dir.filePath(QStringLiteral("patient instructions.PDF")), pdf);
        WriteFile(out, "an older file");
        t.Prompt.Clear();
        QVERIFY(PrintCoverDocument(*t, out));
        QVERIFY(t.Prompt.Records.isEmpty());
        QCOMPARE(t.MainWindow.ProposedFiles.size(), 1);
        QVERIFY2(t.MainWindow.ProposedFiles.first().endsWith(
                     QStringLiteral("/Patient Instructions - ") +
                     QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) +
                     QStringLiteral(".pdf")),
                 qPrintable(t.MainWindow.ProposedFiles.first()));
        QCOMPARE(FileBytes(out), pdf);
        QCOMPARE(QDir(outFolder).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("Instructions.pdf")});

        // A folder that cannot take the file: told, and nothing half-written is left.
        const QString nowhere = t.Dir.filePath(QStringLiteral("missing/Instructions.pdf"));
        QVERIFY(!PrintCoverDocument(*t, nowhere));
        QCOMPARE(t.Prompt.MessageTexts().size(), 1);
        QVERIFY(t.Prompt.MessageTexts().first().startsWith(
            QStringLiteral("The patient instructions could not be printed.")));
        QVERIFY(t.Prompt.MessageTexts().first().contains(QDir::toNativeSeparators(nowhere)));
        QVERIFY(!QFileInfo::exists(nowhere));

        // A cancelled dialog prints nothing and says nothing.
        t.Prompt.Clear();
        t.MainWindow.PrintDialogAnswer = false;
        QFile::remove(out);
        QVERIFY(!PrintCoverDocument(*t, out));
        QVERIFY(!QFileInfo::exists(out));
        QVERIFY(t.Prompt.Records.isEmpty());

        // The menu command asks the printer dialog of the main window.
        mdiVMR w(*t);
        TriggerAction(&w, QStringLiteral("mnuPrintCover"));
        QCOMPARE(t.Prompt.Records.size(), 1);
        QCOMPARE(t.Prompt.Records.first().kind, QStringLiteral("printer"));
        QVERIFY(t.Prompt.Records.first().text.contains(QStringLiteral("Patient Instructions")));
    }

    // --- Preferences ------------------------------------------------------------

    void preferencesOkKeepsAndCancelDiscards()
    {
        TestContext t(false);
        t->Settings.ShowTips = true;
        t->Settings.PrintPatientCover = false;
        t->Settings.PrintCallVMR = false;
        {
            frmPreferences dlg(*t);
            QCOMPARE(dlg.windowTitle(), QStringLiteral("Preferences"));
            auto* tips = dlg.findChild<QCheckBox*>(QStringLiteral("chkShowTips"));
            auto* cover = dlg.findChild<QCheckBox*>(QStringLiteral("chkPrintCover"));
            auto* call = dlg.findChild<QCheckBox*>(QStringLiteral("chkCallVMR"));
            QVERIFY(tips->isChecked() && !cover->isChecked() && !call->isChecked());
            QCOMPARE(call->text(), QStringLiteral("Print \"Call VMR\" prompt"));
            tips->setChecked(false);
            cover->setChecked(true);
            call->setChecked(true);
            dlg.findChild<QPushButton*>(QStringLiteral("cmdOKCancel_1"))->click();
        }
        QCOMPARE(t->Settings.ShowTips, true);
        QCOMPARE(t->Settings.PrintPatientCover, false);
        QCOMPARE(t->Settings.PrintCallVMR, false);
        {
            frmPreferences dlg(*t);
            dlg.findChild<QCheckBox*>(QStringLiteral("chkShowTips"))->setChecked(false);
            dlg.findChild<QCheckBox*>(QStringLiteral("chkCallVMR"))->setChecked(true);
            auto* ok = dlg.findChild<QPushButton*>(QStringLiteral("cmdOKCancel_0"));
            QCOMPARE(ok->toolTip(), QStringLiteral("Save changes and exit"));
            ok->click();
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
        }
        QCOMPARE(t->Settings.ShowTips, false);
        QCOMPARE(t->Settings.PrintPatientCover, false);
        QCOMPARE(t->Settings.PrintCallVMR, true);
    }

    void preferencesEditOpensTheCoverText()
    {
        TestContext t(false);
        WriteFile(t.Dir.filePath(QStringLiteral("cover.txt")), "Welcome");
        frmPreferences dlg(*t);
        dlg.findChild<QPushButton*>(QStringLiteral("cmdEditCoverSheet"))->click();
        QCOMPARE(t.Launcher.Launches.size(), 1);
        QCOMPARE(t.Launcher.Launches.first().program, t.Folder() + QStringLiteral("/cover.txt"));
        t.Launcher.Fail = true;
        dlg.findChild<QPushButton*>(QStringLiteral("cmdEditCoverSheet"))->click();
        QCOMPARE(t.Prompt.Records.size(), 1);
    }

    // --- Splash -----------------------------------------------------------------

    void splashClosesAfterThreeTicksOrWhenDismissed()
    {
        {
            frmSplash splash;
            splash.show();
            QVERIFY(splash.Timer1()->isActive());
            QCOMPARE(splash.Timer1()->interval(), 1000);
            QVERIFY(splash.findChild<QLabel*>(QStringLiteral("lblVersion"))
                        ->text()
                        .startsWith(QStringLiteral("Version 3.8.")));
            splash.Timer1_Timer();
            splash.Timer1_Timer();
            QVERIFY(splash.isVisible());
            splash.Timer1_Timer();
            QVERIFY(!splash.isVisible());
            QVERIFY(!splash.Timer1()->isActive());
        }
        {
            frmSplash splash;
            splash.show();
            QTest::keyClick(&splash, Qt::Key_Space);
            QVERIFY(!splash.isVisible());
        }
        {
            frmSplash splash;
            splash.show();
            QTest::mouseClick(splash.Frame1(), Qt::LeftButton);
            QVERIFY(!splash.isVisible());
        }
    }

    // --- Start-up and shutdown --------------------------------------------------

    // The printer dialog offers the printer and copies, never a part of the document.
    void printerDialogOffersNoPageRange()
    {
        WidgetWindowServices dialogs;
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QDir::temp().filePath(QStringLiteral("tramelle-dialog.pdf")));
        bool seen = false;
        QAbstractPrintDialog::PrintDialogOptions options;
        QTimer::singleShot(0, [&] {
            if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) {
                seen = true;
                options = dialog->options();
                dialog->reject();
            }
        });
        QVERIFY(!dialogs.PrinterDialog(&printer, QString())); // rejected: nothing to print
        QVERIFY(seen);
        QVERIFY(!options.testFlag(QAbstractPrintDialog::PrintPageRange));
        QVERIFY(!options.testFlag(QAbstractPrintDialog::PrintCurrentPage));
        QVERIFY(!options.testFlag(QAbstractPrintDialog::PrintSelection));
        QVERIFY(options.testFlag(QAbstractPrintDialog::PrintToFile));
    }

    void firstStartInstallsShowsTheMainWindowAndExitSavesSettings()
    {
        StartupRun run;
        QString caption;
        QStringList enabled;
        bool menusOn = false;
        const int status = run.Run(
            [&](mdiVMR& w, AppContext& ctx) {
                caption = w.windowTitle();
                enabled = EnabledButtons(w);
                menusOn = w.MenuState == MenuState::All && MenuEnabled(w, "mnuTools");
                QVERIFY(ctx.Db.IsOpen());
                ctx.Settings.ShowTips = false;
                // File > Exit ends the run.
                QTimer::singleShot(0, w.findChild<QAction*>(QStringLiteral("mnuExit")),
                                   &QAction::trigger);
            },
            false);
        QCOMPARE(status, 0);
        QVERIFY(run.Ready);
        QCOMPARE(caption, QStringLiteral("VMR Tramelle - No Patient Selected"));
        QCOMPARE(enabled, (QStringList{"Patient", "Programs", "Help"}));
        QVERIFY(menusOn);
        for (const QString& name : {MainDbFileName, LibraryDbFileName, PicklistDbFileName})
            QVERIFY2(QFileInfo::exists(JoinPath(run.AppFolder, name)), qPrintable(name));
        QVERIFY(run.Prompt.Records.isEmpty());
        QSettings saved(run.SettingsFile, QSettings::IniFormat);
        QCOMPARE(saved.value(QStringLiteral("Options/ShowTips")).toString(),
                 QStringLiteral("False"));
        // The instance lock is gone after a normal end.
        QVERIFY(!QFileInfo::exists(InstanceLockPath(run.AppFolder)));
    }

    void previousDatabaseGivesANotice()
    {
        StartupRun run;
        WriteFile(JoinPath(run.AppFolder, QStringLiteral("VMR.MDB")), "old");
        QCOMPARE(run.Run(), 0);
        QCOMPARE(run.Prompt.Records.size(), 1);
        const PromptRecord& r = run.Prompt.Records.first();
        QCOMPARE(r.title, QStringLiteral("Previous Database Detected"));
        QCOMPARE(r.text,
                 QStringLiteral("You have a previous version of the VMR Database.\r\n"
                                "Run the Velmora Database Ugrade program to import your data."));
        QCOMPARE(r.icon, PromptIcon::Information);
        QCOMPARE(FileBytes(JoinPath(run.AppFolder, QStringLiteral("VMR.MDB"))), QByteArray("old"));
    }

    void aDamagedFileEndsStartUpAndChangesNothing()
    {
        StartupRun run;
        InstallDeliveredFiles(run.AppFolder, DeliveredFilesFolder());
        const QString main = JoinPath(run.AppFolder, MainDbFileName);
        WriteFile(main, QByteArray("this is not a database").repeated(100));
        const QByteArray before = FileBytes(main);
        const QByteArray library = FileBytes(JoinPath(run.AppFolder, LibraryDbFileName));

        QVERIFY(run.Run() != 0);
        QVERIFY(!run.Ready);
        QCOMPARE(run.Prompt.Records.size(), 1);
        const PromptRecord& r = run.Prompt.Records.first();
        QVERIFY2(r.text.contains(MainDbFileName), qPrintable(r.text));
        QCOMPARE(r.icon, PromptIcon::Critical);
        QCOMPARE(FileBytes(main), before);
        QCOMPARE(FileBytes(JoinPath(run.AppFolder, LibraryDbFileName)), library);
        QVERIFY(!QFileInfo::exists(run.SettingsFile));
    }

    void aGarbageSettingsFileIsRewrittenWithoutComplaint()
    {
        TestContext t(false);
        const QString file = t.Dir.filePath(QStringLiteral("s.ini"));
        WriteFile(file, QByteArray("\x01\xff[[[Options\n=\n\\\\garbage \"\n[Opt%ions]\nShowTips\n")
                            .repeated(50));
        {
            QSettings store(file, QSettings::IniFormat);
            LoadSettings(*t, store);
            t.Prompt.Clear();
            t->Settings.ShowTips = false;
            QVERIFY(SaveSettings(*t, store));
        }
        QVERIFY2(t.Prompt.Records.isEmpty(),
                 qPrintable(t.Prompt.MessageTexts().join(QLatin1Char('|'))));
        QSettings raw(file, QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("Options/ShowTips")).toString(), QStringLiteral("False"));
    }

    void aTypedSettingsValueIsShownAsTheFileHoldsIt()
    {
        TestContext t(false);
        const QString file = t.Dir.filePath(QStringLiteral("s.ini"));
        WriteFile(file, "[Options]\nShowTips=@Rect(1 2 3 4)\n");
        QSettings store(file, QSettings::IniFormat);
        LoadSettings(*t, store);
        QCOMPARE(t.Prompt.Records.size(), 1);
        QVERIFY2(t.Prompt.Records.first().text.contains(QStringLiteral("holds \"@Rect(1 2 3 4)\"")),
                 qPrintable(t.Prompt.Records.first().text));
    }

    void aDamagedMainFileIsOfferedReadOnlyAfterTheWindowIsUp()
    {
        StartupRun run;
        InstallDeliveredFiles(run.AppFolder, DeliveredFilesFolder());
        const QString main = JoinPath(run.AppFolder, MainDbFileName);
        {
            AppContext ctx(run.AppFolder);
            OpenDatabases(ctx);
            for (int i = 0; i < 2000; ++i)
                Exec(ctx.Db.MainDb(), QStringLiteral("INSERT INTO Patient (FullName) VALUES (?)"),
                     {QStringLiteral("Patient with a long name %1").arg(i)});
        }
        {
            QFile f(main);
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.seek(f.size() - 4096);
            f.write(QByteArray(16, '\x7f'));
        }
        run.Prompt.Answers.push_back(PromptAnswer::Yes);
        bool refused = false;
        QCOMPARE(run.Run(
                     [&](mdiVMR& w, AppContext& ctx) {
                         QVERIFY(
                             QTest::qWaitFor([&] { return !run.Prompt.Records.isEmpty(); }, 10000));
                         ctx.Program.PatientID = 1;
                         ctx.Program.Modified = true;
                         ctx.Program.SaveAsNew = true;
                         refused = !SaveProgram(ctx, false);
                         ctx.Program.Modified = false;
                         QTimer::singleShot(0, &w, &QWidget::close);
                     },
                     false),
                 0);
        QVERIFY(refused);
        QCOMPARE(run.Prompt.Records.size(), 2);
        QCOMPARE(run.Prompt.Records[0].title, QStringLiteral("Database Damaged"));
        QVERIFY(run.Prompt.Records[0].text.contains(QDir::toNativeSeparators(main)));
        QCOMPARE(run.Prompt.Records[0].buttons, PromptButtons::YesNo);
        QVERIFY2(run.Prompt.Records[1].text.contains(
                     QStringLiteral("damaged and has been opened read-only")),
                 qPrintable(run.Prompt.Records[1].text));
    }

    void aFullDiskAtStartUpIsReportedInTheSystemsWords()
    {
        StartupRun run;
        QVERIFY(QDir().mkpath(run.AppFolder));
        const QByteArray mountPoint = QFile::encodeName(run.AppFolder);
        if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("no small file system can be mounted here");
        {
            QFile filler(JoinPath(run.AppFolder, QStringLiteral("filler")));
            filler.open(QIODevice::WriteOnly);
            while (filler.write(QByteArray(4096, 'f')) == 4096 && filler.flush()) {
            }
        }
        const int status = run.Run();
        ::umount2(mountPoint.constData(), MNT_DETACH);
        QVERIFY(status != 0);
        QCOMPARE(run.Prompt.Records.size(), 1);
        const QString text = run.Prompt.Records.first().text;
        QVERIFY2(text.contains(QStringLiteral("No space left on device")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("administrator")), qPrintable(text));
    }

    void aSecondInstanceEndsSilently()
    {
        StartupRun run;
        QVERIFY(QDir().mkpath(run.AppFolder));
        QLockFile first(InstanceLockPath(run.AppFolder));
        QVERIFY(first.tryLock(0));
        QCOMPARE(run.Run(), 0);
        QVERIFY(!run.Ready);
        QVERIFY(run.Prompt.Records.isEmpty());
        QVERIFY(!QFileInfo::exists(JoinPath(run.AppFolder, MainDbFileName)));
        QVERIFY(!QFileInfo::exists(run.SettingsFile));
    }

    void aFolderThatCannotBeCreatedIsReported()
    {
        StartupRun run;
        // A file stands where a parent folder would have to be.
        WriteFile(run.Home.filePath(QStringLiteral("blocked")), "x");
        run.AppFolder = run.Home.filePath(QStringLiteral("blocked/app"));
        QVERIFY(run.Run() != 0);
        QCOMPARE(run.Prompt.Records.size(), 1);
        QVERIFY(run.Prompt.Records.first().text.contains(
            QStringLiteral("cannot write to its data folder")));
    }
};

TRAMELLE_TEST_MAIN(TestApp)
#include "tst_app.moc"
