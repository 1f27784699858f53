#pragma once

// Values of the import engine: the conversion of a text by the type letter of
// a rule, and the numbers that Op and the Operation steps combine. Amounts
// are kept in ten-thousandths, as the datasets keep them, so that sums of
// amounts are exact; only floating-point fields ("f") work in double.

#include <QDate>
#include <QString>
#include <QVariant>

namespace jex {

struct ImportNumber
{
    bool real = false;   // a floating-point value (r); else an amount (money)
    bool whole = false;  // min and max give whole numbers, stored as integers
    qint64 money = 0;    // ten-thousandths
    double r = 0;

    static ImportNumber amount(qint64 tenThousandths);
    static ImportNumber floating(double value);
    double toDouble() const;
    bool isZero() const;
    bool isOne() const;
};

// The result of converting a text by a type letter.
struct ImportValue
{
    QChar letter;          // lower-cased first letter of TypeOf; null when none
    ImportNumber number;   // c, f, i, x
    QVariant plain;        // b (bool), d (QDate, null for the null date), s and others (text)

    bool isNumeric() const;
};

// The lower-cased first letter of a TypeOf, or a null character.
QChar importTypeLetter(const QString &typeOf);

// Converts a text by the type letter: a non-empty text that is not a value
// of the type throws EQxError naming `what`; an empty text takes the
// fallback, an empty fallback the type's zero (Part of the rules grammar:
// check flags ignore the fallback, texts of other letters are kept as they
// are).
ImportValue convertImportText(QChar letter, const QString &text, const QString &fallback,
                              const QString &what, const QString &fallbackWhat);

} // namespace jex
