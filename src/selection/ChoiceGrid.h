#pragma once

#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>
#include <vector>

namespace tramelle {

// The panel that holds the choice cells ("SrcFrame"): five cells to a row, each a picture
// with its caption below. The panel is as tall as all its rows and is moved up inside its
// clipping frame to scroll; only the rows inside the exposed area are painted, so a library
// of thousands of exercises costs no widgets and no pictures beyond those in sight.
// The constants are the layout at 96 dots per inch; SetScale grows every cell alike.
class ChoiceGrid : public QWidget
{
    Q_OBJECT

public:
    // Layout of the first cell: picture at (18, 4), 70 x 53; caption at (16, 57), 77 wide.
    static constexpr int PictureLeft = 18;
    static constexpr int PictureTop = 4;
    static constexpr int PictureWidth = 70;
    static constexpr int PictureHeight = 53;
    static constexpr int CaptionLeft = 16;
    static constexpr int CaptionWidth = 77;
    static constexpr int CaptionHeight = 22;
    static constexpr int ColumnPitch = PictureLeft + PictureWidth + 1; // 89
    static constexpr int RowPitch = PictureHeight + CaptionHeight + 1; // 76
    static constexpr int CaptionTop = PictureTop + PictureHeight;      // 57
    static constexpr int Columns = 5;

    explicit ChoiceGrid(QWidget* parent = nullptr);

    // Forgets every loaded picture and caption and offers cells 0 .. count - 1.
    void Reset(int count);
    // Lays the cells out at `scale` times their size; pictures must be loaded again at the
    // new size, so every cell is unloaded.
    void SetScale(double scale);
    double Scale() const { return m_scale; }
    // Top of row `row` and the rows' pitch, in pixels at the current scale.
    int RowTop(int row) const;
    double ScaledRowPitch() const { return RowPitch * m_scale; }
    int Count() const { return static_cast<int>(m_cells.size()); }

    bool IsLoaded(int i) const { return m_cells.at(static_cast<size_t>(i)).Loaded; }
    void SetCell(int i, QImage picture, const QString& caption, bool hasMovie);
    QImage Picture(int i) const { return m_cells.at(static_cast<size_t>(i)).Picture; }
    QString Caption(int i) const { return m_cells.at(static_cast<size_t>(i)).Caption; }
    bool CaptionIsBlue(int i) const { return m_cells.at(static_cast<size_t>(i)).Movie; }

    // The outline that marks the pressed choice; -1 hides it.
    void SetSelected(int i);
    int Selected() const { return m_selected; }

    // The room a caption may take before it reaches the next row's picture.
    static constexpr int CaptionRoom = RowPitch + PictureTop - CaptionTop; // 23

    // `font` made smaller a pixel at a time (to 8 pixels) until `text`, drawn with `flags`,
    // fits `box`: a long name would otherwise be cut off or run into its neighbours.
    static QFont FittingFont(const QFont& font, QSize box, const QString& text, int flags);

    // Where cell i's picture and caption are at the current scale.
    QRect PictureRect(int i) const;
    QRect CaptionRect(int i) const;
    // The same in the layout's own pixels (scale 1).
    static QRect BasePictureRect(int i);
    static QRect BaseCaptionRect(int i);
    // The cell whose picture (or caption) holds the point, or -1.
    int PictureAt(QPoint p) const;
    int CaptionAt(QPoint p) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Cell
    {
        QImage Picture;
        QString Caption;
        bool Movie = false;
        bool Loaded = false;
        QFont CaptionFont;
    };
    QRect CaptionBox(int i) const;

    std::vector<Cell> m_cells;
    int m_selected = -1;
    double m_scale = 1.0;
};

} // namespace tramelle
