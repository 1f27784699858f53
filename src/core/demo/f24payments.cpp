#include "demo/f24payments.h"

#include "database/sqlconnection.h"

#include <QDate>
#include <QList>
#include <cmath>

namespace jex {

namespace {

struct Payment
{
    const char *sezione;
    const char *codice;
    int mese;
    int annoRit;
    double importo;
    double credito = 0;
    const char *regione = nullptr;
    const char *comune = nullptr;
    QDate paidOn = {}; // null: by the 16th of the next month
};

void insert(TQxSQLConnection &conn, const Payment &p, int anno)
{
    // Withholdings of a month are paid by the 16th of the next one.
    const QDate paid = p.paidOn.isValid() ? p.paidOn : QDate(anno, p.mese, 16).addMonths(1);
    conn.exec(QStringLiteral(
                  "INSERT INTO TF24_VERSAMENTI (SF24SEZIONE, SF24CODTRIBUTO, IF24MESERIF, IF24ANNORIF, IF24ANNORIT, "
                  "DF24DATAVERS, FF24IMPORTO, FF24CREDITO, FF24INTERESSI, SF24CODREGIONE, SF24CODCOMUNE, LF24RAVVEDIMENTO) "
                  "VALUES (:SEZ, :COD, :MESE, :ANNO, :ANNORIT, :DATA, :IMPORTO, :CREDITO, 0, :REG, :COM, 0)"),
              {{QStringLiteral("SEZ"), QString::fromLatin1(p.sezione)},
               {QStringLiteral("COD"), QString::fromLatin1(p.codice)},
               {QStringLiteral("MESE"), p.mese},
               {QStringLiteral("ANNO"), anno},
               {QStringLiteral("ANNORIT"), p.annoRit},
               {QStringLiteral("DATA"), paid},
               {QStringLiteral("IMPORTO"), p.importo},
               {QStringLiteral("CREDITO"), p.credito},
               {QStringLiteral("REG"), p.regione ? QVariant(QString::fromLatin1(p.regione)) : QVariant()},
               {QStringLiteral("COM"), p.comune ? QVariant(QString::fromLatin1(p.comune)) : QVariant()}});
}

// The demo year's payments, before any scaling.
QList<Payment> demoPayments(int anno, bool previousYearCase)
{
    QList<Payment> out;
    // Teachers' and staff salaries: December carries the thirteenth month;
    // July and August pay out the 730 refunds as credits set against the tax.
    const double irpef[12] = {18452.37, 18390.12, 18611.80, 18544.05, 18702.66, 19120.41,
                              18215.90, 17980.33, 18633.48, 18871.02, 18940.77, 34210.55};
    for (int m = 1; m <= 12; ++m) {
        Payment p{"F", "1001", m, anno, irpef[m - 1]};
        if (m == 7)
            p.credito = 2315.40;
        if (m == 8)
            p.credito = 986.25;
        p.importo -= p.credito;
        out << p;
    }
    // Experts for projects and courses, paid in most months.
    const double autonomi[12] = {620.00, 0, 1240.00, 410.00, 980.00, 1530.00, 0, 0, 760.00, 1120.00, 845.50, 1390.00};
    for (int m = 1; m <= 12; ++m)
        if (autonomi[m - 1] > 0)
            out << Payment{"F", "1040", m, anno, autonomi[m - 1]};
    // Withholdings on occasional work paid through the public-body form.
    for (int m : {4, 9, 11})
        out << Payment{"F", "104E", m, anno, 312.00};

    // Regional surtax: most of the staff lives in Lazio, a few in Campania.
    for (int m = 1; m <= 11; ++m) {
        out << Payment{"R", "381E", m, anno, 1422.18 + 3.5 * m, 0, "08"};
        out << Payment{"R", "381E", m, anno, 214.60, 0, "05"};
    }
    // Municipal surtax: balance over eleven months, advance from March.
    for (int m = 1; m <= 11; ++m) {
        out << Payment{"EL", "384E", m, anno, 402.35, 0, nullptr, "H501"};
        out << Payment{"EL", "384E", m, anno, 61.10, 0, nullptr, "F839"};
        if (m >= 3 && m <= 11) {
            out << Payment{"EL", "385E", m, anno, 170.44, 0, nullptr, "H501"};
            out << Payment{"EL", "385E", m, anno, 25.90, 0, nullptr, "F839"};
        }
    }
    // A transferred employee's municipal surtax of 2023, withheld in 2024.
    if (previousYearCase)
        out << Payment{"EL", "384E", 2, anno - 1, 96.40, 0, nullptr, "L219"};
    return out;
}

qint64 cents(double euros) { return qint64(std::llround(euros * 100.0)); }

// Shares `total` among the amounts in proportion to their weights, to the
// cent: the last one takes what rounding left over.
void scale(const QList<double *> &amounts, qint64 total)
{
    qint64 weights = 0;
    for (const double *a : amounts)
        weights += cents(*a);
    if (amounts.isEmpty() || weights == 0)
        return;
    qint64 given = 0;
    for (int i = 0; i < amounts.size(); ++i) {
        const qint64 share = i + 1 == amounts.size() ? total - given : cents(*amounts[i]) * total / weights;
        given += share;
        *amounts[i] = double(share) / 100.0;
    }
}

void writePayments(TQxSQLConnection &conn, const QList<Payment> &payments, int anno)
{
    TQxTransaction tr(conn);
    tr.StartTransaction();
    conn.exec(QStringLiteral("DELETE FROM TF24_VERSAMENTI WHERE IF24ANNORIF = :ANNO"), {{QStringLiteral("ANNO"), anno}});
    for (const Payment &p : payments)
        if (cents(p.importo) != 0 || cents(p.credito) != 0)
            insert(conn, p, anno);
    tr.Commit();
}

} // namespace

void seedF24Demo(TQxSQLConnection &conn, bool previousYearCase)
{
    const int anno = 2024;
    writePayments(conn, demoPayments(anno, previousYearCase), anno);
}

void seedF24Demo(TQxSQLConnection &conn, const F24DemoTotals &totals)
{
    const int anno = 2024;
    QList<Payment> payments = demoPayments(anno, false);
    // Withheld is what was paid plus the credits set against it; the credits
    // and the withholdings are scaled apart, the payment follows from both.
    for (Payment &p : payments)
        p.importo += p.credito;
    auto of = [&payments](std::initializer_list<const char *> codes, bool credits = false) {
        QList<double *> out;
        for (Payment &p : payments)
            for (const char *c : codes)
                if (qstrcmp(p.codice, c) == 0 && (!credits || p.credito != 0))
                    out << (credits ? &p.credito : &p.importo);
        return out;
    };
    scale(of({"1001"}), totals.irpefEmployees);
    scale(of({"1001"}, true), totals.refunds);
    scale(of({"1040", "104E"}), totals.irpefSelfEmployed);
    scale(of({"381E"}), totals.regional);
    scale(of({"384E"}), totals.municipalBalance);
    scale(of({"385E"}), totals.municipalAdvance);
    for (Payment &p : payments) {
        p.importo = double(cents(p.importo) - cents(p.credito)) / 100.0;
        if (qstrcmp(p.codice, "1040") == 0 && p.mese == 1)
            p.paidOn = QDate(anno - 1, 2, 16); // the wrong year typed in the archive
        if (qstrcmp(p.codice, "104E") == 0 && p.mese == 11)
            p.paidOn = QDate(anno, 10, 16); // a month too early
    }
    writePayments(conn, payments, anno);
}

} // namespace jex
