#include "base/appcontext.h"
#include "database/connection.h"
#include "base/errors.h"
#include "base/messages.h"
#include "base/paths.h"
#include "database/namedsql.h"
#include "database/sqlconnection.h"
#include "testdb.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include "coretest.h"

#include <QtTest>

using namespace jex;

namespace {

// A main directory with the delivered etc/zpt of the build, that a test may spoil.
struct MainDirCopy
{
    QTemporaryDir dir;
    MainDirCopy()
    {
        const QString src = qEnvironmentVariable("JEX770_MAIN_DIR") + QStringLiteral("/etc/zpt/");
        QDir().mkpath(dir.filePath(QStringLiteral("etc/zpt")));
        for (const QString &f : {QStringLiteral("zpt_QueryText.cds"), QStringLiteral("zpt_QueryText.unxc")})
            QFile::copy(src + f, dir.filePath(QStringLiteral("etc/zpt/") + f));
        Paths::setMainDir(dir.path());
    }
    ~MainDirCopy() { Paths::setMainDir(QString()); }
    QString etc(const QString &f) const { return dir.filePath(QStringLiteral("etc/zpt/") + f); }
};

} // namespace

class TestConnection : public QObject
{
    Q_OBJECT

    ScriptedMessageService m_messages;

private Q_SLOTS:
    void initTestCase() { TQmrQueryText::setExecutableName(QStringLiteral("jex770")); }

    void init()
    {
        m_messages.clear();
        setMessageService(&m_messages);
    }
    void cleanup()
    {
        AppContext::instance().reset();
        setMessageService(nullptr);
    }

    void versionComparison_data()
    {
        QTest::addColumn<QString>("own");
        QTest::addColumn<QString>("required");
        QTest::addColumn<bool>("passes");
        QTest::newRow("numeric not text") << "6.97.26" << "6.97.3" << true;
        QTest::newRow("minor over ten") << "6.10.0" << "6.9.9" << true;
        QTest::newRow("missing third part") << "6.9" << "6.9.0" << false;
        QTest::newRow("equal texts") << "6.9" << "6.9" << true;
        QTest::newRow("older") << "6.97.26" << "6.98.0" << false;
        QTest::newRow("not a number") << "6.x.1" << "6.1.1" << false;
    }
    void versionComparison()
    {
        QFETCH(QString, own);
        QFETCH(QString, required);
        QFETCH(bool, passes);
        QCOMPARE(versionAtLeast(own, required), passes);
    }

    void namedTextsLookup()
    {
        MainDirCopy main;
        TQmrQueryText &qt = TQmrQueryText::instance();
        qt.LoadQueryFile(main.etc(QStringLiteral("zpt_QueryText.cds")));
        NamedQuery q;
        qt.SetQuerySQL(QStringLiteral("qry_yrfo"), q, 0, QString()); // lower case, empty kind
        QVERIFY(q.sql.contains(QStringLiteral("TYRFO_REPFOLDER")));
        QCOMPARE(qt.lastOperation(), QStringLiteral("QRY_YRFO"));
        // GetQuerySQL does not change the case of the name.
        QVERIFY_THROWS_EXCEPTION(EAssertion, qt.GetQuerySQL(QStringLiteral("qry_yrfo"), QStringLiteral("EXECUTE")));
        QVERIFY_THROWS_EXCEPTION(EAssertion, qt.SetQuerySQL(QStringLiteral("QRY_NONE"), q));
        const EQxError dbError(QStringLiteral("violazione"));
        QCOMPARE(qt.LastOperationInfo(dbError), QStringLiteral("\r\nUltima operazione DB: QRY_NONE"));
        QCOMPARE(qt.LastOperationInfo(EQmrWarning(QStringLiteral("x"))), QString());
        QCOMPARE(TQmrQueryText::FormatCommandText(QStringLiteral("A <%s B %1:s %0:s"), {"=", "y"}),
                 QStringLiteral("A <= B y ="));
    }

    void certificateRefusals_data()
    {
        QTest::addColumn<int>("spoil"); // 0 byte of .cds, 1 .unxc missing, 2 extra blank line, 3 .cds missing
        QTest::newRow("one byte of the table changed") << 0;
        QTest::newRow("certificate missing") << 1;
        QTest::newRow("extra blank line in certificate") << 2;
        QTest::newRow("table missing") << 3;
    }
    void certificateRefusals()
    {
        QFETCH(int, spoil);
        MainDirCopy main;
        const QString cds = main.etc(QStringLiteral("zpt_QueryText.cds"));
        const QString cert = main.etc(QStringLiteral("zpt_QueryText.unxc"));
        if (spoil == 0) {
            QFile f(cds);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QByteArray b = f.readAll();
            b[b.size() - 40] = char(b[b.size() - 40] ^ 1);
            f.seek(0);
            f.write(b);
        } else if (spoil == 1) {
            QFile::remove(cert);
        } else if (spoil == 2) {
            QFile f(cert);
            QVERIFY(f.open(QIODevice::Append));
            f.write("\r\n");
        } else {
            QFile::remove(cds);
        }
        TestDatabase db(QStringLiteral("sqlite"));
        AppContext::instance().databaseUrl = db.url();
        QVERIFY(!AppContext::instance().openDatabase());
        QCOMPARE(m_messages.texts(),
                 QStringList{QStringLiteral("Certificato query non trovato od errato. Aggiornare il programma \"Gestione compensi\"")});
        QVERIFY(!AppContext::instance().connection().xqoMain.isConnected());
        AppContext::instance().databaseUrl.clear();
    }

    void missingNamedDatabase_data()
    {
        QTest::addColumn<int>("policy");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<QString>("message");
        const auto refuse = int(AppContext::MissingDatabase::Refuse);
        const auto ask = int(AppContext::MissingDatabase::Ask);
        const auto create = int(AppContext::MissingDatabase::Create);
        QTest::newRow("batch command") << refuse << int(ModalResult::Yes) << false
                                       << "Il database %1 non esiste. Controllare il percorso indicato; per creare un "
                                          "nuovo database usare il comando init oppure connect.";
        QTest::newRow("window, no") << ask << int(ModalResult::No) << false << "Il database %1 non esiste. Crearlo vuoto?";
        QTest::newRow("window, yes") << ask << int(ModalResult::Yes) << true << "Il database %1 non esiste. Crearlo vuoto?";
        QTest::newRow("init") << create << int(ModalResult::Yes) << true << "";
    }
    void missingNamedDatabase()
    {
        // A mistyped --database must not become a new empty return.
        QFETCH(int, policy);
        QFETCH(int, answer);
        QFETCH(bool, opened);
        QFETCH(QString, message);
        MainDirCopy main;
        QTemporaryDir where;
        const QString path = where.filePath(QStringLiteral("refuso/jex770.db"));
        AppContext &ctx = AppContext::instance();
        ctx.databaseUrl = QStringLiteral("sqlite:") + path;
        ctx.missingDatabase = AppContext::MissingDatabase(policy);
        m_messages.queueAnswer(ModalResult(answer));
        const bool ok = ctx.openDatabase();
        ctx.missingDatabase = AppContext::MissingDatabase::Create;
        ctx.databaseUrl.clear();
        QCOMPARE(ok, opened);
        QCOMPARE(m_messages.texts(), message.isEmpty() ? QStringList() : QStringList{message.arg(QDir::toNativeSeparators(path))});
        QCOMPARE(QFileInfo::exists(path), opened);
        // Refused, not even its folder is made.
        QCOMPARE(QFileInfo::exists(where.filePath(QStringLiteral("refuso"))), opened);
    }

    void existingNamedDatabaseOpensInBatch()
    {
        MainDirCopy main;
        TestDatabase db(QStringLiteral("sqlite"));
        AppContext &ctx = AppContext::instance();
        ctx.databaseUrl = db.url();
        QVERIFY(ctx.openDatabase()); // made by init
        ctx.reset();
        ctx.missingDatabase = AppContext::MissingDatabase::Refuse;
        const bool ok = ctx.openDatabase();
        ctx.missingDatabase = AppContext::MissingDatabase::Create;
        ctx.databaseUrl.clear();
        QVERIFY2(ok, qPrintable(m_messages.texts().join(u'|')));
    }

    void embeddedDatabaseIsCreatedOnFirstStart()
    {
        if (!qEnvironmentVariableIsEmpty("JEX770_DATABASE"))
            QSKIP("JEX770_DATABASE names a database");
        MainDirCopy main;
        AppContext &ctx = AppContext::instance();
        ctx.missingDatabase = AppContext::MissingDatabase::Refuse;
        const bool ok = ctx.openDatabase();
        ctx.missingDatabase = AppContext::MissingDatabase::Create;
        QVERIFY2(ok, qPrintable(m_messages.texts().join(u'|')));
        QVERIFY(QFileInfo::exists(main.dir.filePath(QStringLiteral("USR/YRDati/jex770.db"))));
    }

    void badUrlsAreNamed_data()
    {
        QTest::addColumn<QString>("url");
        QTest::newRow("unknown scheme") << "mysql://x@y/z";
        QTest::newRow("no path") << "sqlite:";
        QTest::newRow("unreachable server") << "postgresql://nobody@127.0.0.1:1/none";
    }
    void badUrlsAreNamed()
    {
        QFETCH(QString, url);
        MainDirCopy main;
        AppContext::instance().databaseUrl = url;
        try {
            AppContext::instance().openDatabase();
            QFAIL("connected to a bad URL");
        } catch (const EQxError &e) {
            const QString shown = url.startsWith(u"postgresql") ? QStringLiteral("127.0.0.1:1/none") : url;
            QVERIFY2(e.message().contains(shown), qPrintable(e.message()));
        }
        AppContext::instance().databaseUrl.clear();
    }

    // What the driver says reaches the user as what happened, in Italian,
    // naming the database.
    void driverFaultsAreToldInItalian()
    {
        QTemporaryDir dir;
        const QString notDb = dir.filePath(QStringLiteral("dichiarazione.db"));
        {
            QFile f(notDb);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(8192, 'x'));
        }
        TQxSQLConnection c(QStringLiteral("tst_notdb"));
        try {
            c.open(DatabaseUrl::parse(QStringLiteral("sqlite:") + notDb));
            QFAIL("opened a file that is not a database");
        } catch (const EQxError &e) {
            QCOMPARE(e.message(), QStringLiteral("Il file %1 non è un database del programma oppure è danneggiato.").arg(notDb));
        }
        QVERIFY(!c.isConnected());

        const QString url = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("vero.db"));
        TQxSQLConnection first(QStringLiteral("tst_first")), second(QStringLiteral("tst_second"));
        first.open(DatabaseUrl::parse(url));
        second.lockWaitSeconds = 1;
        second.open(DatabaseUrl::parse(url));
        QVERIFY(first.startTransaction());
        try {
            second.exec(QStringLiteral("INSERT INTO tqx_generator (sname, ivalue) VALUES ('x', 1)"));
            QFAIL("wrote past another writer's lock");
        } catch (const EQxError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Il database %1 è occupato da un altro salvataggio").arg(url)),
                     qPrintable(e.message()));
            QVERIFY2(!e.message().contains(QStringLiteral("locked")) && !e.message().contains(QStringLiteral("INSERT")),
                     qPrintable(e.message()));
        }
        first.rollback();
        // Other faults keep the driver's words, with the statement cut short.
        try {
            second.exec(QStringLiteral("SELECT nonce FROM tqx_generator WHERE sname = '%1'").arg(QString(3000, u'z')));
            QFAIL("ran a wrong statement");
        } catch (const EQxError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Errore del database %1: ").arg(url)), qPrintable(e.message()));
            QVERIFY2(e.message().size() < 700, qPrintable(e.message()));
        }
    }

    void connectCreatesSchemaOnceAndRepairs_data() { TestDatabase::addDatabaseRows(); }
    void connectCreatesSchemaOnceAndRepairs()
    {
        JEX_TEST_DATABASE(database);
        MainDirCopy main;
        AppContext::instance().databaseUrl = database.url();
        QVERIFY2(AppContext::instance().openDatabase(), qPrintable(m_messages.texts().join(u'|')));
        TQxSQLConnection &c = AppContext::instance().connection().xqoMain;
        QCOMPARE(c.storedVersion(), QStringLiteral("6.97.26"));
        QCOMPARE(c.scalar(QStringLiteral("SELECT SYRFODESC FROM TYRFO_REPFOLDER WHERE IYRFOID = 11006")).toString(),
                 QStringLiteral("Registro compensi"));
        QCOMPARE(c.scalar(QStringLiteral("SELECT COUNT(*) FROM TYAPVRFO_APPFOLDER")).toInt(), 1);

        // Data that the repairs must fix, once.
        c.exec(QStringLiteral("INSERT INTO TVARR_VARRITENUTE (IVARRID, IRICEID, FVARRIMPONIBILEDIP, FVARRPERCIMPDIP, FVARRRITDIP, "
                              "FVARRIMPONIBILEAMM, FVARRPERCIMPAMM, FVARRRITAMM) VALUES (1, 14, 100, 9.19, 0, 50, 24.2, 3)"));
        c.exec(QStringLiteral("INSERT INTO TCUFO_FONDICU (ICUFOID, ICUFOTIPOSCUOLA) VALUES (1, NULL)"));
        c.exec(QStringLiteral("INSERT INTO tafi_anafiscale (iafiid, icrfid) VALUES (77, 1)"));
        c.exec(QStringLiteral("INSERT INTO tcds_struttura (icdsid, scdsprogramma, scdsnome, icdsrigo) VALUES (13, 'zpt', 'CUD', 0)"));
        c.exec(QStringLiteral("INSERT INTO tfis_datifiscali (icdsid, icrfid, ifisrigo, sfisfieldname, sfisvalue) VALUES (13, 1, 41, 'Nome', 'X')"));
        AppContext::instance().reset();

        for (int run = 0; run < 2; ++run) {
            QVERIFY2(AppContext::instance().openDatabase(), qPrintable(m_messages.texts().join(u'|')));
            TQxSQLConnection &again = AppContext::instance().connection().xqoMain;
            QSqlQuery q = again.exec(QStringLiteral("SELECT FVARRIMPONIBILEDIP, FVARRPERCIMPDIP, FVARRIMPONIBILEAMM FROM TVARR_VARRITENUTE"));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toDouble(), 0.0);
            QCOMPARE(q.value(1).toDouble(), 0.0);
            QCOMPARE(q.value(2).toDouble(), 50.0); // its withholding is not zero
            QCOMPARE(again.scalar(QStringLiteral("SELECT ICUFOTIPOSCUOLA FROM TCUFO_FONDICU")).toInt(), 1);
            QCOMPARE(again.scalar(QStringLiteral("SELECT COUNT(*) FROM tafi_anafiscale")).toInt(), 0);
            QCOMPARE(again.scalar(QStringLiteral("SELECT icdsrigo FROM tcds_struttura WHERE icdsid = 13")).toInt(), 41);
            QCOMPARE(again.scalar(QStringLiteral("SELECT COUNT(*) FROM tqx_dbversion")).toInt(), 1);
            QCOMPARE(again.scalar(QStringLiteral("SELECT COUNT(*) FROM TYRFO_REPFOLDER")).toInt(), 1);
            AppContext::instance().reset();
        }
        QVERIFY(m_messages.texts().isEmpty());
        AppContext::instance().databaseUrl.clear();
    }

    // A statement kept prepared binds its ":NAME" parameters as exec() does,
    // at its first run and when it is run again: a name used twice, a name
    // written in other letters than its value's key, a colon that is not a
    // parameter; a parameter without a value is refused, named.
    void keptStatementBindsByName_data()
    {
        QTest::addColumn<QString>("db");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QVariantMap>("params");
        QTest::addColumn<QString>("expected"); // the rows' n, or the first line of the error
        const struct
        {
            const char *name;
            const char *sql;
            QVariantMap params;
            const char *expected;
        } cases[] = {
            {"nome ripetuto", "SELECT n FROM kept_t WHERE k = :K OR n = :N + 1 OR n = :N + 2 ORDER BY n",
             {{QStringLiteral("K"), QStringLiteral("b")}, {QStringLiteral("N"), 1}}, "2,3"},
            {"nome in minuscolo", "SELECT n FROM kept_t WHERE k = :k ORDER BY n",
             {{QStringLiteral("K"), QStringLiteral("B")}}, "3"},
            {"due punti nel testo", "SELECT n FROM kept_t WHERE k = :K AND 'ore 10:30' <> ''",
             {{QStringLiteral("K"), QStringLiteral("b")}}, "2"},
            {"parametro mancante", "SELECT n FROM kept_t WHERE k = :K AND n = :N",
             {{QStringLiteral("K"), QStringLiteral("a")}}, "Parametro :N non assegnato"},
        };
        for (const char *db : {"sqlite", "postgresql"})
            for (const auto &c : cases)
                QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(db), QLatin1String(c.name))))
                    << QString::fromLatin1(db) << QString::fromLatin1(c.sql) << c.params
                    << QString::fromLatin1(c.expected);
    }
    void keptStatementBindsByName()
    {
        JEX_TEST_DATABASE(database);
        QFETCH(QString, sql);
        QFETCH(QVariantMap, params);
        QFETCH(QString, expected);
        TQxSQLConnection conn(QStringLiteral("kept"));
        conn.open(DatabaseUrl::parse(database.url()));
        conn.exec(QStringLiteral("CREATE TABLE kept_t (k VARCHAR(10), n INTEGER)"));
        conn.exec(QStringLiteral("INSERT INTO kept_t (k, n) VALUES ('a', 1), ('b', 2), ('B', 3)"));
        for (int run = 0; run < 2; ++run) {
            QString got;
            try {
                QSqlQuery &q = runKeptStatement(conn, sql, params);
                QStringList rows;
                while (q.next())
                    rows << q.value(0).toString();
                q.finish();
                got = rows.join(u',');
            } catch (const EQxError &e) {
                got = e.message().section(u'\n', 0, 0);
            }
            QCOMPARE(got, expected);
        }
    }

    void reportRegistrationWithFile_data() { TestDatabase::addDatabaseRows(); }
    void reportRegistrationWithFile()
    {
        JEX_TEST_DATABASE(database);
        MainDirCopy main;
        auto writeReports = [&](int version, const QString &desc) {
            ClientDataSet r;
            r.addField(QStringLiteral("IYRFOID"), FieldType::Integer);
            r.addField(QStringLiteral("SYRPTDESC"), FieldType::String, 200);
            r.addField(QStringLiteral("IYRPTVERSION"), FieldType::Integer);
            r.addField(QStringLiteral("SYRPTNOTE"), FieldType::String, 200);
            r.addField(QStringLiteral("BYRPTREPORT"), FieldType::Blob);
            r.addField(QStringLiteral("BYRPTVAR"), FieldType::Blob);
            r.addField(QStringLiteral("IYRPTID"), FieldType::Integer);
            r.createDataSet();
            r.appendRecord({11006, desc, version, QString(), QByteArray("layout\0bytes", 12), QByteArray("v"), 501});
            r.saveToFile(main.etc(QStringLiteral("zpt_Report.xml")));
        };
        writeReports(2, QStringLiteral("Registro compensi mensile"));
        AppContext::instance().databaseUrl = database.url();
        QVERIFY2(AppContext::instance().openDatabase(), qPrintable(m_messages.texts().join(u'|')));
        TQxSQLConnection &c = AppContext::instance().connection().xqoMain;
        QCOMPARE(c.scalar(QStringLiteral("SELECT SYRPTDESC FROM TYRPT_REPORT WHERE IYRPTID = 501")).toString(),
                 QStringLiteral("Registro compensi mensile"));
        QCOMPARE(c.scalar(QStringLiteral("SELECT BYRPTREPORT FROM TYRPT_REPORT WHERE IYRPTID = 501")).toByteArray(),
                 QByteArray("layout\0bytes", 12));
        AppContext::instance().reset();
        // An older or equal definition does not replace the stored one at start-up.
        writeReports(2, QStringLiteral("Stessa versione"));
        QVERIFY2(AppContext::instance().openDatabase(), qPrintable(m_messages.texts().join(u'|')));
        QCOMPARE(AppContext::instance().connection().xqoMain
                     .scalar(QStringLiteral("SELECT SYRPTDESC FROM TYRPT_REPORT WHERE IYRPTID = 501")).toString(),
                 QStringLiteral("Registro compensi mensile"));
        AppContext::instance().reset();
        writeReports(3, QStringLiteral("Versione nuova"));
        QVERIFY2(AppContext::instance().openDatabase(), qPrintable(m_messages.texts().join(u'|')));
        QCOMPARE(AppContext::instance().connection().xqoMain
                     .scalar(QStringLiteral("SELECT SYRPTDESC FROM TYRPT_REPORT WHERE IYRPTID = 501")).toString(),
                 QStringLiteral("Versione nuova"));
        AppContext::instance().databaseUrl.clear();
    }

    void olderProgramIsRefused()
    {
        MainDirCopy main;
        TestDatabase db(QStringLiteral("sqlite"));
        AppContext::instance().databaseUrl = db.url();
        TQmrQueryText::setExecutableName(QStringLiteral("altro.exe")); // no version row for it
        QVERIFY(!AppContext::instance().openDatabase());
        TQmrQueryText::setExecutableName(QStringLiteral("jex770"));
        QCOMPARE(m_messages.texts(),
                 QStringList{QStringLiteral("AGGIORNARE IL PROGRAMMA \"Modello 770/2025 Redditi 2024\".\r\nVersione minima richiesta: .")});
        AppContext::instance().databaseUrl.clear();
    }

    void newerDatabaseIsRefused()
    {
        MainDirCopy main;
        TestDatabase db(QStringLiteral("sqlite"));
        AppContext::instance().databaseUrl = db.url();
        QVERIFY2(AppContext::instance().openDatabase(), qPrintable(m_messages.texts().join(u'|')));
        AppContext::instance().connection().xqoMain.exec(QStringLiteral("UPDATE tqx_dbversion SET sversion = '7.0.0'"));
        AppContext::instance().reset();
        try {
            AppContext::instance().openDatabase();
            QFAIL("a newer database was opened");
        } catch (const EQxError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("7.0.0")), qPrintable(e.message()));
        }
        AppContext::instance().databaseUrl.clear();
    }
};

JEX_TEST_MAIN(TestConnection)
#include "tst_connection.moc"
