#include "frmPicklistEditor.h"

#include "AppContext.h"
#include "DbError.h"
#include "DeliveredData.h"
#include "PickListStore.h"
#include "SingleWindow.h"
#include "WindowServices.h"

#include <QBoxLayout>
#include <QCollator>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <algorithm>

namespace tramelle {

namespace {

const QString RootKey = QStringLiteral("Picklist");
const QString ProviderList = QStringLiteral("Provider");

// The first `max` characters of a text as the store counts them (a character outside the
// basic plane is one character and is never split). Every cut of an entry goes through
// here.
QString CutToStoredLength(const QString& text, int max)
{
    qsizetype end = 0;
    for (int count = 0; end < text.size() && count < max; ++count) {
        const bool pair = text.at(end).isHighSurrogate() && end + 1 < text.size() &&
                          text.at(end + 1).isLowSurrogate();
        end += pair ? 2 : 1;
    }
    return text.left(end);
}

// The node images: a folder, closed or open.
QPixmap FolderImage(bool open)
{
    QPixmap image(16, 16);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0x9a, 0x74, 0x20));
    p.setBrush(QColor(0xe0, 0xac, 0x3c));
    p.drawRect(QRectF(1.5, 2.5, 6, 3));
    p.drawRect(QRectF(1.5, 4.5, 13, 9));
    if (open) {
        p.setBrush(QColor(0xf8, 0xd8, 0x80));
        p.drawPolygon(QPolygonF{{4.5, 7.5}, {15.5, 7.5}, {13.5, 13.5}, {1.5, 13.5}});
    }
    return image;
}

// Ends a label edit through the window's rules instead of writing the typed text as is.
class EntryDelegate : public QStyledItemDelegate
{
public:
    EntryDelegate(frmPicklistEditor* form, QTreeWidget* tree)
        : QStyledItemDelegate(tree), m_form(form), m_tree(tree)
    {
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        m_editor = QStyledItemDelegate::createEditor(parent, option, index);
        return m_editor;
    }

    // Ends an open label edit as Enter would, so what is shown is what gets stored.
    void FinishEdit()
    {
        if (QWidget* editor = m_editor.data(); editor && editor->isVisible()) {
            emit commitData(editor);
            emit closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override
    {
        auto* line = qobject_cast<QLineEdit*>(editor);
        QTreeWidgetItem* node = m_tree->itemFromIndex(index);
        if (!line || !node) {
            QStyledItemDelegate::setModelData(editor, model, index);
            return;
        }
        const QString text = m_form->AcceptEntryText(node, line->text());
        if (text != node->text(0))
            node->setText(0, text);
    }

private:
    frmPicklistEditor* m_form;
    QTreeWidget* m_tree;
    mutable QPointer<QWidget> m_editor;
};

} // namespace

frmPicklistEditor* OpenPicklistEditor(AppContext& ctx, QWidget* parent, std::function<void()> saved)
{
    if (auto* open = RaiseOpenWindow<frmPicklistEditor>(parent))
        return open;
    auto* editor = new frmPicklistEditor(ctx, parent);
    if (!editor->Loaded()) {
        delete editor;
        return nullptr;
    }
    if (saved)
        QObject::connect(editor, &frmPicklistEditor::pickListsSaved, editor, std::move(saved));
    editor->show();
    return editor;
}

frmPicklistEditor::frmPicklistEditor(AppContext& ctx, QWidget* parent) : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmPicklistEditor"));
    setWindowTitle(tr("Edit Picklists"));
    connect(this, &QDialog::finished, this, &QObject::deleteLater);

    // A collapsed node shows "closed", an expanded or selected one "open".
    const QPixmap closed = FolderImage(false);
    const QPixmap open = FolderImage(true);
    QIcon closedIcon(closed);
    closedIcon.addPixmap(open, QIcon::Selected);
    imlSmallIcons.insert(QStringLiteral("closed"), closedIcon);
    imlSmallIcons.insert(QStringLiteral("open"), QIcon(open));

    tvwDB = new QTreeWidget(this);
    tvwDB->setObjectName(QStringLiteral("tvwDB"));
    tvwDB->setHeaderHidden(true);
    tvwDB->setColumnCount(1);
    tvwDB->setSortingEnabled(false);
    tvwDB->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    m_delegate = new EntryDelegate(this, tvwDB);
    tvwDB->setItemDelegate(m_delegate);

    auto button = [this](const QString& name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    cmdAdd = button(QStringLiteral("cmdAdd"), tr("Add"));
    cmdDelete = button(QStringLiteral("cmdDelete"), tr("Delete"));
    // Enter ends a label edit; it never closes the window.
    cmdOKCancel = MakeButtonArray(
        this, QStringLiteral("cmdOKCancel"), OkCancelButtons(tr("OK"), tr("Cancel")),
        [this](int index) { cmdOKCancel_Click(static_cast<OkCancelButton>(index)); });

    sbrDB = new QStatusBar(this);
    sbrDB->setObjectName(QStringLiteral("sbrDB"));
    sbrDB->setSizeGripEnabled(false);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdAdd);
    buttons->addWidget(cmdDelete);
    buttons->addStretch(1);
    buttons->addWidget(cmdOKCancel[0]);
    buttons->addWidget(cmdOKCancel[1]);
    auto* body = new QHBoxLayout;
    body->addWidget(tvwDB, 1);
    body->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addWidget(sbrDB);
    resize(400, 420);

    connect(tvwDB, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* node) { tvwDB_NodeClick(node); });
    // The path follows the selection by keyboard too, so it always names the node at hand.
    connect(tvwDB, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* node) {
        if (node)
            tvwDB_NodeClick(node);
    });
    connect(tvwDB, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* node) {
        SetImage(node, QStringLiteral("open"));
        SortChildren(node);
    });
    connect(tvwDB, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem* node) { SetImage(node, QStringLiteral("closed")); });
    connect(cmdAdd, &QPushButton::clicked, this, [this] { cmdAdd_Click(); });
    connect(cmdDelete, &QPushButton::clicked, this, [this] { cmdDelete_Click(); });

    // Form_Load
    Windows(m_ctx).CenterForm(this);
    LoadTree();
}

void frmPicklistEditor::LoadTree()
{
    PickListTree tree;
    try {
        tree = LoadPickListTree(m_ctx);
    } catch (const DbError& e) {
        m_ctx.Prompt().Message(windowTitle(),
                               tr("The pick lists could not be read.\r\n\r\n%1").arg(e.message()),
                               PromptIcon::Critical, PromptButtons::Ok);
        return;
    }
    tvwDB->clear();
    QTreeWidgetItem* root = AddNode(nullptr, 0, tree.Root.Key, tree.Root.Text);
    for (const PickListNode& list : tree.Root.Children) {
        QTreeWidgetItem* listNode = AddNode(root, root->childCount(), list.Key, list.Text);
        for (const PickListNode& entry : list.Children)
            AddNode(listNode, listNode->childCount(), entry.Key, entry.Text);
    }
    tvwDB->expandItem(root);
    tvwDB->setCurrentItem(root);
    sbrDB->clearMessage();
    m_loaded = true;
}

QTreeWidgetItem* frmPicklistEditor::AddNode(QTreeWidgetItem* parent, int at, const QString& key,
                                            const QString& text)
{
    auto* node = new QTreeWidgetItem(QStringList{text});
    node->setData(0, KeyRole, key);
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (parent && parent->parent())
        flags |= Qt::ItemIsEditable; // only entries take label edits
    node->setFlags(flags);
    SetImage(node, QStringLiteral("closed"));
    if (parent)
        parent->insertChild(at, node);
    else
        tvwDB->addTopLevelItem(node);
    return node;
}

void frmPicklistEditor::SetImage(QTreeWidgetItem* node, const QString& image)
{
    node->setData(0, ImageRole, image);
    node->setIcon(0, imlSmallIcons.value(image));
}

// Children in the alphabetical order of the language, letter case ignored; equal texts
// keep their order.
void frmPicklistEditor::SortChildren(QTreeWidgetItem* node)
{
    QTreeWidgetItem* current = tvwDB->currentItem();
    QList<QTreeWidgetItem*> children = node->takeChildren();
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(children.begin(), children.end(),
                     [&collator](QTreeWidgetItem* a, QTreeWidgetItem* b) {
                         return collator.compare(a->text(0), b->text(0)) < 0;
                     });
    node->addChildren(children);
    if (current && tvwDB->currentItem() != current)
        tvwDB->setCurrentItem(current);
}

bool frmPicklistEditor::EditablePicklist(const QTreeWidgetItem* node)
{
    return node && node->parent() && node->parent()->parent();
}

QString frmPicklistEditor::FullPath(const QTreeWidgetItem* node)
{
    QStringList texts;
    for (; node; node = node->parent())
        texts.prepend(node->text(0));
    return texts.join(QLatin1Char('\\'));
}

int frmPicklistEditor::EntryLimit(const QTreeWidgetItem* entry)
{
    const QTreeWidgetItem* list = entry ? entry->parent() : nullptr;
    return list && list->text(0) == ProviderList ? PickListEntryLimit : OtherPickListEntryLimit;
}

QString frmPicklistEditor::AcceptEntryText(const QTreeWidgetItem* entry, const QString& text)
{
    const QString old = entry->text(0);
    if (!EditablePicklist(entry))
        return old;
    const QString cut = CutToStoredLength(text.trimmed(), EntryLimit(entry)).trimmed();
    if (cut.isEmpty() || cut == old)
        return old;
    // The same entry twice would show twice in the combo box.
    const QTreeWidgetItem* list = entry->parent();
    for (int i = 0; i < list->childCount(); ++i) {
        const QTreeWidgetItem* other = list->child(i);
        if (other != entry && QString::compare(other->text(0), cut, Qt::CaseInsensitive) == 0) {
            sbrDB->showMessage(tr("An entry of that name is already in the list"));
            return old;
        }
    }
    return cut;
}

PickListTree frmPicklistEditor::CurrentTree() const
{
    PickListTree tree;
    const QTreeWidgetItem* root = tvwDB->topLevelItem(0);
    if (!root)
        return tree;
    for (int i = 0; i < root->childCount(); ++i) {
        const QTreeWidgetItem* list = root->child(i);
        PickListNode& listNode =
            tree.AddChild(tree.Root, list->data(0, KeyRole).toString(), list->text(0));
        for (int j = 0; j < list->childCount(); ++j) {
            const QTreeWidgetItem* entry = list->child(j);
            tree.AddChild(listNode, entry->data(0, KeyRole).toString(), entry->text(0));
        }
    }
    return tree;
}

void frmPicklistEditor::tvwDB_NodeClick(QTreeWidgetItem* node)
{
    sbrDB->showMessage(FullPath(node));
}

void frmPicklistEditor::cmdAdd_Click()
{
    QTreeWidgetItem* node = tvwDB->currentItem();
    if (!node || !node->parent())
        return; // nothing is added under the root
    QTreeWidgetItem* list = node;
    int at = 0;
    if (EditablePicklist(node)) {
        list = node->parent();
        at = list->indexOfChild(node) + 1;
    } else {
        tvwDB->expandItem(list); // sorts what is there before the new entry goes last
        at = list->childCount();
    }
    QTreeWidgetItem* added = AddNode(list, at, QString(), tr("Enter Name"));
    tvwDB->setCurrentItem(added);
    tvwDB->scrollToItem(added);
    tvwDB->editItem(added);
}

void frmPicklistEditor::cmdDelete_Click()
{
    QTreeWidgetItem* node = tvwDB->currentItem();
    if (EditablePicklist(node))
        delete node;
}

void frmPicklistEditor::cmdOKCancel_Click(OkCancelButton button)
{
    if (button == OkCancelButton::Ok) {
        if (!m_loaded)
            return;
        static_cast<EntryDelegate*>(m_delegate)->FinishEdit();
        try {
            SavePickListTree(m_ctx, CurrentTree());
        } catch (const DbError& e) {
            // The store is as it was; the edits stay in the window to try again.
            m_ctx.Prompt().Message(windowTitle(),
                                   tr("The pick lists were not saved.\r\n\r\n%1").arg(e.message()),
                                   PromptIcon::Critical, PromptButtons::Ok);
            return;
        }
        emit pickListsSaved();
        done(Accepted);
        return;
    }
    done(Rejected);
}

void frmPicklistEditor::reject()
{
    cmdOKCancel_Click(OkCancelButton::Cancel);
}

} // namespace tramelle
