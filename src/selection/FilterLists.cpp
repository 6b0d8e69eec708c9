#include "FilterLists.h"

#include <QLabel>
#include <QListWidget>
#include <QScopeGuard>

namespace tramelle {

namespace {

const QString AllRow = QStringLiteral("(All)");
const LibraryColumn Columns[3] = {LibraryColumn::Joint, LibraryColumn::Motion, LibraryColumn::Type};

// The selected rows from row `first` on; nothing when "(All)" is selected.
QStringList SelectedRows(const QListWidget* list, int first)
{
    if (list->count() > 0 && list->item(0)->text() == AllRow && list->item(0)->isSelected())
        return {};
    QStringList selected;
    for (int i = first; i < list->count(); ++i) {
        if (list->item(i)->isSelected())
            selected << list->item(i)->text();
    }
    return selected;
}

} // namespace

FilterLists::FilterLists(AppContext& ctx, QWidget* parent)
    : QGroupBox(tr("View"), parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("Frame1"));
    const QString captions[3] = {tr("Joint:"), tr("Pattern:"), tr("Type:")};
    const QString tags[3] = {QStringLiteral("Joint"), QStringLiteral("Motion"),
                             QStringLiteral("Type")};
    // The first caption sits below the frame's title and top edge.
    const QRect listRects[3] = {{8, 38, 145, 95}, {8, 154, 145, 95}, {8, 278, 145, 124}};
    for (int i = 0; i < 3; ++i) {
        const auto k = static_cast<size_t>(i);
        const QRect r = listRects[k];
        m_labels[k] = new QLabel(captions[k], this);
        m_labels[k]->setObjectName(QStringLiteral("ViewLabel_%1").arg(i));
        m_labels[k]->setGeometry(r.left(), r.top() - 15, 140, 14);
        auto* list = new QListWidget(this);
        list->setObjectName(QStringLiteral("ViewList_%1").arg(i));
        list->setProperty("tag", tags[k]);
        list->setGeometry(r);
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        m_lists[k] = list;
        connect(list, &QListWidget::itemSelectionChanged, this, [this, i] {
            if (m_filling == 0)
                emit listClicked(i);
        });
    }
}

void FilterLists::Fill(int index)
{
    ++m_filling;
    const auto filling = qScopeGuard([this] { --m_filling; });
    // Motions are offered under the joints' criterion, types under both.
    const LibraryFilter filter{
        index > 0 ? m_joints : QStringList(), index > 1 ? m_motions : QStringList(), {}};
    const LibraryColumnValues values = DistinctLibraryValues(m_ctx, Columns[index], filter);
    QListWidget* list = m_lists.at(static_cast<size_t>(index));
    list->clear();
    if (values.SeveralRows)
        list->addItem(AllRow);
    list->addItems(values.Values);
}

void FilterLists::Reset()
{
    ++m_filling;
    const auto filling = qScopeGuard([this] { --m_filling; });
    m_joints.clear();
    m_motions.clear();
    m_types.clear();
    for (int i = 0; i < 3; ++i) {
        Fill(i);
        if (m_lists.at(static_cast<size_t>(i))->count() > 0)
            m_lists.at(static_cast<size_t>(i))->setCurrentRow(0);
    }
}

void FilterLists::TakeSelection(int index)
{
    switch (index) {
    case 0:
        // The first row never restricts the joints, also when it is not "(All)".
        m_joints = SelectedRows(m_lists[0], 1);
        Fill(1);
        m_motions.clear();
        Fill(2);
        m_types.clear();
        break;
    case 1:
        m_motions = SelectedRows(m_lists[1], 0);
        Fill(2);
        m_types.clear();
        break;
    case 2:
        m_types = SelectedRows(m_lists[2], 0);
        break;
    default:
        break;
    }
}

} // namespace tramelle
