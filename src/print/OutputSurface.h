#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QImage>
#include <QList>
#include <QString>
#include <memory>
#include <vector>

namespace tramelle {

// How a page lies on the paper.
enum class PageOrientation : qint16
{
    Portrait = 1,
    Landscape = 2,
};

// A drawing target in drawing units (twips at scale 1) with the origin at the top left
// corner of the page: the printer or the preview's pages. The composers draw through
// this contract only, so the same code produces the printed and the previewed page.
//
// Text is drawn with its top at CurrentY (baseline at CurrentY + ascent). Fonts are
// sized in points; a point is 20 drawing units on every surface, because the preview's
// units are the screen's twips at the zoom factor.
class OutputSurface
{
public:
    OutputSurface();
    virtual ~OutputSurface();
    OutputSurface(const OutputSurface&) = delete;
    OutputSurface& operator=(const OutputSurface&) = delete;

    double CurrentX = 0;
    double CurrentY = 0;

    const QString& FontName() const { return m_fontName; }
    double FontSize() const { return m_fontSize; }
    bool FontBold() const { return m_fontBold; }
    void SetFontName(const QString& name);
    void SetFontSize(double points);
    void SetFontBold(bool bold);
    // The font as drawn: pixel size in drawing units.
    const QFont& Font() const;

    double TextWidth(const QString& text) const;
    double TextHeight(const QString& text) const;
    double Ascent() const;

    // Draws the text at the current position. Staying on the line moves CurrentX past
    // the text; ending the line sets CurrentX = 0 and moves CurrentY down one line.
    void Print(const QString& text, bool endLine);
    void PrintStay(const QString& text) { Print(text, false); }
    void PrintLine(const QString& text = QString()) { Print(text, true); }

    virtual void Line(double x1, double y1, double x2, double y2) = 0;
    virtual void Box(double x1, double y1, double x2, double y2) = 0;
    virtual void FillBox(double x1, double y1, double x2, double y2, const QColor& colour) = 0;
    // Stretches the picture to exactly the box.
    virtual void PaintPicture(const QImage& picture, double x, double y, double width,
                              double height) = 0;
    // Reads a picture file for a box of the given size; a null image when it cannot be
    // read. Surfaces that show pictures small may decode them at their shown size.
    virtual QImage LoadPicture(const QString& path, double width, double height);
    // The pictures a document is about to draw, in order, for a surface that can start
    // reading them ahead while the text is drawn; LoadPicture then takes them up.
    struct PictureRequest
    {
        QString path;
        double width = 0;
        double height = 0;
    };
    virtual void PrefetchPictures(const QList<PictureRequest>& requests) { Q_UNUSED(requests); }
    virtual void Cls() = 0;

    // Returns false when the target refuses the orientation.
    virtual bool SetOrientation(PageOrientation orientation) = 0;
    virtual PageOrientation Orientation() const = 0;
    virtual void NewPage() = 0;
    virtual void EndDoc() = 0;
    // The paper in twips (Letter in the current orientation).
    double PaperWidth() const;
    double PaperHeight() const;

protected:
    virtual void DrawText(double x, double y, const QString& text) = 0;

    // A text laid out in the current font, ready to draw: its glyph runs, placed with the
    // baseline at `baseline` below the top. Laid out once per text and font.
    struct ShapedText
    {
        QList<QGlyphRun> runs;
        double baseline = 0;
    };
    const ShapedText& Shaped(const QString& text) const;

private:
    // One font as composed: the QFont, its metrics and the widths measured in it so far.
    // Documents switch between a handful of fonts for every row and measure the same
    // words several times (to wrap, to place, to advance), so each font is resolved once
    // per surface and each word shaped for measuring once per font (and for drawing, on
    // surfaces that draw from glyphs, once more).
    struct FontEntry
    {
        QString name;
        double size = 0;
        bool bold = false;
        QFont font;
        QFontMetricsF metrics;
        double height = 0;
        double ascent = 0;
        QHash<QString, double> widths;
        QHash<QString, ShapedText> shaped;
        FontEntry(const QString& name, double size, bool bold, const QFont& font);
    };
    FontEntry& Current() const;

    QString m_fontName;
    double m_fontSize = 12;
    bool m_fontBold = false;
    mutable FontEntry* m_current = nullptr;
    mutable std::vector<std::unique_ptr<FontEntry>> m_fonts;
};

// A surface that only measures: composers run on it to find how much room a text needs.
class MeasuringSurface : public OutputSurface
{
public:
    void Line(double, double, double, double) override {}
    void Box(double, double, double, double) override {}
    void FillBox(double, double, double, double, const QColor&) override {}
    void PaintPicture(const QImage&, double, double, double, double) override {}
    QImage LoadPicture(const QString&, double, double) override { return {}; }
    void Cls() override {}
    bool SetOrientation(PageOrientation orientation) override
    {
        m_orientation = orientation;
        return true;
    }
    PageOrientation Orientation() const override { return m_orientation; }
    void NewPage() override {}
    void EndDoc() override {}

protected:
    void DrawText(double, double, const QString&) override {}

private:
    PageOrientation m_orientation = PageOrientation::Portrait;
};

} // namespace tramelle
