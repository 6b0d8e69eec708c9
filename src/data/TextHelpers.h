#pragma once

#include "LibraryEntry.h"
#include "Outcome.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace tramelle {

class AppContext;
struct ProgramState;

// Database value conversions: null text reads as "", null numbers as 0, a missing or
// invalid date as 1 January 1990.
QString NullToText(const QVariant& value);

// The leading number of the value's text ("12abc" is 12, "7.5" is 8, "abc" is 0),
// rounded to the nearest integer with halves to even; "Overflow: ..." when the number
// does not fit 16 bits.
Result<qint16> NullToInteger(const QVariant& value);
// The same for a value read from a data file, where a number that does not fit its
// column is an error of the file: throws DbError with that reason.
qint16 StoredInteger(const QVariant& value);

// 1 January 1990, the date a missing or unreadable date reads as.
QDateTime DefaultDate();

// The value when it is a date (a date value, or a text holding a date in the stored
// form or the short or long form of the locale); otherwise 1 January 1990.
QDateTime ToDateOrDefault(const QVariant& value);

// The date a text holds (the stored form, ISO, the locale's short or long form, or
// "M/d/yyyy"); a null date when it holds none.
QDateTime ParseDateText(const QString& text);

// A nullable date (a card date): null or empty reads as a null date; anything else
// follows ToDateOrDefault.
QDateTime ToNullableDate(const QVariant& value);

// The one stored form of a date, "yyyy-MM-ddTHH:mm:ss" (so text order is time order);
// a null date is stored as NULL.
QVariant DateToDb(const QDateTime& date);

qint16 MinInteger(qint16 a, qint16 b);
qint16 MaxInteger(qint16 a, qint16 b);

// The two-line caption under a program slot: short description, line feed, then
// reps "r", hold "s" (only when not 0) and sets "x": "10r/30s/2x".
QString EntryCaption(const ProgramEntry& entry);
// The one-line description for the status bar: "Desc, 10 reps, 30 sec hold, 2 set".
QString EntryDescription(const ProgramEntry& entry);
// The same for slot i (0 to 19) of the program; an index outside that range throws
// std::out_of_range.
QString EntryCaption(const ProgramState& program, int i);
QString EntryDescription(const ProgramState& program, int i);

// The comma-separated pieces of a text, each trimmed; empty pieces are dropped and the
// text's order is kept (at most 32767 pieces).
QStringList SplitCommaList(const QString& text);

// A text box cut to at most `maxLines` lines, with its caret.
struct LimitedText
{
    QString Text;
    int Caret = 0;
    bool Changed = false;
};

// Keeps the first `maxLines` lines of a text box's text: at the fifth line break
// (CR LF, LF or CR each count once) the text is cut before it and the caret goes to the
// end. A text with fewer breaks comes back unchanged with its caret.
LimitedText LimitTextLines(const QString& text, int caret, int maxLines = 5);

// What a text takes in its column, counted as the database counts it: a character outside
// the basic plane is one character, not its two halves, and a line break is stored as
// CR LF, two characters.
qsizetype StoredLength(QStringView text);

// The longest beginning of `text` that takes at most `limit` in its column. It is cut only
// between whole characters, and between graphemes, so an accent stays with its letter and
// a flag or an emoji sequence is kept whole or left out whole.
QString LeftStored(const QString& text, qsizetype limit);

// The rule for a text box whose column holds `limit`: `edited` is the box's text after a
// change of `previous` (typing, a paste). When it does not fit, the part the change put in
// is cut (by LeftStored) so that the whole fits, and the caret goes after what was kept.
// A text that came in longer than the limit may still be shortened.
LimitedText FitStoredLength(const QString& previous, const QString& edited, int caret,
                            qsizetype limit);

// The application folder's "cover.txt", every line followed by CR LF; "" when the file
// is missing or empty; a reason naming the file when it cannot be read.
Result<QString> ReadCoverText(const AppContext& ctx);

// Texts leaving a widget get CR LF line breaks; texts filling one get "\n".
QString ToCrLf(const QString& text);
QString FromCrLf(const QString& text);

} // namespace tramelle
