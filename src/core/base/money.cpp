#include "base/money.h"

#include <cmath>

namespace jex {

qint64 TQmrCalcola::RoundCurr(int decimals, qint64 amount)
{
    // With four stored decimals, "ties to even, then bump a tie that went
    // down" is plain half away from zero on the dropped digits.
    const int k = decimals <= 0 ? 0 : (decimals >= 4 ? 4 : decimals);
    qint64 unit = 1;
    for (int i = k; i < 4; ++i)
        unit *= 10;
    const bool negative = amount < 0;
    const qint64 mag = negative ? -amount : amount;
    const qint64 rounded = (mag + unit / 2) / unit * unit;
    return negative ? -rounded : rounded;
}

qint64 TQmrCalcola::PercentOf(qint64 percent, qint64 amount)
{
    if (percent == 100 * Unit)
        return amount;
    // percent and amount are both in ten-thousandths: the product is in
    // 1e-8 units; divide by 100 * 1e4 to come back to ten-thousandths.
    const __int128 product = __int128(percent) * amount;
    const __int128 divisor = __int128(100) * Unit;
    __int128 q = product / divisor;
    __int128 r = product % divisor;
    if (r < 0) {
        r = -r;
    }
    const __int128 twice = 2 * r;
    if (twice > divisor || (twice == divisor && (q % 2 != 0)))
        q += product < 0 ? -1 : 1;
    return qint64(q);
}

qint64 TQmrCalcola::RoundedPercentOf(int decimals, qint64 percent, qint64 amount)
{
    return RoundCurr(decimals, PercentOf(percent, amount));
}

qint64 TQmrCalcola::fromDouble(double value) { return qint64(std::llround(value * Unit)); }

} // namespace jex
