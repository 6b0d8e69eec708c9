#include "mdiVMR.h"

#include "AppContext.h"
#include "Database.h"
#include "HelpCommands.h"
#include "MaintenanceCommands.h"
#include "PatientWindows.h"
#include "PrintJobs.h"
#include "ProgramStore.h"
#include "Settings.h"
#include "SingleWindow.h"
#include "frmAbout.h"
#include "frmBackup.h"
#include "frmCheckMedia.h"
#include "frmClinic.h"
#include "frmExerciseSelection.h"
#include "frmItems.h"
#include "frmLibrary.h"
#include "frmMedia.h"
#include "frmPicklistEditor.h"
#include "frmPreferences.h"
#include "frmPrintPreview.h"
#include "frmProgress.h"
#include "frmProtocolEditor.h"
#include "frmSelectProtocol.h"
#include "frmTip.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>

// Resources of a static library are registered by name, outside any namespace.
static void InitAppResources()
{
    Q_INIT_RESOURCE(app);
}

namespace tramelle {

namespace {

QString StatusReady()
{
    return QCoreApplication::translate("tramelle::mdiVMR", "Status: Ready");
}

// The toolbar's buttons in order; an empty key is a separator.
struct ToolbarButtonDef
{
    const char* key;
    const char* tip;
    const char* icon;
    void (mdiVMR::*slot)();
};

const ToolbarButtonDef ToolbarButtons[] = {
    {QT_TRANSLATE_NOOP("tramelle::mdiVMR", "Patient"),
     QT_TRANSLATE_NOOP("tramelle::mdiVMR", "Select patient"), "patient", &mdiVMR::Toolbar1_Patient},
    {QT_TRANSLATE_NOOP("tramelle::mdiVMR", "Exercises"),
     QT_TRANSLATE_NOOP("tramelle::mdiVMR", "Select exercises"), "exercises",
     &mdiVMR::Toolbar1_Exercises},
    {QT_TRANSLATE_NOOP("tramelle::mdiVMR", "Video"),
     QT_TRANSLATE_NOOP("tramelle::mdiVMR", "Order video tape"), "video", &mdiVMR::Toolbar1_Video},
    {"", "", "", nullptr},
    {QT_TRANSLATE_NOOP("tramelle::mdiVMR", "Preview"),
     QT_TRANSLATE_NOOP("tramelle::mdiVMR", "Preview exercise sheets"), "preview",
     &mdiVMR::Toolbar1_Preview},
    {QT_TRANSLATE_NOOP("tramelle::mdiVMR", "Print"),
     QT_TRANSLATE_NOOP("tramelle::mdiVMR", "Print exercise eheets"), "print",
     &mdiVMR::Toolbar1_Print},
    {"", "", "", nullptr},
    {QT_TRANSLATE_NOOP("tramelle::mdiVMR", "Programs"),
     QT_TRANSLATE_NOOP("tramelle::mdiVMR", "Recall stored programs"), "programs",
     &mdiVMR::Toolbar1_Programs},
    {"", "", "", nullptr},
    {QT_TRANSLATE_NOOP("tramelle::mdiVMR", "Help"), QT_TRANSLATE_NOOP("tramelle::mdiVMR", "Help"),
     "help", &mdiVMR::Toolbar1_Help},
};

// Shows a window that opens once: a second command brings the open one to the front.
template <typename Form> void ShowSingle(QPointer<Form>& form, AppContext& ctx, QWidget* parent)
{
    if (form) {
        RaiseWindow(form);
        return;
    }
    form = new Form(ctx, parent);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
}

} // namespace

mdiVMR::mdiVMR(AppContext& ctx, QWidget* parent)
    : QMainWindow(parent), m_ctx(ctx), m_dialogs(ctx.InstalledWindowServices()),
      m_mdiArea(new QMdiArea(this))
{
    InitAppResources();
    setObjectName(QStringLiteral("mdiVMR"));
    setWindowTitle(tr("VMR Tramelle"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/logo.svg")));
    m_mdiArea->setObjectName(QStringLiteral("MDIClient"));
    m_mdiArea->setBackground(palette().brush(QPalette::Dark));
    setCentralWidget(m_mdiArea);
    BuildMenus();
    BuildToolbar();
    BuildStatusBar();
    resize(1000, 700);
    m_ctx.SetMainWindowServices(this);
    m_ctx.SetWindowServices(this);
}

mdiVMR::~mdiVMR()
{
    if (&m_ctx.MainWindow() == this)
        m_ctx.SetMainWindowServices(nullptr);
    if (m_ctx.InstalledWindowServices() == this)
        m_ctx.SetWindowServices(m_dialogs);
}

QAction* mdiVMR::MenuItem(QMenu* menu, const char* name, const QString& caption,
                          void (mdiVMR::*slot)())
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    connect(action, &QAction::triggered, this, slot);
    return action;
}

QMenu* mdiVMR::SubMenu(QMenu* parent, const char* name, const QString& caption)
{
    QMenu* menu = parent ? parent->addMenu(caption) : menuBar()->addMenu(caption);
    menu->setObjectName(QLatin1String(name));
    menu->menuAction()->setObjectName(QLatin1String(name) + QStringLiteral("Action"));
    return menu;
}

void mdiVMR::BuildMenus()
{
    QMenu* file = SubMenu(nullptr, "mnuFile", tr("&File"));
    QMenu* print = SubMenu(file, "mnuPrint", tr("Print"));
    MenuItem(print, "mnuPrintEx4", tr("Exercises &4/page"), &mdiVMR::mnuPrintEx4_Click);
    MenuItem(print, "mnuPrintEx2", tr("Exercises &2/page"), &mdiVMR::mnuPrintEx2_Click);
    MenuItem(print, "mnuPrintPatientRecord", tr("Patient &Record"),
             &mdiVMR::mnuPrintPatientRecord_Click);
    MenuItem(print, "mnuPrintVideo", tr("&Video Order"), &mdiVMR::mnuPrintVideo_Click);
    MenuItem(print, "mnuPrintCover", tr("&Cover Page"), &mdiVMR::mnuPrintCover_Click);
    MenuItem(print, "mnuPrintLarge", tr("Large &Print"), &mdiVMR::mnuPrintLarge_Click);
    QMenu* preview = SubMenu(file, "mnuPreview", tr("Preview"));
    MenuItem(preview, "mnuPreviewEx4", tr("Exercises &4/page"), &mdiVMR::mnuPreviewEx4_Click);
    MenuItem(preview, "mnuPreviewEx2", tr("Exercises &2/page"), &mdiVMR::mnuPreviewEx2_Click);
    MenuItem(preview, "mnuPreviewPatientRecord", tr("Patient &Record"),
             &mdiVMR::mnuPreviewPatientRecord_Click);
    MenuItem(preview, "mnuPreviewVideo", tr("&Video Order"), &mdiVMR::mnuPreviewVideo_Click);
    MenuItem(preview, "mnuPreviewCover", tr("&Cover Page"), &mdiVMR::mnuPreviewCover_Click);
    MenuItem(preview, "mnuPreviewLarge", tr("Large &Print"), &mdiVMR::mnuPreviewLarge_Click);
    BuildExportMenu(file);
    file->addSeparator()->setObjectName(QStringLiteral("mnuSep0"));
    MenuItem(file, "mnuClinic", tr("&Clinic Info"), &mdiVMR::mnuClinic_Click);
    MenuItem(file, "mnuSetMedia", tr("&Media Location"), &mdiVMR::mnuSetMedia_Click);
    MenuItem(file, "mnuCopyPictures", tr("&Copy Pictures"), &mdiVMR::mnuCopyPictures_Click);
    MenuItem(file, "mnuPreferences", tr("&Preferences"), &mdiVMR::mnuPreferences_Click);
    file->addSeparator()->setObjectName(QStringLiteral("mnuSep1"));
    MenuItem(file, "mnuExit", tr("E&xit"), &mdiVMR::mnuExit_Click);

    QMenu* database = SubMenu(nullptr, "mnuDatabase", tr("Database"));
    MenuItem(database, "mnuBackup", tr("&Backup"), &mdiVMR::mnuBackup_Click);
    MenuItem(database, "mnuCompress", tr("&Compress"), &mdiVMR::mnuCompress_Click);
    MenuItem(database, "mnuRebuild", tr("&Rebuild"), &mdiVMR::mnuRebuild_Click);

    QMenu* tools = SubMenu(nullptr, "mnuTools", tr("&Tools"));
    MenuItem(tools, "mnuEditPicklist", tr("Pick&list Editor"), &mdiVMR::mnuEditPicklist_Click);
    MenuItem(tools, "mnuProtocolEditor", tr("&Protocol Editor"), &mdiVMR::mnuProtocolEditor_Click);
    MenuItem(tools, "mnuLibrary", tr("&Exercise Library"), &mdiVMR::mnuLibrary_Click);

    QMenu* help = SubMenu(nullptr, "mnuHelp", tr("&Help"));
    MenuItem(help, "mnuContents", tr("&Contents"), &mdiVMR::mnuContents_Click);
    MenuItem(help, "mnuPrintManual", tr("&User Manual"), &mdiVMR::mnuPrintManual_Click);
    MenuItem(help, "mnuAbout", tr("&About"), &mdiVMR::mnuAbout_Click);
}

void mdiVMR::BuildExportMenu(QMenu* file)
{
    QMenu* exportPdf = SubMenu(file, "mnuExportPdf", tr("Export P&DF..."));
    const struct
    {
        const char* name;
        QString caption;
        tramelle::PrintJobKind kind;
    } items[] = {
        {"mnuExportEx4", tr("Exercises &4/page"), tramelle::PrintJobKind::Exercises4},
        {"mnuExportEx2", tr("Exercises &2/page"), tramelle::PrintJobKind::Exercises2},
        {"mnuExportPatientRecord", tr("Patient &Record"), tramelle::PrintJobKind::PatientRecord},
        {"mnuExportVideo", tr("&Video Order"), tramelle::PrintJobKind::VideoOrder},
        {"mnuExportCover", tr("&Cover Page"), tramelle::PrintJobKind::CoverPage},
        {"mnuExportLarge", tr("Large &Print"), tramelle::PrintJobKind::LargePrint},
    };
    for (const auto& item : items) {
        QAction* action = exportPdf->addAction(item.caption);
        action->setObjectName(QLatin1String(item.name));
        connect(action, &QAction::triggered, this,
                [this, kind = item.kind] { mnuExportPdf_Click(kind); });
    }
}

void mdiVMR::BuildToolbar()
{
    m_toolbar = addToolBar(tr("Toolbar"));
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setIconSize(QSize(32, 32));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->toggleViewAction()->setVisible(false);
    for (const ToolbarButtonDef& def : ToolbarButtons) {
        if (!def.slot) {
            m_toolbar->addSeparator();
            continue;
        }
        const QString key = QLatin1String(def.key);
        QAction* action = m_toolbar->addAction(
            QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(def.icon))), tr(def.key));
        action->setObjectName(QStringLiteral("Toolbar1_") + key);
        action->setData(key);
        action->setToolTip(tr(def.tip));
        connect(action, &QAction::triggered, this, def.slot);
        m_buttons.insert(key, action);
    }
}

void mdiVMR::BuildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(true);
    m_statusPanel = new QLabel(this);
    m_statusPanel->setObjectName(QStringLiteral("StatusBar1_status"));
    m_dirtyPanel = new QLabel(this);
    m_dirtyPanel->setObjectName(QStringLiteral("StatusBar1_dirty"));
    m_dirtyPanel->setMinimumWidth(120);
    m_dirtyPanel->setFrameShape(QFrame::StyledPanel);
    m_dirtyPanel->setFrameShadow(QFrame::Sunken);
    bar->addWidget(m_statusPanel, 1);
    bar->addPermanentWidget(m_dirtyPanel);
}

QString mdiVMR::AppPathAndFName(const QString& name) const
{
    return m_ctx.AppPathAndFName(name);
}

void mdiVMR::UpdateCaption()
{
    const ProgramState& p = m_ctx.Program;
    if (!p.PatientID)
        setWindowTitle(tr("VMR Tramelle - No Patient Selected"));
    else
        setWindowTitle(tr("VMR Tramelle Patient: %1").arg(p.PatientName));
}

void mdiVMR::SetStatusBar(const QString& text)
{
    // "Status: Ready" always repaints, so the save state shows after every save.
    if (text == m_lastStatus && text != StatusReady())
        return;
    m_lastStatus = text;
    m_statusPanel->setText(text);
    const ProgramState& p = m_ctx.Program;
    QString dirty;
    if (p.Modified)
        dirty = p.SaveAsNew ? tr("Add") : tr("Update");
    dirty += QLatin1Char(' ');
    if (p.InvoiceID)
        dirty += QString::number(*p.InvoiceID);
    m_dirtyPanel->setText(dirty);
    // Long operations report here; let the new text paint.
    QCoreApplication::processEvents();
}

void mdiVMR::SetStatusBarReady()
{
    SetStatusBar(StatusReady());
}

void mdiVMR::UpdateToolbar(tramelle::ToolbarState state)
{
    ToolbarState = state;
    for (QAction* a : std::as_const(m_buttons))
        a->setEnabled(false);
    QStringList enabled;
    switch (state) {
    case ToolbarState::HelpOnly:
        enabled = {QStringLiteral("Help")};
        break;
    case ToolbarState::NoPatient:
        enabled = {QStringLiteral("Patient"), QStringLiteral("Programs"), QStringLiteral("Help")};
        break;
    case ToolbarState::PatientSelected:
        enabled = m_buttons.keys();
        break;
    case ToolbarState::SelectionActive:
        enabled = {QStringLiteral("Preview"), QStringLiteral("Print"), QStringLiteral("Help")};
        break;
    case ToolbarState::NoneEnabled:
        break;
    }
    for (const QString& key : enabled)
        m_buttons.value(key)->setEnabled(true);
}

void mdiVMR::UpdateMenu(tramelle::MenuState state)
{
    MenuState = state;
    const bool print = state == MenuState::PrintOnly || state == MenuState::All;
    const bool rest = state == MenuState::All;
    for (const char* name : {"mnuPrint", "mnuPreview", "mnuExportPdf"})
        findChild<QMenu*>(QLatin1String(name))->menuAction()->setEnabled(print);
    for (const char* name : {"mnuClinic", "mnuSetMedia", "mnuCopyPictures", "mnuPreferences"})
        findChild<QAction*>(QLatin1String(name))->setEnabled(rest);
    for (const char* name : {"mnuDatabase", "mnuTools"})
        findChild<QMenu*>(QLatin1String(name))->menuAction()->setEnabled(rest);
}

bool mdiVMR::MaybeShowPrintDlg(QPrinter* printer, const QString& proposedFile)
{
    if (SkipPrintDialog) {
        SkipPrintDialog = false;
        return true;
    }
    return printer && PrinterDialog(printer, proposedFile);
}

bool mdiVMR::PrinterDialog(QPrinter* printer, const QString& proposedFile)
{
    return m_dialogs && m_dialogs->PrinterDialog(printer, proposedFile);
}

void mdiVMR::InitProgress(qint32 maximum)
{
    if (!m_progress)
        m_progress = new frmProgress(this);
    m_progress->InitProgress(maximum);
    m_progress->setWindowTitle(tr("Building Report"));
    m_progress->SetCancellable(false);
    m_progress->adjustSize();
    CenterForm(m_progress);
    m_progress->show();
}

void mdiVMR::UpdateProgress(qint32 value)
{
    if (m_progress)
        m_progress->UpdateProgress(value);
}

void mdiVMR::InitCancellableProgress(qint32 maximum, const QString& caption)
{
    InitProgress(maximum);
    m_progressGone = false;
    m_progress->setWindowTitle(caption);
    m_progress->SetCancellable(true);
    m_progress->adjustSize();
    CenterForm(m_progress);
}

bool mdiVMR::ProgressCancelled()
{
    return m_progressGone || !m_progress || m_progress->Cancelled();
}

void mdiVMR::DestroyProgress()
{
    m_progressGone = true;
    if (!m_progress)
        return;
    m_progress->close();
    m_progress->deleteLater();
    m_progress = nullptr;
}

void mdiVMR::CenterForm(QWidget* form)
{
    if (!form)
        return;
    QMdiSubWindow* child = nullptr;
    if (form != this) {
        for (QMdiSubWindow* sub : m_mdiArea->subWindowList()) {
            if (sub == form || sub->widget() == form)
                child = sub;
        }
    }
    if (child) {
        const int left = (m_mdiArea->viewport()->width() - child->width()) / 2;
        child->move(left, 0);
        return;
    }
    const QScreen* screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const QSize size = form->isVisible() ? form->frameGeometry().size() : form->size();
    form->move(area.x() + (area.width() - size.width()) / 2,
               area.y() + (area.height() - size.height()) / 2);
}

void mdiVMR::Shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    DestroyProgress();
    // A protocol being put together gives the patient's program back before anything is saved.
    if (auto* editor = findChild<frmProtocolEditor*>(QString(), Qt::FindDirectChildrenOnly))
        editor->reject();
    m_mdiArea->closeAllSubWindows();
    // Offer to save a modified program, unless closing the window already asked.
    if (m_ctx.Db.IsOpen() && !m_saveAsked)
        SaveProgram(m_ctx, true);
    CloseDatabases(m_ctx);
    SaveSettings(m_ctx, *OpenSettingsStore(m_settingsFile));
}

// Closing the selection window's frame acts as its Cancel, so the toolbar and menus
// come back; at shutdown it simply closes.
bool mdiVMR::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_selectionSub && event->type() == QEvent::Close && !m_shutDown && m_selection &&
        m_selectionSub->isVisible()) {
        event->ignore();
        if (auto* cancel = m_selection->findChild<QPushButton*>(QStringLiteral("cmdOkCancel_1")))
            cancel->click();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void mdiVMR::closeEvent(QCloseEvent* event)
{
    // A modified program: Yes saves, No closes without it, Cancel keeps the program running.
    const ProgramState& p = m_ctx.Program;
    if (!m_shutDown && m_ctx.Db.IsOpen() && p.PatientID && p.Modified) {
        const PromptAnswer answer = m_ctx.Prompt().Message(
            tr("Exercise Program Modified"), tr("Save current exercise program in database"),
            PromptIcon::Question, PromptButtons::YesNoCancel);
        if (answer == PromptAnswer::Cancel ||
            (answer == PromptAnswer::Yes && !SaveProgram(m_ctx, false))) {
            event->ignore();
            return;
        }
        m_saveAsked = true;
    }
    Shutdown();
    event->accept();
}

// Printing and previews: the print job and the preview window are hooked in here.
void mdiVMR::mnuPrintEx4_Click()
{
    PrintJobKind = tramelle::PrintJobKind::Exercises4;
    PrintSheets();
}

void mdiVMR::mnuPrintEx2_Click()
{
    PrintJobKind = tramelle::PrintJobKind::Exercises2;
    PrintSheets();
}

void mdiVMR::mnuPrintPatientRecord_Click()
{
    PrintJobKind = tramelle::PrintJobKind::PatientRecord;
    PrintDocument(m_ctx, PrintJobKind);
}

void mdiVMR::mnuPrintVideo_Click()
{
    PrintJobKind = tramelle::PrintJobKind::VideoOrder;
    PrintDocument(m_ctx, PrintJobKind);
}

void mdiVMR::mnuPrintCover_Click()
{
    PrintCoverDocument(m_ctx);
}

void mdiVMR::mnuPrintLarge_Click()
{
    PrintJobKind = tramelle::PrintJobKind::LargePrint;
    PrintDocument(m_ctx, PrintJobKind);
}

void mdiVMR::mnuPreviewEx4_Click()
{
    PrintJobKind = tramelle::PrintJobKind::Exercises4;
    Preview();
}

void mdiVMR::mnuPreviewEx2_Click()
{
    PrintJobKind = tramelle::PrintJobKind::Exercises2;
    Preview();
}

void mdiVMR::mnuPreviewPatientRecord_Click()
{
    PrintJobKind = tramelle::PrintJobKind::PatientRecord;
    Preview();
}

void mdiVMR::mnuPreviewVideo_Click()
{
    PrintJobKind = tramelle::PrintJobKind::VideoOrder;
    Preview();
}

void mdiVMR::mnuPreviewCover_Click()
{
    PrintJobKind = tramelle::PrintJobKind::CoverPage;
    Preview();
}

void mdiVMR::mnuPreviewLarge_Click()
{
    PrintJobKind = tramelle::PrintJobKind::LargePrint;
    Preview();
}

void mdiVMR::mnuExportPdf_Click(tramelle::PrintJobKind kind)
{
    ExportPdfCommand(m_ctx, kind);
}

// The exercise sheets, after the cover page when that option is on. The one-shot
// SkipPrintDialog is consumed by MaybeShowPrintDlg; it never outlives the command.
void mdiVMR::PrintSheets()
{
    PrintExerciseSheetsCommand(m_ctx, PrintJobKind, false);
    SkipPrintDialog = false;
}

void mdiVMR::Preview()
{
    ShowPrintPreview(m_ctx, PrintJobKind, this);
}

// Windows built elsewhere open from these commands.
void mdiVMR::mnuClinic_Click()
{
    OpenClinicInfo(m_ctx, this);
}
void mdiVMR::mnuSetMedia_Click()
{
    ShowSingle(m_media, m_ctx, this);
}

void mdiVMR::mnuCopyPictures_Click()
{
    ShowSingle(m_checkMedia, m_ctx, this);
}

void mdiVMR::mnuPreferences_Click()
{
    ShowSingle(m_preferences, m_ctx, this);
}

void mdiVMR::mnuExit_Click()
{
    close();
}

void mdiVMR::mnuBackup_Click()
{
    OpenBackup(m_ctx, this);
}
void mdiVMR::mnuCompress_Click()
{
    CompressCommand(m_ctx);
}

void mdiVMR::mnuRebuild_Click()
{
    RebuildCommand(m_ctx);
}

void mdiVMR::mnuEditPicklist_Click()
{
    // The selection window fills its pick lists once; new entries are offered at once.
    OpenPicklistEditor(m_ctx, this, [this] {
        if (m_selection)
            m_selection->RefillPickLists();
    });
}
void mdiVMR::mnuProtocolEditor_Click()
{
    if (!CreateSelectionWindow())
        return;
    frmProtocolEditor::Open(
        m_ctx, m_selection, [this] { ShowSelectionWindow(); }, this);
}
void mdiVMR::mnuLibrary_Click()
{
    OpenLibrary(m_ctx, this, [this] { RebuildSelectionWindow(); });
}

void mdiVMR::mnuContents_Click()
{
    OpenHelpContents(m_ctx, this);
}

void mdiVMR::mnuPrintManual_Click()
{
    OpenUserManual(m_ctx, this);
}

void mdiVMR::mnuAbout_Click()
{
    ShowSingle(m_about, m_ctx, this);
}

void mdiVMR::ShowTipOfTheDay()
{
    frmTip tip(m_ctx, this);
    tip.exec();
}

void mdiVMR::Toolbar1_Patient()
{
    OpenSelectPatient(m_ctx, this);
}

// Opens the selection window on the current patient's program.
void mdiVMR::Toolbar1_Exercises()
{
    if (!m_selection)
        CreateSelectionWindow();
    if (!m_selection)
        return;
    m_selection->SetSelectionMode(frmExerciseSelection::Mode::Program);
    ShowSelectionWindow();
    m_selection->InitExerciseSelection(true);
    UpdateMenu(MenuState::PrintOnly);
    UpdateToolbar(ToolbarState::SelectionActive);
}

bool mdiVMR::CreateSelectionWindow()
{
    if (m_selection)
        return true;
    m_selection = new frmExerciseSelection(m_ctx);
    m_selectionSub = m_mdiArea->addSubWindow(m_selection);
    // The window is built once and kept: closing it only hides it.
    m_selectionSub->setAttribute(Qt::WA_DeleteOnClose, false);
    m_selectionSub->setWindowTitle(m_selection->windowTitle());
    m_selectionSub->installEventFilter(this);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* sub) {
        if (sub && sub == m_selectionSub && m_selection && sub->isVisible())
            m_selection->Form_Activate();
    });
    // "Protocol" hid the window; the protocol list brings it back.
    connect(m_selection, &frmExerciseSelection::protocolRequested, this, [this] {
        frmSelectProtocol::Open(
            m_ctx, m_selection, [this] { ShowSelectionWindow(); }, this);
    });
    m_selectionSub->hide();
    return true;
}

void mdiVMR::ShowSelectionWindow()
{
    if (!m_selectionSub)
        return;
    m_selectionSub->showMaximized();
    m_selectionSub->raise();
    m_mdiArea->setActiveSubWindow(m_selectionSub);
}

void mdiVMR::RebuildSelectionWindow()
{
    if (m_selectionSub) {
        m_selectionSub->removeEventFilter(this);
        delete m_selectionSub; // and the selection window inside it
        m_selectionSub = nullptr;
    }
    // CreateSelectionWindow connects the activation again.
    disconnect(m_mdiArea, &QMdiArea::subWindowActivated, this, nullptr);
    CreateSelectionWindow();
}

void mdiVMR::Toolbar1_Video()
{
    OpenOrderItems(m_ctx, this);
}

void mdiVMR::Toolbar1_Preview()
{
    mnuPreviewEx4_Click();
}

void mdiVMR::Toolbar1_Print()
{
    SkipPrintDialog = true;
    mnuPrintEx4_Click();
}

void mdiVMR::Toolbar1_Programs()
{
    OpenListPrograms(m_ctx, this);
}

void mdiVMR::Toolbar1_Help()
{
    mnuContents_Click();
}

} // namespace tramelle
