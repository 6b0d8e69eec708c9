#include "PrintJobs.h"

#include "AppContext.h"
#include "CupsJob.h"
#include "Documents.h"
#include "PrinterSurface.h"
#include "WaitPointer.h"
#include "WindowServices.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace tramelle {

namespace {

// The words this file prints, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(tramelle::PrintJobs)
};

QString PrintTitleText()
{
    return Texts::tr("Print");
}

// Restores the zoom of the preview after a job printed at scale 1.
class PageScaleGuard
{
public:
    explicit PageScaleGuard(PageGeometry& g)
        : m_g(g), m_scale(g.PageScale), m_preview(g.PreviewMode)
    {
    }
    ~PageScaleGuard()
    {
        m_g.PageScale = m_scale;
        m_g.PreviewMode = m_preview;
    }
    PageScaleGuard(const PageScaleGuard&) = delete;
    PageScaleGuard& operator=(const PageScaleGuard&) = delete;

private:
    PageGeometry& m_g;
    double m_scale;
    bool m_preview;
};

// A job needs somewhere to go: a PDF file or an installed printer.
bool HasDestination(const QPrinter& printer)
{
    if (printer.outputFormat() == QPrinter::PdfFormat)
        return !printer.outputFileName().isEmpty();
    return !printer.printerName().isEmpty() &&
           !QPrinterInfo::printerInfo(printer.printerName()).isNull();
}

class StatusGuard
{
public:
    StatusGuard(AppContext& ctx, const QString& text) : m_ctx(ctx)
    {
        ctx.MainWindow().SetStatusBar(text);
    }
    ~StatusGuard() { m_ctx.MainWindow().SetStatusBarReady(); }
    StatusGuard(const StatusGuard&) = delete;
    StatusGuard& operator=(const StatusGuard&) = delete;

private:
    AppContext& m_ctx;
};

} // namespace

QString DocumentName(PrintJobKind kind)
{
    switch (kind) {
    case PrintJobKind::VideoOrder:
        return Texts::tr("Video Order");
    case PrintJobKind::Exercises2:
    case PrintJobKind::Exercises4:
        return Texts::tr("Exercise Sheets");
    case PrintJobKind::CoverPage:
        return Texts::tr("Cover Page");
    case PrintJobKind::PatientRecord:
        return Texts::tr("Patient Record");
    case PrintJobKind::LargePrint:
        return Texts::tr("Large Print Handouts");
    }
    return QStringLiteral("Document");
}

QString SafeFileName(const QString& name)
{
    // Characters no file name may hold on one of the systems a clinic uses.
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    QString safe;
    safe.reserve(name.size());
    for (const QChar ch : name)
        safe += (forbidden.contains(ch) || ch.unicode() < 0x20 || ch.unicode() == 0x7f)
                    ? QLatin1Char('-')
                    : ch;
    safe = safe.trimmed();
    // A leading dot would hide the file; a trailing one is dropped by some systems.
    while (safe.startsWith(QLatin1Char('.')))
        safe.remove(0, 1);
    while (safe.endsWith(QLatin1Char('.')))
        safe.chop(1);
    return safe.isEmpty() ? QStringLiteral("Document") : safe;
}

QString ProposedPdfFile(const AppContext& ctx, const QString& documentName)
{
    QStringList parts;
    const QString patient = ctx.Program.PatientName.trimmed();
    if (ctx.Program.PatientID && !patient.isEmpty())
        parts << patient;
    parts << documentName;
    const QDate date = ctx.Program.Date.isValid() ? ctx.Program.Date.date() : QDate::currentDate();
    parts << date.toString(QStringLiteral("yyyy-MM-dd"));

    QString folder = ctx.LastPdfFolder;
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return QDir(folder).filePath(SafeFileName(parts.join(QStringLiteral(" - "))) +
                                 QStringLiteral(".pdf"));
}

namespace {

// Letter paper, drawn from its corner, whole documents only; a PDF file is proposed by a
// name that says whose and what it is.
void PreparePrinter(QPrinter& printer, const QString& documentName, bool landscape,
                    const QString& pdfFile)
{
    printer.setDocName(documentName);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    printer.setFullPage(true);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    printer.setPrintRange(QPrinter::AllPages);
    printer.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    if (!pdfFile.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfFile);
    }
}

// Asks the printer dialog unless skipped; false when there is nothing to print on. The
// dialog proposes a file name for printing to a PDF file and asks before it replaces a
// file of that name.
bool ChooseDestination(AppContext& ctx, QPrinter& printer, bool skipDialog)
{
    if (!skipDialog &&
        !Windows(ctx).MaybeShowPrintDlg(&printer, ProposedPdfFile(ctx, printer.docName())))
        return false;
    if (!HasDestination(printer)) {
        ctx.Prompt().Message(PrintTitleText(),
                             Texts::tr("There is no printer to print on.\r\n"
                                       "Install a printer, or print to a PDF file from the "
                                       "printer dialog of the File menu's Print commands."),
                             PromptIcon::Warning);
        return false;
    }
    if (printer.outputFormat() == QPrinter::PdfFormat)
        ctx.LastPdfFolder = QFileInfo(printer.outputFileName()).absolutePath();
    return true;
}

// A PDF file is written beside its target and renamed into place once complete, so a
// failed job never leaves half a file, nor destroys the file it was to replace.
class PdfTarget
{
public:
    explicit PdfTarget(QPrinter& printer) : m_printer(printer)
    {
        if (printer.outputFormat() != QPrinter::PdfFormat)
            return;
        m_target = printer.outputFileName();
        const QFileInfo info(m_target);
        m_partial = info.absoluteDir().filePath(
            QStringLiteral(".") + info.fileName() + QStringLiteral(".part-") +
            QString::number(QCoreApplication::applicationPid()));
        printer.setOutputFileName(m_partial);
    }
    ~PdfTarget()
    {
        if (!m_partial.isEmpty()) {
            QFile::remove(m_partial);
            m_printer.setOutputFileName(m_target);
        }
    }
    PdfTarget(const PdfTarget&) = delete;
    PdfTarget& operator=(const PdfTarget&) = delete;

    const QString& Partial() const { return m_partial; }

    // Syncs the finished file and puts it in place of the target.
    Outcome Commit()
    {
        if (m_partial.isEmpty())
            return Outcome::Done();
        QFile file(m_partial);
        if (!file.open(QIODevice::ReadWrite) || file.size() == 0)
            return Outcome::Failed(
                QCoreApplication::translate("tramelle::PrintJobs",
                                            "The file \"%1\" could not be written.")
                    .arg(QDir::toNativeSeparators(m_target)));
        ::fsync(file.handle());
        file.close();
        std::error_code error;
        std::filesystem::rename(QFile::encodeName(m_partial).toStdString(),
                                QFile::encodeName(m_target).toStdString(), error);
        if (error)
            return Outcome::Failed(
                QCoreApplication::translate("tramelle::PrintJobs",
                                            "The file \"%1\" could not be written: %2")
                    .arg(QDir::toNativeSeparators(m_target),
                         QString::fromStdString(error.message())));
        m_printer.setOutputFileName(m_target);
        m_partial.clear();
        return Outcome::Done();
    }

private:
    QPrinter& m_printer;
    QString m_target;
    QString m_partial;
};

void ReportFailure(AppContext& ctx, const QString& what, const QString& failure)
{
    ctx.Prompt().Message(PrintTitleText(),
                         Texts::tr("The %1 could not be printed.\r\n%2").arg(what, failure),
                         PromptIcon::Critical);
}

// Composes the job at the printer's scale onto the printer (a PDF file is written beside
// its target and renamed into place) or, with `job`, hands it to the print server.
Outcome RunJob(AppContext& ctx, PrintJobKind kind, QPrinter& printer, CupsJob* job)
{
    PageGeometry& g = ctx.Geometry;
    const PageScaleGuard scaleGuard(g);
    g.PageScale = 1;
    g.PreviewMode = false;

    PdfTarget file(printer);
    PrinterSurface surface(job ? job->Printer() : printer);
    const Outcome printed = [&] {
        const Outcome composed = ComposeJob(ctx, kind, surface);
        if (!composed)
            return composed;
        surface.EndDoc();
        if (Outcome ended = surface.Finished(); !ended)
            return ended;
        if (job)
            if (const Result<int> submitted = job->Submit(printer.docName()); !submitted)
                return Outcome::Failed(submitted.Reason());
        return file.Commit();
    }();
    if (!printed)
        surface.Abort();
    return printed;
}

} // namespace

bool PrintDocument(AppContext& ctx, PrintJobKind kind, bool skipDialog, const QString& pdfFile)
{
    const bool withCover = JobHasCover(ctx, kind);

    QPrinter printer(QPrinter::HighResolution);
    // The orientation of the first page, so that the dialog shows it.
    PreparePrinter(printer, DocumentName(kind), kind == PrintJobKind::Exercises2 && !withCover,
                   pdfFile);

    // One dialog per job: for the cover when it leads, and cancelling it prints nothing.
    if (!ChooseDestination(ctx, printer, skipDialog))
        return false;

    const WaitPointer wait;
    // A system printer gets the pages as a PDF file handed to the print server, which
    // then says whether it took the job.
    std::unique_ptr<CupsJob> job;
    if (printer.outputFormat() == QPrinter::NativeFormat)
        job = std::make_unique<CupsJob>(printer);
    const Outcome printed = RunJob(ctx, kind, printer, job.get());
    if (printed)
        return true;
    ReportFailure(ctx, DocumentName(kind).toLower(), printed.Reason());
    return false;
}

bool PrintPdfDocument(AppContext& ctx, const QString& path, const QString& documentName,
                      const QString& pdfFile)
{
    QPrinter printer(QPrinter::HighResolution);
    PreparePrinter(printer, documentName, false, pdfFile);
    if (!ChooseDestination(ctx, printer, false))
        return false;

    const WaitPointer wait;
    const Outcome printed = [&] {
        if (printer.outputFormat() == QPrinter::NativeFormat) {
            CupsJob job(printer);
            const Result<int> submitted = job.Submit(documentName, path);
            return submitted ? Outcome::Done() : Outcome::Failed(submitted.Reason());
        }
        const QString target = printer.outputFileName();
        PdfTarget file(printer);
        QFile::remove(file.Partial());
        if (!QFile::copy(path, file.Partial()))
            return Outcome::Failed(
                QCoreApplication::translate("tramelle::PrintJobs",
                                            "\"%1\" could not be copied to \"%2\".")
                    .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(target)));
        return file.Commit();
    }();
    if (printed)
        return true;
    ReportFailure(ctx, documentName.toLower(), printed.Reason());
    return false;
}

bool PrintExerciseSheetsCommand(AppContext& ctx, PrintJobKind kind, bool skipDialog,
                                const QString& pdfFile)
{
    const StatusGuard status(ctx, kind == PrintJobKind::Exercises2
                                      ? Texts::tr("Printing 2 Exercises Per Page")
                                      : Texts::tr("Printing 4 Exercises Per Page"));
    return PrintDocument(
        ctx, kind == PrintJobKind::Exercises2 ? PrintJobKind::Exercises2 : PrintJobKind::Exercises4,
        skipDialog, pdfFile);
}

Outcome ExportPdf(AppContext& ctx, PrintJobKind kind, const QString& pdfFile)
{
    const QFileInfo target(pdfFile);
    if (!target.absoluteDir().exists())
        return Outcome::Failed(
            QCoreApplication::translate("PrintJobs", "The folder \"%1\" does not exist.")
                .arg(QDir::toNativeSeparators(target.absolutePath())));
    if (target.isDir())
        return Outcome::Failed(
            QCoreApplication::translate("PrintJobs", "\"%1\" is a folder, not a file.")
                .arg(QDir::toNativeSeparators(target.absoluteFilePath())));

    QPrinter printer(QPrinter::HighResolution);
    PreparePrinter(printer, DocumentName(kind),
                   kind == PrintJobKind::Exercises2 && !JobHasCover(ctx, kind),
                   target.absoluteFilePath());
    if (Outcome written = RunJob(ctx, kind, printer, nullptr); !written)
        return written;
    ctx.LastPdfFolder = target.absolutePath();
    return Outcome::Done();
}

bool ExportPdfCommand(AppContext& ctx, PrintJobKind kind)
{
    const QString title = QCoreApplication::translate("PrintJobs", "Export PDF");
    const QString file =
        ctx.Prompt().SaveFileName(title, ProposedPdfFile(ctx, DocumentName(kind)),
                                  QCoreApplication::translate("PrintJobs", "PDF files (*.pdf)"));
    if (file.isEmpty())
        return false;

    MainWindowServices& window = ctx.MainWindow();
    window.SetStatusBar(
        QCoreApplication::translate("PrintJobs", "Exporting %1").arg(DocumentName(kind)));
    WaitPointer wait;
    const Outcome written = ExportPdf(ctx, kind, file);
    wait.Restore();
    if (!written) {
        window.SetStatusBarReady();
        tramelle::ReportFailure(ctx, title,
                                QCoreApplication::translate(
                                    "PrintJobs", "The %1 could not be exported to \"%2\".\r\n%3")
                                    .arg(DocumentName(kind).toLower(),
                                         QDir::toNativeSeparators(file), written.Reason()));
        return false;
    }
    window.SetStatusBar(QCoreApplication::translate("PrintJobs", "%1 exported to %2")
                            .arg(DocumentName(kind), QDir::toNativeSeparators(file)));
    return true;
}

} // namespace tramelle
