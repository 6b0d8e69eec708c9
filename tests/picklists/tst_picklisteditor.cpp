// The pick-list editor driven by clicks and keys, storing into a real pick-list file, and
// the menu command refilling the selection window's lists.
#include "DbError.h"
#include "PickListStore.h"
#include "TestMain.h"
#include "TestSupport.h"
#include "frmPicklistEditor.h"
#include "mdiVMR.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>

using namespace tramelle;
using namespace tramelle::test;

namespace {

using Lists = QList<QPair<QString, QStringList>>;

void WriteStore(AppContext& ctx, const Lists& lists)
{
    PickListTree tree;
    for (const auto& [name, entries] : lists) {
        PickListNode& list = tree.AddChild(tree.Root, name, name);
        for (const QString& entry : entries)
            tree.AddChild(list, QString(), entry);
    }
    SavePickListTree(ctx, tree);
}

// The lists (in name order) with their entries in stored order.
Lists ReadStore(AppContext& ctx)
{
    Lists lists;
    for (const PickListNode& list : LoadPickListTree(ctx).Root.Children) {
        lists.append({list.Text, {}});
        for (const PickListNode& entry : list.Children)
            lists.last().second << entry.Text;
    }
    return lists;
}

const Lists Sample = {{"Provider", {"Dr. O'Neil", "Anna Berg, PT"}}, {"Usage", {"Home", "Gym"}}};

// An open editor with both lists expanded (entries sorted: "Anna..", "Dr..."; "Gym", "Home").
struct Editor
{
    QPointer<frmPicklistEditor> Form;
    QTreeWidget* Tree = nullptr;
    QStatusBar* Status = nullptr;

    explicit Editor(AppContext& ctx) : Form(OpenPicklistEditor(ctx, nullptr))
    {
        Tree = Form->findChild<QTreeWidget*>(QStringLiteral("tvwDB"));
        Status = Form->findChild<QStatusBar*>(QStringLiteral("sbrDB"));
        (void)QTest::qWaitForWindowExposed(Form);
        for (int i = 0; i < Root()->childCount(); ++i)
            Tree->expandItem(Root()->child(i));
    }
    ~Editor() { delete Form; }

    QTreeWidgetItem* Root() const { return Tree->topLevelItem(0); }
    QTreeWidgetItem* List(int i) const { return Root()->child(i); }
    QStringList Texts(int list) const
    {
        QStringList texts;
        for (int i = 0; i < List(list)->childCount(); ++i)
            texts << List(list)->child(i)->text(0);
        return texts;
    }
    void Click(QTreeWidgetItem* node) const
    {
        QTest::mouseClick(Tree->viewport(), Qt::LeftButton, {},
                          Tree->visualItemRect(node).center());
    }
    void Press(const char* button) const
    {
        Form->findChild<QPushButton*>(QLatin1String(button))->click();
    }
    QLineEdit* LabelEditor() const
    {
        for (QLineEdit* line : Tree->viewport()->findChildren<QLineEdit*>()) {
            if (line->isVisible()) // closed editors linger until deleted
                return line;
        }
        return nullptr;
    }
    // Enter ends the edit; the view stores the text once events run.
    static void Enter(QLineEdit* line)
    {
        QTest::keyClick(line, Qt::Key_Return);
        QCoreApplication::processEvents();
    }
    // F2 on the current node, the text typed over the label, Enter; false when no edit began.
    bool TypeLabel(const QString& text, const QString& pasted = QString()) const
    {
        QTest::keyClick(Tree, Qt::Key_F2);
        QLineEdit* line = LabelEditor();
        if (!line)
            return false;
        line->selectAll();
        QTest::keyClicks(line, text);
        line->insert(pasted); // key events carry one UTF-16 unit each
        Enter(line);
        return true;
    }
};

} // namespace

class TestPickListEditor : public QObject
{
    Q_OBJECT

private slots:
    void limitsFollowTheListOfTheEditedEntry()
    {
        TestContext t;
        WriteStore(*t, Sample);
        Editor e(*t);
        QCOMPARE(e.Form->windowTitle(), QStringLiteral("Edit Picklists"));
        QCOMPARE(e.Texts(1), (QStringList{"Gym", "Home"}));
        QCOMPARE(e.List(1)->data(0, frmPicklistEditor::ImageRole).toString(),
                 QStringLiteral("open"));
        e.Tree->collapseItem(e.List(1));
        QCOMPARE(e.List(1)->data(0, frmPicklistEditor::ImageRole).toString(),
                 QStringLiteral("closed"));
        e.Tree->expandItem(e.List(1));
        const QString long45(45, u'x');

        // A click in "Provider", then the keyboard down into "Usage": 20 characters.
        e.Click(e.List(0)->child(1));
        QCOMPARE(e.Status->currentMessage(), QStringLiteral("Picklist\\Provider\\Dr. O'Neil"));
        QTest::keyClick(e.Tree, Qt::Key_Down);
        QTest::keyClick(e.Tree, Qt::Key_Down);
        QVERIFY(e.TypeLabel(long45));
        QCOMPARE(e.Texts(1).first(), QString(20, u'x'));
        // A click in "Usage", then up into "Provider": 40 characters.
        e.Click(e.List(1)->child(0));
        QTest::keyClick(e.Tree, Qt::Key_Up);
        QTest::keyClick(e.Tree, Qt::Key_Up);
        QVERIFY(e.TypeLabel(long45));
        QCOMPARE(e.Texts(0).last(), QString(40, u'x'));
        // A character outside the basic plane counts once and is never split.
        const QString smile = QStringLiteral("\U0001F600");
        e.Click(e.List(1)->child(1));
        QVERIFY(e.TypeLabel(QString(19, u'y'), smile + QStringLiteral("zz")));

        e.Press("cmdOKCancel_0");
        QCOMPARE(ReadStore(*t).at(1).second,
                 (QStringList{QString(20, u'x'), QString(19, u'y') + smile}));
    }

    void editsAreTrimmedAndEmptyOrDuplicateTextsKeepTheOld()
    {
        TestContext t;
        WriteStore(*t, Sample);
        Editor e(*t);
        QTreeWidgetItem* home = e.List(1)->child(1);
        e.Click(home);
        QVERIFY(e.TypeLabel(QStringLiteral("   ")));
        QCOMPARE(home->text(0), QStringLiteral("Home"));
        QVERIFY(e.TypeLabel(QStringLiteral(" gym ")));
        QCOMPARE(home->text(0), QStringLiteral("Home"));
        QCOMPARE(e.Status->currentMessage(),
                 QStringLiteral("An entry of that name is already in the list"));
        QVERIFY(e.TypeLabel(QStringLiteral("  Pool side  ")));
        QCOMPARE(home->text(0), QStringLiteral("Pool side"));
        // The same text in another list is no duplicate.
        e.Click(e.List(0)->child(0));
        QVERIFY(e.TypeLabel(QStringLiteral("Gym")));
        QCOMPARE(e.Texts(0).first(), QStringLiteral("Gym"));
    }

    void addTwiceAfterOneEntryStoresBothAndOnlyEntriesChange()
    {
        TestContext t;
        WriteStore(*t, Sample);
        Editor e(*t);
        for (int i = 0; i < 2; ++i) {
            e.Click(e.List(1)->child(0)); // "Gym"
            e.Press("cmdAdd");
            // The new entry is selected with its label open for typing.
            QCOMPARE(e.Tree->currentItem(), e.List(1)->child(1));
            QVERIFY(e.LabelEditor());
            QCOMPARE(e.LabelEditor()->text(), QStringLiteral("Enter Name"));
            QTest::keyClick(e.LabelEditor(), Qt::Key_Escape);
        }
        QCOMPARE(e.Texts(1), (QStringList{"Gym", "Enter Name", "Enter Name", "Home"}));
        // On a list the new entry goes last.
        e.Click(e.List(0));
        e.Press("cmdAdd");
        QTest::keyClicks(e.LabelEditor(), QStringLiteral("Zoe Quist"));
        Editor::Enter(e.LabelEditor());
        QCOMPARE(e.Texts(0).last(), QStringLiteral("Zoe Quist"));

        // Nothing is added under the root; the root and the lists are not deleted or edited.
        for (QTreeWidgetItem* node : {e.Root(), e.List(0)}) {
            e.Click(node);
            if (node == e.Root())
                e.Press("cmdAdd");
            e.Press("cmdDelete");
            QVERIFY(!e.TypeLabel(QStringLiteral("Renamed")));
        }
        QCOMPARE(e.Root()->childCount(), 2);
        QCOMPARE(e.List(0)->text(0), QStringLiteral("Provider"));
        QCOMPARE(e.Texts(0).size(), 3);
        e.Click(e.List(1)->child(3));
        e.Press("cmdDelete");

        int saved = 0;
        connect(e.Form, &frmPicklistEditor::pickListsSaved, this, [&saved] { ++saved; });
        e.Press("cmdOKCancel_0");
        QCOMPARE(saved, 1);
        QTRY_VERIFY(!e.Form);
        QCOMPARE(ReadStore(*t), (Lists{{"Provider", {"Anna Berg, PT", "Dr. O'Neil", "Zoe Quist"}},
                                       {"Usage", {"Gym", "Enter Name", "Enter Name"}}}));
    }

    void cancelEscapeAndTheFrameDiscard()
    {
        TestContext t;
        WriteStore(*t, Sample);
        for (int how = 0; how < 3; ++how) {
            Editor e(*t);
            e.Click(e.List(1)->child(0));
            e.Press("cmdDelete");
            QVERIFY(e.TypeLabel(QStringLiteral("Changed")));
            if (how == 0)
                e.Press("cmdOKCancel_1");
            else if (how == 1)
                e.Form->close();
            else
                QTest::keyClick(e.Tree, Qt::Key_Escape);
            QTRY_VERIFY(!e.Form);
            QCOMPARE(ReadStore(*t), Sample);
        }
    }

    void aRoundTripKeepsEveryListAndEntry()
    {
        TestContext t;
        const Lists lists = {{"Clinic's own", {}},
                             {"Provider", {"Çelik, Ümit", "Dr. O'Neil", "Zoë Ångström"}},
                             {"Usage", {"l'après-midi", "Übungen zu Hause"}}};
        WriteStore(*t, lists);
        Editor e(*t); // sorts as the language does: "Ç" with "C", "Ü" with "U"
        e.Press("cmdOKCancel_0");
        QCOMPARE(ReadStore(*t), lists);
    }

    void aFailedSaveKeepsTheWindowAndTheStore()
    {
        TestContext t;
        WriteStore(*t, Sample);
        Exec(t->Db.PicklistDb(),
             QStringLiteral("CREATE TRIGGER full BEFORE INSERT ON Level1 "
                            "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END"));
        Editor e(*t);
        e.Click(e.List(1)->child(0));
        QVERIFY(e.TypeLabel(QStringLiteral("Pool")));
        e.Press("cmdOKCancel_0");
        QCOMPARE(t.Prompt.Records.size(), 1);
        QCOMPARE(t.Prompt.Records[0].title, QStringLiteral("Edit Picklists"));
        QVERIFY(t.Prompt.Records[0].text.contains(QStringLiteral("database or disk is full")));
        QVERIFY(e.Form && e.Form->isVisible());
        QCOMPARE(ReadStore(*t), Sample);

        Exec(t->Db.PicklistDb(), QStringLiteral("DROP TRIGGER full"));
        e.Press("cmdOKCancel_0");
        QTRY_VERIFY(!e.Form);
        QCOMPARE(ReadStore(*t).at(1).second, (QStringList{"Pool", "Home"}));
    }

    void menuCommandOpensOneEditorAndRefillsTheSelectionLists()
    {
        TestContext t;
        WriteStore(*t, Sample);
        mdiVMR w(*t);
        w.show();
        QVERIFY(w.CreateSelectionWindow());
        auto* provider = w.SelectionWindow()->findChild<QComboBox*>(QStringLiteral("cboProvider"));
        provider->setEditText(QStringLiteral("Typed by hand"));

        auto* command = w.findChild<QAction*>(QStringLiteral("mnuEditPicklist"));
        command->trigger();
        command->trigger();
        QCOMPARE(w.findChildren<frmPicklistEditor*>().size(), 1);
        auto* editor = w.findChild<frmPicklistEditor*>();
        QVERIFY(editor->isVisible() && !editor->isModal());
        auto* tree = editor->findChild<QTreeWidget*>(QStringLiteral("tvwDB"));
        tree->setCurrentItem(tree->topLevelItem(0)->child(0));
        editor->findChild<QPushButton*>(QStringLiteral("cmdAdd"))->click();
        // "OK" while the label is still open stores what it shows.
        QTest::keyClicks(tree->viewport()->findChild<QLineEdit*>(), QStringLiteral("New Provider"));
        editor->findChild<QPushButton*>(QStringLiteral("cmdOKCancel_0"))->click();

        QCOMPARE(provider->count(), 3);
        QCOMPARE(provider->itemText(2), QStringLiteral("New Provider"));
        QCOMPARE(provider->currentText(), QStringLiteral("Typed by hand"));
    }
};

TRAMELLE_TEST_MAIN(TestPickListEditor)
#include "tst_picklisteditor.moc"
