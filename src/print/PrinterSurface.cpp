#include "PrinterSurface.h"

#include "PrintTypes.h"

#include <QPageLayout>
#include <QPrinter>

namespace tramelle {

PrinterSurface::PrinterSurface(QPrinter& printer) : m_printer(printer) {}

PrinterSurface::~PrinterSurface()
{
    if (m_painter.isActive())
        Abort();
}

bool PrinterSurface::SetOrientation(PageOrientation orientation)
{
    return m_printer.setPageOrientation(
        orientation == PageOrientation::Portrait ? QPageLayout::Portrait : QPageLayout::Landscape);
}

PageOrientation PrinterSurface::Orientation() const
{
    return m_printer.pageLayout().orientation() == QPageLayout::Portrait
               ? PageOrientation::Portrait
               : PageOrientation::Landscape;
}

void PrinterSurface::NewPage()
{
    if (m_painter.isActive())
        m_newPagePending = true;
}

QPainter& PrinterSurface::PagePainter()
{
    if (!m_painter.isActive()) {
        if (!m_painter.begin(&m_printer)) {
            if (m_printer.outputFormat() == QPrinter::PdfFormat)
                throw PrintError(QStringLiteral("The file \"%1\" could not be written.")
                                     .arg(m_printer.outputFileName()));
            throw PrintError(QStringLiteral("The printer \"%1\" could not be opened.")
                                 .arg(m_printer.printerName()));
        }
        m_deviceScale = m_printer.resolution() / 1440.0;
        m_painter.scale(m_deviceScale, m_deviceScale);
        m_painter.setRenderHint(QPainter::SmoothPixmapTransform);
        m_painter.setRenderHint(QPainter::Antialiasing);
        m_painter.setRenderHint(QPainter::TextAntialiasing);
        m_newPagePending = false;
    } else if (m_newPagePending) {
        m_newPagePending = false;
        if (!m_printer.newPage())
            throw PrintError(QStringLiteral("The printer refused a new page."));
    }
    return m_painter;
}

void PrinterSurface::EndDoc()
{
    if (!m_painter.isActive())
        return;
    m_newPagePending = false;
    const bool ended = m_painter.end();
    if (!ended || m_printer.printerState() == QPrinter::Error ||
        m_printer.printerState() == QPrinter::Aborted) {
        if (m_printer.outputFormat() == QPrinter::PdfFormat)
            throw PrintError(QStringLiteral("The file \"%1\" could not be written.")
                                 .arg(m_printer.outputFileName()));
        throw PrintError(
            QStringLiteral("The printer \"%1\" refused the job.").arg(m_printer.printerName()));
    }
}

void PrinterSurface::Abort()
{
    if (!m_painter.isActive())
        return;
    m_printer.abort();
    m_painter.end();
    m_newPagePending = false;
}

} // namespace tramelle
