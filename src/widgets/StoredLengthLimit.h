#pragma once

#include <QtGlobal>

class QLineEdit;
class QPlainTextEdit;

namespace tramelle {

// Keeps a line edit (also the one of an editable combo box) to what its column holds,
// counted as the column counts it (StoredLength): a character outside the basic plane is
// one character, and nothing typed or pasted is ever cut inside a character or a grapheme.
// Replaces the line edit's own maximum length, which counts UTF-16 code units. A text
// already in the box that does not fit is cut.
void LimitStoredLength(QLineEdit* edit, qsizetype limit);
// The same rule for a multi-line box (a line break counts as the two characters stored).
void LimitStoredLength(QPlainTextEdit* box, qsizetype limit);

} // namespace tramelle
