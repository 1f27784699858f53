#include "imports/rules/importvalue.h"

#include "base/errors.h"
#include "base/money.h"
#include "base/numformat.h"

#include <cmath>

namespace jex {

namespace {

constexpr qint64 kUnit = TQmrCalcola::Unit;
// Beyond this a whole number no longer fits an amount in ten-thousandths.
constexpr qint64 kLargestWhole = 900000000000000LL;

bool parseFinite(const QString &text, double *out)
{
    double d = 0;
    if (!parseAmount(text, &d) || !std::isfinite(d))
        return false;
    *out = d;
    return true;
}

bool parseWhole(const QString &text, qint64 *out)
{
    const QString t = text.trimmed();
    bool ok = false;
    qint64 n = t.toLongLong(&ok);
    if (!ok) {
        // An amount field read as text ("12.00") is a whole number too.
        double d = 0;
        if (!parseFinite(t, &d) || d != std::floor(d) || std::fabs(d) > double(kLargestWhole))
            return false;
        n = qint64(d);
    }
    if (n > kLargestWhole || n < -kLargestWhole)
        return false;
    *out = n;
    return true;
}

bool parseBoolean(const QString &text, bool *out)
{
    const QString t = text.trimmed();
    if (t.compare(u"true", Qt::CaseInsensitive) == 0) {
        *out = true;
        return true;
    }
    if (t.compare(u"false", Qt::CaseInsensitive) == 0) {
        *out = false;
        return true;
    }
    double d = 0;
    if (!parseFinite(t, &d))
        return false;
    *out = d != 0;
    return true;
}

bool parseDate(const QString &text, QDate *out)
{
    const QString t = text.trimmed();
    QDate d = QDate::fromString(t, u"dd/MM/yyyy");
    if (!d.isValid())
        d = QDate::fromString(t, u"d/M/yyyy");
    if (!d.isValid())
        d = QDate::fromString(t, Qt::ISODate);
    if (!d.isValid())
        d = QDate::fromString(t.left(10), Qt::ISODate); // a date-time written as ISO text
    if (!d.isValid())
        return false;
    *out = d;
    return true;
}

QString typeName(QChar letter)
{
    switch (letter.unicode()) {
    case 'b': return QStringLiteral("un valore logico (vero/falso)");
    case 'c': return QStringLiteral("un importo");
    case 'd': return QStringLiteral("una data");
    case 'f': return QStringLiteral("un numero");
    case 'i': return QStringLiteral("un numero intero");
    }
    return {};
}

// One attempt: false when the text is not a value of the type.
bool parseAs(QChar letter, const QString &text, ImportValue &v)
{
    switch (letter.unicode()) {
    case 'b': {
        bool b = false;
        if (!parseBoolean(text, &b))
            return false;
        v.plain = b;
        return true;
    }
    case 'c': {
        double d = 0;
        if (!parseFinite(text, &d) || std::fabs(d) > double(kLargestWhole))
            return false;
        v.number = ImportNumber::amount(TQmrCalcola::fromDouble(d));
        return true;
    }
    case 'd': {
        QDate d;
        if (!parseDate(text, &d))
            return false;
        v.plain = d;
        return true;
    }
    case 'f': {
        double d = 0;
        if (!parseFinite(text, &d))
            return false;
        v.number = ImportNumber::floating(d);
        return true;
    }
    case 'i': {
        qint64 n = 0;
        if (!parseWhole(text, &n))
            return false;
        v.number = ImportNumber::amount(n * kUnit);
        return true;
    }
    }
    return false;
}

} // namespace

ImportNumber ImportNumber::amount(qint64 tenThousandths)
{
    ImportNumber n;
    n.money = tenThousandths;
    return n;
}

ImportNumber ImportNumber::floating(double value)
{
    ImportNumber n;
    n.real = true;
    n.r = value;
    return n;
}

double ImportNumber::toDouble() const
{
    return real ? r : double(money) / double(kUnit);
}

bool ImportNumber::isZero() const
{
    return real ? r == 0 : money == 0;
}

bool ImportNumber::isOne() const
{
    return real ? r == 1 : money == kUnit;
}

bool ImportValue::isNumeric() const
{
    return letter == u'c' || letter == u'f' || letter == u'i' || letter == u'x';
}

QChar importTypeLetter(const QString &typeOf)
{
    return typeOf.isEmpty() ? QChar() : typeOf.at(0).toLower();
}

ImportValue convertImportText(QChar letter, const QString &text, const QString &fallback,
                              const QString &what, const QString &fallbackWhat)
{
    ImportValue v;
    v.letter = letter;
    switch (letter.unicode()) {
    case 'x':
        v.number = ImportNumber::amount(text == u"X" || text == u"1" ? kUnit : 0);
        return v;
    case 's':
        v.plain = text.isEmpty() ? fallback : text;
        return v;
    case 'b':
    case 'c':
    case 'd':
    case 'f':
    case 'i':
        break;
    default:
        v.plain = text;
        return v;
    }

    // A value that is there but is not of the type is an error, not a reason
    // to take the default: a date of 31 February or an amount "12,3,4" in a
    // certification must be corrected at the source, not replaced silently.
    if (!text.trimmed().isEmpty()) {
        if (parseAs(letter, text, v))
            return v;
        throw EQxError(QStringLiteral("il valore \"%1\" %2 non è %3")
                           .arg(text, what, typeName(letter)));
    }
    if (!fallback.trimmed().isEmpty()) {
        if (parseAs(letter, fallback, v))
            return v;
        throw EQxError(QStringLiteral("il valore \"%1\" %2 non è %3")
                           .arg(fallback, fallbackWhat, typeName(letter)));
    }
    // The type's zero; the null date leaves a date column empty.
    if (letter == u'b')
        v.plain = false;
    else if (letter == u'd')
        v.plain = QDate();
    else if (letter == u'f')
        v.number = ImportNumber::floating(0);
    return v;
}

} // namespace jex
