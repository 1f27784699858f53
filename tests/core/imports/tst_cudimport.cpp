// The certification import on a real database (SQLite, and PostgreSQL when
// JEX770_TEST_PG names a server): certification rows written under program
// "jey", imported into the return's sections, read back through the
// structure service.

#include "testdb.h"

#include "base/appcontext.h"
#include "base/errors.h"
#include "base/messages.h"
#include "base/paths.h"
#include "database/connection.h"
#include "database/sqlconnection.h"
#include "database/structureservice.h"
#include "demo/codicefiscale.h"
#include "demo/demoschool.h"
#include "imports/cud/cudimport.h"
#include "imports/cud/cudrules.h"
#include "registration.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace jex;

namespace {

using Values = QVariantMap;

QString person(const char *surname, const char *name, int year)
{
    return demo::personFiscalCode(QString::fromLatin1(surname), QString::fromLatin1(name), QDate(year, 3, 14), false,
                                  QStringLiteral("G478"));
}

const QString kRossi = person("Rossi", "Mario", 1970);
const QString kBianchi = person("Bianchi", "Luca", 1975);
const QString kVerdi = person("Verdi", "Paolo", 1980);

// What an ordinary employee's certification carries besides personal data.
Values income(double amount) { return {{QStringLiteral("FCUDREDDDETR"), amount}, {QStringLiteral("ICUDPERIODOLAV"), 365}}; }

} // namespace

class TstCudImport : public QObject
{
    Q_OBJECT
public:
    explicit TstCudImport(const QString &backend) : m_backend(backend) {}

private:
    TQxSQLConnection &conn() { return AppContext::instance().connection().xqoMain; }

    TQmrDBCds &jex()
    {
        m_jex.SetConnection(&conn());
        m_jex.SetShowWait(false);
        return m_jex;
    }

    // Rows of a certification table, added to what it holds.
    void cert(const QString &table, const QList<Values> &rows)
    {
        ClientDataSet ds;
        demo::catalogueFactory()(table, ds);
        for (const Values &row : rows) {
            ds.append();
            for (auto it = row.cbegin(); it != row.cend(); ++it)
                ds.fieldByName(it.key())->setValue(it.value());
            ds.post();
        }
        TQmrDBCds jey(2024, QStringLiteral("jey"), 0);
        jey.SetConnection(&conn());
        jey.SetShowWait(false);
        jey.SaveCds(ds, table);
    }

    void cud(const QString &cf, const QString &mese, Values values, const char *surname = "ROSSI")
    {
        values.insert(QStringLiteral("SCUDCODFIS"), cf);
        values.insert(QStringLiteral("SCUDMESE"), mese);
        values.insert(QStringLiteral("SCUDCOGNOME"), QString::fromLatin1(surname));
        values.insert(QStringLiteral("SCUDNOME"), QStringLiteral("MARIO"));
        values.insert(QStringLiteral("SCUDSEX"), QStringLiteral("M"));
        values.insert(QStringLiteral("DCUDDATANAS"), QDate(1970, 3, 14));
        cert(QStringLiteral("TCUD_DATICUD"), {values});
    }

    void detail(const QString &table, const QString &cf, const QString &mese, Values values)
    {
        values.insert(QStringLiteral("SCUDCODFIS"), cf);
        values.insert(QStringLiteral("SCUDMESE"), mese);
        cert(table, {values});
    }

    // The person's rows of a return table.
    QList<Values> rows(const QString &table, const QString &cf)
    {
        ClientDataSet ds;
        jex().OpenCds(ds, table);
        const QString key = table == u"TDAU7_DATIAUTONOM" || table == u"TDSE7_SOMMEEROGATE" ? QStringLiteral("SDAU7CODFIS")
                                                                                              : QStringLiteral("SDIP7CODFIS");
        QList<Values> out;
        for (ds.first(); !ds.eof(); ds.next()) {
            if (ds.fieldByName(key)->asString() != cf)
                continue;
            Values v;
            for (int i = 0; i < ds.fieldCount(); ++i)
                if (!ds.field(i)->isNull())
                    v.insert(ds.field(i)->name().toUpper(), ds.field(i)->value());
            out << v;
        }
        return out;
    }

    // A record typed by hand before the import.
    void handRow(const QString &table, const Values &values)
    {
        ClientDataSet ds;
        jex().OpenCds(ds, table);
        ds.append();
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            ds.fieldByName(it.key())->setValue(it.value());
        ds.post();
        jex().SaveCds(ds, table);
    }

    bool import(CudImportOptions options = {}, TCudImport **out = nullptr)
    {
        m_job = std::make_unique<TCudImport>(conn());
        if (out)
            *out = m_job.get();
        return m_job->run(options);
    }

    qint64 values() { return conn().scalar(QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali")).toLongLong(); }

    QString m_backend;
    std::unique_ptr<TestDatabase> m_db;
    ScriptedMessageService m_messages{ModalResult::Ok};
    TQmrDBCds m_jex{2024, QStringLiteral("jex"), 0};
    std::unique_ptr<TCudImport> m_job;

private Q_SLOTS:
    void initTestCase()
    {
        qInfo("database: %s", qPrintable(m_backend));
        setMessageService(&m_messages);
        m_db = std::make_unique<TestDatabase>(m_backend);
        if (!m_db->available())
            QSKIP(qPrintable(m_db->skipReason()));
        TdmZptConnessione &module = AppContext::instance().connection();
        setGlobalConnection(&module.xqoMain);
        module.xqoMain.open(DatabaseUrl::parse(m_db->url()));
    }

    void init()
    {
        // Every case starts from an empty return and no certifications.
        conn().exec(QStringLiteral("DELETE FROM tfis_datifiscali"));
        conn().exec(QStringLiteral("DELETE FROM tafi_anafiscale"));
        m_messages.clear();
    }

    void cleanupTestCase()
    {
        AppContext::instance().connection().xqoMain.close();
        setMessageService(nullptr);
        m_db.reset();
    }

    void workingPeriodCapped_data()
    {
        QTest::addColumn<int>("days");
        QTest::addColumn<int>("stored");
        QTest::newRow("400 giorni") << 400 << 365;
        QTest::newRow("365 giorni") << 365 << 365;
        QTest::newRow("120 giorni") << 120 << 120;
    }
    void workingPeriodCapped()
    {
        QFETCH(int, days);
        QFETCH(int, stored);
        cud(kRossi, QStringLiteral("12"), {{QStringLiteral("FCUDREDDDETR"), 1000.0}, {QStringLiteral("ICUDPERIODOLAV"), days}});
        QVERIFY2(import(), qPrintable(m_job->error()));
        const QList<Values> dip = rows(QStringLiteral("TDIP7_ANAGRFISCALI"), kRossi);
        QCOMPARE(dip.size(), 1);
        QCOMPARE(dip[0].value(QStringLiteral("IFIS7PERIODOLAV")).toInt(), stored);
        QCOMPARE(dip[0].value(QStringLiteral("SDIP7GRUPPOANA")).toString(), QStringLiteral("D"));
        QVERIFY(dip[0].value(QStringLiteral("IAFIID")).toLongLong() > 0);
    }

    // Two months of one person: a comprehensive (or adjusting) second row
    // replaces the first; otherwise the amounts add up.
    void secondMonth_data()
    {
        QTest::addColumn<QString>("flag");
        QTest::addColumn<double>("expected");
        QTest::newRow("comprensiva") << QStringLiteral("LCUDCOMPRENSIVO") << 3000.0;
        QTest::newRow("conguaglio") << QStringLiteral("LCUDCONGUAGLIO") << 3000.0;
        QTest::newRow("nessuna") << QString() << 4000.0;
    }
    void secondMonth()
    {
        QFETCH(QString, flag);
        QFETCH(double, expected);
        cud(kRossi, QStringLiteral("06"), income(1000));
        Values second = income(3000);
        if (!flag.isEmpty())
            second.insert(flag, QStringLiteral("X"));
        cud(kRossi, QStringLiteral("12"), second);
        detail(QStringLiteral("TCUDN_INPDAP"), kRossi, QStringLiteral("06"),
               {{QStringLiteral("SCUDCODFISAMMNE"), QStringLiteral("94007770541")}, {QStringLiteral("ICUDANNORIF"), 2024},
                {QStringLiteral("FCUD_DMA_IMPPENS"), 1000.0}});
        QVERIFY2(import(), qPrintable(m_job->error()));
        const QList<Values> dip = rows(QStringLiteral("TDIP7_ANAGRFISCALI"), kRossi);
        QCOMPARE(dip.size(), 1);
        QCOMPARE(dip[0].value(QStringLiteral("FFIS7REDDDETR")).toDouble(), expected);
        // The INPDAP row of June goes with June's certification.
        QCOMPARE(rows(QStringLiteral("TINP7_INPDAP"), kRossi).size(), flag.isEmpty() ? 1 : 0);
    }

    void categoryFromPayroll_data()
    {
        QTest::addColumn<int>("tnoId");
        QTest::addColumn<int>("qarId");
        QTest::addColumn<QString>("code");
        QTest::newRow("ITNOID 17 prevale") << 17 << 5 << QStringLiteral("P");
        QTest::newRow("IQARID 5") << 0 << 5 << QStringLiteral("E");
        QTest::newRow("IQARID 14") << 0 << 14 << QStringLiteral("E");
        QTest::newRow("IQARID 29") << 0 << 29 << QStringLiteral("E");
        QTest::newRow("IQARID 7") << 0 << 7 << QStringLiteral("D");
        QTest::newRow("IQARID 12") << 3 << 12 << QStringLiteral("D");
        QTest::newRow("altro") << 3 << 6 << QString();
        QTest::newRow("nessuna posizione") << 0 << 0 << QString();
    }
    void categoryFromPayroll()
    {
        QFETCH(int, tnoId);
        QFETCH(int, qarId);
        QFETCH(QString, code);
        PayrollPosition p;
        p.acomId = 1;
        p.qarId = qarId;
        p.tnoId = tnoId;
        QCOMPARE(capCodeFor(p), code);
    }

    void noteCodes_data()
    {
        QTest::addColumn<QString>("notes");
        QTest::addColumn<QStringList>("stored");
        QTest::newRow("codice, BO), codice non in elenco")
            << QStringLiteral("AA) primo\nBO)\nX1) terzo") << QStringList{QStringLiteral("AA")};
        QTest::newRow("minuscole e BO con testo") << QStringLiteral("ab) uno\r\nBO) altro") << QStringList{QStringLiteral("AB"), QStringLiteral("BO")};
        QTest::newRow("parentesi in prima posizione") << QStringLiteral(") niente\nsenza codice") << QStringList{};
    }
    void noteCodes()
    {
        QFETCH(QString, notes);
        QFETCH(QStringList, stored);
        Values row = income(1000);
        row.insert(QStringLiteral("SCUDANNOTAZIONI"), notes);
        cud(kRossi, QStringLiteral("12"), row);
        QVERIFY2(import(), qPrintable(m_job->error()));
        const QList<Values> ann = rows(QStringLiteral("TANN7_ANNOTAZIONI"), kRossi);
        QCOMPARE(ann.size(), stored.isEmpty() ? 0 : 1);
        for (int i = 0; i < stored.size(); ++i)
            QCOMPARE(ann[0].value(noteSlotName(i + 1)).toString(), stored[i]);
        if (!stored.isEmpty())
            QVERIFY(!ann[0].contains(noteSlotName(int(stored.size()) + 1)));
    }

    // Codes beyond the table's last slot are reported, not lost silently.
    void surplusNotesReported()
    {
        QStringList lines;
        for (int i = 0; i < 52; ++i)
            lines << QStringLiteral("%1%2) testo").arg(QChar(u'A' + i / 26)).arg(QChar(u'A' + i % 26));
        Values row = income(1000);
        row.insert(QStringLiteral("SCUDANNOTAZIONI"), lines.join(u'\n'));
        cud(kRossi, QStringLiteral("12"), row);
        QVERIFY2(import(), qPrintable(m_job->error()));
        const QList<Values> ann = rows(QStringLiteral("TANN7_ANNOTAZIONI"), kRossi);
        QCOMPARE(ann.size(), 1);
        QCOMPARE(ann[0].value(QStringLiteral("SANN749")).toString(), QStringLiteral("BW"));
        const QString report = m_job->report().text();
        QVERIFY2(report.contains(QStringLiteral("BX, BY, BZ")), qPrintable(report));
        QVERIFY2(report.contains(QStringLiteral("Dipendente ROSSI MARIO")), qPrintable(report));
    }

    void inpdapRows_data()
    {
        QTest::addColumn<double>("pension");
        QTest::addColumn<double>("tfr");
        QTest::addColumn<int>("records");
        QTest::addColumn<bool>("secondFund");
        QTest::newRow("importi a zero") << 0.0 << 0.0 << 0 << false;
        QTest::newRow("solo pensione") << 1500.0 << 0.0 << 1 << false;
        QTest::newRow("con TFR") << 1500.0 << 200.0 << 1 << true;
    }
    void inpdapRows()
    {
        QFETCH(double, pension);
        QFETCH(double, tfr);
        QFETCH(int, records);
        QFETCH(bool, secondFund);
        cud(kRossi, QStringLiteral("12"), income(1000));
        detail(QStringLiteral("TCUDN_INPDAP"), kRossi, QStringLiteral("12"),
               {{QStringLiteral("SCUDCODFISAMMNE"), QStringLiteral("94007770541")}, {QStringLiteral("ICUDANNORIF"), 2024},
                {QStringLiteral("SCUDGESASS_2"), QStringLiteral("7")}, {QStringLiteral("LCUDMARZO"), QStringLiteral("X")},
                {QStringLiteral("FCUD_DMA_IMPPENS"), pension},
                {QStringLiteral("FCUD_DMA_IMPTFR"), tfr}});
        // A row without the administration's code is not imported.
        detail(QStringLiteral("TCUDN_INPDAP"), kRossi, QStringLiteral("12"),
               {{QStringLiteral("ICUDANNORIF"), 2023}, {QStringLiteral("FCUD_DMA_IMPPENS"), 99.0}});
        QVERIFY2(import(), qPrintable(m_job->error()));
        const QList<Values> inp = rows(QStringLiteral("TINP7_INPDAP"), kRossi);
        QCOMPARE(inp.size(), records);
        if (records) {
            // The months are the certification's.
            QCOMPARE(inp[0].value(QStringLiteral("LINPDAP7MARZO")).toInt(), 1);
            QCOMPARE(inp[0].value(QStringLiteral("LINPDAP7APRILE")).toInt(), 0);
            QCOMPARE(inp[0].contains(QStringLiteral("SINPDAP7GESASS_2")), secondFund);
            QCOMPARE(inp[0].value(QStringLiteral("IAFIID")), rows(QStringLiteral("TDIP7_ANAGRFISCALI"), kRossi)[0].value(QStringLiteral("IAFIID")));
        }
    }

    void dependantFlags_data()
    {
        QTest::addColumn<QString>("flags");
        QTest::addColumn<QString>("expected"); // PRIFIGL FIGL ALTRFAM
        QTest::newRow("primo figlio disabile") << QStringLiteral("LCUDRELPARPRIFIGL LCUDRELPARPRIFIGLDIS") << QStringLiteral("0 0 0");
        QTest::newRow("figlio disabile") << QStringLiteral("LCUDRELPARFIGL LCUDRELPARFIGLDIS") << QStringLiteral("0 0 0");
        QTest::newRow("altro familiare") << QStringLiteral("LCUDRELPARFIGL LCUDRELPARFIGLALTRFAM") << QStringLiteral("0 0 1");
        QTest::newRow("figlio") << QStringLiteral("LCUDRELPARFIGL") << QStringLiteral("0 1 0");
    }
    void dependantFlags()
    {
        QFETCH(QString, flags);
        QFETCH(QString, expected);
        cud(kRossi, QStringLiteral("12"), income(1000));
        Values fam;
        for (const QString &f : flags.split(u' '))
            fam.insert(f, QStringLiteral("X"));
        detail(QStringLiteral("TCUDC_CONFAMCARICO"), kRossi, QStringLiteral("12"), fam);
        detail(QStringLiteral("TCUDC_CONFAMCARICO"), kRossi, QStringLiteral("12"), {{QStringLiteral("LCUDRELPARCON"), QStringLiteral("X")}});
        QVERIFY2(import(), qPrintable(m_job->error()));
        const QList<Values> cfc = rows(QStringLiteral("TCFC7_CONFAMCARICO"), kRossi);
        QCOMPARE(cfc.size(), 2);
        const Values &child = cfc[0].value(QStringLiteral("LCFC7RELPARCON")).toInt() == 1 ? cfc[1] : cfc[0];
        QCOMPARE(QStringLiteral("%1 %2 %3")
                     .arg(child.value(QStringLiteral("LCFC7RELPARPRIFIGL")).toInt())
                     .arg(child.value(QStringLiteral("LCFC7RELPARFIGL")).toInt())
                     .arg(child.value(QStringLiteral("LCFC7RELPARFIGLALTRFAM")).toInt()),
                 expected);
        QVERIFY(child.value(QStringLiteral("IAFIID")).toLongLong() > 0);
    }

    void personalDataOnlyIsRemoved()
    {
        cud(kRossi, QStringLiteral("12"), {{QStringLiteral("SCUDCOMUNE"), QStringLiteral("PERUGIA")}});
        cud(kBianchi, QStringLiteral("12"), income(500), "BIANCHI");
        QVERIFY2(import(), qPrintable(m_job->error()));
        QCOMPARE(rows(QStringLiteral("TDIP7_ANAGRFISCALI"), kRossi).size(), 0);
        QCOMPARE(rows(QStringLiteral("TDIP7_ANAGRFISCALI"), kBianchi).size(), 1);
    }

    // Payments to the self-employed: the person is a self-employed payee,
    // not an employee.
    void selfEmployedPayments()
    {
        cud(kRossi, QStringLiteral("12"), {{QStringLiteral("SCUDANNOTAZIONI"), QStringLiteral("Esperto esterno")}});
        detail(QStringLiteral("TASE_AUTSOMMEEROGATE"), kRossi, QStringLiteral("12"),
               {{QStringLiteral("SCUDCAUSALE"), QStringLiteral("a")}, {QStringLiteral("SCUDANNO"), QStringLiteral("2024")},
                {QStringLiteral("FCUDAMMLORDO"), 1200.0}});
        QVERIFY2(import(), qPrintable(m_job->error()));
        QCOMPARE(rows(QStringLiteral("TDIP7_ANAGRFISCALI"), kRossi).size(), 0);
        const QList<Values> dau = rows(QStringLiteral("TDAU7_DATIAUTONOM"), kRossi);
        QCOMPARE(dau.size(), 1);
        QCOMPARE(dau[0].value(QStringLiteral("SDAU7GRUPPOANA")).toString(), QStringLiteral("A"));
        const QList<Values> dse = rows(QStringLiteral("TDSE7_SOMMEEROGATE"), kRossi);
        QCOMPARE(dse.size(), 1);
        QCOMPARE(dse[0].value(QStringLiteral("SCAUCODICE")).toString(), QStringLiteral("A"));
        QCOMPARE(dse[0].value(QStringLiteral("IAFIID")), dau[0].value(QStringLiteral("IAFIID")));
    }

    // Without a selection every person is imported; with one, only the
    // persons named, and what the return held for them is replaced.
    void selection_data()
    {
        QTest::addColumn<QStringList>("persons");
        QTest::addColumn<QStringList>("imported");
        QTest::newRow("nessuna selezione") << QStringList{} << QStringList{kRossi, kBianchi, kVerdi};
        QTest::newRow("una persona") << QStringList{kBianchi} << QStringList{kBianchi};
        QTest::newRow("minuscole") << QStringList{kVerdi.toLower(), kRossi} << QStringList{kRossi, kVerdi};
    }
    void selection()
    {
        QFETCH(QStringList, persons);
        QFETCH(QStringList, imported);
        cud(kRossi, QStringLiteral("12"), income(1000));
        cud(kBianchi, QStringLiteral("12"), income(2000), "BIANCHI");
        cud(kVerdi, QStringLiteral("12"), income(3000), "VERDI");
        // Typed by hand: an adjustment row of each person.
        for (const QString &cf : {kRossi, kBianchi, kVerdi}) {
            handRow(QStringLiteral("TDIP7_ANAGRFISCALI"), {{QStringLiteral("SDIP7CODFIS"), cf}, {QStringLiteral("FFIS7REDDDETR"), 7.0}});
            handRow(QStringLiteral("TCON7_DATICONGUAG"), {{QStringLiteral("SDIP7CODFIS"), cf}, {QStringLiteral("FCON7IMPONPTO1"), 5.0}});
        }
        CudImportOptions o;
        o.persons = persons;
        QVERIFY2(import(o), qPrintable(m_job->error()));
        QCOMPARE(m_job->importedPersons(), imported.size());
        for (const QString &cf : {kRossi, kBianchi, kVerdi}) {
            const QList<Values> dip = rows(QStringLiteral("TDIP7_ANAGRFISCALI"), cf);
            QCOMPARE(dip.size(), 1);
            const bool done = imported.contains(cf);
            QCOMPARE(dip[0].value(QStringLiteral("FFIS7REDDDETR")).toDouble() == 7.0, !done);
            QCOMPARE(rows(QStringLiteral("TCON7_DATICONGUAG"), cf).size(), done ? 0 : 1);
        }
    }

    void extinctAgentAdded()
    {
        Values row = income(1000);
        row.insert(QStringLiteral("SCUDALTROSOSCODFIS"), QStringLiteral(" 80012345678 "));
        cud(kRossi, QStringLiteral("12"), row);
        cud(kBianchi, QStringLiteral("12"), row, "BIANCHI");
        CudImportOptions o;
        o.persons = {kBianchi}; // the extinct agent is taken from every row
        QVERIFY2(import(o), qPrintable(m_job->error()));
        ClientDataSet soe;
        jex().OpenCds(soe, QStringLiteral("TSOE7_SOSESTINTO"));
        QCOMPARE(soe.recordCount(), 1);
        QCOMPARE(soe.fieldByName(QStringLiteral("CODICE"))->asString(), QStringLiteral("80012345678"));
        QVERIFY(import());
        jex().OpenCds(soe, QStringLiteral("TSOE7_SOSESTINTO"));
        QCOMPARE(soe.recordCount(), 1);
    }

    void invalidFiscalCodeSkipsThePerson()
    {
        const QString wrong = kRossi.left(15) + (kRossi.at(15) == u'A' ? u'B' : u'A');
        cud(wrong, QStringLiteral("12"), income(1000));
        cud(kBianchi, QStringLiteral("12"), income(2000), "BIANCHI");
        handRow(QStringLiteral("TDIP7_ANAGRFISCALI"), {{QStringLiteral("SDIP7CODFIS"), wrong}, {QStringLiteral("FFIS7REDDDETR"), 7.0}});
        QVERIFY2(import(), qPrintable(m_job->error()));
        const QString report = m_job->report().text();
        QVERIFY2(report.contains(QStringLiteral("carattere di controllo")) && report.contains(QStringLiteral("SCUDCODFIS")),
                 qPrintable(report));
        QCOMPARE(rows(QStringLiteral("TDIP7_ANAGRFISCALI"), wrong)[0].value(QStringLiteral("FFIS7REDDDETR")).toDouble(), 7.0);
        QCOMPARE(rows(QStringLiteral("TDIP7_ANAGRFISCALI"), kBianchi).size(), 1);
    }

    void unknownPersonRefused()
    {
        cud(kRossi, QStringLiteral("12"), income(1000));
        handRow(QStringLiteral("TDIP7_ANAGRFISCALI"), {{QStringLiteral("SDIP7CODFIS"), kBianchi}});
        const qint64 before = values();
        CudImportOptions o;
        o.persons = {kRossi, kBianchi};
        QVERIFY(!import(o));
        QVERIFY2(m_job->error().contains(kBianchi) && m_job->error().contains(QStringLiteral("nessun dato")),
                 qPrintable(m_job->error()));
        QCOMPARE(values(), before);
    }

    // A damaged rules file stops the run before anything is touched; a
    // section naming a column the certification lacks fails that section
    // only, with a message naming file, section and index.
    void damagedRules_data()
    {
        QTest::addColumn<QByteArray>("rules");
        QTest::addColumn<bool>("runs");
        QTest::addColumn<QString>("said");
        QTest::newRow("file mancante") << QByteArray() << false << QStringLiteral("Import.xml");
        QTest::newRow("XML non valido") << QByteArray("<DataImport><Import Section=") << false << QStringLiteral("Import.xml");
        QTest::newRow("colonna sconosciuta")
            << QByteArray("<DataImport Anno=\"2024\"><Import Section=\"CUD_Ana\">"
                          "<Field Index=\"1\" FromField=\"SCUDCODFIS\" ToField=\"SDIP7CODFIS\" TypeOf=\"s\"/>"
                          "<Field Index=\"2\" FromField=\"FCUDREDDDETR\" ToField=\"FFIS7REDDDETR\" TypeOf=\"c\"/></Import>"
                          "<Import Section=\"CUD_Fis\"><Field Index=\"7\" FromField=\"SCUDNONCE\" ToField=\"FFIS7RITIRPEF\" "
                          "TypeOf=\"c\" Descr=\"Ritenute\"/></Import></DataImport>")
            << true << QStringLiteral("SCUDNONCE");
    }
    void damagedRules()
    {
        QFETCH(QByteArray, rules);
        QFETCH(bool, runs);
        QFETCH(QString, said);
        cud(kRossi, QStringLiteral("12"), income(1000));
        handRow(QStringLiteral("TDIP7_ANAGRFISCALI"), {{QStringLiteral("SDIP7CODFIS"), kBianchi}});
        QTemporaryDir dir;
        const QString main = Paths::mainDir();
        const QString importDir = dir.filePath(QStringLiteral("USR/YR2024/Res/Import"));
        QVERIFY(QDir().mkpath(importDir));
        if (!rules.isEmpty()) {
            QFile f(importDir + QStringLiteral("/Import.xml"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(rules);
        }
        Paths::setMainDir(dir.path() + u'/');
        const qint64 before = values();
        const bool ok = import();
        Paths::setMainDir(main);
        QCOMPARE(ok, runs);
        if (!runs) {
            QVERIFY2(m_job->error().contains(said), qPrintable(m_job->error()));
            QCOMPARE(values(), before);
            return;
        }
        const QString shown = m_messages.texts().join(u'\n');
        QVERIFY2(shown.contains(said) && shown.contains(QStringLiteral("CUD_Fis")) && shown.contains(QStringLiteral("7")),
                 qPrintable(shown));
        QVERIFY2(m_job->report().text().contains(QStringLiteral("CUD_Fis")), qPrintable(m_job->report().text()));
        // The personal data went in, the failed section left no half record.
        const QList<Values> dip = rows(QStringLiteral("TDIP7_ANAGRFISCALI"), kRossi);
        QCOMPARE(dip.size(), 1);
        QCOMPARE(dip[0].value(QStringLiteral("FFIS7REDDDETR")).toDouble(), 1000.0);
        QVERIFY(!dip[0].contains(QStringLiteral("FFIS7RITIRPEF")));
    }

    void agentData()
    {
        cert(QStringLiteral("TCUS_DATISOST"), {{{QStringLiteral("SSOSCODFIS"), QStringLiteral("94007770541")},
                                                 {QStringLiteral("SSOSDENOM"), QStringLiteral("ISTITUTO DI PROVA")},
                                                 {QStringLiteral("SSOSCOMUNE"), QStringLiteral("PERUGIA")}}});
        cud(kRossi, QStringLiteral("12"), income(1000));
        TCudImport probe(conn());
        QVERIFY(probe.agentMissing());
        CudImportOptions o;
        o.importAgent = true;
        QVERIFY2(import(o), qPrintable(m_job->error()));
        ClientDataSet sos;
        jex().OpenCds(sos, QStringLiteral("TSOS_DATOSOSTITUTO"));
        QCOMPARE(sos.recordCount(), 1);
        QCOMPARE(sos.fieldByName(QStringLiteral("SSOSDENOM"))->asString(), QStringLiteral("ISTITUTO DI PROVA"));
        QCOMPARE(sos.fieldByName(QStringLiteral("SSOSCOMUNESL"))->asString(), QStringLiteral("PERUGIA"));
        QCOMPARE(sos.fieldByName(QStringLiteral("ISOSSEZ"))->asInteger(), 1);
        QVERIFY(!probe.agentMissing());
    }

    void personsOfTheList()
    {
        cud(kVerdi, QStringLiteral("12"), income(1), "VERDI");
        cud(kRossi, QStringLiteral("06"), income(1));
        cud(kRossi, QStringLiteral("12"), income(1));
        TCudImport job(conn());
        const QList<CudPerson> p = job.persons();
        QCOMPARE(p.size(), 2);
        QCOMPARE(p[0].codFis, kVerdi);
        QCOMPARE(p[0].cognome, QStringLiteral("VERDI"));
        QCOMPARE(p[1].codFis, kRossi);
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    jex::registerCore(jex::coreRegistry());
    int rc = 0;
    for (const char *backend : {"sqlite", "postgresql"}) {
        TstCudImport t(QString::fromLatin1(backend));
        rc |= QTest::qExec(&t, argc, argv);
    }
    return rc;
}

#include "tst_cudimport.moc"
