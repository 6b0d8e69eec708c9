#include "ApplicationServices.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace tramelle {

PromptAnswer WidgetPromptService::Message(const QString& title, const QString& text,
                                          PromptIcon icon, PromptButtons buttons,
                                          std::optional<PromptAnswer> defaultButton)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title);
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    box.setText(shown);
    switch (icon) {
    case PromptIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case PromptIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case PromptIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case PromptIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case PromptIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    QMessageBox::StandardButtons set;
    switch (buttons) {
    case PromptButtons::Ok:
        set = QMessageBox::Ok;
        break;
    case PromptButtons::OkCancel:
        set = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    case PromptButtons::YesNo:
        set = QMessageBox::Yes | QMessageBox::No;
        break;
    case PromptButtons::YesNoCancel:
        set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        break;
    case PromptButtons::RetryCancel:
        set = QMessageBox::Retry | QMessageBox::Cancel;
        break;
    case PromptButtons::AbortRetryIgnore:
        set = QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
        break;
    }
    box.setStandardButtons(set);
    if (defaultButton) {
        QMessageBox::StandardButton b = QMessageBox::NoButton;
        switch (*defaultButton) {
        case PromptAnswer::Ok:
            b = QMessageBox::Ok;
            break;
        case PromptAnswer::Cancel:
            b = QMessageBox::Cancel;
            break;
        case PromptAnswer::Yes:
            b = QMessageBox::Yes;
            break;
        case PromptAnswer::No:
            b = QMessageBox::No;
            break;
        case PromptAnswer::Retry:
            b = QMessageBox::Retry;
            break;
        case PromptAnswer::Abort:
            b = QMessageBox::Abort;
            break;
        case PromptAnswer::Ignore:
            b = QMessageBox::Ignore;
            break;
        }
        if (set.testFlag(b))
            box.setDefaultButton(b);
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return PromptAnswer::Ok;
    case QMessageBox::Yes:
        return PromptAnswer::Yes;
    case QMessageBox::No:
        return PromptAnswer::No;
    case QMessageBox::Retry:
        return PromptAnswer::Retry;
    case QMessageBox::Abort:
        return PromptAnswer::Abort;
    case QMessageBox::Ignore:
        return PromptAnswer::Ignore;
    default:
        break;
    }
    // Closing the box with Escape or its frame counts as its cancel path.
    switch (buttons) {
    case PromptButtons::Ok:
        return PromptAnswer::Ok;
    case PromptButtons::YesNo:
        return PromptAnswer::No;
    case PromptButtons::AbortRetryIgnore:
        return PromptAnswer::Abort;
    default:
        return PromptAnswer::Cancel;
    }
}

std::optional<QString> WidgetPromptService::InputBox(const QString& title, const QString& prompt,
                                                     const QString& defaultText)
{
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), title, prompt,
                                               QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

QString WidgetPromptService::OpenFileName(const QString& title, const QString& folder,
                                          const QString& filter)
{
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, folder, filter);
}

QString WidgetPromptService::SaveFileName(const QString& title, const QString& folder,
                                          const QString& filter)
{
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), title, folder, filter);
}

QString WidgetPromptService::ExistingFolder(const QString& title, const QString& folder)
{
    return QFileDialog::getExistingDirectory(QApplication::activeWindow(), title, folder);
}

bool WidgetWindowServices::PrinterDialog(QPrinter* printer, const QString& proposedFile)
{
    // The dialog offers the printer's file name when the user prints to a file; the
    // system printer stays the one chosen.
    if (!proposedFile.isEmpty() && printer->outputFileName().isEmpty()) {
        const QString printerName = printer->printerName();
        const QPrinter::OutputFormat format = printer->outputFormat();
        printer->setOutputFileName(proposedFile);
        if (format == QPrinter::NativeFormat && !printerName.isEmpty()) {
            printer->setOutputFormat(QPrinter::NativeFormat);
            printer->setPrinterName(printerName);
        }
    }
    QPrintDialog dialog(printer, QApplication::activeWindow());
    // Printer and copies only: documents are always printed whole, so no page range,
    // current page or selection is offered.
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    return dialog.exec() == QDialog::Accepted;
}

bool WidgetWindowServices::MaybeShowPrintDlg(QPrinter* printer, const QString& proposedFile)
{
    return printer && PrinterDialog(printer, proposedFile);
}

Outcome DesktopLauncherService::OpenDocument(const QString& path)
{
    if (!QFileInfo::exists(path))
        return Outcome::Failed(tr("The file does not exist."));
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return Outcome::Failed(tr("No program is set up to open this kind of file."));
    return Outcome::Done();
}

Outcome DesktopLauncherService::OpenUrl(const QUrl& url)
{
    if (!QDesktopServices::openUrl(url))
        return Outcome::Failed(tr("No program is set up to open this kind of address."));
    return Outcome::Done();
}

Outcome DesktopLauncherService::RunProgram(const QString& program, const QStringList& arguments,
                                           int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return Outcome::Failed(process.errorString());
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(2000);
        return Outcome::Failed(tr("%1 did not finish in time.").arg(program));
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const QString output = QString::fromLocal8Bit(process.readAll()).trimmed();
        return Outcome::Failed(
            output.isEmpty()
                ? tr("%1 ended with exit code %2.").arg(program).arg(process.exitCode())
                : output);
    }
    return Outcome::Done();
}

Outcome DesktopLauncherService::StartProgram(const QString& program, const QStringList& arguments)
{
    qint64 pid = 0;
    if (!QProcess::startDetached(program, arguments, QString(), &pid))
        return Outcome::Failed(tr("%1 could not be started.").arg(program));
    return Outcome::Done();
}

QString DesktopLauncherService::FindProgram(const QString& name)
{
    return QStandardPaths::findExecutable(name);
}

} // namespace tramelle
