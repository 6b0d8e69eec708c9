#include "PickListStore.h"

#include "AppContext.h"
#include "DbError.h"
#include "TextHelpers.h"
#include "Transaction.h"

#include <QCoreApplication>
#include <QHash>
#include <QSqlQuery>
#include <algorithm>
#include <limits>
#include <optional>

namespace tramelle {

namespace {

// The messages of this file, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(tramelle::PickListStore)
};

// The node's index as a 16-bit ID (bound as int: the driver would bind a short as text).
int NodeId(const PickListNode& node)
{
    if (node.Index < 1 || node.Index > std::numeric_limits<qint16>::max())
        throw DbError(Texts::tr("Overflow: the pick-list node index %1 does not fit a 16-bit ID")
                          .arg(node.Index));
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
        at = std::upper_bound(children.begin(), children.end(), text,
                              [](const QString& t, const PickListNode& n) {
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

PickListNode* PickListTree::FindListByName(const QString& name)
{
    for (PickListNode& list : Root.Children) {
        if (QString::compare(list.Text, name, Qt::CaseInsensitive) == 0)
            return &list;
    }
    return nullptr;
}

QStringList PickListEntries(AppContext& ctx, const QString& listName)
{
    const QSqlDatabase db = ctx.Db.PicklistDb();
    // The engine folds the case of ASCII letters only: the name is compared here.
    std::optional<qint64> labelId;
    {
        QSqlQuery labels = Exec(db, QStringLiteral("SELECT ID, Name FROM Label ORDER BY ID"));
        while (!labelId && labels.next()) {
            if (QString::compare(NullToText(labels.value(1)), listName, Qt::CaseInsensitive) == 0)
                labelId = labels.value(0).toLongLong();
        }
        ThrowIfFailed(labels.lastError());
    }
    QStringList entries;
    if (!labelId)
        return entries;
    QSqlQuery q = Exec(db, QStringLiteral("SELECT Name FROM Level1 WHERE LabelID = ? ORDER BY ID"),
                       {*labelId});
    while (q.next())
        entries << NullToText(q.value(0));
    ThrowIfFailed(q.lastError());
    return entries;
}

PickListTree LoadPickListTree(AppContext& ctx)
{
    const QSqlDatabase db = ctx.Db.PicklistDb();
    PickListTree tree;
    QHash<qint64, int> nodeOfLabel; // Label.ID -> index of its list node
    {
        QSqlQuery lists = Exec(db, QStringLiteral("SELECT ID, Name FROM Label ORDER BY ID"));
        while (lists.next()) {
            const QString name = NullToText(lists.value(1));
            nodeOfLabel.insert(lists.value(0).toLongLong(),
                               tree.AddChild(tree.Root, name, name).Index);
        }
        ThrowIfFailed(lists.lastError());
    }
    // Entries belong to their own list, also when another list has the same name.
    QSqlQuery entries =
        Exec(db, QStringLiteral("SELECT ID, Name, LabelID FROM Level1 ORDER BY ID"));
    while (entries.next()) {
        const auto node = nodeOfLabel.constFind(entries.value(2).toLongLong());
        if (entries.value(2).isNull() || node == nodeOfLabel.cend())
            continue;
        auto list = std::find_if(tree.Root.Children.begin(), tree.Root.Children.end(),
                                 [&](const PickListNode& n) { return n.Index == *node; });
        tree.AddChild(*list, QStringLiteral("B") + entries.value(0).toString(),
                      NullToText(entries.value(1)));
    }
    ThrowIfFailed(entries.lastError());
    return tree;
}

void SavePickListTree(AppContext& ctx, const PickListTree& tree)
{
    // The lists are found by name: two of one name (letter case ignored) are refused.
    for (auto a = tree.Root.Children.begin(); a != tree.Root.Children.end(); ++a) {
        for (auto b = std::next(a); b != tree.Root.Children.end(); ++b) {
            if (QString::compare(a->Text, b->Text, Qt::CaseInsensitive) == 0)
                throw DbError(QCoreApplication::translate(
                                  "PickListStore",
                                  "Two pick lists are named \"%1\": a list name must be unique.")
                                  .arg(b->Text));
        }
    }
    const QSqlDatabase db = ctx.Db.PicklistDb();
    Transaction transaction(db);
    // Entries without a list go too: the store becomes exactly the tree.
    Exec(db, QStringLiteral("DELETE FROM Level1"));
    Exec(db, QStringLiteral("DELETE FROM Label"));
    QSqlQuery label(db);
    ThrowIfFailed(label,
                  label.prepare(QStringLiteral("INSERT INTO Label (ID, Name) VALUES (?, ?)")));
    QSqlQuery entry(db);
    ThrowIfFailed(entry, entry.prepare(QStringLiteral(
                             "INSERT INTO Level1 (ID, LabelID, Name) VALUES (?, ?, ?)")));
    for (const PickListNode& list : tree.Root.Children) {
        label.bindValue(0, NodeId(list));
        label.bindValue(1, list.Text);
        ThrowIfFailed(label, label.exec());
        SavePickListEntries(entry, list);
    }
    transaction.Commit();
}

} // namespace tramelle
