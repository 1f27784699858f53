#include "telematic/fieldformat.h"

#include "base/errors.h"
#include "base/strutil.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <cmath>

namespace jex {

namespace {

const QString kBq = QString(kBlankPlaceholder);
const QString kZero = QStringLiteral("0");
const QString kNoDate = QStringLiteral("0.00.00");

QString ddmmyyyy(const QString &v) { return v.mid(0, 2) + v.mid(3, 2) + v.mid(6, 4); }

QString strZeroOf(const QString &v, int digits)
{
    bool ok = false;
    const qint64 n = AllTrim(v).toLongLong(&ok);
    return StrZero(ok ? n : 0, digits);
}

// Amount in ten-thousandths, so that halves are decided exactly.
qint64 tenThousandths(const QVariant &v) { return qint64(std::llround(variantNumber(v) * 10000.0)); }

} // namespace

QString FormatField(const QString &value, int w, const QString &format, const QString &info)
{
    const QString &f = format;
    if (f == u"AN" || f == u"CF")
        return PadR(AllTrim(value), w, kBq);
    if (f == u"PR")
        return PadR(value, w, kBq);
    if (f == u"CN") {
        const QString t = AllTrim(value);
        if (info == u"O@" && t.isEmpty())
            return PadR(QString(), w, kZero);
        return PadR(t, w, kBq);
    }
    if (f == u"CB") {
        if (value != kZero)
            return PadL(QStringLiteral("1"), w);
        return w == 16 ? QString() : PadL(QString(), w);
    }
    if (f == u"CP")
        return PadL((value != kZero && !value.isEmpty()) ? QStringLiteral("1") : kZero, w, kZero);
    if (f == u"CB12")
        return value != u"000000000000" ? PadL(value, w) : PadL(QString(), w);
    if (f == u"DA")
        return PadL(value, w);
    if (f == u"DT") {
        if (value == kNoDate)
            return {};
        if (value.isEmpty())
            return PadL(QString(), w);
        return PadL(ddmmyyyy(value), w);
    }
    if (f == u"DP") {
        if (value == kNoDate)
            return QStringLiteral("00000000");
        if (value.isEmpty())
            return PadL(QString(), w, kZero);
        return PadL(ddmmyyyy(value), w, kZero);
    }
    if (f == u"D4") {
        if (value == kNoDate)
            return {};
        const QString t = value.size() == 4 ? value : value.mid(0, 2) + value.mid(3, 2);
        return PadL(t, w);
    }
    if (f == u"D6")
        return PadL(value.mid(3, 2) + value.mid(6, 4), w);
    if (f == u"NP" || f == u"NU" || f == u"PC" || f == u"QU")
        return PadL(value, w);
    if (f == u"NF")
        return PadL(value, w, kZero);
    if (f == u"N1" || f == u"N2")
        return PadL(strZeroOf(value, f == u"N1" ? 1 : 2), w);
    if (f == u"N3" || f == u"N5" || f == u"N6" || f == u"N10") {
        if (value.isEmpty())
            return {};
        return PadL(strZeroOf(value, f.mid(1).toInt()), w);
    }
    if (f == u"ND")
        return AllTrim(value).isEmpty() ? PadL(kZero, w) : PadL(value, w);
    if (f == u"VP") {
        // An amount in euro and cents: decimal comma, always two decimals.
        // A zero amount is left out of the record like an empty one.
        const QString t = AllTrim(value);
        if (t.isEmpty())
            return {};
        bool ok = false;
        const double d = QString(t).replace(u',', u'.').toDouble(&ok);
        if (!ok)
            throw EQxError(QStringLiteral("'%1' non è un valore numerico valido").arg(t));
        if (!std::isfinite(d) || std::fabs(d) >= 1e15)
            throw EQxError(QStringLiteral("L'importo %1 non entra nei %2 caratteri del campo del file telematico").arg(t).arg(w));
        const qint64 cents = std::llround(d * 100.0);
        if (cents == 0)
            return {};
        const qint64 a = std::llabs(cents);
        const QString text = QStringLiteral("%1%2,%3")
                                 .arg(cents < 0 ? QStringLiteral("-") : QString())
                                 .arg(a / 100)
                                 .arg(a % 100, 2, 10, QLatin1Char('0'));
        // Padding would cut the leading digits of an amount too wide.
        if (text.size() > w)
            throw EQxError(QStringLiteral("L'importo %1 non entra nei %2 caratteri del campo del file telematico").arg(t).arg(w));
        return PadL(text, w);
    }
    return PadL(value, w);
}

static bool isSlashCode(const QString &info)
{
    return info.size() == 2
           && ((info[0].isDigit() && info[1] == u'/') || (info[0] == u'/' && info[1].isDigit()));
}

bool infoListed(FieldFamily family, const QString &info)
{
    if (info == u"OF" || info == u"O@")
        return true;
    const bool read = info == u"@@" || info == u"@X";
    switch (family) {
    case FieldFamily::A:
        return read;
    case FieldFamily::B:
        return read || info == u"@1";
    case FieldFamily::D:
    case FieldFamily::I:
        return read || info == u"T@" || info == u"TX";
    case FieldFamily::J:
        return read || info == u"T@" || info == u"TX" || info == u"A@" || info == u"AX"
               || info == u"A1" || isSlashCode(info);
    case FieldFamily::Z:
        return false;
    }
    return false;
}

bool infoAlwaysFormats(const QString &info)
{
    return info == u"OF" || info == u"O@" || info == u"@1" || isSlashCode(info);
}

QString variantText(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return {};
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        // The shortest text that reads back as the same number, with a comma.
        QString s = QString::number(v.toDouble(), 'g', 15);
        if (s.contains(u'e'))
            s = QString::number(v.toDouble(), 'f', 4);
        if (s.contains(u'.')) {
            while (s.endsWith(u'0'))
                s.chop(1);
            if (s.endsWith(u'.'))
                s.chop(1);
        }
        return s.replace(u'.', u',');
    }
    case QMetaType::QDate: {
        const QDate d = v.toDate();
        return d.isValid() ? d.toString(QStringLiteral("dd/MM/yyyy")) : kNoDate;
    }
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        if (!dt.isValid())
            return kNoDate;
        if (dt.time() == QTime(0, 0))
            return dt.date().toString(QStringLiteral("dd/MM/yyyy"));
        return dt.toString(QStringLiteral("dd/MM/yyyy H.mm.ss"));
    }
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default:
        return v.toString();
    }
}

double variantNumber(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return 0.0;
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return v.toDouble();
    default:
        break;
    }
    QString s = AllTrim(v.toString());
    if (s.isEmpty())
        return 0.0;
    bool ok = false;
    double d = QString(s).replace(u',', u'.').toDouble(&ok);
    if (!ok)
        throw EQxError(QStringLiteral("'%1' non è un valore numerico valido").arg(s));
    return d;
}

QString convertByInfo(const QVariant &value, const QString &info, FieldFamily family)
{
    if (!value.isValid() || value.isNull())
        return {};
    const bool dij = family == FieldFamily::D || family == FieldFamily::I || family == FieldFamily::J;
    if (dij && (info == u"T@" || info == u"TX")) {
        if (variantText(value).isEmpty())
            return {};
        return QString::number(tenThousandths(value) / 10000); // toward zero
    }
    if (family == FieldFamily::J && (info == u"A@" || info == u"AX")) {
        if (variantText(value).isEmpty())
            return {};
        const qint64 m = tenThousandths(value);
        const qint64 whole = m / 10000;
        const qint64 frac = m % 10000; // keeps the sign of m
        return QString::number(frac >= 5000 ? whole + 1 : whole);
    }
    if (family == FieldFamily::J && info == u"A1") {
        if (variantText(value).isEmpty())
            return {};
        const qint64 m = tenThousandths(value);
        if (m > 0 && m < 10000)
            return QStringLiteral("1");
        if (m < 0 && m > -10000)
            return QStringLiteral("-1");
        const qint64 a = (std::llabs(m) + 5000) / 10000;
        return QString::number(m < 0 ? -a : a);
    }
    if (family == FieldFamily::J && isSlashCode(info)) {
        const QString t = variantText(value);
        if (info[0].isDigit())
            return t.left(info[0].digitValue());
        return t.right(info[1].digitValue());
    }
    return variantText(value);
}

QStringList splitFieldValue(const QString &text, int width)
{
    if (text.size() <= width)
        return {text};
    QStringList pieces{Trim(text.left(16))};
    const int step = width - 1;
    for (int k = 1; step > 0; ++k) {
        const int pos = 2 + k * step; // 1-based
        if (pos > text.size())
            break;
        pieces.append(Trim(u'+' + text.mid(pos - 1, 15)));
    }
    return pieces;
}

QString fieldCode(const QString &number, int row)
{
    const QString n = AllTrim(number);
    if (n.size() != 8)
        return {};
    if (row <= 0 || row > 999)
        return row != 0 ? n.left(2) + StrZero(row, 3) + n.mid(5, 3) : n;
    QString code = n;
    code[2] = QChar(u'0' + row / 100);
    code[3] = QChar(u'0' + row / 10 % 10);
    code[4] = QChar(u'0' + row % 10);
    return code;
}

} // namespace jex
