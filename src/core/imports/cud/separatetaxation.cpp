// The split of separately taxed arrears by year of reference: the one
// record the certification brings is divided, by the payroll's history of
// the arrears paid, into one record per year.

#include "imports/cud/completionsupport.h"
#include "imports/cud/importreport.h"

#include "base/errors.h"
#include "base/messages.h"
#include "base/money.h"
#include "dataset/dataset.h"
#include "sections/sectionstore.h"

#include <QHash>
#include <map>

namespace jex {
namespace {

const QString kTassazione = QStringLiteral("TTAS7_TASSAZIONESE");
const QString kHeader = QStringLiteral("**** SCORPORO DATI TASSAZIONE SEPARATA ****");
constexpr int kIrpefCodeSeparate = 12;

struct YearAmounts
{
    qint64 imponibile = 0, ritenuta = 0;
};

// The history of one person, per year of reference, and its totals.
struct History
{
    std::map<int, YearAmounts> years; // ascending
    YearAmounts total;

    void add(const QSqlRecord &r)
    {
        const int anno = intOf(r, "ANNO");
        const int annoP = intOf(r, "ANNOP");
        const qint64 imponibile = moneyOf(r, "IMPONIBILE");
        const qint64 ritenuta = moneyOf(r, "RITENUTA");
        total.imponibile += imponibile;
        total.ritenuta += ritenuta;
        if (annoP < 1 || annoP == anno) {
            years[anno].imponibile += imponibile;
            years[anno].ritenuta += ritenuta;
            return;
        }
        // The part of an earlier year carries its own tax at the row's rate.
        const qint64 partAp = moneyOf(r, "IMPONIBILE_AP");
        const qint64 taxAp = TQmrCalcola::RoundedPercentOf(2, moneyOf(r, "FVARRALIQUOTADIP"), partAp);
        years[annoP].imponibile += partAp;
        years[annoP].ritenuta += taxAp;
        years[anno].imponibile += imponibile - partAp;
        years[anno].ritenuta += ritenuta - taxAp;
    }
};

// Why a person's split was not made; empty when it was.
class Refusal : public std::exception
{
public:
    explicit Refusal(QString text) : m_text(std::move(text)) {}
    const QString &text() const { return m_text; }
    const char *what() const noexcept override { return "Integrazione non effettuata"; }

private:
    QString m_text;
};

void splitPerson(ClientDataSet &tas, const History &h)
{
    tas.first();
    if (h.years.size() == 1) {
        tas.edit();
        tas.fieldByName(QStringLiteral("STAS7PERIODOIMP"))->setAsString(QString::number(h.years.begin()->first));
        tas.post();
        return;
    }
    if (h.years.empty())
        throw Refusal(QStringLiteral("Integrazione non effettuata. Nessun dato in storico."));
    if (h.total.imponibile < 0 || h.total.ritenuta < 0)
        throw Refusal(QStringLiteral("Integrazione non effettuata. Totale imponibile/ritenute in storico negativo."));

    const bool detr = money(tas, "FTAS7TCOMPARRDETR") > 0;
    const char *totalColumn = detr ? "FTAS7TCOMPARRDETR" : "FTAS7TCOMPARRNODET";
    const char *yearColumn = detr ? "FTAS7COMPARRDETR" : "FTAS7COMPARRNODETR";
    const qint64 declared = money(tas, totalColumn);
    const qint64 declaredTax = money(tas, "FTAS7TOTRITOPER");
    if (declared < h.total.imponibile || declaredTax < h.total.ritenuta)
        throw Refusal(QStringLiteral(
            "Integrazione non effettuata. Totale imponibile/ritenute in storico superiore a quanto dichiarato."));

    const int lastYear = h.years.rbegin()->first;
    YearAmounts moved;
    for (const auto &[year, amounts] : h.years) {
        if (year != lastYear) {
            moved.imponibile += amounts.imponibile;
            moved.ritenuta += amounts.ritenuta;
        }
    }
    const qint64 keptImponibile = money(tas, yearColumn) - moved.imponibile;
    const qint64 keptRitenuta = money(tas, "FTAS7RITOPERATE") - moved.ritenuta;
    // The record left for the last year must not go below zero: the split
    // is refused and the record kept as the certification brought it.
    if (keptImponibile < 0 || keptRitenuta < 0)
        throw Refusal(QStringLiteral("Errore in integrazione. Imponibile/ritenute nel %1 negativi.").arg(lastYear));

    const QString codFis = tas.fieldByName(QStringLiteral("SDIP7CODFIS"))->asString();
    const QVariant afiId = tas.fieldByName(QStringLiteral("IAFIID"))->value();
    const qint64 totalTax = declaredTax;
    const ClientDataSet::Bookmark existing = tas.bookmark();
    for (const auto &[year, amounts] : h.years) {
        if (year == lastYear)
            continue;
        tas.append();
        tas.fieldByName(QStringLiteral("SDIP7CODFIS"))->setAsString(codFis);
        tas.fieldByName(QStringLiteral("IAFIID"))->setValue(afiId);
        tas.fieldByName(QStringLiteral("STAS7PERIODOIMP"))->setAsString(QString::number(year));
        setMoney(tas, totalColumn, declared);
        setMoney(tas, "FTAS7TOTRITOPER", totalTax);
        setMoney(tas, yearColumn, amounts.imponibile);
        setMoney(tas, "FTAS7RITOPERATE", amounts.ritenuta);
        tas.post();
    }
    tas.gotoBookmark(existing);
    tas.edit();
    tas.fieldByName(QStringLiteral("STAS7PERIODOIMP"))->setAsString(QString::number(lastYear));
    setMoney(tas, yearColumn, keptImponibile);
    setMoney(tas, "FTAS7RITOPERATE", keptRitenuta);
    tas.post();
}

} // namespace

void PayrollCompletion::splitSeparateTaxation(const QStringList &codFis)
{
    const QString caption = QStringLiteral("Scorporo dati tassazione separata ...");
    showPhase(caption);
    QHash<QString, History> history;
    for (const QSqlRecord &r : archiveRows(*m_ctx.conn, QStringLiteral("QRY_JEX_TS"),
                                           {{QStringLiteral("RICE_COD_IRPEF_TS"), kIrpefCodeSeparate},
                                            {QStringLiteral("ANNO"), QStringLiteral("2023")},
                                            {QStringLiteral("IANFID"), m_ctx.yearId}}))
        history[textOf(r, "SANACODFISCALE").toUpper()].add(r);

    PersonTable &employees = this->employees();
    PersonTable separate;
    openByPerson(separate, *m_ctx.store, kTassazione);
    ClientDataSet &dip = employees.ds;
    ClientDataSet &tas = separate.ds;
    auto report = [&](const PersonName &who, const QString &message) {
        m_ctx.report->addPhaseHeader(kHeader);
        m_ctx.report->setPerson(who.surname, who.name);
        m_ctx.report->addMessage(message);
    };
    forEachEmployee(employees, codFis, caption, [&](const QString &cf) {
        const PersonName who = personOf(dip);
        separate.load(cf);
        try {
            if (tas.recordCount() == 0)
                return;
            if (tas.recordCount() > 1)
                throw Refusal(QStringLiteral("Integrazione non effettuata. Presenti dati su più anni."));
            splitPerson(tas, history.value(cf.toUpper()));
            m_ctx.store->saveCds(kTassazione, tas);
        } catch (const Refusal &r) {
            if (tas.isEditing())
                tas.cancel();
            tas.cancelUpdates();
            report(who, r.text());
        } catch (const std::exception &e) {
            if (tas.isEditing())
                tas.cancel();
            tas.cancelUpdates();
            messages().information(withError(
                QStringLiteral("Impossibile scorporare i dati relativi alla tassione separata : ") + who.display(),
                errorText(e)));
        }
    });
}

} // namespace jex
