#include "PrintJobs.h"

#include "AppContext.h"
#include "CupsJob.h"
#include "Documents.h"
#include "PainterSurfaces.h"
#include "WaitPointer.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <memory>

namespace tramelle {

namespace {

const QString PrintTitleText = QStringLiteral("Print");

// Restores the zoom of the preview after a job printed at scale 1.
class PageScaleGuard
{
public:
    explicit PageScaleGuard(PageGeometry& g) : m_g(g), m_scale(g.PageScale), m_preview(g.PreviewMode) {}
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
    return !printer.printerName().isEmpty() && !QPrinterInfo::printerInfo(printer.printerName()).isNull();
}

class StatusGuard
{
public:
    StatusGuard(AppContext& ctx, const QString& text) : m_ctx(ctx) { ctx.MainWindow().SetStatusBar(text); }
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
    case PrintKindVideoOrder:
        return QStringLiteral("Video Order");
    case PrintKindExercises2:
    case PrintKindExercises4:
        return QStringLiteral("Exercise Sheets");
    case PrintKindCoverPage:
        return QStringLiteral("Cover Page");
    case PrintKindPatientRecord:
        return QStringLiteral("Patient Record");
    }
    return QStringLiteral("Document");
}

bool PrintDocument(AppContext& ctx, PrintJobKind kind, bool skipDialog, const QString& pdfFile)
{
    const bool withCover =
        ctx.Settings.PrintPatientCover && (kind == PrintKindExercises2 || kind == PrintKindExercises4);

    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(DocumentName(kind));
    printer.setPageSize(QPageSize(QPageSize::Letter));
    printer.setFullPage(true);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    printer.setPrintRange(QPrinter::AllPages);
    // The orientation of the first page, so that the dialog shows it.
    printer.setPageOrientation(kind == PrintKindExercises2 && !withCover ? QPageLayout::Landscape
                                                                         : QPageLayout::Portrait);
    if (!pdfFile.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfFile);
    }

    // One dialog per job: for the cover when it leads, and cancelling it prints nothing.
    if (!skipDialog && !ctx.MainWindow().MaybeShowPrintDlg(&printer))
        return false;
    if (!HasDestination(printer)) {
        ctx.Prompt().Message(PrintTitleText,
                             QStringLiteral("There is no printer to print on.\r\n"
                                            "Install a printer, or print to a PDF file from the "
                                            "printer dialog of the File menu's Print commands."),
                             PromptIcon::Warning);
        return false;
    }

    const WaitPointer wait;
    PageGeometry& g = ctx.Geometry;
    const PageScaleGuard scaleGuard(g);
    g.PageScale = 1;
    g.PreviewMode = false;

    // A system printer gets the pages as a PDF file handed to the print server, which
    // then says whether it took the job.
    std::unique_ptr<CupsJob> job;
    if (printer.outputFormat() == QPrinter::NativeFormat)
        job = std::make_unique<CupsJob>(printer);
    PrinterSurface surface(job ? job->Printer() : printer);
    QString failure;
    try {
        if (withCover) {
            ComposeDocument(ctx, PrintKindCoverPage, surface);
            surface.NewPage();
        }
        ComposeDocument(ctx, kind, surface);
        surface.EndDoc();
        if (job)
            job->Submit(printer.docName());
        return true;
    } catch (const PrintError& e) {
        failure = e.Reason();
    } catch (const std::exception& e) {
        failure = QString::fromUtf8(e.what());
    }
    surface.Abort();
    ctx.Prompt().Message(PrintTitleText,
                         QStringLiteral("The %1 could not be printed.\r\n%2")
                             .arg(DocumentName(kind).toLower(), failure),
                         PromptIcon::Critical);
    return false;
}

bool PrintExerciseSheetsCommand(AppContext& ctx, PrintJobKind kind, bool skipDialog, const QString& pdfFile)
{
    const StatusGuard status(ctx, kind == PrintKindExercises2
                                      ? QStringLiteral("Printing 2 Exercises Per Page")
                                      : QStringLiteral("Printing 4 Exercises Per Page"));
    return PrintDocument(ctx, kind == PrintKindExercises2 ? PrintKindExercises2 : PrintKindExercises4,
                         skipDialog, pdfFile);
}

} // namespace tramelle
