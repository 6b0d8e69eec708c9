// The whole road of one clinic visit through the real main window: a new patient, a
// program built by dragging, its parameters changed, stored, printed to a PDF, recalled
// in the program list, and the settings written at exit.
#include "AppContext.h"
#include "ChoiceGrid.h"
#include "Database.h"
#include "DbError.h"
#include "LayoutScale.h"
#include "MainWindowProbe.h"
#include "PatientWindows.h"
#include "Settings.h"
#include "Startup.h"
#include "TestMain.h"
#include "TestSupport.h"
#include "WidgetSupport.h"
#include "frmExerciseParams.h"
#include "frmExerciseSelection.h"
#include "mdiVMR.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

using namespace tramelle;
using namespace tramelle::test;

namespace {

// The printer dialog of a person who picks "Print to File (PDF)" and a file name.
class PdfPromptService : public ScriptedPromptService
{
public:
    QString Pdf;

    bool PrinterDialog(QPrinter* printer, const QString& proposedFile) override
    {
        PrinterAnswers.push_back(true);
        ScriptedPromptService::PrinterDialog(printer, proposedFile);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(Pdf);
        return true;
    }
};

// A dialog the main window opened, while it is shown.
template <typename T> T* OpenDialog(mdiVMR& w)
{
    for (T* d : w.findChildren<T*>()) {
        if (d->isVisible())
            return d;
    }
    return nullptr;
}

void ClickToolbar(mdiVMR& w, const QString& key)
{
    auto* bar = w.findChild<QToolBar*>(QStringLiteral("Toolbar1"));
    QWidget* button = bar->widgetForAction(w.ToolbarButton(key));
    QVERIFY2(button && button->isEnabled(), qPrintable(key));
    QTest::mouseClick(button, Qt::LeftButton);
}

// Press on a choice picture, move onto a program slot, release: the way a hand drags.
void DragChoiceToSlot(frmExerciseSelection& s, int choice, int slot)
{
    auto* target = Find<QLabel>(&s, QStringLiteral("TargetIm_%1").arg(slot));
    DragByHand(s.Grid(), s.Grid()->PictureRect(choice).center(), target, target->rect().center());
}

QString PdfText(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QSqlQuery Query(AppContext& ctx, const QString& sql, const QVariantList& values = {})
{
    return Exec(ctx.Db.MainDb(), sql, values);
}

} // namespace

class TestRoad : public QObject
{
    Q_OBJECT

private slots:
    void aNewPatientsProgramIsBuiltStoredPrintedAndRecalled()
    {
        QTemporaryDir home;
        const QString appFolder = home.filePath(QStringLiteral("app"));
        const QString settingsFile = home.filePath(QStringLiteral("settings.ini"));
        PdfPromptService prompt;
        prompt.Pdf = home.filePath(QStringLiteral("sheets.pdf"));
        ScriptedLauncherService launcher;

        // What the road saw, checked after the run: QVERIFY inside the run only ends it.
        bool reachedEnd = false;
        QList<qint32> chosen;
        QStringList descriptions;
        QString pdfText;
        qint32 patientID = 0;

        StartupOptions options;
        options.ShowSplash = false;
        options.ShowTipOfTheDay = false;
        options.AppFolder = appFolder;
        options.SettingsFile = settingsFile;
        options.Prompt = &prompt;
        options.Windows = &prompt;
        options.Launcher = &launcher;
        options.OnReady = [&](mdiVMR& w, AppContext& ctx) {
            // The road runs inside the event loop, as a person's clicks do.
            QTimer::singleShot(0, &w, [&] {
                // However the road ends, File > Exit closes the program.
                const auto exit = qScopeGuard([&w] {
                    QTimer::singleShot(0, w.findChild<QAction*>(QStringLiteral("mnuExit")),
                                       &QAction::trigger);
                });
                QVERIFY(w.isVisible());
                QCOMPARE(w.windowTitle(), QStringLiteral("VMR Tramelle - No Patient Selected"));
                QVERIFY2(ctx.Library.LibraryCount >= 5,
                         qPrintable(QString::number(ctx.Library.LibraryCount)));

                // Patient > New > names > OK.
                ClickToolbar(w, QStringLiteral("Patient"));
                QPointer<frmSelectPatient> select = OpenDialog<frmSelectPatient>(w);
                QVERIFY(select);
                QCOMPARE(EnabledButtons(w), QStringList{"Help"});
                ClickButton(select, QStringLiteral("cmdOkCancel_2"));
                QTRY_VERIFY(!select || !select->isVisible());
                QPointer<frmEditPatient> edit = OpenDialog<frmEditPatient>(w);
                QVERIFY(edit);
                QTest::keyClicks(Find<QLineEdit>(edit, QStringLiteral("txtLastName")),
                                 QStringLiteral("Marsh"));
                QTest::keyClicks(Find<QLineEdit>(edit, QStringLiteral("txtFirstName")),
                                 QStringLiteral("Ada"));
                QTest::keyClicks(Find<QLineEdit>(edit, QStringLiteral("txtID")),
                                 QStringLiteral("P-1001"));
                ClickButton(edit, QStringLiteral("cmdOkCancel_0"));
                QTRY_VERIFY(!edit || !edit->isVisible());
                QCOMPARE(w.windowTitle(), QStringLiteral("VMR Tramelle Patient: Marsh, Ada"));
                QCOMPARE(w.ToolbarState, ToolbarState::PatientSelected);
                QCOMPARE(EnabledButtons(w), (QStringList{"Patient", "Exercises", "Video", "Preview",
                                                         "Print", "Programs", "Help"}));
                QCOMPARE(w.MenuState, MenuState::All);
                QVERIFY(ctx.Program.PatientID.has_value());
                patientID = *ctx.Program.PatientID;

                // Exercises: the selection window fills the main window's client area.
                ClickToolbar(w, QStringLiteral("Exercises"));
                frmExerciseSelection* s = w.SelectionWindow();
                QVERIFY(s);
                auto* sub = qobject_cast<QMdiSubWindow*>(s->parentWidget());
                QVERIFY(sub);
                QTRY_VERIFY(sub->isVisible());
                QVERIFY(sub->isMaximized());
                QCOMPARE(w.MdiArea()->activeSubWindow(), sub);
                QCOMPARE(EnabledButtons(w), (QStringList{"Preview", "Print", "Help"}));
                QVERIFY(s->Grid()->IsLoaded(0));
                QVERIFY(!s->Grid()->Picture(0).isNull());

                for (int i = 0; i < 3; ++i) {
                    const int choice = 2 * i;
                    DragChoiceToSlot(*s, choice, i);
                    chosen << ctx.Library.Entries.at(choice).ExerciseID;
                    descriptions << ctx.Library.Entries.at(choice).Desc;
                }
                QCOMPARE(ctx.Program.EntryCount, 3);
                // The window fills the client area, its layout grown to the room it has with
                // the controls at the top left, and every slot caption fits its box whole.
                QCOMPARE(s->geometry(), sub->contentsRect());
                QCOMPARE(s->LayoutScale(),
                         LayoutScaleFor(s->size(), frmExerciseSelection::BaseSize));
                QCOMPARE(Find(s, QStringLiteral("ChoicesLabel"))->pos(),
                         QPoint(Scaled(8, s->LayoutScale()), 0));
                for (int i = 0; i < 3; ++i) {
                    auto* caption = Find<QLabel>(s, QStringLiteral("DescLabel_%1").arg(i));
                    const QRect needed =
                        QFontMetrics(caption->font())
                            .boundingRect(caption->rect(), int(caption->alignment()),
                                          caption->text());
                    QVERIFY2(caption->rect().contains(needed), qPrintable(caption->text()));
                }
                for (int i = 0; i < 3; ++i)
                    QCOMPARE(ctx.Program.Entries.at(static_cast<size_t>(i)).ExerciseID,
                             chosen.at(i));

                // The middle one gets 17 repetitions.
                QTest::mouseDClick(Find(s, QStringLiteral("TargetIm_1")), Qt::LeftButton);
                QPointer<frmExerciseParams> params = s->findChild<frmExerciseParams*>();
                QVERIFY(params);
                QTRY_VERIFY(params->isVisible());
                auto* reps = Find<QComboBox>(params, QStringLiteral("RepsList"));
                reps->lineEdit()->selectAll();
                QTest::keyClicks(reps->lineEdit(), QStringLiteral("17"));
                ClickButton(params, QStringLiteral("cmdOkCancel_0"));
                QTRY_VERIFY(!params);
                QCOMPARE(ctx.Program.Entries.at(1).Reps, qint16(17));
                QVERIFY(Find<QLabel>(s, QStringLiteral("DescLabel_1"))
                            ->text()
                            .contains(QStringLiteral("\n17r")));

                // OK stores the program and gives the toolbar back.
                ClickButton(s, QStringLiteral("cmdOkCancel_0"));
                QTRY_VERIFY(!sub->isVisible());
                QCOMPARE(EnabledButtons(w).size(), 7);
                QVERIFY(!ctx.Program.Modified);
                QVERIFY(ctx.Program.InvoiceID.has_value());

                QSqlQuery invoices =
                    Query(ctx, QStringLiteral("SELECT InvoiceID FROM Invoice WHERE PatientID = ?"),
                          {patientID});
                QVERIFY(invoices.next());
                QCOMPARE(invoices.value(0).toInt(), *ctx.Program.InvoiceID);
                QVERIFY(!invoices.next());
                invoices.finish();
                QSqlQuery rows = Query(
                    ctx,
                    QStringLiteral(
                        "SELECT ExerciseID, Reps, RankOnTape FROM Exercise WHERE InvoiceID = ? "
                        "ORDER BY RankOnTape"),
                    {*ctx.Program.InvoiceID});
                QStringList stored;
                while (rows.next())
                    stored << QStringLiteral("%1 %2 %3")
                                  .arg(rows.value(0).toInt())
                                  .arg(rows.value(1).toInt())
                                  .arg(rows.value(2).toInt());
                rows.finish();
                QCOMPARE(stored.size(), 3);
                for (int i = 0; i < 3; ++i) {
                    const int repsStored =
                        i == 1 ? 17 : ctx.Program.Entries.at(static_cast<size_t>(i)).Reps;
                    QCOMPARE(stored.at(i),
                             QStringLiteral("%1 %2 %3").arg(chosen.at(i)).arg(repsStored).arg(i));
                }

                // File > Print > Exercises 4/page, to a PDF chosen in the printer dialog.
                prompt.Clear();
                TriggerAction(&w, QStringLiteral("mnuPrintEx4"));
                QCOMPARE(prompt.Records.size(), 1);
                QCOMPARE(prompt.Records.first().kind, QStringLiteral("printer"));
                QVERIFY(QFileInfo(prompt.Pdf).size() > 0);
                pdfText = PdfText(prompt.Pdf);

                // Programs lists the stored program of this patient.
                ClickToolbar(w, QStringLiteral("Programs"));
                QPointer<frmListPrograms> list = OpenDialog<frmListPrograms>(w);
                QVERIFY(list);
                auto* view = Find<QAbstractItemView>(list, QStringLiteral("lstPatients"));
                QCOMPARE(view->model()->rowCount(), 1);
                QCOMPARE(view->model()->index(0, 0).data().toString(),
                         QStringLiteral("Marsh, Ada"));
                QCOMPARE(view->model()->index(0, 1).data().toString(), QStringLiteral("P-1001"));
                list->close();
                QTRY_VERIFY(!list || !list->isVisible());
                reachedEnd = true;
            });
        };

        QCOMPARE(StartApplication(options), 0);
        QVERIFY(reachedEnd);

        // The sheets name the patient and each exercise in program order.
        QVERIFY2(pdfText.contains(QStringLiteral("Marsh, Ada")), qPrintable(pdfText.left(2000)));
        qsizetype at = 0;
        for (int i = 0; i < 3; ++i) {
            const QString line = QStringLiteral("%1. (").arg(i + 1);
            at = pdfText.indexOf(line, at);
            QVERIFY2(at >= 0, qPrintable(pdfText));
            at = pdfText.indexOf(descriptions.at(i), at);
            QVERIFY2(at >= 0, qPrintable(descriptions.at(i)));
        }
        QVERIFY2(pdfText.contains(descriptions.at(1) + QStringLiteral(": 17 reps")),
                 qPrintable(pdfText));

        // Exit stored nothing new (the program was saved) and wrote the settings.
        QCOMPARE(prompt.MessageTexts(), QStringList());
        QVERIFY(QFileInfo::exists(settingsFile));
        QSettings saved(settingsFile, QSettings::IniFormat);
        QVERIFY(saved.childGroups().contains(QStringLiteral("Options")));
        QVERIFY(!QFileInfo::exists(InstanceLockPath(appFolder)));
    }
};

TRAMELLE_TEST_MAIN(TestRoad)
#include "tst_road.moc"
