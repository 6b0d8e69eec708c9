#pragma once

#include <QObject>
#include <QPoint>

class QLabel;
class QPixmap;
class QScrollBar;
class QWidget;

namespace tramelle {

class ChoiceGrid;
class SlotPanel;

// Something being dragged or pointed at: a library choice (pool index) or a program slot.
struct DragSource
{
    enum class Kind
    {
        None,
        Choice,
        Slot
    };
    static constexpr Kind Choice = Kind::Choice;
    static constexpr Kind Slot = Kind::Slot;
    Kind kind = Kind::None;
    int index = -1;
};

// The pointer and keys over the selection window's two panels: pressing, dragging and
// dropping choices and slots by hand (press, move and release inside the window), double
// clicks, the wheel, the Delete key and what the pointer rests on. It says what happened;
// the window decides what that does to the program.
class DragController : public QObject
{
    Q_OBJECT

public:
    struct Parts
    {
        QWidget* Window;      // the drag picture moves over it; drops are found in it
        ChoiceGrid* Choices;  // the choice cells
        QWidget* ChoiceFrame; // clips the choices
        QScrollBar* ChoiceScroll;
        SlotPanel* Slots;   // the program slots
        QWidget* SlotFrame; // clips the slots
        QScrollBar* SlotScroll;
    };
    explicit DragController(const Parts& parts, QObject* parent = nullptr);

    // Watches a control for the pointer, with mouse tracking.
    void Watch(QWidget* widget);
    // A drag over a slot caption scrolls the program panel once when armed.
    void SetAutoScrollArmed(bool armed) { m_autoScrollArmed = armed; }
    bool AutoScrollArmed() const { return m_autoScrollArmed; }

signals:
    void choicePressed(int choice);
    void slotPressed(int slot);
    // Released over a slot picture.
    void droppedOnSlot(int slot, tramelle::DragSource source);
    // Released over a choice picture or the choice panel (not over a choice caption).
    void droppedOnChoices(tramelle::DragSource source);
    void doubleClicked(tramelle::DragSource what);
    // The pointer rests on a choice, a slot or (kind None) anything else.
    void pointerOver(tramelle::DragSource what);
    void deletePressed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DragSource At(QObject* watched, QPoint pos, bool captions) const;
    void Move(QPoint globalPos);
    void End(QPoint globalPos);
    void DragOverCaption(int slot, int yTwips);
    bool Wheel(QObject* watched, QEvent* event);

    Parts m_parts;
    QLabel* m_image = nullptr;
    DragSource m_drag;
    bool m_moved = false;
    QPoint m_hotSpot;
    bool m_autoScrollArmed = false;
};

} // namespace tramelle
