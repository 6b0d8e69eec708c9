#include "PainterSurfaces.h"

#include "Paths.h"
#include "PrintTypes.h"

#include <QFile>
#include <QImageReader>
#include <algorithm>
#include <cmath>

namespace tramelle {

namespace {

// Control characters have no glyph; a stored CR LF must not print as boxes.
QString Printable(const QString& text)
{
    const bool clean = std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return c.unicode() >= 0x20 || c == QLatin1Char('\t');
    });
    if (clean)
        return text;
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 || c == QLatin1Char('\t'))
            out.append(c);
    }
    return out;
}

} // namespace

void PainterSurface::DrawText(double x, double y, const QString& text)
{
    const QString printable = Printable(text);
    if (printable.isEmpty())
        return;
    QPainter& p = PagePainter();
    p.setFont(Font());
    p.setPen(Qt::black);
    p.drawText(QPointF(x, y + Ascent()), printable);
}

double PainterSurface::PenWidth() const
{
    // Rules about half a point wide, and never thinner than one device pixel.
    return std::max(1.0 / DeviceScale(), 10.0);
}

void PainterSurface::Line(double x1, double y1, double x2, double y2)
{
    QPainter& p = PagePainter();
    p.setPen(QPen(Qt::black, PenWidth()));
    p.drawLine(QPointF(x1, y1), QPointF(x2, y2));
}

void PainterSurface::Box(double x1, double y1, double x2, double y2)
{
    QPainter& p = PagePainter();
    p.setPen(QPen(Qt::black, PenWidth()));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized());
}

void PainterSurface::FillBox(double x1, double y1, double x2, double y2, const QColor& colour)
{
    QPainter& p = PagePainter();
    p.fillRect(QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized(), colour);
}

void PainterSurface::PaintPicture(const QImage& picture, double x, double y, double width,
                                  double height)
{
    if (picture.isNull())
        return;
    QPainter& p = PagePainter();
    p.drawImage(QRectF(x, y, width, height), picture);
}

// --- preview ---

PreviewSurface::PreviewSurface(double pageScale) : m_pageScale(pageScale) {}

PreviewSurface::~PreviewSurface()
{
    StopPrefetch();
    if (m_painter.isActive())
        m_painter.end();
}

bool PreviewSurface::SetOrientation(PageOrientation orientation)
{
    m_orientation = orientation;
    return true;
}

void PreviewSurface::StartPage()
{
    if (m_painter.isActive())
        m_painter.end();
    const QSize size(static_cast<int>(std::lround(PaperWidth() * m_pageScale / 15.0)),
                     static_cast<int>(std::lround(PaperHeight() * m_pageScale / 15.0)));
    // Built in place: a second reference would make the painter copy the whole page.
    m_pages.append(QImage(size, QImage::Format_RGB32));
    m_pages.last().fill(Qt::white);
    m_blankPage = true;
    m_painter.begin(&m_pages.last());
    m_painter.scale(DeviceScale(), DeviceScale());
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform);
    m_painter.setRenderHint(QPainter::Antialiasing);
    m_painter.setRenderHint(QPainter::TextAntialiasing);
    m_newPagePending = false;
}

void PreviewSurface::PaintPicture(const QImage& picture, double x, double y, double width,
                                  double height)
{
    if (picture.isNull())
        return;
    // The raster engine hands fills taller than about 95 rows to its thread pool. For a
    // picture of this size the hand-over costs more than it saves, and the pool competes
    // with the picture reader; so the picture is drawn in bands of at most 64 rows.
    QPainter& p = PagePainter();
    const QTransform units = p.transform();
    const QRect box = units.mapRect(QRectF(x, y, width, height)).toAlignedRect();
    constexpr int Band = 64;
    if (box.height() <= Band) {
        p.drawImage(QRectF(x, y, width, height), picture);
        return;
    }
    for (int top = box.top(); top <= box.bottom(); top += Band) {
        p.save();
        p.resetTransform();
        p.setClipRect(QRect(box.left(), top, box.width(), std::min(Band, box.bottom() + 1 - top)));
        p.setTransform(units);
        p.drawImage(QRectF(x, y, width, height), picture);
        p.restore();
    }
}

void PreviewSurface::DrawText(double x, double y, const QString& text)
{
    const QString printable = Printable(text);
    if (printable.isEmpty())
        return;
    const ShapedText& shaped = Shaped(printable);
    QPainter& p = PagePainter();
    p.setPen(Qt::black);
    const QPointF origin(x, y + Ascent() - shaped.baseline);
    for (const QGlyphRun& run : shaped.runs)
        p.drawGlyphRun(origin, run);
}

QPainter& PreviewSurface::PagePainter()
{
    if (m_newPagePending)
        StartPage();
    m_blankPage = false;
    return m_painter;
}

void PreviewSurface::Cls()
{
    if (m_newPagePending)
        StartPage();
    if (!m_blankPage)
        m_pages.last().fill(Qt::white);
    m_blankPage = true;
}

void PreviewSurface::NewPage()
{
    m_newPagePending = true;
}

void PreviewSurface::EndDoc()
{
    if (m_pages.isEmpty())
        StartPage();
    if (m_painter.isActive())
        m_painter.end();
    m_newPagePending = true;
}

QImage PreviewSurface::ReadShownPicture(const QString& path, double shownWidth, double shownHeight)
{
    QFile file;
    if (!OpenRegularFile(file, path))
        return QImage();
    QImageReader reader(&file);
    const QSize full = reader.size();
    if (full.isValid() && reader.format() == "jpeg") {
        // JPEG decodes straight to 1/2, 1/4 or 1/8 of its size, far quicker than all of
        // it; take the smallest of those that still covers the box, and let the painter
        // smooth the rest.
        for (const int d : {8, 4, 2}) {
            const QSize reduced((full.width() + d - 1) / d, (full.height() + d - 1) / d);
            if (reduced.width() >= shownWidth && reduced.height() >= shownHeight) {
                reader.setQuality(49); // the reduced decode, not a smoothing pass
                reader.setScaledSize(reduced);
                break;
            }
        }
    }
    return reader.read();
}

QImage PreviewSurface::LoadPicture(const QString& path, double width, double height)
{
    {
        // Pictures asked for ahead come in the order they are drawn; one drawn out of
        // that order, or never asked for, is read here.
        std::unique_lock lock(m_prefetchLock);
        for (auto it = m_prefetched.begin(); it != m_prefetched.end(); ++it) {
            if (it->request.path == path && it->request.width == width &&
                it->request.height == height) {
                m_prefetchDone.wait(lock, [&] { return it->done; });
                QImage picture = std::move(it->picture);
                // Everything before it was skipped by the document: drop it with it.
                m_prefetched.erase(m_prefetched.begin(), it + 1);
                return picture;
            }
        }
    }
    return ReadShownPicture(path, width * DeviceScale(), height * DeviceScale());
}

void PreviewSurface::PrefetchPictures(const QList<PictureRequest>& requests)
{
    StopPrefetch();
    if (requests.isEmpty())
        return;
    {
        const std::lock_guard lock(m_prefetchLock);
        m_prefetchCancelled = false;
        for (const PictureRequest& r : requests)
            m_prefetched.push_back({r, {}, false});
    }
    const double scale = DeviceScale();
    m_prefetchThread = std::thread([this, scale] {
        std::unique_lock lock(m_prefetchLock);
        // Entries are only ever removed from the front, and only once done, so the
        // first one not done is the next to read.
        for (;;) {
            const auto next = std::find_if(m_prefetched.begin(), m_prefetched.end(),
                                           [](const Prefetched& p) { return !p.done; });
            if (m_prefetchCancelled || next == m_prefetched.end())
                return;
            const PictureRequest request = next->request;
            lock.unlock();
            QImage picture =
                ReadShownPicture(request.path, request.width * scale, request.height * scale);
            lock.lock();
            next->picture = std::move(picture);
            next->done = true;
            m_prefetchDone.notify_all();
        }
    });
}

void PreviewSurface::StopPrefetch()
{
    {
        const std::lock_guard lock(m_prefetchLock);
        m_prefetchCancelled = true;
    }
    if (m_prefetchThread.joinable())
        m_prefetchThread.join();
    const std::lock_guard lock(m_prefetchLock);
    m_prefetched.clear();
}

} // namespace tramelle
