#include "Currency.h"

#include <QLocale>
#include <limits>

namespace tramelle {

namespace {

// a / b rounded to the nearest integer, halves to even (b > 0).
qint64 DivideHalfEven(qint64 a, qint64 b)
{
    qint64 q = a / b;
    const qint64 r = a % b;
    const qint64 twice = (r < 0 ? -r : r) * 2;
    if (twice > b || (twice == b && (q % 2) != 0))
        q += (a < 0) ? -1 : 1;
    return q;
}

bool IsBlank(QChar c)
{
    return c.isSpace() || c == QChar(0x00A0) || c == QChar(0x202F);
}

} // namespace

QString CurrencyText(Currency amount)
{
    // Whole cents first, so the display never depends on binary fractions.
    const qint64 raw = amount.Raw;
    qint64 cents = raw / 100;
    const qint64 rest = raw % 100;
    if (rest >= 50)
        ++cents;
    else if (rest <= -50)
        --cents;
    return QLocale().toCurrencyString(static_cast<double>(cents) / 100.0);
}

std::optional<Currency> ParseCurrency(const QString& text)
{
    const QLocale locale;
    QString t = text;
    for (const QString& symbol : {locale.currencySymbol(QLocale::CurrencySymbol),
                                  locale.currencySymbol(QLocale::CurrencyIsoCode)}) {
        if (!symbol.isEmpty())
            t.remove(symbol);
    }
    t.removeIf(IsBlank);
    if (t.isEmpty())
        return std::nullopt;

    bool negative = false;
    if (t.startsWith(QLatin1Char('(')) && t.endsWith(QLatin1Char(')'))) {
        negative = true;
        t = t.mid(1, t.size() - 2);
    }
    const QString minus = locale.negativeSign();
    for (const QString& sign : {QStringLiteral("-"), minus}) {
        if (!negative && t.startsWith(sign)) {
            negative = true;
            t.remove(0, sign.size());
        } else if (!negative && t.endsWith(sign)) {
            negative = true;
            t.chop(sign.size());
        }
    }
    if (!negative && t.startsWith(QLatin1Char('+')))
        t.remove(0, 1);

    const QString point = locale.decimalPoint();
    const QString group = locale.groupSeparator();
    if (!group.isEmpty() && group != point)
        t.remove(group);
    const qsizetype at = t.indexOf(point);
    const QString whole = at < 0 ? t : t.left(at);
    const QString fraction = at < 0 ? QString() : t.mid(at + point.size());
    if (whole.isEmpty() && fraction.isEmpty())
        return std::nullopt;

    // Room for one more digit and the fraction: larger amounts do not fit.
    constexpr qint64 limit = (std::numeric_limits<qint64>::max() / Currency::Scale - 10) / 10;
    qint64 units = 0;
    for (QChar c : whole) {
        if (!c.isDigit() || c.unicode() > '9')
            return std::nullopt;
        if (units > limit)
            return std::nullopt;
        units = units * 10 + (c.unicode() - '0');
    }
    // Keep four decimals plus one more digit to round on; later digits only break ties.
    qint64 digits = 0;
    int kept = 0;
    bool beyond = false;
    for (QChar c : fraction) {
        if (!c.isDigit() || c.unicode() > '9')
            return std::nullopt;
        if (kept < 5) {
            digits = digits * 10 + (c.unicode() - '0');
            ++kept;
        } else if (c != QLatin1Char('0')) {
            beyond = true;
        }
    }
    while (kept < 5) {
        digits *= 10;
        ++kept;
    }
    qint64 tenThousandths = digits / 10;
    const qint64 roundDigit = digits % 10;
    if (roundDigit > 5 || (roundDigit == 5 && (beyond || tenThousandths % 2 != 0)))
        ++tenThousandths;
    const qint64 raw = units * Currency::Scale + tenThousandths;
    return Currency::FromRaw(negative ? -raw : raw);
}

Currency PercentOf(Currency amount, qint64 percent)
{
    return Currency::FromRaw(DivideHalfEven(amount.Raw * percent, 100));
}

} // namespace tramelle
