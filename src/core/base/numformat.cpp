#include "base/numformat.h"

#include <QStringList>
#include <cmath>

namespace jex {

namespace {

struct Picture
{
    QString prefix, suffix;
    int minInt = 0;
    bool thousands = false;
    int minDec = 0;
    int maxDec = 0;
    bool hasDigits = false;
};

Picture parsePicture(const QString &section)
{
    Picture p;
    int i = 0;
    const int n = section.size();
    auto isDigitChar = [](QChar c) { return c == u'0' || c == u'#'; };
    // Literal text before the number (quoted or plain).
    while (i < n && !isDigitChar(section[i]) && section[i] != u'.' && section[i] != u',') {
        if (section[i] == u'"' || section[i] == u'\'') {
            const QChar q = section[i++];
            while (i < n && section[i] != q)
                p.prefix += section[i++];
            ++i;
        } else {
            p.prefix += section[i++];
        }
    }
    bool inDecimals = false;
    while (i < n && (isDigitChar(section[i]) || section[i] == u'.' || section[i] == u',')) {
        const QChar c = section[i++];
        p.hasDigits = true;
        if (c == u'.') {
            inDecimals = true;
        } else if (c == u',') {
            if (!inDecimals)
                p.thousands = true;
        } else if (!inDecimals) {
            if (c == u'0')
                ++p.minInt;
        } else {
            ++p.maxDec;
            if (c == u'0')
                p.minDec = p.maxDec;
        }
    }
    while (i < n) {
        if (section[i] == u'"' || section[i] == u'\'') {
            const QChar q = section[i++];
            while (i < n && section[i] != q)
                p.suffix += section[i++];
            ++i;
        } else {
            p.suffix += section[i++];
        }
    }
    return p;
}

QString render(const Picture &p, double magnitude)
{
    if (!p.hasDigits)
        return p.prefix + p.suffix;
    // Round half away from zero on the decimal text to avoid binary surprises.
    const double scale = std::pow(10.0, p.maxDec);
    const double scaled = std::floor(magnitude * scale + 0.5 + 1e-9);
    QString digits = QString::number(scaled, 'f', 0);
    while (digits.size() <= p.maxDec)
        digits.prepend(u'0');
    QString intPart = digits.left(digits.size() - p.maxDec);
    QString decPart = digits.right(p.maxDec);
    while (decPart.size() > p.minDec && decPart.endsWith(u'0'))
        decPart.chop(1);
    // Drop optional leading zeros of the integer part.
    while (intPart.size() > p.minInt && intPart.startsWith(u'0'))
        intPart.remove(0, 1);
    while (intPart.size() < p.minInt)
        intPart.prepend(u'0');
    if (p.thousands && intPart.size() > 3) {
        QString grouped;
        int count = 0;
        for (int k = intPart.size() - 1; k >= 0; --k) {
            grouped.prepend(intPart[k]);
            if (++count % 3 == 0 && k > 0)
                grouped.prepend(u'.');
        }
        intPart = grouped;
    }
    QString out = intPart;
    if (!decPart.isEmpty())
        out += u',' + decPart;
    return p.prefix + out + p.suffix;
}

} // namespace

QString formatFloatPattern(const QString &pattern, double value)
{
    const QStringList sections = pattern.split(u';');
    const bool negative = value < 0;
    const double magnitude = std::fabs(value);
    if (value == 0 && sections.size() >= 3)
        return render(parsePicture(sections[2]), 0);
    if (negative && sections.size() >= 2)
        return render(parsePicture(sections[1]), magnitude);
    Picture p = parsePicture(sections[0]);
    QString text = render(p, magnitude);
    if (negative) {
        // A value that rounds to zero loses its sign.
        bool allZero = true;
        for (QChar c : text)
            if (c.isDigit() && c != u'0')
                allZero = false;
        if (!allZero)
            text.prepend(u'-');
    }
    return text;
}

QString formatMoneyPlain(qint64 v, int decimals)
{
    const bool neg = v < 0;
    qint64 mag = neg ? -v : v;
    qint64 unit = 1;
    for (int i = decimals; i < 4; ++i)
        unit *= 10;
    mag = (mag + unit / 2) / unit; // half away from zero
    QString digits = QString::number(mag);
    if (decimals > 0) {
        while (digits.size() <= decimals)
            digits.prepend(u'0');
        digits.insert(digits.size() - decimals, u'.');
    }
    return (neg && mag != 0 ? QStringLiteral("-") : QString()) + digits;
}

bool parseAmount(const QString &text, double *value)
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    const int comma = t.lastIndexOf(u',');
    const int dot = t.lastIndexOf(u'.');
    if (comma >= 0 && dot >= 0) {
        if (comma > dot) { // 1.234,56
            t.remove(u'.');
            t.replace(u',', u'.');
        } else {           // 1,234.56
            t.remove(u',');
        }
    } else if (comma >= 0) {
        t.replace(u',', u'.');
    }
    bool ok = false;
    const double d = t.toDouble(&ok);
    if (ok && value)
        *value = d;
    return ok;
}

} // namespace jex
