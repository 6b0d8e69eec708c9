#pragma once

#include "AppContext.h"
#include "Services.h"
#include "WindowServices.h"

#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <memory>

namespace tramelle::test {

// Fixed locale, test-mode settings store, the build tree's delivered folder. The test main
// (TRAMELLE_TEST_MAIN) calls it before any test runs; other programs call it first.
void InitTestEnvironment();

// Writes a file, creating its folder; a failure fails the test.
void WriteTestFile(const QString& path, const QByteArray& bytes);
// The bytes of a file, or none when it cannot be read.
QByteArray TestFileBytes(const QString& path);

// One message box, input box or dialog as it was asked.
struct PromptRecord
{
    QString kind; // "message", "input", "open", "save", "folder", "printer"
    QString title;
    QString text;
    PromptIcon icon = PromptIcon::None;
    PromptButtons buttons = PromptButtons::Ok;
    std::optional<PromptAnswer> defaultButton;
};

// Records every prompt and answers from a queue; with the queue empty a message gets
// its default (Ok / No / Cancel / Abort) and dialogs are cancelled. Also the printer
// dialog under a main window (installed as its window services).
class ScriptedPromptService : public PromptService, public WindowServices
{
public:
    QList<PromptRecord> Records;
    std::deque<PromptAnswer> Answers;
    std::deque<std::optional<QString>> TextAnswers; // input boxes and file dialogs
    std::deque<bool> PrinterAnswers;

    PromptAnswer Message(const QString& title, const QString& text, PromptIcon icon,
                         PromptButtons buttons, std::optional<PromptAnswer> defaultButton) override;
    std::optional<QString> InputBox(const QString& title, const QString& prompt,
                                    const QString& defaultText) override;
    QString OpenFileName(const QString& title, const QString& folder,
                         const QString& filter) override;
    QString SaveFileName(const QString& title, const QString& folder,
                         const QString& filter) override;
    QString ExistingFolder(const QString& title, const QString& folder) override;
    // Records the proposed PDF file name as the text.
    bool PrinterDialog(QPrinter* printer, const QString& proposedFile) override;
    bool MaybeShowPrintDlg(QPrinter* printer, const QString& proposedFile) override
    {
        return printer && PrinterDialog(printer, proposedFile);
    }
    void CenterForm(QWidget*) override {}

    // The texts of the message boxes shown, in order.
    QStringList MessageTexts() const;
    void Clear() { Records.clear(); }
};

struct LaunchRecord
{
    QString kind; // "open", "url", "run", "start"
    QString program;
    QStringList arguments;
};

// Records every launch; succeeds unless Fail is set.
class ScriptedLauncherService : public LauncherService
{
public:
    QList<LaunchRecord> Launches;
    bool Fail = false;
    QString FailureText = QStringLiteral("scripted failure");
    QStringList AvailablePrograms; // names FindProgram finds

    Outcome OpenDocument(const QString& path) override;
    // Recorded as kind "url" with the address as the program.
    Outcome OpenUrl(const QUrl& url) override;
    Outcome RunProgram(const QString& program, const QStringList& arguments,
                       int timeoutMs) override;
    Outcome StartProgram(const QString& program, const QStringList& arguments) override;

private:
    Outcome Answer();

public:
    QString FindProgram(const QString& name) override;
};

// Records the main-window calls. As window services it records the print requests and
// leaves the printer dialog itself to Dialogs (the test context's scripted prompt).
class RecordingMainWindowServices : public MainWindowServices, public WindowServices
{
public:
    int CaptionUpdates = 0;
    QStringList StatusTexts;
    QList<int> ToolbarStates;
    QList<int> MenuStates;
    bool PrintDialogAnswer = true;
    QList<qint32> Progress;

    void UpdateCaption() override { ++CaptionUpdates; }
    void SetStatusBar(const QString& text) override { StatusTexts << text; }
    void SetStatusBarReady() override { StatusTexts << QStringLiteral("Status: Ready"); }
    // The states are recorded by their numbers, as the tables of states give them.
    void UpdateToolbar(ToolbarState state) override { ToolbarStates << static_cast<int>(state); }
    void UpdateMenu(MenuState state) override { MenuStates << static_cast<int>(state); }
    QStringList ProposedFiles;
    bool MaybeShowPrintDlg(QPrinter*, const QString& proposedFile) override
    {
        ProposedFiles << proposedFile;
        return PrintDialogAnswer;
    }
    WindowServices* Dialogs = nullptr;
    bool PrinterDialog(QPrinter* printer, const QString& proposedFile) override
    {
        return Dialogs && Dialogs->PrinterDialog(printer, proposedFile);
    }
    void CenterForm(QWidget*) override {}
    QStringList ProgressCaptions;
    // With a value n >= 0, ProgressCancelled answers true after n progress updates.
    int CancelAfterUpdates = -1;
    int ProgressUpdates = 0;

    void InitProgress(qint32 maximum) override { Progress << -maximum; }
    void UpdateProgress(qint32 value) override
    {
        Progress << value;
        ++ProgressUpdates;
    }
    void InitCancellableProgress(qint32 maximum, const QString& caption) override
    {
        ProgressCaptions << caption;
        InitProgress(maximum);
    }
    bool ProgressCancelled() override
    {
        return CancelAfterUpdates >= 0 && ProgressUpdates >= CancelAfterUpdates;
    }
    void DestroyProgress() override {}
};

// A temporary application folder with a context whose services are scripted.
// With install = true the three data files are created (with the delivered sample data
// of the build tree) and opened.
class TestContext
{
public:
    explicit TestContext(bool install = true);
    ~TestContext();

    QTemporaryDir Dir;
    std::unique_ptr<AppContext> Ctx;
    ScriptedPromptService Prompt;
    ScriptedLauncherService Launcher;
    RecordingMainWindowServices MainWindow;

    QString Folder() const { return Dir.path(); }
    AppContext& operator*() { return *Ctx; }
    AppContext* operator->() { return Ctx.get(); }
};

} // namespace tramelle::test
