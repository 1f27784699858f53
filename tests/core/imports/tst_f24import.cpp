// The F24 import on a real database (SQLite, and PostgreSQL when
// JEX770_TEST_PG names a server): the delivered statements against the
// payroll archive, the summary tables kept in memory.

#include "testdb.h"

#include "base/errors.h"
#include "base/messages.h"
#include "base/paths.h"
#include "database/namedsql.h"
#include "database/sqlconnection.h"
#include "demo/f24payments.h"
#include "sections/memorystore.h"
#include "imports/f24/f24import.h"

#include "coretest.h"

#include <QtTest>
#include <atomic>
#include <memory>

using namespace jex;

namespace {

std::atomic<int> g_conn{0};

const QString ST1 = QStringLiteral("TPST_PROSPETTOST");
const QString ST2 = QStringLiteral("TPST2_PROSPETTOSTS2");
const QString SV = QStringLiteral("TPSV_PROSPETTOSV");

struct Fixture
{
    explicit Fixture(const QString &kind)
        : tdb(kind), conn(QStringLiteral("f24_%1").arg(g_conn++))
    {
        if (tdb.available())
            conn.open(DatabaseUrl::parse(tdb.url()));
    }
    ~Fixture() { conn.close(); }

    // One payroll payment of 2024 (withholdings of `mese`, paid on the 16th
    // of the month after).
    void pay(const QString &sezione, const QString &codice, int mese, double importo,
             int annoRit = 2024, const QString &regione = {})
    {
        conn.exec(QStringLiteral(
                      "INSERT INTO TF24_VERSAMENTI (SF24SEZIONE, SF24CODTRIBUTO, IF24MESERIF, IF24ANNORIF, "
                      "IF24ANNORIT, DF24DATAVERS, FF24IMPORTO, FF24CREDITO, FF24INTERESSI, SF24CODREGIONE) "
                      "VALUES (:S, :C, :M, 2024, :R, :D, :I, 0, 0, :REG)"),
                  {{QStringLiteral("S"), sezione},
                   {QStringLiteral("C"), codice},
                   {QStringLiteral("M"), mese},
                   {QStringLiteral("R"), annoRit},
                   {QStringLiteral("D"), QDate(2024, mese, 16).addMonths(1)},
                   {QStringLiteral("I"), importo},
                   {QStringLiteral("REG"), regione.isEmpty() ? QVariant() : QVariant(regione)}});
    }

    // A row typed by hand earlier, which an import must replace or keep.
    void oldRow(const QString &table, const QString &codeColumn, const QString &code)
    {
        ClientDataSet cds;
        store.openCds(table, cds);
        cds.append();
        cds.fieldByName(codeColumn)->setValue(code);
        cds.post();
        store.saveCds(table, cds);
    }

    QStringList codes(const QString &table, const QString &codeColumn)
    {
        ClientDataSet cds;
        store.openCds(table, cds);
        QStringList out;
        for (cds.first(); !cds.eof(); cds.next())
            out << cds.fieldByName(codeColumn)->asString();
        return out;
    }

    QVariant agent(const QString &column)
    {
        ClientDataSet cds;
        store.openCds(QStringLiteral("TSOS_DATOSOSTITUTO"), cds);
        cds.first();
        return cds.fieldByName(column)->value();
    }

    QString run(ImportF24Choice choice = {}) { return runImportF24(conn, store, choice); }

    TestDatabase tdb;
    TQxSQLConnection conn;
    MemorySectionStore store;
};

void setQuerySql(const QString &name, const QString &sql)
{
    auto &qt = TQmrQueryText::instance();
    QVERIFY(qt.locate(QStringLiteral("Query;Tipo"), {name, QStringLiteral("SELECT")}));
    qt.edit();
    qt.fieldByName(QStringLiteral("SQL"))->setValue(sql);
    qt.post();
}

} // namespace

#define FIXTURE(f)                                                    \
    QFETCH(QString, db);                                              \
    Fixture f(db);                                                    \
    if (!f.tdb.available())                                           \
        QSKIP(qPrintable(f.tdb.skipReason()));

class TstF24Import : public QObject
{
    Q_OBJECT

private:
    ScriptedMessageService m_messages{ModalResult::Ok};

private Q_SLOTS:
    void initTestCase()
    {
        const QString src = qEnvironmentVariable("JEX770_SOURCE_DIR");
        QVERIFY(!src.isEmpty());
        // The delivered catalogue gives the tables their columns.
        Paths::setMainDir(src + QStringLiteral("/data/"));
        setMessageService(&m_messages);
    }
    void init()
    {
        // Fresh statements: a test may have spoilt one.
        TQmrQueryText::instance().CompileQueryFile(qEnvironmentVariable("JEX770_SOURCE_DIR")
                                                   + QStringLiteral("/sql/f24.xml"));
        m_messages.clear();
    }
    void cleanupTestCase() { setMessageService(nullptr); }

    void demoYearFillsTheTables_data() { TestDatabase::addDatabaseRows(); }
    void demoYearFillsTheTables()
    {
        FIXTURE(f);
        seedF24Demo(f.conn, false);
        const QString report = f.run();
        QCOMPARE(report, QStringLiteral("PROSPETTO ST SEZIONE I Erario\r\n - Importati 24 righi\r\n"
                                        "\r\nPROSPETTO ST SEZIONE II Addizionali regionali\r\n - Importati 22 righi\r\n"
                                        "\r\nPROSPETTO SV Addizionali comunali\r\n - Importati 20 righi\r\n"));

        // July: the 730 refunds were set against the tax paid in August.
        ClientDataSet st;
        f.store.openCds(ST1, st);
        QVERIFY(st.locate(QStringLiteral("SPSTMESE;SPSTCODTRIBUTO"), {QStringLiteral("07"), QStringLiteral("1001")}));
        QCOMPARE(st.fieldByName(QStringLiteral("SPSTANNO"))->asString(), QStringLiteral("2024"));
        QCOMPARE(st.fieldByName(QStringLiteral("FPSTRITOPEARTE"))->asMoney(), 182159000);
        QCOMPARE(st.fieldByName(QStringLiteral("FPSTRITCOMPENSATE"))->asMoney(), 23154000);
        QCOMPARE(st.fieldByName(QStringLiteral("FPSTIMPOVERSATO"))->asMoney(), 159005000);
        QCOMPARE(st.fieldByName(QStringLiteral("DPSTDTVERS"))->asDate(), QDate(2024, 8, 16));
        // December's withholdings are paid in January of the next year.
        QVERIFY(st.locate(QStringLiteral("SPSTMESE;SPSTCODTRIBUTO"), {QStringLiteral("12"), QStringLiteral("1001")}));
        QCOMPARE(st.fieldByName(QStringLiteral("DPSTDTVERS"))->asDate(), QDate(2025, 1, 16));

        // Regional surtax: one row per region; municipal: summed over municipalities.
        ClientDataSet st2;
        f.store.openCds(ST2, st2);
        QVERIFY(st2.locate(QStringLiteral("SPST2MESE;SPST2CODREG"), {QStringLiteral("03"), QStringLiteral("05")}));
        QCOMPARE(st2.fieldByName(QStringLiteral("FPST2IMPOVERSATO"))->asMoney(), 2146000);
        ClientDataSet sv;
        f.store.openCds(SV, sv);
        QVERIFY(sv.locate(QStringLiteral("SPSVMESE;SPSVCODTRIBCAP"), {QStringLiteral("05"), QStringLiteral("385E")}));
        QCOMPARE(sv.fieldByName(QStringLiteral("FPSVIMPVERS"))->asMoney(), 1963400);

        QCOMPARE(f.agent(QStringLiteral("SSOSTIPOINV")).toString(), QStringLiteral("1"));
        QCOMPARE(f.agent(QStringLiteral("LSOSDIP")).toInt(), 1);
        QCOMPARE(f.agent(QStringLiteral("LSOSAUT")).toInt(), 1);
    }

    void demoPreviousYearCaseStopsSv_data() { TestDatabase::addDatabaseRows(); }
    void demoPreviousYearCaseStopsSv()
    {
        FIXTURE(f);
        seedF24Demo(f.conn);
        QVERIFY(f.run().endsWith(QStringLiteral("PROSPETTO SV Addizionali comunali\r\n - ")
                                 + f24PreviousYearMessage() + QStringLiteral("\r\n")));
        QCOMPARE(f.codes(SV, QStringLiteral("SPSVCODTRIBCAP")).size(), 0);
        QCOMPARE(f.codes(ST2, QStringLiteral("SPST2CODTRIBUTO")).size(), 22);
    }

    void failedTestLeavesSt2Untouched_data() { TestDatabase::addDatabaseRows(); }
    void failedTestLeavesSt2Untouched()
    {
        FIXTURE(f);
        f.oldRow(ST2, QStringLiteral("SPST2CODTRIBUTO"), QStringLiteral("3802"));
        f.pay(QStringLiteral("R"), QStringLiteral("381E"), 1, 120.00, 2024, QStringLiteral("08"));
        f.pay(QStringLiteral("R"), QStringLiteral("381E"), 2, 80.00, 2023, QStringLiteral("08"));
        const int savesBefore = f.store.saves(ST2);

        const QString report = f.run();
        QVERIFY2(report.contains(QStringLiteral("PROSPETTO ST SEZIONE II Addizionali regionali\r\n - ")
                                 + f24PreviousYearMessage() + QStringLiteral("\r\n")),
                 qPrintable(report));
        QCOMPARE(f.codes(ST2, QStringLiteral("SPST2CODTRIBUTO")), QStringList{QStringLiteral("3802")});
        QCOMPARE(f.store.saves(ST2), savesBefore);
        // The other tables went their own way.
        QVERIFY(report.contains(QStringLiteral("PROSPETTO ST SEZIONE I Erario\r\n - Nessun dato da importare\r\n")));
    }

    void noRowsKeepsOldRows_data() { TestDatabase::addDatabaseRows(); }
    void noRowsKeepsOldRows()
    {
        FIXTURE(f);
        f.oldRow(ST1, QStringLiteral("SPSTCODTRIBUTO"), QStringLiteral("1001"));
        // Payments of another year and of the other sections only.
        f.conn.exec(QStringLiteral("INSERT INTO TF24_VERSAMENTI (SF24SEZIONE, SF24CODTRIBUTO, IF24MESERIF, "
                                   "IF24ANNORIF, IF24ANNORIT, DF24DATAVERS, FF24IMPORTO) "
                                   "VALUES ('F', '1001', 11, 2023, 2023, :D, 500)"),
                    {{QStringLiteral("D"), QDate(2023, 12, 16)}});
        f.pay(QStringLiteral("EL"), QStringLiteral("384E"), 3, 40.00);

        const QString report = f.run();
        QVERIFY(report.startsWith(QStringLiteral("PROSPETTO ST SEZIONE I Erario\r\n - Nessun dato da importare\r\n")));
        QCOMPARE(f.codes(ST1, QStringLiteral("SPSTCODTRIBUTO")), QStringList{QStringLiteral("1001")});
        QCOMPARE(f.codes(SV, QStringLiteral("SPSVCODTRIBCAP")), QStringList{QStringLiteral("384E")});
    }

    void importReplacesOldRows_data() { TestDatabase::addDatabaseRows(); }
    void importReplacesOldRows()
    {
        FIXTURE(f);
        f.oldRow(ST1, QStringLiteral("SPSTCODTRIBUTO"), QStringLiteral("9999"));
        f.oldRow(ST1, QStringLiteral("SPSTCODTRIBUTO"), QStringLiteral("8888"));
        f.pay(QStringLiteral("F"), QStringLiteral("1001"), 1, 100.00);
        f.pay(QStringLiteral("F"), QStringLiteral("1001"), 2, 200.00);
        f.run({true, false, false});
        QCOMPARE(f.codes(ST1, QStringLiteral("SPSTCODTRIBUTO")),
                 (QStringList{QStringLiteral("1001"), QStringLiteral("1001")}));
    }

    void flags_data()
    {
        QTest::addColumn<QString>("db");
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<int>("dip");
        QTest::addColumn<int>("aut");
        const struct { const char *name; QStringList codes; int dip, aut; } cases[] = {
            {"1001+1040", {QStringLiteral("1001"), QStringLiteral("1040")}, 1, 1},
            {"104E only", {QStringLiteral("104E")}, 0, 1},
            {"1001 only", {QStringLiteral("1001")}, 1, 0},
            {"1019+1020", {QStringLiteral("1019"), QStringLiteral("1020")}, 0, 1},
            {"nothing", {}, 0, 0},
        };
        for (const char *db : {"sqlite", "postgresql"})
            for (const auto &c : cases)
                QTest::addRow("%s %s", db, c.name) << QString::fromLatin1(db) << c.codes << c.dip << c.aut;
    }
    void flags()
    {
        FIXTURE(f);
        QFETCH(QStringList, codes);
        QFETCH(int, dip);
        QFETCH(int, aut);
        int mese = 1;
        for (const QString &c : codes)
            f.pay(QStringLiteral("F"), c, mese++, 250.00);
        f.run();
        QCOMPARE(f.agent(QStringLiteral("SSOSTIPOINV")).toString(), QStringLiteral("1"));
        QCOMPARE(f.agent(QStringLiteral("LSOSDIP")).toInt(), dip);
        QCOMPARE(f.agent(QStringLiteral("LSOSAUT")).toInt(), aut);
    }

    void onlySvChecked_data() { TestDatabase::addDatabaseRows(); }
    void onlySvChecked()
    {
        FIXTURE(f);
        f.oldRow(ST1, QStringLiteral("SPSTCODTRIBUTO"), QStringLiteral("1001"));
        f.pay(QStringLiteral("F"), QStringLiteral("1040"), 1, 300.00);
        f.pay(QStringLiteral("EL"), QStringLiteral("384E"), 1, 30.00);
        const int st1Saves = f.store.saves(ST1);

        QCOMPARE(f.run({false, false, true}),
                 QStringLiteral("\r\nPROSPETTO SV Addizionali comunali\r\n - Importati 1 righi\r\n"));
        QCOMPARE(f.agent(QStringLiteral("LSOSDIP")).toInt(), 1);
        QCOMPARE(f.agent(QStringLiteral("LSOSAUT")).toInt(), 0);
        QCOMPARE(f.store.saves(ST1), st1Saves);
        QCOMPARE(f.codes(ST1, QStringLiteral("SPSTCODTRIBUTO")), QStringList{QStringLiteral("1001")});
    }

    // A statement that fails, or returns a column the table lacks, ends the
    // action with an error naming the table; tables already done stay done.
    void badStatement_data()
    {
        QTest::addColumn<QString>("db");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");
        for (const char *db : {"sqlite", "postgresql"}) {
            QTest::addRow("%s failing", db) << QString::fromLatin1(db)
                                            << QStringLiteral("SELECT NOSUCHCOLUMN FROM TF24_VERSAMENTI")
                                            << QStringLiteral("Ultima operazione DB: QRY_JEX_ST_II");
            QTest::addRow("%s foreign column", db)
                << QString::fromLatin1(db)
                << QStringLiteral("SELECT '381E' AS SPST2CODTRIBUTO, 12 AS SPSTBOGUS FROM TF24_VERSAMENTI")
                << QStringLiteral("SPSTBOGUS");
        }
    }
    void badStatement()
    {
        FIXTURE(f);
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        setQuerySql(QStringLiteral("QRY_JEX_ST_II"), sql);
        f.oldRow(SV, QStringLiteral("SPSVCODTRIBCAP"), QStringLiteral("3848"));
        f.pay(QStringLiteral("F"), QStringLiteral("1001"), 1, 100.00);
        f.pay(QStringLiteral("R"), QStringLiteral("381E"), 1, 10.00, 2024, QStringLiteral("08"));
        f.pay(QStringLiteral("EL"), QStringLiteral("384E"), 1, 5.00);

        QVERIFY(!executeImportF24(f.conn, f.store, {}, {}));
        QCOMPARE(m_messages.shown().size(), 1);
        QCOMPARE(m_messages.shown().first().type, DlgType::Error);
        const QString text = m_messages.shown().first().text;
        QVERIFY2(text.contains(ST2) && text.contains(expected), qPrintable(text));
        QCOMPARE(f.codes(ST1, QStringLiteral("SPSTCODTRIBUTO")), QStringList{QStringLiteral("1001")});
        QCOMPARE(f.codes(SV, QStringLiteral("SPSVCODTRIBCAP")), QStringList{QStringLiteral("3848")});
    }

    void reportIsShownAsWarning_data() { TestDatabase::addDatabaseRows(); }
    void reportIsShownAsWarning()
    {
        FIXTURE(f);
        QString report;
        QVERIFY(executeImportF24(f.conn, f.store, {true, false, false}, {}, &report));
        QCOMPARE(report, QStringLiteral("PROSPETTO ST SEZIONE I Erario\r\n - Nessun dato da importare\r\n"));
        QCOMPARE(m_messages.shown().size(), 1);
        QCOMPARE(m_messages.shown().first().type, DlgType::Warning);
        QCOMPARE(m_messages.shown().first().text, report);
    }
};

JEX_TEST_MAIN(TstF24Import)
#include "tst_f24import.moc"
