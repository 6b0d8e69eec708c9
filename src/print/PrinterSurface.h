#pragma once

#include "PainterSurfaces.h"

class QPrinter;

namespace tramelle {

// The printer: a system printer or a PDF file. The job opens with the first drawing
// and a new page is taken only when the next page is first drawn on, so that an
// orientation chosen between pages applies to the page it is meant for.
class PrinterSurface : public PainterSurface
{
public:
    explicit PrinterSurface(QPrinter& printer);
    ~PrinterSurface() override;

    void Cls() override {}
    bool SetOrientation(PageOrientation orientation) override;
    PageOrientation Orientation() const override;
    void NewPage() override;
    // Finishes the job and hands it to the printer; throws PrintError when refused.
    void EndDoc() override;
    // Abandons a job after a failure.
    void Abort();
    bool Started() const { return m_painter.isActive(); }

protected:
    QPainter& PagePainter() override;
    double DeviceScale() const override { return m_deviceScale; }

private:
    QPrinter& m_printer;
    QPainter m_painter;
    bool m_newPagePending = false;
    double m_deviceScale = 1.0;
};

} // namespace tramelle
