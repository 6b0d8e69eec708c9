#include "frmLibrary.h"

#include "AppContext.h"
#include "DbError.h"
#include "ImageEditorLink.h"
#include "ProgramStore.h"
#include "SharingWindows.h"
#include "SingleWindow.h"
#include "WindowServices.h"
#include "frmEditExercise.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace tramelle {

namespace {

QString g_imageEditorProgram;

const char* const ColumnKeys[] = {QT_TRANSLATE_NOOP("tramelle::LibraryListModel", "Code"),
                                  QT_TRANSLATE_NOOP("tramelle::LibraryListModel", "Desc"),
                                  QT_TRANSLATE_NOOP("tramelle::LibraryListModel", "Joint"),
                                  QT_TRANSLATE_NOOP("tramelle::LibraryListModel", "Motion"),
                                  QT_TRANSLATE_NOOP("tramelle::LibraryListModel", "Type")};

const QString& Cell(const LibraryListRow& r, int column)
{
    switch (column) {
    case 1:
        return r.Desc;
    case 2:
        return r.Joint;
    case 3:
        return r.Motion;
    default:
        return r.Type;
    }
}

} // namespace

QString LibraryListModel::CodeText(qint32 exerciseId)
{
    return exerciseId < 0 ? QString::number(exerciseId)
                          : QStringLiteral("%1").arg(exerciseId, 3, 10, QLatin1Char('0'));
}

void LibraryListModel::SetRows(QList<LibraryListRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    SortRows();
    endResetModel();
}

int LibraryListModel::RowOf(qint32 exerciseId) const
{
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows.at(i).ExerciseID == exerciseId)
            return i;
    return -1;
}

int LibraryListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int LibraryListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 5;
}

QVariant LibraryListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    const LibraryListRow& r = m_rows.at(index.row());
    return index.column() == 0 ? CodeText(r.ExerciseID) : Cell(r, index.column());
}

QVariant LibraryListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 4)
        return {};
    return tr(ColumnKeys[section]);
}

void LibraryListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column > 4)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QList<qint32> ids;
    ids.reserve(before.size());
    for (const QModelIndex& i : before)
        ids << m_rows.at(i.row()).ExerciseID;
    m_sortColumn = column;
    m_order = order;
    SortRows();
    QHash<qint32, int> rowOf;
    rowOf.reserve(m_rows.size());
    for (int i = 0; i < m_rows.size(); ++i)
        rowOf.insert(m_rows.at(i).ExerciseID, i);
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        after << index(rowOf.value(ids.at(i)), before.at(i).column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void LibraryListModel::SortRows()
{
    const int column = m_sortColumn;
    auto less = [column](const LibraryListRow& a, const LibraryListRow& b) {
        if (column != 0) {
            const int c = Cell(a, column).compare(Cell(b, column), Qt::CaseInsensitive);
            if (c != 0)
                return c < 0;
        }
        return a.ExerciseID < b.ExerciseID;
    };
    if (m_order == Qt::AscendingOrder)
        std::stable_sort(m_rows.begin(), m_rows.end(), less);
    else
        std::stable_sort(m_rows.begin(), m_rows.end(),
                         [&](const auto& a, const auto& b) { return less(b, a); });
}

void LibraryListView::keyboardSearch(const QString& search)
{
    const QModelIndex current = currentIndex();
    const int column = header()->sortIndicatorSection();
    if (model() && column >= 0 && column < model()->columnCount()) {
        const QModelIndex start = model()->index(current.isValid() ? current.row() : 0, column);
        if (start != current)
            selectionModel()->setCurrentIndex(start, QItemSelectionModel::NoUpdate);
    }
    QTreeView::keyboardSearch(search);
}

frmLibrary* OpenLibrary(AppContext& ctx, QWidget* parent, std::function<void()> rebuildSelection)
{
    if (auto* open = RaiseOpenWindow<frmLibrary>(parent))
        return open;
    auto* library = new frmLibrary(ctx, std::move(rebuildSelection), parent);
    library->setAttribute(Qt::WA_DeleteOnClose);
    library->show();
    return library;
}

frmLibrary::frmLibrary(AppContext& ctx, std::function<void()> rebuildSelection, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_rebuildSelection(std::move(rebuildSelection))
{
    setObjectName(QStringLiteral("frmLibrary"));
    setWindowTitle(tr("Exercise Library"));
    resize(700, 480);

    m_model = new LibraryListModel(this);
    ListView1 = new LibraryListView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setModel(m_model);
    ListView1->setSortingEnabled(true);
    ListView1->header()->setSortIndicator(0, Qt::AscendingOrder);
    ListView1->setColumnWidth(0, 70);
    ListView1->setColumnWidth(1, 250);
    ListView1->setColumnWidth(2, 110);
    ListView1->setColumnWidth(3, 90);
    connect(ListView1, &QTreeView::doubleClicked, this, [this] { cmdEdit_Click(); });

    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));

    auto button = [this](QPushButton*& b, const char* name, const QString& caption,
                         void (frmLibrary::*slot)()) {
        b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
    };
    button(cmdAdd, "cmdAdd", tr("Add"), &frmLibrary::cmdAdd_Click);
    button(cmdEdit, "cmdEdit", tr("Edit"), &frmLibrary::cmdEdit_Click);
    button(cmdDuplicate, "cmdDuplicate", tr("Duplicate"), &frmLibrary::cmdDuplicate_Click);
    button(cmdDelete, "cmdDelete", tr("Delete"), &frmLibrary::cmdDelete_Click);
    button(cmdCleanText, "cmdCleanText", tr("Clean Text"), &frmLibrary::cmdCleanText_Click);
    button(cmdExport, "cmdExport", tr("Export..."), &frmLibrary::cmdExport_Click);
    button(cmdImport, "cmdImport", tr("Import..."), &frmLibrary::cmdImport_Click);
    button(cmdExit, "cmdExit", tr("Exit"), &frmLibrary::cmdExit_Click);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {cmdAdd, cmdEdit, cmdDuplicate, cmdDelete, cmdCleanText})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(cmdExport);
    buttons->addWidget(cmdImport);
    buttons->addWidget(cmdExit);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ListView1);
    layout->addWidget(lblCount);
    layout->addLayout(buttons);

    m_ctx.MainWindow().UpdateToolbar(ToolbarState::HelpOnly);
    m_ctx.MainWindow().UpdateMenu(MenuState::Restricted);
    Windows(m_ctx).CenterForm(this);
    cmdFillListBox_Click();
    StartImageEditor();
}

frmLibrary::~frmLibrary() = default;

void frmLibrary::SetImageEditorProgram(const QString& program)
{
    g_imageEditorProgram = program;
}

void frmLibrary::StartImageEditor()
{
    m_ctx.MainWindow().SetStatusBar(tr("Starting Image Editor"));
    const QString program =
        g_imageEditorProgram.isEmpty() ? ImageEditorProgram() : g_imageEditorProgram;
    const QFileInfo info(program);
    if (!info.isFile() || !info.isExecutable() ||
        !m_ctx.Launcher().StartProgram(program, ImageEditorArguments(m_ctx.AppFolder()))) {
        m_ctx.Prompt().Message(tr("Image Editor Not Found"), tr("Can't find VMR Image Editor"),
                               PromptIcon::Warning);
    }
    m_ctx.MainWindow().SetStatusBarReady();
}

void frmLibrary::cmdFillListBox_Click()
{
    m_ctx.MainWindow().SetStatusBar(tr("Loading Exercise Library"));
    const std::optional<qint32> selected = SelectedExercise();
    try {
        m_model->SetRows(ReadLibraryList(m_ctx.Db.LibraryDb()));
    } catch (const DbError& e) {
        m_model->SetRows({});
        ReportError(tr("Error Loading Exercise Library"), e.message());
    }
    if (selected)
        SelectExercise(*selected);
    ShowCount();
    m_ctx.MainWindow().SetStatusBarReady();
}

void frmLibrary::ShowCount()
{
    const int n = m_model->rowCount();
    lblCount->setText(n == 1 ? tr("1 exercise") : tr("%1 exercises").arg(QLocale().toString(n)));
}

std::optional<qint32> frmLibrary::SelectedExercise() const
{
    const QModelIndexList rows = ListView1->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    return m_model->Row(rows.first().row()).ExerciseID;
}

void frmLibrary::SelectExercise(qint32 exerciseId)
{
    const int row = m_model->RowOf(exerciseId);
    if (row < 0)
        return;
    const QModelIndex index = m_model->index(row, 0);
    ListView1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                            QItemSelectionModel::Rows);
    ListView1->scrollTo(index);
}

void frmLibrary::OpenEditor(std::optional<qint32> exercise)
{
    if (m_editor) {
        RaiseWindow(m_editor);
        return;
    }
    m_editor = new frmEditExercise(m_ctx, exercise, this);
    connect(m_editor, &frmEditExercise::closedWith, this, [this](std::optional<qint32> stored) {
        cmdFillListBox_Click();
        if (stored)
            SelectExercise(*stored);
    });
    if (!m_editor->Loaded()) {
        delete m_editor;
        return;
    }
    m_editor->show();
}

void frmLibrary::cmdAdd_Click()
{
    OpenEditor(std::nullopt);
}

void frmLibrary::cmdEdit_Click()
{
    if (const std::optional<qint32> id = SelectedExercise())
        OpenEditor(id);
}

void frmLibrary::cmdDelete_Click()
{
    const std::optional<qint32> id = SelectedExercise();
    if (!id)
        return;
    if (*id < FirstUserExerciseID) {
        m_ctx.Prompt().Message(tr("Error: Deleting original exercise"),
                               tr("Can't delete original exercises"), PromptIcon::Information);
        return;
    }
    const LibraryListRow& row = m_model->Row(m_model->RowOf(*id));
    if (m_ctx.Prompt().Message(tr("Delete: ") + row.Desc, tr("Are you sure?"), PromptIcon::Warning,
                               PromptButtons::OkCancel) != PromptAnswer::Ok)
        return;
    try {
        DeleteExercise(m_ctx.Db.LibraryDb(), *id);
    } catch (const DbError& e) {
        ReportError(tr("Error Deleting Exercise"), e.message());
    }
    cmdFillListBox_Click();
}

void frmLibrary::cmdDuplicate_Click()
{
    const std::optional<qint32> id = SelectedExercise();
    if (!id)
        return;
    try {
        const Result<qint32> copy = DuplicateExercise(m_ctx, *id);
        if (!copy) {
            ReportError(tr("Error Duplicating Exercise"), copy.Reason());
            return;
        }
        cmdFillListBox_Click();
        SelectExercise(copy.Value());
    } catch (const DbError& e) {
        ReportError(tr("Error Duplicating Exercise"), e.message());
    }
}

void frmLibrary::cmdCleanText_Click()
{
    try {
        CleanInstructionTexts(m_ctx.Db.LibraryDb());
    } catch (const DbError& e) {
        ReportError(tr("Error Cleaning Text"), e.message());
    }
}

void frmLibrary::cmdExport_Click()
{
    ShareSelection selection;
    const std::optional<qint32> id = SelectedExercise();
    if (id) {
        const PromptAnswer answer = m_ctx.Prompt().Message(
            tr("Export Exercises"),
            tr("Export only the selected exercise?") + QStringLiteral("\r\n\r\n") +
                tr("No exports every exercise of the clinic's own (numbers from %1).")
                    .arg(FirstClinicExercise),
            PromptIcon::Question, PromptButtons::YesNoCancel);
        if (answer == PromptAnswer::Cancel)
            return;
        if (answer == PromptAnswer::Yes)
            selection.Exercises = {*id};
    }
    selection.AllClinicExercises = selection.Exercises.isEmpty();
    ExportExercisesCommand(m_ctx, selection);
}

void frmLibrary::cmdImport_Click()
{
    if (ImportExercisesCommand(m_ctx))
        cmdFillListBox_Click();
}

bool frmLibrary::OfferProgramSave()
{
    const ProgramState& p = m_ctx.Program;
    if (!p.PatientID || !p.Modified)
        return true;
    switch (m_ctx.Prompt().Message(tr("Exercise Program Modified"),
                                   tr("Save current exercise program in database"),
                                   PromptIcon::Question, PromptButtons::YesNoCancel)) {
    case PromptAnswer::Yes:
        return SaveProgram(m_ctx, false);
    case PromptAnswer::No:
        return true;
    default:
        return false;
    }
}

void frmLibrary::cmdExit_Click()
{
    if (m_closing || !OfferProgramSave())
        return;
    if (m_editor)
        m_editor->close();
    CloseDatabases(m_ctx);
    try {
        OpenDatabases(m_ctx);
    } catch (const DbError& e) {
        ReportError(tr("Error Opening Databases"), e.message());
    }
    if (m_rebuildSelection && m_ctx.Db.IsOpen())
        m_rebuildSelection();
    QApplication::processEvents();
    m_closing = true;
    close();
}

void frmLibrary::reject()
{
    close();
}

void frmLibrary::closeEvent(QCloseEvent* event)
{
    // Closing forgets the current patient: a modified program is offered for saving first.
    if (!m_closing && !OfferProgramSave()) {
        event->ignore();
        return;
    }
    m_closing = true;
    if (m_editor)
        m_editor->close();
    ClearCurrentPatient(m_ctx);
    QWidget::closeEvent(event); // QDialog's would call reject(), which closes
}

void frmLibrary::ReportError(const QString& title, const QString& message)
{
    ReportFailureTitled(m_ctx, title, message);
}

} // namespace tramelle
