// The demo school: codici fiscali, determinism and consistency of the
// generated certifications, and "init --demo" on a database (SQLite and,
// when JEX770_TEST_PG names an admin URL, PostgreSQL).

#include "base/appcontext.h"
#include "database/structureservice.h"
#include "base/errors.h"
#include "base/messages.h"
#include "database/params.h"
#include "database/sqlconnection.h"
#include "demo/codicefiscale.h"
#include "demo/demoagent.h"
#include "demo/demoschool.h"
#include "imports/importmodule.h"
#include "checks/completeness.h"
#include "sections/memorystore.h"
#include "catalogue/catalogue.h"
#include "sections/transfer.h"
#include "demo/demoinit.h"

#include <QCoreApplication>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include "coretest.h"

#include <QtTest>
#include <memory>

#include "testdb.h"

using namespace jex;
using namespace jex::demo;

namespace {

// Position of a person's fields in the code.
QDate birthOf(const QString &cf, bool *female)
{
    static const QString months = QStringLiteral("ABCDEHLMPRST");
    int day = cf.mid(9, 2).toInt();
    *female = day > 40;
    if (day > 40)
        day -= 40;
    const int yy = cf.mid(6, 2).toInt();
    return QDate(yy > 30 ? 1900 + yy : 2000 + yy, int(months.indexOf(cf[8])) + 1, day);
}

} // namespace

// Pure generator tests: no database.
class TstDemoCodes : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void personCode_data()
    {
        QTest::addColumn<QString>("surname");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QDate>("birth");
        QTest::addColumn<bool>("female");
        QTest::addColumn<QString>("place");
        QTest::addColumn<QString>("code");
        // The first is the example the Agenzia's documents use; the others
        // were worked out by hand with the published tables.
        QTest::newRow("rossi mario") << "Rossi" << "Mario" << QDate(1985, 12, 10) << false << "A562" << "RSSMRA85T10A562S";
        QTest::newRow("woman: day + 40") << "Bianchi" << "Maria" << QDate(1990, 3, 5) << true << "F205" << "BNCMRA90C45F205A";
        QTest::newRow("short surname, 4 consonants") << "Fo" << "Gianfranco" << QDate(1970, 1, 1) << false << "H501" << "FOXGFR70A01H501W";
        QTest::newRow("apostrophe, vowels") << "D'Angelo" << "Ugo" << QDate(2001, 5, 31) << false << "G478" << "DNGGUO01E31G478W";
        QTest::newRow("august, woman") << "Verdi" << "Lucia" << QDate(1999, 8, 28) << true << "L219" << "VRDLCU99M68L219Z";
    }
    void personCode()
    {
        QFETCH(QString, surname);
        QFETCH(QString, name);
        QFETCH(QDate, birth);
        QFETCH(bool, female);
        QFETCH(QString, place);
        QFETCH(QString, code);
        QCOMPARE(personFiscalCode(surname, name, birth, female, place), code);
        QVERIFY(isValidPersonCode(code));
        QString wrong = code;
        wrong[15] = code[15] == u'A' ? u'B' : u'A';
        QVERIFY(!isValidPersonCode(wrong));
    }

    void organisationCode_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("valid");
        QTest::newRow("ministry") << "80185250588" << true;
        QTest::newRow("ministry, last digit changed") << "80185250589" << false;
        QTest::newRow("doubled digit above 9") << "00000000190" << true;
        QTest::newRow("doubled digit above 9, wrong check") << "00000000191" << false;
        QTest::newRow("undoubled 9") << "00000000901" << true;
        QTest::newRow("too short") << "8018525058" << false;
    }
    void organisationCode()
    {
        QFETCH(QString, code);
        QFETCH(bool, valid);
        QCOMPARE(isValidOrganisationCode(code), valid);
    }

    void sameCountSameData()
    {
        DemoSchool a, b, c;
        generate(a, 30, catalogueFactory());
        generate(b, 30, catalogueFactory());
        generate(c, 31, catalogueFactory());
        for (const QString &t : certificationTables())
            QVERIFY2(a.table(t).saveToBytes() == b.table(t).saveToBytes(), qPrintable(t));
        QCOMPARE(a.seat.codFis, c.seat.codFis);
        QVERIFY(a.table(QStringLiteral("TCUD_DATICUD")).saveToBytes() != c.table(QStringLiteral("TCUD_DATICUD")).saveToBytes());
    }

    // The demo's own return passes the completeness check the telematic
    // file runs first, so the file is made without questions.
    void agentRecordIsComplete()
    {
        DemoSchool s;
        generate(s, 10, catalogueFactory());
        MemorySectionStore store;
        seedAgentDemo(s, store);
        ClientDataSet &agent = store.table(QStringLiteral("TSOS_DATOSOSTITUTO"));
        ClientDataSet &supplier = store.table(QStringLiteral("TFOR_FORNITORE"));
        QCOMPARE(agent.recordCount(), 1);
        QCOMPARE(supplier.recordCount(), 1);
        QStringList findings;
        QVERIFY2(CheckDataSets(findings, {&agent, &supplier}), qPrintable(findings.join(u'\n')));
        QCOMPARE(agent.fieldByName(QStringLiteral("SSOSCFRAPPR"))->asString(), s.dirigente.codFis);
        QCOMPARE(agent.fieldByName(QStringLiteral("LSOSST"))->asInteger(), 0);

        agent.edit();
        agent.fieldByName(QStringLiteral("SSOSDENOM"))->setAsString(QStringLiteral("CAMBIATA"));
        agent.post();
        seedAgentDemo(s, store); // an existing record is left alone
        QCOMPARE(agent.recordCount(), 1);
        QCOMPARE(agent.fieldByName(QStringLiteral("SSOSDENOM"))->asString(), QStringLiteral("CAMBIATA"));
    }

    void certificationsAreConsistent()
    {
        DemoSchool s;
        generate(s, 200, catalogueFactory());
        QVERIFY(isValidOrganisationCode(s.seat.codFis));

        ClientDataSet &sost = s.table(QStringLiteral("TCUS_DATISOST"));
        QCOMPARE(sost.recordCount(), 1);
        sost.first();
        QCOMPARE(sost.fieldByName(QStringLiteral("SSOSCODFIS"))->asString(), s.seat.codFis);
        QCOMPARE(sost.fieldByName(QStringLiteral("SSOSCFDICASTERO"))->asString(), QStringLiteral("80185250588"));
        QVERIFY(isValidPersonCode(sost.fieldByName(QStringLiteral("SSOSCFRAPPR"))->asString()));
        QVERIFY(!sost.fieldByName(QStringLiteral("SSOSCOGNRAPPR"))->asString().isEmpty());
        QVERIFY(sost.fieldByName(QStringLiteral("DSOSDTNASRAPPR"))->asDate().isValid());

        ClientDataSet &cud = s.table(QStringLiteral("TCUD_DATICUD"));
        // The second employee has two certifications: June's and the comprehensive one.
        QCOMPARE(cud.recordCount(), s.employees + s.selfEmployed + 1);
        QVERIFY(s.selfEmployed >= 2);
        QSet<QString> codes;
        int withIncome = 0;
        for (cud.first(); !cud.eof(); cud.next()) {
            const QString cf = cud.fieldByName(QStringLiteral("SCUDCODFIS"))->asString();
            QVERIFY2(isValidPersonCode(cf), qPrintable(cf));
            const QString month = cud.fieldByName(QStringLiteral("SCUDMESE"))->asString();
            QVERIFY2(!codes.contains(cf + month), qPrintable(cf));
            codes.insert(cf + month);
            codes.insert(cf);
            bool female = false;
            QCOMPARE(birthOf(cf, &female), cud.fieldByName(QStringLiteral("DCUDDATANAS"))->asDate());
            QCOMPARE(female, cud.fieldByName(QStringLiteral("SCUDSEX"))->asString() == QLatin1String("F"));
            QCOMPARE(cf.left(3), surnameCode(cud.fieldByName(QStringLiteral("SCUDCOGNOME"))->asString()));
            const qint64 lorda = cud.fieldByName(QStringLiteral("FCUDIMPOLORDA"))->asMoney();
            const qint64 detr = cud.fieldByName(QStringLiteral("FCUDTOTDETR"))->asMoney();
            const qint64 irpef = cud.fieldByName(QStringLiteral("FCUDRITIRPEF"))->asMoney();
            QCOMPARE(irpef, lorda - detr);
            QVERIFY(irpef >= 0);
            if (cud.fieldByName(QStringLiteral("FCUDREDDDETR"))->asMoney() > 0) {
                ++withIncome;
                QVERIFY(cud.fieldByName(QStringLiteral("FCUDADDREGIRPEF"))->asMoney() > 0);
                QVERIFY(cud.fieldByName(QStringLiteral("ICUDPERIODOLAV"))->asInteger() <= 365);
            }
        }
        QCOMPARE(withIncome, s.employees + 1);

        // Every detail row belongs to a certified person, and there are some of each.
        for (const QString &t : certificationTables().mid(2)) {
            ClientDataSet &d = s.table(t);
            QVERIFY2(d.recordCount() > 0, qPrintable(t));
            for (d.first(); !d.eof(); d.next())
                QVERIFY2(codes.contains(d.fieldByName(QStringLiteral("SCUDCODFIS"))->asString()), qPrintable(t));
        }
        ClientDataSet &fam = s.table(QStringLiteral("TCUDC_CONFAMCARICO"));
        for (fam.first(); !fam.eof(); fam.next())
            for (const char *f : {"SCUDCODFISCON", "SCUDCODFISPRIFIGL", "SCUDCODFISFIGL"}) {
                const QString cf = fam.fieldByName(QString::fromLatin1(f))->asString();
                QVERIFY(cf.isEmpty() || isValidPersonCode(cf));
            }
    }
};

// The database side.
class TstDemoInit : public QObject
{
    Q_OBJECT
public:
    explicit TstDemoInit(const QString &backend) : m_backend(backend) {}

private:
    TQxSQLConnection &conn() { return AppContext::instance().connection().xqoMain; }

    QList<qint64> counts()
    {
        QList<qint64> c;
        for (const char *t : {"tfis_datifiscali", "TSED_SEDE", "TPACO_PARAMCOMP", "TCON_CONTI", "TQXU_PARAMS", "TANF_ANNIFINANZ"})
            c << conn().scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QString::fromLatin1(t))).toLongLong();
        return c;
    }

    QString m_backend;
    std::unique_ptr<TestDatabase> m_db;
    ScriptedMessageService m_messages;

private Q_SLOTS:
    void initTestCase()
    {
        qInfo("database: %s", qPrintable(m_backend));
        setMessageService(&m_messages);
        m_db = std::make_unique<TestDatabase>(m_backend);
        QVERIFY(m_db->available());
        // The connection module loads the named texts of the build; the
        // start-up's version check is the program's, not the test's.
        TdmZptConnessione &module = AppContext::instance().connection();
        setGlobalConnection(&module.xqoMain);
        module.xqoMain.open(DatabaseUrl::parse(m_db->url()));
    }

    void cleanupTestCase()
    {
        // The module stays for the next dialect: loading the named texts a
        // second time into the shared table crashed in the dataset loader.
        AppContext::instance().connection().xqoMain.close();
        setMessageService(nullptr);
        m_db.reset();
    }

    void schoolCodeMissingBeforeInit()
    {
        TdmJexImport imp;
        QCOMPARE(imp.SchoolFiscalCode(), QString());
    }

    void initTwiceChangesNothing()
    {
        TQmrDBCds service(2024, QStringLiteral("jey"), 0);
        service.SetConnection(&conn());
        service.SetShowWait(false);
        const TableSink sink = [&](const QString &t, ClientDataSet &ds) { service.SaveCds(ds, t); };

        DemoSchool school;
        QCOMPARE(installDemo(conn(), 12, catalogueFactory(), sink, &school), InitResult::Created);
        const QList<qint64> after = counts();
        QVERIFY(after[0] > 0);
        QCOMPARE(after[1], 1);

        DemoSchool again;
        QCOMPARE(installDemo(conn(), 12, catalogueFactory(), sink, &again), InitResult::AlreadyPresent);
        QCOMPARE(counts(), after);
        // Another count must not add a second school either.
        QCOMPARE(installDemo(conn(), 13, catalogueFactory(), sink), InitResult::AlreadyPresent);
        QCOMPARE(counts(), after);
        QVERIFY(!conn().inTransaction());

        // What was written reads back through the certification access.
        TQmrDBCds app(2024, QStringLiteral("jex"), 0);
        app.SetConnection(&conn());
        app.SetShowWait(false);
        TdmJexImport imp(&app);
        ClientDataSet cud;
        imp.OpenCertificationTable(QStringLiteral("TCUD_DATICUD"), cud);
        QCOMPARE(app.Programma, QStringLiteral("jex"));
        QCOMPARE(cud.recordCount(), school.employees + school.selfEmployed + 1);
        ClientDataSet &mem = school.table(QStringLiteral("TCUD_DATICUD"));
        mem.first();
        QVERIFY(cud.locate(QStringLiteral("SCUDCODFIS"), mem.fieldByName(QStringLiteral("SCUDCODFIS"))->asString()));
        QCOMPARE(cud.fieldByName(QStringLiteral("FCUDRITIRPEF"))->asMoney(), mem.fieldByName(QStringLiteral("FCUDRITIRPEF"))->asMoney());
        QCOMPARE(cud.fieldByName(QStringLiteral("DCUDDATANAS"))->asDate(), mem.fieldByName(QStringLiteral("DCUDDATANAS"))->asDate());

        ClientDataSet sost;
        imp.OpenCertificationTable(QStringLiteral("TCUS_DATISOST"), sost);
        QCOMPARE(sost.recordCount(), 1);
        QCOMPARE(sost.fieldByName(QStringLiteral("SSOSCODFIS"))->asString(), school.seat.codFis);
        QCOMPARE(imp.SchoolFiscalCode(), school.seat.codFis);

        TdmZptParams params;
        params.SetAnnoFinanziario(55);
        QCOMPARE(params.ParamField(QStringLiteral("IPACOF24EP")).toInt(), 1);
        QVERIFY(params.ConversionDone(50));
    }

    void unknownTableRestoresProgram()
    {
        TQmrDBCds app(2024, QStringLiteral("jex"), 0);
        app.SetConnection(&conn());
        app.SetShowWait(false);
        TdmJexImport imp(&app);
        ClientDataSet ds;
        QVERIFY_THROWS_EXCEPTION(EQxError, imp.OpenCertificationTable(QStringLiteral("TNON_ESISTE"), ds));
        QCOMPARE(app.Programma, QStringLiteral("jex"));
    }

    void anotherSchoolIsLeftAlone()
    {
        conn().exec(QStringLiteral("UPDATE TSED_SEDE SET SSEDCODFIS = '80012345678'"));
        const QList<qint64> before = counts();
        QCOMPARE(installDemo(conn(), 5, catalogueFactory(), [](const QString &, ClientDataSet &) { QFAIL("no save expected"); }),
                 InitResult::OtherSchool);
        QCOMPARE(counts(), before);
    }
};

// "init --demo" as the command runs it, on a database that holds a return.
class TstDemoReturn : public QObject
{
    Q_OBJECT
public:
    explicit TstDemoReturn(const QString &backend) : m_backend(backend) {}

private:
    TQxSQLConnection &conn() { return AppContext::instance().connection().xqoMain; }
    qint64 values() { return conn().scalar(QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali")).toLongLong(); }

    QStringList rows(const QString &table)
    {
        ClientDataSet ds;
        service().OpenCds(ds, table);
        return QString(formatSection(ds, SectionFormat::Csv)).split(u'\n', Qt::SkipEmptyParts).mid(1);
    }

    TQmrDBCds &service()
    {
        m_service.SetConnection(&conn());
        m_service.SetShowWait(false);
        return m_service;
    }

    void load(const QString &table, const QByteArray &csv)
    {
        QFile f(m_dir.filePath(QStringLiteral("in.csv")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(csv);
        f.close();
        loadSection(service(), *TableCatalogue::instance().table(QStringLiteral("jex"), table), f.fileName(), false);
    }

    QString m_backend;
    std::unique_ptr<TestDatabase> m_db;
    ScriptedMessageService m_messages;
    TQmrDBCds m_service{2024, QStringLiteral("jex"), 0};
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        qInfo("database: %s", qPrintable(m_backend));
        setMessageService(&m_messages);
        m_db = std::make_unique<TestDatabase>(m_backend);
        QVERIFY(m_db->available());
        TdmZptConnessione &module = AppContext::instance().connection();
        setGlobalConnection(&module.xqoMain);
        module.xqoMain.open(DatabaseUrl::parse(m_db->url()));
        ensureYears(conn());
    }

    void cleanupTestCase()
    {
        AppContext::instance().connection().xqoMain.close();
        setMessageService(nullptr);
        m_db.reset();
    }

    void realReturnIsLeftAlone()
    {
        // A school's own return, typed in or loaded, with no payroll seat.
        load(QStringLiteral("TSOS_DATOSOSTITUTO"), "SSOSCODFIS;SSOSDENOM\n80012345678;LICEO VERO\n");
        load(QStringLiteral("TPST_PROSPETTOST"), "SPSTMESE;SPSTANNO;SPSTCODTRIBUTO;FPSTRITOPEARTE\n01;2024;1001;100\n02;2024;1001;200\n");
        const qint64 before = values();
        const QStringList st = rows(QStringLiteral("TPST_PROSPETTOST"));
        DemoSchool school;
        const DemoInit done = initDemo(conn(), 5, false, school);
        QCOMPARE(done.result, InitResult::OtherSchool);
        QCOMPARE(values(), before);
        QCOMPARE(rows(QStringLiteral("TPST_PROSPETTOST")), st);
        QCOMPARE(conn().scalar(QStringLiteral("SELECT COUNT(*) FROM TSED_SEDE")).toLongLong(), 0);
        QVERIFY2(done.found.describe().contains(QStringLiteral("TPST_PROSPETTOST (2 righe)")), qPrintable(done.found.describe()));
        QVERIFY2(done.found.describe().contains(QStringLiteral("TSOS_DATOSOSTITUTO (1 riga)")), qPrintable(done.found.describe()));
        QVERIFY(!conn().inTransaction());
    }

    void forceReplacesAndSaysWhat()
    {
        DemoSchool school;
        const DemoInit done = initDemo(conn(), 5, true, school);
        QCOMPARE(done.result, InitResult::Created);
        const QString said = done.found.describe();
        QVERIFY2(said.contains(QStringLiteral("TPST_PROSPETTOST (2 righe)")), qPrintable(said));
        QVERIFY2(said.contains(QStringLiteral("TSOS_DATOSOSTITUTO (1 riga)")), qPrintable(said));
        // Nothing of the user's return is left among the demo's rows.
        for (const QString &r : rows(QStringLiteral("TPST_PROSPETTOST")))
            QVERIFY2(!r.contains(QStringLiteral(";100.00;")) && !r.contains(QStringLiteral(";200.00;")), qPrintable(r));
        const QStringList sos = rows(QStringLiteral("TSOS_DATOSOSTITUTO"));
        QCOMPARE(sos.size(), 1);
        QVERIFY2(sos.first().startsWith(school.seat.codFis), qPrintable(sos.first()));
    }

    void demoKeepsTheProgramsRules()
    {
        for (const CatalogueTable *t : TableCatalogue::instance().tables(QStringLiteral("jex"))) {
            ClientDataSet ds;
            service().OpenCds(ds, t->name);
            try {
                checkSectionRows(*t, ds);
            } catch (const EQxError &e) {
                QFAIL(qPrintable(t->name + QStringLiteral(": ") + e.message()));
            }
        }
        // So rows load onto the demo as onto any return.
        const int st = int(rows(QStringLiteral("TPST_PROSPETTOST")).size());
        const int sv = int(rows(QStringLiteral("TPSV_PROSPETTOSV")).size());
        QVERIFY(st > 0 && sv > 0);
        load(QStringLiteral("TPST_PROSPETTOST"), "SPSTMESE;SPSTANNO;SPSTCODTRIBUTO;FPSTRITOPEARTE\n03;2024;1001;300\n");
        load(QStringLiteral("TPSV_PROSPETTOSV"), "SPSVMESE;SPSVANNO;SPSVCODTRIBCAP;FPSVTRATTEFF\n03;2024;3848;30\n");
        QCOMPARE(rows(QStringLiteral("TPST_PROSPETTOST")).size(), st + 1);
        QCOMPARE(rows(QStringLiteral("TPSV_PROSPETTOSV")).size(), sv + 1);
    }

    void demoAgainChangesNothing()
    {
        const qint64 before = values();
        DemoSchool school;
        const DemoInit done = initDemo(conn(), 7, false, school);
        QCOMPARE(done.result, InitResult::AlreadyPresent);
        QCOMPARE(values(), before);
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    jex::registerCore(jex::coreRegistry());
    int rc = 0;
    {
        TstDemoCodes t;
        rc |= QTest::qExec(&t, argc, argv);
    }
    {
        TstDemoInit t(QStringLiteral("sqlite"));
        rc |= QTest::qExec(&t, argc, argv);
    }
    {
        TstDemoReturn t(QStringLiteral("sqlite"));
        rc |= QTest::qExec(&t, argc, argv);
    }
    if (!qEnvironmentVariableIsEmpty("JEX770_TEST_PG")) {
        TstDemoInit t(QStringLiteral("postgresql"));
        rc |= QTest::qExec(&t, argc, argv);
        TstDemoReturn r(QStringLiteral("postgresql"));
        rc |= QTest::qExec(&r, argc, argv);
    }
    return rc;
}

#include "tst_demo.moc"
