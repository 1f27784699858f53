// The reconciliation of certifications, summary tables and F24 payments on a
// small year whose sides agree by construction; each case spoils it in one
// known way and expects exactly the findings that follow. The return is kept
// in memory, the F24 archive in a real database (SQLite, and PostgreSQL when
// JEX770_TEST_PG names a server), read by the delivered statement.

#include "testdb.h"

#include "base/errors.h"
#include "base/messages.h"
#include "base/paths.h"
#include "checks/reconcile.h"
#include "database/namedsql.h"
#include "database/sqlconnection.h"
#include "sections/memorystore.h"

#include "coretest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>

using namespace jex;

namespace {

std::atomic<int> g_conn{0};

QString source() { return qEnvironmentVariable("JEX770_SOURCE_DIR"); }

struct Year
{
    explicit Year(const QString &kind) : tdb(kind), conn(QStringLiteral("reconcile_%1").arg(g_conn++))
    {
        if (tdb.available())
            conn.open(DatabaseUrl::parse(tdb.url()));
    }
    ~Year() { conn.close(); }

    void add(const char *table, const QVariantMap &values)
    {
        ClientDataSet &ds = store.table(QString::fromLatin1(table));
        ds.append();
        for (auto it = values.begin(); it != values.end(); ++it)
            ds.fieldByName(it.key())->setValue(it.value());
        ds.post();
        ds.mergeChangeLog();
    }

    void pay(const char *sezione, const char *codice, int mese, double importo, QDate data = {},
             double credito = 0, double interessi = 0)
    {
        conn.exec(QStringLiteral("INSERT INTO TF24_VERSAMENTI (SF24SEZIONE, SF24CODTRIBUTO, IF24MESERIF, IF24ANNORIF, "
                                 "IF24ANNORIT, DF24DATAVERS, FF24IMPORTO, FF24CREDITO, FF24INTERESSI) "
                                 "VALUES (:S, :C, :M, 2024, 2024, :D, :I, :CR, :INT)"),
                  {{QStringLiteral("S"), QString::fromLatin1(sezione)},
                   {QStringLiteral("C"), QString::fromLatin1(codice)},
                   {QStringLiteral("M"), mese},
                   {QStringLiteral("D"), data.isValid() ? data : QDate(2024, mese, 16).addMonths(1)},
                   {QStringLiteral("I"), importo},
                   {QStringLiteral("CR"), credito},
                   {QStringLiteral("INT"), interessi}});
    }

    // Two employees, a self-employed payee and the summary rows and F24
    // payments of exactly their withholdings.
    void balanced()
    {
        add("TDIP7_ANAGRFISCALI", {{"SDIP7CODFIS", "RSSMRA70A01H501S"}, {"SDIP7COGNOME", "ROSSI"}, {"SDIP7NOME", "MARIO"},
                                   {"FFIS7RITIRPEF", 1000.00}, {"FFIS7ADDREGIRPEF", 100.00}, {"FFIS7ADDCOMACC", 30.00},
                                   {"FFIS7ADDCOMSA", 20.00}, {"FASS7IMPORIMBIRPEF", 50.00}});
        add("TDIP7_ANAGRFISCALI", {{"SDIP7CODFIS", "BNCLGU65B12F205X"}, {"SDIP7COGNOME", "BIANCHI"},
                                   {"SDIP7NOME", "LUIGI"}, {"FFIS7RITIRPEF", 500.00}, {"FFIS7ADDREGIRPEF", 50.00}});
        add("TDAU7_DATIAUTONOM", {{"SDAU7CODFIS", "VRDGPP60C03F839K"}, {"SDAU7COGNOME", "VERDI"}});
        add("TDSE7_SOMMEEROGATE", {{"SDAU7CODFIS", "VRDGPP60C03F839K"}, {"FDSE7RITTITACC", 200.00}});
        stRow("01", "1001", 700.00, 50.00, 650.00, QDate(2024, 2, 16));
        stRow("02", "1001", 800.00, 0, 800.00, QDate(2024, 3, 16));
        stRow("03", "1040", 200.00, 0, 200.00, QDate(2024, 4, 16));
        add("TPST2_PROSPETTOSTS2", {{"SPST2MESE", "01"}, {"SPST2ANNO", "2024"}, {"FPST2RITEFFETTUATE", 150.00},
                                    {"FPST2IMPOVERSATO", 150.00}, {"SPST2CODTRIBUTO", "381E"},
                                    {"DPST2DTVERS", QDate(2024, 2, 16)}});
        add("TPSV_PROSPETTOSV", {{"SPSVMESE", "02"}, {"SPSVANNO", "2024"}, {"FPSVTRATTEFF", 50.00},
                                 {"FPSVIMPVERS", 50.00}, {"SPSVCODTRIBCAP", "384E"}, {"DPSVDTVERS", QDate(2024, 3, 16)}});
        pay("F", "1001", 1, 650.00, {}, 50.00);
        pay("F", "1001", 2, 800.00);
        pay("F", "1040", 3, 200.00);
        pay("R", "381E", 1, 150.00);
        pay("EL", "384E", 2, 50.00);
    }

    void stRow(const QString &mese, const QString &code, double rit, double cred, double vers, const QDate &data,
               double interessi = 0)
    {
        QVariantMap v{{"SPSTMESE", mese}, {"SPSTANNO", "2024"}, {"SPSTCODTRIBUTO", code}, {"DPSTDTVERS", data}};
        if (rit)
            v.insert("FPSTRITOPEARTE", rit);
        if (cred)
            v.insert("FPSTRITCOMPENSATE", cred);
        if (vers)
            v.insert("FPSTIMPOVERSATO", vers);
        if (interessi)
            v.insert("FPSTINTERESSI", interessi);
        if (code.isEmpty())
            v.remove("SPSTCODTRIBUTO");
        add("TPST_PROSPETTOST", v);
    }

    // Edits one column of a stored row.
    void set(const char *table, int row, const char *column, const QVariant &value)
    {
        ClientDataSet &ds = store.table(QString::fromLatin1(table));
        ds.setRecNo(row);
        ds.edit();
        ds.fieldByName(QString::fromLatin1(column))->setValue(value);
        ds.post();
        ds.mergeChangeLog();
    }

    // Without a connection the return has no archive of payments at all.
    ReconcileReport run(bool withArchive = true)
    {
        ReconcileJob job(store, withArchive ? &conn : nullptr,
                         ReconcileMap::load(source() + QStringLiteral("/tests/data/reconcile/Quadratura.xml")));
        return job.run();
    }

    TestDatabase tdb;
    TQxSQLConnection conn;
    MemorySectionStore store;
};

// What a test compares: the flagged lines as "check|reference|difference".
QStringList flaggedLines(const ReconcileReport &r)
{
    QStringList out;
    for (const ReconcileLine &l : r.lines) {
        if (!l.flagged)
            continue;
        const std::optional<qint64> d = l.a && l.b ? l.difference() : std::nullopt;
        out << QStringLiteral("%1|%2|%3").arg(int(l.check)).arg(l.reference, d ? formatCents(*d) : QStringLiteral("-"));
    }
    return out;
}

const int CU = int(ReconcileCheck::CertVsSummary);
const int F24 = int(ReconcileCheck::SummaryVsF24);
const int ROW = int(ReconcileCheck::SummaryRow);
const int DATA = int(ReconcileCheck::Data);

QString L(int check, const char *ref, const char *diff = "-")
{
    return QStringLiteral("%1|%2|%3").arg(check).arg(QString::fromUtf8(ref), QString::fromLatin1(diff));
}

} // namespace

class TstReconcile : public QObject
{
    Q_OBJECT

    ScriptedMessageService m_messages{ModalResult::Ok};

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(!source().isEmpty());
        Paths::setMainDir(source() + QStringLiteral("/data/"));
        setMessageService(&m_messages);
        TQmrQueryText::instance().CompileQueryFile(source() + QStringLiteral("/sql/f24.xml"));
    }
    void cleanupTestCase() { setMessageService(nullptr); }

    void spoiltYear_data()
    {
        QTest::addColumn<QString>("db");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("expected");
        const struct
        {
            const char *name;
            const char *change;
            QStringList expected;
        } cases[] = {
            {"clean year", "", {}},
            {"F24 payment missing from ST", "extraPayment", {L(F24, "ST I 04/2024 1040")}},
            // The archive paid interest too: only the row itself is wrong.
            {"ST row paid differs from withheld + interest", "paidDiffers", {L(ROW, "ST I rigo 2", "10,00")}},
            {"certification exceeds ST by 10 euro", "certExceeds", {L(CU, "Ritenute IRPEF", "-10,00")}},
            {"ST row without tax code", "noCode", {L(ROW, "ST I rigo 4")}},
            {"ST row without amounts", "noAmounts", {L(F24, "ST I 06/2024 1001"), L(ROW, "ST I rigo 4")}},
            // A paid amount without its withholding is not read as withheld 0 in balance.
            {"ST row paid without withheld", "paidOnly", {L(F24, "ST I 06/2024 1001"), L(ROW, "ST I rigo 4", "10,00")}},
            {"certification without codice fiscale", "noCodFis", {L(DATA, "Lavoro dipendente rigo 3")}},
            {"self-employed payee without codice fiscale", "noCodFisAut", {L(DATA, "Lavoro autonomo rigo 2")}},
            {"year without F24 payments", "noF24", {L(F24, "Archivio F24")}},
            {"return without F24 archive", "noArchive", {L(F24, "Archivio F24")}},
            {"payment date differs", "otherDate", {L(F24, "ST I 03/2024 1040")}},
            {"payment dated before its month", "earlyDate",
             {L(F24, "ST I 03/2024 1040"), L(ROW, "ST I rigo 3")}},
            {"month out of range", "badMonth", {L(F24, "ST I 03/2024 1040"), L(ROW, "ST I rigo 3")}},
        };
        for (const char *db : {"sqlite", "postgresql"})
            for (const auto &c : cases)
                QTest::newRow(qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(db), QLatin1String(c.name))))
                    << QString::fromLatin1(db) << QString::fromLatin1(c.change) << c.expected;
    }
    void spoiltYear()
    {
        QFETCH(QString, db);
        QFETCH(QString, change);
        QFETCH(QStringList, expected);
        Year y(db);
        if (!y.tdb.available())
            QSKIP(qPrintable(y.tdb.skipReason()));
        y.balanced();
        if (change == u"extraPayment")
            y.pay("F", "1040", 4, 100.00);
        else if (change == u"paidDiffers") {
            y.set("TPST_PROSPETTOST", 2, "FPSTIMPOVERSATO", 810.00);
            y.conn.exec(QStringLiteral("UPDATE TF24_VERSAMENTI SET FF24IMPORTO = 810, FF24INTERESSI = 10 "
                                       "WHERE IF24MESERIF = 2 AND SF24CODTRIBUTO = '1001'"));
        } else if (change == u"certExceeds")
            y.set("TDIP7_ANAGRFISCALI", 2, "FFIS7RITIRPEF", 510.00);
        else if (change == u"noCode")
            y.stRow("05", QString(), 10.00, 0, 10.00, QDate(2024, 6, 17));
        else if (change == u"noAmounts")
            y.stRow("06", QStringLiteral("1001"), 0, 0, 0, QDate(2024, 7, 16));
        else if (change == u"paidOnly")
            y.stRow("06", QStringLiteral("1001"), 0, 0, 10.00, QDate(2024, 7, 16));
        else if (change == u"noCodFis")
            y.add("TDIP7_ANAGRFISCALI", {{"SDIP7COGNOME", "NERI"}});
        else if (change == u"noCodFisAut")
            y.add("TDAU7_DATIAUTONOM", {{"SDAU7COGNOME", "GIALLI"}});
        else if (change == u"noF24")
            y.conn.exec(QStringLiteral("DELETE FROM TF24_VERSAMENTI"));
        else if (change == u"otherDate")
            y.set("TPST_PROSPETTOST", 3, "DPSTDTVERS", QDate(2024, 4, 15));
        else if (change == u"earlyDate")
            y.set("TPST_PROSPETTOST", 3, "DPSTDTVERS", QDate(2024, 2, 16));
        else if (change == u"badMonth")
            y.set("TPST_PROSPETTOST", 3, "SPSTMESE", QStringLiteral("13"));
        else
            QVERIFY(change.isEmpty() || change == u"noArchive");

        const ReconcileReport report = y.run(change != u"noArchive");
        QCOMPARE(flaggedLines(report), expected);
        QCOMPARE(report.flagged(), int(expected.size()));
        // Every box and every month of the clean sides is shown, in balance.
        QVERIFY(report.lines.size() > report.flagged());
    }

    void outputs_data() { TestDatabase::addDatabaseRows(); }
    void outputs()
    {
        QFETCH(QString, db);
        Year y(db);
        if (!y.tdb.available())
            QSKIP(qPrintable(y.tdb.skipReason()));
        y.balanced();
        y.set("TDIP7_ANAGRFISCALI", 2, "FFIS7RITIRPEF", 510.00);
        const ReconcileReport report = y.run();

        const QJsonObject json = QJsonDocument::fromJson(report.toJson().toUtf8()).object();
        QCOMPARE(json.value(QStringLiteral("da_verificare")).toInt(), 1);
        QCOMPARE(json.value(QStringLiteral("righe")).toArray().size(), int(report.lines.size()));
        QVERIFY(report.toCsv().contains(QStringLiteral(";Ritenute IRPEF;ritenute del prospetto ST I (codici 1001 1040): "
                                                       "differenza oltre 1 euro;1710,00;1700,00;-10,00;1\n")));
        QVERIFY(report.toText().contains(QStringLiteral(
            "!! Ritenute IRPEF: ritenute del prospetto ST I (codici 1001 1040): differenza oltre 1 euro "
            "[A 1.710,00, B 1.700,00, differenza -10,00]")));
        QVERIFY(report.toText().endsWith(QStringLiteral("1 differenza da verificare\n")));
    }

    // Under 1 euro the certifications' rounding is accepted.
    void toleranceOfOneEuro_data()
    {
        QTest::addColumn<double>("irpef");
        QTest::addColumn<bool>("flagged");
        QTest::newRow("1,00 more") << 501.00 << false;
        QTest::newRow("1,01 more") << 501.01 << true;
        QTest::newRow("1,00 less") << 499.00 << false;
        QTest::newRow("1,01 less") << 498.99 << true;
    }
    void toleranceOfOneEuro()
    {
        QFETCH(double, irpef);
        QFETCH(bool, flagged);
        Year y(QStringLiteral("sqlite"));
        QVERIFY(y.tdb.available());
        y.balanced();
        y.set("TDIP7_ANAGRFISCALI", 2, "FFIS7RITIRPEF", irpef);
        QCOMPARE(y.run().flagged(ReconcileCheck::CertVsSummary), flagged ? 1 : 0);
    }

    // A box without tax codes is said, not compared as zero.
    void boxWithoutCodes()
    {
        Year y(QStringLiteral("sqlite"));
        QVERIFY(y.tdb.available());
        y.balanced();
        ReconcileJob job(y.store, &y.conn, ReconcileMap::load(source() + QStringLiteral("/data/USR/YR2024/Res/Quadratura/Quadratura.xml")));
        const ReconcileReport r = job.run();
        QCOMPARE(r.flagged(ReconcileCheck::CertVsSummary), 4);
        for (const ReconcileLine &l : r.lines)
            if (l.check == ReconcileCheck::CertVsSummary)
                QVERIFY2(l.text.startsWith(u"nessun codice tributo indicato"), qPrintable(l.text));
    }

    void badMapFile_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<QString>("message");
        QTest::newRow("not xml") << "<Quadratura>" << "riga 1: XML non valido";
        QTest::newRow("no box") << "<Quadratura/>" << "nessun <Riquadro>";
        QTest::newRow("bad table") << "<Quadratura>\n<Riquadro Id=\"A\" Descrizione=\"a\" Prospetto=\"ST9\"/></Quadratura>"
                                   << "riga 2: Prospetto \"ST9\" non valido";
        QTest::newRow("code twice")
            << "<Quadratura><Riquadro Id=\"A\" Descrizione=\"a\" Prospetto=\"ST1\"><CodiceTributo>1001</CodiceTributo>"
               "</Riquadro>\n<Riquadro Id=\"B\" Descrizione=\"b\" Prospetto=\"ST1\">\n<CodiceTributo>1001</CodiceTributo>"
               "</Riquadro></Quadratura>"
            << "riga 3: il codice tributo 1001 è già nel riquadro A";
        QTest::newRow("column of another table")
            << "<Quadratura><Riquadro Id=\"A\" Descrizione=\"a\" Prospetto=\"SV\">"
               "<Certificazione Tabella=\"TPST_PROSPETTOST\" Colonna=\"X\"/></Riquadro></Quadratura>"
            << "Tabella \"TPST_PROSPETTOST\" non valida";
    }
    void badMapFile()
    {
        QFETCH(QString, xml);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Quadratura.xml"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(xml.toUtf8());
        f.close();
        try {
            ReconcileMap::load(path);
            QFAIL("file accepted");
        } catch (const EQxError &e) {
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
            QVERIFY(e.message().startsWith(u"Quadratura.xml"));
        }
    }

    // A column the map names that the table lacks stops the run with its name.
    void unknownColumnIsAnError()
    {
        MemorySectionStore store;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Quadratura.xml"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<Quadratura><Riquadro Id=\"A\" Descrizione=\"a\" Prospetto=\"ST1\">"
                "<Certificazione Tabella=\"TDIP7_ANAGRFISCALI\" Colonna=\"FFIS7NONCE\"/></Riquadro></Quadratura>");
        f.close();
        ReconcileJob job(store, nullptr, ReconcileMap::load(path));
        QVERIFY_THROWS_EXCEPTION(EQxError, job.run());
    }
};

JEX_TEST_MAIN(TstReconcile)

#include "tst_reconcile.moc"
