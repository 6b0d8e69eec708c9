#pragma once

#include <QString>

class QPrinter;
class QWidget;

namespace tramelle {

class AppContext;

// What windows ask of the main window and of the system's dialogs, beside the
// widget-free services of the context. The program installs its own (the main window,
// over the real printer dialog); tests install recording ones.
class WindowServices
{
public:
    virtual ~WindowServices() = default;

    // The system's printer dialog on the given printer; true when the user confirmed.
    // proposedFile is the name offered for printing to a PDF file.
    virtual bool PrinterDialog(QPrinter* printer, const QString& proposedFile = QString()) = 0;
    // True when printing may go on: the printer dialog, unless the main window was told
    // to skip it once; proposedFile as for PrinterDialog.
    virtual bool MaybeShowPrintDlg(QPrinter* printer, const QString& proposedFile = QString()) = 0;
    // Centres a window on the screen, or a child window across the top of the main
    // window's work area. Placement only: services without windows do nothing.
    virtual void CenterForm(QWidget* form) = 0;
};

// Used until real ones are installed, and by headless tools: no dialog is shown and
// printing goes on to wherever the printer already points.
class NullWindowServices : public WindowServices
{
public:
    bool PrinterDialog(QPrinter*, const QString&) override { return false; }
    bool MaybeShowPrintDlg(QPrinter*, const QString&) override { return true; }
    void CenterForm(QWidget*) override {}
};

// The window services installed in the context, or null ones.
WindowServices& Windows(const AppContext& ctx);

} // namespace tramelle
