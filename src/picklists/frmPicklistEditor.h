#pragma once

#include "ButtonArray.h"

#include <QDialog>
#include <QHash>
#include <QIcon>
#include <QList>
#include <functional>

class QAbstractItemDelegate;
class QPushButton;
class QStatusBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace tramelle {

class AppContext;
struct PickListTree;

// "Edit Picklists": the pick lists as a tree (root, lists, entries). Entries can be
// added, renamed and deleted; the root and the lists cannot. Nothing is stored before
// "OK", which replaces the whole store by the tree in one transaction.
class frmPicklistEditor : public QDialog
{
    Q_OBJECT

public:
    // Item data: the node's key ("Picklist", a list's name, "B" and the entry's ID; empty
    // for new entries) and the key of its image ("closed", "open").
    static constexpr int KeyRole = Qt::UserRole;
    static constexpr int ImageRole = Qt::UserRole + 1;

    frmPicklistEditor(AppContext& ctx, QWidget* parent);

    // False when the store could not be read: the window must not be used.
    bool Loaded() const { return m_loaded; }

    // True for entry nodes (a node with a parent and a grandparent).
    static bool EditablePicklist(const QTreeWidgetItem* node);
    // The node's texts joined by "\", from "Picklist" down.
    static QString FullPath(const QTreeWidgetItem* node);
    // The most characters an entry of this entry's list may hold.
    static int EntryLimit(const QTreeWidgetItem* entry);

    // The label edit of `entry` ended with `text`: the text it keeps (the old one when
    // refused). Sets the status bar when a duplicate is refused.
    QString AcceptEntryText(const QTreeWidgetItem* entry, const QString& text);

    // The tree as it stands, numbered afresh in its order.
    PickListTree CurrentTree() const;

signals:
    // "OK" stored the tree.
    void pickListsSaved();

public slots:
    void reject() override; // Escape and the window frame act as "Cancel"

private:
    void LoadTree();
    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, int at, const QString& key,
                             const QString& text);
    void SetImage(QTreeWidgetItem* node, const QString& image);
    void SortChildren(QTreeWidgetItem* node);
    void tvwDB_NodeClick(QTreeWidgetItem* node);
    void cmdAdd_Click();
    void cmdDelete_Click();
    void cmdOKCancel_Click(OkCancelButton button);

    AppContext& m_ctx;
    bool m_loaded = false;
    QHash<QString, QIcon> imlSmallIcons;
    QAbstractItemDelegate* m_delegate = nullptr;

    QTreeWidget* tvwDB;
    QStatusBar* sbrDB;
    QPushButton* cmdAdd;
    QPushButton* cmdDelete;
    QList<QPushButton*> cmdOKCancel;
};

// Entry point of the menu command "Pick&list Editor": shows "Edit Picklists" without
// blocking (a top-level dialog over `parent`), or raises the one already open. `saved`
// runs after each successful "OK" of a window opened here. Returns nullptr when the
// store cannot be read (the message has been shown).
frmPicklistEditor* OpenPicklistEditor(AppContext& ctx, QWidget* parent,
                                      std::function<void()> saved = {});

} // namespace tramelle
