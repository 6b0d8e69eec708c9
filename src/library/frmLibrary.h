#pragma once

#include "LibraryStore.h"
#include "frmEditExercise.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QPointer>
#include <QTreeView>
#include <functional>
#include <optional>

class QLabel;
class QPushButton;

namespace tramelle {

class AppContext;

// The rows of the library list: "Code" (the number as three digits), "Desc", "Joint",
// "Motion", "Type". Sorting by "Code" sorts by number.
class LibraryListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    static QString CodeText(qint32 exerciseId);

    void SetRows(QList<LibraryListRow> rows);
    const LibraryListRow& Row(int row) const { return m_rows.at(row); }
    int RowOf(qint32 exerciseId) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    void SortRows();

    QList<LibraryListRow> m_rows;
    int m_sortColumn = 0;
    Qt::SortOrder m_order = Qt::AscendingOrder;
};

// Typing finds a row by the beginning of its cell in the column the list is sorted by.
class LibraryListView : public QTreeView
{
    Q_OBJECT
public:
    using QTreeView::QTreeView;
    void keyboardSearch(const QString& search) override;
};

// "Exercise Library": every exercise of the library, with Add, Edit, Duplicate, Delete
// and "Clean Text". While it is open the toolbar and menus are disabled. "Exit" re-opens
// the databases and has the selection window rebuild its library.
class frmLibrary : public QDialog
{
    Q_OBJECT

public:
    // `rebuildSelection` rebuilds the selection window after the databases were re-opened.
    frmLibrary(AppContext& ctx, std::function<void()> rebuildSelection, QWidget* parent = nullptr);
    ~frmLibrary() override;

    void cmdFillListBox_Click();
    // The image editor program started on opening; empty for the one beside this program.
    static void SetImageEditorProgram(const QString& program);
    // The exercise editor on the selected row, or on a new exercise.
    frmEditExercise* Editor() const { return m_editor; }
    LibraryListModel* Model() const { return m_model; }
    std::optional<qint32> SelectedExercise() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void StartImageEditor();
    void OpenEditor(std::optional<qint32> exercise);
    void cmdAdd_Click();
    void cmdEdit_Click();
    void cmdDelete_Click();
    void cmdDuplicate_Click();
    void cmdCleanText_Click();
    void cmdExport_Click();
    void cmdImport_Click();
    void cmdExit_Click();
    // Offers to save a modified program before the current patient is forgotten; false
    // when the user cancelled or the save failed.
    bool OfferProgramSave();
    void SelectExercise(qint32 exerciseId);
    void ShowCount();
    void ReportError(const QString& title, const QString& message);

    AppContext& m_ctx;
    std::function<void()> m_rebuildSelection;
    bool m_closing = false;
    QPointer<frmEditExercise> m_editor;

    LibraryListModel* m_model;
    LibraryListView* ListView1;
    QLabel* lblCount;
    QPushButton* cmdAdd;
    QPushButton* cmdEdit;
    QPushButton* cmdDuplicate;
    QPushButton* cmdDelete;
    QPushButton* cmdCleanText;
    QPushButton* cmdExport;
    QPushButton* cmdImport;
    QPushButton* cmdExit;
};

// Opens the library list from the main window (or raises the open one).
frmLibrary* OpenLibrary(AppContext& ctx, QWidget* parent, std::function<void()> rebuildSelection);

} // namespace tramelle
