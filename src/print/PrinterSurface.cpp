#include "PrinterSurface.h"

#include <QCoreApplication>
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

QString PrinterSurface::Unwritten() const
{
    return QCoreApplication::translate("tramelle::PrinterSurface",
                                       "The file \"%1\" could not be written.")
        .arg(m_printer.outputFileName());
}

void PrinterSurface::Fail(const QString& reason)
{
    if (!m_failure)
        m_failure = reason;
}

QPainter& PrinterSurface::PagePainter()
{
    if (m_failure) {
        if (!m_nowherePainter.isActive()) {
            m_nowhere = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
            m_nowherePainter.begin(&m_nowhere);
        }
        return m_nowherePainter;
    }
    if (!m_painter.isActive()) {
        if (!m_painter.begin(&m_printer)) {
            Fail(m_printer.outputFormat() == QPrinter::PdfFormat
                     ? Unwritten()
                     : QCoreApplication::translate("tramelle::PrinterSurface",
                                                   "The printer \"%1\" could not be opened.")
                           .arg(m_printer.printerName()));
            return PagePainter();
        }
        m_deviceScale = m_printer.resolution() / 1440.0;
        m_painter.scale(m_deviceScale, m_deviceScale);
        m_painter.setRenderHint(QPainter::SmoothPixmapTransform);
        m_painter.setRenderHint(QPainter::Antialiasing);
        m_painter.setRenderHint(QPainter::TextAntialiasing);
        m_newPagePending = false;
    } else if (m_newPagePending) {
        m_newPagePending = false;
        if (!m_printer.newPage()) {
            Fail(QCoreApplication::translate("tramelle::PrinterSurface",
                                             "The printer refused a new page."));
            return PagePainter();
        }
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
        m_printer.printerState() == QPrinter::Aborted)
        Fail(m_printer.outputFormat() == QPrinter::PdfFormat
                 ? Unwritten()
                 : QCoreApplication::translate("tramelle::PrinterSurface",
                                               "The printer \"%1\" refused the job.")
                       .arg(m_printer.printerName()));
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
