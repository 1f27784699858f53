#include "demo/f24payments.h"

#include "database/sqlconnection.h"

#include <QDate>

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
};

void insert(TQxSQLConnection &conn, const Payment &p, int anno)
{
    // Withholdings of a month are paid by the 16th of the next one.
    const QDate paid = QDate(anno, p.mese, 16).addMonths(1);
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

} // namespace

void seedF24Demo(TQxSQLConnection &conn, bool previousYearCase)
{
    const int anno = 2024;
    TQxTransaction tr(conn);
    tr.StartTransaction();
    conn.exec(QStringLiteral("DELETE FROM TF24_VERSAMENTI WHERE IF24ANNORIF = :ANNO"), {{QStringLiteral("ANNO"), anno}});

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
        insert(conn, p, anno);
    }
    // Experts for projects and courses, paid in most months.
    const double autonomi[12] = {620.00, 0, 1240.00, 410.00, 980.00, 1530.00, 0, 0, 760.00, 1120.00, 845.50, 1390.00};
    for (int m = 1; m <= 12; ++m)
        if (autonomi[m - 1] > 0)
            insert(conn, {"F", "1040", m, anno, autonomi[m - 1]}, anno);
    // Withholdings on occasional work paid through the public-body form.
    for (int m : {4, 9, 11})
        insert(conn, {"F", "104E", m, anno, 312.00}, anno);

    // Regional surtax: most of the staff lives in Lazio, a few in Campania.
    for (int m = 1; m <= 11; ++m) {
        insert(conn, {"R", "381E", m, anno, 1422.18 + 3.5 * m, 0, "08"}, anno);
        insert(conn, {"R", "381E", m, anno, 214.60, 0, "05"}, anno);
    }
    // Municipal surtax: balance over eleven months, advance from March.
    for (int m = 1; m <= 11; ++m) {
        insert(conn, {"EL", "384E", m, anno, 402.35, 0, nullptr, "H501"}, anno);
        insert(conn, {"EL", "384E", m, anno, 61.10, 0, nullptr, "F839"}, anno);
        if (m >= 3 && m <= 11) {
            insert(conn, {"EL", "385E", m, anno, 170.44, 0, nullptr, "H501"}, anno);
            insert(conn, {"EL", "385E", m, anno, 25.90, 0, nullptr, "F839"}, anno);
        }
    }
    // A transferred employee's municipal surtax of 2023, withheld in 2024.
    if (previousYearCase)
        insert(conn, {"EL", "384E", 2, anno - 1, 96.40, 0, nullptr, "L219"}, anno);
    tr.Commit();
}

} // namespace jex
