#include "DragController.h"

#include "ChoiceGrid.h"
#include "SlotPanel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>

namespace tramelle {

DragController::DragController(const Parts& parts, QObject* parent)
    : QObject(parent), m_parts(parts)
{
    m_image = new QLabel(parts.Window);
    m_image->setObjectName(QStringLiteral("DragImage"));
    m_image->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_image->setFrameShape(QFrame::Box);
    m_image->setStyleSheet(
        QStringLiteral("QLabel { border: 1px dashed #000080; background: white; }"));
    m_image->resize(ChoiceGrid::PictureWidth + 2, ChoiceGrid::PictureHeight + 2);
    m_image->hide();
    parts.Choices->installEventFilter(this);
    parts.Slots->WatchWith(this);
}

void DragController::Watch(QWidget* widget)
{
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
}

DragSource DragController::At(QObject* watched, QPoint pos, bool captions) const
{
    if (watched == m_parts.Choices) {
        int choice = m_parts.Choices->PictureAt(pos);
        if (choice < 0 && captions)
            choice = m_parts.Choices->CaptionAt(pos);
        if (choice >= 0)
            return {DragSource::Choice, choice};
    }
    int slot = m_parts.Slots->PictureIndex(watched);
    if (slot < 0 && captions)
        slot = m_parts.Slots->CaptionIndex(watched);
    if (slot >= 0)
        return {DragSource::Slot, slot};
    return {};
}

void DragController::Move(QPoint globalPos)
{
    if (!m_moved && (globalPos - m_hotSpot).manhattanLength() < QApplication::startDragDistance())
        return;
    m_moved = true;
    const QPoint local = m_parts.Window->mapFromGlobal(globalPos);
    m_image->move(local - QPoint(m_image->width() / 2, m_image->height() / 2));
    m_image->show();
    m_image->raise();
    QWidget* over = m_parts.Window->childAt(local);
    const int slot = m_parts.Slots->CaptionIndex(over);
    if (slot >= 0)
        DragOverCaption(slot, over->mapFromGlobal(globalPos).y() * 15);
}

void DragController::End(QPoint globalPos)
{
    const DragSource source = m_drag;
    m_drag = DragSource{};
    m_image->hide();
    QWidget* over = m_parts.Window->childAt(m_parts.Window->mapFromGlobal(globalPos));
    if (!over)
        return;
    const int slot = m_parts.Slots->PictureIndex(over);
    if (slot >= 0) {
        emit droppedOnSlot(slot, source);
    } else if (over == m_parts.Choices) {
        // The choice captions take no drop.
        if (m_parts.Choices->CaptionAt(m_parts.Choices->mapFromGlobal(globalPos)) < 0)
            emit droppedOnChoices(source);
    }
}

void DragController::DragOverCaption(int slot, int yTwips)
{
    if (!m_autoScrollArmed)
        return;
    m_autoScrollArmed = false;
    QScrollBar* scroll = m_parts.SlotScroll;
    const int top = m_parts.Slots->y() + m_parts.Slots->Caption(slot)->y();
    if (top < 0)
        scroll->setValue(std::max(scroll->minimum(), scroll->value() - scroll->singleStep()));
    if (yTwips > 150 && top > 80 && slot < 15)
        scroll->setValue(std::min(scroll->maximum(), scroll->value() + scroll->singleStep()));
}

bool DragController::Wheel(QObject* watched, QEvent* event)
{
    // The wheel scrolls the panel under the pointer.
    if (watched == m_parts.Choices || watched == m_parts.ChoiceFrame) {
        QCoreApplication::sendEvent(m_parts.ChoiceScroll, event);
        return true;
    }
    const SlotPanel* panel = m_parts.Slots;
    if (watched == panel || watched == m_parts.SlotFrame || panel->PictureIndex(watched) >= 0 ||
        panel->CaptionIndex(watched) >= 0 || panel->NumberIndex(watched) >= 0) {
        if (m_parts.SlotScroll->isVisibleTo(m_parts.Window))
            QCoreApplication::sendEvent(m_parts.SlotScroll, event);
        return true;
    }
    return false;
}

bool DragController::eventFilter(QObject* watched, QEvent* event)
{
    const auto* me = dynamic_cast<const QMouseEvent*>(event);
    const bool dragging = m_drag.kind != DragSource::Kind::None;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        if (me->button() != Qt::LeftButton)
            break;
        const DragSource what = At(watched, me->position().toPoint(), false);
        if (what.kind == DragSource::Kind::None)
            break;
        QPixmap picture;
        if (what.kind == DragSource::Choice) {
            m_autoScrollArmed = false;
            emit choicePressed(what.index);
            picture = QPixmap::fromImage(m_parts.Choices->Picture(what.index));
        } else {
            emit slotPressed(what.index);
            picture = m_parts.Slots->Picture(what.index)->pixmap();
        }
        m_drag = what;
        m_moved = false;
        m_hotSpot = me->globalPosition().toPoint();
        m_image->setPixmap(picture);
        return true;
    }
    case QEvent::MouseButtonDblClick:
        if (me->button() == Qt::LeftButton) {
            const DragSource what = At(watched, me->position().toPoint(), false);
            if (what.kind != DragSource::Kind::None) {
                emit doubleClicked(what);
                return true;
            }
        }
        break;
    case QEvent::MouseMove:
        if (dragging && (me->buttons() & Qt::LeftButton)) {
            Move(me->globalPosition().toPoint());
            return true;
        }
        if (me->buttons() == Qt::NoButton && watched->isWidgetType()) {
            // Handled here so that the panel behind does not answer the same move.
            emit pointerOver(At(watched, me->position().toPoint(), true));
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (dragging && me->button() == Qt::LeftButton) {
            End(me->globalPosition().toPoint());
            return true;
        }
        break;
    case QEvent::KeyPress:
        if (watched == m_parts.Slots && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
            emit deletePressed();
            return true;
        }
        break;
    case QEvent::FocusOut:
        if (watched == m_parts.Slots)
            m_parts.Slots->SetSelected(-1);
        break;
    case QEvent::Wheel:
        if (Wheel(watched, event))
            return true;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tramelle
