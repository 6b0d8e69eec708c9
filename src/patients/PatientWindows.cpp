#include "PatientWindows.h"

#include "AppContext.h"
#include "ButtonArray.h"
#include "DbError.h"
#include "KeyedListModel.h"
#include "PatientStore.h"
#include "ProgramStore.h"
#include "SingleWindow.h"
#include "StoredLengthLimit.h"
#include "WindowServices.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVariant>

namespace tramelle {

namespace {

const QString Ok = QStringLiteral("OK");
const QString Cancel = QStringLiteral("Cancel");
const QString New = QStringLiteral("New");
const QString Edit = QStringLiteral("Edit");
const QString Delete = QStringLiteral("Delete");

// The caption a button of an array shows for its tag.
QString Caption(const QString& tag)
{
    static const char* const captions[] = {
        QT_TRANSLATE_NOOP("PatientWindows", "OK"), QT_TRANSLATE_NOOP("PatientWindows", "Cancel"),
        QT_TRANSLATE_NOOP("PatientWindows", "New"), QT_TRANSLATE_NOOP("PatientWindows", "Edit"),
        QT_TRANSLATE_NOOP("PatientWindows", "Delete")};
    for (const char* caption : captions) {
        if (tag == QLatin1String(caption))
            return QCoreApplication::translate("PatientWindows", caption);
    }
    return tag;
}

// The "cmdOkCancel" array of these windows: tags are the English captions, in index order.
QList<ArrayButton> TaggedAsCaptions(const QStringList& captions)
{
    QList<ArrayButton> buttons;
    for (int i = 0; i < captions.size(); ++i)
        buttons.append({i, captions.at(i), Caption(captions.at(i))});
    return buttons;
}

QVBoxLayout* ButtonColumn(const QList<QPushButton*>& buttons)
{
    auto* column = new QVBoxLayout;
    for (QPushButton* b : buttons)
        column->addWidget(b);
    column->addStretch(1);
    return column;
}

// The list "lstPatients", sorted by its first column. The buttons given start disabled
// and are enabled once a row is selected; a double click on a row runs `onDoubleClick`.
template <typename Handler>
ReportListView* MakeList(QWidget* owner, KeyedListModel* model, QList<QPushButton*> needRow,
                         Handler onDoubleClick)
{
    auto* list = new ReportListView(owner);
    list->setObjectName(QStringLiteral("lstPatients"));
    list->setModel(model);
    list->sortByColumn(0, Qt::AscendingOrder);
    for (QPushButton* b : needRow)
        b->setEnabled(false);
    QObject::connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, owner,
                     [list, needRow] {
                         if (list->SelectedRow() >= 0)
                             for (QPushButton* b : needRow)
                                 b->setEnabled(true);
                     });
    QObject::connect(list, &QAbstractItemView::doubleClicked, owner,
                     [onDoubleClick](const QModelIndex& index) {
                         if (index.isValid())
                             onDoubleClick();
                     });
    return list;
}

void ShowError(AppContext& ctx, const QString& title, const QString& what,
               const QString& engineText)
{
    ReportFailureTitled(ctx, title, what + QStringLiteral("\n\n") + engineText);
}

} // namespace

QDialog* OpenSelectPatient(AppContext& ctx, QWidget* parent)
{
    auto* dialog = new frmSelectPatient(ctx, parent);
    dialog->show();
    return dialog;
}

QDialog* OpenListPrograms(AppContext& ctx, QWidget* parent)
{
    if (auto* open = RaiseOpenWindow<frmListPrograms>(parent))
        return open;
    auto* dialog = new frmListPrograms(ctx, parent);
    dialog->show();
    return dialog;
}

// --- frmSelectPatient --------------------------------------------------------------

frmSelectPatient::frmSelectPatient(AppContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_model(new KeyedListModel({tr("Name"), tr("ID")}, -1, this))
{
    setObjectName(QStringLiteral("frmSelectPatient"));
    setWindowTitle(tr("Select a Patient"));
    connect(this, &QDialog::finished, this, &QObject::deleteLater);

    cmdOkCancel = MakeButtonArray(
        this, QStringLiteral("cmdOkCancel"), TaggedAsCaptions({Ok, Cancel, New, Edit, Delete}),
        [this](int index) { cmdOkCancel_Click(static_cast<Button>(index)); });
    lstPatients = MakeList(this, m_model, {cmdOkCancel[0], cmdOkCancel[3], cmdOkCancel[4]},
                           [this] { cmdOkCancel_Click(Button::Ok); });
    lstPatients->setColumnWidth(0, 260);
    cmdOkCancel[0]->setDefault(true); // Enter chooses the selected patient
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(lstPatients, 1);
    layout->addLayout(ButtonColumn(cmdOkCancel));
    resize(480, 340);

    // While the dialog is open nothing else may be started and no patient is current.
    m_ctx.MainWindow().UpdateToolbar(ToolbarState::HelpOnly);
    m_ctx.MainWindow().UpdateMenu(MenuState::Restricted);
    m_ctx.Program.PatientID.reset();

    Windows(m_ctx).CenterForm(this);
    FillPatientList();
    if (m_model->rowCount() > 0)
        lstPatients->SelectRow(0);
}

void frmSelectPatient::FillPatientList()
{
    std::vector<KeyedListModel::Row> rows;
    try {
        const std::vector<PatientRow> patients = ReadPatientRows(m_ctx.Db.MainDb());
        rows.reserve(patients.size());
        for (const PatientRow& p : patients)
            rows.push_back({p.PatientID, {p.FullName, p.ID, QString()}});
    } catch (const DbError& e) {
        ReportError(tr("The patient list could not be read."), e.message());
    }
    m_model->SetRows(std::move(rows));
}

void frmSelectPatient::ReportError(const QString& what, const QString& engineText)
{
    ShowError(m_ctx, windowTitle(), what, engineText);
}

void frmSelectPatient::ChooseSelected(bool clearInvoice)
{
    const int row = lstPatients->SelectedRow();
    ProgramState& p = m_ctx.Program;
    p.PatientID = IdFromKey(m_model->KeyAt(row));
    p.PatientName = m_model->TextAt(row, 0);
    if (clearInvoice)
        p.InvoiceID.reset();
    p.SaveAsNew = true;
}

void frmSelectPatient::cmdOkCancel_Click(Button button)
{
    MainWindowServices& main = m_ctx.MainWindow();
    const bool needsRow =
        button == Button::Ok || button == Button::Edit || button == Button::Delete;
    if (needsRow && lstPatients->SelectedRow() < 0)
        return;

    if (button == Button::Ok) {
        ChooseSelected(true);
        main.UpdateCaption();
        main.UpdateToolbar(ToolbarState::PatientSelected);
    } else if (button == Button::Cancel) {
        m_ctx.Program.PatientID.reset();
        main.UpdateCaption();
        main.UpdateToolbar(ToolbarState::NoPatient);
    } else if (button == Button::New) {
        m_ctx.Program.PatientID.reset();
        m_ctx.Program.SaveAsNew = true;
        main.UpdateCaption();
        main.UpdateToolbar(ToolbarState::HelpOnly);
        OpenEditPatient();
    } else if (button == Button::Edit) {
        ChooseSelected(false);
        main.UpdateCaption();
        main.UpdateToolbar(ToolbarState::HelpOnly);
        OpenEditPatient();
    } else if (button == Button::Delete) {
        const int row = lstPatients->SelectedRow();
        const PromptAnswer answer = m_ctx.Prompt().Message(
            tr("Delete Patient"),
            tr("Are you sure you want to delete %1").arg(m_model->TextAt(row, 0)),
            PromptIcon::Warning, PromptButtons::YesNo, PromptAnswer::No);
        if (answer == PromptAnswer::Yes) {
            try {
                DeletePatient(m_ctx.Db.MainDb(), IdFromKey(m_model->KeyAt(row)));
            } catch (const DbError& e) {
                // Stay open: the patient is still there and the user may try again.
                ReportError(tr("The patient could not be deleted."), e.message());
                return;
            }
        }
        // Either way the dialog closes with no current patient (it was cleared when the
        // dialog opened): the caption and toolbar say so, or only Help would stay usable.
        m_ctx.Program.PatientID.reset();
        main.UpdateCaption();
        main.UpdateToolbar(ToolbarState::NoPatient);
    } else {
        return;
    }
    Finish();
}

void frmSelectPatient::OpenEditPatient()
{
    // The edit dialog outlives this one: it belongs to the main window.
    auto* edit = new frmEditPatient(m_ctx, parentWidget());
    edit->show();
}

void frmSelectPatient::Finish()
{
    m_finished = true;
    accept();
    m_ctx.MainWindow().SetStatusBarReady();
}

void frmSelectPatient::reject()
{
    if (m_finished)
        return;
    cmdOkCancel_Click(Button::Cancel);
}

void frmSelectPatient::done(int result)
{
    QDialog::done(result);
    if (!m_closed) {
        m_closed = true;
        m_ctx.MainWindow().UpdateMenu(MenuState::All);
    }
}

// --- frmEditPatient ----------------------------------------------------------------

frmEditPatient::frmEditPatient(AppContext& ctx, QWidget* parent) : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmEditPatient"));
    setWindowTitle(tr("Patient Information"));
    connect(this, &QDialog::finished, this, &QObject::deleteLater);

    auto* grid = new QGridLayout;
    auto addField = [&](int row, const QString& name, const QString& label, int limit) {
        auto* l = new QLabel(label, this);
        l->setObjectName(QStringLiteral("lbl") + name);
        auto* t = new QLineEdit(this);
        t->setObjectName(QStringLiteral("txt") + name);
        if (limit > 0)
            LimitStoredLength(t, limit);
        l->setBuddy(t);
        grid->addWidget(l, row, 0);
        grid->addWidget(t, row, 1);
        return t;
    };
    txtLastName = addField(0, QStringLiteral("LastName"), tr("Last Name:"), 50);
    txtFirstName = addField(1, QStringLiteral("FirstName"), tr("First Name:"), 50);
    txtID = addField(2, QStringLiteral("ID"), tr("ID:"), 0);
    grid->setColumnMinimumWidth(1, 240);

    cmdOkCancel =
        MakeButtonArray(this, QStringLiteral("cmdOkCancel"), TaggedAsCaptions({Ok, Cancel}),
                        [this](int index) { cmdOkCancel_Click(static_cast<Button>(index)); });
    cmdOkCancel[0]->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOkCancel[0]);
    buttons->addWidget(cmdOkCancel[1]);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addLayout(buttons);
    setTabOrder(txtLastName, txtFirstName);
    setTabOrder(txtFirstName, txtID);
    setTabOrder(txtID, cmdOkCancel[0]);
    setTabOrder(cmdOkCancel[0], cmdOkCancel[1]);
    resize(360, 160);

    Windows(m_ctx).CenterForm(this);
    OpenPatientRecord();
}

void frmEditPatient::OpenPatientRecord()
{
    // A new patient is stored on "OK" only, so "Cancel" leaves nothing behind.
    m_patientID = m_ctx.Program.PatientID;
    if (!m_patientID)
        return;
    try {
        const std::optional<PatientRecord> record = ReadPatient(m_ctx.Db.MainDb(), *m_patientID);
        if (!record) {
            m_patientID.reset();
            return;
        }
        txtLastName->setText(record->LastName);
        txtFirstName->setText(record->FirstName);
        txtID->setText(record->ID);
    } catch (const DbError& e) {
        ShowError(m_ctx, windowTitle(), tr("The patient record could not be read."), e.message());
    }
}

void frmEditPatient::cmdOkCancel_Click(Button button)
{
    MainWindowServices& main = m_ctx.MainWindow();
    ProgramState& p = m_ctx.Program;
    if (button == Button::Ok) {
        const PatientRecord record{txtLastName->text(), txtFirstName->text(), txtID->text()};
        qint32 id = 0;
        try {
            if (m_patientID) {
                id = *m_patientID;
                UpdatePatient(m_ctx.Db.MainDb(), id, record);
            } else {
                id = InsertPatient(m_ctx.Db.MainDb(), record);
            }
        } catch (const DbError& e) {
            // Stay open with everything typed, so nothing is lost.
            ShowError(m_ctx, windowTitle(), tr("The patient could not be stored."), e.message());
            return;
        }
        p.PatientID = id;
        p.InvoiceID.reset();
        p.PatientName = FullName(record.LastName, record.FirstName);
        main.UpdateCaption();
        main.UpdateToolbar(ToolbarState::PatientSelected);
    } else {
        p.PatientID.reset();
        p.InvoiceID.reset();
        main.UpdateCaption();
        main.UpdateToolbar(ToolbarState::NoPatient);
    }
    m_finished = true;
    accept();
}

void frmEditPatient::reject()
{
    if (!m_finished)
        cmdOkCancel_Click(Button::Cancel);
}

// --- frmListPrograms ---------------------------------------------------------------

frmListPrograms::frmListPrograms(AppContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx),
      m_model(new KeyedListModel({tr("Name"), tr("ID"), tr("Date")}, 2, this))
{
    setObjectName(QStringLiteral("frmListPrograms"));
    setWindowTitle(tr("Recall an Exericse Program"));
    connect(this, &QDialog::finished, this, &QObject::deleteLater);

    cmdOkCancel =
        MakeButtonArray(this, QStringLiteral("cmdOkCancel"), TaggedAsCaptions({Ok, Edit, Delete}),
                        [this](int index) { cmdOkCancel_Click(static_cast<Button>(index)); });
    lstPatients = MakeList(this, m_model, {cmdOkCancel[1], cmdOkCancel[2]},
                           [this] { cmdOkCancel_Click(Button::Ok); });
    lstPatients->setColumnWidth(0, 210);
    lstPatients->setColumnWidth(1, 100);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(lstPatients, 1);
    layout->addLayout(ButtonColumn(cmdOkCancel));
    resize(560, 340);

    Windows(m_ctx).CenterForm(this);
    FillProgramList();
}

void frmListPrograms::FillProgramList()
{
    std::vector<KeyedListModel::Row> rows;
    try {
        const std::vector<ProgramRow> programs =
            ReadProgramRows(m_ctx.Db.MainDb(), m_ctx.Program.PatientID);
        rows.reserve(programs.size());
        for (const ProgramRow& p : programs)
            rows.push_back({p.InvoiceID, {p.FullName, p.ID, p.Date}});
    } catch (const DbError& e) {
        ReportError(tr("The stored programs could not be read."), e.message());
    }
    m_model->SetRows(std::move(rows));
}

void frmListPrograms::ReportError(const QString& what, const QString& engineText)
{
    ShowError(m_ctx, windowTitle(), what, engineText);
}

void frmListPrograms::cmdOkCancel_Click(Button button)
{
    if (button == Button::Ok) {
        accept();
        return;
    }
    // After a deletion "Edit" and "Delete" stay enabled with no row selected.
    const int row = lstPatients->SelectedRow();
    if (row < 0)
        return;
    const qint32 invoice = IdFromKey(m_model->KeyAt(row));

    if (button == Button::Edit) {
        try {
            LoadProgram(m_ctx, invoice);
        } catch (const DbError& e) {
            ReportError(tr("The exercise program could not be opened."), e.message());
            return;
        }
        m_ctx.Program.SaveAsNew = false;
        m_ctx.MainWindow().SetStatusBarReady();
        m_ctx.MainWindow().UpdateToolbar(ToolbarState::PatientSelected);
        accept();
    } else if (button == Button::Delete) {
        const PromptAnswer answer =
            m_ctx.Prompt().Message(tr("Delete Exercise Program"),
                                   tr("Are you sure you want to delete this exercise program."),
                                   PromptIcon::Information, PromptButtons::YesNo, PromptAnswer::No);
        if (answer != PromptAnswer::Yes)
            return;
        try {
            DeleteProgram(m_ctx.Db.MainDb(), invoice);
        } catch (const DbError& e) {
            ReportError(tr("The exercise program could not be deleted."), e.message());
            return;
        }
        FillProgramList();
    }
}

} // namespace tramelle
