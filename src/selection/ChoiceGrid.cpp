#include "ChoiceGrid.h"

#include "LayoutScale.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace tramelle {

namespace {
const int CaptionFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
}

ChoiceGrid::ChoiceGrid(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void ChoiceGrid::Reset(int count)
{
    std::vector<Cell> fresh(static_cast<size_t>(std::max(count, 0)));
    m_cells.swap(fresh);
    m_selected = -1;
    update();
}

void ChoiceGrid::SetScale(double scale)
{
    m_scale = scale;
    for (Cell& cell : m_cells) {
        cell = Cell{};
    }
    update();
}

int ChoiceGrid::RowTop(int row) const
{
    return Scaled(row * RowPitch, m_scale);
}

void ChoiceGrid::SetCell(int i, QImage picture, const QString& caption, bool hasMovie)
{
    Cell& cell = m_cells.at(static_cast<size_t>(i));
    cell.Picture = std::move(picture);
    cell.Caption = caption;
    cell.CaptionFont = FittingFont(font(), CaptionBox(i).size(), caption, CaptionFlags);
    cell.Movie = hasMovie;
    cell.Loaded = true;
    update(PictureRect(i).united(CaptionRect(i)));
}

void ChoiceGrid::SetSelected(int i)
{
    if (m_selected >= 0)
        update(PictureRect(m_selected).adjusted(-4, -4, 4, 4));
    m_selected = i;
    if (m_selected >= 0)
        update(PictureRect(m_selected).adjusted(-4, -4, 4, 4));
}

QFont ChoiceGrid::FittingFont(const QFont& font, QSize box, const QString& text, int flags)
{
    QFont fitted = font;
    if (font.pixelSize() <= 0)
        return fitted;
    for (int pixels = font.pixelSize(); pixels > 8; --pixels) {
        fitted.setPixelSize(pixels);
        const QRect needed = QFontMetrics(fitted).boundingRect(QRect(QPoint(), box), flags, text);
        if (needed.width() <= box.width() && needed.height() <= box.height())
            return fitted;
    }
    fitted.setPixelSize(8);
    return fitted;
}

QRect ChoiceGrid::BasePictureRect(int i)
{
    return {(i % Columns) * ColumnPitch + PictureLeft, (i / Columns) * RowPitch + PictureTop,
            PictureWidth, PictureHeight};
}

QRect ChoiceGrid::BaseCaptionRect(int i)
{
    return {(i % Columns) * ColumnPitch + CaptionLeft, (i / Columns) * RowPitch + CaptionTop,
            CaptionWidth, CaptionHeight};
}

// Cells are placed within their row, and rows at whole multiples of the scaled pitch, so
// that scrolling by rows (RowTop) lands every row on the same pixel.
QRect ChoiceGrid::PictureRect(int i) const
{
    return Scaled(BasePictureRect(i % Columns), m_scale).translated(0, RowTop(i / Columns));
}

QRect ChoiceGrid::CaptionRect(int i) const
{
    return Scaled(BaseCaptionRect(i % Columns), m_scale).translated(0, RowTop(i / Columns));
}

QRect ChoiceGrid::CaptionBox(int i) const
{
    const QRect caption = CaptionRect(i);
    return {caption.topLeft(), QSize(caption.width(), Scaled(CaptionRoom, m_scale))};
}

int ChoiceGrid::PictureAt(QPoint p) const
{
    if (p.x() < 0 || p.y() < 0)
        return -1;
    const int row = static_cast<int>(p.y() / ScaledRowPitch());
    const int column = std::min(static_cast<int>(p.x() / (ColumnPitch * m_scale)), Columns - 1);
    // Rounding may put the point just inside the neighbouring row.
    for (int r = std::max(row - 1, 0); r <= row + 1; ++r) {
        const int i = r * Columns + column;
        if (i < Count() && PictureRect(i).contains(p))
            return i;
    }
    return -1;
}

int ChoiceGrid::CaptionAt(QPoint p) const
{
    if (p.x() < 0 || p.y() < 0)
        return -1;
    // Captions are wider than the column gap on the left, so look at both neighbours.
    const int row = static_cast<int>(p.y() / ScaledRowPitch());
    const int column = std::min(static_cast<int>(p.x() / (ColumnPitch * m_scale)), Columns - 1);
    for (int r = std::max(row - 1, 0); r <= row + 1; ++r) {
        for (int c = std::max(column - 1, 0); c <= std::min(column + 1, Columns - 1); ++c) {
            const int i = r * Columns + c;
            if (i < Count() && CaptionRect(i).contains(p))
                return i;
        }
    }
    return -1;
}

void ChoiceGrid::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect area = event->rect();
    painter.fillRect(area, palette().base());
    const int firstRow = std::max(static_cast<int>(area.top() / ScaledRowPitch()), 0);
    const int lastRow = static_cast<int>(area.bottom() / ScaledRowPitch());
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int c = 0; c < Columns; ++c) {
            const int i = row * Columns + c;
            if (i >= Count())
                break;
            const Cell& cell = m_cells[static_cast<size_t>(i)];
            if (!cell.Loaded)
                continue;
            if (!cell.Picture.isNull())
                painter.drawImage(PictureRect(i), cell.Picture);
            painter.setPen(cell.Movie ? QColor(Qt::blue) : QColor(Qt::black));
            painter.setFont(cell.CaptionFont);
            painter.drawText(CaptionBox(i), CaptionFlags, cell.Caption);
        }
    }
    if (m_selected >= 0 && m_selected < Count()) {
        // 71 x 54 outline at the picture's top left.
        const QRect r = PictureRect(m_selected);
        painter.setPen(QPen(QColor(0, 0, 128), Scaled(2, m_scale)));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(r.topLeft(), QSize(Scaled(71, m_scale), Scaled(54, m_scale))));
    }
}

} // namespace tramelle
