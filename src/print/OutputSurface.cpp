#include "OutputSurface.h"

#include <QImageReader>
#include <cmath>

namespace tramelle {

namespace {

// Documents name "Arial"; the metric-compatible free font stands in for it, so the
// layout measured here is the layout printed.
void InstallFontSubstitutes()
{
    static const bool installed = [] {
        QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace

OutputSurface::OutputSurface() : m_fontName(QStringLiteral("Arial"))
{
    InstallFontSubstitutes();
}

OutputSurface::~OutputSurface() = default;

void OutputSurface::SetFontName(const QString& name)
{
    if (name != m_fontName) {
        m_fontName = name;
        Invalidate();
    }
}

void OutputSurface::SetFontSize(double points)
{
    if (points != m_fontSize) {
        m_fontSize = points;
        Invalidate();
    }
}

void OutputSurface::SetFontBold(bool bold)
{
    if (bold != m_fontBold) {
        m_fontBold = bold;
        Invalidate();
    }
}

void OutputSurface::Invalidate()
{
    m_font.reset();
    m_metrics.reset();
}

const QFont& OutputSurface::Font() const
{
    if (!m_font) {
        QFont f(m_fontName);
        // 20 drawing units per point; a pixel size keeps the text the same size on the
        // printer, a preview picture and a measuring surface.
        f.setPixelSize(std::max(1, static_cast<int>(std::lround(m_fontSize * 20.0))));
        f.setBold(m_fontBold);
        f.setHintingPreference(QFont::PreferNoHinting);
        f.setStyleStrategy(QFont::PreferOutline);
        m_font = f;
    }
    return *m_font;
}

const QFontMetricsF& OutputSurface::Metrics() const
{
    if (!m_metrics)
        m_metrics.emplace(Font());
    return *m_metrics;
}

double OutputSurface::TextWidth(const QString& text) const
{
    return Metrics().horizontalAdvance(text);
}

// Every line of a font has the same height, whatever its text.
double OutputSurface::TextHeight(const QString& text) const
{
    Q_UNUSED(text);
    return Metrics().height();
}

double OutputSurface::Ascent() const
{
    return Metrics().ascent();
}

void OutputSurface::Print(const QString& text, bool endLine)
{
    if (!text.isEmpty())
        DrawText(CurrentX, CurrentY, text);
    if (endLine) {
        CurrentX = 0;
        CurrentY += TextHeight(QStringLiteral("X"));
    } else {
        CurrentX += TextWidth(text);
    }
}

QImage OutputSurface::LoadPicture(const QString& path, double width, double height)
{
    Q_UNUSED(width);
    Q_UNUSED(height);
    QImageReader reader(path);
    return reader.read();
}

double OutputSurface::PaperWidth() const
{
    return Orientation() == 1 ? 8.5 * 1440 : 11.0 * 1440;
}

double OutputSurface::PaperHeight() const
{
    return Orientation() == 1 ? 11.0 * 1440 : 8.5 * 1440;
}

} // namespace tramelle
