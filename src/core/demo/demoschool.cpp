#include "demo/demoschool.h"

#include "demo/codicefiscale.h"
#include "catalogue/catalogue.h"
#include "base/errors.h"
#include "base/money.h"
#include "database/sqlconnection.h"

#include <QSet>
#include <algorithm>
#include <random>

namespace jex::demo {

// ---------------------------------------------------------------- catalogue

DataSetFactory catalogueFactory()
{
    return [](const QString &table, ClientDataSet &ds) {
        const CatalogueTable *t = TableCatalogue::instance().table(QStringLiteral("jey"), table);
        if (!t)
            throw EQxError(QStringLiteral("Tabella %1 non presente nel catalogo.").arg(table));
        TableCatalogue::makeDataSet(*t, ds);
    };
}

QStringList certificationTables()
{
    return {QStringLiteral("TCUS_DATISOST"),      QStringLiteral("TCUD_DATICUD"),
            QStringLiteral("TCUDI_INPS"),         QStringLiteral("TCUDN_INPDAP"),
            QStringLiteral("TCUDC_CONFAMCARICO"), QStringLiteral("TASE_AUTSOMMEEROGATE"),
            QStringLiteral("TCUIN_INAIL")};
}

void setField(ClientDataSet &ds, const char *field, const QVariant &value)
{
    if (Field *f = ds.findField(QString::fromLatin1(field)))
        f->setValue(value);
}

// ---------------------------------------------------------------- generator

namespace {

struct Place
{
    const char *comune, *prov, *code, *cap;
};

// Real municipalities with their cadastral codes, so that the codici
// fiscali carry a place that exists.
const Place kPlaces[] = {
    {"PERUGIA", "PG", "G478", "06121"},  {"ROMA", "RM", "H501", "00185"},    {"MILANO", "MI", "F205", "20121"},
    {"NAPOLI", "NA", "F839", "80133"},   {"TORINO", "TO", "L219", "10121"},  {"PALERMO", "PA", "G273", "90133"},
    {"GENOVA", "GE", "D969", "16121"},   {"BOLOGNA", "BO", "A944", "40121"}, {"FIRENZE", "FI", "D612", "50122"},
    {"BARI", "BA", "A662", "70121"},     {"CATANIA", "CT", "C351", "95121"}, {"VENEZIA", "VE", "L736", "30121"},
    {"VERONA", "VR", "L781", "37121"},   {"MESSINA", "ME", "F158", "98122"}, {"PADOVA", "PD", "G224", "35121"},
    {"TRIESTE", "TS", "L424", "34121"},  {"BRESCIA", "BS", "B157", "25121"}, {"PARMA", "PR", "G337", "43121"},
    {"CAGLIARI", "CA", "B354", "09124"}, {"PESCARA", "PE", "G482", "65121"},
};
constexpr int kSeatPlace = 0;    // the school is in Perugia
constexpr int kLocalPlaces = 1;  // most staff live there too

const char *const kSurnames[] = {
    "Rossi", "Russo", "Ferrari", "Esposito", "Bianchi", "Romano", "Colombo", "Ricci", "Marino", "Greco",
    "Bruno", "Gallo", "Conti", "De Luca", "Mancini", "Costa", "Giordano", "Rizzo", "Lombardi", "Moretti",
    "Barbieri", "Fontana", "Santoro", "Mariani", "Rinaldi", "Caruso", "Ferrara", "Galli", "Martini", "Leone",
    "Longo", "Gentile", "Martinelli", "Vitale", "Lombardo", "Serra", "Coppola", "De Santis", "D'Angelo", "Marchetti",
    "Parisi", "Villa", "Conte", "Ferraro", "Ferri", "Fabbri", "Bianco", "Marini", "Grasso", "Valentini",
    "Messina", "Sala", "De Angelis", "Gatti", "Pellegrini", "Palumbo", "Sanna", "Farina", "Rizzi", "Monti",
    "Cattaneo", "Morelli", "Amato", "Silvestri", "Mazza", "Testa", "Grassi", "Pellegrino", "Carbone", "Giuliani",
    "Benedetti", "Barone", "Rossetti", "Caputo", "Montanari", "Guerra", "Palmieri", "Bernardi", "Martino", "Fiore",
    "Orlando", "Ferretti", "Bellini", "Basile", "Riva", "Donati", "Piras", "Vitali", "Battaglia", "Sartori"};
const char *const kMaleNames[] = {
    "Marco", "Andrea", "Giuseppe", "Luca", "Francesco", "Alessandro", "Giovanni", "Roberto", "Stefano", "Paolo",
    "Antonio", "Massimo", "Davide", "Matteo", "Simone", "Fabio", "Claudio", "Daniele", "Riccardo", "Lorenzo",
    "Mario", "Vincenzo", "Salvatore", "Pietro", "Michele", "Enrico", "Federico", "Alberto", "Gianluca", "Emanuele",
    "Nicola", "Carlo", "Franco", "Sergio", "Tommaso", "Gabriele", "Filippo", "Giorgio", "Luigi", "Raffaele"};
const char *const kFemaleNames[] = {
    "Maria", "Anna", "Giulia", "Francesca", "Chiara", "Sara", "Laura", "Valentina", "Elena", "Alessandra",
    "Federica", "Silvia", "Paola", "Martina", "Roberta", "Elisa", "Barbara", "Cristina", "Simona", "Monica",
    "Claudia", "Daniela", "Giovanna", "Antonella", "Michela", "Serena", "Ilaria", "Manuela", "Lucia", "Rosa",
    "Angela", "Teresa", "Caterina", "Beatrice", "Alice", "Marta", "Veronica", "Patrizia", "Stefania", "Irene"};
const char *const kStreets[] = {"Via Roma", "Via Garibaldi", "Corso Vannucci", "Via dei Tigli", "Via Mazzini",
                                "Via XX Settembre", "Via Cavour", "Via della Pace", "Viale Europa", "Via dei Mille",
                                "Via Marconi", "Via San Francesco", "Via delle Rose", "Via Dante Alighieri"};
const char *const kNotes[] = {
    "Rapporto di lavoro a tempo determinato con incarico annuale.",
    "Conguaglio effettuato sulla retribuzione del mese di dicembre.",
    "Nel periodo sono stati corrisposti arretrati di anni precedenti assoggettati a tassazione ordinaria.",
    "Detrazioni per familiari a carico riconosciute su richiesta del dipendente.",
    "Servizio prestato in part-time verticale al 50%.",
};
const char *const kCourses[] = {"Esperto esterno per il corso di teatro", "Esperto madrelingua inglese",
                                "Formatore per il corso sulla sicurezza", "Psicologo per lo sportello d'ascolto",
                                "Esperto per il laboratorio di robotica"};

using Cents = qint64;

Cents percentOf(Cents amount, double percent)
{
    return qRound64(double(amount) * percent / 100.0);
}

// IRPEF 2024: 23% up to 28,000, 35% up to 50,000, 43% above.
Cents grossTax(Cents income)
{
    const double r = double(income) / 100.0;
    double tax = std::min(r, 28000.0) * 0.23;
    if (r > 28000)
        tax += (std::min(r, 50000.0) - 28000) * 0.35;
    if (r > 50000)
        tax += (r - 50000) * 0.43;
    return qRound64(tax * 100);
}

// Employment deduction of 2024, in proportion to the days of work.
Cents employmentDeduction(Cents income, int days)
{
    const double r = double(income) / 100.0;
    double d;
    if (r <= 15000)
        d = 1955;
    else if (r <= 28000)
        d = 1910 + 1190 * (28000 - r) / 13000;
    else if (r <= 50000)
        d = 1910 * (50000 - r) / 22000;
    else
        d = 0;
    if (r > 25000 && r <= 35000)
        d += 65;
    d = d * days / 365.0;
    if (r <= 15000)
        d = std::max(d, 690.0);
    return qRound64(d * 100);
}

// Spouse deduction of 2024 (the flat band of the middle incomes).
Cents spouseDeduction(Cents income)
{
    const double r = double(income) / 100.0;
    double d;
    if (r <= 15000)
        d = 800 - 110 * r / 15000;
    else if (r <= 40000)
        d = 690;
    else if (r <= 80000)
        d = 690 * (80000 - r) / 40000;
    else
        d = 0;
    return qRound64(d * 100);
}

// Child of 21 or more: 950 scaled by (95,000 - income) / 95,000.
Cents childDeduction(Cents income)
{
    const double r = double(income) / 100.0;
    return r >= 95000 ? 0 : qRound64(950 * (95000 - r) / 95000 * 100);
}

class Gen
{
public:
    explicit Gen(unsigned seed) : m_rng(seed) {}
    int range(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    bool chance(int percent) { return range(1, 100) <= percent; }
    template<size_t N> const char *pick(const char *const (&a)[N]) { return a[size_t(range(0, int(N) - 1))]; }
    QDate date(int fromYear, int toYear)
    {
        const QDate a(fromYear, 1, 1), b(toYear, 12, 31);
        return a.addDays(range(0, int(a.daysTo(b))));
    }

private:
    std::mt19937 m_rng;
};

void setMoney(ClientDataSet &ds, const char *field, Cents cents)
{
    setField(ds, field, double(cents) / 100.0);
}

struct Person
{
    QString cognome, nome, codFis, sesso, comuneNascita, provNascita;
    QDate nascita;
    int place = 0;
};

class Builder
{
public:
    Builder(DemoSchool &s) : school(s), gen(DemoSchool::kSeed) {}

    DemoSchool &school;
    Gen gen;
    QSet<QString> usedCodes;

    // A person with a codice fiscale not used yet in the school.
    Person person(int minYear, int maxYear, int sexHint = -1, const QString &surname = {})
    {
        for (;;) {
            Person p;
            const bool female = sexHint < 0 ? gen.chance(65) : sexHint == 1; // schools: mostly women
            p.sesso = female ? QStringLiteral("F") : QStringLiteral("M");
            p.cognome = surname.isEmpty() ? QString::fromLatin1(gen.pick(kSurnames)) : surname;
            p.nome = QString::fromLatin1(female ? gen.pick(kFemaleNames) : gen.pick(kMaleNames));
            p.nascita = gen.date(minYear, maxYear);
            p.place = gen.chance(55) ? kSeatPlace : gen.range(kLocalPlaces, int(std::size(kPlaces)) - 1);
            p.comuneNascita = QString::fromLatin1(kPlaces[p.place].comune);
            p.provNascita = QString::fromLatin1(kPlaces[p.place].prov);
            p.codFis = personFiscalCode(p.cognome, p.nome, p.nascita, female, QString::fromLatin1(kPlaces[p.place].code));
            if (!usedCodes.contains(p.codFis)) {
                usedCodes.insert(p.codFis);
                return p;
            }
        }
    }

    QString address() { return QStringLiteral("%1, %2").arg(QString::fromLatin1(gen.pick(kStreets))).arg(gen.range(1, 120)); }

    void seat()
    {
        Seat &s = school.seat;
        // Tax codes of public schools start with 8 or 9; the rest is ours.
        const QString first10 = QStringLiteral("9400777054");
        s.codFis = first10 + QString::number(organisationCheckDigit(first10));
        s.denom = QStringLiteral("ISTITUTO COMPRENSIVO STATALE \"VIA DEI TIGLI\"");
        s.codMecc = QStringLiteral("PGIC87700T");
        s.indirizzo = QStringLiteral("Via dei Tigli, 12");
        s.cap = QStringLiteral("06121");
        s.comune = QStringLiteral("PERUGIA");
        s.prov = QStringLiteral("PG");
        s.codCom = QStringLiteral("G478");
        s.tel = QStringLiteral("0755550123");
        s.email = QStringLiteral("pgic87700t@istruzione.it");
        s.ateco = QStringLiteral("852000");

        const Person d = person(1962, 1975);
        school.dirigente = {d.codFis, d.cognome, d.nome, d.sesso, d.comuneNascita, d.provNascita, d.nascita};
    }

    void agent()
    {
        ClientDataSet &ds = school.table(QStringLiteral("TCUS_DATISOST"));
        const Seat &s = school.seat;
        const Representative &r = school.dirigente;
        ds.append();
        setField(ds, "SSOSCODFIS", s.codFis);
        setField(ds, "SSOSDENOM", s.denom);
        setField(ds, "SSOSCOMUNE", s.comune);
        setField(ds, "SSOSPROV", s.prov);
        setField(ds, "SSOSCAP", s.cap);
        setField(ds, "SSOSINDIRIZZO", s.indirizzo);
        setField(ds, "SSOSEMAIL", s.email);
        setField(ds, "SSOSCODATTIVITA", s.ateco);
        setField(ds, "SSOSCFDICASTERO", DemoSchool::kMinistryCode);
        setField(ds, "SSOSTEL", s.tel);
        setField(ds, "SSOSCODMECC", s.codMecc);
        setField(ds, "SCARCODICE", QStringLiteral("1")); // legal representative
        setField(ds, "SSOSCFRAPPR", r.codFis);
        setField(ds, "SSOSCOGNRAPPR", r.cognome.toUpper());
        setField(ds, "SSOSNOMERAPPR", r.nome.toUpper());
        setField(ds, "SSOSSESSO", r.sesso);
        setField(ds, "DSOSDTNASRAPPR", r.nascita);
        setField(ds, "SSOSCOMNASRAPPR", r.comuneNascita);
        setField(ds, "SSOSPROVNASRAPPR", r.provNascita);
        ds.post();
    }

    void certification(const Person &p, const QString &mese)
    {
        ClientDataSet &cud = school.table(QStringLiteral("TCUD_DATICUD"));
        const Place &home = kPlaces[gen.chance(80) ? kSeatPlace : gen.range(kLocalPlaces, int(std::size(kPlaces)) - 1)];
        cud.append();
        setField(cud, "SCUDCODFIS", p.codFis);
        setField(cud, "SCUDMESE", mese);
        setField(cud, "SCUDCOGNOME", p.cognome.toUpper());
        setField(cud, "SCUDNOME", p.nome.toUpper());
        setField(cud, "SCUDSEX", p.sesso);
        setField(cud, "DCUDDATANAS", p.nascita);
        setField(cud, "SCUDCOMNAS", p.comuneNascita);
        setField(cud, "SCUDPROVNAS", p.provNascita);
        setField(cud, "SCUDCOMUNE", QString::fromLatin1(home.comune));
        setField(cud, "SCUDPROVINCIA", QString::fromLatin1(home.prov));
        setField(cud, "SCUDCODCOM", QString::fromLatin1(home.code));
        setField(cud, "SCUDINDIRIZZO", address());
        // Fiscal domicile at 1 January 2024 and 2025: the residence.
        for (const char *f : {"SCUDDFCOMUNEPRECC", "SCUDDFCOMUNE"})
            setField(cud, f, QString::fromLatin1(home.comune));
        for (const char *f : {"SCUDDFPROVPRECC", "SCUDDFPROV"})
            setField(cud, f, QString::fromLatin1(home.prov));
        for (const char *f : {"SCUDDFCODCOMPRECC", "SCUDDFCODCOM"})
            setField(cud, f, QString::fromLatin1(home.code));
    }

    void employee(int index)
    {
        const Person p = person(1961, 1998);
        const QString mese = QStringLiteral("12");
        certification(p, mese);
        ClientDataSet &cud = school.table(QStringLiteral("TCUD_DATICUD"));

        // A third of the staff are supply teachers hired from September.
        const bool permanent = gen.chance(68);
        QDate start(2024, 1, 1), end(2024, 12, 31);
        if (!permanent) {
            start = QDate(2024, 9, gen.range(1, 16));
            end = gen.chance(50) ? QDate(2024, 12, 31) : QDate(2024, 6, 30);
            if (end < start) // June end: the contract of the previous school year
                start = QDate(2024, 1, 1);
        }
        const int days = std::min(365, int(start.daysTo(end)) + 1);
        const Cents yearly = Cents(gen.range(19000, 46000)) * 100 + gen.range(0, 99);
        const Cents income = qRound64(double(yearly) * days / 365.0);

        // Dependants decide the family deductions.
        const bool married = gen.chance(45);
        const int adultChildren = gen.chance(30) ? gen.range(1, 2) : 0;
        const Cents famDeduction = (married ? spouseDeduction(income) : 0) + adultChildren * childDeduction(income);

        const Cents lorda = grossTax(income);
        const Cents detLav = employmentDeduction(income, days);
        const Cents totDetr = std::min(lorda, detLav + famDeduction);
        const Cents irpef = lorda - totDetr;
        const Cents addReg = percentOf(income, 1.73);     // Umbria, first bracket
        const Cents addCom = percentOf(income, 0.8);      // Perugia
        const Cents addComAcc = percentOf(addCom, 30.0);  // advance on 2025, withheld in 2024

        setMoney(cud, "FCUDREDDDETR", income);
        setMoney(cud, "FCUDIMPONPTO1", income);
        setMoney(cud, "FCUDIMPOLORDA", lorda);
        setMoney(cud, "FCUDDETLAVDIPPEN", std::min(lorda, detLav));
        setMoney(cud, "FCUDDEDUZFAM", totDetr - std::min(lorda, detLav));
        setMoney(cud, "FCUDTOTDETR", totDetr);
        setMoney(cud, "FCUDRITIRPEF", irpef);
        setMoney(cud, "FCUDADDREGIRPEF", addReg);
        setMoney(cud, "FCUDADDCOMSA", addCom);
        setMoney(cud, "FCUDADDCOMACC", addComAcc);
        setField(cud, "SCUDDETINDET", permanent ? QStringLiteral("1") : QStringLiteral("2"));
        setField(cud, "DCUDDATINIRL", start);
        setField(cud, "DCUDDATFINRL", end);
        setField(cud, "ICUDPERIODOLAV", days);
        setField(cud, "LCUDCONGUAGLIO", QStringLiteral("X"));
        if (gen.chance(25))
            setField(cud, "SCUDANNOTAZIONI", QString::fromLatin1(gen.pick(kNotes)));
        // Arrears of earlier years, taxed separately, for one in seven.
        if (index % 7 == 2) {
            const Cents arrears = 42000 + 13735 * ((index / 7) % 5);
            setMoney(cud, "FCUDTCOMPARRDETR", arrears);
            setMoney(cud, "FCUDTOTRITOPER", percentOf(arrears, 23.0));
        }
        // The second employee changed payroll office in the summer: a first
        // certification up to June, then the comprehensive one of the year.
        const bool comprehensive = index == 1;
        if (comprehensive)
            setField(cud, "LCUDCOMPRENSIVO", QStringLiteral("X"));
        cud.post();
        if (comprehensive)
            earlierCertification(cud);

        // Public-sector pension and end-of-service contributions.
        ClientDataSet &inpdap = school.table(QStringLiteral("TCUDN_INPDAP"));
        inpdap.append();
        setField(inpdap, "SCUDCODFIS", p.codFis);
        setField(inpdap, "SCUDMESE", mese);
        setField(inpdap, "SCUDCODFISAMMNE", school.seat.codFis);
        setField(inpdap, "ICUDANNORIF", 2024);
        setField(inpdap, "SCUDGESASS_1", QStringLiteral("1"));
        setField(inpdap, "SCUDGESASS_2", permanent ? QStringLiteral("2") : QStringLiteral("7"));
        setField(inpdap, "SCUDGESASS_3", QStringLiteral("9"));
        setField(inpdap, "SCUDCODCOMPARTO", QStringLiteral("SCUOLA"));
        setField(inpdap, "SCUDQUALIFICA", index % 4 == 3 ? QStringLiteral("ATA") : QStringLiteral("DOCENTE"));
        setMoney(inpdap, "FCUD_DMA_IMPPENS", income);
        setMoney(inpdap, "FCUD_DMA_CONPENS", percentOf(income, 33.0));
        if (permanent) {
            setMoney(inpdap, "FCUD_DMA_IMPTFS", percentOf(income, 80.0));
            setMoney(inpdap, "FCUD_DMA_CONTFS", percentOf(percentOf(income, 80.0), 9.6));
        } else {
            setMoney(inpdap, "FCUD_DMA_IMPTFR", income);
            setMoney(inpdap, "FCUD_DMA_CONTFR", percentOf(income, 6.91));
        }
        setMoney(inpdap, "FCUD_DMA_IMPCREDITO", income);
        setMoney(inpdap, "FCUD_DMA_CONCREDITO", percentOf(income, 0.35));
        setMoney(inpdap, "FCUD_DMA_IMPENPDEP", income);
        setMoney(inpdap, "FCUD_DMA_CONENPDEDP", percentOf(income, 0.09));
        markMonths(inpdap, start, end, false);
        inpdap.post();

        // Supply staff paid through the treasury keep an INPS position too.
        if (!permanent && gen.chance(40)) {
            ClientDataSet &inps = school.table(QStringLiteral("TCUDI_INPS"));
            inps.append();
            setField(inps, "SCUDCODFIS", p.codFis);
            setField(inps, "SCUDMESE", mese);
            setField(inps, "SCUDMATRAZIENDA", QStringLiteral("5510077700"));
            setField(inps, "LCUDENTEINPS", QStringLiteral("X"));
            setMoney(inps, "FCUDIMPONIBILE", income);
            setMoney(inps, "FCUDCONTRIBTRATT", percentOf(income, 1.61));
            markMonths(inps, start, end, true);
            inps.post();
        }

        // Laboratory and auxiliary staff are insured with INAIL.
        if (index % 4 == 3 || gen.chance(10)) {
            ClientDataSet &inail = school.table(QStringLiteral("TCUIN_INAIL"));
            inail.append();
            setField(inail, "SCUDCODFIS", p.codFis);
            setField(inail, "SCUDMESE", mese);
            setField(inail, "SCUDQUALIFICA", index % 4 == 3 ? QStringLiteral("ATA") : QStringLiteral("DOC"));
            setField(inail, "SCUDPOSASSTERR", QStringLiteral("19077754/61"));
            setField(inail, "DCUDDTINIZIOINAIL", start);
            setField(inail, "DCUDDTFINEINAIL", end);
            setField(inail, "SCUDCODCOM", school.seat.codCom);
            inail.post();
        }

        ClientDataSet &fam = school.table(QStringLiteral("TCUDC_CONFAMCARICO"));
        if (married) {
            const Person s = person(1958, 1998, p.sesso == QLatin1String("F") ? 0 : 1);
            fam.append();
            setField(fam, "SCUDCODFIS", p.codFis);
            setField(fam, "SCUDMESE", mese);
            setField(fam, "LCUDRELPARCON", QStringLiteral("X"));
            setField(fam, "SCUDCODFISCON", s.codFis);
            setField(fam, "SCUDMESICARCON", QStringLiteral("12"));
            fam.post();
        }
        const int youngestParentYear = p.nascita.year() + 20;
        for (int c = 0; c < adultChildren; ++c) {
            // Children of 21 or more: the ones that still give a deduction.
            const int from = std::max(youngestParentYear, 1995);
            if (from > 2003)
                break;
            const Person ch = person(from, 2003, -1, p.cognome);
            fam.append();
            setField(fam, "SCUDCODFIS", p.codFis);
            setField(fam, "SCUDMESE", mese);
            if (c == 0) {
                setField(fam, "LCUDRELPARPRIFIGL", QStringLiteral("X"));
                setField(fam, "SCUDCODFISPRIFIGL", ch.codFis);
                setField(fam, "SCUDMESICARPRIFIGL", QStringLiteral("12"));
                setField(fam, "SCUDDETRSPETTPRIFIGL", QStringLiteral("100"));
            } else {
                setField(fam, "LCUDRELPARFIGL", QStringLiteral("X"));
                setField(fam, "SCUDCODFISFIGL", ch.codFis);
                setField(fam, "SCUDMESICARFIGL", QStringLiteral("12"));
                setMoney(fam, "FCUDDETRSPETTFIGL", childDeduction(income));
            }
            fam.post();
        }
    }

    void selfEmployed()
    {
        const Person p = person(1960, 1995);
        const QString mese = QStringLiteral("12");
        certification(p, mese);
        ClientDataSet &cud = school.table(QStringLiteral("TCUD_DATICUD"));
        setField(cud, "SCUDANNOTAZIONI", QString::fromLatin1(gen.pick(kCourses)));
        cud.post();

        ClientDataSet &ase = school.table(QStringLiteral("TASE_AUTSOMMEEROGATE"));
        const Cents gross = Cents(gen.range(6, 60)) * 10000; // 600 - 6,000 euro in round hundreds
        ase.append();
        setField(ase, "SCUDCODFIS", p.codFis);
        setField(ase, "SCUDMESE", mese);
        setField(ase, "SCUDCAUSALE", QStringLiteral("A"));
        setField(ase, "SCUDANNO", QStringLiteral("2024"));
        setMoney(ase, "FCUDAMMLORDO", gross);
        setMoney(ase, "FCUDIMPONIBILE", gross);
        setMoney(ase, "FCUDRITTITACC", percentOf(gross, 20.0));
        ase.post();
        ++school.selfEmployed;
    }

    // A copy of the current certification as the one of June: half the
    // amounts, no adjustment, replaced by the comprehensive one on import.
    static void earlierCertification(ClientDataSet &cud)
    {
        const QVariantList values = cud.recordValues();
        cud.append();
        for (int i = 0; i < cud.fieldCount(); ++i) {
            Field *f = cud.field(i);
            if (f->type() == FieldType::Currency && values[i].isValid())
                f->setAsMoney(TQmrCalcola::RoundCurr(2, qRound64(values[i].toDouble() * 10000) / 2));
            else
                f->setValue(values[i]);
        }
        auto money = [&cud](const char *f) { return cud.fieldByName(QString::fromLatin1(f))->asMoney(); };
        cud.fieldByName(QStringLiteral("FCUDRITIRPEF"))->setAsMoney(money("FCUDIMPOLORDA") - money("FCUDTOTDETR"));
        setField(cud, "SCUDMESE", QStringLiteral("06"));
        setField(cud, "DCUDDATFINRL", QDate(2024, 6, 30));
        setField(cud, "ICUDPERIODOLAV", 182);
        for (const char *f : {"LCUDCONGUAGLIO", "LCUDCOMPRENSIVO", "SCUDANNOTAZIONI", "FCUDTCOMPARRDETR", "FCUDTOTRITOPER"})
            setField(cud, f, QVariant());
        cud.post();
    }

    // Month flags "X" for the months of the relationship.
    void markMonths(ClientDataSet &ds, const QDate &start, const QDate &end, bool withSecondRow)
    {
        static const char *const months[] = {"GENNAIO", "FEBBRAIO", "MARZO",     "APRILE",  "MAGGIO",   "GIUGNO",
                                             "LUGLIO",  "AGOSTO",   "SETTEMBRE", "OTTOBRE", "NOVEMBRE", "DICEMBRE"};
        for (int m = 1; m <= 12; ++m) {
            if (QDate(2024, m, QDate(2024, m, 1).daysInMonth()) < start || QDate(2024, m, 1) > end)
                continue;
            setField(ds, (QByteArray("LCUD") + months[m - 1]).constData(), QStringLiteral("X"));
            if (withSecondRow)
                setField(ds, (QByteArray("LCUD") + months[m - 1] + "_C").constData(), QStringLiteral("X"));
        }
    }
};

} // namespace

void generate(DemoSchool &school, int employees, const DataSetFactory &factory)
{
    school.tables.clear();
    school.employees = employees;
    school.selfEmployed = 0;
    for (const QString &t : certificationTables()) {
        auto ds = std::make_unique<ClientDataSet>();
        factory(t, *ds);
        school.tables[t] = std::move(ds);
    }
    Builder b(school);
    b.seat();
    b.agent();
    for (int i = 0; i < employees; ++i)
        b.employee(i);
    const int freelancers = std::max(2, employees / 20);
    for (int i = 0; i < freelancers; ++i)
        b.selfEmployed();
}

InitResult installDemo(TQxSQLConnection &conn, int employees, const DataSetFactory &factory, const TableSink &sink,
                       DemoSchool *generated)
{
    DemoSchool local;
    DemoSchool &school = generated ? *generated : local;
    generate(school, employees, factory);

    const QVariant existing = conn.scalar(QStringLiteral("SELECT SSEDCODFIS FROM TSED_SEDE ORDER BY ISEDID"));
    if (existing.isValid() && !existing.isNull())
        return existing.toString() == school.seat.codFis ? InitResult::AlreadyPresent : InitResult::OtherSchool;

    const Seat &s = school.seat;
    TQxTransaction tr(conn);
    tr.StartTransaction();
    try {
        conn.exec(QStringLiteral("INSERT INTO TSED_SEDE (ISEDID, IDWGID, LSEDPRINCIPALE, SSEDCODFIS, SSEDDENOM, SSEDCODMECC, "
                                 "SSEDINDIRIZZO, SSEDCAP, SSEDCOMUNE, SSEDPROV, SSEDCODCOM, SSEDTEL, SSEDEMAIL) VALUES "
                                 "(1, :IDWGID, 1, :CF, :DENOM, :MECC, :IND, :CAP, :COMUNE, :PROV, :CODCOM, :TEL, :EMAIL)"),
                  {{QStringLiteral("IDWGID"), DemoSchool::kDwgId}, {QStringLiteral("CF"), s.codFis},
                   {QStringLiteral("DENOM"), s.denom}, {QStringLiteral("MECC"), s.codMecc},
                   {QStringLiteral("IND"), s.indirizzo}, {QStringLiteral("CAP"), s.cap},
                   {QStringLiteral("COMUNE"), s.comune}, {QStringLiteral("PROV"), s.prov},
                   {QStringLiteral("CODCOM"), s.codCom}, {QStringLiteral("TEL"), s.tel},
                   {QStringLiteral("EMAIL"), s.email}});
        for (int y = 2019; y <= 2025; ++y) {
            const int anf = y - 1969;
            conn.exec(QStringLiteral("DELETE FROM TPACO_PARAMCOMP WHERE IANFID = :IANFID"), {{QStringLiteral("IANFID"), anf}});
            conn.exec(QStringLiteral("INSERT INTO TPACO_PARAMCOMP (IANFID, LPACOAFAM, IPACOF24EP, IDWGANFID) "
                                     "VALUES (:IANFID, 0, 1, :IDWG)"),
                      {{QStringLiteral("IANFID"), anf}, {QStringLiteral("IDWG"), DemoSchool::kDwgId}});
        }
        // The school's chart of accounts was converted in 2019: the years from
        // then on are accepted without running the converter.
        conn.exec(QStringLiteral("DELETE FROM TNAF_NUOVOANAFIN WHERE IANFID = 50"));
        conn.exec(QStringLiteral("INSERT INTO TNAF_NUOVOANAFIN (INAFID, IANFID, DNAFDATA, SNAFNOTE) "
                                 "VALUES (1, 50, :D, 'Conversione del piano dei conti')"),
                  {{QStringLiteral("D"), QDate(2019, 1, 2)}});
        conn.exec(QStringLiteral("DELETE FROM TCON_CONTI WHERE ICONID IN (1, 2)"));
        conn.exec(QStringLiteral("INSERT INTO TCON_CONTI (ICONID, ITIMID, SCONCODICE, SCONDESC) VALUES "
                                 "(1, 200001, 'A01', 'Avanzo di amministrazione')"));
        conn.exec(QStringLiteral("INSERT INTO TCON_CONTI (ICONID, ITIMID, SCONCODICE, SCONDESC) VALUES "
                                 "(2, 500001, 'P01', 'Spese di personale')"));
        const QList<QPair<QString, QString>> params = {{QStringLiteral("QXUP_AnfId"), QStringLiteral("55")},
                                                       {QStringLiteral("QXUP_AnsId"), QStringLiteral("55")},
                                                       {QStringLiteral("QXUP_DwgId"), QString::number(DemoSchool::kDwgId)}};
        for (const auto &p : params) {
            conn.exec(QStringLiteral("DELETE FROM TQXU_PARAMS WHERE SPARNAME = :N"), {{QStringLiteral("N"), p.first}});
            conn.exec(QStringLiteral("INSERT INTO TQXU_PARAMS (SPARNAME, SPARVALUE) VALUES (:N, :V)"),
                      {{QStringLiteral("N"), p.first}, {QStringLiteral("V"), p.second}});
        }
        for (const QString &t : certificationTables())
            sink(t, school.table(t));
        tr.Commit();
    } catch (...) {
        tr.Rollback();
        throw;
    }
    return InitResult::Created;
}

} // namespace jex::demo
