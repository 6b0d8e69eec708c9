#include "AppContext.h"
#include "DbError.h"
#include "PickListCombo.h"
#include "PickListStore.h"
#include "TestMain.h"
#include "TestSupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTest>

using namespace tramelle;
using namespace tramelle::test;

namespace {

// Replaces the store of the test's files: lists with their entries, IDs in this order.
void FillStore(AppContext& ctx, const QList<QPair<QString, QStringList>>& lists)
{
    const QSqlDatabase db = ctx.Db.PicklistDb();
    Exec(db, QStringLiteral("DELETE FROM Level1"));
    Exec(db, QStringLiteral("DELETE FROM Label"));
    int id = 100;
    for (const auto& [name, entries] : lists) {
        const int labelId = id++;
        Exec(db, QStringLiteral("INSERT INTO Label (ID, Name) VALUES (?, ?)"), {labelId, name});
        for (const QString& entry : entries)
            Exec(db, QStringLiteral("INSERT INTO Level1 (ID, LabelID, Name) VALUES (?, ?, ?)"),
                 {id++, labelId, entry});
    }
}

// The store as "list: entry, entry" lines, lists and entries in stored order.
QStringList Store(AppContext& ctx)
{
    QStringList lines;
    QSqlQuery lists =
        Exec(ctx.Db.PicklistDb(), QStringLiteral("SELECT Name FROM Label ORDER BY Name"));
    while (lists.next()) {
        const QString name = lists.value(0).toString();
        lines << name + QStringLiteral(": ") +
                     PickListEntries(ctx, name).join(QStringLiteral(", "));
    }
    return lines;
}

const QList<QPair<QString, QStringList>> Sample = {
    {QStringLiteral("Usage"), {QStringLiteral("Home"), QStringLiteral("Gym")}},
    {QStringLiteral("Provider"), {QStringLiteral("Dr. O'Neil"), QStringLiteral("Anna Berg, PT")}},
    {QStringLiteral("Clinic's own"), {}},
};

} // namespace

class TestPickLists : public QObject
{
    Q_OBJECT

private slots:
    void entriesOfANamedList()
    {
        TestContext t;
        FillStore(*t, Sample);
        QCOMPARE(PickListEntries(*t, QStringLiteral("Provider")),
                 (QStringList{"Dr. O'Neil", "Anna Berg, PT"}));
        QCOMPARE(PickListEntries(*t, QStringLiteral("Clinic's own")), QStringList());
        QCOMPARE(PickListEntries(*t, QStringLiteral("No such list")), QStringList());

        QComboBox combo;
        combo.addItem(QStringLiteral("stale"));
        FillPickListCombo(*t, &combo, QStringLiteral("Usage"));
        QCOMPARE(combo.count(), 2);
        QCOMPARE(combo.itemText(1), QStringLiteral("Gym"));
        FillPickListCombo(*t, &combo, QStringLiteral("Missing"));
        QCOMPARE(combo.count(), 0);
    }

    // The provider box and its column agree: a limit set on the box counts characters, so
    // a provider of emoji is kept as long as the column takes it, never cut in half.
    void comboLimitCountsAsTheColumnDoes()
    {
        TestContext t;
        FillStore(*t, Sample);
        QComboBox combo;
        combo.setEditable(true);
        combo.lineEdit()->setMaxLength(40);
        FillPickListCombo(*t, &combo, QStringLiteral("Provider"));
        FillPickListCombo(*t, &combo, QStringLiteral("Provider")); // a refill keeps the limit
        const QString grin = QStringLiteral("\U0001F600");
        combo.lineEdit()->insert(grin.repeated(30));
        QCOMPARE(combo.currentText(), grin.repeated(30));
        combo.lineEdit()->insert(grin.repeated(15));
        QCOMPARE(combo.currentText(), grin.repeated(40));
        QTest::keyClicks(combo.lineEdit(), QStringLiteral("x"));
        QCOMPARE(combo.currentText(), grin.repeated(40));
    }

    void treeHoldsListsSortedWithKeyedEntries()
    {
        TestContext t;
        FillStore(*t, Sample);
        const PickListTree tree = LoadPickListTree(*t);
        QCOMPARE(tree.Root.Key, QStringLiteral("Picklist"));
        QCOMPARE(tree.Root.Children.size(), size_t(3));
        QCOMPARE(tree.Root.Children[0].Text, QStringLiteral("Clinic's own"));
        QCOMPARE(tree.Root.Children[1].Key, QStringLiteral("Provider"));
        QCOMPARE(tree.Root.Children[2].Text, QStringLiteral("Usage"));
        QVERIFY(tree.Root.Children[0].Children.empty());
        const PickListNode& provider = tree.Root.Children[1];
        QCOMPARE(provider.Children.size(), size_t(2));
        QCOMPARE(provider.Children[0].Text, QStringLiteral("Dr. O'Neil"));
        QVERIFY(provider.Children[0].Key.startsWith(QLatin1Char('B')));
        // Every index is unique in the tree.
        QSet<int> indexes{tree.Root.Index};
        int nodes = 1;
        for (const PickListNode& list : tree.Root.Children) {
            indexes << list.Index;
            ++nodes;
            for (const PickListNode& entry : list.Children) {
                indexes << entry.Index;
                ++nodes;
            }
        }
        QCOMPARE(indexes.size(), nodes);
    }

    void listNamesIgnoreLetterCaseAndStayUnique()
    {
        TestContext t;
        FillStore(*t, {{QStringLiteral("Équilibre"), {QStringLiteral("Balance board")}},
                       {QStringLiteral("équilibre"), {QStringLiteral("Foam pad")}},
                       {QStringLiteral("Usage"), {QStringLiteral("Home")}}});
        // The first list of the name, letter case ignored beyond ASCII too.
        QCOMPARE(PickListEntries(*t, QStringLiteral("ÉQUILIBRE")), QStringList{"Balance board"});
        QCOMPARE(PickListEntries(*t, QStringLiteral("usage")), QStringList{"Home"});
        // Each list keeps its own entries in the tree, not the first list of its name.
        PickListTree tree = LoadPickListTree(*t);
        QCOMPARE(tree.Root.Children.size(), size_t(3));
        for (const PickListNode& list : tree.Root.Children)
            QCOMPARE(list.Children.size(), size_t(1));
        QCOMPARE(tree.FindListByName(QStringLiteral("USAGE"))->Text, QStringLiteral("Usage"));
        // Saving two lists of one name is refused, and the store is left as it was.
        const QStringList before = Store(*t);
        QVERIFY_THROWS_EXCEPTION(DbError, SavePickListTree(*t, tree));
        QCOMPARE(Store(*t), before);
    }

    void loadAndSaveKeepTheStore()
    {
        TestContext t;
        FillStore(*t, Sample);
        const QStringList before = Store(*t);
        SavePickListTree(*t, LoadPickListTree(*t));
        QCOMPARE(Store(*t), before);
        QCOMPARE(PickListEntries(*t, QStringLiteral("Provider")),
                 (QStringList{"Dr. O'Neil", "Anna Berg, PT"}));

        // An edited tree: a new list and a new entry without a key.
        PickListTree tree = LoadPickListTree(*t);
        PickListNode& added = tree.AddChild(tree.Root, QStringLiteral("Exercise Area"),
                                            QStringLiteral("Exercise Area"));
        tree.AddChild(added, QString(), QStringLiteral("Pool"));
        tree.AddChild(*tree.FindList(QStringLiteral("Usage")), QString(), QStringLiteral("Clinic"));
        SavePickListTree(*t, tree);
        QCOMPARE(PickListEntries(*t, QStringLiteral("Exercise Area")), QStringList{"Pool"});
        QCOMPARE(PickListEntries(*t, QStringLiteral("Usage")),
                 (QStringList{"Home", "Gym", "Clinic"}));
    }

    void failedSaveKeepsTheOldLists()
    {
        TestContext t;
        FillStore(*t, Sample);
        const QStringList before = Store(*t);
        PickListTree tree = LoadPickListTree(*t);
        tree.AddChild(*tree.FindList(QStringLiteral("Usage")), QString(),
                      QString(41, QLatin1Char('x')));
        QVERIFY_THROWS_EXCEPTION(DbError, SavePickListTree(*t, tree));
        QCOMPARE(Store(*t), before);

        // An index beyond 16 bits is refused before anything is lost.
        tree = LoadPickListTree(*t);
        tree.LastIndex = 32767;
        tree.AddChild(tree.Root, QStringLiteral("Overflow"), QStringLiteral("Overflow"));
        QVERIFY_THROWS_EXCEPTION(DbError, SavePickListTree(*t, tree));
        QCOMPARE(Store(*t), before);
    }

    void emptyTreeEmptiesTheStore()
    {
        TestContext t;
        FillStore(*t, Sample);
        SavePickListTree(*t, PickListTree{});
        QCOMPARE(Store(*t), QStringList());
        QCOMPARE(LoadPickListTree(*t).Root.Children.size(), size_t(0));
    }
};

TRAMELLE_TEST_MAIN(TestPickLists)
#include "tst_picklists.moc"
