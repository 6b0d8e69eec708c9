#pragma once

#include <QString>
#include <QtGlobal>
#include <compare>
#include <optional>

namespace tramelle {

// Money: a 64-bit count of ten-thousandths of the currency unit, never floating point.
struct Currency
{
    qint64 Raw = 0; // units of 1/10000

    static constexpr qint64 Scale = 10000;
    static constexpr Currency FromRaw(qint64 raw) { return Currency{raw}; }
    static constexpr Currency FromCents(qint64 cents) { return Currency{cents * 100}; }
    static constexpr Currency FromUnits(qint64 units) { return Currency{units * Scale}; }

    constexpr Currency operator+(Currency o) const { return Currency{Raw + o.Raw}; }
    constexpr Currency operator-(Currency o) const { return Currency{Raw - o.Raw}; }
    constexpr Currency& operator+=(Currency o)
    {
        Raw += o.Raw;
        return *this;
    }
    constexpr auto operator<=>(const Currency&) const = default;
};

// The amount in the system's currency format ("$19.95"), rounded to the cent with
// halves away from zero.
QString CurrencyText(Currency amount);

// The amount a text holds: the system's currency format or a plain number ("$1,234.50",
// "($2.00)", "-3", "12.5"); nothing when the text is not an amount or does not fit.
// Digits beyond the fourth decimal round to the nearest, halves to even.
std::optional<Currency> ParseCurrency(const QString& text);

// amount × percent / 100, to the ten-thousandth, halves to even.
Currency PercentOf(Currency amount, qint64 percent);

} // namespace tramelle
