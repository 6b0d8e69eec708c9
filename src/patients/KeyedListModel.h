#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QTreeView>
#include <vector>

namespace tramelle {

// The rows of a report-view list: each row has an id (its key is "k" and the id) and
// up to three text columns. A column can hold stored dates: it shows them in the short
// date form and sorts by the date. Rows live in plain vectors so that lists of tens of
// thousands of rows fill and sort quickly.
class KeyedListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int MaxColumns = 3;
    static constexpr int KeyRole = Qt::UserRole + 1;

    // dateColumn: the index of the column holding stored dates, or -1.
    explicit KeyedListModel(QStringList captions, int dateColumn = -1, QObject* parent = nullptr);

    struct Row
    {
        qint32 Id = 0;
        QString Text[MaxColumns];
    };
    // Replaces every row (in the order given), then re-applies the current sort.
    void SetRows(std::vector<Row> rows);

    qint32 IdAt(int row) const { return m_rows[m_order[row]].Id; }
    QString KeyAt(int row) const;
    QString TextAt(int row, int column) const { return m_rows[m_order[row]].Text[column]; }

    int SortColumn() const { return m_sortColumn; }
    Qt::SortOrder SortOrder() const { return m_sortOrder; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    void SortOrderVector();

    QStringList m_captions;
    int m_dateColumn;
    std::vector<Row> m_rows;
    std::vector<qint64> m_dateKeys; // per row in m_rows; the date and time as one sortable number
    std::vector<int> m_order;       // shown row -> index into m_rows
    int m_sortColumn = 0;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

// A list view in report view: whole rows selected one at a time, sorted by clicking a
// column header, typing finds the first row whose first column starts with the typed text.
class ReportListView : public QTreeView
{
    Q_OBJECT

public:
    explicit ReportListView(QWidget* parent = nullptr);

    // The shown row selected, or -1.
    int SelectedRow() const;
    void SelectRow(int row);
    void keyboardSearch(const QString& search) override;
};

// The date and time of a stored date text as a number that sorts in time order; the
// smallest number for a null or unreadable value.
qint64 DateSortKey(const QString& stored);
// A stored date in the system's short date form; unreadable text is shown as it is.
QString ShortDateText(const QString& stored);

} // namespace tramelle
