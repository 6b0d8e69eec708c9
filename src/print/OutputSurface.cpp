#include "OutputSurface.h"

#include "Paths.h"

#include <QFile>
#include <QImageReader>
#include <QTextLayout>
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
        m_current = nullptr;
    }
}

void OutputSurface::SetFontSize(double points)
{
    if (points != m_fontSize) {
        m_fontSize = points;
        m_current = nullptr;
    }
}

void OutputSurface::SetFontBold(bool bold)
{
    if (bold != m_fontBold) {
        m_fontBold = bold;
        m_current = nullptr;
    }
}

OutputSurface::FontEntry::FontEntry(const QString& name, double size, bool bold, const QFont& font)
    : name(name), size(size), bold(bold), font(font), metrics(font), height(metrics.height()),
      ascent(metrics.ascent())
{
}

OutputSurface::FontEntry& OutputSurface::Current() const
{
    if (m_current)
        return *m_current;
    for (const auto& e : m_fonts) {
        if (e->size == m_fontSize && e->bold == m_fontBold && e->name == m_fontName) {
            m_current = e.get();
            return *m_current;
        }
    }
    QFont f(m_fontName);
    // 20 drawing units per point; a pixel size keeps the text the same size on the
    // printer, a preview picture and a measuring surface.
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(m_fontSize * 20.0))));
    f.setBold(m_fontBold);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setStyleStrategy(QFont::PreferOutline);
    m_fonts.push_back(std::make_unique<FontEntry>(m_fontName, m_fontSize, m_fontBold, f));
    m_current = m_fonts.back().get();
    return *m_current;
}

const QFont& OutputSurface::Font() const
{
    return Current().font;
}

double OutputSurface::TextWidth(const QString& text) const
{
    FontEntry& e = Current();
    const auto found = e.widths.constFind(text);
    if (found != e.widths.cend())
        return *found;
    const double width = e.metrics.horizontalAdvance(text);
    e.widths.insert(text, width);
    return width;
}

const OutputSurface::ShapedText& OutputSurface::Shaped(const QString& text) const
{
    FontEntry& e = Current();
    auto found = e.shaped.constFind(text);
    if (found == e.shaped.cend()) {
        QTextLayout layout(text, e.font);
        layout.setCacheEnabled(true);
        layout.beginLayout();
        const QTextLine line = layout.createLine();
        layout.endLayout();
        found =
            e.shaped.insert(text, {layout.glyphRuns(), line.isValid() ? line.ascent() : e.ascent});
    }
    return *found;
}

// Every line of a font has the same height, whatever its text.
double OutputSurface::TextHeight(const QString& text) const
{
    Q_UNUSED(text);
    return Current().height;
}

double OutputSurface::Ascent() const
{
    return Current().ascent;
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
    QFile file;
    if (!OpenRegularFile(file, path))
        return QImage();
    QImageReader reader(&file);
    return reader.read();
}

double OutputSurface::PaperWidth() const
{
    return Orientation() == PageOrientation::Portrait ? 8.5 * 1440 : 11.0 * 1440;
}

double OutputSurface::PaperHeight() const
{
    return Orientation() == PageOrientation::Portrait ? 11.0 * 1440 : 8.5 * 1440;
}

} // namespace tramelle
