#pragma once

#include "PrintTypes.h"
#include "Services.h"
#include "WindowServices.h"
#include "frmExerciseSelection.h"
#include "frmPreferences.h"
#include "frmProgress.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

namespace tramelle {

class AppContext;
class frmAbout;
class frmCheckMedia;
class frmMedia;

// The main window: menus, toolbar, status bar and caption, from which every command
// starts. Other windows reach it only through MainWindowServices and WindowServices;
// the printer dialog itself is the one of the window services installed before it.
class mdiVMR : public QMainWindow, public MainWindowServices, public WindowServices
{
    Q_OBJECT

public:
    explicit mdiVMR(AppContext& ctx, QWidget* parent = nullptr);
    ~mdiVMR() override;

    // Last states passed to UpdateToolbar and UpdateMenu.
    tramelle::ToolbarState ToolbarState = tramelle::ToolbarState::HelpOnly;
    tramelle::MenuState MenuState = tramelle::MenuState::Restricted;
    // One-shot: the next MaybeShowPrintDlg goes on without the printer dialog.
    bool SkipPrintDialog = false;
    // The document the next print or preview produces.
    tramelle::PrintJobKind PrintJobKind = tramelle::PrintJobKind::Exercises4;

    void UpdateCaption() override;
    void SetStatusBar(const QString& text) override;
    void SetStatusBarReady() override;
    void UpdateToolbar(tramelle::ToolbarState state) override;
    void UpdateMenu(tramelle::MenuState state) override;
    bool PrinterDialog(QPrinter* printer, const QString& proposedFile = QString()) override;
    bool MaybeShowPrintDlg(QPrinter* printer, const QString& proposedFile = QString()) override;
    void InitProgress(qint32 maximum) override;
    void UpdateProgress(qint32 value) override;
    void DestroyProgress() override;
    void InitCancellableProgress(qint32 maximum, const QString& caption) override;
    bool ProgressCancelled() override;
    void CenterForm(QWidget* form) override;

    QString AppPathAndFName(const QString& name) const;

    QMdiArea* MdiArea() const { return m_mdiArea; }
    frmProgress* ProgressForm() const { return m_progress; }
    // The toolbar button with this key ("Patient", "Exercises", ...).
    QAction* ToolbarButton(const QString& key) const { return m_buttons.value(key); }

    // Where the options are written at shutdown; empty means the per-user store.
    void SetSettingsFile(const QString& file) { m_settingsFile = file; }

    // Closes the databases and writes the settings; runs once, when the window closes.
    void Shutdown();

    // Builds the exercise selection window once, hidden (start-up step 7).
    bool CreateSelectionWindow();
    frmExerciseSelection* SelectionWindow() const { return m_selection; }
    // Shows the selection window maximised as the active child.
    void ShowSelectionWindow();

    // The tip of the day, modal (start-up step 8).
    void ShowTipOfTheDay();

    // Builds the selection window afresh from the re-opened library (after the library
    // list's "Exit").
    void RebuildSelectionWindow();

public slots:
    void mnuPrintEx4_Click();
    void mnuPrintEx2_Click();
    void mnuPrintPatientRecord_Click();
    void mnuPrintVideo_Click();
    void mnuPrintCover_Click();
    void mnuPrintLarge_Click();
    void mnuPreviewEx4_Click();
    void mnuPreviewEx2_Click();
    void mnuPreviewPatientRecord_Click();
    void mnuPreviewVideo_Click();
    void mnuPreviewCover_Click();
    void mnuPreviewLarge_Click();
    // File > Export PDF: the document straight to a file, without the printer dialog.
    void mnuExportPdf_Click(tramelle::PrintJobKind kind);
    void mnuClinic_Click();
    void mnuSetMedia_Click();
    void mnuCopyPictures_Click();
    void mnuPreferences_Click();
    void mnuExit_Click();
    void mnuBackup_Click();
    void mnuCompress_Click();
    void mnuRebuild_Click();
    void mnuEditPicklist_Click();
    void mnuProtocolEditor_Click();
    void mnuLibrary_Click();
    void mnuContents_Click();
    void mnuPrintManual_Click();
    void mnuAbout_Click();

    void Toolbar1_Patient();
    void Toolbar1_Exercises();
    void Toolbar1_Video();
    void Toolbar1_Preview();
    void Toolbar1_Print();
    void Toolbar1_Programs();
    void Toolbar1_Help();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenus();
    void BuildToolbar();
    void BuildStatusBar();
    QAction* MenuItem(QMenu* menu, const char* name, const QString& caption,
                      void (mdiVMR::*slot)());
    QMenu* SubMenu(QMenu* parent, const char* name, const QString& caption);
    void PrintSheets();
    void BuildExportMenu(QMenu* file);
    void Preview();

    AppContext& m_ctx;
    // The window services installed before this window, which show the printer dialog.
    WindowServices* m_dialogs = nullptr;
    QMdiArea* m_mdiArea;
    QToolBar* m_toolbar = nullptr;
    QHash<QString, QAction*> m_buttons;
    QLabel* m_statusPanel = nullptr;
    QLabel* m_dirtyPanel = nullptr;
    QString m_lastStatus;
    QPointer<frmProgress> m_progress;
    // Set when the progress window of cancellable work went away before the work ended.
    bool m_progressGone = false;
    QPointer<frmPreferences> m_preferences;
    QPointer<frmMedia> m_media;
    QPointer<frmCheckMedia> m_checkMedia;
    QPointer<frmAbout> m_about;
    QString m_settingsFile;
    bool m_shutDown = false;
    bool m_saveAsked = false;
    QPointer<frmExerciseSelection> m_selection;
    QMdiSubWindow* m_selectionSub = nullptr;
};

} // namespace tramelle
