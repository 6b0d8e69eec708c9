#include "frmProtocolEditor.h"
#include "Outcome.h"

#include "AppContext.h"
#include "ButtonArray.h"
#include "DbError.h"
#include "SharingWindows.h"
#include "SingleWindow.h"
#include "WindowServices.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace tramelle {

frmProtocolEditor* frmProtocolEditor::Open(AppContext& ctx, frmExerciseSelection* selection,
                                           std::function<void()> showSelection, QWidget* parent)
{
    if (auto* open = RaiseOpenWindow<frmProtocolEditor>(parent))
        return open;
    auto* editor = new frmProtocolEditor(ctx, selection, std::move(showSelection), parent);
    QObject::connect(editor, &QDialog::finished, editor, &QObject::deleteLater);
    editor->show();
    Windows(ctx).CenterForm(editor);
    return editor;
}

frmProtocolEditor::frmProtocolEditor(AppContext& ctx, frmExerciseSelection* selection,
                                     std::function<void()> showSelection, QWidget* parent)
    : ProtocolForm(ctx, selection, parent), m_showSelection(std::move(showSelection))
{
    setObjectName(QStringLiteral("frmProtocolEditor"));
    setWindowTitle(tr("Protocol Editor"));
    setModal(false);
    auto* outer = new QHBoxLayout(this);
    auto* lists = new QVBoxLayout;
    AddLists(lists, tr("Name"), tr("Exercises"));
    outer->addLayout(lists, 1);

    auto* column = new QVBoxLayout;
    const auto spec = [this](Button b, const QString& tag, const QString& caption,
                             QStyle::StandardPixmap icon) {
        return ArrayButton{static_cast<int>(b), tag, caption, style()->standardIcon(icon)};
    };
    const QList<QPushButton*> made = MakeButtonArray(
        this, QStringLiteral("cmdOkCancel"),
        {spec(Button::Ok, QStringLiteral("OK"), tr("OK"), QStyle::SP_DialogOkButton),
         spec(Button::New, QStringLiteral("New"), tr("New"), QStyle::SP_FileIcon),
         spec(Button::Edit, QStringLiteral("Edit"), tr("Edit"), QStyle::SP_FileDialogDetailedView),
         spec(Button::Delete, QStringLiteral("Delete"), tr("Delete"), QStyle::SP_TrashIcon)},
        [this](int index) { cmdOkCancel_Click(static_cast<Button>(index)); });
    for (QPushButton* button : made) {
        button->setMinimumWidth(84);
        column->addWidget(button);
        if (button == made.first())
            column->addSpacing(16);
    }
    cmdOkCancel = {made[0], nullptr, made[1], made[2], made[3]};
    cmdExport = new QPushButton(tr("Export..."), this);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    cmdExport->setAutoDefault(false);
    connect(cmdExport, &QPushButton::clicked, this, [this] {
        if (SelectedProtocolID() == 0 || Editing())
            return;
        ShareSelection selection;
        selection.Protocols = {SelectedProtocolID()};
        ExportExercisesCommand(m_ctx, selection);
    });
    column->addWidget(cmdExport);
    column->addStretch(1);
    outer->addLayout(column);
    resize(420, 340);

    FillcboProtocol();
    // Only Help stays on the toolbar while the editor is open.
    m_ctx.MainWindow().UpdateToolbar(ToolbarState::HelpOnly);
}

frmProtocolEditor::~frmProtocolEditor()
{
    LeaveProtocolMode();
}

void frmProtocolEditor::cboProtocol_Click()
{
    ProtocolForm::cboProtocol_Click();
    UpdateButtons();
}

void frmProtocolEditor::UpdateButtons()
{
    // Nothing can be edited or deleted under "(None Selected)", nor while a protocol is
    // being put together.
    const bool chosen = SelectedProtocolID() != 0;
    cmdOkCancel[static_cast<size_t>(Button::New)]->setEnabled(!Editing());
    cmdOkCancel[static_cast<size_t>(Button::Edit)]->setEnabled(chosen && !Editing());
    cmdOkCancel[static_cast<size_t>(Button::Delete)]->setEnabled(chosen && !Editing());
    cmdExport->setEnabled(chosen && !Editing());
}

void frmProtocolEditor::cmdOkCancel_Click(Button button)
{
    switch (button) {
    case Button::New:
        if (!m_selection || Editing())
            return;
        BeginProtocolMode();
        m_selection->ClearSelectedExercises();
        OpenSelection(frmExerciseSelection::Mode::NewProtocol);
        break;
    case Button::Edit: {
        const qint32 id = SelectedProtocolID();
        if (!m_selection || Editing() || id == 0)
            return;
        BeginProtocolMode();
        if (!InitSelExsFromProtocol(id)) {
            LeaveProtocolMode();
            return;
        }
        m_editedId = id;
        m_editedName = SelectedProtocolName();
        OpenSelection(frmExerciseSelection::Mode::EditProtocol);
        break;
    }
    case Button::Delete:
        if (SelectedProtocolID() != 0 && !Editing())
            DeleteProtocol(SelectedProtocolID(), true);
        break;
    case Button::Ok:
        if (m_closing)
            return;
        m_closing = true;
        // A protocol still being put together is dropped: the selection window's Cancel.
        if (Editing() && m_selection) {
            if (auto* cancel =
                    m_selection->findChild<QPushButton*>(QStringLiteral("cmdOkCancel_1")))
                cancel->click();
        }
        LeaveProtocolMode();
        m_ctx.MainWindow().UpdateToolbar(m_ctx.Program.PatientID ? ToolbarState::PatientSelected
                                                                 : ToolbarState::NoPatient);
        m_ctx.MainWindow().UpdateMenu(MenuState::All);
        accept();
        break;
    }
}

void frmProtocolEditor::reject()
{
    cmdOkCancel_Click(Button::Ok);
}

void frmProtocolEditor::BeginProtocolMode()
{
    m_savedProgram = m_ctx.Program;
    m_savedMode = m_selection->SelectionMode();
    m_selection->SetProtocolAcceptor([this](frmExerciseSelection::Mode mode) {
        return mode == frmExerciseSelection::Mode::NewProtocol ? AddNewProtocol()
                                                               : SaveEditedProtocol();
    });
    connect(m_selection, &frmExerciseSelection::windowHidden, this,
            &frmProtocolEditor::LeaveProtocolMode, Qt::UniqueConnection);
    UpdateButtons();
}

void frmProtocolEditor::OpenSelection(frmExerciseSelection::Mode mode)
{
    m_selection->SetSelectionMode(mode);
    if (m_showSelection)
        m_showSelection();
    m_selection->InitExerciseSelection(false);
    m_selection->Form_Activate();
}

void frmProtocolEditor::LeaveProtocolMode()
{
    if (!m_savedProgram)
        return;
    m_ctx.Program = *m_savedProgram;
    m_savedProgram.reset();
    m_editedId = 0;
    m_editedName.clear();
    if (m_selection) {
        disconnect(m_selection, &frmExerciseSelection::windowHidden, this,
                   &frmProtocolEditor::LeaveProtocolMode);
        m_selection->SetProtocolAcceptor({});
        m_selection->SetSelectionMode(m_savedMode);
        m_selection->LoadSelectedExs();
    }
    m_ctx.MainWindow().SetStatusBarReady();
    if (cmdOkCancel[2])
        UpdateButtons();
}

bool frmProtocolEditor::AddNewProtocol()
{
    for (;;) {
        const std::optional<QString> name = m_ctx.Prompt().InputBox(
            QStringLiteral("Add Protocol"), QStringLiteral("Enter the new protocol name"));
        if (!name)
            return false;
        if (!name->trimmed().isEmpty())
            return SaveProtocolAs(*name);
        m_ctx.Prompt().Message(QStringLiteral("Add Protocol"),
                               tr("Please enter a name for the protocol."), PromptIcon::Information,
                               PromptButtons::Ok);
    }
}

bool frmProtocolEditor::SaveEditedProtocol()
{
    if (m_editedId == 0)
        return false;
    return SaveProtocolAs(m_editedName, m_editedId);
}

bool frmProtocolEditor::SaveProtocolAs(const QString& name, std::optional<qint32> replaced)
{
    try {
        tramelle::SaveProtocolAs(m_ctx.Db.MainDb(), name, m_ctx.Program, replaced);
    } catch (const DbError& e) {
        ReportFailure(m_ctx, QStringLiteral("SaveProtocolAs"),
                      tr("The protocol was not saved.\r\n\r\n%1").arg(e.message()));
        return false;
    }
    FillcboProtocol();
    return true;
}

bool frmProtocolEditor::DeleteProtocol(qint32 id, bool ask)
{
    if (ask && m_ctx.Prompt().Message(QStringLiteral("Delete Protocol"),
                                      QStringLiteral("Are you sure you want to delete: ") +
                                          SelectedProtocolName(),
                                      PromptIcon::Warning, PromptButtons::YesNo,
                                      PromptAnswer::No) != PromptAnswer::Yes)
        return false;
    bool deleted = true;
    try {
        tramelle::DeleteProtocol(m_ctx.Db.MainDb(), id);
    } catch (const DbError& e) {
        ReportFailure(m_ctx, QStringLiteral("DeleteProtocol"),
                      tr("The protocol was not deleted.\r\n\r\n%1").arg(e.message()));
        deleted = false;
    }
    FillcboProtocol();
    return deleted;
}

} // namespace tramelle
