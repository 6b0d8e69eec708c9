#pragma once

#include "ProgramRules.h"

#include <QPixmap>
#include <QWidget>
#include <array>
#include <functional>

class QFrame;
class QLabel;

namespace tramelle {

// The panel of the 20 program slots ("TargetFrame"): each slot a numbered picture with its
// caption below, five to a row, and the outline that marks the pressed slot. It shows the
// program; the editing rules (ProgramRules) decide what each slot holds. The rectangles are
// the layout at 96 dots per inch; SetScale grows every slot alike.
class SlotPanel : public QWidget
{
    Q_OBJECT

public:
    // Reads the picture of an entry at the size given (an empty pixmap when there is none).
    using PictureLoader = std::function<QPixmap(const ProgramEntry&, QSize)>;

    SlotPanel(PictureLoader loader, QWidget* parent = nullptr);

    // Where slot controls are at scale 1.
    static QRect PictureRect(int slot);
    static QRect CaptionRect(int slot);
    static QRect NumberRect(int slot);
    static constexpr QSize BaseSize{463, 327};

    // Lays the slots out at `scale` times their size and reads the used slots' pictures
    // again at that size; the slots keep their generations (they hold the same entries).
    void SetScale(double scale, const ProgramState& program);
    double Scale() const { return m_scale; }

    // Slots 0 .. EntryCount - 1 with their entries, the others empty.
    void ShowAll(const ProgramState& program);
    // Shows what an edit changed; pictures move with their entries, new ones are read.
    void Apply(const ProgramState& program, const ProgramEdit& edit);
    // Shows a slot's entry, its picture read again.
    void ShowSlot(const ProgramState& program, int slot);
    // Shows a slot's caption again after its parameters changed.
    void RefreshCaption(const ProgramState& program, int slot);
    void ClearSlot(int slot);

    // Changes whenever the slot receives another entry, is cleared or is shown again.
    quint64 Generation(int slot) const { return m_generation.at(static_cast<size_t>(slot)); }

    // The outline that marks the pressed slot; -1 hides it.
    void SetSelected(int slot);

    QLabel* Picture(int slot) const { return m_pictures.at(static_cast<size_t>(slot)); }
    QLabel* Caption(int slot) const { return m_captions.at(static_cast<size_t>(slot)); }
    // The slot whose picture, caption or number `object` is, or -1.
    int PictureIndex(const QObject* object) const;
    int CaptionIndex(const QObject* object) const;
    int NumberIndex(const QObject* object) const;

    // Lets `filter` watch the panel and every slot control, with mouse tracking.
    void WatchWith(QObject* filter);

private:
    void Show(const ProgramState& program, int slot, const QPixmap& picture);

    PictureLoader m_loader;
    std::array<QLabel*, MaxProgramEntries> m_pictures{};
    std::array<QLabel*, MaxProgramEntries> m_captions{};
    std::array<QLabel*, MaxProgramEntries> m_numbers{};
    std::array<quint64, MaxProgramEntries> m_generation{};
    QFrame* m_selectedRect = nullptr;
    int m_selectedSlot = -1;
    double m_scale = 1.0;
};

} // namespace tramelle
