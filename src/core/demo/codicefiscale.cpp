#include "demo/codicefiscale.h"

namespace jex::demo {
namespace {

const QString kVowels = QStringLiteral("AEIOU");
const char kMonths[] = "ABCDEHLMPRST";
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

} // namespace jex::demo
