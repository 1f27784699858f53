// Reading a supply back is the inverse of writing it: a return generated,
// read into an empty return and generated again gives the same files, byte
// for byte, also for a supply split into several files.

#include "coretest.h"
#include "telfixture.h"

#include "base/errors.h"
#include "database/sqlconnection.h"
#include "database/structureservice.h"
#include "demo/codicefiscale.h"
#include "sections/databasestore.h"
#include "testdb.h"
#include "telematic/supply/reader.h"

#include <QFile>

using namespace jex;
using namespace jex::supply;

namespace {

// A valid organisation code from a number.
QString organisation(int n)
{
    const QString first = QStringLiteral("8%1").arg(n, 9, 10, QLatin1Char('0'));
    return first + QString::number(demo::organisationCheckDigit(first));
}

// A person's code with its check character.
QString person(const char *first15)
{
    return QString::fromLatin1(first15) + demo::personCheckChar(QString::fromLatin1(first15));
}

struct Return : test::TelFixture
{
    Return()
    {
        for (const char *table : {"TSOS_DATOSOSTITUTO", "TFOR_FORNITORE"}) {
            ClientDataSet &ds = store.table(QString::fromLatin1(table));
            ds.first();
            ds.edit();
            ds.fieldByName(QString::fromLatin1(std::string_view(table) == "TFOR_FORNITORE" ? "SFORCODFIS" : "SSOSCODFIS"))
                ->setValue(organisation(1234));
            ds.post();
            ds.mergeChangeLog();
        }
    }
};

QByteArray bytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TstSupplyRoundTrip : public QObject
{
    Q_OBJECT

    // Generates the source, reads it into an empty return, generates that.
    void roundTrip(Return &source, int expectedFiles)
    {
        source.generate();
        const QStringList files = source.writeFile();
        QCOMPARE(files.size(), expectedFiles);

        Return target;
        const ReadResult read = readSupplyInto(target.store, files, false, test::layoutsDir());
        for (const QString &line : read.check.lines().mid(0, 20))
            qInfo("%s", qPrintable(line));
        QVERIFY2(read.written, qPrintable(read.message));
        QCOMPARE(read.check.errors, 0);

        target.generate();
        const QStringList again = target.writeFile(QStringLiteral("di_nuovo"));
        QCOMPARE(again.size(), files.size());
        for (int i = 0; i < files.size(); ++i)
            QVERIFY2(bytes(again[i]) == bytes(files[i]), qPrintable(files[i]));
    }

private Q_SLOTS:
    void everyTable()
    {
        Return r;
        for (int m = 1; m <= 14; ++m)
            r.stRow((m - 1) % 12 + 1, 1000.0 + m);
        for (int m = 1; m <= 3; ++m)
            r.svRow(m, 85.2 * m);
        r.row("TPST2_PROSPETTOSTS2", {{"SPST2MESE", "02"}, {"SPST2ANNO", "2024"}, {"FPST2RITEFFETTUATE", 214.6},
                                      {"FPST2IMPOVERSATO", 214.6}, {"SPST2CODTRIBUTO", "381E"}, {"SPST2CODREG", "05"},
                                      {"DPST2DTVERS", QDate(2024, 3, 18)}});
        r.row("TPST3_PROSPETTOSTS3", {{"SPST3CFINTNRES", organisation(77)}, {"SPST3DENINTNRES", "BANCA ESTERA"},
                                      {"SPST3MESE27", "03"}, {"SPST3ANNO27", "2024"}, {"FPST3RITEFFETTUATE27", 50.0},
                                      {"FPST3IMPOVERSATO27", 50.0}, {"DPST3DTVERS27", QDate(2024, 4, 16)}});
        r.row("TPSX_PROSPETTOSX", {{"FCRECONGCESSRAPP_SX", 420.0}, {"CREUTILF24_SX1", 420.0}, {"LVA_SX", "1"}});
        r.row("TPDI_PROSPETTODI", {{"SPDICODFIS", organisation(55)}, {"SPDINOTA", "Q"}, {"SPDIPERIMP", "2023"},
                                   {"FPDIMAGCRED", 75.0}});
        r.row("TPSY3_PROSPETTOSY3", {{"SPSY3CFBEN", person("VRDGPP80C03L219")}, {"FPSY3AMMBON", 5000.0}, {"FPSY3RITEFF", 550.0}});
        r.row("TPSY4_PROSPETTOSY4", {{"SSY4DEN", "MUELLER SCHMIDT VON HOHENSTEIN"}, {"SSY4NOME", "JOHANNES"},
                                     {"DSY4DNASC", QDate(1968, 5, 21)}, {"FSY4AMMLORDCORR", 1500.0},
                                     {"FSY4RITTITIMP", 450.0}});
        roundTrip(r, 1);
    }

    // More than 8,275 detail records: two files, numbered in record A.
    void splitSupply()
    {
        Return r;
        ClientDataSet &st = r.store.table(QStringLiteral("TPST_PROSPETTOST"));
        for (int i = 0; i < 49700; ++i) {
            const int month = i % 12 + 1;
            const double withheld = 1000.0 + i % 997;
            st.append();
            st.fieldByName(QStringLiteral("SPSTMESE"))->setValue(QStringLiteral("%1").arg(month, 2, 10, QLatin1Char('0')));
            st.fieldByName(QStringLiteral("SPSTANNO"))->setValue(QStringLiteral("2024"));
            st.fieldByName(QStringLiteral("FPSTRITOPEARTE"))->setValue(withheld);
            st.fieldByName(QStringLiteral("FPSTRITCOMPENSATE"))->setValue(10.0);
            st.fieldByName(QStringLiteral("FPSTINTERESSI"))->setValue(1.5);
            st.fieldByName(QStringLiteral("FPSTIMPOVERSATO"))->setValue(withheld - 10.0 + 1.5);
            st.fieldByName(QStringLiteral("LPSTRAVVEDIMENTO"))->setValue(1);
            st.fieldByName(QStringLiteral("SPSTCODTRIBUTO"))->setValue(QStringLiteral("100E"));
            st.fieldByName(QStringLiteral("DPSTDTVERS"))->setValue(QDate(2000, 1, 1).addDays(i));
            st.post();
        }
        st.mergeChangeLog();
        roundTrip(r, 2);
    }

    // A split supply read into an empty database and generated from there.
    // One SX row per module makes every module a record of its own, so that
    // the supply passes 8,275 detail records with few values to store.
    void splitSupplyOnDatabase_data() { TestDatabase::addDatabaseRows(); }
    void splitSupplyOnDatabase()
    {
        JEX_TEST_DATABASE(tdb);
        Return source;
        for (int i = 0; i < 8300; ++i)
            source.row("TPSX_PROSPETTOSX", {{"FCRECONGCESSRAPP_SX", 100.0 + i}, {"CREUTILF24_SX1", 100.0 + i}});
        for (int i = 0; i < 300; ++i)
            source.stRow(i % 12 + 1, 500.0 + i);
        source.generate();
        const QStringList files = source.writeFile();
        QCOMPARE(files.size(), 2);

        TQxSQLConnection conn(QStringLiteral("tst_supplyroundtrip"));
        conn.open(DatabaseUrl::parse(tdb.url()));
        TQmrDBCds svc(2024, QStringLiteral("jex"), 0);
        svc.SetConnection(&conn);
        svc.SetShowWait(false);
        DbCdsStore store(&svc);
        const ReadResult read = readSupplyInto(store, files, false, test::layoutsDir());
        QVERIFY2(read.written, qPrintable(read.message));
        QCOMPARE(read.check.errors, 0);
        QVERIFY2(read.rowsByTable.contains(QStringLiteral("TPSX_PROSPETTOSX: 8300 righe")),
                 qPrintable(read.rowsByTable.join(u'\n')));

        // Generated again from what the database holds.
        QTemporaryDir out;
        TdmJexFile dm;
        dm.store = &store;
        dm.layoutDir = test::layoutsDir();
        dm.openTables();
        dm.runGeneration();
        dm.BuildFile();
        const QStringList again = dm.WriteTelematicFile(out.filePath(QStringLiteral("di_nuovo")));
        QCOMPARE(again.size(), files.size());
        for (int i = 0; i < files.size(); ++i)
            QVERIFY2(bytes(again[i]) == bytes(files[i]), qPrintable(files[i]));
    }

    // The modules of an extinct agent name it in their head, so its rows go
    // back to it. The first extinct agent has only SY rows and the second
    // comes first in record D: the agents' table must still come back in
    // its order, or the regenerated modules would change places.
    void extinctAgents()
    {
        Return r;
        const QString first = organisation(91), second = organisation(92);
        r.row("TSOE7_SOSESTINTO", {{"CODICE", first}, {"DENOMINAZI0NE", "SCUOLA ACCORPATA"}});
        r.row("TSOE7_SOSESTINTO", {{"CODICE", second}, {"DENOMINAZI0NE", "DIREZIONE DIDATTICA SOPPRESSA"}});
        for (int m = 1; m <= 3; ++m)
            r.stRow(m, 1000.0 + m);
        r.stRow(1, 310.0, second);
        r.stRow(2, 320.0, second);
        r.svRow(1, 85.2, second);
        r.row("TPSY3_PROSPETTOSY3", {{"SSOE7CODICE", first}, {"SPSY3CFBEN", person("VRDGPP80C03L219")},
                                     {"FPSY3AMMBON", 5000.0}, {"FPSY3RITEFF", 550.0}});
        r.row("TPSY3_PROSPETTOSY3", {{"SSOE7CODICE", second}, {"SPSY3CFBEN", person("BNCLGU65B12F205")},
                                     {"FPSY3AMMBON", 2000.0}, {"FPSY3RITEFF", 220.0}});
        r.row("TPSY3_PROSPETTOSY3", {{"SPSY3CFBEN", person("RSSMRA70A01H501")}, {"FPSY3AMMBON", 900.0},
                                     {"FPSY3RITEFF", 99.0}});
        roundTrip(r, 1);
    }

    void extinctAgentsStored()
    {
        Return r;
        const QString agent = organisation(93);
        r.row("TSOE7_SOSESTINTO", {{"CODICE", agent}, {"DENOMINAZI0NE", "ISTITUTO SOPPRESSO"}});
        r.stRow(1, 1000.0);
        r.stRow(1, 310.0, agent);
        r.generate();
        const QStringList files = r.writeFile();

        Return target;
        const ReadResult read = readSupplyInto(target.store, files, false, test::layoutsDir());
        QVERIFY2(read.written, qPrintable(read.message));
        QVERIFY2(read.message.contains(agent), qPrintable(read.message));
        ClientDataSet &st = target.store.table(QStringLiteral("TPST_PROSPETTOST"));
        QCOMPARE(st.recordCount(), 2);
        QStringList owners;
        for (st.first(); !st.eof(); st.next())
            owners << st.fieldByName(QStringLiteral("SSOE7CODICE"))->asString();
        owners.sort();
        QCOMPARE(owners, (QStringList{QString(), agent}));
        ClientDataSet &est = target.store.table(QStringLiteral("TSOE7_SOSESTINTO"));
        QCOMPARE(est.recordCount(), 1);
        est.first();
        QCOMPARE(est.fieldByName(QStringLiteral("CODICE"))->asString(), agent);
    }

    // Another program's own text in the user's space of a module head is
    // no agent: the rows stay the declaring agent's.
    void otherTextInUserSpace()
    {
        Return r;
        r.stRow(1, 1000.0);
        r.generate();
        const QString file = r.writeFile().first();
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray all = f.readAll();
        const qsizetype d = all.indexOf("\nD") + 1;
        QVERIFY(d > 0);
        all.replace(d + 53, 10, "PRATICA 12");
        f.seek(0);
        f.write(all);
        f.close();

        Return target;
        const ReadResult read = readSupplyInto(target.store, {file}, false, test::layoutsDir());
        QVERIFY2(read.written, qPrintable(read.message));
        QCOMPARE(read.check.errors, 0);
        QCOMPARE(read.check.warnings, 1);
        ClientDataSet &st = target.store.table(QStringLiteral("TPST_PROSPETTOST"));
        QCOMPARE(st.recordCount(), 1);
        st.first();
        QVERIFY(st.fieldByName(QStringLiteral("SSOE7CODICE"))->asString().isEmpty());
        QVERIFY(target.store.table(QStringLiteral("TSOE7_SOSESTINTO")).isEmpty());
    }

    // Layouts whose module heads do not name the agent cannot give an
    // extinct agent's rows back: the supply is refused, not given all to the
    // declaring agent.
    void extinctAgentRefusedWithoutAgentInHead()
    {
        QTemporaryDir layouts;
        QVERIFY(test::copyLayoutsWithoutModuleAgent(layouts.path()));
        Return r;
        r.dm.layoutDir = layouts.path();
        r.row("TSOE7_SOSESTINTO", {{"CODICE", organisation(99)}});
        r.row("TPSY3_PROSPETTOSY3", {{"SSOE7CODICE", organisation(99)}, {"SPSY3CFBEN", person("VRDGPP80C03L219")},
                                     {"FPSY3AMMBON", 5000.0}, {"FPSY3RITEFF", 550.0}});
        r.generate();
        const QStringList files = r.writeFile();
        Return target;
        try {
            readSupplyInto(target.store, files, false, layouts.path());
            QFAIL("read");
        } catch (const EQxError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("sostituto estinto")), qPrintable(e.message()));
        }
        QVERIFY(target.store.table(QStringLiteral("TPSY3_PROSPETTOSY3")).isEmpty());
        QVERIFY(target.store.table(QStringLiteral("TSOE7_SOSESTINTO")).isEmpty());
    }
};

JEX_TEST_MAIN(TstSupplyRoundTrip)

#include "tst_supplyroundtrip.moc"
