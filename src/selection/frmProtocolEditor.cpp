#include "frmProtocolEditor.h"

#include "AppContext.h"
#include "DbError.h"

#include "SingleWindow.h"
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
    ctx.MainWindow().CenterForm(editor);
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
    struct Def
    {
        int index;
        const char* tag;
        QString caption;
        QStyle::StandardPixmap icon;
    };
    const Def defs[] = {{0, "OK", tr("OK"), QStyle::SP_DialogOkButton},
                        {2, "New", tr("New"), QStyle::SP_FileIcon},
                        {3, "Edit", tr("Edit"), QStyle::SP_FileDialogDetailedView},
                        {4, "Delete", tr("Delete"), QStyle::SP_TrashIcon}};
    for (const Def& d : defs) {
        auto* b = new QPushButton(style()->standardIcon(d.icon), d.caption, this);
        b->setObjectName(QStringLiteral("cmdOkCancel_%1").arg(d.index));
        const QString tag = QLatin1String(d.tag);
        b->setProperty("tag", tag);
        b->setAutoDefault(false);
        b->setMinimumWidth(84);
        connect(b, &QPushButton::clicked, this, [this, tag] { cmdOkCancelClick(tag); });
        cmdOkCancel[static_cast<size_t>(d.index)] = b;
        column->addWidget(b);
        if (d.index == 0)
            column->addSpacing(16);
    }
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
    cmdOkCancel[2]->setEnabled(!Editing());
    cmdOkCancel[3]->setEnabled(chosen && !Editing());
    cmdOkCancel[4]->setEnabled(chosen && !Editing());
}

void frmProtocolEditor::cmdOkCancelClick(const QString& tag)
{
    if (tag == QLatin1String("New")) {
        if (!m_selection || Editing())
            return;
        BeginProtocolMode();
        m_selection->ClearSelectedExercises();
        OpenSelection(frmExerciseSelection::Mode::NewProtocol);
    } else if (tag == QLatin1String("Edit")) {
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
    } else if (tag == QLatin1String("Delete")) {
        if (SelectedProtocolID() != 0 && !Editing())
            DeleteProtocol(SelectedProtocolID(), true);
    } else if (tag == QLatin1String("OK")) {
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
    }
}

void frmProtocolEditor::reject()
{
    cmdOkCancelClick(QStringLiteral("OK"));
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
        m_ctx.Prompt().Message(QStringLiteral("Error in SaveProtocolAs"),
                               tr("The protocol was not saved.\r\n\r\n%1").arg(e.message()),
                               PromptIcon::Critical, PromptButtons::Ok);
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
        m_ctx.Prompt().Message(QStringLiteral("Error in DeleteProtocol"),
                               tr("The protocol was not deleted.\r\n\r\n%1").arg(e.message()),
                               PromptIcon::Critical, PromptButtons::Ok);
        deleted = false;
    }
    FillcboProtocol();
    return deleted;
}

} // namespace tramelle
