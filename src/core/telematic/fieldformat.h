#pragma once

// Field values and their formatting for the records of the telematic file.

#include <QString>
#include <QStringList>
#include <QVariant>

namespace jex {

class TXMLCampoType;

// Families as the handling codes and the fixed ordinals tell them apart.
enum class FieldFamily { A, B, D, I, J, Z };

// Stands for a blank inside stored field texts so that trailing padding
// survives trimming; every finished record turns it back into a blank.
inline constexpr QChar kBlankPlaceholder = QChar(0x60);

// Tax code of the software producer written into records B, D, I and J.
inline const QString kProducerTaxCode = QStringLiteral("09876543210");
// Supply code of record A: "770" and the two last digits of the return year.
inline const QString kSupplyCode = QStringLiteral("77025");

// Formats a value text by format code; padding on the left is right alignment.
QString FormatField(const QString &value, int width, const QString &format, const QString &info);

// Whether a family understands a handling code.
bool infoListed(FieldFamily family, const QString &info);
// Whether a handling code formats even an empty value.
bool infoAlwaysFormats(const QString &info);

// Plain text of a variant in the Italian regional form: decimal comma,
// dates dd/mm/yyyy. Null or invalid gives empty text.
QString variantText(const QVariant &v);
// Number of a variant; throws EQxError when it is not numeric.
double variantNumber(const QVariant &v);

// Text of a value by handling code ("T@", "A@", "A1", "3/", "/2", ...).
QString convertByInfo(const QVariant &value, const QString &info, FieldFamily family);

// Pieces of a value longer than the width: 16 characters, then "+" and the
// following characters (the width less one each time), trailing blanks removed.
QStringList splitFieldValue(const QString &text, int width);

// Code of a key-value field written with row or module number r (0 = none);
// empty for a positional field.
QString fieldCode(const QString &number, int row);

// Replaces every placeholder with a blank.
inline QString unplaceholder(QString s) { return s.replace(kBlankPlaceholder, QChar(u' ')); }

} // namespace jex
