#pragma once

#include "Services.h"
#include "WindowServices.h"

#include <QCoreApplication>

namespace tramelle {

// Message boxes, input boxes and file dialogs shown with real widgets.
class WidgetPromptService : public PromptService
{
public:
    PromptAnswer Message(const QString& title, const QString& text, PromptIcon icon,
                         PromptButtons buttons, std::optional<PromptAnswer> defaultButton) override;
    std::optional<QString> InputBox(const QString& title, const QString& prompt,
                                    const QString& defaultText) override;
    QString OpenFileName(const QString& title, const QString& folder,
                         const QString& filter) override;
    QString SaveFileName(const QString& title, const QString& folder,
                         const QString& filter) override;
    QString ExistingFolder(const QString& title, const QString& folder) override;
};

// The system's printer dialog, shown with real widgets, before there is a main window
// (the main window puts its own placement and print rules over it).
class WidgetWindowServices : public WindowServices
{
public:
    bool PrinterDialog(QPrinter* printer, const QString& proposedFile) override;
    bool MaybeShowPrintDlg(QPrinter* printer, const QString& proposedFile) override;
    void CenterForm(QWidget*) override {}
};

// Opens documents with the desktop's programs and runs other programs.
class DesktopLauncherService : public LauncherService
{
    Q_DECLARE_TR_FUNCTIONS(DesktopLauncherService)

public:
    Outcome OpenDocument(const QString& path) override;
    Outcome OpenUrl(const QUrl& url) override;
    Outcome RunProgram(const QString& program, const QStringList& arguments,
                       int timeoutMs) override;
    Outcome StartProgram(const QString& program, const QStringList& arguments) override;
    QString FindProgram(const QString& name) override;
};

} // namespace tramelle
