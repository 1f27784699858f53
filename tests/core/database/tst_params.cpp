// Year contexts and the check of the fiscal year chosen in the parameters,
// on SQLite and, when JEX770_TEST_PG names an admin URL, on PostgreSQL.

#include "base/appcontext.h"
#include "base/errors.h"
#include "base/messages.h"
#include "database/params.h"
#include "base/paths.h"
#include "database/sqlconnection.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include "coretest.h"

#include <QtTest>
#include <memory>

#include "testdb.h"

using namespace jex;


class TstParams : public QObject
{
    Q_OBJECT
public:
    explicit TstParams(const QString &backend) : m_backend(backend) {}

private:
    TQxSQLConnection &conn() { return AppContext::instance().connection().xqoMain; }
    bool sqlite() const { return m_backend == QLatin1String("sqlite"); }

    void resetPayroll()
    {
        conn().exec(QStringLiteral("DELETE FROM TNAF_NUOVOANAFIN"));
        conn().exec(QStringLiteral("DELETE FROM TCON_CONTI"));
        conn().exec(QStringLiteral("DELETE FROM TPACO_PARAMCOMP"));
        conn().exec(QStringLiteral("DELETE FROM TQXU_PARAMS"));
    }

    QString m_backend;
    std::unique_ptr<TestDatabase> m_db;
    QTemporaryDir m_tmp;
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
        qunsetenv("JEX770_PDC_CONVERTER");
    }

    void init()
    {
        m_messages.clear();
        resetPayroll();
    }

    void schemaSeedsTheYears()
    {
        TqmrAnnoFinanziario anf(&dmZptParams());
        anf.SetAnno(anfIdOfYear(2019));
        QCOMPARE(anf.Id, 50);
        QCOMPARE(anf.DataInizioTxt, QStringLiteral("01/01/2019"));
        anf.SetAnno(anfIdOfYear(2025));
        QCOMPARE(anf.DataFineTxt, QStringLiteral("12/31/2025"));
        // Running it again on a filled table must not fail on the keys.
        ensureYears(conn());
        QCOMPARE(conn().scalar(QStringLiteral("SELECT COUNT(*) FROM TANF_ANNIFINANZ WHERE IANFID BETWEEN 50 AND 56")).toInt(), 7);
    }

    void yearEndingInAugust()
    {
        conn().exec(QStringLiteral("DELETE FROM TANF_ANNIFINANZ WHERE IANFID = 90"));
        conn().exec(QStringLiteral("INSERT INTO TANF_ANNIFINANZ (IANFID, SANFDESC, DANFQUXORINIZIO, DANFQUXORFINE) "
                                   "VALUES (90, 'prova', :A, :B)"),
                    {{QStringLiteral("A"), QDate(2024, 9, 1)}, {QStringLiteral("B"), QDate(2025, 8, 31)}});
        TqmrAnnoFinanziario anf(&dmZptParams());
        anf.SetAnno(90);
        QCOMPARE(anf.DataFineTxt, QStringLiteral("08/31/2025"));
        QCOMPARE(anf.AnnoFineTxt(), QStringLiteral("2025"));
        QCOMPARE(anf.DataInizioTxt, QStringLiteral("09/01/2024"));
        QCOMPARE(anf.Anno, 2024);
        QCOMPARE(anf.DataFine.date(), QDate(2025, 8, 31));
    }

    void unknownYearReadsEmpty()
    {
        TqmrAnnoFinanziario anf(&dmZptParams());
        anf.SetAnno(55);
        anf.SetAnno(999);
        QCOMPARE(anf.Id, 999);
        QVERIFY(!anf.DataInizio.isValid());
        QVERIFY(anf.DataFineTxt.isEmpty());
        QCOMPARE(anf.Anno, 0);
    }

    void defaultFiscalYearFromParameter()
    {
        TdmZptParams params;
        params.SetParamValue(QStringLiteral("QXUP_AnfId"), 55);
        TqmrAnnoFinanziario anf(&params);
        anf.SetAnno(0);
        QCOMPARE(anf.Id, 55);
        QCOMPARE(anf.Anno, 2024);
        QCOMPARE(anf.AnnoFineTxt(), QStringLiteral("2024"));
    }

    void applicationYearTakesTheApplicationModule()
    {
        dmZptParams().SetParamValue(QStringLiteral("QXUP_AnfId"), 54);
        TzptAnnoFinanziario anf;
        anf.SetAnno(0);
        QCOMPARE(anf.Params, &dmZptParams());
        QCOMPARE(anf.Anno, 2023);
        TqmrAnnoScolastico orphan;
        QVERIFY_THROWS_EXCEPTION(EAssertion, orphan.SetAnno(0));
    }

    void schoolYearDefaultId_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("id");
        QTest::newRow("null") << QVariant() << 0;
        QTest::newRow("numeric") << QVariant(QStringLiteral("55")) << 55;
        QTest::newRow("not numeric") << QVariant(QStringLiteral("x5")) << 0;
    }
    void schoolYearDefaultId()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, id);
        TdmZptParams params;
        params.SetParamValue(QStringLiteral("QXUP_AnsId"), stored);
        TqmrAnnoScolastico ans(&params);
        ans.SetAnno(0);
        QCOMPARE(ans.Id, id);
        if (id == 55) {
            QCOMPARE(ans.DataInizioTxt, QStringLiteral("09/01/2024"));
            QCOMPARE(ans.DataFineTxt, QStringLiteral("08/31/2025"));
        }
    }

    void settingsDirectoryBesideBin()
    {
        const QString saved = Paths::mainDir();
        QTemporaryDir main;
        Paths::setMainDir(main.path());
        ensureZptParDir();
        const bool created = QFileInfo(main.filePath(QStringLiteral("usr/zpt"))).isDir();
        Paths::setMainDir(saved);
        QVERIFY(created);
    }

    void payrollParametersOfTheYear()
    {
        conn().exec(QStringLiteral("INSERT INTO TPACO_PARAMCOMP (IANFID, LPACOAFAM, IPACOF24EP, IDWGANFID) VALUES (55, 1, 0, 7)"));
        conn().exec(QStringLiteral("INSERT INTO TPACO_PARAMCOMP (IANFID, LPACOAFAM, IPACOF24EP, IDWGANFID) VALUES (54, 0, 1, 3)"));
        TdmZptParams params;
        params.SetAnnoFinanziario(55);
        QCOMPARE(params.ParamField(QStringLiteral("IPACOF24EP")).toInt(), 0);
        QCOMPARE(params.ParamField(QStringLiteral("idwganfid")).toInt(), 7);
        params.SetAnnoFinanziario(54);
        QCOMPARE(params.ParamField(QStringLiteral("IPACOF24EP")).toInt(), 1);
        params.SetAnnoFinanziario(53);
        QVERIFY(params.ParamField(QStringLiteral("IPACOF24EP")).isNull());
    }

    void yearCheck_data()
    {
        QTest::addColumn<QString>("parameter");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<bool>("converted");    // a conversion row for 2019
        QTest::addColumn<int>("account");       // ITIMID present in the chart, 0 = none
        QTest::addColumn<int>("afam");          // LPACOAFAM
        QTest::addColumn<QString>("converter"); // "", "missing", "noop", "fills"
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("message");

        QTest::newRow("2026 refused") << "QXUP_AnfId" << "2026" << true << 200001 << 1 << "" << false << false;
        QTest::newRow("nothing selected") << "QXUP_AnfId" << "" << true << 0 << 0 << "" << false << false;
        QTest::newRow("2018 without check") << "QXUP_AnfId" << "2018" << false << 0 << 0 << "missing" << true << false;
        QTest::newRow("2019 converted") << "QXUP_AnfId" << "2019" << true << 0 << 0 << "missing" << true << false;
        QTest::newRow("2025 converted") << "QXUP_AnfId" << "2025" << true << 0 << 0 << "missing" << true << false;
        QTest::newRow("accounts 200001") << "QXUP_AnfId" << "2024" << false << 200001 << 0 << "missing" << true << false;
        QTest::newRow("accounts 500001") << "QXUP_AnfId" << "2024" << false << 500001 << 0 << "missing" << true << false;
        QTest::newRow("other accounts only") << "QXUP_AnfId" << "2024" << false << 300001 << 0 << "missing" << false << true;
        QTest::newRow("LPACOAFAM 1") << "QXUP_AnfId" << "2024" << false << 0 << 1 << "missing" << true << false;
        QTest::newRow("converter missing") << "QXUP_AnfId" << "2019" << false << 0 << 0 << "missing" << false << true;
        QTest::newRow("converter fails") << "QXUP_AnfId" << "2024" << false << 0 << 0 << "noop" << false << false;
        QTest::newRow("other parameter") << "QXUP_DwgId" << "2030" << false << 0 << 0 << "missing" << true << false;
        if (sqlite())
            QTest::newRow("converter converts") << "QXUP_AnfId" << "2024" << false << 0 << 0 << "fills" << true << false;
    }
    void yearCheck()
    {
        QFETCH(QString, parameter);
        QFETCH(QString, selected);
        QFETCH(bool, converted);
        QFETCH(int, account);
        QFETCH(int, afam);
        QFETCH(QString, converter);
        QFETCH(bool, accepted);
        QFETCH(bool, message);

        if (converted)
            conn().exec(QStringLiteral("INSERT INTO TNAF_NUOVOANAFIN (INAFID, IANFID) VALUES (1, 50)"));
        // A conversion of another year must not count for 2019.
        conn().exec(QStringLiteral("INSERT INTO TNAF_NUOVOANAFIN (INAFID, IANFID) VALUES (2, 51)"));
        if (account)
            conn().exec(QStringLiteral("INSERT INTO TCON_CONTI (ICONID, ITIMID) VALUES (1, :T)"), {{QStringLiteral("T"), account}});
        conn().exec(QStringLiteral("INSERT INTO TPACO_PARAMCOMP (IANFID, LPACOAFAM, IPACOF24EP) VALUES (55, :A, 1)"),
                    {{QStringLiteral("A"), afam}});

        const QString argsFile = m_tmp.filePath(QStringLiteral("args.txt"));
        QFile::remove(argsFile);
        QString program = m_tmp.filePath(QStringLiteral("absent/aggPdC2019.exe"));
        if (converter == QLatin1String("noop") || converter == QLatin1String("fills")) {
            program = m_tmp.filePath(QStringLiteral("aggPdC2019-%1.py").arg(converter));
            QFile f(program);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QByteArray script = "#!/usr/bin/env python3\nimport sys\nopen(" + QByteArray("'") + argsFile.toUtf8() +
                                "', 'w').write(sys.argv[1])\n";
            if (converter == QLatin1String("fills"))
                script += "import sqlite3\nc = sqlite3.connect(sys.argv[1].strip('\"'))\n"
                          "c.execute('INSERT INTO TCON_CONTI (ICONID, ITIMID) VALUES (9, 200001)')\nc.commit()\n";
            f.write(script);
            f.close();
            f.setPermissions(f.permissions() | QFile::ExeOwner);
        }
        qputenv("JEX770_PDC_CONVERTER", program.toLocal8Bit());

        TdmZptParams params;
        params.SetAnnoFinanziario(55);
        bool ok = true;
        params.CheckValue(parameter, selected, ok);
        QCOMPARE(ok, accepted);
        QCOMPARE(!m_messages.texts().isEmpty(), message);
        if (message) {
            QVERIFY(m_messages.texts().first().contains(QStringLiteral("aggPdC2019.exe")));
            QCOMPARE(m_messages.shown().first().type, DlgType::Error);
        }
        if (converter == QLatin1String("noop") || converter == QLatin1String("fills")) {
            QFile f(argsFile);
            QVERIFY2(f.open(QIODevice::ReadOnly), "the converter did not run");
            QCOMPARE(QString::fromUtf8(f.readAll()), u'"' + conn().databaseName() + u'"');
        }
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    jex::registerCore(jex::coreRegistry());
    int rc = 0;
    {
        TstParams t(QStringLiteral("sqlite"));
        rc |= QTest::qExec(&t, argc, argv);
    }
    if (!qEnvironmentVariableIsEmpty("JEX770_TEST_PG")) {
        TstParams t(QStringLiteral("postgresql"));
        rc |= QTest::qExec(&t, argc, argv);
    }
    return rc;
}

#include "tst_params.moc"
