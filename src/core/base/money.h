#pragma once

#include <QtGlobal>

namespace jex {

// Money rules. Amounts are 64-bit counts of ten-thousandths of a euro.
class TQmrCalcola
{
public:
    static constexpr qint64 Unit = 10000;

    // Half away from zero to 0 or 2 decimals.
    static qint64 RoundCurr(int decimals, qint64 amount);
    // percent / 100 * amount to the nearest ten-thousandth, ties to even;
    // exactly the amount when percent is 100.
    static qint64 PercentOf(qint64 percent, qint64 amount);
    static qint64 RoundedPercentOf(int decimals, qint64 percent, qint64 amount);

    static qint64 fromDouble(double value);
    static double toDouble(qint64 amount) { return double(amount) / Unit; }
};

} // namespace jex
