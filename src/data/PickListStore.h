#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace tramelle {

class AppContext;

// One node of the pick-list tree: the root "Picklist", a list, or an entry of a list.
// Index is unique within the tree; saving writes it as the new ID of the row.
struct PickListNode
{
    int Index = 0;
    QString Key;  // "Picklist"; the list's name; "B" and the entry's ID (empty for new entries)
    QString Text; // what the tree shows: the root's, list's or entry's name
    std::vector<PickListNode> Children;
};

// The whole store as a tree: the root's children are the lists (kept sorted by text),
// their children the entries.
struct PickListTree
{
    PickListNode Root{1, QStringLiteral("Picklist"), QStringLiteral("Picklist"), {}};
    int LastIndex = 1;

    // Adds a child with the next free index and returns it. Adding to the root keeps the
    // lists sorted by text (letter case ignored). The reference is valid until the next
    // change of the parent's children.
    PickListNode& AddChild(PickListNode& parent, const QString& key, const QString& text);
    // The list node whose key is `key`, or nullptr.
    PickListNode* FindList(const QString& key);
    // The first list named `name`, letter case ignored, or nullptr.
    PickListNode* FindListByName(const QString& name);
};

// The entries of the list named `listName` (letter case ignored; the first such list), in
// stored order; empty when no list has that name. Throws DbError.
QStringList PickListEntries(AppContext& ctx, const QString& listName);

// The whole store as a tree. Throws DbError.
PickListTree LoadPickListTree(AppContext& ctx);

// Replaces the whole store by the tree, in one transaction: on failure the store keeps
// its old lists. Node indexes become the IDs and must fit 16 bits; two lists of one name
// (letter case ignored) are refused. Throws DbError.
void SavePickListTree(AppContext& ctx, const PickListTree& tree);

} // namespace tramelle
