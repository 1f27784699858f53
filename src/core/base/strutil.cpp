#include "base/strutil.h"

namespace jex {

// Padding cuts a longer text to the width: fixed-width records rely on it.
QString PadL(const QString &text, int width, const QString &fill)
{
    if (width <= 0)
        return {};
    if (text.size() >= width)
        return text.right(width);
    const qsizetype need = width - text.size();
    if (fill.size() <= 1) {
        QString out;
        out.reserve(width);
        out.fill(fill.isEmpty() ? QChar(u' ') : fill.front(), need);
        out += text;
        return out;
    }
    QString pad;
    while (pad.size() < need)
        pad += fill;
    return pad.left(need) + text;
}

QString PadR(const QString &text, int width, const QString &fill)
{
    if (width <= 0)
        return {};
    if (text.size() >= width)
        return text.left(width);
    const qsizetype need = width - text.size();
    QString out;
    out.reserve(width);
    out += text;
    if (fill.size() <= 1) {
        out.resize(width, fill.isEmpty() ? QChar(u' ') : fill.front());
        return out;
    }
    QString pad;
    while (pad.size() < need)
        pad += fill;
    return out + pad.left(need);
}

QString StrZero(qint64 number, int width)
{
    const bool neg = number < 0;
    const QString digits = QString::number(neg ? -number : number);
    static const QString zero = QStringLiteral("0");
    if (neg)
        return u'-' + PadL(digits, width - 1, zero);
    return PadL(digits, width, zero);
}

QString Trim(const QString &text)
{
    int n = text.size();
    while (n > 0 && text[n - 1].isSpace())
        --n;
    return text.left(n);
}

QString AllTrim(const QString &text) { return text.trimmed(); }

QString Left(const QString &text, int count) { return count <= 0 ? QString() : text.left(count); }

QString Right(const QString &text, int count) { return count <= 0 ? QString() : text.right(count); }

bool IsNumeric(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    int i = 0;
    if (t[0] == u'+' || t[0] == u'-')
        ++i;
    bool digits = false, sep = false;
    for (; i < t.size(); ++i) {
        if (t[i].isDigit())
            digits = true;
        else if ((t[i] == u'.' || t[i] == u',') && !sep)
            sep = true;
        else
            return false;
    }
    return digits;
}

QString Shortened(const QString &text, int max)
{
    if (text.size() <= max)
        return text;
    return QStringLiteral("%1... (%2 caratteri)").arg(text.left(max)).arg(text.size());
}

} // namespace jex
