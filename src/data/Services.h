#pragma once

#include "UiStates.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include "Outcome.h"
#include <optional>

namespace tramelle {

enum class PromptIcon
{
    None,
    Information,
    Warning,
    Critical,
    Question
};
enum class PromptButtons
{
    Ok,
    OkCancel,
    YesNo,
    YesNoCancel,
    RetryCancel,
    AbortRetryIgnore
};
enum class PromptAnswer
{
    Ok,
    Cancel,
    Yes,
    No,
    Retry,
    Abort,
    Ignore
};

// Every message box, input box and file dialog goes through this
// service. The program installs one that shows real dialogs; tests install a scripted
// one that records what was asked and answers it.
class PromptService
{
public:
    virtual ~PromptService() = default;

    virtual PromptAnswer Message(const QString& title, const QString& text, PromptIcon icon,
                                 PromptButtons buttons = PromptButtons::Ok,
                                 std::optional<PromptAnswer> defaultButton = std::nullopt) = 0;
    // Returns nothing when the user cancelled.
    virtual std::optional<QString> InputBox(const QString& title, const QString& prompt,
                                            const QString& defaultText = QString()) = 0;
    // Returns an empty path when the user cancelled.
    virtual QString OpenFileName(const QString& title, const QString& folder,
                                 const QString& filter) = 0;
    virtual QString SaveFileName(const QString& title, const QString& folder,
                                 const QString& filter) = 0;
    virtual QString ExistingFolder(const QString& title, const QString& folder) = 0;
};

// Starting other programs and opening documents goes through this service.
class LauncherService
{
public:
    virtual ~LauncherService() = default;

    // Opens a document or folder with the desktop's default program. Does not wait.
    virtual Outcome OpenDocument(const QString& path) = 0;
    // Opens an address outside the program (a web page, a new e-mail) with the desktop's
    // program for it. Does not wait.
    virtual Outcome OpenUrl(const QUrl& url) = 0;
    // Runs a program and waits for it to end; done when it started and exited with 0.
    virtual Outcome RunProgram(const QString& program, const QStringList& arguments,
                               int timeoutMs = 60000) = 0;
    // Starts a program without waiting.
    virtual Outcome StartProgram(const QString& program, const QStringList& arguments) = 0;
    // The full path of a program found on the search path, or empty.
    virtual QString FindProgram(const QString& name) = 0;
};

// What the windows may ask of the main window.
class MainWindowServices
{
public:
    virtual ~MainWindowServices() = default;

    virtual void UpdateCaption() = 0;
    virtual void SetStatusBar(const QString& text) = 0;
    virtual void SetStatusBarReady() = 0;
    virtual void UpdateToolbar(ToolbarState state) = 0;
    virtual void UpdateMenu(MenuState state) = 0;

    virtual void InitProgress(qint32 maximum) = 0;
    virtual void UpdateProgress(qint32 value) = 0;
    virtual void DestroyProgress() = 0;
    // The progress window with a caption of its own and a Cancel button, for work the user
    // may stop (copying media).
    virtual void InitCancellableProgress(qint32 maximum, const QString& caption)
    {
        Q_UNUSED(caption);
        InitProgress(maximum);
    }
    // True once the user cancelled, or the progress window went away, since the last
    // InitCancellableProgress.
    virtual bool ProgressCancelled() { return false; }
};

// Services that do nothing and answer every prompt with its first button's "no" path:
// used until the real ones are installed, and by headless tools.
class NullPromptService : public PromptService
{
public:
    PromptAnswer Message(const QString&, const QString&, PromptIcon, PromptButtons buttons,
                         std::optional<PromptAnswer>) override
    {
        switch (buttons) {
        case PromptButtons::YesNo:
        case PromptButtons::YesNoCancel:
            return PromptAnswer::No;
        case PromptButtons::OkCancel:
        case PromptButtons::RetryCancel:
            return PromptAnswer::Cancel;
        case PromptButtons::AbortRetryIgnore:
            return PromptAnswer::Abort;
        case PromptButtons::Ok:
            break;
        }
        return PromptAnswer::Ok;
    }
    std::optional<QString> InputBox(const QString&, const QString&, const QString&) override
    {
        return std::nullopt;
    }
    QString OpenFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString SaveFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString ExistingFolder(const QString&, const QString&) override { return {}; }
};

class NullLauncherService : public LauncherService
{
    static Outcome Unavailable()
    {
        return Outcome::Failed(QStringLiteral("No launcher available"));
    }

public:
    Outcome OpenDocument(const QString&) override { return Unavailable(); }
    Outcome OpenUrl(const QUrl&) override { return Unavailable(); }
    Outcome RunProgram(const QString&, const QStringList&, int) override { return Unavailable(); }
    Outcome StartProgram(const QString&, const QStringList&) override { return Unavailable(); }
    QString FindProgram(const QString&) override { return {}; }
};

class NullMainWindowServices : public MainWindowServices
{
public:
    void UpdateCaption() override {}
    void SetStatusBar(const QString&) override {}
    void SetStatusBarReady() override {}
    void UpdateToolbar(ToolbarState) override {}
    void UpdateMenu(MenuState) override {}
    void InitProgress(qint32) override {}
    void UpdateProgress(qint32) override {}
    void DestroyProgress() override {}
};

} // namespace tramelle
