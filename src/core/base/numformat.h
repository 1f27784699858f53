#pragma once

#include <QString>

namespace jex {

// Formats a number with a picture such as "#,##0.00" or "#.00": '0' is a
// digit always written, '#' a digit written when significant, ',' in the
// integer part asks for thousands separators and '.' marks the decimals.
// Output is in Italian notation (thousands '.', decimals ','). Sections
// "positive;negative;zero" are honoured. Rounds half away from zero.
QString formatFloatPattern(const QString &pattern, double value);

// Plain text of an amount kept in ten-thousandths: "-1234.50" (point, no
// thousands separators), with the given number of decimals.
QString formatMoneyPlain(qint64 tenThousandths, int decimals);

// Parses an amount written in either notation ("1.234,56", "1234.56",
// "1234,56"); false when the text is not a number.
bool parseAmount(const QString &text, double *value);

} // namespace jex
