#include "ChoiceGrid.h"
#include "DeliveredData.h"
#include "NamedPipe.h"
#include "Paths.h"
#include "TestMain.h"
#include "TestSupport.h"
#include "TextHelpers.h"
#include "WidgetSupport.h"
#include "frmExerciseParams.h"
#include "frmExerciseSelection.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QVideoFrame>
#include <QVideoSink>
#include <QVideoWidget>

using namespace tramelle;
using namespace tramelle::test;

namespace {

// The selection window on the delivered sample library, with the product media folders.
struct Fixture
{
    TestContext tc;
    std::unique_ptr<frmExerciseSelection> w;

    Fixture()
    {
        tc->Settings.IconFolder = tc.Folder() + QStringLiteral("/ICON/");
        tc->Settings.PictureFolder = ProductMediaFolder() + QStringLiteral("Picture/");
        tc->Settings.MovieFolder = ProductMediaFolder() + QStringLiteral("Movie/");
        w = std::make_unique<frmExerciseSelection>(*tc);
        w->SetSelectionMode(frmExerciseSelection::ModeProgram);
        w->show();
        w->InitExerciseSelection(false);
    }

    AppContext& Ctx() { return *tc; }
    ProgramState& Program() { return tc->Program; }

    // The first pool entry with (or without) a movie.
    int Choice(bool withMovie) const
    {
        for (int i = 0; i < tc.Ctx->Library.LibraryCount; ++i) {
            if (tc.Ctx->Library.Entries.at(i).Movie.isEmpty() != withMovie)
                return i;
        }
        qFatal("no such choice");
    }

    // Fills the program with the first `count` pool entries, by dropping them.
    void Fill(int count)
    {
        for (int i = 0; i < count; ++i)
            w->DropSelectedEx(MaxProgramEntries - 1, {frmExerciseSelection::DragSource::Choice, i});
    }

    frmExerciseParams* DoubleClickChoice(int choice)
    {
        QTest::mouseDClick(w->Grid(), Qt::LeftButton, {}, w->Grid()->PictureRect(choice).center());
        return Newest();
    }
    frmExerciseParams* DoubleClickSlot(int slot)
    {
        QTest::mouseDClick(w->findChild<QLabel*>(QStringLiteral("TargetIm_%1").arg(slot)),
                           Qt::LeftButton);
        return Newest();
    }
    frmExerciseParams* Newest() const
    {
        const auto dialogs = w->findChildren<frmExerciseParams*>();
        return dialogs.isEmpty() ? nullptr : dialogs.last();
    }
    QString SlotCaption(int slot) const
    {
        return w->findChild<QLabel*>(QStringLiteral("DescLabel_%1").arg(slot))->text();
    }
};

void SetList(const QWidget* dialog, const char* list, const QString& text)
{
    Find<QComboBox>(dialog, QString::fromLatin1(list))->setEditText(text);
}

void Click(const QWidget* dialog, const QString& button)
{
    Find<QPushButton>(dialog, button)->click();
}

// Lets the deferred deletion of closed dialogs happen.
void Settle()
{
    QTest::qWait(50);
}

} // namespace

class TestParams : public QObject
{
    Q_OBJECT

private slots:
    void opensWithItsSourceValues()
    {
        Fixture f;
        f.Fill(2);
        ProgramEntry& slot = f.Program().Entries[1];
        slot.Reps = 12;
        slot.Hold = 35;
        slot.Sets = 4;
        slot.Instruct1 = QStringLiteral("Slowly.\r\nTwice a day.");

        frmExerciseParams* d = f.DoubleClickSlot(1);
        QVERIFY(d && d->isVisible());
        QVERIFY(!d->isModal());
        QCOMPARE(d->windowTitle(), QStringLiteral("Exercise: ") + slot.Desc);
        QCOMPARE(Find<QComboBox>(d, "RepsList")->currentText(), QStringLiteral("12"));
        QCOMPARE(Find<QComboBox>(d, "HoldList")->currentText(), QStringLiteral("35"));
        QCOMPARE(Find<QComboBox>(d, "SetsList")->currentText(), QStringLiteral("4"));
        QCOMPARE(Find<QPlainTextEdit>(d, "txtInstr_1")->toPlainText(),
                 QStringLiteral("Slowly.\nTwice a day."));
        QCOMPARE(Find<QComboBox>(d, "RepsList")->count(), 6);
        QCOMPARE(Find<QComboBox>(d, "HoldList")->itemText(12), QStringLiteral("60"));
        QCOMPARE(Find<QComboBox>(d, "SetsList")->count(), 11);
        QVERIFY(!Find<QLabel>(d, "Image1_0")->pixmap().isNull());

        // A choice shows the library's defaults, not the slot's.
        const LibraryEntry& library = f.Ctx().Library.Entries.at(1);
        frmExerciseParams* c = f.DoubleClickChoice(1);
        QVERIFY(c && c != d);
        QVERIFY(c->FromLibrary());
        QCOMPARE(Find<QComboBox>(c, "RepsList")->currentText(), QString::number(library.Reps));
        QCOMPARE(Find<QComboBox>(c, "HoldList")->currentText(), QString::number(library.Hold));
        QCOMPARE(Find<QPlainTextEdit>(c, "txtInstr_1")->toPlainText(), FromCrLf(library.Instruct1));

        // An unused slot opens nothing.
        f.DoubleClickSlot(5);
        QCOMPARE(f.w->findChildren<frmExerciseParams*>().size(), 2);
    }

    void missingPicturesAreSilent()
    {
        Fixture f;
        f.Ctx().Settings.PictureFolder = f.tc.Folder() + QStringLiteral("/nowhere/");
        frmExerciseParams* d = f.DoubleClickChoice(0);
        QVERIFY(d);
        for (int i = 0; i < 3; ++i)
            QVERIFY(Find<QLabel>(d, QStringLiteral("Image1_%1").arg(i))->pixmap().isNull());
        QVERIFY(f.tc.Prompt.Records.isEmpty());
    }

    void okStoresNumbersByThePrefixRule_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored");
        QTest::newRow("not a row") << "12" << 12;
        QTest::newRow("half up to even") << "7.5" << 8;
        QTest::newRow("half down to even") << "8.5" << 8;
        QTest::newRow("text") << "many" << 0;
        QTest::newRow("number then text") << " 20 times" << 20;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("largest") << "32767" << 32767;
    }
    void okStoresNumbersByThePrefixRule()
    {
        QFETCH(QString, typed);
        QFETCH(int, stored);
        Fixture f;
        f.Fill(3);
        f.Program().Modified = false;
        const ProgramEntry before = f.Program().Entries[2];
        frmExerciseParams* d = f.DoubleClickSlot(2);
        QPointer<frmExerciseParams> guard(d);
        SetList(d, "RepsList", typed);
        SetList(d, "HoldList", QStringLiteral("0"));
        Find<QPlainTextEdit>(d, "txtInstr_2")->setPlainText(QStringLiteral("Hold it.\nRest."));
        Click(d, QStringLiteral("cmdOkCancel_0"));
        Settle();
        QVERIFY(!guard);

        const ProgramEntry& after = f.Program().Entries[2];
        QCOMPARE(int(after.Reps), stored);
        QCOMPARE(int(after.Hold), 0);
        QCOMPARE(after.Sets, before.Sets);
        QCOMPARE(after.Instruct2, QStringLiteral("Hold it.\r\nRest."));
        QCOMPARE(after.ExerciseID, before.ExerciseID);
        QCOMPARE(f.Program().EntryCount, qint16(3));
        // Changing a slot is a change of the program, to be offered for saving.
        QVERIFY(f.Program().Modified);
        // A hold of 0 leaves its part out of the caption.
        QCOMPARE(f.SlotCaption(2), EntryCaption(after));
        QVERIFY(!f.SlotCaption(2).section(QLatin1Char('\n'), 1).contains(QLatin1Char('s')));
    }

    // Typed as a person types, with Tab to leave each box: a value that begins a row ("1"
    // of "10", "3" of "30") stays what was typed.
    void typedNumbersAreStoredAsTyped()
    {
        Fixture f;
        f.Fill(1);
        frmExerciseParams* d = f.DoubleClickSlot(0);
        QPointer<frmExerciseParams> guard(d);
        d->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(d));
        const std::pair<const char*, const char*> typed[] = {
            {"RepsList", "1"}, {"HoldList", "3"}, {"SetsList", "1"}};
        for (const auto& [name, keys] : typed) {
            auto* list = Find<QComboBox>(d, QString::fromLatin1(name));
            list->setFocus();
            list->lineEdit()->selectAll();
            QTest::keyClicks(list->lineEdit(), QString::fromLatin1(keys));
            QCOMPARE(list->currentText(), QString::fromLatin1(keys));
            QVERIFY(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QVERIFY(!list->hasFocus());
            QCOMPARE(list->currentText(), QString::fromLatin1(keys));
        }
        Click(d, QStringLiteral("cmdOkCancel_0"));
        Settle();
        QVERIFY(!guard);
        const ProgramEntry& stored = f.Program().Entries[0];
        QCOMPARE(stored.Reps, qint16(1));
        QCOMPARE(stored.Hold, qint16(3));
        QCOMPARE(stored.Sets, qint16(1));
    }

    // Names in the library rows are media names inside their folder: a named pipe is never
    // opened (it would hang the window), a name leading out of the folder shows nothing,
    // and a link placed in the folder is followed.
    void hostileMediaNamesShowNothing()
    {
        Fixture f;
        const QString media = f.tc.Folder() + QStringLiteral("/media");
        QVERIFY(QDir().mkpath(media + QStringLiteral("/Picture")));
        QVERIFY(QDir().mkpath(media + QStringLiteral("/Movie")));
        f.Ctx().Settings.PictureFolder = media + QStringLiteral("/Picture/");
        f.Ctx().Settings.MovieFolder = media + QStringLiteral("/Movie/");
        const QString real = ProductMediaFolder() + QStringLiteral("Picture/") +
                             f.Ctx().Library.Entries.at(0).Picture0;
        QVERIFY(QFile::copy(ResolvePath(real), f.tc.Folder() + QStringLiteral("/outside.jpg")));
        QVERIFY(QFile::link(f.tc.Folder() + QStringLiteral("/outside.jpg"),
                            media + QStringLiteral("/Picture/linked.jpg")));
        NamedPipe pipe(media + QStringLiteral("/Picture/pipe.jpg"));
        NamedPipe moviePipe(media + QStringLiteral("/Movie/pipe.avi"));
        QVERIFY(pipe.Made() && moviePipe.Made());

        f.Fill(1);
        ProgramEntry& entry = f.Program().Entries[0];
        entry.Picture0 = QStringLiteral("pipe.jpg");
        entry.Picture1 = QStringLiteral("../../outside.jpg");
        entry.Picture2 = QStringLiteral("linked.jpg");
        entry.Movie = QStringLiteral("pipe.avi");
        frmExerciseParams* d = f.DoubleClickSlot(0);
        QVERIFY(d && d->isVisible());
        QVERIFY(Find<QLabel>(d, "Image1_0")->pixmap().isNull());
        QVERIFY(Find<QLabel>(d, "Image1_1")->pixmap().isNull());
        QVERIFY(!Find<QLabel>(d, "Image1_2")->pixmap().isNull());
        QCOMPARE(d->MediaHandle(), 0);
        QVERIFY(!d->Player());
        QVERIFY(!pipe.WasOpened());
        QVERIFY(!moviePipe.WasOpened());
        QVERIFY(f.tc.Prompt.Records.isEmpty());
    }

    void outOfRangeNumberKeepsTheDialogOpen_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("field");
        QTest::newRow("reps") << "RepsList"
                              << "32768"
                              << "Repetitions";
        QTest::newRow("hold") << "HoldList"
                              << "100000"
                              << "Hold (secs)";
        QTest::newRow("sets") << "SetsList"
                              << "-40000"
                              << "Sets";
        QTest::newRow("negative reps") << "RepsList"
                                       << "-1"
                                       << "Repetitions";
        QTest::newRow("negative hold") << "HoldList"
                                       << "-5"
                                       << "Hold (secs)";
        QTest::newRow("negative sets, rounded") << "SetsList"
                                                << "-0.6"
                                                << "Sets";
    }
    void outOfRangeNumberKeepsTheDialogOpen()
    {
        QFETCH(QString, list);
        QFETCH(QString, typed);
        QFETCH(QString, field);
        Fixture f;
        f.Fill(1);
        f.Program().Modified = false;
        const ProgramEntry before = f.Program().Entries[0];
        frmExerciseParams* d = f.DoubleClickSlot(0);
        QPointer<frmExerciseParams> guard(d);
        SetList(d, "RepsList", QStringLiteral("15"));
        Find<QComboBox>(d, list)->setEditText(typed);
        Click(d, QStringLiteral("cmdOkCancel_0"));
        Settle();

        QVERIFY(guard && guard->isVisible());
        QCOMPARE(f.tc.Prompt.Records.size(), 1);
        QCOMPARE(f.tc.Prompt.Records[0].title, QStringLiteral("Exercise Parameters"));
        QCOMPARE(f.tc.Prompt.Records[0].text,
                 field + QStringLiteral(": \"") + typed +
                     QStringLiteral("\" is out of range. Enter a whole number from 0 to 32767."));
        QCOMPARE(f.Program().Entries[0], before);
        QVERIFY(!f.Program().Modified);

        // Corrected, the same dialog stores it.
        Find<QComboBox>(d, list)->setEditText(QStringLiteral("5"));
        Click(d, QStringLiteral("cmdOkCancel_0"));
        Settle();
        QVERIFY(!guard);
        QCOMPARE(f.Program().Entries[0].Reps, qint16(list == QLatin1String("RepsList") ? 5 : 15));
    }

    void cancelChangesNothing()
    {
        Fixture f;
        f.Fill(2);
        f.Program().Modified = false;
        const auto entries = f.Program().Entries;
        for (frmExerciseParams* d : {f.DoubleClickSlot(0), f.DoubleClickChoice(4)}) {
            QPointer<frmExerciseParams> guard(d);
            SetList(d, "RepsList", QStringLiteral("25"));
            Find<QPlainTextEdit>(d, "txtInstr_0")->setPlainText(QStringLiteral("changed"));
            Click(d, QStringLiteral("cmdOkCancel_1"));
            Settle();
            QVERIFY(!guard);
        }
        QCOMPARE(f.Program().Entries, entries);
        QCOMPARE(f.Program().EntryCount, qint16(2));
        QVERIFY(!f.Program().Modified);
    }

    void okFromAChoiceAppends()
    {
        Fixture f;
        f.Fill(3);
        f.Program().Modified = false;
        const LibraryEntry library = f.Ctx().Library.Entries.at(6);
        frmExerciseParams* d = f.DoubleClickChoice(6);
        SetList(d, "SetsList", QStringLiteral("7"));
        Click(d, QStringLiteral("cmdOkCancel_0"));
        Settle();

        QCOMPARE(f.Program().EntryCount, qint16(4));
        LibraryEntry expected = library;
        expected.Sets = 7;
        QCOMPARE(f.Program().Entries[3], expected);
        QCOMPARE(f.Program().Entries[0].ExerciseID, f.Ctx().Library.Entries.at(0).ExerciseID);
        QVERIFY(f.Program().Modified);
        QCOMPARE(f.SlotCaption(3), EntryCaption(expected));
    }

    void okFromAChoiceIntoAFullProgramIsRefused()
    {
        Fixture f;
        f.Fill(MaxProgramEntries - 1);
        QPointer<frmExerciseParams> d = f.DoubleClickChoice(12);
        QVERIFY(d);
        // The program fills up while the dialog is open.
        f.Fill(1);
        QCOMPARE(f.Program().EntryCount, qint16(MaxProgramEntries));
        const auto entries = f.Program().Entries;
        Click(d, QStringLiteral("cmdOkCancel_0"));
        Settle();
        QVERIFY(d);
        QCOMPARE(f.tc.Prompt.Records.size(), 1);
        QCOMPARE(f.tc.Prompt.Records[0].title, QStringLiteral("Exercise list full"));
        QCOMPARE(f.tc.Prompt.Records[0].text,
                 QStringLiteral("No room for more exercises.\r\nPlease delete one first."));
        QCOMPARE(f.Program().EntryCount, qint16(MaxProgramEntries));
        QCOMPARE(f.Program().Entries, entries);

        // Room made, the same OK appends.
        f.w->DeleteSelectedEx(0);
        Click(d, QStringLiteral("cmdOkCancel_0"));
        Settle();
        QVERIFY(!d);
        QCOMPARE(f.Program().EntryCount, qint16(MaxProgramEntries));
        QCOMPARE(f.Program().Entries[19].ExerciseID, f.Ctx().Library.Entries.at(12).ExerciseID);
    }

    // A dialog opened on a slot writes only into that slot while it still holds the same
    // exercise.
    void staleSlotIsNotWritten_data()
    {
        QTest::addColumn<int>("change");
        QTest::newRow("deleted before it") << 0;
        QTest::newRow("reordered") << 1;
        QTest::newRow("cleared and refilled") << 2;
        QTest::newRow("reloaded") << 3;
        QTest::newRow("choice inserted before it") << 4;
    }
    void staleSlotIsNotWritten()
    {
        QFETCH(int, change);
        Fixture f;
        f.Fill(5);
        QPointer<frmExerciseParams> d = f.DoubleClickSlot(2);
        SetList(d, "RepsList", QStringLiteral("21"));
        switch (change) {
        case 0:
            f.w->DeleteSelectedEx(0);
            break;
        case 1:
            f.w->DropSelectedEx(0, {frmExerciseSelection::DragSource::Slot, 2});
            break;
        case 2:
            f.w->ClearSelectedExercises();
            f.Fill(5);
            break;
        case 3:
            f.w->LoadSelectedExs();
            break;
        case 4:
            f.w->DropSelectedEx(1, {frmExerciseSelection::DragSource::Choice, 9});
            break;
        }
        const auto entries = f.Program().Entries;
        const qint16 count = f.Program().EntryCount;
        Click(d, QStringLiteral("cmdOkCancel_0"));
        Settle();
        QVERIFY(!d);
        QCOMPARE(f.tc.Prompt.Records.size(), 1);
        QVERIFY(f.tc.Prompt.Records[0].text.startsWith(
            QStringLiteral("Slot 3 of the program no longer holds")));
        QCOMPARE(f.Program().Entries, entries);
        QCOMPARE(f.Program().EntryCount, count);
    }

    void dialogsKeepTheirOwnSources()
    {
        Fixture f;
        f.Fill(4);
        QPointer<frmExerciseParams> first = f.DoubleClickSlot(1);
        QPointer<frmExerciseParams> second = f.DoubleClickSlot(3);
        QPointer<frmExerciseParams> third = f.DoubleClickSlot(1);
        SetList(first, "RepsList", QStringLiteral("11"));
        SetList(second, "RepsList", QStringLiteral("13"));
        SetList(third, "SetsList", QStringLiteral("9"));
        Click(second, QStringLiteral("cmdOkCancel_0"));
        Click(first, QStringLiteral("cmdOkCancel_0"));
        Settle();
        QCOMPARE(f.Program().Entries[3].Reps, qint16(13));
        QCOMPARE(f.Program().Entries[1].Reps, qint16(11));
        // Another dialog's parameters do not make the slot stale: the last OK wins.
        Click(third, QStringLiteral("cmdOkCancel_0"));
        Settle();
        QVERIFY(f.tc.Prompt.Records.isEmpty());
        QCOMPARE(f.Program().Entries[1].Sets, qint16(9));
        QCOMPARE(f.Program().Entries[1].Reps, f.Ctx().Library.Entries.at(1).Reps);
    }

    void hidingTheSelectionWindowClosesDialogs_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("OK") << "cmdOkCancel_0";
        QTest::newRow("Cancel") << "cmdOkCancel_1";
    }
    void hidingTheSelectionWindowClosesDialogs()
    {
        QFETCH(QString, button);
        Fixture f;
        // No program mode: OK neither saves nor asks.
        f.w->SetSelectionMode(frmExerciseSelection::ModeNone);
        f.Fill(2);
        QPointer<frmExerciseParams> slot = f.DoubleClickSlot(0);
        QPointer<frmExerciseParams> choice = f.DoubleClickChoice(3);
        f.w->findChild<QPushButton*>(button)->click();
        Settle();
        QVERIFY(!f.w->isVisible());
        QVERIFY(!slot);
        QVERIFY(!choice);
    }

    // The instruction boxes never take more than the stored column holds (a line break is
    // stored as two characters).
    void instructionsStopAtTheColumnSize()
    {
        Fixture f;
        frmExerciseParams* d = f.DoubleClickChoice(0);
        auto* box = Find<QPlainTextEdit>(d, "txtInstr_0");
        box->setFocus();
        box->clear();
        QTest::keyClicks(box, QString(73, QLatin1Char('a')));
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(ToCrLf(box->toPlainText()).size(), 75);
        QTest::keyClicks(box, QStringLiteral("bcd"));
        QCOMPARE(box->toPlainText(), QString(73, QLatin1Char('a')) + QLatin1Char('\n'));
        // The refused key leaves the caret where it was, so typing goes on there.
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, QStringLiteral("xy"));
        QCOMPARE(box->toPlainText(), QString(73, QLatin1Char('a')) + QStringLiteral("xy"));
        // A paste keeps what fits of it.
        QTest::keyClick(box, Qt::Key_Backspace);
        box->insertPlainText(QStringLiteral("zz"));
        QCOMPARE(box->toPlainText(), QString(73, QLatin1Char('a')) + QStringLiteral("xz"));
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClick(box, Qt::Key_Backspace);
        // A character outside the basic plane counts one, as the column counts it, and
        // is never cut in half.
        const QString grin = QStringLiteral("\U0001F600");
        box->insertPlainText(grin + grin + grin);
        QCOMPARE(box->toPlainText(), QString(73, QLatin1Char('a')) + grin + grin);
        QCOMPARE(StoredLength(ToCrLf(box->toPlainText())), 75);
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, QStringLiteral("y"));
        QCOMPARE(box->toPlainText(), QString(73, QLatin1Char('a')) + grin + QStringLiteral("y"));
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, QStringLiteral("xy"));

        Click(d, QStringLiteral("cmdOkCancel_0"));
        Settle();
        QCOMPARE(f.Program().Entries[0].Instruct0,
                 QString(73, QLatin1Char('a')) + QStringLiteral("xy"));
        QVERIFY(StoredLength(f.Program().Entries[0].Instruct0) <= InstructLimit);
    }

    void movieOpensPlaysAndIsReleased()
    {
        Fixture f;
        const int choice = f.Choice(true);
        QPointer<frmExerciseParams> d = f.DoubleClickChoice(choice);
        QVERIFY(d);
        QCOMPARE(d->MovieFile(),
                 f.Ctx().Settings.MovieFolder + f.Ctx().Library.Entries.at(choice).Movie);
        QVERIFY(d->MediaHandle() != 0);
        QPointer<QMediaPlayer> player = d->Player();
        QVERIFY(player);
        QTRY_VERIFY_WITH_TIMEOUT(player->mediaStatus() == QMediaPlayer::LoadedMedia, 10000);
        QVERIFY(player->duration() > 0);

        Click(d, QStringLiteral("cmdControl_1"));
        QTRY_COMPARE_WITH_TIMEOUT(player->playbackState(), QMediaPlayer::PlayingState, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(player->position() > 0, 10000);
        Click(d, QStringLiteral("cmdControl_2"));
        QTRY_COMPARE_WITH_TIMEOUT(player->playbackState(), QMediaPlayer::PausedState, 10000);
        Click(d, QStringLiteral("cmdControl_5"));
        QTRY_COMPARE_WITH_TIMEOUT(player->position(), qint64(0), 10000);
        Click(d, QStringLiteral("cmdControl_1"));
        QTRY_COMPARE_WITH_TIMEOUT(player->playbackState(), QMediaPlayer::PlayingState, 10000);
        Click(d, QStringLiteral("cmdControl_3"));
        QTRY_COMPARE_WITH_TIMEOUT(player->playbackState(), QMediaPlayer::StoppedState, 10000);
        QVERIFY(
            d->findChild<QStatusBar*>(QStringLiteral("StatusBar1"))->currentMessage().isEmpty());

        // Only the four movie buttons show.
        QCOMPARE(Find(d, QStringLiteral("cmdControl_0"))->isVisibleTo(d), false);
        QCOMPARE(Find(d, QStringLiteral("cmdControl_4"))->isVisibleTo(d), false);

        // Closing stops and releases the movie.
        Click(d, QStringLiteral("cmdControl_1"));
        Click(d, QStringLiteral("cmdOkCancel_1"));
        QVERIFY(!player);
        Settle();
        QVERIFY(!d);
    }

    void keysAndInstructionBoxes()
    {
        Fixture f;
        // Enter in a list presses OK: the exercise is appended with what was typed.
        frmExerciseParams* d = f.DoubleClickChoice(0);
        QLineEdit* reps = Find<QComboBox>(d, "RepsList")->lineEdit();
        reps->setFocus();
        reps->selectAll();
        QTest::keyClicks(reps, QStringLiteral("12"));
        QTest::keyClick(reps, Qt::Key_Return);
        Settle();
        QCOMPARE(f.Program().EntryCount, qint16(1));
        QCOMPARE(f.Program().Entries[0].Reps, qint16(12));

        // In an instruction box Enter starts a line, Ctrl+Enter presses OK.
        d = f.DoubleClickSlot(0);
        auto* box = Find<QPlainTextEdit>(d, "txtInstr_2");
        auto* status = Find<QStatusBar>(d, "StatusBar1");
        box->setFocus();
        box->clear();
        QTest::keyClicks(box, QStringLiteral("Slowly"));
        QCOMPARE(status->currentMessage(), QStringLiteral("69 characters left"));
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClicks(box, QStringLiteral("Twice"));
        // A line break is stored as two characters.
        QCOMPARE(status->currentMessage(), QStringLiteral("62 characters left"));
        QTest::keyClicks(box, QString(62, QLatin1Char('x')));
        QCOMPARE(status->currentMessage(),
                 QStringLiteral("No characters left: an instruction holds 75 characters."));
        QTest::keyClicks(box, QStringLiteral("y"));
        QCOMPARE(status->currentMessage(),
                 QStringLiteral("No characters left: an instruction holds 75 characters."));
        QVERIFY(d->isVisible());
        QTest::keyClick(box, Qt::Key_Return, Qt::ControlModifier);
        Settle();
        QCOMPARE(f.w->findChildren<frmExerciseParams*>().size(), 0);
        QCOMPARE(f.Program().Entries[0].Instruct2,
                 QStringLiteral("Slowly\r\nTwice") + QString(62, QLatin1Char('x')));

        // Three lines of text show whole, without a scroll bar and without a fourth line.
        d = f.DoubleClickSlot(0);
        box = Find<QPlainTextEdit>(d, "txtInstr_0");
        box->setPlainText(QStringLiteral("one\ntwo\nthree"));
        QApplication::processEvents();
        const int line = box->fontMetrics().lineSpacing();
        QVERIFY(box->viewport()->height() >= 3 * line);
        QVERIFY(box->viewport()->height() < 4 * line);
        QCOMPARE(box->verticalScrollBar()->maximum(), 0);
        QVERIFY(box->geometry().bottom() < Find(d, QStringLiteral("fraExercises"))->height());
    }

    void movieShowsItsFirstFrameAndButtonsFollowIt()
    {
        Fixture f;
        frmExerciseParams* d = f.DoubleClickChoice(f.Choice(true));
        QVERIFY(d->Player());
        // Loaded and paused at the start: the first frame is in the movie area.
        QTRY_COMPARE_WITH_TIMEOUT(d->Player()->playbackState(), QMediaPlayer::PausedState, 10000);
        auto* video = d->findChild<QVideoWidget*>(QStringLiteral("MovieVideo"));
        QTRY_VERIFY_WITH_TIMEOUT(video->videoSink()->videoFrame().isValid(), 10000);
        QCOMPARE(d->Player()->position(), qint64(0));
        auto* still = d->findChild<QLabel*>(QStringLiteral("MovieStill"));
        QTRY_VERIFY_WITH_TIMEOUT(still->isVisible() && !still->pixmap().isNull(), 10000);
        Click(d, QStringLiteral("cmdControl_1"));
        QVERIFY(!still->isVisible());
        for (int i : {1, 2, 3, 5})
            QVERIFY(Find(d, QStringLiteral("cmdControl_%1").arg(i))->isEnabled());

        frmExerciseParams* none = f.DoubleClickChoice(f.Choice(false));
        for (int i : {1, 2, 3, 5})
            QVERIFY(!Find(none, QStringLiteral("cmdControl_%1").arg(i))->isEnabled());
    }

    void missingOrBrokenMovieIsHarmless()
    {
        Fixture f;
        const int choice = f.Choice(true);
        const QString movie = f.Ctx().Library.Entries.at(choice).Movie;
        f.Ctx().Settings.MovieFolder = f.tc.Folder() + QStringLiteral("/Movie/");
        frmExerciseParams* missing = f.DoubleClickChoice(choice);
        QCOMPARE(missing->MediaHandle(), 0);
        QVERIFY(!missing->Player());
        for (int i : {1, 2, 3, 5})
            Click(missing, QStringLiteral("cmdControl_%1").arg(i));
        QVERIFY(f.tc.Prompt.Records.isEmpty());

        // A file that is no movie: said once in the dialog's status bar, no message box.
        QVERIFY(QDir().mkpath(f.Ctx().Settings.MovieFolder));
        QFile broken(f.Ctx().Settings.MovieFolder + movie.toLower());
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write(QByteArray(4096, 'x'));
        broken.close();
        frmExerciseParams* d = f.DoubleClickChoice(choice);
        QVERIFY(d->MediaHandle() != 0);
        Click(d, QStringLiteral("cmdControl_1"));
        auto* status = d->findChild<QStatusBar*>(QStringLiteral("StatusBar1"));
        QTRY_VERIFY_WITH_TIMEOUT(!status->currentMessage().isEmpty(), 10000);
        QVERIFY(status->currentMessage().startsWith(QStringLiteral("The movie cannot be played")));
        for (int i : {1, 2, 3, 5})
            Click(d, QStringLiteral("cmdControl_%1").arg(i));
        QVERIFY(f.tc.Prompt.Records.isEmpty());

        // An exercise without a movie opens nothing.
        frmExerciseParams* none = f.DoubleClickChoice(f.Choice(false));
        QVERIFY(none->MovieFile().isEmpty());
        QCOMPARE(none->MediaHandle(), 0);
    }
};

TRAMELLE_TEST_MAIN(TestParams)
#include "tst_params.moc"
