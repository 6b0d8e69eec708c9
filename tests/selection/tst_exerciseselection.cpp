#include "ChoiceGrid.h"
#include "DbError.h"
#include "DeliveredData.h"
#include "LayoutScale.h"
#include "TestMain.h"
#include "TestSupport.h"
#include "TextHelpers.h"
#include "WidgetSupport.h"
#include "frmExerciseSelection.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>

using namespace tramelle;
using namespace tramelle::test;

namespace {

struct Row
{
    const char* joint;
    const char* motion;
    const char* type;
    bool movie;
};

// A small library with joint lists, an apostrophe and an empty type.
const QList<Row> SmallLibrary = {
    {"Knee", "Flexion", "Strength", true},           // 1
    {"Knee", "Extension", "Strength", false},        // 2
    {"Hip", "Flexion", "Stretch", false},            // 3
    {"Knee, Hip", "Flexion", "Strength", false},     // 4
    {"Shoulder", "Patient's Own", "Stretch", false}, // 5
    {"Shoulder", "Extension", "Strength", false},    // 6
    {"Ankle", "Flexion", "Stretch", false},          // 7
    {"Ankle", "Extension", "Stretch", false},        // 8
    {"Hip", "Extension", "Strength", false},         // 9
    {"Elbow", "Flexion", "Strength", false},         // 10
    {"Elbow", "Extension", "Stretch", false},        // 11
    {"Wrist", "Flexion", "", false},                 // 12
};

DeliveredExercise MakeRow(qint32 id, const Row& r)
{
    DeliveredExercise row;
    LibraryEntry& e = row.Entry;
    e.ExerciseID = id;
    e.code = QString::number(id);
    // Two digits keep the library's AbbrevDesc order equal to the id order.
    e.AbbrevDesc = QStringLiteral("Ex%1").arg(id, 2, 10, QLatin1Char('0'));
    e.Desc = QStringLiteral("Exercise number %1").arg(id);
    e.Joint = QString::fromUtf8(r.joint);
    e.Motion = QString::fromUtf8(r.motion);
    e.Type = QString::fromUtf8(r.type);
    e.Reps = 10;
    e.Hold = static_cast<qint16>(id % 2 ? 5 : 0);
    e.Sets = 2;
    e.Icon = IconFileName(id);
    e.Picture0 = PictureFileName(id, 1);
    e.Picture1 = PictureFileName(id, 2);
    e.Picture2 = PictureFileName(id, 3);
    e.Movie = r.movie ? MovieFileName(id) : QString();
    row.IconSrc = 1;
    return row;
}

// A running window over its own application folder and icon folder.
struct Fixture
{
    TestContext tc;
    QTemporaryDir icons;
    std::unique_ptr<frmExerciseSelection> w;

    explicit Fixture(const QList<Row>& rows, const QList<qint32>& withoutIcon = {})
    {
        QList<DeliveredExercise> library;
        for (int i = 0; i < rows.size(); ++i)
            library << MakeRow(i + 1, rows.at(i));
        // This library replaces the delivered sample.
        Exec(tc->Db.LibraryDb(), QStringLiteral("DELETE FROM ExerciseLibrary"));
        InsertLibraryRows(tc->Db.LibraryDb(), library);
        tc->Settings.IconFolder = icons.path() + QLatin1Char('/');
        for (const DeliveredExercise& row : library) {
            if (withoutIcon.contains(row.Entry.ExerciseID))
                continue;
            QImage image(140, 106, QImage::Format_RGB32);
            image.fill(QColor::fromHsv((row.Entry.ExerciseID * 37) % 360, 200, 220));
            // Lower case on disk: names match whatever their case.
            image.save(icons.filePath(row.Entry.Icon.toLower()), "JPG");
        }
        w = std::make_unique<frmExerciseSelection>(*tc);
        w->SetSelectionMode(frmExerciseSelection::ModeProgram);
        w->show();
        w->InitExerciseSelection(false);
    }

    template <typename T = QWidget> T* Find(const QString& name) const
    {
        return test::Find<T>(w.get(), name);
    }
    QListWidget* List(int i) const
    {
        return Find<QListWidget>(QStringLiteral("ViewList_%1").arg(i));
    }
    QWidget* SrcFrame() const { return Find(QStringLiteral("SrcFrame")); }
    QLabel* Slot(int i) const { return Find<QLabel>(QStringLiteral("TargetIm_%1").arg(i)); }
    QLabel* Caption(int i) const { return Find<QLabel>(QStringLiteral("DescLabel_%1").arg(i)); }
    AppContext& Ctx() { return *tc; }

    QStringList Rows(int list) const
    {
        QStringList texts;
        for (int i = 0; i < List(list)->count(); ++i)
            texts << List(list)->item(i)->text();
        return texts;
    }
    // Selects exactly these rows of a list, as a click (and control-clicks) would.
    void Select(int list, const QStringList& texts)
    {
        QListWidget* l = List(list);
        l->clearSelection();
        for (const QString& t : texts) {
            const auto items = l->findItems(t, Qt::MatchExactly);
            QVERIFY2(!items.isEmpty(), qPrintable(t));
            items.first()->setSelected(true);
        }
    }
    QList<qint32> PoolIds() const
    {
        QList<qint32> ids;
        for (int i = 0; i < tc.Ctx->Library.LibraryCount; ++i)
            ids << tc.Ctx->Library.Entries.at(i).ExerciseID;
        return ids;
    }
    QList<qint32> ProgramIds() const
    {
        QList<qint32> ids;
        for (int i = 0; i < tc.Ctx->Program.EntryCount; ++i)
            ids << tc.Ctx->Program.Entries.at(static_cast<size_t>(i)).ExerciseID;
        return ids;
    }

    void Drag(QWidget* from, QPoint fromPos, QWidget* to, QPoint toPos)
    {
        DragByHand(from, fromPos, to, toPos);
    }
    void DragChoiceToSlot(int choice, int slot)
    {
        Drag(SrcFrame(), w->Grid()->PictureRect(choice).center(), Slot(slot),
             Slot(slot)->rect().center());
    }
    void DragSlotToSlot(int from, int to)
    {
        Drag(Slot(from), Slot(from)->rect().center(), Slot(to), Slot(to)->rect().center());
    }
    // Fills the program with pool entries 0 .. count - 1 by dragging each onto slot 9.
    void FillProgram(int count)
    {
        for (int i = 0; i < count; ++i)
            DragChoiceToSlot(i % tc.Ctx->Library.LibraryCount, 9);
    }
};

QList<Row> Generic(int count)
{
    QList<Row> rows;
    for (int i = 0; i < count; ++i)
        rows << Row{"Knee", "Flexion", "Strength", false};
    return rows;
}

} // namespace

class TestExerciseSelection : public QObject
{
    Q_OBJECT

private slots:
    void listsOfferEveryValueOnceWithAllRow()
    {
        Fixture f(SmallLibrary);
        QCOMPARE(f.w->windowTitle(), QStringLiteral("Select Exercises"));
        // Joint rows are split at commas and sorted; the others keep the query's order.
        QCOMPARE(f.Rows(0),
                 (QStringList{"(All)", "Ankle", "Elbow", "Hip", "Knee", "Shoulder", "Wrist"}));
        QCOMPARE(f.Rows(1), (QStringList{"(All)", "Extension", "Flexion", "Patient's Own"}));
        QCOMPARE(f.Rows(2), (QStringList{"(All)", "Strength", "Stretch"}));
        for (int i = 0; i < 3; ++i)
            QVERIFY(f.List(i)->item(0)->isSelected());
        QCOMPARE(f.Ctx().Library.LibraryCount, qint16(12));
    }

    void filterCascadesThroughTheLists()
    {
        Fixture f(SmallLibrary);
        f.Select(0, {"Knee"});
        QCOMPARE(f.PoolIds(), (QList<qint32>{1, 2, 4}));
        // Refilled lists offer only what the joints leave and restrict nothing yet.
        QCOMPARE(f.Rows(1), (QStringList{"(All)", "Extension", "Flexion"}));
        // One type left: a single row, no "(All)".
        QCOMPARE(f.Rows(2), (QStringList{"Strength"}));
        QVERIFY(f.List(1)->selectedItems().isEmpty());

        f.Select(1, {"Flexion"});
        QCOMPARE(f.PoolIds(), (QList<qint32>{1, 4}));
        QCOMPARE(f.Rows(2), (QStringList{"Strength"}));

        f.Select(2, {"Strength"});
        QCOMPARE(f.PoolIds(), (QList<qint32>{1, 4}));

        // A joint click empties the motion and type criteria and selections.
        f.Select(0, {"Hip"});
        QCOMPARE(f.PoolIds(), (QList<qint32>{3, 4, 9}));
        QVERIFY(f.w->MotionFilter().isEmpty());
        QVERIFY(f.w->TypeFilter().isEmpty());
        QVERIFY(f.List(1)->selectedItems().isEmpty());
        QVERIFY(f.List(2)->selectedItems().isEmpty());

        // "(All)" selected with other rows restricts nothing; several joints widen the pool.
        f.Select(0, {"(All)", "Ankle"});
        QCOMPARE(f.Ctx().Library.LibraryCount, qint16(12));
        f.Select(0, {"Ankle", "Elbow"});
        QCOMPARE(f.PoolIds(), (QList<qint32>{7, 8, 10, 11}));
        // Joint names are contained, letter case ignored: "hip" is in "Knee, Hip".
        QCOMPARE(f.Ctx().Db.LibraryRecordset.Filter.Joints, (QStringList{"Ankle", "Elbow"}));
    }

    void listValuesWithApostropheAndEmptyColumns()
    {
        Fixture f(SmallLibrary);
        f.Select(1, {"Patient's Own"});
        QCOMPARE(f.PoolIds(), (QList<qint32>{5}));
        // An empty type never passes a type criterion.
        f.Select(1, {"(All)"});
        f.Select(2, {"Strength", "Stretch"});
        QVERIFY(!f.PoolIds().contains(12));
        QCOMPARE(f.Ctx().Library.LibraryCount, qint16(11));
    }

    void firstJointRowWithoutAllRowRestrictsNothing()
    {
        Fixture f({{"Knee, Hip", "Flexion", "Strength", false},
                   {"Knee, Hip", "Extension", "Strength", false}});
        QCOMPARE(f.Rows(0), (QStringList{"Hip", "Knee"}));
        f.Select(0, {"Hip"});
        QVERIFY(f.w->JointFilter().isEmpty());
        QCOMPARE(f.Ctx().Library.LibraryCount, qint16(2));
        f.Select(0, {"Knee"});
        QCOMPARE(f.w->JointFilter(), QStringList{"Knee"});
    }

    void unchangedFilterReadsNoPictures()
    {
        Fixture f(SmallLibrary);
        const int reads = f.w->ChoicePictureReads();
        QCOMPARE(reads, 12);
        // Selecting "(All)" in a list that restricted nothing leaves the filter as it was.
        f.Select(1, {});
        f.Select(1, {"(All)"});
        QCOMPARE(f.w->ChoicePictureReads(), reads);
        // Narrowing the pool reads its pictures once, and only then.
        f.Select(2, {"Stretch"});
        QCOMPARE(f.w->ChoicePictureReads(), reads + 5);
        f.w->LoadPictsInSight();
        QCOMPARE(f.w->ChoicePictureReads(), reads + 5);
    }

    void reopeningResetsListsAndPool()
    {
        Fixture f(SmallLibrary);
        f.Select(0, {"Knee"});
        QCOMPARE(f.Ctx().Library.LibraryCount, qint16(3));
        f.w->InitExerciseSelection(false);
        QCOMPARE(f.Ctx().Library.LibraryCount, qint16(12));
        QVERIFY(f.Ctx().Db.LibraryRecordset.Filter.IsEmpty());
        QVERIFY(f.List(0)->item(0)->isSelected());
        // The same selection as before is a change again and narrows the pool.
        f.Select(0, {"Knee"});
        QCOMPARE(f.Ctx().Library.LibraryCount, qint16(3));
    }

    void gridRowsScrollLimitsAndPicturesInSight()
    {
        {
            Fixture f(Generic(10));
            QCOMPARE(f.SrcFrame()->height(),
                     f.Find(QStringLiteral("ChoiceOuterFrame"))->height() + 1);
            QCOMPARE(f.Find<QScrollBar>(QStringLiteral("VScroll1"))->maximum(), 0);
        }
        {
            // Three rows, two of them whole in sight.
            Fixture f(Generic(13));
            QCOMPARE(f.Find<QScrollBar>(QStringLiteral("VScroll1"))->maximum(), 1);
        }
        Fixture f(Generic(40));
        auto* scroll = f.Find<QScrollBar>(QStringLiteral("VScroll1"));
        QCOMPARE(scroll->maximum(), 6); // 8 rows less 2 in sight
        QCOMPARE(f.SrcFrame()->height(), 7 * 76 + 57 + 22 + 4);
        ChoiceGrid* grid = f.w->Grid();
        QCOMPARE(f.w->ChoicePictureReads(), 15);
        QVERIFY(grid->IsLoaded(14) && !grid->IsLoaded(15));
        scroll->setValue(3);
        QCOMPARE(f.SrcFrame()->y(), -3 * 76);
        QVERIFY(grid->IsLoaded(15) && grid->IsLoaded(29) && !grid->IsLoaded(30));
        QCOMPARE(f.w->ChoicePictureReads(), 30);
        // Back to the top: those pictures are already there.
        scroll->setValue(0);
        QCOMPARE(f.w->ChoicePictureReads(), 30);
        // The last position: the range stops at the pool's end.
        scroll->setValue(6);
        QVERIFY(grid->IsLoaded(30) && grid->IsLoaded(39));
        QCOMPARE(f.w->ChoicePictureReads(), 40);
    }

    void scrollingEndsAtTheLastWholeRow()
    {
        // 9 hip exercises among 70.
        QList<Row> rows = Generic(70);
        for (int i = 0; i < 9; ++i)
            rows[i * 7].joint = "Hip";
        Fixture f(rows);
        auto* scroll = f.Find<QScrollBar>(QStringLiteral("VScroll1"));
        QWidget* frame = f.Find(QStringLiteral("ChoiceOuterFrame"));
        QCOMPARE(scroll->maximum(), 12); // 14 rows
        scroll->setValue(scroll->maximum());
        // The last row shows whole; what shows below it is less than a row.
        const QRect last = f.w->Grid()->CaptionRect(69).translated(0, f.SrcFrame()->y());
        QVERIFY(last.bottom() < frame->height());
        QVERIFY(frame->height() - last.bottom() < 76);
        QVERIFY(f.w->Grid()->IsLoaded(69));

        f.Select(0, {"Hip"});
        QCOMPARE(f.Ctx().Library.LibraryCount, qint16(9));
        QCOMPARE(scroll->maximum(), 0);
        QCOMPARE(f.SrcFrame()->y(), 0);
    }

    void layoutGrowsWithTheWindow()
    {
        // Never below the layout's own size; one factor for both directions.
        QCOMPARE(LayoutScaleFor({600, 400}, frmExerciseSelection::BaseSize), 1.0);
        QCOMPARE(LayoutScaleFor({1512, 2000}, frmExerciseSelection::BaseSize), 2.0);
        QCOMPARE(LayoutScaleFor({3000, 932}, frmExerciseSelection::BaseSize), 2.0);
        QCOMPARE(Scaled(QRect(8, 16, 465, 197), 1.5), QRect(12, 24, 698, 296));

        Fixture f(Generic(40));
        ChoiceGrid* grid = f.w->Grid();
        f.FillProgram(7);
        f.Find<QScrollBar>(QStringLiteral("VScroll1"))->setValue(2);
        f.w->resize(1512, 1000);
        QCOMPARE(f.w->LayoutScale(), 2.0);
        // Every control at twice its place and size, spare room right and below.
        QCOMPARE(f.Find(QStringLiteral("ChoiceOuterFrame"))->geometry(), QRect(16, 32, 930, 394));
        QCOMPARE(f.Find(QStringLiteral("ViewList_0"))->geometry(), QRect(16, 76, 290, 190));
        QCOMPARE(f.Find(QStringLiteral("cmdOkCancel_0"))->geometry(), QRect(1328, 28, 168, 52));
        QCOMPARE(f.Find(QStringLiteral("cboProvider"))->geometry(), QRect(532, 848, 360, 44));
        QCOMPARE(f.w->font().pixelSize(), 22);
        // Five to a row, whole rows: the scroll position is kept.
        QCOMPARE(grid->PictureRect(6), QRect(36 + 178, 8 + 152, 140, 106));
        QCOMPARE(f.SrcFrame()->y(), -2 * 152);
        QCOMPARE(f.Find<QScrollBar>(QStringLiteral("VScroll1"))->maximum(), 6);
        // Pictures are decoded again at the new size, for the rows in sight.
        QVERIFY(grid->IsLoaded(10) && grid->IsLoaded(24) && !grid->IsLoaded(25) &&
                !grid->IsLoaded(0));
        QCOMPARE(grid->Picture(10).size(), QSize(140, 106) * grid->Picture(10).devicePixelRatio());
        QCOMPARE(f.Slot(6)->geometry(), QRect(2 * 106, 2 * 84, 140, 106));
        QCOMPARE(f.Slot(6)->pixmap().size(), QSize(140, 106));
        QCOMPARE(f.Find(QStringLiteral("TargetFrame"))->y(), -4);
        // The program is shown again, not changed.
        QCOMPARE(f.ProgramIds(), (QList<qint32>{1, 2, 3, 4, 5, 6, 7}));
        // Drags work at the new size.
        f.DragSlotToSlot(0, 6);
        QCOMPARE(f.ProgramIds(), (QList<qint32>{2, 3, 4, 5, 6, 7, 1}));
        f.w->resize(frmExerciseSelection::BaseSize);
        QCOMPARE(f.w->LayoutScale(), 1.0);
        QCOMPARE(f.Find(QStringLiteral("ChoiceOuterFrame"))->geometry(), QRect(8, 16, 465, 197));
    }

    void largeCellsShowThePictureTheIconWasMadeFrom()
    {
        Fixture f(SmallLibrary.mid(0, 3));
        QTemporaryDir pictures;
        f.Ctx().Settings.PictureFolder = pictures.path();
        auto save = [&](const QString& name, QColor colour) {
            QImage image(400, 300, QImage::Format_RGB32);
            image.fill(colour);
            QVERIFY(image.save(pictures.filePath(name), "JPG"));
        };
        // Exercise 1's icon was made from picture 2, exercise 2's from picture 1 (not
        // known: the first); exercise 3 has no pictures and keeps its icon.
        f.Ctx().Library.Entries[0].IconSrc = 2;
        save(PictureFileName(1, 1), Qt::green);
        save(PictureFileName(1, 2), Qt::red);
        save(PictureFileName(2, 1), Qt::blue);
        f.w->resize(1512, 1000);
        ChoiceGrid* grid = f.w->Grid();
        const QPoint middle(70, 53);
        auto colour = [&](const QImage& image) { return image.pixelColor(middle); };
        QCOMPARE(grid->Picture(0).size(), QSize(140, 106));
        QVERIFY(colour(grid->Picture(0)).red() > 200 && colour(grid->Picture(0)).green() < 60);
        QVERIFY(colour(grid->Picture(1)).blue() > 200 && colour(grid->Picture(1)).red() < 60);
        const QColor icon = colour(grid->Picture(2));
        QVERIFY(icon.green() > icon.red() && icon.green() > icon.blue());
        f.DragChoiceToSlot(0, 0);
        QVERIFY(colour(f.Slot(0)->pixmap().toImage()).red() > 200);
        QVERIFY(f.tc.Prompt.Records.isEmpty());
    }

    void missingPictureShowsEmptyCellSilently()
    {
        Fixture f(SmallLibrary, {2});
        ChoiceGrid* grid = f.w->Grid();
        QVERIFY(grid->IsLoaded(1));
        QVERIFY(grid->Picture(1).isNull());
        QCOMPARE(grid->Caption(1), QStringLiteral("Ex02"));
        QVERIFY(!grid->Picture(0).isNull());
        QCOMPARE(grid->Picture(0).size(), QSize(70, 53));
        QVERIFY(grid->CaptionIsBlue(0)); // exercise 1 has a movie
        QVERIFY(!grid->CaptionIsBlue(2));
        f.DragChoiceToSlot(1, 0);
        QVERIFY(f.Slot(0)->pixmap().isNull());
        QCOMPARE(f.Caption(0)->text(), QStringLiteral("Ex02\n10r/2x"));
        QVERIFY(f.tc.Prompt.Records.isEmpty());
    }

    void droppingChoicesInsertsOrAppends()
    {
        // Where an entry lands is tested headless; this proves a drop on a slot's picture
        // reaches the rules and that the slots show what they then hold.
        Fixture f(SmallLibrary);
        f.DragChoiceToSlot(0, 7);
        QCOMPARE(f.ProgramIds(), (QList<qint32>{1}));
        QVERIFY(!f.Slot(0)->pixmap().isNull());
        QCOMPARE(f.Caption(0)->text(), QStringLiteral("Ex01\n10r/5s/2x"));
        QVERIFY(f.Slot(7)->pixmap().isNull());
        f.FillProgram(3);
        f.DragChoiceToSlot(9, 2);
        QCOMPARE(f.ProgramIds(), (QList<qint32>{1, 1, 10, 2, 3}));
        QCOMPARE(f.Caption(3)->text(), QStringLiteral("Ex02\n10r/2x"));
        // A drop on a caption or a number does nothing.
        f.Drag(f.SrcFrame(), f.w->Grid()->PictureRect(0).center(), f.Caption(1), {5, 5});
        f.Drag(f.SrcFrame(), f.w->Grid()->PictureRect(0).center(),
               f.Find(QStringLiteral("NumLabel_1")), {5, 5});
        QCOMPARE(f.Ctx().Program.EntryCount, qint16(5));
    }

    void appendScrollsTheNewRowIntoView()
    {
        Fixture f(SmallLibrary);
        auto* scroll = f.Find<QScrollBar>(QStringLiteral("VScroll2"));
        f.FillProgram(5);
        scroll->setValue(162);
        // Slot 5 is the first of row 1 (top 84): its row goes to the top of the panel. The
        // drop lands on slot 10 (row 2), which is in sight at this scroll position.
        f.DragChoiceToSlot(0, 10);
        QCOMPARE(f.Ctx().Program.EntryCount, qint16(6));
        QCOMPARE(scroll->value(), 82);
        QCOMPARE(f.Find(QStringLiteral("TargetFrame"))->y(), -82);
    }

    void slotDragsFollowTheDragMode()
    {
        // The rules themselves are tested headless; this proves the drags reach them with
        // the mode chosen, and that pictures and captions follow their entries.
        Fixture f(SmallLibrary);
        f.FillProgram(6);
        const QImage second = f.Slot(1)->pixmap().toImage();
        f.DragSlotToSlot(1, 4);
        QCOMPARE(f.ProgramIds(), (QList<qint32>{1, 3, 4, 5, 2, 6}));
        QCOMPARE(f.Caption(4)->text(), QStringLiteral("Ex02\n10r/2x"));
        QCOMPARE(f.Slot(4)->pixmap().toImage(), second);
        // Onto an empty slot: nothing moves.
        f.DragSlotToSlot(2, 8);
        QCOMPARE(f.ProgramIds(), (QList<qint32>{1, 3, 4, 5, 2, 6}));

        QTest::mouseClick(f.Find<QRadioButton>(QStringLiteral("DragModeOp_1")), Qt::LeftButton);
        QVERIFY(f.Ctx().Library.DragMode == DragMode::Replace);
        f.DragSlotToSlot(1, 4);
        QCOMPARE(f.ProgramIds(), (QList<qint32>{1, 2, 4, 5, 3, 6}));
        QCOMPARE(f.Caption(1)->text(), QStringLiteral("Ex02\n10r/2x"));
        QCOMPARE(f.Caption(4)->text(), QStringLiteral("Ex03\n10r/5s/2x"));
        QCOMPARE(f.Slot(1)->pixmap().toImage(), second);
    }

    void fullProgramRefusesNewExercises()
    {
        Fixture f(SmallLibrary);
        QSignalSpy edits(f.w.get(), &frmExerciseSelection::editRequested);
        f.FillProgram(20);
        QCOMPARE(f.Ctx().Program.EntryCount, qint16(20));
        const QList<qint32> full = f.ProgramIds();
        f.DragChoiceToSlot(0, 3);
        QTest::mouseDClick(f.SrcFrame(), Qt::LeftButton, {}, f.w->Grid()->PictureRect(0).center());
        QCOMPARE(f.ProgramIds(), full);
        QCOMPARE(edits.count(), 0);
        QCOMPARE(f.tc.Prompt.Records.size(), 2);
        for (const PromptRecord& r : f.tc.Prompt.Records) {
            QCOMPARE(r.title, QStringLiteral("Exercise list full"));
            QCOMPARE(r.text,
                     QStringLiteral("No room for more exercises.\r\nPlease delete one first."));
            QCOMPARE(r.icon, PromptIcon::Information);
        }
    }

    void deletingSlots()
    {
        Fixture f(SmallLibrary);
        f.FillProgram(4);
        // Pressing a slot selects it; the Delete key removes it and closes the gap.
        QTest::mouseClick(f.Slot(1), Qt::LeftButton);
        QCOMPARE(f.w->SelectedSlot(), 1);
        QTest::keyClick(f.Find(QStringLiteral("TargetFrame")), Qt::Key_Delete);
        QCOMPARE(f.ProgramIds(), (QList<qint32>{1, 3, 4}));
        QVERIFY(f.Caption(3)->text().isEmpty());
        QVERIFY(f.Slot(3)->pixmap().isNull());
        QCOMPARE(f.w->SelectedSlot(), 1);
        f.w->DeleteSelectedEx(2);
        QCOMPARE(f.ProgramIds(), (QList<qint32>{1, 3}));
        // Dropping a slot on the choice panel deletes it; on a choice caption it does not.
        QWidget* grid = f.SrcFrame();
        f.Drag(f.Slot(1), {10, 10}, grid, f.w->Grid()->CaptionRect(2).center());
        QCOMPARE(f.ProgramIds(), (QList<qint32>{1, 3}));
        f.Drag(f.Slot(1), {10, 10}, grid, f.w->Grid()->PictureRect(2).center());
        QCOMPARE(f.ProgramIds(), (QList<qint32>{1}));
    }

    // Ctrl+Z, Ctrl+Y and the two buttons beside OK and Cancel take edits back and do them
    // again; storing or throwing the program away forgets them.
    void undoAndRedoFromKeysAndButtons()
    {
        Fixture f(SmallLibrary);
        auto* undo = f.Find<QPushButton>(QStringLiteral("cmdUndo"));
        auto* redo = f.Find<QPushButton>(QStringLiteral("cmdRedo"));
        QVERIFY(!undo->isEnabled() && !redo->isEnabled());
        QCOMPARE(undo->toolTip(), QStringLiteral("Undo"));
        f.FillProgram(2);
        QTest::mouseClick(f.Slot(0), Qt::LeftButton);
        QTest::keyClick(f.Find(QStringLiteral("TargetFrame")), Qt::Key_Delete);
        QCOMPARE(f.ProgramIds(), (QList<qint32>{2}));
        QVERIFY(undo->isEnabled());
        QCOMPARE(undo->toolTip(), QStringLiteral("Undo Remove Ex01"));

        f.w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.w.get()));
        QWidget* panel = f.Find(QStringLiteral("TargetFrame"));
        panel->setFocus();
        QTest::keyClick(panel, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f.ProgramIds(), (QList<qint32>{1, 2}));
        QCOMPARE(f.Caption(0)->text(), EntryCaption(f.Ctx().Program, 0));
        QVERIFY(!f.Slot(1)->pixmap().isNull());
        QCOMPARE(redo->toolTip(), QStringLiteral("Redo Remove Ex01"));
        QTest::keyClick(panel, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f.ProgramIds(), (QList<qint32>{1}));
        QTest::keyClick(panel, Qt::Key_Y, Qt::ControlModifier);
        QTest::keyClick(panel, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f.ProgramIds(), (QList<qint32>{2}));
        QVERIFY(!redo->isEnabled());

        // New parameters from the parameters dialog, and back by the button.
        ProgramEntry changed = f.Ctx().Program.Entries[0];
        changed.Reps = 25;
        f.w->ChangeEntry(0, changed);
        QCOMPARE(undo->toolTip(), QStringLiteral("Undo Change Ex02"));
        QTest::mouseClick(undo, Qt::LeftButton);
        QCOMPARE(f.Ctx().Program.Entries[0].Reps, qint16(10));
        QCOMPARE(f.Caption(0)->text(), EntryCaption(f.Ctx().Program, 0));

        QTest::mouseClick(f.Find(QStringLiteral("cmdOkCancel_1")), Qt::LeftButton);
        QVERIFY(!undo->isEnabled() && !redo->isEnabled());
        f.w->show();
        f.w->InitExerciseSelection(false);
        f.FillProgram(1);
        QVERIFY(undo->isEnabled());
        QTest::mouseClick(f.Find(QStringLiteral("cmdOkCancel_0")), Qt::LeftButton);
        QVERIFY(!undo->isEnabled());
    }

    void doubleClicksAskForParameters()
    {
        Fixture f(SmallLibrary);
        QSignalSpy edits(f.w.get(), &frmExerciseSelection::editRequested);
        f.FillProgram(2);
        QTest::mouseDClick(f.SrcFrame(), Qt::LeftButton, {}, f.w->Grid()->PictureRect(3).center());
        QTest::mouseDClick(f.Slot(1), Qt::LeftButton);
        QTest::mouseDClick(f.Slot(5), Qt::LeftButton); // empty slot
        QCOMPARE(edits.count(), 2);
        QCOMPARE(edits.at(0), (QVariantList{true, 3}));
        QCOMPARE(edits.at(1), (QVariantList{false, 1}));
    }

    void statusBarNamesTheExerciseUnderThePointer()
    {
        Fixture f(SmallLibrary);
        f.FillProgram(1);
        auto hover = [](QWidget* w, QPoint pos) {
            QMouseEvent move(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(w, &move);
        };
        QStringList& texts = f.tc.MainWindow.StatusTexts;
        texts.clear();
        hover(f.SrcFrame(), f.w->Grid()->PictureRect(2).center());
        QCOMPARE(texts.last(), QStringLiteral("Exercise: Exercise number 3"));
        hover(f.SrcFrame(), f.w->Grid()->CaptionRect(4).center());
        QCOMPARE(texts.last(), QStringLiteral("Exercise: Exercise number 5"));
        hover(f.Caption(0), {5, 5});
        QCOMPARE(texts.last(),
                 QStringLiteral("Exercise: Exercise number 1, 10 reps, 5 sec hold, 2 set"));
        hover(f.Find(QStringLiteral("NumLabel_0")), {2, 2});
        QCOMPARE(texts.last(), QStringLiteral("Status: Ready"));
    }

    void showAllSlidesTheProgramPanel()
    {
        Fixture f(SmallLibrary);
        auto* button = f.Find<QPushButton>(QStringLiteral("ShowAllBtn"));
        QWidget* panel = f.Find(QStringLiteral("SelExOuterFrame"));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(panel->geometry(), QRect(8, 90, 465, 327));
        QCOMPARE(button->text(), QStringLiteral("&Show Choices"));
        QVERIFY(!f.Find(QStringLiteral("cmdOkCancel_0"))->isEnabled());
        QVERIFY(f.Find(QStringLiteral("Frame1"))->isHidden());
        QVERIFY(f.Find(QStringLiteral("VScroll2"))->isHidden());
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(panel->geometry(), QRect(8, 230, 465, 187));
        QCOMPARE(button->text(), QStringLiteral("&Show All"));
        QVERIFY(f.Find(QStringLiteral("cmdOkCancel_0"))->isEnabled());
        QVERIFY(!f.Find(QStringLiteral("ChoiceOuterFrame"))->isHidden());
    }

    void providerIsLimitedToItsColumn()
    {
        Fixture f(SmallLibrary);
        auto* provider = f.Find<QComboBox>(QStringLiteral("cboProvider"));
        provider->lineEdit()->clear();
        QTest::keyClicks(provider->lineEdit(), QString(50, QLatin1Char('p')));
        QCOMPARE(provider->currentText().size(), 40);
    }

    void okSavesAndCancelReloads()
    {
        Fixture f(SmallLibrary);
        AppContext& ctx = f.Ctx();
        QSqlQuery patient = Exec(
            ctx.Db.MainDb(), QStringLiteral("INSERT INTO Patient (FullName) VALUES ('Doe, Jane')"));
        ctx.Program.PatientID = static_cast<qint32>(patient.lastInsertId().toLongLong());
        ctx.Program.PatientName = QStringLiteral("Doe, Jane");
        ctx.Program.SaveAsNew = true;
        f.w->InitExerciseSelection(true);
        f.FillProgram(3);
        f.Find<QComboBox>(QStringLiteral("cboUsage"))->setEditText(QStringLiteral("Home"));
        QTest::mouseClick(f.Find(QStringLiteral("cmdOkCancel_0")), Qt::LeftButton);
        QVERIFY(f.w->isHidden());
        QVERIFY(!ctx.Program.Modified);
        QVERIFY(ctx.Program.InvoiceID.has_value());
        QCOMPARE(f.tc.MainWindow.StatusTexts.last(), QStringLiteral("Program saved for Doe, Jane"));
        QCOMPARE(f.tc.MainWindow.MenuStates.last(), 2);
        QSqlQuery stored =
            Exec(ctx.Db.MainDb(), QStringLiteral("SELECT COUNT(*), MAX(Usage) FROM Exercise "
                                                 "JOIN Invoice USING (InvoiceID)"));
        QVERIFY(stored.next());
        QCOMPARE(stored.value(0).toInt(), 3);
        QCOMPARE(stored.value(1).toString(), QStringLiteral("Home"));
        stored.finish();

        // Edits thrown away by Cancel: the stored program comes back.
        f.w->show();
        f.w->InitExerciseSelection(true);
        QCOMPARE(f.ProgramIds(), (QList<qint32>{1, 2, 3}));
        f.FillProgram(2);
        QCOMPARE(ctx.Program.EntryCount, qint16(5));
        QTest::mouseClick(f.Find(QStringLiteral("cmdOkCancel_1")), Qt::LeftButton);
        QVERIFY(f.w->isHidden());
        QCOMPARE(f.ProgramIds(), (QList<qint32>{1, 2, 3}));
    }

    void failedSaveKeepsTheWindowAndTheEdits()
    {
        Fixture f(SmallLibrary);
        AppContext& ctx = f.Ctx();
        // A patient that is not stored: the save breaks the foreign key.
        ctx.Program.PatientID = 999;
        f.FillProgram(2);
        QTest::mouseClick(f.Find(QStringLiteral("cmdOkCancel_0")), Qt::LeftButton);
        QVERIFY(!f.w->isHidden());
        QCOMPARE(f.ProgramIds(), (QList<qint32>{1, 2}));
        QVERIFY(ctx.Program.Modified);
        QCOMPARE(f.tc.Prompt.Records.size(), 1);
        QCOMPARE(f.tc.Prompt.Records.first().title, QStringLiteral("Error in SaveProgram"));
        QVERIFY(!f.tc.MainWindow.MenuStates.contains(2));
    }

    void clearAndActivationByMode()
    {
        Fixture f(SmallLibrary);
        f.FillProgram(3);
        QTest::mouseClick(f.Find(QStringLiteral("cmdClear")), Qt::LeftButton);
        QCOMPARE(f.Ctx().Program.EntryCount, qint16(0));
        QVERIFY(f.Caption(0)->text().isEmpty());

        f.w->SetSelectionMode(frmExerciseSelection::ModeNewProtocol);
        f.w->Form_Activate();
        QVERIFY(f.Find(QStringLiteral("cboProvider"))->isHidden());
        QVERIFY(f.Find(QStringLiteral("cmdProtocol"))->isHidden());
        QCOMPARE(f.tc.MainWindow.MenuStates.last(), 0);
        QSignalSpy accepted(f.w.get(), &frmExerciseSelection::protocolAccepted);
        QTest::mouseClick(f.Find(QStringLiteral("cmdOkCancel_0")), Qt::LeftButton);
        QCOMPARE(accepted.count(), 1);
        QVERIFY(f.w->isHidden());

        f.w->show();
        f.w->SetSelectionMode(frmExerciseSelection::ModeProgram);
        f.w->Form_Activate();
        QVERIFY(!f.Find(QStringLiteral("cmdProtocol"))->isHidden());
        QCOMPARE(f.tc.MainWindow.ToolbarStates.last(), 3);
        // Protocol does nothing while no protocol list listens.
        QTest::mouseClick(f.Find(QStringLiteral("cmdProtocol")), Qt::LeftButton);
        QVERIFY(!f.w->isHidden());
    }
};

TRAMELLE_TEST_MAIN(TestExerciseSelection)
#include "tst_exerciseselection.moc"
