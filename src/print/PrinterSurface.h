#pragma once

#include "Outcome.h"
#include "PainterSurfaces.h"

#include <QImage>
#include <QPainter>
#include <optional>

class QPrinter;

namespace tramelle {

// The printer: a system printer or a PDF file. The job opens with the first drawing
// and a new page is taken only when the next page is first drawn on, so that an
// orientation chosen between pages applies to the page it is meant for. The first
// failure of the job is kept: what is drawn after it goes nowhere, and Finished says it.
class PrinterSurface : public PainterSurface
{
public:
    explicit PrinterSurface(QPrinter& printer);
    ~PrinterSurface() override;

    void Cls() override {}
    bool SetOrientation(PageOrientation orientation) override;
    PageOrientation Orientation() const override;
    void NewPage() override;
    // Finishes the job and hands it to the printer.
    void EndDoc() override;
    // The job so far: done, or the first reason it failed (a printer or file that could
    // not be opened, a refused page, a refused job).
    Outcome Finished() const { return m_failure ? Outcome::Failed(*m_failure) : Outcome::Done(); }
    // Abandons a job after a failure.
    void Abort();
    bool Started() const { return m_painter.isActive(); }

protected:
    QPainter& PagePainter() override;
    double DeviceScale() const override { return m_deviceScale; }

private:
    void Fail(const QString& reason);
    QString Unwritten() const;

    QPrinter& m_printer;
    QPainter m_painter;
    std::optional<QString> m_failure;
    QImage m_nowhere; // what a failed job draws on
    QPainter m_nowherePainter;
    bool m_newPagePending = false;
    double m_deviceScale = 1.0;
};

} // namespace tramelle
