#include "CropView.h"

#include "PictureDocument.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace tramelle::imageeditor {

namespace {

constexpr int Margin = 16;
constexpr double HandleReach = 12.0; // pixels around a corner that grab it
constexpr double KeyStep = 0.01;     // of the picture's width, per key press

} // namespace

CropView::CropView(const PictureDocument& document, QWidget* parent)
    : QWidget(parent), m_document(document)
{
    setObjectName(QStringLiteral("picCanvas"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(320, 240);
}

QTransform CropView::TurnedToWidget() const
{
    const QSizeF turned = m_document.TurnedSize();
    if (turned.isEmpty())
        return {};
    const QRectF room = QRectF(rect()).adjusted(Margin, Margin, -Margin, -Margin);
    const double scale =
        std::max(1e-6, std::min(room.width() / turned.width(), room.height() / turned.height()));
    const QPointF origin(room.center().x() - turned.width() * scale / 2,
                         room.center().y() - turned.height() * scale / 2);
    return QTransform::fromScale(scale, scale) * QTransform::fromTranslate(origin.x(), origin.y());
}

QRectF CropView::ShownCrop() const
{
    return m_liveCrop ? *m_liveCrop : m_document.State().Crop;
}

void CropView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x3a, 0x3a, 0x3a));
    if (!m_document.IsOpen()) {
        painter.setPen(Qt::lightGray);
        painter.drawText(rect(), Qt::AlignCenter, tr("Open a picture to edit it."));
        return;
    }
    const QTransform toWidget = TurnedToWidget();
    const QImage preview = m_document.Preview();
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setTransform(
        QTransform::fromScale(1.0 / m_document.PreviewScale(), 1.0 / m_document.PreviewScale()) *
        m_document.SourceToTurned() * toWidget);
    painter.drawImage(0, 0, preview);
    painter.restore();

    // Everything outside the crop is dimmed; the frame, its thirds and its corners drawn.
    const QRectF crop = toWidget.mapRect(ShownCrop());
    QPainterPath outside;
    outside.addRect(QRectF(rect()));
    outside.addRect(crop);
    painter.fillPath(outside, QColor(0, 0, 0, 150));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(255, 255, 255, 110), 1));
    for (int i = 1; i < 3; ++i) {
        const double x = crop.left() + crop.width() * i / 3, y = crop.top() + crop.height() * i / 3;
        painter.drawLine(QPointF(x, crop.top()), QPointF(x, crop.bottom()));
        painter.drawLine(QPointF(crop.left(), y), QPointF(crop.right(), y));
    }
    painter.setPen(QPen(hasFocus() ? QColor(0xff, 0xd0, 0x40) : Qt::white, 2));
    painter.drawRect(crop);
    painter.setBrush(Qt::white);
    painter.setPen(QPen(Qt::black, 1));
    for (const QPointF& corner :
         {crop.topLeft(), crop.topRight(), crop.bottomLeft(), crop.bottomRight()})
        painter.drawRect(QRectF(corner - QPointF(5, 5), QSizeF(10, 10)));
}

std::optional<CropCorner> CropView::CornerAt(const QPointF& point) const
{
    const QRectF crop = TurnedToWidget().mapRect(ShownCrop());
    const std::pair<QPointF, CropCorner> corners[] = {
        {crop.topLeft(), CropCorner::TopLeft},
        {crop.topRight(), CropCorner::TopRight},
        {crop.bottomLeft(), CropCorner::BottomLeft},
        {crop.bottomRight(), CropCorner::BottomRight}};
    for (const auto& [where, corner] : corners)
        if (std::abs(point.x() - where.x()) <= HandleReach &&
            std::abs(point.y() - where.y()) <= HandleReach)
            return corner;
    return std::nullopt;
}

void CropView::mousePressEvent(QMouseEvent* event)
{
    if (!m_document.IsOpen() || event->button() != Qt::LeftButton)
        return;
    const QPointF point = event->position();
    m_pressTurned = TurnedToWidget().inverted().map(point);
    m_pressCrop = m_document.State().Crop;
    if (const auto corner = CornerAt(point)) {
        m_drag = Drag::Corner;
        m_corner = *corner;
    } else if (TurnedToWidget().mapRect(m_pressCrop).contains(point)) {
        m_drag = Drag::Move;
        setCursor(Qt::ClosedHandCursor);
    }
}

void CropView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_document.IsOpen())
        return;
    const QPointF turned = TurnedToWidget().inverted().map(event->position());
    const QRectF usable = m_document.Usable();
    switch (m_drag) {
    case Drag::Move:
        m_liveCrop = MoveCrop(m_pressCrop, turned - m_pressTurned, usable);
        update();
        return;
    case Drag::Corner:
        m_liveCrop = DragCropCorner(m_pressCrop, m_corner, turned, usable);
        update();
        return;
    case Drag::None:
        break;
    }
    const auto corner = CornerAt(event->position());
    if (corner)
        setCursor(*corner == CropCorner::TopLeft || *corner == CropCorner::BottomRight
                      ? Qt::SizeFDiagCursor
                      : Qt::SizeBDiagCursor);
    else if (TurnedToWidget().mapRect(ShownCrop()).contains(event->position()))
        setCursor(Qt::OpenHandCursor);
    else
        unsetCursor();
}

void CropView::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_drag == Drag::None || event->button() != Qt::LeftButton)
        return;
    m_drag = Drag::None;
    unsetCursor();
    const std::optional<QRectF> crop = std::exchange(m_liveCrop, std::nullopt);
    if (crop && *crop != m_pressCrop)
        emit CropChanged(*crop, false);
    update();
}

void CropView::keyPressEvent(QKeyEvent* event)
{
    if (!m_document.IsOpen() || m_drag != Drag::None) {
        QWidget::keyPressEvent(event);
        return;
    }
    const double step = std::max(1.0, m_document.TurnedSize().width() * KeyStep);
    const QRectF crop = m_document.State().Crop;
    const QRectF usable = m_document.Usable();
    const bool resize = event->modifiers() & Qt::ShiftModifier;
    QRectF next;
    switch (event->key()) {
    case Qt::Key_Left:
        next = resize ? GrowCrop(crop, -2 * step, usable) : MoveCrop(crop, {-step, 0}, usable);
        break;
    case Qt::Key_Right:
        next = resize ? GrowCrop(crop, 2 * step, usable) : MoveCrop(crop, {step, 0}, usable);
        break;
    case Qt::Key_Up:
        next = resize ? GrowCrop(crop, 2 * step, usable) : MoveCrop(crop, {0, -step}, usable);
        break;
    case Qt::Key_Down:
        next = resize ? GrowCrop(crop, -2 * step, usable) : MoveCrop(crop, {0, step}, usable);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (next != crop)
        emit CropChanged(next, true);
}

} // namespace tramelle::imageeditor
