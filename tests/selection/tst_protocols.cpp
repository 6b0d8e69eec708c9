#include "ChoiceGrid.h"
#include "DbError.h"
#include "Paths.h"
#include "ProtocolStore.h"
#include "TestMain.h"
#include "TestSupport.h"
#include "TextHelpers.h"
#include "WidgetSupport.h"
#include "frmExerciseSelection.h"
#include "frmProtocolEditor.h"
#include "frmSelectProtocol.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>

using namespace tramelle;
using namespace tramelle::test;

namespace {

// The selection window over the delivered sample library, with a patient's program in
// memory that has been changed and not yet stored.
struct Fixture
{
    TestContext tc;
    std::unique_ptr<frmExerciseSelection> w;
    ProgramState patientProgram;

    Fixture()
    {
        w = std::make_unique<frmExerciseSelection>(*tc);
        if (tc->Library.LibraryCount < 20)
            qFatal("library of %d: %s", int(tc->Library.LibraryCount),
                   qPrintable(tc.Prompt.MessageTexts().join(QLatin1Char('|'))));
        ProgramState& p = tc->Program;
        p.PatientID = Exec(tc->Db.MainDb(),
                           QStringLiteral("INSERT INTO Patient (FullName) VALUES ('Ann Lee')"))
                          .lastInsertId()
                          .toInt();
        p.PatientName = QStringLiteral("Ann Lee");
        p.InvoiceID = 77;
        p.SaveAsNew = true;
        p.Provider = QStringLiteral("Dr. Who");
        for (int i = 0; i < 2; ++i)
            p.Entries[static_cast<size_t>(p.EntryCount++)] = tc->Library.Entries.at(10 + i);
        p.OrderItems[0].PartNumber = QStringLiteral("VT-1");
        p.OrderItemCount = 1;
        p.Modified = true;
        patientProgram = p;
        w->SetSelectionMode(frmExerciseSelection::Mode::Program);
        w->show();
        w->InitExerciseSelection(false);
    }

    std::function<void()> ShowSelection()
    {
        return [this] { w->show(); };
    }
    void DragChoiceToSlot(int choice, int slot)
    {
        QWidget* target = Find(w.get(), QStringLiteral("TargetIm_%1").arg(slot));
        DragByHand(w->Grid(), w->Grid()->PictureRect(choice).center(), target,
                   target->rect().center());
    }
    static void Choose(QWidget* form, const QString& name)
    {
        auto* combo = Find<QComboBox>(form, QStringLiteral("cboProtocol"));
        const int row = combo->findText(name);
        QVERIFY2(row > 0, qPrintable(name));
        combo->setCurrentIndex(row);
    }
    static QStringList Listed(QWidget* form, const QString& name)
    {
        QStringList texts;
        if (auto* combo = form->findChild<QComboBox*>(name); combo) {
            for (int i = 0; i < combo->count(); ++i)
                texts << combo->itemText(i);
        } else if (auto* list = form->findChild<QListWidget*>(name); list) {
            for (int i = 0; i < list->count(); ++i)
                texts << list->item(i)->text();
        }
        return texts;
    }
    QList<qint32> ProgramIds() const
    {
        QList<qint32> ids;
        for (int i = 0; i < tc.Ctx->Program.EntryCount; ++i)
            ids << tc.Ctx->Program.Entries.at(static_cast<size_t>(i)).ExerciseID;
        return ids;
    }
    qint32 Store(const QString& name, const QList<int>& libraryRows)
    {
        ProgramState p;
        for (int row : libraryRows)
            p.Entries[static_cast<size_t>(p.EntryCount++)] = tc->Library.Entries.at(row);
        return SaveProtocolAs(tc->Db.MainDb(), name, p);
    }
};

} // namespace

class TestProtocols : public QObject
{
    Q_OBJECT

private slots:
    // The user's road: a new protocol of three exercises, then applied to a patient.
    void newProtocolIsStoredAndAppliedWithoutTouchingTheProgram()
    {
        Fixture f;
        AppContext& ctx = *f.tc;
        frmProtocolEditor editor(ctx, f.w.get(), f.ShowSelection());
        editor.show();
        QCOMPARE(f.tc.MainWindow.ToolbarStates.last(), 0);
        QVERIFY(!Find(&editor, QStringLiteral("cmdOkCancel_3"))->isEnabled());
        QVERIFY(!Find(&editor, QStringLiteral("cmdOkCancel_4"))->isEnabled());

        ClickButton(&editor, QStringLiteral("cmdOkCancel_2"));
        QCOMPARE(f.w->SelectionMode(), frmExerciseSelection::Mode::NewProtocol);
        QCOMPARE(ctx.Program.EntryCount, qint16(0));
        QCOMPARE(f.tc.MainWindow.MenuStates.last(), 0); // no printing of a protocol
        QVERIFY(Find(f.w.get(), QStringLiteral("cboProvider"))->isHidden());
        f.DragChoiceToSlot(4, 0);
        f.DragChoiceToSlot(2, 1);
        f.DragChoiceToSlot(7, 5);
        const QList<qint32> built = f.ProgramIds();
        QCOMPARE(built.size(), 3);

        // A blank name is asked again, Cancel stores nothing and keeps the exercises.
        f.tc.Prompt.TextAnswers = {QStringLiteral("   "), std::nullopt};
        ClickButton(f.w.get(), QStringLiteral("cmdOkCancel_0"));
        QVERIFY(f.w->isVisible());
        QCOMPARE(f.ProgramIds(), built);
        QCOMPARE(f.tc.Prompt.MessageTexts(),
                 QStringList{QStringLiteral("Please enter a name for the protocol.")});
        QVERIFY(ListProtocols(ctx.Db.MainDb()).isEmpty());

        f.tc.Prompt.TextAnswers = {QStringLiteral(" Knee, week 1 ")};
        ClickButton(f.w.get(), QStringLiteral("cmdOkCancel_0"));
        QVERIFY(!f.w->isVisible());
        QVERIFY(ctx.Program == f.patientProgram);
        QCOMPARE(f.w->SelectionMode(), frmExerciseSelection::Mode::Program);
        QCOMPARE(Fixture::Listed(&editor, QStringLiteral("cboProtocol")),
                 (QStringList{QStringLiteral("(None Selected)"), QStringLiteral("Knee, week 1")}));
        Fixture::Choose(&editor, QStringLiteral("Knee, week 1"));
        QCOMPARE(Fixture::Listed(&editor, QStringLiteral("lstProtocol")).size(), 3);
        ClickButton(&editor, QStringLiteral("cmdOkCancel_0"));
        QCOMPARE(f.tc.MainWindow.ToolbarStates.last(), 2);
        QVERIFY(ctx.Program == f.patientProgram);

        // The Protocol button's list puts it into the patient's program.
        f.w->show();
        frmSelectProtocol select(ctx, f.w.get(), f.ShowSelection());
        select.show();
        QCOMPARE(Fixture::Listed(&select, QStringLiteral("lstProtocol")), QStringList{});
        Fixture::Choose(&select, QStringLiteral("Knee, week 1"));
        ClickButton(&select, QStringLiteral("cmdOkCancel_0"));
        QVERIFY(!select.isVisible());
        QCOMPARE(f.ProgramIds(), built);
        QCOMPARE(ctx.Program.PatientID, f.patientProgram.PatientID);
        QCOMPARE(Find<QLabel>(f.w.get(), QStringLiteral("DescLabel_2"))->text().isEmpty(), false);
    }

    void editKeepsNameAndOrderUnderANewID()
    {
        Fixture f;
        AppContext& ctx = *f.tc;
        const qint32 old = f.Store(QStringLiteral("Shoulder's \"A\""), {1, 2, 3});
        frmProtocolEditor editor(ctx, f.w.get(), f.ShowSelection());
        editor.show();
        Fixture::Choose(&editor, QStringLiteral("Shoulder's \"A\""));
        ClickButton(&editor, QStringLiteral("cmdOkCancel_3"));
        QCOMPARE(f.w->SelectionMode(), frmExerciseSelection::Mode::EditProtocol);
        QCOMPARE(ctx.Program.EntryCount, qint16(3));
        QVERIFY(!Find(&editor, QStringLiteral("cmdOkCancel_2"))->isEnabled());
        f.DragChoiceToSlot(0, 0); // a fourth exercise goes first

        // Choosing another protocol meanwhile does not change which one is saved.
        editor.FillcboProtocol();
        ClickButton(f.w.get(), QStringLiteral("cmdOkCancel_0"));
        const QList<ProtocolListItem> stored = ListProtocols(ctx.Db.MainDb());
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored.first().Name, QStringLiteral("Shoulder's \"A\""));
        QVERIFY(stored.first().ProtocolID != old);
        QList<qint32> ids;
        for (const ProgramEntry& e : ReadProtocol(ctx.Db.MainDb(), stored.first().ProtocolID))
            ids << e.ExerciseID;
        QCOMPARE(ids, (QList<qint32>{ctx.Library.Entries.at(0).ExerciseID,
                                     ctx.Library.Entries.at(1).ExerciseID,
                                     ctx.Library.Entries.at(2).ExerciseID,
                                     ctx.Library.Entries.at(3).ExerciseID}));
        QVERIFY(ctx.Program == f.patientProgram);
    }

    void cancelAndClosingGiveTheProgramBack()
    {
        Fixture f;
        AppContext& ctx = *f.tc;
        f.Store(QStringLiteral("Ankle"), {5, 6});
        frmProtocolEditor editor(ctx, f.w.get(), f.ShowSelection());
        editor.show();
        Fixture::Choose(&editor, QStringLiteral("Ankle"));
        ClickButton(&editor, QStringLiteral("cmdOkCancel_3"));
        QCOMPARE(ctx.Program.EntryCount, qint16(2));
        ClickButton(f.w.get(), QStringLiteral("cmdOkCancel_1"));
        QVERIFY(ctx.Program == f.patientProgram);
        QCOMPARE(ListProtocols(ctx.Db.MainDb()).size(), 1);

        // The editor closing while a new protocol is open drops it.
        ClickButton(&editor, QStringLiteral("cmdOkCancel_2"));
        f.DragChoiceToSlot(1, 0);
        editor.reject();
        QVERIFY(!f.w->isVisible());
        QVERIFY(ctx.Program == f.patientProgram);
        QCOMPARE(ListProtocols(ctx.Db.MainDb()).size(), 1);
    }

    void failedSaveKeepsTheSelectionOpen()
    {
        Fixture f;
        AppContext& ctx = *f.tc;
        Exec(ctx.Db.MainDb(),
             QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON ProtocolExercise "
                            "BEGIN SELECT RAISE(ABORT, 'disk says no'); END"));
        frmProtocolEditor editor(ctx, f.w.get(), f.ShowSelection());
        ClickButton(&editor, QStringLiteral("cmdOkCancel_2"));
        f.DragChoiceToSlot(3, 0);
        f.tc.Prompt.TextAnswers = {QStringLiteral("Neck")};
        ClickButton(f.w.get(), QStringLiteral("cmdOkCancel_0"));
        QVERIFY(f.w->isVisible());
        QCOMPARE(ctx.Program.EntryCount, qint16(1));
        QCOMPARE(f.tc.Prompt.Records.last().title, QStringLiteral("Error in SaveProtocolAs"));
        QVERIFY(f.tc.Prompt.Records.last().text.contains(QStringLiteral("disk says no")));
        QVERIFY(ListProtocols(ctx.Db.MainDb()).isEmpty());
    }

    void exportWritesTheChosenProtocol()
    {
        Fixture f;
        AppContext& ctx = *f.tc;
        f.Store(QStringLiteral("Wrist"), {1});
        frmProtocolEditor editor(ctx, f.w.get(), f.ShowSelection());
        QVERIFY(!Find(&editor, QStringLiteral("cmdExport"))->isEnabled());
        Fixture::Choose(&editor, QStringLiteral("Wrist"));
        const QString zip = JoinPath(f.tc.Folder(), QStringLiteral("wrist.zip"));
        f.tc.Prompt.TextAnswers = {zip};
        ClickButton(&editor, QStringLiteral("cmdExport"));
        // The delivered exercise it uses is in every library: only the protocol goes.
        QVERIFY2(f.tc.Prompt.Records.last().text.startsWith(
                     QLatin1String("0 exercises and 1 protocols")),
                 qPrintable(f.tc.Prompt.Records.last().text));
        QVERIFY(QFileInfo::exists(zip));
    }

    void deleteAsksFirst()
    {
        Fixture f;
        AppContext& ctx = *f.tc;
        f.Store(QStringLiteral("Wrist"), {1});
        frmProtocolEditor editor(ctx, f.w.get(), f.ShowSelection());
        Fixture::Choose(&editor, QStringLiteral("Wrist"));
        f.tc.Prompt.Answers = {PromptAnswer::No};
        ClickButton(&editor, QStringLiteral("cmdOkCancel_4"));
        const PromptRecord asked = f.tc.Prompt.Records.last();
        QCOMPARE(asked.title, QStringLiteral("Delete Protocol"));
        QCOMPARE(asked.text, QStringLiteral("Are you sure you want to delete: Wrist"));
        QCOMPARE(asked.defaultButton, std::optional(PromptAnswer::No));
        QCOMPARE(ListProtocols(ctx.Db.MainDb()).size(), 1);
        QCOMPARE(editor.SelectedProtocolName(), QStringLiteral("Wrist"));

        f.tc.Prompt.Answers = {PromptAnswer::Yes};
        ClickButton(&editor, QStringLiteral("cmdOkCancel_4"));
        QVERIFY(ListProtocols(ctx.Db.MainDb()).isEmpty());
        QCOMPARE(Fixture::Listed(&editor, QStringLiteral("cboProtocol")),
                 QStringList{QStringLiteral("(None Selected)")});
    }

    void selectionAppliesReplacesOrRefuses()
    {
        Fixture f;
        AppContext& ctx = *f.tc;
        QList<int> nineteen;
        for (int i = 0; i < 19; ++i)
            nineteen << i;
        f.Store(QStringLiteral("Big"), nineteen);
        const qint32 bad = f.Store(QStringLiteral("Broken"), {1, 2});
        Exec(ctx.Db.MainDb(),
             QStringLiteral(
                 "UPDATE ProtocolExercise SET code = NULL WHERE ProtocolID = ? AND RankOnTape = 1"),
             {bad});
        int shown = 0;
        auto open = [&] {
            auto* form = new frmSelectProtocol(ctx, f.w.get(), [&] { ++shown; });
            QObject::connect(form, &QDialog::finished, form, &QObject::deleteLater);
            form->show();
            return QPointer<frmSelectProtocol>(form);
        };

        // Cancel keeps the program.
        QPointer<frmSelectProtocol> form = open();
        Fixture::Choose(form, QStringLiteral("Big"));
        ClickButton(form, QStringLiteral("cmdOkCancel_1"));
        QCOMPARE(shown, 1);
        QVERIFY(ctx.Program == f.patientProgram);

        // Added to the program's two: 21 exercises are refused whole, the window stays.
        form = open();
        Find<QCheckBox>(form, QStringLiteral("chkAddToProgram"))->click();
        QVERIFY(ctx.Settings.AddProtocolToProgram);
        Fixture::Choose(form, QStringLiteral("Big"));
        ClickButton(form, QStringLiteral("cmdOkCancel_0"));
        QCOMPARE(f.tc.Prompt.Records.last().title, QStringLiteral("Exercise list full"));
        QVERIFY(ctx.Program == f.patientProgram);
        QVERIFY(form && form->isVisible());

        // A damaged protocol changes nothing either.
        Fixture::Choose(form, QStringLiteral("Broken"));
        ClickButton(form, QStringLiteral("cmdOkCancel_0"));
        QCOMPARE(f.tc.Prompt.Records.last().title,
                 QStringLiteral("Error in InitSelExsFromProtocol"));
        QVERIFY(ctx.Program == f.patientProgram);

        // "(None Selected)" replacing empties the program.
        Find<QCheckBox>(form, QStringLiteral("chkAddToProgram"))->click();
        form->FillcboProtocol();
        ClickButton(form, QStringLiteral("cmdOkCancel_0"));
        QCOMPARE(ctx.Program.EntryCount, qint16(0));
        QVERIFY(Find<QLabel>(f.w.get(), QStringLiteral("DescLabel_0"))->text().isEmpty());
        QCOMPARE(shown, 2);
        QTRY_VERIFY(form.isNull());
        // Undo puts the program back as it was.
        QCOMPARE(f.w->History().UndoText(), QStringLiteral("Apply protocol (None Selected)"));
        QVERIFY(f.w->History().Undo());
        QVERIFY(ctx.Program == f.patientProgram);
        QCOMPARE(Find<QLabel>(f.w.get(), QStringLiteral("DescLabel_1"))->text(),
                 EntryCaption(ctx.Program, 1));
    }
};

TRAMELLE_TEST_MAIN(TestProtocols)
#include "tst_protocols.moc"
