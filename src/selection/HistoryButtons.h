#pragma once

#include <QRect>
#include <array>

class QPushButton;
class QWidget;

namespace tramelle {

class ProgramHistory;

// Adds to `window` the two small buttons that take back and do again the edits of
// `history` ("cmdUndo" at `undoRect`, "cmdRedo" at `redoRect`), and the keys Ctrl+Z,
// Ctrl+Shift+Z and Ctrl+Y while the focus is inside it. The tool tips name the edit; a
// button is disabled while there is nothing for it to do.
std::array<QPushButton*, 2> AddHistoryButtons(QWidget* window, ProgramHistory& history,
                                              const QRect& undoRect, const QRect& redoRect);

} // namespace tramelle
