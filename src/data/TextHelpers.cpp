#include "TextHelpers.h"

#include "AppContext.h"
#include "DbError.h"
#include "ProgramState.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <stdexcept>

namespace tramelle {

namespace {

Result<qint16> Overflow(const QString& text)
{
    return Result<qint16>::Failed(
        QCoreApplication::translate("tramelle::TextHelpers",
                                    "Overflow: %1 does not fit a 16-bit integer")
            .arg(text));
}

Result<qint16> RoundToInt16(double value, const QString& shown)
{
    if (!std::isfinite(value))
        return Overflow(shown);
    const double rounded = std::nearbyint(value);
    if (rounded < std::numeric_limits<qint16>::min() ||
        rounded > std::numeric_limits<qint16>::max())
        return Overflow(shown);
    return static_cast<qint16>(rounded);
}

// The numeric prefix of a text: blanks, a sign, digits, a decimal point with digits and
// an exponent with digits; anything after that is ignored.
double NumericPrefix(const QString& text)
{
    int i = 0;
    const int n = text.size();
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    QByteArray number;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        number += char(text[i++].unicode());
    bool digits = false;
    while (i < n && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9')) {
        number += char(text[i++].unicode());
        digits = true;
    }
    if (i < n && text[i] == QLatin1Char('.')) {
        number += '.';
        ++i;
        while (i < n && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9')) {
            number += char(text[i++].unicode());
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        int j = i + 1;
        QByteArray exponent("e");
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-')))
            exponent += char(text[j++].unicode());
        bool expDigits = false;
        while (j < n && text[j] >= QLatin1Char('0') && text[j] <= QLatin1Char('9')) {
            exponent += char(text[j++].unicode());
            expDigits = true;
        }
        if (expDigits)
            number += exponent;
    }
    return std::strtod(number.constData(), nullptr);
}

} // namespace

QDateTime ParseDateText(const QString& raw)
{
    const QString text = raw.trimmed();
    if (text.isEmpty())
        return {};
    static const char* const fixedForms[] = {"yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd HH:mm:ss",
                                             "yyyy-MM-ddTHH:mm:ss.zzz"};
    for (const char* form : fixedForms) {
        const QDateTime dt = QDateTime::fromString(text, QLatin1String(form));
        if (dt.isValid())
            return dt;
    }
    const QDate isoDate = QDate::fromString(text, Qt::ISODate);
    if (isoDate.isValid())
        return isoDate.startOfDay();
    const QDateTime iso = QDateTime::fromString(text, Qt::ISODate);
    if (iso.isValid())
        return iso;
    const QLocale locale;
    for (QLocale::FormatType type : {QLocale::ShortFormat, QLocale::LongFormat}) {
        const QString form = locale.dateFormat(type);
        QDate d = locale.toDate(text, form);
        if (!d.isValid())
            continue;
        // A two-digit year means 1930 to 2029.
        if (form.contains(QLatin1String("yy")) && !form.contains(QLatin1String("yyyy")) &&
            d.year() < 1930)
            d = d.addYears(100);
        return d.startOfDay();
    }
    const QDate full = locale.toDate(text, QStringLiteral("M/d/yyyy"));
    if (full.isValid())
        return full.startOfDay();
    return {};
}

QString NullToText(const QVariant& value)
{
    if (value.isNull())
        return QString();
    return value.toString();
}

Result<qint16> NullToInteger(const QVariant& value)
{
    if (value.isNull())
        return qint16(0);
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UInt:
    case QMetaType::ULongLong: {
        bool ok = false;
        const qlonglong v = value.toLongLong(&ok);
        if (!ok || v < std::numeric_limits<qint16>::min() || v > std::numeric_limits<qint16>::max())
            return Overflow(value.toString());
        return static_cast<qint16>(v);
    }
    case QMetaType::Double:
    case QMetaType::Float:
        return RoundToInt16(value.toDouble(), value.toString());
    default:
        break;
    }
    const QString text = value.toString();
    return RoundToInt16(NumericPrefix(text), text);
}

qint16 StoredInteger(const QVariant& value)
{
    Result<qint16> n = NullToInteger(value);
    if (!n)
        throw DbError(n.Reason());
    return n.Value();
}

QDateTime DefaultDate()
{
    return QDate(1990, 1, 1).startOfDay();
}

QDateTime ToDateOrDefault(const QVariant& value)
{
    if (value.isNull())
        return DefaultDate();
    QDateTime result;
    switch (value.metaType().id()) {
    case QMetaType::QDateTime:
        result = value.toDateTime();
        break;
    case QMetaType::QDate:
        result = value.toDate().startOfDay();
        break;
    case QMetaType::QString:
    case QMetaType::QByteArray:
        result = ParseDateText(value.toString());
        break;
    default:
        break;
    }
    return result.isValid() ? result : DefaultDate();
}

QDateTime ToNullableDate(const QVariant& value)
{
    if (value.isNull() || value.toString().trimmed().isEmpty())
        return {};
    return ToDateOrDefault(value);
}

QVariant DateToDb(const QDateTime& date)
{
    if (!date.isValid())
        return QVariant(QMetaType::fromType<QString>());
    return date.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

qint16 MinInteger(qint16 a, qint16 b)
{
    return a < b ? a : b;
}

qint16 MaxInteger(qint16 a, qint16 b)
{
    return a > b ? a : b;
}

QString EntryCaption(const ProgramEntry& entry)
{
    QString s =
        entry.AbbrevDesc + QLatin1Char('\n') + QString::number(entry.Reps) + QLatin1Char('r');
    if (entry.Hold != 0)
        s += QLatin1Char('/') + QString::number(entry.Hold) + QLatin1Char('s');
    s += QLatin1Char('/') + QString::number(entry.Sets) + QLatin1Char('x');
    return s;
}

QString EntryDescription(const ProgramEntry& entry)
{
    QString s =
        entry.Desc + QStringLiteral(", ") + QString::number(entry.Reps) + QStringLiteral(" reps");
    if (entry.Hold != 0)
        s += QStringLiteral(", ") + QString::number(entry.Hold) + QStringLiteral(" sec hold");
    s += QStringLiteral(", ") + QString::number(entry.Sets) + QStringLiteral(" set");
    return s;
}

QString EntryCaption(const ProgramState& program, int i)
{
    return EntryCaption(program.Entries.at(static_cast<size_t>(i)));
}

QString EntryDescription(const ProgramState& program, int i)
{
    return EntryDescription(program.Entries.at(static_cast<size_t>(i)));
}

QStringList SplitCommaList(const QString& text)
{
    QStringList pieces;
    qsizetype start = 0;
    while (pieces.size() < std::numeric_limits<qint16>::max()) {
        const qsizetype comma = text.indexOf(QLatin1Char(','), start);
        const QString piece = text.mid(start, comma < 0 ? -1 : comma - start).trimmed();
        if (!piece.isEmpty())
            pieces << piece;
        if (comma < 0)
            break;
        start = comma + 1;
    }
    return pieces;
}

LimitedText LimitTextLines(const QString& text, int caret, int maxLines)
{
    int breaks = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            continue;
        if (++breaks == maxLines) {
            const QString kept = text.left(i);
            return {kept, static_cast<int>(kept.size()), true};
        }
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
            ++i;
    }
    return {text, caret, false};
}

qsizetype StoredLength(QStringView text)
{
    qsizetype length = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < size && text[i + 1] == QLatin1Char('\n'))
                ++i;
            length += 2;
            continue;
        }
        if (c.isHighSurrogate() && i + 1 < size && text[i + 1].isLowSurrogate())
            ++i;
        ++length;
    }
    return length;
}

QString LeftStored(const QString& text, qsizetype limit)
{
    if (limit <= 0)
        return QString();
    // Short enough whatever the characters: every code unit counts at most two.
    if (text.size() * 2 <= limit || StoredLength(text) <= limit)
        return text;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    qsizetype kept = 0;
    qsizetype length = 0;
    for (qsizetype next = graphemes.toNextBoundary(); next > 0; next = graphemes.toNextBoundary()) {
        length += StoredLength(QStringView(text).mid(kept, next - kept));
        if (length > limit)
            break;
        kept = next;
    }
    return text.left(kept);
}

LimitedText FitStoredLength(const QString& previous, const QString& edited, int caret,
                            qsizetype limit)
{
    const qsizetype length = StoredLength(edited);
    if (length <= limit || length <= StoredLength(previous))
        return {edited, caret, false};

    // What the change put in lies between the beginning and the end both texts share.
    const qsizetype shorter = std::min(previous.size(), edited.size());
    qsizetype head = 0;
    while (head < shorter && previous[head] == edited[head])
        ++head;
    qsizetype tail = 0;
    while (tail < shorter - head &&
           previous[previous.size() - 1 - tail] == edited[edited.size() - 1 - tail])
        ++tail;
    // Neither part may end or begin inside a character or a line break.
    if (head > 0 && head < edited.size() &&
        (edited[head - 1].isHighSurrogate() ||
         (edited[head - 1] == QLatin1Char('\r') && edited[head] == QLatin1Char('\n'))))
        --head;
    const qsizetype tailStart = edited.size() - tail;
    if (tail > 0 && tailStart > 0 &&
        (edited[tailStart].isLowSurrogate() ||
         (edited[tailStart] == QLatin1Char('\n') && edited[tailStart - 1] == QLatin1Char('\r'))))
        --tail;

    const QString before = edited.left(head);
    const QString after = edited.right(tail);
    const QString inserted = edited.mid(head, edited.size() - head - tail);
    const QString kept = LeftStored(inserted, limit - StoredLength(before) - StoredLength(after));
    return {before + kept + after, static_cast<int>(head + kept.size()), true};
}

Result<QString> ReadCoverText(const AppContext& ctx)
{
    const QString path = ctx.AppPathAndFName(QStringLiteral("cover.txt"));
    if (!QFileInfo(path).isFile())
        return QString();
    QFile file(path);
    const auto unreadable = [&] {
        return Result<QString>::Failed(
            QCoreApplication::translate("tramelle::TextHelpers", "Cannot read \"%1\": %2")
                .arg(QDir::toNativeSeparators(path), file.errorString()));
    };
    if (!file.open(QIODevice::ReadOnly))
        return unreadable();
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return unreadable();
    // Older cover files were written in a single-byte code page; read those as Latin-1.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString content = utf8(bytes);
    if (utf8.hasError())
        content = QString::fromLatin1(bytes);
    if (content.startsWith(QChar(0xFEFF)))
        content.remove(0, 1);
    if (content.isEmpty())
        return QString();
    content.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    content.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (content.endsWith(QLatin1Char('\n')))
        content.chop(1);
    QString result;
    result.reserve(content.size() + 64);
    for (const QString& line : content.split(QLatin1Char('\n')))
        result += line + QStringLiteral("\r\n");
    return result;
}

QString ToCrLf(const QString& text)
{
    QString s = FromCrLf(text);
    s.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return s;
}

QString FromCrLf(const QString& text)
{
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

} // namespace tramelle
