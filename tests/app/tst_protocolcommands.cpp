// The protocol windows as the main window opens them: the Tools menu's editor, the
// selection window's Protocol button, and the patient's program through a shutdown.
#include "ChoiceGrid.h"
#include "DbError.h"
#include "MainWindowProbe.h"
#include "TestMain.h"
#include "TestSupport.h"
#include "WidgetSupport.h"
#include "frmProtocolEditor.h"
#include "frmSelectProtocol.h"
#include "mdiVMR.h"

#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>

using namespace tramelle;
using namespace tramelle::test;

namespace {

template <typename T> T* Visible(mdiVMR& w)
{
    for (T* d : w.findChildren<T*>()) {
        if (d->isVisible())
            return d;
    }
    return nullptr;
}

// A patient with a changed program of two exercises, not yet stored.
void StartPatient(AppContext& ctx, mdiVMR& w)
{
    ProgramState& p = ctx.Program;
    p.PatientID = Exec(ctx.Db.MainDb(),
                       QStringLiteral("INSERT INTO Patient (FullName) VALUES ('Marsh, Ada')"))
                      .lastInsertId()
                      .toInt();
    p.PatientName = QStringLiteral("Marsh, Ada");
    p.SaveAsNew = true;
    w.CreateSelectionWindow();
    for (int i = 0; i < 2; ++i)
        p.Entries[static_cast<size_t>(p.EntryCount++)] = ctx.Library.Entries.at(20 + i);
    p.Modified = true;
    w.UpdateToolbar(ToolbarState::PatientSelected);
    w.UpdateMenu(MenuState::All);
}

} // namespace

class TestProtocolCommands : public QObject
{
    Q_OBJECT

private slots:
    void editorLocksPrintingAndShutdownStoresThePatientsProgram()
    {
        TestContext t;
        mdiVMR w(*t);
        w.show();
        StartPatient(*t, w);
        const ProgramState patient = t->Program;

        TriggerAction(&w, QStringLiteral("mnuProtocolEditor"));
        frmProtocolEditor* editor = Visible<frmProtocolEditor>(w);
        QVERIFY(editor);
        QCOMPARE(EnabledButtons(w), QStringList{QStringLiteral("Help")});
        ClickButton(editor, QStringLiteral("cmdOkCancel_2"));
        frmExerciseSelection* s = w.SelectionWindow();
        QTRY_VERIFY(s->isVisible());
        QCOMPARE(s->SelectionMode(), frmExerciseSelection::Mode::NewProtocol);
        QVERIFY(!w.findChild<QMenu*>(QStringLiteral("mnuPrint"))->menuAction()->isEnabled());
        QVERIFY(!w.findChild<QMenu*>(QStringLiteral("mnuPreview"))->menuAction()->isEnabled());
        QCOMPARE(EnabledButtons(w), QStringList{QStringLiteral("Help")});
        auto* slot = s->findChild<QLabel*>(QStringLiteral("TargetIm_0"));
        QTest::mousePress(s->Grid(), Qt::LeftButton, {}, s->Grid()->PictureRect(0).center());
        QTest::mouseMove(slot, slot->rect().center());
        QTest::mouseRelease(slot, Qt::LeftButton, {}, slot->rect().center());
        QCOMPARE(t->Program.EntryCount, qint16(1));

        // Closing the program while the protocol is open offers the patient's program.
        t.Prompt.Answers = {PromptAnswer::Yes};
        w.Shutdown();
        QCOMPARE(t.Prompt.Records.last().title, QStringLiteral("Exercise Program Modified"));
        QCOMPARE(t->Program.EntryCount, qint16(2));
        QCOMPARE(t->Program.Entries[0], patient.Entries[0]);
        QVERIFY(!t->Program.Modified); // stored
    }

    void protocolButtonOpensTheListAndCancelComesBack()
    {
        TestContext t;
        mdiVMR w(*t);
        w.show();
        StartPatient(*t, w);
        w.Toolbar1_Exercises();
        frmExerciseSelection* s = w.SelectionWindow();
        auto* sub = qobject_cast<QMdiSubWindow*>(s->parentWidget());
        QTRY_VERIFY(sub->isVisible());
        ClickButton(s, QStringLiteral("cmdProtocol"));
        QVERIFY(!sub->isVisible());
        frmSelectProtocol* list = Visible<frmSelectProtocol>(w);
        QVERIFY(list);
        QCOMPARE(list->windowTitle(), QStringLiteral("Protocol Selection"));
        ClickButton(list, QStringLiteral("cmdOkCancel_1"));
        QTRY_VERIFY(sub->isVisible());
        QVERIFY(!Visible<frmSelectProtocol>(w));
    }
};

TRAMELLE_TEST_MAIN(TestProtocolCommands)
#include "tst_protocolcommands.moc"
