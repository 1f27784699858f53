#include "checks/codicefiscale.h"

#include "checks/completeness.h"
#include "codelists/codelists.h"

#include "base/errors.h"
#include "catalogue/catalogue.h"

#include <QHash>

namespace jex {

namespace {

// Values of a character in an odd position (1st, 3rd, ...), digits and
// letters sharing the row: '0' and 'A' are worth 1, '1' and 'B' 0, ...
const int kOdd[26] = {1, 0, 5, 7, 9, 13, 15, 17, 19, 21, 2, 4, 18, 20, 11, 3, 6, 8, 12, 14, 16, 10, 22, 25, 24, 23};
// The letters that stand for the digits 0-9 in a homonymous code.
const QString kOmocodia = QStringLiteral("LMNPQRSTUV");
const QString kMonths = QStringLiteral("ABCDEHLMPRST");

const QString kMunicipalities = QStringLiteral("TCOM_COMUNI");
const QString kCeased = QStringLiteral("TCOC_COMUNICESSATI");
const QString kStates = QStringLiteral("TSTE_STATIESTERI");

bool isLetter(QChar c) { return c >= u'A' && c <= u'Z'; }
bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

int charIndex(QChar c) // 0-9 for digits, 0-25 for letters
{
    return isDigit(c) ? c.unicode() - u'0' : c.unicode() - u'A';
}

// A person's code: six letters, year, month letter, day, place, check
// letter; the digits may be replaced by the letters of kOmocodia.
bool personShape(const QString &code)
{
    if (code.size() != 16)
        return false;
    for (int i = 0; i < 16; ++i) {
        const QChar c = code[i];
        const bool digitPlace = (i >= 6 && i <= 7) || (i >= 9 && i <= 10) || (i >= 12 && i <= 14);
        if (digitPlace ? !(isDigit(c) || kOmocodia.contains(c)) : !isLetter(c))
            return false;
    }
    return kMonths.contains(code[8]);
}

struct ColumnTexts
{
    QHash<QString, QString> text;
};

const ColumnTexts &columnTexts()
{
    static const ColumnTexts columns = [] {
        ColumnTexts t;
        // The names the other findings give these columns.
        QHash<QString, QString> required{
            {QStringLiteral("SDAU7CODFIS"), QStringLiteral("Codice fiscale dell'autonomo")},
            {QStringLiteral("SCFC7CODFISCON"), QStringLiteral("Codice fiscale coniuge")},
            {QStringLiteral("SCFC7CODFISPRIFIGL"), QStringLiteral("Codice fiscale primo figlio")},
            {QStringLiteral("SCFC7CODFISFIGL"), QStringLiteral("Codice fiscale altro figlio o altro familiare")},
        };
        for (const auto &p : requiredFields())
            required.insert(p.first, p.second);
        try {
            for (const CatalogueTable *table : TableCatalogue::instance().tables(QStringLiteral("jex")))
                for (const CatalogueColumn &c : table->columns) {
                    const QString name = c.name.toUpper();
                    // Codici fiscali are 16 wide; the non-resident
                    // intermediaries of ST carry the code of their own state.
                    if (c.kind != ColumnKind::Text || c.size != 16 || name.contains(u"INTNRES"))
                        continue;
                    if (!name.contains(u"CODFIS") && !name.contains(u"CF") && name != u"CODICE"
                        && !c.label.startsWith(QStringLiteral("codice fiscale"), Qt::CaseInsensitive))
                        continue;
                    QString label = required.value(name);
                    if (label.isEmpty() && !c.label.contains(u'%'))
                        label = c.label;
                    // A bare "Codice fiscale" says whose by its group or table.
                    if (label.compare(QStringLiteral("Codice fiscale"), Qt::CaseInsensitive) == 0)
                        label = QStringLiteral("Codice fiscale (%1)")
                                    .arg(c.group.isEmpty() ? table->caption : c.group);
                    if (label.isEmpty())
                        label = t.text.value(name);
                    if (label.isEmpty())
                        label = QStringLiteral("Codice fiscale");
                    // The first table that names the column names it.
                    if (!t.text.contains(name) || t.text.value(name) == u"Codice fiscale")
                        t.text.insert(name, label);
                }
        } catch (const EQxError &) {
            // No catalogue: datasets of a test's own have no such columns.
        }
        return t;
    }();
    return columns;
}

} // namespace

QChar personCheckChar(const QString &first15)
{
    int sum = 0;
    for (int i = 0; i < 15 && i < first15.size(); ++i) {
        const int k = charIndex(first15[i].toUpper());
        if (k < 0 || k > 25)
            return {};
        sum += (i % 2 == 0) ? kOdd[k] : k;
    }
    return QChar(u'A' + sum % 26);
}

bool isValidPersonCode(const QString &code)
{
    if (code.size() != 16)
        return false;
    for (QChar c : code)
        if (!(isDigit(c) || isLetter(c)))
            return false;
    return personCheckChar(code.left(15)) == code[15];
}

int organisationCheckDigit(const QString &first10)
{
    int sum = 0;
    for (int i = 0; i < 10 && i < first10.size(); ++i) {
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
        if (!isDigit(c))
            return false;
    return organisationCheckDigit(code.left(10)) == code[10].digitValue();
}

QString birthplaceCode(const QString &code)
{
    const QString c = code.trimmed().toUpper();
    if (!personShape(c))
        return {};
    QString place = c.mid(11, 4);
    for (int i = 1; i < 4; ++i)
        if (const qsizetype k = kOmocodia.indexOf(place[i]); k >= 0)
            place[i] = QChar(u'0' + int(k));
    return place;
}

bool isKnownBirthplace(const CodeLists &lists, const QString &placeCode)
{
    bool anyList = false;
    for (const QString &list : {kMunicipalities, kCeased, kStates}) {
        if (lists.rowCount(list) == 0)
            continue;
        anyList = true;
        if (lists.contains(list, placeCode))
            return true;
    }
    return !anyList;
}

QString codiceFiscaleFinding(const QString &field, const QString &code, const CodeLists &lists)
{
    const QString c = code.trimmed().toUpper();
    if (c.isEmpty())
        return {};
    const QString head = QStringLiteral(" - Campo errato: %1 (%2): ").arg(codiceFiscaleColumnText(field), field.toUpper());
    if (c.size() == 11 && IsAllDigits(c)) {
        if (!isValidOrganisationCode(c))
            return head + QStringLiteral("la cifra di controllo del codice fiscale %1 non è corretta").arg(c);
        return {};
    }
    if (!personShape(c))
        return head + QStringLiteral("\"%1\" non è un codice fiscale (16 caratteri per una persona fisica, "
                                     "11 cifre per gli altri soggetti)").arg(c);
    if (!isValidPersonCode(c))
        return head + QStringLiteral("il carattere di controllo del codice fiscale %1 non è corretto").arg(c);
    const QString place = birthplaceCode(c);
    if (!isKnownBirthplace(lists, place))
        return head + QStringLiteral("il luogo di nascita %1 del codice fiscale %2 non è un comune né uno stato "
                                     "estero (tabelle %3, %4, %5)")
                          .arg(place, c, kMunicipalities, kCeased, kStates);
    return {};
}

bool isCodiceFiscaleColumn(const QString &column) { return columnTexts().text.contains(column.toUpper()); }

QString codiceFiscaleColumnText(const QString &column)
{
    const QString t = columnTexts().text.value(column.toUpper());
    return t.isEmpty() ? QStringLiteral("Codice fiscale") : t;
}

} // namespace jex
