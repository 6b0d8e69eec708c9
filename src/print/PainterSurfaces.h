#pragma once

#include "OutputSurface.h"

#include <QList>
#include <QPainter>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace tramelle {

// Drawing through a QPainter whose user space is the drawing units. Subclasses provide
// the painter for the page being drawn.
class PainterSurface : public OutputSurface
{
public:
    void Line(double x1, double y1, double x2, double y2) override;
    void Box(double x1, double y1, double x2, double y2) override;
    void FillBox(double x1, double y1, double x2, double y2, const QColor& colour) override;
    void PaintPicture(const QImage& picture, double x, double y, double width,
                      double height) override;

protected:
    // The painter of the current page, ready to draw (opening the page if needed).
    virtual QPainter& PagePainter() = 0;
    void DrawText(double x, double y, const QString& text) override;
    // Drawing units to device pixels.
    virtual double DeviceScale() const = 0;

private:
    double PenWidth() const;
};

// The preview's page pictures: one image per page at the zoom factor. Drawing units are
// the screen's twips times the zoom, at 15 twips per pixel.
class PreviewSurface : public PainterSurface
{
public:
    explicit PreviewSurface(double pageScale);
    ~PreviewSurface() override;

    void Cls() override;
    bool SetOrientation(PageOrientation orientation) override;
    PageOrientation Orientation() const override { return m_orientation; }
    void NewPage() override;
    void EndDoc() override;
    // Pictures are decoded at the size they are shown.
    QImage LoadPicture(const QString& path, double width, double height) override;
    // Decodes the requested pictures on a second thread while the pages are drawn.
    void PrefetchPictures(const QList<PictureRequest>& requests) override;
    // How a picture file is read for a box shown at the given size in pixels.
    static QImage ReadShownPicture(const QString& path, double shownWidth, double shownHeight);
    void PaintPicture(const QImage& picture, double x, double y, double width,
                      double height) override;

    // The finished pages (EndDoc first); at least one.
    const QList<QImage>& Pages() const { return m_pages; }

protected:
    QPainter& PagePainter() override;
    double DeviceScale() const override { return 1.0 / 15.0; }
    // Each word is drawn from its glyphs, shaped once per font and page set.
    void DrawText(double x, double y, const QString& text) override;

private:
    void StartPage();

    double m_pageScale;
    PageOrientation m_orientation = PageOrientation::Portrait;
    QList<QImage> m_pages;
    QPainter m_painter;
    bool m_newPagePending = true;
    // Nothing drawn on the current page since it was filled white.
    bool m_blankPage = false;

    struct Prefetched
    {
        PictureRequest request;
        QImage picture;
        bool done = false;
    };
    void StopPrefetch();
    std::mutex m_prefetchLock;
    std::condition_variable m_prefetchDone;
    std::deque<Prefetched> m_prefetched; // guarded by m_prefetchLock
    bool m_prefetchCancelled = false;    // guarded by m_prefetchLock
    std::thread m_prefetchThread;
};

} // namespace tramelle
