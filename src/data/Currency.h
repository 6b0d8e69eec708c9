#pragma once

#include <QString>
#include <QtGlobal>
#include <compare>

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

} // namespace tramelle
