#include "demo/payrollarchivedemo.h"

#include "demo/codicefiscale.h"
#include "demo/demoschool.h"
#include "imports/cud/payrollarchive.h"

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

        // The employees whose records carry separately taxed arrears (every
        // seventh from the third, as the demo's records have them): one year,
        // 2022, or two, 2022 and 2023, taxed at 23%.
        if (index % 7 == 2) {
            const int n = withArrears++;
            for (int y = 0; y < 1 + n % 2; ++y) {
                const double imponibile = 420.0 + 137.35 * ((n + y) % 5);
                w.arrears(ana, kYearId, 2022 + y, 0, imponibile, cents(imponibile * 0.23), 0, 23.0);
            }
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
}

} // namespace jex::demo
