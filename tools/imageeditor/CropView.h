#pragma once

#include "CropBox.h"

#include <QWidget>
#include <optional>

namespace tramelle::imageeditor {

class PictureDocument;

// Shows the edited picture with the crop frame. The frame is moved by dragging inside it
// or with the arrow keys, and resized by its corners or with Shift and the arrow keys
// (Up and Right grow it, Down and Left shrink it).
class CropView : public QWidget
{
    Q_OBJECT
public:
    explicit CropView(const PictureDocument& document, QWidget* parent = nullptr);

    // Where the turned picture lies in the widget, and its scale.
    QTransform TurnedToWidget() const;

    QSize sizeHint() const override { return {800, 600}; }

signals:
    // A finished drag (merge = false) or a key press (merge = true).
    void CropChanged(const QRectF& crop, bool merge);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class Drag
    {
        None,
        Move,
        Corner
    };

    QRectF ShownCrop() const;
    std::optional<CropCorner> CornerAt(const QPointF& widgetPoint) const;

    const PictureDocument& m_document;
    Drag m_drag = Drag::None;
    CropCorner m_corner = CropCorner::TopLeft;
    QPointF m_pressTurned;
    QRectF m_pressCrop;
    std::optional<QRectF> m_liveCrop;
};

} // namespace tramelle::imageeditor
