#include "demo/codicefiscale.h"

namespace jex::demo {
namespace {

const QString kVowels = QStringLiteral("AEIOU");
const char kMonths[] = "ABCDEHLMPRST";
// Values of a character in an odd position (1st, 3rd, ...), digits and
// letters sharing the row: '0' and 'A' are worth 1, '1' and 'B' 0, ...
const int kOdd[26] = {1, 0, 5, 7, 9, 13, 15, 17, 19, 21, 2, 4, 18, 20, 11, 3, 6, 8, 12, 14, 16, 10, 22, 25, 24, 23};

// Letters only, upper case, accents dropped ("D'Amico" -> "DAMICO").
QString letters(const QString &text)
{
    QString out;
    for (QChar c : text.normalized(QString::NormalizationForm_D)) {
        const QChar u = c.toUpper();
        if (u >= u'A' && u <= u'Z')
            out += u;
    }
    return out;
}

void split(const QString &text, QString &consonants, QString &vowels)
{
    for (QChar c : letters(text))
        (kVowels.contains(c) ? vowels : consonants) += c;
}

int charIndex(QChar c) // 0-9 for digits, 0-25 for letters
{
    return c.isDigit() ? c.digitValue() : c.unicode() - u'A';
}

} // namespace

QString surnameCode(const QString &surname)
{
    QString c, v;
    split(surname, c, v);
    return (c + v + QStringLiteral("XXX")).left(3);
}

QString nameCode(const QString &name)
{
    QString c, v;
    split(name, c, v);
    if (c.size() >= 4)
        return QString(c[0]) + c[2] + c[3];
    return (c + v + QStringLiteral("XXX")).left(3);
}

QChar personCheckChar(const QString &first15)
{
    int sum = 0;
    for (int i = 0; i < 15 && i < first15.size(); ++i) {
        const int k = charIndex(first15[i].toUpper());
        sum += (i % 2 == 0) ? kOdd[k] : k;
    }
    return QChar(u'A' + sum % 26);
}

QString personFiscalCode(const QString &surname, const QString &name, const QDate &birth, bool female,
                         const QString &placeCode)
{
    QString s = surnameCode(surname) + nameCode(name);
    s += QStringLiteral("%1").arg(birth.year() % 100, 2, 10, QLatin1Char('0'));
    s += QLatin1Char(kMonths[birth.month() - 1]);
    s += QStringLiteral("%1").arg(birth.day() + (female ? 40 : 0), 2, 10, QLatin1Char('0'));
    s += placeCode.toUpper();
    return s + personCheckChar(s);
}

bool isValidPersonCode(const QString &code)
{
    if (code.size() != 16)
        return false;
    for (QChar c : code)
        if (!(c.isDigit() || (c >= u'A' && c <= u'Z')))
            return false;
    return personCheckChar(code.left(15)) == code[15];
}

int organisationCheckDigit(const QString &first10)
{
    int sum = 0;
    for (int i = 0; i < 10; ++i) {
        int d = first10[i].digitValue();
        if (i % 2 == 1) {
            d *= 2;
            if (d > 9)
                d -= 9;
        }
        sum += d;
    }
    return (10 - sum % 10) % 10;
}

bool isValidOrganisationCode(const QString &code)
{
    if (code.size() != 11)
        return false;
    for (QChar c : code)
        if (!c.isDigit())
            return false;
    return organisationCheckDigit(code.left(10)) == code[10].digitValue();
}

} // namespace jex::demo
