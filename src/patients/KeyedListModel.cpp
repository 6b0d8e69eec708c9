#include "KeyedListModel.h"

#include <QCollator>
#include <QDateTime>
#include <QHash>
#include <QHeaderView>
#include <QLocale>
#include <algorithm>
#include <limits>
#include <numeric>

namespace tramelle {

namespace {

constexpr qint64 NoDate = std::numeric_limits<qint64>::min();

// Reads the digits s[from, from + n); -1 when one is not a digit.
int Digits(const QString& s, int from, int n)
{
    int v = 0;
    for (int i = from; i < from + n; ++i) {
        const QChar c = s.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        v = v * 10 + (c.unicode() - '0');
    }
    return v;
}

struct StoredDate
{
    QDate Date;
    int Seconds = 0; // since midnight
    bool IsValid() const { return Date.isValid(); }
};

// Stored dates have one fixed form, yyyy-MM-ddTHH:mm:ss; read it by hand, without local
// time conversions, because the program list reads tens of thousands of them when it
// opens. Other forms go through the general ISO reader.
StoredDate ParseStored(const QString& s)
{
    if (s.size() == 19 && s.at(4) == QLatin1Char('-') && s.at(7) == QLatin1Char('-') &&
        s.at(10) == QLatin1Char('T') && s.at(13) == QLatin1Char(':') &&
        s.at(16) == QLatin1Char(':')) {
        const QDate d(Digits(s, 0, 4), Digits(s, 5, 2), Digits(s, 8, 2));
        const QTime t(Digits(s, 11, 2), Digits(s, 14, 2), Digits(s, 17, 2));
        if (d.isValid() && t.isValid())
            return {d, t.msecsSinceStartOfDay() / 1000};
        return {};
    }
    if (s.isEmpty())
        return {};
    const QDateTime dt = QDateTime::fromString(s, Qt::ISODate);
    if (!dt.isValid())
        return {};
    return {dt.date(), dt.time().msecsSinceStartOfDay() / 1000};
}

} // namespace

qint64 DateSortKey(const QString& stored)
{
    const StoredDate d = ParseStored(stored);
    if (!d.IsValid())
        return NoDate;
    return d.Date.toJulianDay() * 86400 + d.Seconds;
}

QString ShortDateText(const QString& stored)
{
    const StoredDate d = ParseStored(stored);
    if (!d.IsValid())
        return stored;
    return QLocale().toString(d.Date, QLocale::ShortFormat);
}

KeyedListModel::KeyedListModel(QStringList captions, int dateColumn, QObject* parent)
    : QAbstractTableModel(parent), m_captions(std::move(captions)), m_dateColumn(dateColumn)
{
    Q_ASSERT(m_captions.size() <= MaxColumns);
}

void KeyedListModel::SetRows(std::vector<Row> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_dateKeys.clear();
    if (m_dateColumn >= 0) {
        m_dateKeys.reserve(m_rows.size());
        for (const Row& r : m_rows)
            m_dateKeys.push_back(DateSortKey(r.Text[m_dateColumn]));
    }
    SortOrderVector();
    endResetModel();
}

QString KeyedListModel::KeyAt(int row) const
{
    return QLatin1Char('k') + QString::number(IdAt(row));
}

int KeyedListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_order.size());
}

int KeyedListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_captions.size());
}

QVariant KeyedListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_order.size()))
        return {};
    const Row& r = m_rows[m_order[index.row()]];
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == m_dateColumn)
            return ShortDateText(r.Text[index.column()]);
        return r.Text[index.column()];
    case KeyRole:
        return QString(QLatin1Char('k') + QString::number(r.Id));
    default:
        return {};
    }
}

QVariant KeyedListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_captions.size())
        return m_captions.at(section);
    return {};
}

void KeyedListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= m_captions.size())
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> rowsBefore;
    rowsBefore.reserve(before.size());
    for (const QModelIndex& i : before)
        rowsBefore.push_back(m_order[i.row()]);

    m_sortColumn = column;
    m_sortOrder = order;
    SortOrderVector();

    std::vector<int> shownAt(m_rows.size());
    for (int i = 0; i < int(m_order.size()); ++i)
        shownAt[m_order[i]] = i;
    QModelIndexList after;
    after.reserve(before.size());
    for (int k = 0; k < before.size(); ++k)
        after << index(shownAt[rowsBefore[k]], before[k].column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void KeyedListModel::SortOrderVector()
{
    // Ties keep the order the rows were given in, in either direction.
    m_order.resize(m_rows.size());
    std::iota(m_order.begin(), m_order.end(), 0);
    const int c = m_sortColumn;
    const bool descending = m_sortOrder == Qt::DescendingOrder;
    if (c == m_dateColumn) {
        std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) {
            return descending ? m_dateKeys[b] < m_dateKeys[a] : m_dateKeys[a] < m_dateKeys[b];
        });
    } else {
        // Letter case is ignored. Rows often share one text (a patient's name on each of
        // its programs): rank each distinct text once, then sort the rows by rank.
        std::vector<int> rank(m_rows.size());
        std::vector<int> firstRow;
        {
            // Shared texts are found by their data; equal texts not shared rank alike below.
            QHash<std::pair<const QChar*, qsizetype>, int> distinct;
            distinct.reserve(qsizetype(m_rows.size()));
            for (int r = 0; r < int(m_rows.size()); ++r) {
                const QString& text = m_rows[r].Text[c];
                const std::pair<const QChar*, qsizetype> key{text.constData(), text.size()};
                auto it = distinct.constFind(key);
                if (it == distinct.cend()) {
                    it = distinct.insert(key, int(firstRow.size()));
                    firstRow.push_back(r);
                }
                rank[r] = *it;
            }
        }
        // The user's locale decides the order ("Émile" before "Zoe"), as a person reads it.
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        std::vector<QCollatorSortKey> keys;
        keys.reserve(firstRow.size());
        for (int r : firstRow)
            keys.push_back(collator.sortKey(m_rows[r].Text[c]));
        std::vector<int> byText(firstRow.size());
        std::iota(byText.begin(), byText.end(), 0);
        std::sort(byText.begin(), byText.end(),
                  [&](int a, int b) { return keys[a].compare(keys[b]) < 0; });
        std::vector<int> rankOf(firstRow.size());
        for (int i = 0, next = 0; i < int(byText.size()); ++i) {
            if (i > 0 && keys[byText[i]].compare(keys[byText[i - 1]]) != 0)
                next = i;
            rankOf[byText[i]] = next; // texts equal but for case rank alike
        }
        for (int& r : rank)
            r = rankOf[r];
        std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) {
            return descending ? rank[b] < rank[a] : rank[a] < rank[b];
        });
    }
}

ReportListView::ReportListView(QWidget* parent) : QTreeView(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true); // keeps long lists fast
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(true);
    header()->setSortIndicatorShown(true);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(true);
}

int ReportListView::SelectedRow() const
{
    if (!selectionModel())
        return -1;
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void ReportListView::SelectRow(int row)
{
    const QModelIndex i = model()->index(row, 0);
    if (!i.isValid())
        return;
    selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect |
                                             QItemSelectionModel::Rows);
    scrollTo(i);
}

void ReportListView::keyboardSearch(const QString& search)
{
    // List views find by the row's text, the first column, whichever cell is current.
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.column() != 0)
        selectionModel()->setCurrentIndex(current.siblingAtColumn(0),
                                          QItemSelectionModel::NoUpdate);
    QTreeView::keyboardSearch(search);
}

} // namespace tramelle
