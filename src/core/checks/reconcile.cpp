#include "checks/reconcile.h"

#include "base/errors.h"
#include "base/messages.h"
#include "database/namedsql.h"
#include "dataset/dataset.h"
#include "sections/sectionstore.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

namespace jex {

namespace {

const QString kDip = QStringLiteral("TDIP7_ANAGRFISCALI");
const QString kAut = QStringLiteral("TDAU7_DATIAUTONOM");
const QString kSomme = QStringLiteral("TDSE7_SOMMEEROGATE");

// Stored amounts are ten-thousandths of a euro; the return's amounts have
// two decimals, so rounding to the cent loses nothing that was typed.
qint64 centsOfMoney(qint64 tenThousandths)
{
    const qint64 half = tenThousandths >= 0 ? 50 : -50;
    return (tenThousandths + half) / 100;
}

qint64 centsOfDouble(double euros) { return qint64(std::llround(euros * 100.0)); }

std::optional<qint64> amountOf(const Field *f)
{
    if (!f || f->isNull())
        return std::nullopt;
    if (f->type() == FieldType::Currency)
        return centsOfMoney(f->asMoney());
    return centsOfDouble(f->asFloat());
}

QString text(const Field *f) { return f ? f->asString().trimmed() : QString(); }

struct Columns
{
    QString mese, anno, ritenute, crediti, versato, interessi, codice, data;
};

Columns columnsOf(ReconcileTable t)
{
    switch (t) {
    case ReconcileTable::St1:
        return {QStringLiteral("SPSTMESE"), QStringLiteral("SPSTANNO"), QStringLiteral("FPSTRITOPEARTE"),
                QStringLiteral("FPSTRITCOMPENSATE"), QStringLiteral("FPSTIMPOVERSATO"), QStringLiteral("FPSTINTERESSI"),
                QStringLiteral("SPSTCODTRIBUTO"), QStringLiteral("DPSTDTVERS")};
    case ReconcileTable::St2:
        return {QStringLiteral("SPST2MESE"), QStringLiteral("SPST2ANNO"), QStringLiteral("FPST2RITEFFETTUATE"),
                QStringLiteral("FPST2CREDIMPSCOMP"), QStringLiteral("FPST2IMPOVERSATO"), QStringLiteral("FPST2INTERESSI"),
                QStringLiteral("SPST2CODTRIBUTO"), QStringLiteral("DPST2DTVERS")};
    case ReconcileTable::Sv:
        return {QStringLiteral("SPSVMESE"), QStringLiteral("SPSVANNO"), QStringLiteral("FPSVTRATTEFF"),
                QStringLiteral("FPSVCREDIMPUTSCOMP"), QStringLiteral("FPSVIMPVERS"), QStringLiteral("FPSVINTERESSI"),
                QStringLiteral("SPSVCODTRIBCAP"), QStringLiteral("DPSVDTVERS")};
    }
    return {};
}

QString tableName(ReconcileTable t)
{
    switch (t) {
    case ReconcileTable::St1:
        return QStringLiteral("TPST_PROSPETTOST");
    case ReconcileTable::St2:
        return QStringLiteral("TPST2_PROSPETTOSTS2");
    case ReconcileTable::Sv:
        return QStringLiteral("TPSV_PROSPETTOSV");
    }
    return {};
}

// "03" or "3" -> 3; 0 when the text is no month number.
int monthOf(const QString &s)
{
    bool ok = false;
    const int m = s.toInt(&ok);
    return ok && m >= 1 && m <= 12 ? m : 0;
}

int yearOf(const QString &s)
{
    bool ok = false;
    const int y = s.toInt(&ok);
    return ok && s.size() == 4 ? y : 0;
}

QString period(int mese, int anno)
{
    return QStringLiteral("%1/%2").arg(mese, 2, 10, QLatin1Char('0')).arg(anno);
}

QString dateText(const QDate &d) { return d.isValid() ? d.toString(QStringLiteral("dd/MM/yyyy")) : QStringLiteral("-"); }

QString agentSuffix(const QString &agent)
{
    return agent.isEmpty() ? QString() : QStringLiteral(" (sostituto estinto %1)").arg(agent);
}

QString rowReference(const SummaryRow &r)
{
    return QStringLiteral("%1 rigo %2").arg(reconcileTableCaption(r.table)).arg(r.rigo);
}

ReconcileLine line(ReconcileCheck check, const QString &reference, const QString &text, bool flagged,
                   std::optional<qint64> a = std::nullopt, std::optional<qint64> b = std::nullopt)
{
    ReconcileLine l;
    l.check = check;
    l.reference = reference;
    l.text = text;
    l.flagged = flagged;
    l.a = a;
    l.b = b;
    return l;
}

// The checks inside one row of a summary table.
void checkRow(const SummaryRow &r, int year, QList<ReconcileLine> &out)
{
    const QString ref = rowReference(r) + agentSuffix(r.agent);
    auto warn = [&](const QString &text, std::optional<qint64> a = std::nullopt, std::optional<qint64> b = std::nullopt) {
        out << line(ReconcileCheck::SummaryRow, ref, text, true, a, b);
    };
    if (r.codice.isEmpty())
        warn(QStringLiteral("codice tributo mancante"));
    if (!r.ritenute && !r.crediti && !r.versato && !r.interessi) {
        warn(QStringLiteral("importi mancanti: il rigo non ha ritenute né versamento"));
    } else {
        const qint64 expected = r.ritenute.value_or(0) - r.crediti.value_or(0) + r.interessi.value_or(0);
        if (r.versato.value_or(0) != expected)
            warn(QStringLiteral("importo versato diverso da ritenute - crediti utilizzati + interessi "
                                "(A = atteso, B = versato)"),
                 expected, r.versato.value_or(0));
    }
    const int mese = monthOf(r.mese);
    const int anno = yearOf(r.anno);
    if (mese == 0)
        warn(QStringLiteral("mese di riferimento \"%1\" non valido").arg(r.mese));
    if (anno != year)
        warn(QStringLiteral("anno di riferimento \"%1\" diverso dal %2").arg(r.anno).arg(year));
    if (!r.data.isValid())
        warn(QStringLiteral("data di versamento mancante"));
    else if (mese != 0 && anno != 0 && r.data < QDate(anno, mese, 1))
        warn(QStringLiteral("versamento del %1 anteriore al mese di riferimento %2")
                 .arg(dateText(r.data), period(mese, anno)));
}

struct Side
{
    qint64 ritenute = 0;
    qint64 versato = 0;
    QList<QDate> dates;
    bool present = false;

    void add(qint64 rit, qint64 vers, const QDate &d)
    {
        present = true;
        ritenute += rit;
        versato += vers;
        if (!dates.contains(d))
            dates << d;
    }
    QString datesText() const
    {
        QList<QDate> sorted = dates;
        std::sort(sorted.begin(), sorted.end());
        QStringList s;
        for (const QDate &d : sorted)
            s << dateText(d);
        return s.join(QStringLiteral(", "));
    }
};

using Key = std::tuple<int, int, int, QString>; // table, year, month, code

void compareWithF24(const ReconcileInput &in, QList<ReconcileLine> &out)
{
    if (!in.f24Read) {
        out << line(ReconcileCheck::SummaryVsF24, QStringLiteral("Archivio F24"),
                    QStringLiteral("archivio dei versamenti F24 non disponibile: confronto con gli F24 non eseguito"), true);
        return;
    }
    if (in.f24.isEmpty()) {
        out << line(ReconcileCheck::SummaryVsF24, QStringLiteral("Archivio F24"),
                    QStringLiteral("nessun versamento F24 del %1 nell'archivio: confronto con gli F24 non eseguito")
                        .arg(in.year),
                    true);
        return;
    }
    std::map<Key, std::pair<Side, Side>> sides; // summary, F24
    for (const SummaryRow &r : in.summary) {
        // The archive holds the school's own payments: an extinct agent's
        // rows were paid by that agent. Rows without a period or a code are
        // findings of their own and cannot be matched.
        const int mese = monthOf(r.mese), anno = yearOf(r.anno);
        if (!r.agent.isEmpty() || mese == 0 || anno == 0 || r.codice.isEmpty())
            continue;
        sides[Key(int(r.table), anno, mese, r.codice.toUpper())].first.add(r.ritenute.value_or(0), r.versato.value_or(0),
                                                                            r.data);
    }
    for (const F24Payment &p : in.f24) {
        ReconcileTable t;
        if (p.sezione == QLatin1String("F"))
            t = ReconcileTable::St1;
        else if (p.sezione == QLatin1String("R"))
            t = ReconcileTable::St2;
        else if (p.sezione == QLatin1String("EL"))
            t = ReconcileTable::Sv;
        else {
            out << line(ReconcileCheck::SummaryVsF24, QStringLiteral("F24 %1 %2").arg(period(p.mese, p.anno), p.codice),
                        QStringLiteral("sezione \"%1\" del modello F24 non riconosciuta: versamento non confrontato")
                            .arg(p.sezione),
                        true, std::nullopt, p.importo);
            continue;
        }
        sides[Key(int(t), p.anno, p.mese, p.codice.toUpper())].second.add(p.importo + p.credito - p.interessi,
                                                                          p.importo, p.data);
    }
    for (const auto &[key, pair] : sides) {
        const auto &[st, f24] = pair;
        const auto [table, anno, mese, code] = key;
        const QString ref = QStringLiteral("%1 %2 %3").arg(reconcileTableCaption(ReconcileTable(table)), period(mese, anno), code);
        if (!f24.present) {
            out << line(ReconcileCheck::SummaryVsF24, ref,
                        QStringLiteral("nel prospetto, senza versamento F24 (versato il %1)").arg(st.datesText()), true,
                        st.versato, std::nullopt);
            continue;
        }
        if (!st.present) {
            out << line(ReconcileCheck::SummaryVsF24, ref,
                        QStringLiteral("versamento F24 del %1 assente dal prospetto").arg(f24.datesText()), true,
                        std::nullopt, f24.versato);
            continue;
        }
        bool same = true;
        if (st.ritenute != f24.ritenute) {
            out << line(ReconcileCheck::SummaryVsF24, ref, QStringLiteral("ritenute diverse"), true, st.ritenute,
                        f24.ritenute);
            same = false;
        }
        if (st.versato != f24.versato) {
            out << line(ReconcileCheck::SummaryVsF24, ref, QStringLiteral("importo versato diverso"), true, st.versato,
                        f24.versato);
            same = false;
        }
        QList<QDate> a = st.dates, b = f24.dates;
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        if (a != b) {
            out << line(ReconcileCheck::SummaryVsF24, ref,
                        QStringLiteral("date di versamento diverse: prospetto %1, F24 %2").arg(st.datesText(), f24.datesText()),
                        true);
            same = false;
        }
        if (same)
            out << line(ReconcileCheck::SummaryVsF24, ref, QStringLiteral("versato il %1: in quadratura").arg(st.datesText()),
                        false, st.versato, f24.versato);
    }
}

void compareWithCertifications(const ReconcileInput &in, const ReconcileMap &map, QList<ReconcileLine> &out)
{
    // The agents of the return: the declaring one first, then the extinct
    // ones as they appear.
    QStringList agents{QString()};
    for (const Certification &c : in.certifications)
        if (!agents.contains(c.agent))
            agents << c.agent;
    for (const SummaryRow &r : in.summary)
        if (!agents.contains(r.agent))
            agents << r.agent;

    for (const ReconcileBox &box : map.boxes) {
        const QString tableCaption = reconcileTableCaption(box.table);
        const QString measure = box.measure == ReconcileMeasure::Withheld ? QStringLiteral("ritenute")
                                                                           : QStringLiteral("crediti utilizzati");
        for (const QString &agent : agents) {
            const qint64 certified = certifiedTotal(in, box, agent);
            qint64 summary = 0;
            for (const SummaryRow &r : in.summary)
                if (r.agent == agent && r.table == box.table && box.codes.contains(r.codice, Qt::CaseInsensitive))
                    summary += (box.measure == ReconcileMeasure::Withheld ? r.ritenute : r.crediti).value_or(0);
            const QString ref = box.caption + agentSuffix(agent);
            if (box.codes.isEmpty()) {
                if (agent.isEmpty())
                    out << line(ReconcileCheck::CertVsSummary, ref,
                                QStringLiteral("nessun codice tributo indicato per il riquadro %1 nel file %2: "
                                               "confronto con il prospetto %3 non eseguito")
                                    .arg(box.id, map.source.section(QLatin1Char('/'), -1), tableCaption),
                                true, certified, std::nullopt);
                continue;
            }
            const qint64 diff = summary - certified;
            const bool flagged = diff > kCertificationTolerance || diff < -kCertificationTolerance;
            out << line(ReconcileCheck::CertVsSummary, ref,
                        QStringLiteral("%1 del prospetto %2 (codici %3)%4")
                            .arg(measure, tableCaption, box.codes.join(QLatin1Char(' ')),
                                 flagged ? QStringLiteral(": differenza oltre 1 euro") : QStringLiteral(": in quadratura")),
                        flagged, certified, summary);
        }
    }

    // Codes of the tables that no box takes: their withholdings are
    // compared with nothing, which the user should know.
    QSet<QString> reported;
    for (const SummaryRow &r : in.summary) {
        if (r.codice.isEmpty())
            continue;
        bool tableMapped = false;
        for (const ReconcileBox &b : map.boxes)
            tableMapped = tableMapped || (b.table == r.table && !b.codes.isEmpty());
        if (!tableMapped || map.boxOf(r.table, ReconcileMeasure::Withheld, r.codice))
            continue;
        const QString key = reconcileTableCaption(r.table) + QLatin1Char(' ') + r.codice.toUpper();
        if (reported.contains(key))
            continue;
        reported.insert(key);
        out << line(ReconcileCheck::CertVsSummary, key,
                    QStringLiteral("codice tributo non compreso in alcun riquadro del file %1: "
                                   "le sue ritenute non sono confrontate con le certificazioni")
                        .arg(map.source.section(QLatin1Char('/'), -1)),
                    true);
    }
}

QString csvField(const QString &s)
{
    if (s.contains(QLatin1Char(';')) || s.contains(QLatin1Char('"')) || s.contains(QLatin1Char('\n')))
        return QLatin1Char('"') + QString(s).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return s;
}

QString plainCents(std::optional<qint64> c, QChar decimal)
{
    if (!c)
        return {};
    const qint64 v = *c;
    const qint64 a = v < 0 ? -v : v;
    return QStringLiteral("%1%2%3%4")
        .arg(v < 0 ? QStringLiteral("-") : QString())
        .arg(a / 100)
        .arg(decimal)
        .arg(a % 100, 2, 10, QLatin1Char('0'));
}

QString jsonString(const QString &s)
{
    QString out = QStringLiteral("\"");
    for (const QChar ch : s) {
        switch (ch.unicode()) {
        case '"':
            out += QStringLiteral("\\\"");
            break;
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        default:
            if (ch.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(ch.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += ch;
        }
    }
    return out + QLatin1Char('"');
}

QString jsonAmount(std::optional<qint64> c) { return c ? plainCents(c, QLatin1Char('.')) : QStringLiteral("null"); }

} // namespace

QString formatCents(qint64 cents)
{
    const qint64 a = cents < 0 ? -cents : cents;
    QString units = QString::number(a / 100);
    for (int i = units.size() - 3; i > 0; i -= 3)
        units.insert(i, QLatin1Char('.'));
    return QStringLiteral("%1%2,%3").arg(cents < 0 ? QStringLiteral("-") : QString(), units).arg(a % 100, 2, 10, QLatin1Char('0'));
}

QString reconcileCheckCaption(ReconcileCheck check)
{
    switch (check) {
    case ReconcileCheck::CertVsSummary:
        return QStringLiteral("Certificazioni / prospetti ST e SV");
    case ReconcileCheck::SummaryVsF24:
        return QStringLiteral("Prospetti ST e SV / versamenti F24");
    case ReconcileCheck::SummaryRow:
        return QStringLiteral("Righi dei prospetti ST e SV");
    case ReconcileCheck::Data:
        return QStringLiteral("Dati delle certificazioni");
    }
    return {};
}

QString reconcileAmountsCaption(ReconcileCheck check)
{
    switch (check) {
    case ReconcileCheck::CertVsSummary:
        return QStringLiteral("A = certificazioni, B = prospetto");
    case ReconcileCheck::SummaryVsF24:
        return QStringLiteral("A = prospetto, B = F24");
    case ReconcileCheck::SummaryRow:
        return QStringLiteral("A = atteso, B = indicato");
    case ReconcileCheck::Data:
        return {};
    }
    return {};
}

QString ReconcileLine::describe() const
{
    QString row = QStringLiteral("%1: %2").arg(reference, text);
    if (a || b) {
        row += QStringLiteral(" [A %1, B %2").arg(a ? formatCents(*a) : QStringLiteral("-"),
                                                  b ? formatCents(*b) : QStringLiteral("-"));
        if (a && b)
            row += QStringLiteral(", differenza %1").arg(formatCents(*difference()));
        row += QLatin1Char(']');
    }
    return row;
}

int ReconcileReport::flagged() const
{
    int n = 0;
    for (const ReconcileLine &l : lines)
        n += l.flagged ? 1 : 0;
    return n;
}

int ReconcileReport::flagged(ReconcileCheck check) const
{
    int n = 0;
    for (const ReconcileLine &l : lines)
        n += l.flagged && l.check == check ? 1 : 0;
    return n;
}

QString ReconcileReport::summary() const
{
    const int n = flagged();
    if (n == 0)
        return QStringLiteral("Nessuna differenza: certificazioni, prospetti e versamenti F24 sono in quadratura");
    return n == 1 ? QStringLiteral("1 differenza da verificare") : QStringLiteral("%1 differenze da verificare").arg(n);
}

QString ReconcileReport::toText() const
{
    QString out;
    for (ReconcileCheck check : {ReconcileCheck::Data, ReconcileCheck::CertVsSummary, ReconcileCheck::SummaryVsF24,
                                 ReconcileCheck::SummaryRow}) {
        QStringList rows;
        for (const ReconcileLine &l : lines) {
            if (l.check != check)
                continue;
            rows << (l.flagged ? QStringLiteral("!! ") : QStringLiteral("   ")) + l.describe();
        }
        if (rows.isEmpty())
            continue;
        const QString amounts = reconcileAmountsCaption(check);
        out += reconcileCheckCaption(check) + (amounts.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(amounts))
               + QLatin1Char('\n');
        out += rows.join(QLatin1Char('\n')) + QStringLiteral("\n\n");
    }
    return out + summary() + QLatin1Char('\n');
}

QString ReconcileReport::toCsv() const
{
    QString out = QStringLiteral("controllo;riferimento;descrizione;a;b;differenza;da_verificare\n");
    for (const ReconcileLine &l : lines) {
        out += QStringList{csvField(reconcileCheckCaption(l.check)), csvField(l.reference), csvField(l.text),
                           plainCents(l.a, QLatin1Char(',')), plainCents(l.b, QLatin1Char(',')),
                           l.a && l.b ? plainCents(l.difference(), QLatin1Char(',')) : QString(),
                           l.flagged ? QStringLiteral("1") : QStringLiteral("0")}
                   .join(QLatin1Char(';'))
               + QLatin1Char('\n');
    }
    return out;
}

QString ReconcileReport::toJson() const
{
    QStringList rows;
    for (const ReconcileLine &l : lines) {
        rows << QStringLiteral("    {\"controllo\": %1, \"riferimento\": %2, \"descrizione\": %3, \"a\": %4, \"b\": %5, "
                               "\"differenza\": %6, \"da_verificare\": %7}")
                    .arg(jsonString(reconcileCheckCaption(l.check)), jsonString(l.reference), jsonString(l.text),
                         jsonAmount(l.a), jsonAmount(l.b),
                         l.a && l.b ? jsonAmount(l.difference()) : QStringLiteral("null"),
                         l.flagged ? QStringLiteral("true") : QStringLiteral("false"));
    }
    return QStringLiteral("{\n  \"da_verificare\": %1,\n  \"esito\": %2,\n  \"righe\": [\n%3\n  ]\n}\n")
        .arg(flagged())
        .arg(jsonString(summary()), rows.join(QStringLiteral(",\n")));
}

qint64 certifiedTotal(const ReconcileInput &in, const ReconcileBox &box, const QString &agent, const QString &table)
{
    qint64 total = 0;
    for (const Certification &c : in.certifications) {
        if (c.agent != agent)
            continue;
        for (const CertificationAmount &a : c.amounts)
            for (const ReconcileColumn &col : box.columns)
                if (col.table == a.table && col.column == a.column && (table.isEmpty() || table == a.table))
                    total += col.sign * a.cents;
    }
    return total;
}

ReconcileReport reconcile(const ReconcileInput &in, const ReconcileMap &map)
{
    ReconcileReport report;
    for (const Certification &c : in.certifications)
        if (c.codFis.isEmpty())
            report.lines << line(ReconcileCheck::Data,
                                 QStringLiteral("%1 rigo %2").arg(c.table == kDip ? QStringLiteral("Lavoro dipendente")
                                                                                  : QStringLiteral("Lavoro autonomo"))
                                     .arg(c.rigo),
                                 QStringLiteral("certificazione senza codice fiscale%1: i suoi importi sono compresi "
                                                "nei totali")
                                     .arg(c.name.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(c.name)),
                                 true);
    compareWithCertifications(in, map, report.lines);
    compareWithF24(in, report.lines);
    for (const SummaryRow &r : in.summary)
        checkRow(r, in.year, report.lines);
    return report;
}

void readCertifications(SectionStore &store, const ReconcileMap &map, ReconcileInput &input)
{
    auto fieldsOf = [](ClientDataSet &ds, const QString &table, const QStringList &columns) {
        QList<const Field *> fields;
        for (const QString &c : columns) {
            const Field *f = ds.findField(c);
            if (!f)
                throw EQxError(QStringLiteral("La colonna %1 indicata nel file dei riquadri della quadratura non "
                                              "esiste nella tabella %2")
                                   .arg(c, table));
            fields << f;
        }
        return fields;
    };

    ClientDataSet dip;
    store.openCds(kDip, dip);
    const QStringList dipColumns = map.columnsOf(kDip);
    const QList<const Field *> dipFields = fieldsOf(dip, kDip, dipColumns);
    const Field *cf = dip.findField(QStringLiteral("SDIP7CODFIS"));
    const Field *surname = dip.findField(QStringLiteral("SDIP7COGNOME"));
    const Field *name = dip.findField(QStringLiteral("SDIP7NOME"));
    const Field *agent = dip.findField(QStringLiteral("SSOE7CODICE"));
    int rigo = 0;
    for (dip.first(); !dip.eof(); dip.next()) {
        Certification c;
        c.table = kDip;
        c.rigo = ++rigo;
        c.codFis = text(cf).toUpper();
        c.name = (text(surname) + QLatin1Char(' ') + text(name)).trimmed();
        c.agent = text(agent).toUpper();
        for (int i = 0; i < dipFields.size(); ++i)
            if (const std::optional<qint64> v = amountOf(dipFields[i]); v && *v != 0)
                c.amounts << CertificationAmount{kDip, dipColumns[i], *v};
        input.certifications << c;
    }

    // The self-employed sums belong to the recipient's record by codice
    // fiscale; that record says which agent paid them.
    const QStringList sumColumns = map.columnsOf(kSomme);
    ClientDataSet aut;
    store.openCds(kAut, aut);
    QHash<QString, std::pair<QString, QString>> recipients; // cf -> agent, name
    {
        const Field *acf = aut.findField(QStringLiteral("SDAU7CODFIS"));
        const Field *asur = aut.findField(QStringLiteral("SDAU7COGNOME"));
        const Field *aname = aut.findField(QStringLiteral("SDAU7NOME"));
        const Field *aagent = aut.findField(QStringLiteral("SSOE7CODICE"));
        rigo = 0;
        for (aut.first(); !aut.eof(); aut.next()) {
            ++rigo;
            const QString code = text(acf).toUpper();
            const QString who = (text(asur) + QLatin1Char(' ') + text(aname)).trimmed();
            if (code.isEmpty()) {
                Certification c;
                c.table = kAut;
                c.rigo = rigo;
                c.name = who;
                c.agent = text(aagent).toUpper();
                input.certifications << c;
                continue;
            }
            recipients.insert(code, {text(aagent).toUpper(), who});
        }
    }
    if (sumColumns.isEmpty())
        return;
    ClientDataSet sums;
    store.openCds(kSomme, sums);
    const QList<const Field *> sumFields = fieldsOf(sums, kSomme, sumColumns);
    const Field *scf = sums.findField(QStringLiteral("SDAU7CODFIS"));
    rigo = 0;
    for (sums.first(); !sums.eof(); sums.next()) {
        Certification c;
        c.table = kSomme;
        c.rigo = ++rigo;
        c.codFis = text(scf).toUpper();
        const auto who = recipients.value(c.codFis);
        c.agent = who.first;
        c.name = who.second;
        for (int i = 0; i < sumFields.size(); ++i)
            if (const std::optional<qint64> v = amountOf(sumFields[i]); v && *v != 0)
                c.amounts << CertificationAmount{kSomme, sumColumns[i], *v};
        input.certifications << c;
    }
}

void readSummaryTables(SectionStore &store, ReconcileInput &input)
{
    for (ReconcileTable t : {ReconcileTable::St1, ReconcileTable::St2, ReconcileTable::Sv}) {
        const Columns c = columnsOf(t);
        ClientDataSet ds;
        store.openCds(tableName(t), ds);
        const Field *mese = ds.fieldByName(c.mese), *anno = ds.fieldByName(c.anno);
        const Field *rit = ds.fieldByName(c.ritenute), *cred = ds.fieldByName(c.crediti);
        const Field *vers = ds.fieldByName(c.versato), *inte = ds.fieldByName(c.interessi);
        const Field *code = ds.fieldByName(c.codice), *data = ds.fieldByName(c.data);
        const Field *agent = ds.findField(QStringLiteral("SSOE7CODICE"));
        int rigo = 0;
        for (ds.first(); !ds.eof(); ds.next()) {
            SummaryRow r;
            r.table = t;
            r.rigo = ++rigo;
            r.agent = text(agent).toUpper();
            r.mese = text(mese);
            r.anno = text(anno);
            r.codice = text(code).toUpper();
            r.data = data->isNull() ? QDate() : data->asDate();
            r.ritenute = amountOf(rit);
            r.crediti = amountOf(cred);
            r.versato = amountOf(vers);
            r.interessi = amountOf(inte);
            input.summary << r;
        }
    }
}

void readF24Payments(TQxSQLConnection &conn, int year, ReconcileInput &input)
{
    NamedQuery q;
    try {
        TQmrQueryText::instance().SetQuerySQL(QStringLiteral("QRY_JEX_QUADRATURA_F24"), q, 0, QStringLiteral("SELECT"));
        q.setParam(QStringLiteral("ANNO"), year);
        QSqlQuery rows = runNamed(conn, q);
        while (rows.next()) {
            F24Payment p;
            p.sezione = rows.value(0).toString().trimmed().toUpper();
            p.codice = rows.value(1).toString().trimmed().toUpper();
            p.mese = rows.value(2).toInt();
            p.anno = rows.value(3).toInt();
            p.data = rows.value(4).toDate();
            p.importo = centsOfDouble(rows.value(5).toDouble());
            p.credito = centsOfDouble(rows.value(6).toDouble());
            p.interessi = centsOfDouble(rows.value(7).toDouble());
            input.f24 << p;
        }
    } catch (const EQxError &e) {
        throw EQxError(QStringLiteral("Lettura dei versamenti F24: %1\r\nUltima operazione DB: QRY_JEX_QUADRATURA_F24")
                           .arg(e.message()));
    }
    input.f24Read = true;
}

ReconcileJob::ReconcileJob(SectionStore &store, TQxSQLConnection *conn, ReconcileMap map)
    : m_store(store), m_conn(conn), m_map(std::move(map))
{
}

const ReconcileReport &ReconcileJob::run()
{
    ReconcileInput input;
    input.year = m_store.year();
    messages().progress(QStringLiteral("Quadratura: lettura delle certificazioni"), 0, 3);
    readCertifications(m_store, m_map, input);
    messages().progress(QStringLiteral("Quadratura: lettura dei prospetti ST e SV"), 1, 3);
    readSummaryTables(m_store, input);
    messages().progress(QStringLiteral("Quadratura: lettura dei versamenti F24"), 2, 3);
    if (m_conn)
        readF24Payments(*m_conn, input.year, input);
    m_report = reconcile(input, m_map);
    messages().progress(QStringLiteral("Quadratura: confronto terminato"), 3, 3);
    return m_report;
}

} // namespace jex
