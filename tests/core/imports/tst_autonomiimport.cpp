// The import of the self-employed payees: the delivered statements against a
// real payroll archive and the return's sections in the same database
// (SQLite, and PostgreSQL when JEX770_TEST_PG names a server), so that a
// person's rollback is the database's.

#include "testdb.h"

#include "base/messages.h"
#include "base/paths.h"
#include "database/namedsql.h"
#include "database/sqlconnection.h"
#include "database/structureservice.h"
#include "imports/autonomi/autonomiimport.h"
#include "imports/cud/payrollarchive.h"
#include "sections/databasestore.h"

#include "coretest.h"

#include <QtTest>

using namespace jex;

namespace {

constexpr int kYear = 55;

struct Item
{
    int voce;
    int rice; // 0: not subject to tax
    double imp, ritDip = 0, ritAmm = 0;
};
struct Reg
{
    QString causale;
    QList<Item> items;
};
using Regs = QList<Reg>;

struct Payee
{
    QString cf = {}, cognome = {}, nome = {}, sesso = {};
    QString comNas = {}, statoNas = {}, provNas = {};
    QString comune = {}, prov = {}, indirizzo = {};
    int tno = autonomi::kTnoLibProf;
};

// One database per case: the archive and the return side by side.
struct Fixture
{
    explicit Fixture(const QString &kind) : tdb(kind), conn(QStringLiteral("autonomi_%1").arg(kind)), writer(conn)
    {
        if (!tdb.available())
            return;
        conn.open(DatabaseUrl::parse(tdb.url()));
        svc.SetConnection(&conn);
        svc.SetShowWait(false);
    }
    ~Fixture() { conn.close(); }

    qint64 payee(const Payee &p, const Regs &regs = {})
    {
        ArchivePerson a;
        a.codFis = p.cf;
        a.cognome = p.cognome;
        a.nome = p.nome;
        a.sesso = p.sesso;
        a.nascita = p.sesso.isEmpty() ? QDate() : QDate(1970, 5, 4);
        a.comuneNascita = p.comNas;
        a.statoNascita = p.statoNas;
        a.provNascita = p.provNas;
        a.comune = p.comune;
        a.prov = p.prov;
        a.indirizzo = p.indirizzo;
        const qint64 ana = writer.person(a);
        const qint64 acom = writer.position(ana, kYear, 0, p.tno, 0);
        for (const Reg &r : regs) {
            const qint64 id = writer.registration(acom, r.causale);
            for (const Item &i : r.items)
                writer.registrationItem(id, i.voce, i.rice, i.imp, i.ritDip, i.ritAmm);
        }
        return acom;
    }
    // A payee with one registration of reason "A" of `gross`, 20% withheld.
    qint64 simple(const QString &cf, const QString &cognome, double gross = 1000)
    {
        return payee({cf, cognome, QStringLiteral("MARIO"), QStringLiteral("M"), QStringLiteral("PERUGIA"), {},
                      QStringLiteral("PG"), QStringLiteral("PERUGIA"), QStringLiteral("PG"), QStringLiteral("VIA ROMA 1")},
                     {{QStringLiteral("A"), {{1, 11, gross, gross / 5}}}});
    }

    AutonomiResult import(OverwritePolicy policy = OverwritePolicy::Ask,
                          AutonomiVariant variant = AutonomiVariant::Full, const QList<qint64> &persons = {})
    {
        ImportAutonomiOptions o;
        o.policy = policy;
        o.variant = variant;
        o.persons = persons;
        return runImportAutonomi(conn, store, o, AutonomiYear{kYear, 1});
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

    TestDatabase tdb;
    TQxSQLConnection conn;
    PayrollArchiveWriter writer;
    TQmrDBCds svc{2024, QStringLiteral("jex"), 0};
    DbCdsStore store{&svc};
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

QString amount(ClientDataSet &ds, const char *field)
{
    const Field *f = ds.fieldByName(QString::fromLatin1(field));
    return f->isNull() ? QStringLiteral("-") : QString::number(f->asFloat(), 'f', 2);
}

// "CAUSALE imponibile acc imp impAP ritAP contrAmm contrDip altre lordo spese"
QStringList paymentRows(ClientDataSet &ds)
{
    QStringList out;
    for (ds.first(); !ds.eof(); ds.next()) {
        QStringList parts{ds.fieldByName(QStringLiteral("SCAUCODICE"))->asString()};
        for (const char *f : {"FDSE7IMPONIBILE", "FDSE7RITTITACC", "FDSE7RITTITIMP", "FDSE7IMPANNIPREC",
                              "FDSE7RITANNIPREC", "FDSE7CONTRAMM", "FDSE7CONTRDIP", "FDSE7ALTRESOMME",
                              "FDSE7AMMLORDO", "FDSE7SPESERIMB"})
            parts << amount(ds, f);
        out << parts.join(u' ');
    }
    std::sort(out.begin(), out.end());
    return out;
}

QString registry(ClientDataSet &ds)
{
    QStringList parts;
    for (const char *f : {"SDAU7CODFIS", "SDAU7COGNOME", "SDAU7NOME", "SDAU7SEX", "DDAU7DATANAS", "SDAU7COMNAS",
                          "SDAU7PROVNAS", "SDAU7COMUNE", "SDAU7PROVINCIA", "SDAU7INDIRIZZZO", "SDAU7CODFISESTERO",
                          "SDAU7RESESTERA", "SDAU7INDIRIESTERO", "SDAU7GRUPPOANA"}) {
        const Field *x = ds.fieldByName(QString::fromLatin1(f));
        parts << (x->isNull() ? QStringLiteral("-")
                  : x->isDate() ? x->asDate().toString(Qt::ISODate)
                                : x->asString());
    }
    return parts.join(u'|');
}

void setStatement(const QString &name, const QString &sql)
{
    TQmrQueryText &t = TQmrQueryText::instance();
    QVERIFY(t.locate(QStringLiteral("Query"), QVariantList{name}));
    t.edit();
    t.fieldByName(QStringLiteral("SQL"))->setAsString(sql);
    t.post();
}

} // namespace

Q_DECLARE_METATYPE(Regs)

class TstAutonomiImport : public QObject
{
    Q_OBJECT

    ScriptedMessageService m_messages{ModalResult::Yes};
    QString m_src;

private Q_SLOTS:
    void initTestCase()
    {
        m_src = qEnvironmentVariable("JEX770_SOURCE_DIR");
        QVERIFY(!m_src.isEmpty());
        Paths::setMainDir(m_src + QStringLiteral("/data/"));
        setMessageService(&m_messages);
    }
    void init()
    {
        // Fresh texts for every case: one case breaks a statement.
        TQmrQueryText::instance().CompileQueryFile(m_src + QStringLiteral("/sql/autonomi.xml"));
        m_messages.clear();
    }
    void cleanupTestCase() { setMessageService(nullptr); }

    void payments_data()
    {
        QTest::addColumn<QString>("db");
        QTest::addColumn<Regs>("regs");
        QTest::addColumn<QStringList>("rows");
        const QString A = QStringLiteral("A"), M = QStringLiteral("M"), P = QStringLiteral("P");
        forEachDatabase([&](const QString &db) {
            auto row = [&](const char *name) { return &QTest::newRow(qPrintable(db + u' ' + QLatin1String(name))); };
            *row("reason M only: one row, withholding on account") << db << Regs{{M, {{1, 11, 1000, 200}}}}
                << QStringList{"M 1000.00 200.00 - - - - - - 1000.00 -"};
            *row("reason P: withholding as tax") << db << Regs{{P, {{1, 11, 500, 100}}}}
                << QStringList{"P 500.00 - 100.00 - - - - - 500.00 -"};
            *row("every income code of a row") << db
                << Regs{{A, {{1, 11, 2000, 400}, {2, 8, 0, 10}, {3, 9, 0, 5}, {4, 10, 0, 1}, {5, 3, 0, 50, 100},
                             {6, 13, 0, 20, 40}, {7, 12, 300, 60}, {8, 0, 150}, {54, 0, 80}}}}
                << QStringList{"A 2000.00 416.00 - 300.00 60.00 140.00 70.00 150.00 2150.00 80.00"};
            *row("registrations of a reason add up, reasons apart") << db
                << Regs{{P, {{1, 11, 300, 60}}}, {A, {{1, 11, 1000, 200}}}, {A, {{1, 11, 500.5, 100.1}}}}
                << QStringList{"A 1500.50 300.10 - - - - - - 1500.50 -", "P 300.00 - 60.00 - - - - - 300.00 -"};
            *row("a code adding up to zero stays null") << db
                << Regs{{A, {{1, 11, 1000, 200}, {2, 3, 0, 0, 0}, {3, 12, 100, 20}, {4, 12, -100, -20}}}}
                << QStringList{"A 1000.00 200.00 - - - - - - 1000.00 -"};
            *row("a reason other than A, M, P brings no row") << db
                << Regs{{A, {{1, 11, 800, 160}}}, {QStringLiteral("Z"), {{1, 11, 99, 9}}}}
                << QStringList{"A 800.00 160.00 - - - - - - 800.00 -"};
        });
    }
    void payments()
    {
        FIXTURE(f);
        QFETCH(Regs, regs);
        QFETCH(QStringList, rows);
        f.payee({QStringLiteral("RSSMRA70E04G478X"), QStringLiteral("ROSSI"), QStringLiteral("MARIO"),
                 QStringLiteral("M"), QStringLiteral("PERUGIA"), {}, QStringLiteral("PG")},
                regs);
        const AutonomiResult r = f.import();
        QCOMPARE(r.imported, 1);
        QCOMPARE(r.failed, 0);
        QCOMPARE(paymentRows(*f.section(QStringLiteral("TDSE7_SOMMEEROGATE"))), rows);
        QCOMPARE(m_messages.texts(), QStringList{QStringLiteral("Fine operazione")});
        // The sums belong to the person's registry record.
        auto dau = f.section(QStringLiteral("TDAU7_DATIAUTONOM"));
        auto dse = f.section(QStringLiteral("TDSE7_SOMMEEROGATE"));
        QCOMPARE(dau->recordCount(), 1);
        for (dse->first(); !dse->eof(); dse->next())
            QCOMPARE(dse->fieldByName(QStringLiteral("IAFIID"))->asInteger(),
                     dau->fieldByName(QStringLiteral("IAFIID"))->asInteger());
    }

    void registryData_data()
    {
        QTest::addColumn<QString>("db");
        QTest::addColumn<QStringList>("payee"); // cf cognome nome sesso comNas statoNas provNas comune prov indirizzo
        QTest::addColumn<QString>("expected");
        forEachDatabase([&](const QString &db) {
            auto row = [&](const char *name) { return &QTest::newRow(qPrintable(db + u' ' + QLatin1String(name))); };
            *row("natural person") << db
                << QStringList{"bnclra70e44g478x", "BIANCHI", "LAURA", "f", "PERUGIA", "", "PG", "ASSISI", "PG", "VIA SAN FRANCESCO 3"}
                << "BNCLRA70E44G478X|BIANCHI|LAURA|F|1970-05-04|PERUGIA|PG|ASSISI|PG|VIA SAN FRANCESCO 3|-|-|-|A";
            *row("born abroad: the state") << db
                << QStringList{"MLLHNS70E04Z112X", "MULLER", "HANS", "M", "", "GERMANIA", "EE", "TERNI", "TR", "VIA ROMA 1"}
                << "MLLHNS70E04Z112X|MULLER|HANS|M|1970-05-04|GERMANIA|EE|TERNI|TR|VIA ROMA 1|-|-|-|A";
            *row("living abroad") << db
                << QStringList{"VRDGPP70E04G478X", "VERDI", "GIUSEPPE", "X", "PERUGIA", "", "PG", "PARIGI", "EE", "RUE DE RIVOLI 10"}
                << "VRDGPP70E04G478X|VERDI|GIUSEPPE|-|1970-05-04|PERUGIA|PG|-|-|-|VRDGPP70E04G478X|PARIGI|RUE DE RIVOLI 10|A";
            *row("company: surname only, no birth") << db
                << QStringList{"01234567890", "STUDIO ASSOCIATO ALFA", "", "", "", "", "", "PERUGIA", "PG", "VIA PINTURICCHIO 8"}
                << "01234567890|STUDIO ASSOCIATO ALFA|-|-|-|-|-|PERUGIA|PG|VIA PINTURICCHIO 8|-|-|-|A";
        });
    }
    void registryData()
    {
        FIXTURE(f);
        QFETCH(QStringList, payee);
        QFETCH(QString, expected);
        f.payee({payee[0], payee[1], payee[2], payee[3], payee[4], payee[5], payee[6], payee[7], payee[8], payee[9]},
                {{QStringLiteral("A"), {{1, 11, 1000, 200}}}});
        for (const AutonomiVariant v : {AutonomiVariant::Full, AutonomiVariant::OnlyRegistry}) {
            QCOMPARE(f.import(OverwritePolicy::Always, v).imported, 1);
            auto dau = f.section(QStringLiteral("TDAU7_DATIAUTONOM"));
            QCOMPARE(dau->recordCount(), 1);
            dau->first();
            QCOMPARE(registry(*dau), expected);
            QCOMPARE(dau->fieldByName(QStringLiteral("LDAU7EREDE"))->asInteger(), 0);
        }
        // Replacing with registry data only leaves the sums where they were,
        // still tied to the person's record.
        auto dse = f.section(QStringLiteral("TDSE7_SOMMEEROGATE"));
        QCOMPARE(dse->recordCount(), 1);
        dse->first();
        auto dau = f.section(QStringLiteral("TDAU7_DATIAUTONOM"));
        dau->first();
        QCOMPARE(dse->fieldByName(QStringLiteral("IAFIID"))->asInteger(), dau->fieldByName(QStringLiteral("IAFIID"))->asInteger());
    }

    void overwrite_data()
    {
        QTest::addColumn<QString>("db");
        QTest::addColumn<int>("policy");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("replaced");
        QTest::addColumn<int>("questions");
        forEachDatabase([&](const QString &db) {
            auto row = [&](const char *name) { return &QTest::newRow(qPrintable(db + u' ' + QLatin1String(name))); };
            *row("Sovrascrivi sempre") << db << int(OverwritePolicy::Always) << int(ModalResult::No) << true << 0;
            *row("Non sovrascrivere, silent") << db << int(OverwritePolicy::Never) << int(ModalResult::Yes) << false << 0;
            *row("Chiedi conferma, Si") << db << int(OverwritePolicy::Ask) << int(ModalResult::Yes) << true << 1;
            *row("Chiedi conferma, No") << db << int(OverwritePolicy::Ask) << int(ModalResult::No) << false << 1;
        });
    }
    void overwrite()
    {
        FIXTURE(f);
        QFETCH(int, policy);
        QFETCH(int, answer);
        QFETCH(bool, replaced);
        QFETCH(int, questions);
        const qint64 acom = f.simple(QStringLiteral("RSSMRA70E04G478X"), QStringLiteral("ROSSI"));
        QCOMPARE(f.import(OverwritePolicy::Never).imported, 1);
        // The payroll pays again under a new reason.
        const qint64 reg = f.writer.registration(acom, QStringLiteral("M"));
        f.writer.registrationItem(reg, 1, 11, 400, 80);
        m_messages.clear();
        m_messages.setDefaultAnswer(ModalResult(answer));

        const AutonomiResult r = f.import(OverwritePolicy(policy));
        m_messages.setDefaultAnswer(ModalResult::Yes);
        QCOMPARE(r.imported, replaced ? 1 : 0);
        QCOMPARE(r.unchanged, replaced ? 0 : 1);
        const QStringList expected = replaced ? QStringList{"A 1000.00 200.00 - - - - - - 1000.00 -",
                                                            "M 400.00 80.00 - - - - - - 400.00 -"}
                                              : QStringList{"A 1000.00 200.00 - - - - - - 1000.00 -"};
        QCOMPARE(paymentRows(*f.section(QStringLiteral("TDSE7_SOMMEEROGATE"))), expected);
        QCOMPARE(f.section(QStringLiteral("TDAU7_DATIAUTONOM"))->recordCount(), 1);
        QStringList shown = m_messages.texts();
        QCOMPARE(shown.takeLast(), QStringLiteral("Fine operazione"));
        QCOMPARE(shown.size(), questions);
        if (questions)
            QCOMPARE(shown.first(), QStringLiteral("ROSSI MARIO  :  Dipendente già presente in archivio, si vogliono "
                                                   "sostituire i dati?"));
    }

    void selection_data()
    {
        QTest::addColumn<QString>("db");
        QTest::addColumn<QList<int>>("chosen"); // indexes of the payees; empty: none selected
        QTest::addColumn<QStringList>("imported");
        forEachDatabase([&](const QString &db) {
            QTest::newRow(qPrintable(db + " no selection imports all")) << db << QList<int>{}
                << QStringList{"BIANCHI", "ROSSI", "VERDI"};
            QTest::newRow(qPrintable(db + " a selection, in list order")) << db << QList<int>{2, 1}
                << QStringList{"BIANCHI", "ROSSI"};
        });
    }
    void selection()
    {
        FIXTURE(f);
        QFETCH(QList<int>, chosen);
        QFETCH(QStringList, imported);
        const QList<qint64> ids{f.simple(QStringLiteral("VRDMRA70E04G478X"), QStringLiteral("VERDI")),
                                f.simple(QStringLiteral("BNCMRA70E04G478X"), QStringLiteral("BIANCHI")),
                                f.simple(QStringLiteral("RSSMRA70E04G478X"), QStringLiteral("ROSSI"))};
        // An employee and a payee of another year are not listed.
        ArchivePerson emp;
        emp.codFis = QStringLiteral("NRENRE70E04G478X");
        emp.cognome = QStringLiteral("NERI");
        f.writer.position(f.writer.person(emp), kYear, 1, 1, 19);
        const QList<AutonomiPayee> list = loadAutonomiPayees(f.conn, AutonomiVariant::Full, AutonomiYear{kYear, 1});
        QStringList names;
        for (const AutonomiPayee &p : list)
            names << p.cognome;
        QCOMPARE(names, (QStringList{"BIANCHI", "ROSSI", "VERDI"}));

        QList<qint64> persons;
        for (int i : chosen)
            persons << ids[i];
        const AutonomiResult r = f.import(OverwritePolicy::Ask, AutonomiVariant::Full, persons);
        QCOMPARE(r.imported, int(imported.size()));
        auto dau = f.section(QStringLiteral("TDAU7_DATIAUTONOM"));
        QStringList got;
        for (dau->first(); !dau->eof(); dau->next())
            got << dau->fieldByName(QStringLiteral("SDAU7COGNOME"))->asString();
        got.sort();
        QCOMPARE(got, imported);
        QVERIFY(r.lines.first().startsWith(imported.first()));
    }

    void errorsRollBackThePerson_data() { TestDatabase::addDatabaseRows(); }
    void errorsRollBackThePerson()
    {
        FIXTURE(f);
        f.simple(QStringLiteral("BNCMRA70E04G478X"), QStringLiteral("ALBINI"));
        f.simple(QStringLiteral("RSSMRA70E04G478X"), QStringLiteral("BRUNI"));
        f.simple(QStringLiteral(" "), QStringLiteral("CARLI")); // the payroll lost the code
        f.simple(QStringLiteral("VRDMRA70E04G478X"), QStringLiteral("DONATI"));
        const QString sum = TQmrQueryText::instance().GetQuerySQL(QStringLiteral("QRY_JEX_AUTON_SOM"),
                                                                  QStringLiteral("EXECUTE"));

        ImportAutonomiOptions o;
        TAutonomiImport imp(f.conn, f.store, AutonomiVariant::Full, OverwritePolicy::Ask);
        // The sums of the second person fail after the registry row is written.
        imp.onPerson = [&](const AutonomiPayee &p) {
            setStatement(QStringLiteral("QRY_JEX_AUTON_SOM"),
                         p.cognome == QLatin1String("BRUNI") ? QStringLiteral("SELECT NESSUNA FROM TNON_ESISTE") : sum);
        };
        const AutonomiResult r = imp.run(loadAutonomiPayees(f.conn, AutonomiVariant::Full, AutonomiYear{kYear, 1}));
        QCOMPARE(r.imported, 2);
        QCOMPARE(r.failed, 1);
        QCOMPARE(r.unchanged, 1);
        QVERIFY(!f.conn.inTransaction());

        auto dau = f.section(QStringLiteral("TDAU7_DATIAUTONOM"));
        QStringList got;
        for (dau->first(); !dau->eof(); dau->next())
            got << dau->fieldByName(QStringLiteral("SDAU7COGNOME"))->asString();
        got.sort();
        QCOMPARE(got, (QStringList{"ALBINI", "DONATI"}));
        QCOMPARE(f.section(QStringLiteral("TDSE7_SOMMEEROGATE"))->recordCount(), 2);

        const QStringList shown = m_messages.texts();
        QCOMPARE(shown.size(), 3);
        QVERIFY2(shown[0].startsWith(QStringLiteral("Controllare i dati del dipendente:BRUNI MARIO\r\n\r\n")), qPrintable(shown[0]));
        QVERIFY2(shown[0].endsWith(QStringLiteral("\r\nUltima operazione DB: QRY_JEX_AUTON_SOM")), qPrintable(shown[0]));
        QCOMPARE(shown[1], QStringLiteral("ATTENZIONE!!! Dipendente senza codice fiscale : CARLI MARIO"));
        QCOMPARE(shown[2], QStringLiteral("Fine operazione"));
    }

    void withoutPaymentsNothingToImport_data() { TestDatabase::addDatabaseRows(); }
    void withoutPaymentsNothingToImport()
    {
        FIXTURE(f);
        // Only payments not subject to tax: listed for the registry only.
        f.payee({QStringLiteral("RSSMRA70E04G478X"), QStringLiteral("ROSSI"), QStringLiteral("MARIO")},
                {{QStringLiteral("A"), {{54, 0, 80}}}});
        QVERIFY_THROWS_EXCEPTION(EQmrWarning, f.import());
        QCOMPARE(f.import(OverwritePolicy::Ask, AutonomiVariant::OnlyRegistry).imported, 1);
        QCOMPARE(f.section(QStringLiteral("TDSE7_SOMMEEROGATE"))->recordCount(), 0);
        // A person asked for who is not in the list is refused before anything runs.
        QVERIFY_THROWS_EXCEPTION(EQxError, f.import(OverwritePolicy::Ask, AutonomiVariant::OnlyRegistry, {999}));
    }

    void filters_data() { TestDatabase::addDatabaseRows(); }
    void filters()
    {
        FIXTURE(f);
        f.writer.lookup(QStringLiteral("TTNO_TIPONOMINA"), 14, QStringLiteral("LP"), QStringLiteral("Libero professionista"));
        f.writer.lookup(QStringLiteral("TTNO_TIPONOMINA"), 15, QStringLiteral("AO"), QStringLiteral("Autonomo occasionale"));
        const QList<FilterEntry> tno = loadFilterEntries(f.conn, QStringLiteral("QRY_TNO_FILTRO"));
        QCOMPARE(tno.size(), 3);
        QCOMPARE(tno[0].text, QStringLiteral("(Tutte)"));
        QVERIFY(tno[0].id.isNull());
        QCOMPARE(tno[1].text, QStringLiteral("AO - Autonomo occasionale"));
        QCOMPARE(loadFilterEntries(f.conn, QStringLiteral("QRY_CAL_FILTRO")).size(), 1);
        QCOMPARE(loadFilterEntries(f.conn, QStringLiteral("QRY_QAR_FILTRO")).size(), 1);

        AutonomiFilter filter;
        QCOMPARE(filter.text(), QString());
        filter.tno = tno[1].id;
        filter.cat = 3;
        QCOMPARE(filter.text(), QStringLiteral(" ICALQUXORCODE=3 AND  ITNOQUXORCODE=15"));
        AutonomiPayee p;
        p.cat = 3;
        p.tno = 15;
        QVERIFY(filter.accepts(p));
        p.tno = 14;
        QVERIFY(!filter.accepts(p));
    }
};

JEX_TEST_MAIN(TstAutonomiImport)
#include "tst_autonomiimport.moc"
