#include "checks/recipientrules.h"

#include "dataset/dataset.h"
#include "demo/codicefiscale.h"

#include <algorithm>

namespace jex::recipients {

namespace {
const QString incomeYear = QStringLiteral("2024");
const QString previousYear = QStringLiteral("2023");

bool ticked(const ClientDataSet &ds, const char *name)
{
    const Field *f = ds.findField(QString::fromLatin1(name));
    return f && f->asString().trimmed() == u"1";
}

void untick(ClientDataSet &ds, const char *name)
{
    if (Field *f = ds.findField(QString::fromLatin1(name)))
        f->setValue(QStringLiteral("0"));
}
} // namespace

const char *const foreignTaxText =
    "ATTENZIONE!!!\n\rDevono essere compilati anche i campi 115-116-117 della pagina \"Redd. esteri\"";

QHash<QString, QStringList> labelYears(const QString &table)
{
    const QString t = table.toUpper();
    const QStringList prev{previousYear};
    if (t == u"TDIP7_ANAGRFISCALI")
        // balances of the year before; advances and the rest are of 2024
        return {
            {QStringLiteral("FFIS7ADDCOMSAPREC"), prev},
            {QStringLiteral("FASS7IMPOTRATTRT"), prev},
            {QStringLiteral("FASS7IMPOTRATTRTCON"), prev},
            {QStringLiteral("FASS7ARDICHIRT"), prev},
            {QStringLiteral("FASS7ARCONRT"), prev},
            {QStringLiteral("FASS7ACCONRT"), prev},
            {QStringLiteral("FASS7RETCEDSECD"), prev},
            {QStringLiteral("FASS7RETCEDSECC"), prev},
        };
    if (t == u"TTFR7_TFR")
        // the severance-pay periods of the law, fixed years
        return {
            {QStringLiteral("FRL7TFRMATANNPRECRIM"), {QStringLiteral("2000")}},
            {QStringLiteral("FRL7TFRVERSANNPREC"), {QStringLiteral("2000")}},
            {QStringLiteral("FRL7TFRMATANNREDDRIM"), {QStringLiteral("2001")}},
            {QStringLiteral("FRL7TFRVERANNREDD"), {QStringLiteral("2001"), QStringLiteral("2006")}},
            {QStringLiteral("FRL7TFRMAT07VERFND"), {QStringLiteral("2007")}},
            {QStringLiteral("FRIEP7CRITPOST"), {QStringLiteral("2007")}},
        };
    return {};
}

QString applyFamilyFlagConsistency(ClientDataSet &ds)
{
    QString note;
    if (ticked(ds, "LCFC7RELPARPRIFIGLDIS") && ticked(ds, "LCFC7RELPARPRIFIGL")) {
        untick(ds, "LCFC7RELPARPRIFIGL");
        note += QStringLiteral("- Dati incongruenti primo figlio: Verrà abilitato campo D e non F1\n");
    }
    if (ticked(ds, "LCFC7RELPARFIGLDIS") && (ticked(ds, "LCFC7RELPARFIGLALTRFAM") || ticked(ds, "LCFC7RELPARFIGL"))) {
        untick(ds, "LCFC7RELPARFIGLALTRFAM");
        untick(ds, "LCFC7RELPARFIGL");
        note += QStringLiteral("- Dati incongruenti altri familiari: Verrà abilitato campo D e non F e A\n");
    } else if (ticked(ds, "LCFC7RELPARFIGLALTRFAM") && ticked(ds, "LCFC7RELPARFIGL")) {
        untick(ds, "LCFC7RELPARFIGL");
        note += QStringLiteral("- Dati incongruenti altri familiari: Verrà abilitato campo A e non F");
    }
    return note;
}

QList<QPair<QString, QString>> fiscalCodeColumns(const QString &table)
{
    const QString t = table.toUpper();
    if (t == u"TDIP7_ANAGRFISCALI")
        return {{QStringLiteral("SDIP7CODFIS"), QStringLiteral("Codice fiscale del dipendente")},
                {QStringLiteral("SDIP7CODFISRAPPR"), QStringLiteral("Codice fiscale del rappresentante")}};
    if (t == u"TDAU7_DATIAUTONOM")
        return {{QStringLiteral("SDAU7CODFIS"), QStringLiteral("Codice fiscale dell'autonomo")}};
    if (t == u"TCFC7_CONFAMCARICO")
        return {{QStringLiteral("SCFC7CODFISCON"), QStringLiteral("Codice fiscale coniuge")},
                {QStringLiteral("SCFC7CODFISPRIFIGL"), QStringLiteral("Codice fiscale primo figlio")},
                {QStringLiteral("SCFC7CODFISFIGL"), QStringLiteral("Codice fiscale altro figlio o altro familiare")}};
    return {};
}

QString fiscalCodeFinding(const QString &code, const QString &description)
{
    const QString c = code.trimmed().toUpper();
    if (c.isEmpty())
        return {};
    const bool digits = std::all_of(c.begin(), c.end(), [](QChar ch) { return ch.isDigit(); });
    if (c.size() == 11 && digits)
        return demo::isValidOrganisationCode(c)
                   ? QString()
                   : QStringLiteral(" - Codice fiscale errato: %1 (cifra di controllo non valida)").arg(description);
    if (c.size() != 16)
        return QStringLiteral(" - Codice fiscale errato: %1 (deve essere di 16 caratteri, o di 11 cifre, non di %2)")
            .arg(description).arg(c.size());
    if (!demo::isValidPersonCode(c))
        return QStringLiteral(" - Codice fiscale errato: %1 (carattere di controllo non valido)").arg(description);
    return {};
}

QStringList fiscalCodeFindings(const ClientDataSet &ds, const QString &table)
{
    QStringList out;
    for (const auto &[column, description] : fiscalCodeColumns(table))
        if (const Field *f = ds.findField(column))
            if (const QString finding = fiscalCodeFinding(f->asString(), description); !finding.isEmpty())
                out << finding;
    return out;
}

QStringList instalmentChoices(const QString &column)
{
    const QString c = column.toUpper();
    if (c == u"FRL7RATE1" || c == u"FTFR007RATE1" || c == u"FTFR017RATE1")
        return {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")};
    if (c == u"FRL7RATE2" || c == u"FTFR007RATE2" || c == u"FTFR017RATE2")
        return {QStringLiteral("2"), QStringLiteral("3")};
    return {};
}

bool recipientMatches(const QString &typed, const QString &codFis, const QString &surname, const QString &name)
{
    const QString t = typed.trimmed();
    if (t.isEmpty())
        return true;
    return codFis.contains(t, Qt::CaseInsensitive) || surname.contains(t, Qt::CaseInsensitive)
           || name.contains(t, Qt::CaseInsensitive);
}

} // namespace jex::recipients
