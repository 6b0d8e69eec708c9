#include "PickListStore.h"

#include "AppContext.h"
#include "DbError.h"
#include "TextHelpers.h"
#include "Transaction.h"

#include <QSqlQuery>
#include <algorithm>
#include <limits>

namespace tramelle {

namespace {

// The node's index as a 16-bit ID (bound as int: the driver would bind a short as text).
int NodeId(const PickListNode& node)
{
    if (node.Index < 1 || node.Index > std::numeric_limits<qint16>::max())
        throw DbError(QStringLiteral("Overflow: the pick-list node index %1 does not fit a 16-bit ID").arg(node.Index));
    return node.Index;
}

// Writes the entries of one list node.
void SavePickListEntries(QSqlQuery& insert, const PickListNode& list)
{
    const int labelId = NodeId(list);
    for (const PickListNode& entry : list.Children) {
        insert.bindValue(0, NodeId(entry));
        insert.bindValue(1, labelId);
        insert.bindValue(2, entry.Text);
        ThrowIfFailed(insert, insert.exec());
    }
}

} // namespace

PickListNode& PickListTree::AddChild(PickListNode& parent, const QString& key, const QString& text)
{
    PickListNode node{++LastIndex, key, text, {}};
    auto& children = parent.Children;
    auto at = children.end();
    if (&parent == &Root) {
        at = std::upper_bound(children.begin(), children.end(), text, [](const QString& t, const PickListNode& n) {
            return QString::compare(t, n.Text, Qt::CaseInsensitive) < 0;
        });
    }
    return *children.insert(at, std::move(node));
}

PickListNode* PickListTree::FindList(const QString& key)
{
    for (PickListNode& list : Root.Children) {
        if (list.Key == key)
            return &list;
    }
    return nullptr;
}

QStringList PickListEntries(AppContext& ctx, const QString& listName)
{
    QSqlQuery q = Exec(ctx.Db.PicklistDb(),
                       QStringLiteral("SELECT Level1.Name FROM Label INNER JOIN Level1 ON Label.ID = Level1.LabelID "
                                      "WHERE Label.Name = ? ORDER BY Level1.ID"),
                       {listName});
    QStringList entries;
    while (q.next())
        entries << NullToText(q.value(0));
    ThrowIfFailed(q.lastError());
    return entries;
}

PickListTree LoadPickListTree(AppContext& ctx)
{
    const QSqlDatabase db = ctx.Db.PicklistDb();
    PickListTree tree;
    {
        QSqlQuery lists = Exec(db, QStringLiteral("SELECT Name FROM Label ORDER BY ID"));
        while (lists.next()) {
            const QString name = NullToText(lists.value(0));
            tree.AddChild(tree.Root, name, name);
        }
        ThrowIfFailed(lists.lastError());
    }
    QSqlQuery entries = Exec(db, QStringLiteral("SELECT Level1.ID, Level1.Name, Label.Name AS lblname "
                                                "FROM Label INNER JOIN Level1 ON Label.ID = Level1.LabelID "
                                                "ORDER BY Level1.ID"));
    while (entries.next()) {
        if (PickListNode* list = tree.FindList(NullToText(entries.value(2))))
            tree.AddChild(*list, QStringLiteral("B") + entries.value(0).toString(), NullToText(entries.value(1)));
    }
    ThrowIfFailed(entries.lastError());
    return tree;
}

void SavePickListTree(AppContext& ctx, const PickListTree& tree)
{
    const QSqlDatabase db = ctx.Db.PicklistDb();
    Transaction transaction(db);
    // Entries without a list go too: the store becomes exactly the tree.
    Exec(db, QStringLiteral("DELETE FROM Level1"));
    Exec(db, QStringLiteral("DELETE FROM Label"));
    QSqlQuery label(db);
    ThrowIfFailed(label, label.prepare(QStringLiteral("INSERT INTO Label (ID, Name) VALUES (?, ?)")));
    QSqlQuery entry(db);
    ThrowIfFailed(entry, entry.prepare(QStringLiteral("INSERT INTO Level1 (ID, LabelID, Name) VALUES (?, ?, ?)")));
    for (const PickListNode& list : tree.Root.Children) {
        label.bindValue(0, NodeId(list));
        label.bindValue(1, list.Text);
        ThrowIfFailed(label, label.exec());
        SavePickListEntries(entry, list);
    }
    transaction.Commit();
}

} // namespace tramelle
