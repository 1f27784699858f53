// The integration of an extinct agent's recipients: a small export of an
// extinct agent written as files, the current return in a real database
// (SQLite, and PostgreSQL when JEX770_TEST_PG names a server), so that a
// person's rollback is the database's.

#include "testdb.h"

#include "base/errors.h"
#include "base/messages.h"
#include "catalogue/catalogue.h"
#include "database/sqlconnection.h"
#include "database/structureservice.h"
#include "dataset/dataset.h"
#include "imports/integration/intsosimport.h"
#include "sections/databasestore.h"

#include "coretest.h"

#include <QFile>
#include <QtTest>

#include <memory>

using namespace jex;

namespace {

const QString kAgent = QStringLiteral("80012345678");
const QString kExtinct = QStringLiteral("80098765432");
const QString kRossi = QStringLiteral("RSSMRA85T10A562S");
const QString kBianchi = QStringLiteral("BNCMRA90C45F205A");
const QString kVerdi = QStringLiteral("VRDLCU99M68L219Z");

using Row = QVariantMap;

const QStringList kEmployeeTables = {
    QStringLiteral("TDIP7_ANAGRFISCALI"), QStringLiteral("TCON7_DATICONGUAG"),  QStringLiteral("TRAR7_REDASSTIRTIT"),
    QStringLiteral("TSLS7_SOMEROLAVSTRA"), QStringLiteral("TTAS7_TASSAZIONESE"), QStringLiteral("TTFR7_TFR"),
    QStringLiteral("TINPS7_INPS"),        QStringLiteral("TINP7_INPDAP"),       QStringLiteral("TCFC7_CONFAMCARICO"),
    QStringLiteral("TANN7_ANNOTAZIONI")};

void fillRow(ClientDataSet &ds, const Row &row)
{
    ds.append();
    for (auto it = row.begin(); it != row.end(); ++it)
        ds.fieldByName(it.key())->setValue(it.value());
    ds.post();
}

// A save that fails on one table at its n-th call, as a statement error
// halfway through a person would.
class FailingStore : public SectionStore
{
public:
    FailingStore(SectionStore &inner, QString table, int failAt) : m_inner(inner), m_table(std::move(table)), m_failAt(failAt) {}
    int year() const override { return m_inner.year(); }
    void openCds(const QString &s, ClientDataSet &ds) override { m_inner.openCds(s, ds); }
    void openCdsPeriod(const QString &s, ClientDataSet &ds, int m, int y) override { m_inner.openCdsPeriod(s, ds, m, y); }
    void saveCds(const QString &s, ClientDataSet &ds) override
    {
        if (s == m_table && ++m_calls == m_failAt)
            throw EQxError(QStringLiteral("errore simulato del database"));
        m_inner.saveCds(s, ds);
    }

private:
    SectionStore &m_inner;
    QString m_table;
    int m_failAt;
    int m_calls = 0;
};

struct Fixture
{
    explicit Fixture(const QString &kind) : tdb(kind), conn(QStringLiteral("intsos_%1").arg(kind))
    {
        setMessageService(&shown);
        if (!tdb.available())
            return;
        conn.open(DatabaseUrl::parse(tdb.url()));
        svc.SetConnection(&conn);
        svc.SetShowWait(false);
        put(QStringLiteral("TSOS_DATOSOSTITUTO"), {{{"SSOSCODFIS", kAgent}, {"SSOSDENOM", "ISTITUTO ATTUALE"}}});
    }
    ~Fixture()
    {
        conn.close();
        setMessageService(nullptr);
    }

    // Rows added to a section of the current return.
    void put(const QString &table, const QList<Row> &rows)
    {
        ClientDataSet ds;
        store.openCds(table, ds);
        for (const Row &r : rows)
            fillRow(ds, r);
        store.saveCds(table, ds);
    }

    // The extinct agent's export: the agent record and every table of the
    // variant, with the rows given.
    void exportTables(const QMap<QString, QList<Row>> &rows, bool employees = true, const QString &code = kExtinct)
    {
        writeFile(QStringLiteral("TSOS_DATOSOSTITUTO"), {{{"SSOSCODFIS", code}, {"SSOSDENOM", "SCUOLA CESSATA"}}});
        const QStringList tables = employees ? kEmployeeTables
                                             : QStringList{QStringLiteral("TDAU7_DATIAUTONOM"), QStringLiteral("TDSE7_SOMMEEROGATE")};
        for (const QString &t : tables)
            writeFile(t, rows.value(t));
    }

    void writeFile(const QString &table, const QList<Row> &rows)
    {
        ClientDataSet ds;
        TableCatalogue::makeDataSet(*TableCatalogue::instance().table(table), ds);
        for (const Row &r : rows)
            fillRow(ds, r);
        ds.mergeChangeLog();
        ds.saveToFile(dir.filePath(table + QStringLiteral(".CDS")));
    }

    std::unique_ptr<TIntSosImport> job(IntSosVariant variant, SectionStore *over = nullptr)
    {
        return std::make_unique<TIntSosImport>(conn, over ? *over : store, variant, dir.path());
    }

    // The section as a fresh service reads it from the database.
    std::unique_ptr<ClientDataSet> section(const QString &name)
    {
        TQmrDBCds fresh(2024, QStringLiteral("jex"), 0);
        fresh.SetConnection(&conn);
        fresh.SetShowWait(false);
        auto ds = std::make_unique<ClientDataSet>();
        fresh.OpenCds(*ds, name);
        return ds;
    }

    // The rows of a section of one person.
    QList<QVariantMap> rowsOf(const QString &table, const QString &cf, const QString &column = QStringLiteral("SDIP7CODFIS"))
    {
        auto ds = section(table);
        QList<QVariantMap> out;
        for (ds->first(); !ds->eof(); ds->next()) {
            if (ds->fieldByName(column)->asString() != cf)
                continue;
            QVariantMap m;
            for (int i = 0; i < ds->fieldCount(); ++i)
                m[ds->field(i)->name().toUpper()] = ds->field(i)->value();
            out << m;
        }
        return out;
    }

    int count(const QString &table) { return section(table)->recordCount(); }

    ScriptedMessageService shown;
    TestDatabase tdb;
    TQxSQLConnection conn;
    TQmrDBCds svc{2024, QStringLiteral("jex"), 0};
    DbCdsStore store{&svc};
    QTemporaryDir dir;
};

#define FIXTURE(f)                                                    \
    QFETCH(QString, db);                                              \
    Fixture f(db);                                                    \
    if (!f.tdb.available())                                           \
        QSKIP(qPrintable(f.tdb.skipReason()));

template <typename F>
void forEachDatabase(F addCases)
{
    for (const QString &db : {QStringLiteral("sqlite"), QStringLiteral("postgresql")})
        addCases(db);
}

Row person(const QString &cf, const QString &surname, const QString &name)
{
    // A record is kept by the service only with some data besides the names.
    return {{"SDIP7CODFIS", cf}, {"SDIP7COGNOME", surname}, {"SDIP7NOME", name}, {"FFIS7RITIRPEF", 1.0}};
}

Row with(Row r, const Row &more)
{
    for (auto it = more.begin(); it != more.end(); ++it)
        r[it.key()] = it.value();
    return r;
}

double money(const QVariantMap &row, const char *column)
{
    return row.value(QString::fromLatin1(column)).toDouble();
}

QStringList block(const QString &header, const QStringList &lines)
{
    return QStringList{header} + lines + QStringList{QString(), QString(96, u'-'), QString()};
}

} // namespace

class TstIntSosImport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The additional taxes of ceased employments add up only when the
    // extinct agent withheld some; the fiscal data add up by the rules file.
    void ceasedEmploymentSurtax_data()
    {
        QTest::addColumn<QString>("db");
        QTest::addColumn<double>("current");
        QTest::addColumn<double>("extinct");
        QTest::addColumn<double>("expected");
        forEachDatabase([](const QString &db) {
            QTest::newRow(qPrintable(db + QStringLiteral(": extinct 0 keeps"))) << db << 5.0 << 0.0 << 5.0;
            QTest::newRow(qPrintable(db + QStringLiteral(": extinct 12.50 adds"))) << db << 5.0 << 12.5 << 17.5;
            QTest::newRow(qPrintable(db + QStringLiteral(": into an empty one"))) << db << 0.0 << 12.5 << 12.5;
        });
    }
    void ceasedEmploymentSurtax()
    {
        FIXTURE(f);
        QFETCH(double, current);
        QFETCH(double, extinct);
        QFETCH(double, expected);
        Row mine = with(person(kRossi, "ROSSI", "MARIO"), {{"FFIS7RITIRPEF", 100.0}});
        if (current != 0)
            mine["FFIS7ADDREGRPCESS"] = current;
        f.put(QStringLiteral("TDIP7_ANAGRFISCALI"), {mine});
        f.exportTables({{QStringLiteral("TDIP7_ANAGRFISCALI"),
                         {with(person(kRossi, "ROSSI", "MARIO"),
                               {{"FFIS7RITIRPEF", 50.0}, {"FFIS7ADDREGRPCESS", extinct}, {"FFIS7ADDCOMRPCESS", extinct}})}}});
        auto job = f.job(IntSosVariant::Employees);
        QVERIFY2(job->run(), qPrintable(job->error()));
        const auto rows = f.rowsOf(QStringLiteral("TDIP7_ANAGRFISCALI"), kRossi);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(money(rows[0], "FFIS7ADDREGRPCESS"), expected);
        QCOMPARE(money(rows[0], "FFIS7ADDCOMRPCESS"), extinct);
        QCOMPARE(money(rows[0], "FFIS7RITIRPEF"), 150.0);
        QCOMPARE(job->report().lines(), block(QStringLiteral("Dipendente ROSSI MARIO"), {QStringLiteral("Dati dipendenti integrati")}));
    }

    void newEmployeeBringsEveryTable_data() { TestDatabase::addDatabaseRows(); }
    void newEmployeeBringsEveryTable()
    {
        FIXTURE(f);
        const Row cf{{"SDIP7CODFIS", kBianchi}};
        f.exportTables({
            {QStringLiteral("TDIP7_ANAGRFISCALI"),
             {with(person(kBianchi, "BIANCHI", "MARIA"),
                   {{"SDIP7SEX", "F"}, {"FFIS7RITIRPEF", 300.0}, {"SMESCODICEIRPEF", "07"}, {"IFISRIGO", 41}, {"IAFIID", 999}})}},
            {QStringLiteral("TCON7_DATICONGUAG"), {with(cf, {{"FCON7RITENUTE", 20.0}})}},
            {QStringLiteral("TTAS7_TASSAZIONESE"), {with(cf, {{"STAS7PERIODOIMP", "2022"}, {"FTAS7COMPARRDETR", 700.0}}),
                                                     with(cf, {{"STAS7PERIODOIMP", "2023"}, {"FTAS7COMPARRDETR", 800.0}})}},
            {QStringLiteral("TINPS7_INPS"), {with(cf, {{"SINPS7MATRAZIENDA", "1234567890"}, {"FINPS7IMPONIBILE", 9000.0}})}},
            {QStringLiteral("TCFC7_CONFAMCARICO"), {with(cf, {{"SCFC7CODFISCON", kRossi}, {"LCFC7RELPARCON", 1}})}},
            {QStringLiteral("TANN7_ANNOTAZIONI"), {with(cf, {{"SANN701", "AA"}, {"SANN702", "BB"}})}},
        });
        auto job = f.job(IntSosVariant::Employees);
        QVERIFY2(job->run(), qPrintable(job->error()));
        QCOMPARE(job->integratedPersons(), 1);
        QCOMPARE(job->report().lines(), block(QStringLiteral("Dipendente BIANCHI MARIA"), {QStringLiteral("Dipendente aggiunto")}));

        const auto reg = f.rowsOf(QStringLiteral("TDIP7_ANAGRFISCALI"), kBianchi);
        QCOMPARE(reg.size(), 1);
        QCOMPARE(reg[0].value("SDIP7COGNOME").toString(), QStringLiteral("BIANCHI"));
        QCOMPARE(money(reg[0], "FFIS7RITIRPEF"), 300.0);
        QCOMPARE(reg[0].value("SMESCODICEIRPEF").toString(), QStringLiteral("07"));
        const qint64 afi = reg[0].value("IAFIID").toLongLong();
        QVERIFY(afi > 0 && afi != 999);
        // Every row of the person hangs on the person's registry record.
        for (const char *t : {"TCON7_DATICONGUAG", "TTAS7_TASSAZIONESE", "TINPS7_INPS", "TCFC7_CONFAMCARICO", "TANN7_ANNOTAZIONI"}) {
            const auto rows = f.rowsOf(QString::fromLatin1(t), kBianchi);
            QVERIFY2(!rows.isEmpty(), t);
            for (const QVariantMap &r : rows)
                QCOMPARE(r.value("IAFIID").toLongLong(), afi);
        }
        QCOMPARE(money(f.rowsOf(QStringLiteral("TCON7_DATICONGUAG"), kBianchi)[0], "FCON7RITENUTE"), 20.0);
        QCOMPARE(f.rowsOf(QStringLiteral("TTAS7_TASSAZIONESE"), kBianchi).size(), 2);
        const auto inps = f.rowsOf(QStringLiteral("TINPS7_INPS"), kBianchi);
        QCOMPARE(inps.size(), 1);
        QCOMPARE(inps[0].value("SINPS7MATRAZIENDA").toString(), QStringLiteral("1234567890"));
        QCOMPARE(money(inps[0], "FINPS7IMPONIBILE"), 9000.0);
        const auto notes = f.rowsOf(QStringLiteral("TANN7_ANNOTAZIONI"), kBianchi);
        QCOMPARE(notes[0].value("SANN701").toString(), QStringLiteral("AA"));
        QCOMPARE(notes[0].value("SANN702").toString(), QStringLiteral("BB"));
    }

    // What the program cannot merge by itself is said; the notes go on
    // after the current ones; a separate-taxation year already there adds up.
    void presentEmployeeMerges_data() { TestDatabase::addDatabaseRows(); }
    void presentEmployeeMerges()
    {
        FIXTURE(f);
        const Row cf{{"SDIP7CODFIS", kRossi}};
        f.put(QStringLiteral("TDIP7_ANAGRFISCALI"), {with(person(kRossi, "ROSSI", "MARIO"), {{"FFIS7RITIRPEF", 10.0}})});
        const auto mineReg = f.rowsOf(QStringLiteral("TDIP7_ANAGRFISCALI"), kRossi);
        QCOMPARE(mineReg.size(), 1);
        const qint64 afi = mineReg[0].value("IAFIID").toLongLong();
        const Row mine = with(cf, {{"IAFIID", afi}});
        f.put(QStringLiteral("TCON7_DATICONGUAG"), {with(mine, {{"FCON7RITENUTE", 10.0}})});
        f.put(QStringLiteral("TCFC7_CONFAMCARICO"), {with(mine, {{"SCFC7CODFISCON", kVerdi}})});
        f.put(QStringLiteral("TANN7_ANNOTAZIONI"), {with(mine, {{"SANN701", "ZZ"}})});
        f.put(QStringLiteral("TTAS7_TASSAZIONESE"), {with(mine, {{"STAS7PERIODOIMP", "2023"}, {"FTAS7COMPARRDETR", 100.0}})});
        f.exportTables({
            {QStringLiteral("TDIP7_ANAGRFISCALI"), {person(kRossi, "ROSSI", "MARIO")}},
            {QStringLiteral("TCON7_DATICONGUAG"), {with(cf, {{"FCON7RITENUTE", 20.0}})}},
            {QStringLiteral("TCFC7_CONFAMCARICO"), {with(cf, {{"SCFC7CODFISCON", kBianchi}})}},
            {QStringLiteral("TANN7_ANNOTAZIONI"), {with(cf, {{"SANN701", "AA"}, {"SANN702", "BB"}})}},
            {QStringLiteral("TTAS7_TASSAZIONESE"), {with(cf, {{"STAS7PERIODOIMP", "2023"}, {"FTAS7COMPARRDETR", 50.0}})}},
        });
        auto job = f.job(IntSosVariant::Employees);
        QVERIFY2(job->run(), qPrintable(job->error()));
        QCOMPARE(job->report().lines(),
                 block(QStringLiteral("Dipendente ROSSI MARIO"),
                       {QStringLiteral("Dati dipendenti integrati"),
                        QStringLiteral("*** I dati del conguaglio devono essere integrati manualmente"),
                        QStringLiteral("*** I dati dei familiari a carico devono essere integrati manualmente")}));
        const auto con = f.rowsOf(QStringLiteral("TCON7_DATICONGUAG"), kRossi);
        QCOMPARE(con.size(), 1);
        QCOMPARE(money(con[0], "FCON7RITENUTE"), 10.0);
        const auto fam = f.rowsOf(QStringLiteral("TCFC7_CONFAMCARICO"), kRossi);
        QCOMPARE(fam.size(), 1);
        QCOMPARE(fam[0].value("SCFC7CODFISCON").toString(), kVerdi);
        const auto notes = f.rowsOf(QStringLiteral("TANN7_ANNOTAZIONI"), kRossi);
        QCOMPARE(notes.size(), 1);
        QCOMPARE(notes[0].value("SANN701").toString(), QStringLiteral("ZZ"));
        QCOMPARE(notes[0].value("SANN702").toString(), QStringLiteral("AA"));
        QCOMPARE(notes[0].value("SANN703").toString(), QStringLiteral("BB"));
        const auto tas = f.rowsOf(QStringLiteral("TTAS7_TASSAZIONESE"), kRossi);
        QCOMPARE(tas.size(), 1);
        QCOMPARE(money(tas[0], "FTAS7COMPARRDETR"), 150.0);
    }

    // Without a selection every person of the extinct registry, with one
    // only the persons chosen.
    void selection_data()
    {
        QTest::addColumn<QString>("db");
        QTest::addColumn<QStringList>("chosen");
        QTest::addColumn<QStringList>("integrated");
        forEachDatabase([](const QString &db) {
            QTest::newRow(qPrintable(db + QStringLiteral(": none chosen"))) << db << QStringList{} << QStringList{kBianchi, kVerdi};
            QTest::newRow(qPrintable(db + QStringLiteral(": one chosen"))) << db << QStringList{kVerdi.toLower()} << QStringList{kVerdi};
        });
    }
    void selection()
    {
        FIXTURE(f);
        QFETCH(QStringList, chosen);
        QFETCH(QStringList, integrated);
        f.exportTables({{QStringLiteral("TDIP7_ANAGRFISCALI"),
                         {person(kBianchi, "BIANCHI", "MARIA"), person(kVerdi, "VERDI", "LUCIA"), person({}, "SENZA", "CODICE")}}});
        auto job = f.job(IntSosVariant::Employees);
        QVERIFY2(job->open(), qPrintable(job->error()));
        QCOMPARE(job->persons().size(), 2);
        QVERIFY2(job->run(chosen), qPrintable(job->error()));
        QStringList found;
        auto ds = f.section(QStringLiteral("TDIP7_ANAGRFISCALI"));
        for (ds->first(); !ds->eof(); ds->next())
            found << ds->fieldByName(QStringLiteral("SDIP7CODFIS"))->asString();
        QCOMPARE(found, integrated);
        QCOMPARE(job->integratedPersons(), int(integrated.size()));
    }

    void unknownPersonChangesNothing_data() { TestDatabase::addDatabaseRows(); }
    void unknownPersonChangesNothing()
    {
        FIXTURE(f);
        f.exportTables({{QStringLiteral("TDIP7_ANAGRFISCALI"), {person(kBianchi, "BIANCHI", "MARIA")}}});
        auto job = f.job(IntSosVariant::Employees);
        QVERIFY(!job->run({kBianchi, kVerdi}));
        QVERIFY2(job->error().contains(kVerdi) && job->error().contains(QStringLiteral("nessun dato è stato modificato")),
                 qPrintable(job->error()));
        QCOMPARE(f.count(QStringLiteral("TDIP7_ANAGRFISCALI")), 0);
    }

    // The same self-employed person twice: the second run says so and adds
    // nothing; the extinct agent is registered once.
    void selfEmployedTwice_data() { TestDatabase::addDatabaseRows(); }
    void selfEmployedTwice()
    {
        FIXTURE(f);
        const Row cf{{"SDAU7CODFIS", kVerdi}};
        // The same person paid by this agent too: a record of its own.
        f.put(QStringLiteral("TDAU7_DATIAUTONOM"), {{{"SDAU7CODFIS", kVerdi}, {"SDAU7COGNOME", "VERDI"}, {"SDAU7NOME", "LUCIA"}, {"SDAU7COMUNE", "PERUGIA"}}});
        f.exportTables({{QStringLiteral("TDAU7_DATIAUTONOM"),
                         {with(cf, {{"SDAU7COGNOME", "VERDI"}, {"SDAU7NOME", "LUCIA"}, {"SDAU7COMUNE", "ASSISI"}, {"SDAU7GRUPPOANA", "X"}})}},
                        {QStringLiteral("TDSE7_SOMMEEROGATE"),
                         {with(cf, {{"SCAUCODICE", "A"}, {"SDSE7ANNO", "2024"}, {"FDSE7AMMLORDO", 1000.0}}),
                          with(cf, {{"SCAUCODICE", "M"}, {"SDSE7ANNO", "2024"}, {"FDSE7AMMLORDO", 250.0}})}}},
                       false);
        auto first = f.job(IntSosVariant::SelfEmployed);
        QVERIFY2(first->run(), qPrintable(first->error()));
        QCOMPARE(first->report().lines(), block(QStringLiteral("Dipendente VERDI LUCIA"), {QStringLiteral("Autonomo aggiunto")}));
        auto reg = f.rowsOf(QStringLiteral("TDAU7_DATIAUTONOM"), kVerdi, QStringLiteral("SDAU7CODFIS"));
        QCOMPARE(reg.size(), 2);
        const QVariantMap added = reg[0].value("SSOE7CODICE").toString() == kExtinct ? reg[0] : reg[1];
        QCOMPARE(added.value("SSOE7CODICE").toString(), kExtinct);
        QCOMPARE(added.value("SDAU7GRUPPOANA").toString(), QStringLiteral("A"));
        const auto sums = f.rowsOf(QStringLiteral("TDSE7_SOMMEEROGATE"), kVerdi, QStringLiteral("SDAU7CODFIS"));
        QCOMPARE(sums.size(), 2);
        for (const QVariantMap &s : sums)
            QCOMPARE(s.value("IAFIID").toLongLong(), added.value("IAFIID").toLongLong());
        auto soe = f.section(QStringLiteral("TSOE7_SOSESTINTO"));
        QCOMPARE(soe->recordCount(), 1);
        soe->first();
        QCOMPARE(soe->fieldByName(QStringLiteral("CODICE"))->asString(), kExtinct);
        QCOMPARE(soe->fieldByName(QStringLiteral("DENOMINAZI0NE"))->asString(), QStringLiteral("SCUOLA CESSATA"));

        auto second = f.job(IntSosVariant::SelfEmployed);
        QVERIFY2(second->run(), qPrintable(second->error()));
        QCOMPARE(second->report().lines(),
                 block(QStringLiteral("Dipendente VERDI LUCIA"), {QStringLiteral("Dati autonomo già importato per sostituto estinto")}));
        QCOMPARE(second->integratedPersons(), 0);
        QCOMPARE(f.count(QStringLiteral("TDAU7_DATIAUTONOM")), 2);
        QCOMPARE(f.count(QStringLiteral("TDSE7_SOMMEEROGATE")), 2);
        QCOMPARE(f.count(QStringLiteral("TSOE7_SOSESTINTO")), 1);
    }

    // Folders and files the integration cannot use: a clear message naming
    // the file, and the return as it was.
    void refusals_data()
    {
        QTest::addColumn<QString>("db");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("employees");
        QTest::addColumn<QString>("message");
        forEachDatabase([](const QString &db) {
            auto row = [&db](const char *name, const char *fault, bool employees, const QString &message) {
                QTest::newRow(qPrintable(db + QStringLiteral(": ") + QString::fromLatin1(name)))
                    << db << QString::fromLatin1(fault) << employees << message;
            };
            row("no registry file", "remove:TDIP7_ANAGRFISCALI", true, QStringLiteral("manca il file TDIP7_ANAGRFISCALI.CDS"));
            row("no INPS file", "remove:TINPS7_INPS", true, QStringLiteral("manca il file TINPS7_INPS.CDS"));
            row("no agent file", "remove:TSOS_DATOSOSTITUTO", false, QStringLiteral("manca il file TSOS_DATOSOSTITUTO.CDS"));
            row("damaged file", "damage:TDIP7_ANAGRFISCALI", true, QStringLiteral("TDIP7_ANAGRFISCALI.CDS è danneggiato"));
            row("truncated file", "truncate:TDSE7_SOMMEEROGATE", false, QStringLiteral("TDSE7_SOMMEEROGATE.CDS è danneggiato"));
            row("another table's file", "swap:TDIP7_ANAGRFISCALI", true,
                QStringLiteral("TDIP7_ANAGRFISCALI.CDS non contiene la tabella TDIP7_ANAGRFISCALI"));
            row("same agent, employees", "same", true,
                QStringLiteral("Codice fiscale del sostituto estinto non impostato o coincidente con l'attuale"));
            row("same agent, self-employed", "same", false,
                QStringLiteral("Codice fiscale del sostituto estinto non impostato o coincidente con l'attuale"));
            row("no agent code, self-employed", "nocode", false,
                QStringLiteral("Codice fiscale del sostituto estinto non impostato o coincidente con l'attuale"));
            row("not a folder", "nofolder", true, QStringLiteral("non esiste o non è una cartella"));
        });
    }
    void refusals()
    {
        FIXTURE(f);
        QFETCH(QString, fault);
        QFETCH(bool, employees);
        QFETCH(QString, message);
        const QString code = fault == u"same" ? kAgent : fault == u"nocode" ? QString() : kExtinct;
        f.exportTables({{QStringLiteral("TDIP7_ANAGRFISCALI"), {person(kBianchi, "BIANCHI", "MARIA")}},
                        {QStringLiteral("TDAU7_DATIAUTONOM"), {{{"SDAU7CODFIS", kVerdi}, {"SDAU7COGNOME", "VERDI"}}}},
                        {QStringLiteral("TDSE7_SOMMEEROGATE"), {{{"SDAU7CODFIS", kVerdi}, {"SCAUCODICE", "A"}}}}},
                       employees, code);
        const QString table = fault.section(u':', 1);
        const QString file = f.dir.filePath(table + QStringLiteral(".CDS"));
        if (fault.startsWith(u"remove:")) {
            QVERIFY(QFile::remove(file));
        } else if (fault.startsWith(u"damage:") || fault.startsWith(u"truncate:")) {
            QFile io(file);
            QVERIFY(io.open(QIODevice::ReadWrite));
            QByteArray bytes = io.readAll();
            if (fault.startsWith(u"damage:"))
                bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x5a);
            else
                bytes.truncate(bytes.size() * 2 / 3);
            io.resize(0);
            io.seek(0);
            io.write(bytes);
        } else if (fault.startsWith(u"swap:")) {
            // The agent's file under the registry's name.
            QVERIFY(QFile::remove(file));
            QVERIFY(QFile::copy(f.dir.filePath(QStringLiteral("TSOS_DATOSOSTITUTO.CDS")), file));
        }
        auto job = fault == u"nofolder"
                       ? std::make_unique<TIntSosImport>(f.conn, f.store, IntSosVariant::Employees, f.dir.filePath(QStringLiteral("nessuna")))
                       : f.job(employees ? IntSosVariant::Employees : IntSosVariant::SelfEmployed);
        QVERIFY(!job->run());
        QVERIFY2(job->error().contains(message), qPrintable(job->error()));
        QCOMPARE(f.count(QStringLiteral("TDIP7_ANAGRFISCALI")), 0);
        QCOMPARE(f.count(QStringLiteral("TDAU7_DATIAUTONOM")), 0);
        QCOMPARE(f.count(QStringLiteral("TDSE7_SOMMEEROGATE")), 0);
        QCOMPARE(f.count(QStringLiteral("TSOE7_SOSESTINTO")), 0);
    }

    // A statement error halfway through the second person: that person as
    // before, the first one integrated, the third not started.
    void errorHalfwayThroughAPerson_data() { TestDatabase::addDatabaseRows(); }
    void errorHalfwayThroughAPerson()
    {
        FIXTURE(f);
        QList<Row> reg, inps;
        for (const auto &[cf, surname] : {std::pair{kRossi, "ROSSI"}, std::pair{kBianchi, "BIANCHI"}, std::pair{kVerdi, "VERDI"}}) {
            reg << person(cf, QString::fromLatin1(surname), QStringLiteral("X"));
            inps << Row{{"SDIP7CODFIS", cf}, {"SINPS7MATRAZIENDA", "1234567890"}};
        }
        f.exportTables({{QStringLiteral("TDIP7_ANAGRFISCALI"), reg}, {QStringLiteral("TINPS7_INPS"), inps}});
        FailingStore failing(f.store, QStringLiteral("TINPS7_INPS"), 2);
        auto job = f.job(IntSosVariant::Employees, &failing);
        QVERIFY(!job->run());
        QVERIFY2(job->error().contains(QStringLiteral("BIANCHI")) && job->error().contains(kBianchi)
                     && job->error().contains(QStringLiteral("errore simulato")),
                 qPrintable(job->error()));
        QVERIFY2(job->error().startsWith(QStringLiteral("Integrazione interrotta su BIANCHI X (%1): ").arg(kBianchi))
                     && job->error().endsWith(QStringLiteral("le persone precedenti sono state integrate.")),
                 qPrintable(job->error()));
        QCOMPARE(job->integratedPersons(), 1);
        QCOMPARE(f.rowsOf(QStringLiteral("TDIP7_ANAGRFISCALI"), kRossi).size(), 1);
        QCOMPARE(f.rowsOf(QStringLiteral("TINPS7_INPS"), kRossi).size(), 1);
        QCOMPARE(f.rowsOf(QStringLiteral("TDIP7_ANAGRFISCALI"), kBianchi).size(), 0);
        QCOMPARE(f.rowsOf(QStringLiteral("TDIP7_ANAGRFISCALI"), kVerdi).size(), 0);
        QCOMPARE(f.count(QStringLiteral("TINPS7_INPS")), 1);
        QVERIFY(!f.conn.inTransaction());
    }
};

JEX_TEST_MAIN(TstIntSosImport)
#include "tst_intsosimport.moc"
