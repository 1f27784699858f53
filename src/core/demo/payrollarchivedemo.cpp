#include "demo/payrollarchivedemo.h"

#include "demo/codicefiscale.h"
#include "demo/demoschool.h"
#include "imports/autonomi/autonomiimport.h"
#include "imports/cud/payrollarchive.h"

#include "database/sqlconnection.h"

#include <QSet>
#include <cmath>

namespace jex::demo {
namespace {

constexpr int kYearId = 2024 - 1969;
constexpr int kAssistance = 4; // payroll group of the 730 items
constexpr int kRegionUmbria = 19;
// The payroll's own legal positions and kinds of appointment of the demo.
constexpr int kPermanent = 1, kFixedTerm = 2;

QString str(ClientDataSet &ds, const char *field)
{
    const Field *f = ds.findField(QString::fromLatin1(field));
    return f ? f->asString().trimmed() : QString();
}

double amount(ClientDataSet &ds, const char *field)
{
    const Field *f = ds.findField(QString::fromLatin1(field));
    return f ? f->asFloat() : 0.0;
}

double cents(double v) { return std::round(v * 100.0) / 100.0; }

// The 730 items of the n-th employee with assistance: withholdings in
// instalments from July, refunds in July, and for some the balance of the
// regional surtax.
void assistance(PayrollArchiveWriter &w, qint64 acom, int n)
{
    switch (n % 4) {
    case 0: // IRPEF due by declarant and spouse, regional and municipal surtaxes
        w.item(acom, 7, 10026, kAssistance, 120.00);
        w.item(acom, 7, 10039, kAssistance, 30.00);
        w.item(acom, 7, 10028, kAssistance, 45.60);
        w.item(acom, 7, 10030, kAssistance, 18.20);
        break;
    case 1: // refunds
        w.item(acom, 7, 10027, kAssistance, 250.00 + 10 * n);
        w.item(acom, 7, 10029, kAssistance, 12.40);
        break;
    case 2: // IRPEF due in five instalments, and the advance of the municipal surtax
        for (int m = 7; m <= 11; ++m)
            w.item(acom, m, 10026, kAssistance, 64.35);
        w.item(acom, 7, 10036, kAssistance, 21.00);
        break;
    default: // the first IRPEF advance, with the balance of the regional surtax in November
        w.item(acom, 7, 10032, kAssistance, 180.00);
        w.item(acom, 11, 10033, kAssistance, 80.00);
        w.item(acom, 11, 10046, kAssistance, 15.00);
        break;
    }
}

// A child of the employee, with a codice fiscale that exists in form.
QString childCode(const QString &surname, const char *name, const QDate &birth, bool female)
{
    return personFiscalCode(surname, QString::fromLatin1(name), birth, female, QStringLiteral("G478"));
}

} // namespace

void seedPayrollArchiveDemo(TQxSQLConnection &conn, const DemoSchool &school)
{
    PayrollArchiveWriter w(conn);
    w.setGrouped(true);
    ClientDataSet &cud = school.table(QStringLiteral("TCUD_DATICUD"));
    ClientDataSet &ase = school.table(QStringLiteral("TASE_AUTSOMMEEROGATE"));
    QSet<QString> selfEmployed;
    for (ase.first(); !ase.eof(); ase.next())
        selfEmployed.insert(str(ase, "SCUDCODFIS"));

    int employee = 0, withAssistance = 0, withArrears = 0, withDeductions = 0;
    for (cud.first(); !cud.eof(); cud.next()) {
        const QString cf = str(cud, "SCUDCODFIS");
        w.removePerson(cf);
        ArchivePerson p;
        p.codFis = cf;
        p.cognome = str(cud, "SCUDCOGNOME");
        p.nome = str(cud, "SCUDNOME");
        p.sesso = str(cud, "SCUDSEX");
        p.nascita = cud.fieldByName(QStringLiteral("DCUDDATANAS"))->asDate();
        p.comuneNascita = str(cud, "SCUDCOMNAS");
        p.provNascita = str(cud, "SCUDPROVNAS");
        p.indirizzo = str(cud, "SCUDINDIRIZZO");
        p.comune = str(cud, "SCUDCOMUNE");
        p.prov = str(cud, "SCUDPROVINCIA");
        p.codComune = str(cud, "SCUDCODCOM");
        const qint64 ana = w.person(p);
        if (selfEmployed.contains(cf))
            continue;

        const int index = employee++;
        const bool permanent = str(cud, "SCUDDETINDET") == QLatin1String("1");
        const qint64 acom = w.position(ana, kYearId, permanent ? kPermanent : kFixedTerm,
                                       permanent ? kPermanent : kFixedTerm, kRegionUmbria,
                                       cud.fieldByName(QStringLiteral("DCUDDATINIRL"))->asDate(),
                                       cud.fieldByName(QStringLiteral("DCUDDATFINRL"))->asDate());
        if (permanent && index % 3 == 1)
            assistance(w, acom, withAssistance++);

        // The employees whose certifications carry separately taxed arrears:
        // their history holds the same amounts, in one year (2022) or split
        // over two (2022 and 2023), taxed at 23%.
        const double certified = amount(cud, "FCUDTCOMPARRDETR");
        if (certified > 0) {
            const int years = 1 + withArrears++ % 2;
            const double first = years == 1 ? certified : cents(certified * 0.6);
            const double parts[] = {first, cents(certified - first)};
            const double withheld = amount(cud, "FCUDTOTRITOPER");
            const double firstTax = years == 1 ? withheld : cents(withheld * 0.6);
            const double taxes[] = {firstTax, cents(withheld - firstTax)};
            for (int y = 0; y < years; ++y)
                w.arrears(ana, kYearId, 2022 + y, 0, parts[y], taxes[y], 0, 23.0);
        }

        // Deduction settings of the employees with family deductions; for
        // those whose certification lists no dependants they are what the
        // import brings.
        if (amount(cud, "FCUDDEDUZFAM") <= 0)
            continue;
        const int n = withDeductions++;
        ArchiveDeductions d;
        d.children = 1 + n % 2;
        if (n % 3 == 0) {
            d.spouse = true;
            d.spouseCodFis = personFiscalCode(QStringLiteral("Verdi"), QStringLiteral("Paola"), QDate(1980, 3, 12), true,
                                              QStringLiteral("G478"));
        }
        const qint64 adet = w.deductions(ana, kYearId, d);
        const QString surname = str(cud, "SCUDCOGNOME");
        ArchiveChildPeriod first;
        first.codFis = childCode(surname, "Giulia", QDate(2001, 5, 4 + n % 20), true);
        first.percent = 100;
        if (n % 4 == 1) {
            // Two periods of one child: dependent to August, then again from
            // July at the other parent's end of custody, twelve months in all.
            first.toMonth = 8;
            w.childPeriod(adet, first);
            first.fromMonth = 7;
            first.toMonth = 12;
        }
        w.childPeriod(adet, first);
        if (d.children > 1) {
            ArchiveChildPeriod second;
            second.ordine = 2;
            second.codFis = childCode(surname, "Luca", QDate(2022, 2, 1 + n % 25), false);
            second.fromMonth = 1;
            second.monthsUnder3 = 12;
            second.percent = 50;
            w.childPeriod(adet, second);
        }
    }
    w.flush();
}

namespace {

// Payroll items of the demo's payments.
constexpr int kFee = 1;         // the fee, taxed under income code 11
constexpr int kContribution = 2; // separate-management contribution, code 3
constexpr int kNotSubject = 60; // a sum the tax does not reach
// Categories of the demo's payees ("Categoria" in the selection window).
constexpr int kCatExperts = 20, kCatFirms = 21;

struct Extra
{
    const char *cognome, *nome;
    QDate nascita;
    bool female;
    const char *luogo, *comuneNascita, *statoNascita, *provNascita;
    const char *indirizzo, *comune, *prov;
    int tno, cat;
};

} // namespace

void seedAutonomiArchiveDemo(TQxSQLConnection &conn, const DemoSchool &school)
{
    PayrollArchiveWriter w(conn);
    w.lookup(QStringLiteral("TTNO_TIPONOMINA"), autonomi::kTnoEstranei, QStringLiteral("EST"),
             QStringLiteral("Esperti estranei all'amministrazione"));
    w.lookup(QStringLiteral("TTNO_TIPONOMINA"), autonomi::kTnoLibProf, QStringLiteral("LP"),
             QStringLiteral("Liberi professionisti"));
    w.lookup(QStringLiteral("TTNO_TIPONOMINA"), autonomi::kTnoAutoOcc, QStringLiteral("AO"),
             QStringLiteral("Lavoro autonomo occasionale"));
    w.lookup(QStringLiteral("TCAT_CATEGORIA"), kCatExperts, QStringLiteral("ESP"), QStringLiteral("Esperti esterni"));
    w.lookup(QStringLiteral("TCAT_CATEGORIA"), kCatFirms, QStringLiteral("SOC"), QStringLiteral("Società e studi"));

    // The self-employed of the certifications: their payment of the year
    // under reason "A", as their certification has it.
    ClientDataSet &ase = school.table(QStringLiteral("TASE_AUTSOMMEEROGATE"));
    int n = 0;
    for (ase.first(); !ase.eof(); ase.next(), ++n) {
        const QString cf = str(ase, "SCUDCODFIS");
        const QVariant ana = conn.scalar(QStringLiteral("SELECT IANAID FROM TANA_ANAGRAFICA WHERE SANACODFISCALE = :CF"),
                                         {{QStringLiteral("CF"), cf}});
        if (!ana.isValid() || ana.isNull())
            continue; // the archive of the certifications was not seeded
        conn.exec(QStringLiteral("DELETE FROM TREGV_VOCIREG WHERE IREGSID IN (SELECT r.IREGSID FROM TREGS_REGISTRAZIONI r "
                                 "INNER JOIN TACOM_ANAGCOMPENSI a ON a.IACOMID = r.IACOMID WHERE a.IANAID = :ANA)"),
                  {{QStringLiteral("ANA"), ana}});
        conn.exec(QStringLiteral("DELETE FROM TREGS_REGISTRAZIONI WHERE IACOMID IN (SELECT IACOMID FROM "
                                 "TACOM_ANAGCOMPENSI WHERE IANAID = :ANA)"),
                  {{QStringLiteral("ANA"), ana}});
        conn.exec(QStringLiteral("DELETE FROM TACOM_ANAGCOMPENSI WHERE IANAID = :ANA"), {{QStringLiteral("ANA"), ana}});
        const int tno = n % 2 == 0 ? autonomi::kTnoEstranei : autonomi::kTnoLibProf;
        const qint64 acom = w.position(ana.toLongLong(), kYearId, 0, tno, 0);
        w.setCategory(acom, kCatExperts);
        const qint64 reg = w.registration(acom, str(ase, "SCUDCAUSALE").isEmpty() ? QStringLiteral("A")
                                                                                   : str(ase, "SCUDCAUSALE"),
                                          QDate(2024, 6, 28));
        w.registrationItem(reg, kFee, autonomi::kRiceCodIrpefAm, amount(ase, "FCUDIMPONIBILE"),
                           amount(ase, "FCUDRITTITACC"));
    }

    // Payees that only the archive knows.
    const Extra extras[] = {
        {"Marchetti", "Elisa", QDate(1988, 9, 14), true, "G478", "PERUGIA", "", "PG", "VIA DEI PRIORI 12", "PERUGIA", "PG",
         autonomi::kTnoAutoOcc, kCatExperts},
        {"Dubois", "Claire", QDate(1979, 2, 3), true, "Z110", "", "FRANCIA", "EE", "12 RUE DES ECOLES", "LIONE", "EE",
         autonomi::kTnoLibProf, kCatExperts},
        {"Fabbri", "Stefano", QDate(1966, 11, 21), false, "A475", "ASSISI", "", "PG", "VIA SAN RUFINO 4", "ASSISI", "PG",
         autonomi::kTnoLibProf, kCatExperts},
        {"Formazione Umbra Srl", "", QDate(), false, "", "", "", "", "VIA MARIO ANGELONI 80", "PERUGIA", "PG",
         autonomi::kTnoLibProf, kCatFirms},
    };
    int i = 0;
    for (const Extra &e : extras) {
        ArchivePerson p;
        const bool firm = !e.nascita.isValid();
        if (firm) {
            const QString first10 = QStringLiteral("0312345678");
            p.codFis = first10 + QString::number(organisationCheckDigit(first10));
            p.cognome = QString::fromUtf8(e.cognome).toUpper();
        } else {
            p.codFis = personFiscalCode(QString::fromUtf8(e.cognome), QString::fromUtf8(e.nome), e.nascita, e.female,
                                        QString::fromLatin1(e.luogo));
            p.cognome = QString::fromUtf8(e.cognome).toUpper();
            p.nome = QString::fromUtf8(e.nome).toUpper();
            p.sesso = e.female ? QStringLiteral("F") : QStringLiteral("M");
            p.nascita = e.nascita;
            p.comuneNascita = QString::fromUtf8(e.comuneNascita);
            p.statoNascita = QString::fromUtf8(e.statoNascita);
            p.provNascita = QString::fromUtf8(e.provNascita);
        }
        p.indirizzo = QString::fromUtf8(e.indirizzo);
        p.comune = QString::fromUtf8(e.comune);
        p.prov = QString::fromUtf8(e.prov);
        w.removePerson(p.codFis);
        const qint64 acom = w.position(w.person(p), kYearId, 0, e.tno, 0);
        w.setCategory(acom, e.cat);
        switch (i++) {
        case 0: { // occasional work: two payments under "M", one sum not subject to tax
            qint64 r = w.registration(acom, QStringLiteral("M"), QDate(2024, 4, 30));
            w.registrationItem(r, kFee, autonomi::kRiceCodIrpefAm, 900.00, 180.00);
            r = w.registration(acom, QStringLiteral("M"), QDate(2024, 11, 29));
            w.registrationItem(r, kFee, autonomi::kRiceCodIrpefAm, 450.00, 90.00);
            w.registrationItem(r, kNotSubject, 0, 120.00);
            break;
        }
        case 1: { // a lecturer resident abroad: final withholding under "P"
            const qint64 r = w.registration(acom, QStringLiteral("P"), QDate(2024, 5, 31));
            w.registrationItem(r, kFee, autonomi::kRiceCodIrpefAm, 2400.00, 720.00);
            break;
        }
        case 2: { // a professional: fee, contribution, reimbursed expenses, arrears of 2023
            qint64 r = w.registration(acom, QStringLiteral("A"), QDate(2024, 3, 15));
            w.registrationItem(r, kFee, autonomi::kRiceCodIrpefAm, 3200.00, 640.00);
            w.registrationItem(r, kContribution, 3, 0, 70.40, 140.80);
            w.registrationItem(r, autonomi::kVoceSpeseRimborsate, 0, 185.50);
            r = w.registration(acom, QStringLiteral("A"), QDate(2024, 9, 20));
            w.registrationItem(r, kFee, autonomi::kRiceCodIrpefTs, 600.00, 120.00);
            break;
        }
        default: { // the firm: one invoice under "A"
            const qint64 r = w.registration(acom, QStringLiteral("A"), QDate(2024, 10, 10));
            w.registrationItem(r, kFee, autonomi::kRiceCodIrpefAm, 5000.00, 1000.00);
            break;
        }
        }
    }
}

} // namespace jex::demo
