// The payroll completion steps of the certification import: the delivered
// statements against a real payroll archive (SQLite, and PostgreSQL when
// JEX770_TEST_PG names a server), the return's sections kept in memory.

#include "testdb.h"

#include "base/messages.h"
#include "base/money.h"
#include "base/paths.h"
#include "database/namedsql.h"
#include "database/sqlconnection.h"
#include "demo/demoschool.h"
#include "demo/payrollarchivedemo.h"
#include "imports/cud/importreport.h"
#include "imports/cud/payrollarchive.h"
#include "imports/cud/payrollcompletion.h"
#include "sections/memorystore.h"

#include "coretest.h"

#include <QSqlRecord>
#include <QtTest>
#include <map>
#include <memory>

using namespace jex;

namespace {

const QString CF = QStringLiteral("RSSMRA70A41G478X");
const QString DIP = QStringLiteral("TDIP7_ANAGRFISCALI");
const QString TAS = QStringLiteral("TTAS7_TASSAZIONESE");
const QString CFC = QStringLiteral("TCFC7_CONFAMCARICO");
constexpr int kYear = 55;

// One archive per kind of database for the whole test, emptied before each case.
struct Archive
{
    explicit Archive(const QString &kind) : tdb(kind), conn(QStringLiteral("payroll_%1").arg(kind))
    {
        if (tdb.available())
            conn.open(DatabaseUrl::parse(tdb.url()));
    }
    ~Archive() { conn.close(); }
    void clear()
    {
        for (const char *t : {"TREGV_VOCIREG", "TREGS_REGISTRAZIONI", "TADEF_FIGLI", "TADET_DETRAZIONI",
                              "TSTS_STORICOTASSSEP", "TVACR_VOCIMENSILI", "TACOM_ANAGCOMPENSI", "TANA_ANAGRAFICA"})
            conn.exec(QStringLiteral("DELETE FROM %1").arg(QString::fromLatin1(t)));
    }
    TestDatabase tdb;
    TQxSQLConnection conn;
};

std::map<QString, std::unique_ptr<Archive>> g_archives;

Archive &archive(const QString &kind)
{
    auto &a = g_archives[kind];
    if (!a)
        a = std::make_unique<Archive>(kind);
    return *a;
}

qint64 m(double euro) { return TQmrCalcola::fromDouble(euro); }

// Adds rows for every kind of database to a table of cases.
template <typename F>
void forEachDatabase(F addCases)
{
    for (const QString &db : {QStringLiteral("sqlite"), QStringLiteral("postgresql")})
        addCases(db);
}

struct Fixture
{
    explicit Fixture(const QString &kind) : a(archive(kind)), writer(a.conn)
    {
        if (available()) {
            a.clear();
            ArchivePerson p;
            p.codFis = CF;
            p.cognome = QStringLiteral("ROSSI");
            p.nome = QStringLiteral("MARIA");
            ana = writer.person(p);
        }
    }
    bool available() const { return a.tdb.available(); }

    PayrollCompletion completion()
    {
        CompletionContext ctx;
        ctx.store = &store;
        ctx.conn = &a.conn;
        ctx.yearId = kYear;
        ctx.report = &report;
        ctx.phase = [this](const QString &c) { phases << c; };
        return PayrollCompletion(ctx);
    }

    // The employee's record, filled by `fill`.
    template <typename F>
    void employee(F fill)
    {
        store.put(DIP, 0, [&](ClientDataSet &ds) {
            ds.fieldByName(QStringLiteral("IAFIID"))->setValue(7);
            ds.fieldByName(QStringLiteral("SDIP7CODFIS"))->setAsString(CF);
            ds.fieldByName(QStringLiteral("SDIP7COGNOME"))->setAsString(QStringLiteral("ROSSI"));
            ds.fieldByName(QStringLiteral("SDIP7NOME"))->setAsString(QStringLiteral("MARIA"));
            ds.fieldByName(QStringLiteral("SDIP7DFCODCOMPRECC"))->setAsString(QStringLiteral("G478"));
            fill(ds);
        });
    }
    std::unique_ptr<ClientDataSet> section(const QString &name) { return store.load(name); }

    // Deduction settings of the year with a dependent spouse.
    void spouseInPayroll()
    {
        ArchiveDeductions d;
        d.spouse = true;
        d.spouseCodFis = QStringLiteral("BNCLRA75D45G478N");
        writer.deductions(ana, kYear, d);
    }

    // The report's messages, without their leading "-  ".
    QStringList messages() const
    {
        QStringList out;
        for (const QString &l : report.lines())
            if (l.startsWith(QStringLiteral("-  ")))
                out << l.mid(3);
        return out;
    }

    Archive &a;
    PayrollArchiveWriter writer;
    qint64 ana = 0;
    MemorySectionStore store;
    ImportReport report;
    QStringList phases;
};

#define FIXTURE(f)                                                    \
    QFETCH(QString, db);                                              \
    Fixture f(db);                                                    \
    if (!f.available())                                               \
        QSKIP(qPrintable(f.a.tdb.skipReason()));

// A 730 item: "month:code:amount".
struct Item
{
    int month, code;
    double amount;
};
using Items = QList<Item>;
using Expected = QVariantMap; // column -> amount (double) or text

QString describeChildSlots(ClientDataSet &ds)
{
    auto s = [&](const char *f) { return ds.fieldByName(QString::fromLatin1(f))->asString(); };
    auto on = [&](const char *f) { return ds.fieldByName(QString::fromLatin1(f))->asInteger() == 1; };
    QStringList parts;
    if (on("LCFC7RELPARCON"))
        parts << QStringLiteral("C:%1/%2").arg(s("SCFC7CODFISCON"), s("SCFC7MESICARCON"));
    if (!s("SCFC7CODFISPRIFIGL").isEmpty())
        parts << QStringLiteral("%1:%2/%3/%4")
                     .arg(on("LCFC7RELPARPRIFIGLDIS") ? QStringLiteral("PD") : QStringLiteral("P"),
                          s("SCFC7CODFISPRIFIGL"), s("SCFC7MESICARPRIFIGL"), s("SCFC7DETRSPETTPRIFIGL"));
    if (!s("SCFC7CODFISFIGL").isEmpty())
        parts << QStringLiteral("%1:%2/%3")
                     .arg(on("LCFC7RELPARFIGLALTRFAM") ? QStringLiteral("A")
                          : on("LCFC7RELPARFIGLDIS")   ? QStringLiteral("FD")
                                                       : QStringLiteral("F"),
                          s("SCFC7CODFISFIGL"), s("SCFC7MESICARFIGL"));
    return parts.join(u' ');
}

} // namespace

Q_DECLARE_METATYPE(Items)

class TstPayrollCompletion : public QObject
{
    Q_OBJECT

private:
    ScriptedMessageService m_messages{ModalResult::Ok};

private Q_SLOTS:
    void initTestCase()
    {
        const QString src = qEnvironmentVariable("JEX770_SOURCE_DIR");
        QVERIFY(!src.isEmpty());
        Paths::setMainDir(src + QStringLiteral("/data/"));
        TQmrQueryText::instance().CompileQueryFile(src + QStringLiteral("/sql/payroll.xml"));
        setMessageService(&m_messages);
    }
    void init() { m_messages.clear(); }
    void cleanupTestCase()
    {
        g_archives.clear();
        setMessageService(nullptr);
    }

    void position_data() { TestDatabase::addDatabaseRows(); }
    void position()
    {
        FIXTURE(f);
        QCOMPARE(f.completion().position(CF).acomId, 0);
        f.writer.position(f.ana, kYear - 1, 5, 1, 19, QDate(2023, 1, 1));
        const qint64 first = f.writer.position(f.ana, kYear, 7, 3, 19, QDate(2024, 1, 1), QDate(2024, 6, 30));
        const qint64 latest = f.writer.position(f.ana, kYear, 14, 17, 19, QDate(2024, 9, 1));
        ArchivePerson other;
        other.codFis = QStringLiteral("BNCLRA75D45G478N");
        const qint64 others = f.writer.position(f.writer.person(other), kYear, 2, 2, 19, QDate(2024, 10, 1));
        for (const bool yearOnce : {false, true}) {
            PayrollCompletion completion = f.completion();
            completion.setReadYearOnce(yearOnce);
            const PayrollPosition p = completion.position(CF);
            QCOMPARE(p.acomId, int(latest)); // the latest position of the year
            QCOMPARE(p.qarId, 14);
            QCOMPARE(p.tnoId, 17);
            QCOMPARE(completion.position(other.codFis).acomId, int(others));
            QCOMPARE(completion.position(QStringLiteral("VRDPLA80C52G478K")).acomId, 0);
        }
        QVERIFY(first != latest);
    }

    // The rows a grouped writer stores, keys included, are those of one
    // statement per row: also when a person among the rows kept is removed
    // and written again, freeing keys the database may give again.
    void groupedWrites_data() { TestDatabase::addDatabaseRows(); }
    void groupedWrites()
    {
        FIXTURE(f);
        auto script = [](PayrollArchiveWriter &w) {
            ArchivePerson a, b;
            a.codFis = QStringLiteral("bnclra75d45g478n");
            a.cognome = QStringLiteral("BIANCHI");
            a.nascita = QDate(1975, 4, 5);
            b.codFis = QStringLiteral("VRDPLA80C52G478K");
            for (int round = 0; round < 2; ++round) {
                w.removePerson(a.codFis);
                const qint64 ana = w.person(a);
                const qint64 acom = w.position(ana, kYear, 7, 1, 9, QDate(2024, 1, 1));
                for (int month = 1; month <= 3 + round; ++month)
                    w.item(acom, month, 10026, 4, 10.5 * month);
                w.arrears(ana, kYear, 2022, 0, 100, 23, 0, 23.0);
                ArchiveDeductions d;
                d.spouse = round == 1;
                const qint64 adet = w.deductions(ana, kYear, d);
                ArchiveChildPeriod c;
                c.codFis = round == 0 ? QString() : QStringLiteral("BNCGLI01E44G478Z");
                w.childPeriod(adet, c);
                w.childPeriod(adet, c);
            }
            const qint64 acom = w.position(w.person(b), kYear, 0, 10, 0);
            w.setCategory(acom, 20);
            w.registrationItem(w.registration(acom, QStringLiteral("A"), QDate(2024, 6, 28)), 1, 11, 900, 180);
        };
        const QStringList tables = {"TANA_ANAGRAFICA", "TACOM_ANAGCOMPENSI", "TVACR_VOCIMENSILI", "TSTS_STORICOTASSSEP",
                                    "TADET_DETRAZIONI", "TADEF_FIGLI", "TREGS_REGISTRAZIONI", "TREGV_VOCIREG"};
        // The table the second column of each refers to.
        const int parent[] = {-1, 0, 1, 0, 0, 4, 1, 6};
        // Every row, its key and its reference counted from the key the
        // table's next row gets when the script starts.
        auto stored = [&](const QList<qint64> &start) {
            QStringList rows;
            for (int t = 0; t < tables.size(); ++t) {
                QSqlQuery q = f.a.conn.exec(QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(tables[t]));
                while (q.next()) {
                    QStringList values{tables[t], QString::number(q.value(0).toLongLong() - start[t])};
                    for (int c = 1; c < q.record().count(); ++c)
                        values << (c == 1 && parent[t] >= 0
                                       ? QString::number(q.value(c).toLongLong() - start[parent[t]])
                                       : q.value(c).toString());
                    rows << values.join(u'|');
                }
            }
            return rows;
        };
        auto nextKeys = [&] {
            QList<qint64> keys;
            for (const QString &t : tables) {
                QSqlQuery q = f.a.conn.exec(QStringLiteral("SELECT * FROM %1 WHERE 1 = 0").arg(t));
                const QString column = q.record().fieldName(0);
                if (f.a.conn.dialect() == Dialect::PostgreSQL) {
                    const QString seq = f.a.conn.scalar(QStringLiteral("SELECT pg_get_serial_sequence(:T, :C)"),
                                                        {{QStringLiteral("T"), t.toLower()},
                                                         {QStringLiteral("C"), column.toLower()}})
                                            .toString();
                    QSqlQuery s = f.a.conn.exec(QStringLiteral("SELECT last_value, is_called FROM %1").arg(seq));
                    s.next();
                    keys << s.value(0).toLongLong() + (s.value(1).toBool() ? 1 : 0);
                } else {
                    keys << f.a.conn.scalar(QStringLiteral("SELECT COALESCE(MAX(%1), 0) + 1 FROM %2").arg(column, t))
                                .toLongLong();
                }
            }
            return keys;
        };
        f.a.clear();
        QList<qint64> start = nextKeys();
        {
            PayrollArchiveWriter single(f.a.conn);
            script(single);
        }
        const QStringList expected = stored(start);
        f.a.clear();
        start = nextKeys();
        PayrollArchiveWriter grouped(f.a.conn);
        grouped.setGrouped(true);
        script(grouped);
        grouped.flush();
        QCOMPARE(stored(start), expected);
        QCOMPARE(expected.size(), 14);
    }

    void fiscalAssistance_data()
    {
        QTest::addColumn<QString>("db");
        QTest::addColumn<Items>("items");
        QTest::addColumn<Expected>("expected");
        forEachDatabase([](const QString &db) {
            auto row = [&](const char *name) { return &QTest::newRow(qPrintable(db + QStringLiteral(": ") + QLatin1String(name))); };
            *row("IRPEF of declarant and spouse") << db << Items{{7, 10026, 120.00}, {7, 10039, 30.00}}
                << Expected{{"SMESCODICEIRPEF", "7"}, {"FASS7IMPTRATTIRPEF", 120.00},
                            {"FASS7IMPTRATIRPEFCON", 30.00}, {"FASS7IMPEFFTRATTIRPEF", 150.00},
                            {"SMESCODICESR", ""}};
            *row("instalments of two positions summed") << db
                << Items{{7, 10026, 64.35}, {8, 10026, 64.35}, {9, 10026, 64.35}, {10, 10026, 64.35}, {11, 10026, 64.35}}
                << Expected{{"SMESCODICEIRPEF", "7"}, {"FASS7IMPTRATTIRPEF", 321.75}, {"FASS7IMPEFFTRATTIRPEF", 321.75}};
            *row("surtaxes with region and municipality") << db
                << Items{{7, 10028, 45.60}, {7, 10041, 10.00}, {7, 10030, 18.20}, {8, 10036, 21.00}}
                << Expected{{"FASS7IMPATRATTARD", 45.60}, {"FASS7IMPATRATTARC", 10.00},
                            {"FASS7IMPEFFTRATAREGDIC", 55.60}, {"SREGCODICEARD", "09"}, {"SREGCODICEARC", "09"},
                            {"SCOMCODICEACD", "G478"}, {"SCOMCODICEACC", ""}, {"SCOMCODICEAACD", "G478"},
                            {"FASS7IMPEFTRATSADCOMDIC", 18.20}, {"FASS7IMPEFTRATAADCOMDIC", 21.00}};
            *row("balance of the regional surtax only") << db << Items{{11, 10033, 80.00}, {12, 10046, 15.00}}
                << Expected{{"SMESCODICEIRPEF", ""}, {"SMESCODICESR", "11"}, {"FASS7IMPATRATTSR", 80.00},
                            {"FASS7IMPTRATSRACDIC", 15.00}, {"FASS7IMPEFTRATSRADIC", 95.00}};
            *row("refund cancelled out fills nothing") << db << Items{{7, 10027, 100.00}, {8, 10027, -100.00}}
                << Expected{{"SMESCODICEIRPEF", "7"}, {"FASS7IMPORIMBIRPEF", 0.0}};
            *row("no items") << db << Items{} << Expected{{"SMESCODICEIRPEF", ""}, {"FASS7IMPTRATTIRPEF", 0.0}};
        });
    }
    void fiscalAssistance()
    {
        FIXTURE(f);
        QFETCH(Items, items);
        QFETCH(Expected, expected);
        // The second position of the year: the items of both count.
        const qint64 june = f.writer.position(f.ana, kYear, 7, 1, 9, QDate(2024, 1, 1), QDate(2024, 6, 30));
        const qint64 sept = f.writer.position(f.ana, kYear, 7, 1, 9, QDate(2024, 9, 1));
        for (const Item &i : items)
            f.writer.item(i.month < 9 ? june : sept, i.month, i.code, 4, i.amount);
        f.writer.item(sept, 7, 10026, 5, 999.00); // another group: not assistance
        // Neither last year's items nor another person's count, also when
        // the whole year is read at once.
        f.writer.item(f.writer.position(f.ana, kYear - 1, 7, 1, 9), 7, 10026, 4, 777.00);
        ArchivePerson other;
        other.codFis = QStringLiteral("BNCLRA75D45G478N");
        f.writer.item(f.writer.position(f.writer.person(other), kYear, 7, 1, 12), 7, 10028, 4, 555.00);
        f.employee([](ClientDataSet &) {});

        for (const bool yearOnce : {false, true}) {
            ClientDataSet dip;
            f.store.openCds(DIP, dip);
            dip.first();
            PayrollCompletion completion = f.completion();
            completion.setReadYearOnce(yearOnce);
            completion.importFiscalAssistance(dip, CF, QStringLiteral("ROSSI"), QStringLiteral("MARIA"));
            QCOMPARE(dip.state(), DataSetState::Browse);
            for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
                const Field *field = dip.fieldByName(it.key());
                if (it.value().typeId() == QMetaType::QString)
                    QCOMPARE(field->asString(), it.value().toString());
                else
                    QCOMPARE(field->asMoney(), m(it.value().toDouble()));
            }
        }
        QVERIFY(m_messages.shown().isEmpty());
    }

    void fiscalAssistanceKeepsWhatIsThere_data() { TestDatabase::addDatabaseRows(); }
    void fiscalAssistanceKeepsWhatIsThere()
    {
        FIXTURE(f);
        const qint64 acom = f.writer.position(f.ana, kYear, 7, 1, 9);
        f.writer.item(acom, 7, 10026, 4, 120.00);
        f.employee([](ClientDataSet &ds) { ds.fieldByName(QStringLiteral("SMESCODICEIRPEF"))->setAsString("6"); });
        ClientDataSet dip;
        f.store.openCds(DIP, dip);
        dip.first();
        f.completion().importFiscalAssistance(dip, CF, QStringLiteral("ROSSI"), QStringLiteral("MARIA"));
        QCOMPARE(dip.fieldByName(QStringLiteral("FASS7IMPTRATTIRPEF"))->asMoney(), 0);
        QCOMPARE(dip.changeCount(), 0);
    }

    void fiscalAssistanceFailureIsShown_data() { TestDatabase::addDatabaseRows(); }
    void fiscalAssistanceFailureIsShown()
    {
        FIXTURE(f);
        const qint64 acom = f.writer.position(f.ana, kYear, 7, 1, 9);
        f.writer.item(acom, 7, 10026, 4, 120.00);
        f.employee([](ClientDataSet &) {});
        ClientDataSet dip;
        f.store.openCds(DIP, dip);
        dip.first();
        f.a.conn.exec(QStringLiteral("ALTER TABLE TVACR_VOCIMENSILI RENAME TO TVACR_ALTRO"));
        f.completion().importFiscalAssistance(dip, CF, QStringLiteral("ROSSI"), QStringLiteral("MARIA"));
        f.a.conn.exec(QStringLiteral("ALTER TABLE TVACR_ALTRO RENAME TO TVACR_VOCIMENSILI"));
        QCOMPARE(m_messages.shown().size(), 1);
        const QString text = m_messages.shown().first().text;
        QVERIFY2(text.startsWith(QStringLiteral("Impossibile importare i dati dell'Assistenza 2024: ROSSI MARIA\r\n\r\n")),
                 qPrintable(text));
        QVERIFY2(text.endsWith(QStringLiteral("Ultima operazione DB: QRY_JEX_730")), qPrintable(text));
        QCOMPARE(dip.state(), DataSetState::Browse);
        QCOMPARE(dip.changeCount(), 0);
    }

    void additionalTaxes_data() { TestDatabase::addDatabaseRows(); }
    void additionalTaxes()
    {
        FIXTURE(f);
        f.employee([](ClientDataSet &ds) {
            ds.fieldByName(QStringLiteral("FFIS7ADDREGIRPEF"))->setAsMoney(m(300.10));
            ds.fieldByName(QStringLiteral("FFIS7ADDCOMSA"))->setAsMoney(m(200.00));
            ds.fieldByName(QStringLiteral("FFIS7ADDCOMACC"))->setAsMoney(m(60.40));
        });
        f.completion().additionalTaxes({CF, QStringLiteral("NONPRESENTE00000")});
        auto dip = f.section(DIP);
        dip->first();
        QCOMPARE(dip->fieldByName(QStringLiteral("FFIS7ADDREGRPCESS"))->asMoney(), m(300.10));
        QCOMPARE(dip->fieldByName(QStringLiteral("FFIS7ADDCOMRPCESS"))->asMoney(), m(139.60));
        QCOMPARE(f.phases, QStringList{QStringLiteral("Importi addizionali IRPEF trattenuti ...")});
    }

    void deductions_data()
    {
        QTest::addColumn<QString>("db");
        QTest::addColumn<QList<double>>("before"); // family, employment, charges, rent, total, gross tax
        QTest::addColumn<QList<double>>("after");  // the four deductions
        QTest::addColumn<bool>("reported");
        forEachDatabase([](const QString &db) {
            auto row = [&](const char *name) { return &QTest::newRow(qPrintable(db + QStringLiteral(": ") + QLatin1String(name))); };
            *row("capped to the total") << db << QList<double>{500, 800, 100, 0, 1000, 2000}
                                        << QList<double>{500, 500, 0, 0} << true;
            *row("zero columns skipped") << db << QList<double>{0, 1200, 0, 300, 1000, 2000}
                                         << QList<double>{0, 1000, 0, 0} << true;
            *row("within the total") << db << QList<double>{300, 600, 100, 0, 1000, 2000}
                                     << QList<double>{300, 600, 100, 0} << false;
            *row("gross tax not above the total") << db << QList<double>{500, 800, 100, 0, 1000, 1000}
                                                  << QList<double>{500, 800, 100, 0} << false;
        });
    }
    void deductions()
    {
        FIXTURE(f);
        QFETCH(QList<double>, before);
        QFETCH(QList<double>, after);
        QFETCH(bool, reported);
        const QStringList columns{QStringLiteral("FFIS7DEDUZFAM"), QStringLiteral("FFIS7DETLAVDIPPEN"),
                                  QStringLiteral("FFIS7DETRONERI"), QStringLiteral("FFIS7DETCANLOC")};
        f.employee([&](ClientDataSet &ds) {
            for (int i = 0; i < 4; ++i)
                ds.fieldByName(columns[i])->setAsMoney(m(before[i]));
            ds.fieldByName(QStringLiteral("FFIS7TOTDETR"))->setAsMoney(m(before[4]));
            ds.fieldByName(QStringLiteral("FFIS7IMPOLORDA"))->setAsMoney(m(before[5]));
        });
        f.completion().checkDeductions({CF});
        auto dip = f.section(DIP);
        dip->first();
        for (int i = 0; i < 4; ++i)
            QCOMPARE(dip->fieldByName(columns[i])->asMoney(), m(after[i]));
        const QStringList lines = reported ? QStringList{QString(), QStringLiteral("Dipendente ROSSI MARIA"),
                                                         QStringLiteral("-  Detrazioni ricalcolate")}
                                           : QStringList{};
        QCOMPARE(f.report.lines(), lines);
    }

    void separateTaxation_data()
    {
        QTest::addColumn<QString>("db");
        QTest::addColumn<QStringList>("history");  // "anno:annoP:imponibile:ritenuta:imponibileAp:aliquota"
        QTest::addColumn<QList<double>>("record"); // total detr, per-year detr, total nodet, per-year nodet, total tax, tax
        QTest::addColumn<QStringList>("expected"); // "period:per-year column:tax" per record
        QTest::addColumn<QString>("message");
        forEachDatabase([](const QString &db) {
            auto row = [&](const char *name) { return &QTest::newRow(qPrintable(db + QStringLiteral(": ") + QLatin1String(name))); };
            const QList<double> declared{1000, 1000, 0, 0, 230, 230};
            *row("2022 and 2023 split") << db << QStringList{"2022:0:600:138", "2023:0:400:92"} << declared
                                        << QStringList{"2022:600:138", "2023:400:92"} << QString();
            *row("part of an earlier year") << db << QStringList{"2023:2022:1000:230:400:23"} << declared
                                            << QStringList{"2022:400:92", "2023:600:138"} << QString();
            *row("one year") << db << QStringList{"2022:0:1000:230"} << declared << QStringList{"2022:1000:230"}
                             << QString();
            *row("amounts without deduction") << db << QStringList{"2021:0:300:69", "2023:0:200:46"}
                                              << QList<double>{0, 0, 800, 800, 184, 184}
                                              << QStringList{"2021:300:69", "2023:500:115"} << QString();
            *row("no history") << db << QStringList{} << declared << QStringList{":1000:230"}
                               << QStringLiteral("Integrazione non effettuata. Nessun dato in storico.");
            *row("negative history") << db << QStringList{"2022:0:-500:-115", "2023:0:100:23"} << declared
                                     << QStringList{":1000:230"}
                                     << QStringLiteral("Integrazione non effettuata. Totale imponibile/ritenute in "
                                                       "storico negativo.");
            *row("history above the certification") << db << QStringList{"2022:0:600:138", "2023:0:600:138"}
                                                    << declared << QStringList{":1000:230"}
                                                    << QStringLiteral("Integrazione non effettuata. Totale "
                                                                      "imponibile/ritenute in storico superiore a "
                                                                      "quanto dichiarato.");
            *row("last year would go negative") << db << QStringList{"2022:0:600:138", "2023:0:400:92"}
                                                << QList<double>{1000, 300, 0, 0, 230, 230}
                                                << QStringList{":300:230"}
                                                << QStringLiteral("Errore in integrazione. Imponibile/ritenute nel "
                                                                  "2023 negativi.");
        });
    }
    void separateTaxation()
    {
        FIXTURE(f);
        QFETCH(QStringList, history);
        QFETCH(QList<double>, record);
        QFETCH(QStringList, expected);
        QFETCH(QString, message);
        for (const QString &h : history) {
            const QStringList p = h.split(u':');
            f.writer.arrears(f.ana, kYear, p[0].toInt(), p[1].toInt(), p[2].toDouble(), p[3].toDouble(),
                             p.size() > 4 ? p[4].toDouble() : 0, p.size() > 5 ? p[5].toDouble() : 0);
        }
        // Rows the statement must leave out: another year, another code, a year too late.
        f.writer.arrears(f.ana, kYear - 1, 2021, 0, 5000, 1150);
        f.writer.arrears(f.ana, kYear, 2021, 0, 5000, 1150, 0, 0, 13);
        f.writer.arrears(f.ana, kYear, 2024, 0, 5000, 1150);
        f.employee([](ClientDataSet &) {});
        f.store.put(TAS, 0, [&](ClientDataSet &ds) {
            ds.fieldByName(QStringLiteral("IAFIID"))->setValue(7);
            ds.fieldByName(QStringLiteral("SDIP7CODFIS"))->setAsString(CF);
            const char *cols[] = {"FTAS7TCOMPARRDETR", "FTAS7COMPARRDETR", "FTAS7TCOMPARRNODET",
                                  "FTAS7COMPARRNODETR", "FTAS7TOTRITOPER", "FTAS7RITOPERATE"};
            for (int i = 0; i < 6; ++i)
                ds.fieldByName(QString::fromLatin1(cols[i]))->setAsMoney(m(record[i]));
        });

        f.completion().splitSeparateTaxation({CF});

        auto tas = f.section(TAS);
        const bool detr = record[0] > 0;
        QStringList got;
        for (tas->first(); !tas->eof(); tas->next()) {
            QCOMPARE(tas->fieldByName(QStringLiteral("SDIP7CODFIS"))->asString(), CF);
            QCOMPARE(tas->fieldByName(QStringLiteral("IAFIID"))->asInteger(), 7);
            // Every record keeps the certification's totals.
            QCOMPARE(tas->fieldByName(detr ? QStringLiteral("FTAS7TCOMPARRDETR") : QStringLiteral("FTAS7TCOMPARRNODET"))
                         ->asMoney(),
                     m(detr ? record[0] : record[2]));
            QCOMPARE(tas->fieldByName(QStringLiteral("FTAS7TOTRITOPER"))->asMoney(), m(record[4]));
            const double perYear = tas->fieldByName(detr ? QStringLiteral("FTAS7COMPARRDETR")
                                                         : QStringLiteral("FTAS7COMPARRNODETR"))->asFloat();
            got << QStringLiteral("%1:%2:%3").arg(tas->fieldByName(QStringLiteral("STAS7PERIODOIMP"))->asString())
                       .arg(perYear).arg(tas->fieldByName(QStringLiteral("FTAS7RITOPERATE"))->asFloat());
        }
        got.sort();
        QCOMPARE(got, expected);
        if (message.isEmpty()) {
            QCOMPARE(f.report.lines(), QStringList{});
        } else {
            QCOMPARE(f.report.lines(), (QStringList{QString(), QStringLiteral("**** SCORPORO DATI TASSAZIONE SEPARATA ****"),
                                                    QString(), QStringLiteral("Dipendente ROSSI MARIA"),
                                                    QStringLiteral("-  ") + message}));
        }
        QCOMPARE(f.phases, QStringList{QStringLiteral("Scorporo dati tassazione separata ...")});
    }

    void separateTaxationOverSeveralYears_data() { TestDatabase::addDatabaseRows(); }
    void separateTaxationOverSeveralYears()
    {
        FIXTURE(f);
        f.writer.arrears(f.ana, kYear, 2022, 0, 600, 138);
        f.employee([](ClientDataSet &) {});
        ClientDataSet &tas = f.store.table(TAS);
        for (const char *year : {"2021", "2022"}) {
            tas.append();
            tas.fieldByName(QStringLiteral("SDIP7CODFIS"))->setAsString(CF);
            tas.fieldByName(QStringLiteral("STAS7PERIODOIMP"))->setAsString(QString::fromLatin1(year));
            tas.fieldByName(QStringLiteral("FTAS7TCOMPARRDETR"))->setAsMoney(m(600));
            tas.post();
        }
        tas.mergeChangeLog();
        f.completion().splitSeparateTaxation({CF});
        QCOMPARE(f.messages(), QStringList{QStringLiteral("Integrazione non effettuata. Presenti dati su più anni.")});
        QCOMPARE(f.store.saves(TAS), 0);
    }

    void dependants_data()
    {
        QTest::addColumn<QString>("db");
        QTest::addColumn<bool>("spouse");
        QTest::addColumn<QString>("spouseCf");
        QTest::addColumn<int>("children");
        QTest::addColumn<QStringList>("periods"); // "ordine:cf:from:to:under3:perc:handicap"
        QTest::addColumn<QStringList>("others");  // number, then the codes
        QTest::addColumn<QStringList>("records");
        QTest::addColumn<QStringList>("messages");
        const QString c1 = QStringLiteral("VRDLCU05A01G478K"), c2 = QStringLiteral("VRDGLI08B41G478L"),
                      c3 = QStringLiteral("VRDPLA22C41G478M"), sp = QStringLiteral("BNCLRA75D45G478N"),
                      o1 = QStringLiteral("RSSNNA40E55G478P");
        forEachDatabase([&](const QString &db) {
            auto row = [&](const char *name) { return &QTest::newRow(qPrintable(db + QStringLiteral(": ") + QLatin1String(name))); };
            *row("spouse and a child of two periods") << db << true << sp << 1
                << QStringList{"1:" + c1 + ":1:8:0:100:0", "1:" + c1 + ":7:12:0:100:0"} << QStringList{}
                << QStringList{"C:" + sp + "/12 P:" + c1 + "/12/100"} << QStringList{};
            *row("three children and another dependant") << db << false << QString() << 3
                << QStringList{"1:" + c1 + ":1:12:0:50:0", "2:" + c2 + ":1:12:0:50:1", "3:" + c3 + ":3:12:10:100:0"}
                << QStringList{"1", o1}
                << QStringList{"P:" + c1 + "/12/50 FD:" + c2 + "/12", "F:" + c3 + "/10", "A:" + o1 + "/12"}
                << QStringList{};
            *row("codici fiscali missing") << db << true << QString() << 2
                << QStringList{"1::1:12:0:100:0", "2:" + c2 + ":1:12:0:100:0"} << QStringList{}
                << QStringList{"C:/12 F:" + c2 + "/12"}
                << QStringList{"Codice fiscale coniuge mancante", "Figlio nr 1: codice fiscale non impostato."};
            *row("children without periods") << db << false << QString() << 2 << QStringList{} << QStringList{}
                << QStringList{}
                << QStringList{"Dati relativi ai figli a carico non importati. \r\nNon inseriti nel CUD o sezione "
                               "casi particolari delle detrazioni non impostate nei dati retributivi."};
            *row("child with no month") << db << false << QString() << 1 << QStringList{"1:" + c1 + ":5:4:0:100:0"}
                << QStringList{} << QStringList{}
                << QStringList{"Figlio (codice fiscale " + c1 + "): nessun mese a carico."};
            *row("fewer others than declared") << db << false << QString() << 0 << QStringList{} << QStringList{"2", o1}
                << QStringList{"A:" + o1 + "/12"}
                << QStringList{"Dati degli altri familiari a carico non importati correttamente"};
        });
    }
    void dependants()
    {
        FIXTURE(f);
        QFETCH(bool, spouse);
        QFETCH(QString, spouseCf);
        QFETCH(int, children);
        QFETCH(QStringList, periods);
        QFETCH(QStringList, others);
        QFETCH(QStringList, records);
        QFETCH(QStringList, messages);
        ArchiveDeductions d;
        d.spouse = spouse;
        d.spouseCodFis = spouseCf;
        d.children = children;
        if (!others.isEmpty()) {
            d.others = others[0].toInt();
            d.otherCodFis1 = others.value(1);
            d.otherCodFis2 = others.value(2);
            d.othersPercent = 50;
        }
        const qint64 adet = f.writer.deductions(f.ana, kYear, d);
        for (const QString &p : periods) {
            const QStringList v = p.split(u':');
            ArchiveChildPeriod c;
            c.ordine = v[0].toInt();
            c.codFis = v[1];
            c.fromMonth = v[2].toInt();
            c.toMonth = v[3].toInt();
            c.monthsUnder3 = v[4].toInt();
            c.percent = v[5].toDouble();
            c.handicap = v[6] == QLatin1String("1");
            f.writer.childPeriod(adet, c);
        }
        // The year before has settings of its own, which do not count.
        ArchiveDeductions old;
        old.spouse = true;
        old.spouseCodFis = QStringLiteral("XXXXXX00X00X000X");
        f.writer.deductions(f.ana, kYear - 1, old);
        f.employee([](ClientDataSet &ds) { ds.fieldByName(QStringLiteral("FFIS7DEDUZFAM"))->setAsMoney(m(800)); });

        f.completion().importDependants({CF});

        auto fam = f.section(CFC);
        QStringList got;
        for (fam->first(); !fam->eof(); fam->next()) {
            QCOMPARE(fam->fieldByName(QStringLiteral("SDIP7CODFIS"))->asString(), CF);
            QCOMPARE(fam->fieldByName(QStringLiteral("IAFIID"))->asInteger(), 7);
            got << describeChildSlots(*fam);
        }
        QCOMPARE(got, records);
        QCOMPARE(f.messages(), messages);
        if (!messages.isEmpty())
            QCOMPARE(f.report.lines().mid(0, 4),
                     (QStringList{QString(), QStringLiteral("**** IMPORTAZIONE DATI FAMILIARI A CARICO PER DETRAZIONI ****"),
                                  QString(), QStringLiteral("Dipendente ROSSI MARIA")}));
        if (spouse) {
            fam->first();
            QCOMPARE(fam->fieldByName(QStringLiteral("SCFC7DTANNOCONIUGE"))->asString(), QStringLiteral("2024"));
        }
    }

    void dependantsFromTheCertificationWin_data() { TestDatabase::addDatabaseRows(); }
    void dependantsFromTheCertificationWin()
    {
        FIXTURE(f);
        f.spouseInPayroll();
        f.employee([](ClientDataSet &ds) { ds.fieldByName(QStringLiteral("FFIS7DEDUZFAM"))->setAsMoney(m(800)); });
        f.store.put(CFC, 0, [](ClientDataSet &ds) {
            ds.fieldByName(QStringLiteral("SDIP7CODFIS"))->setAsString(CF);
            ds.fieldByName(QStringLiteral("LCFC7RELPARPRIFIGL"))->setAsInteger(1);
            ds.fieldByName(QStringLiteral("SCFC7CODFISPRIFIGL"))->setAsString(QStringLiteral("RSSLCU05A01G478K"));
        });
        f.completion().importDependants({CF});
        auto fam = f.section(CFC);
        QCOMPARE(fam->recordCount(), 1);
        fam->first();
        QCOMPARE(describeChildSlots(*fam), QStringLiteral("P:RSSLCU05A01G478K//"));
        QCOMPARE(f.store.saves(CFC), 0);
        QVERIFY(f.report.isEmpty());
    }

    void dependantsNeedTheRegistryLink_data() { TestDatabase::addDatabaseRows(); }
    void dependantsNeedTheRegistryLink()
    {
        FIXTURE(f);
        f.spouseInPayroll();
        f.employee([](ClientDataSet &ds) {
            ds.fieldByName(QStringLiteral("IAFIID"))->clear();
            ds.fieldByName(QStringLiteral("FFIS7DEDUZFAM"))->setAsMoney(m(800));
        });
        f.completion().importDependants({CF});
        QCOMPARE(f.section(CFC)->recordCount(), 0);
        const QStringList msgs = f.messages();
        QCOMPARE(msgs.size(), 1);
        QVERIFY2(msgs[0].startsWith(QStringLiteral("Impossibile importare i dati dei familiari a carico.\r\n"
                                                   "Errore non previsto:\r\n")),
                 qPrintable(msgs[0]));
    }

    // The demo school's archive: what each step needs is there for people of
    // its certifications, and seeding twice replaces rather than adds.
    void demoArchive_data() { TestDatabase::addDatabaseRows(); }
    void demoArchive()
    {
        FIXTURE(f);
        demo::DemoSchool school;
        demo::generate(school, 40, demo::catalogueFactory());
        demo::seedPayrollArchiveDemo(f.a.conn, school);
        demo::seedPayrollArchiveDemo(f.a.conn, school);
        auto count = [&](const QString &sql) { return f.a.conn.scalar(sql).toInt(); };
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM TANA_ANAGRAFICA")), 1 + 42); // the fixture's person too
        // 730 items of declarant and spouse, and the surtax balance rows.
        QVERIFY(count(QStringLiteral("SELECT COUNT(DISTINCT IACOMID) FROM TVACR_VOCIMENSILI WHERE ICOMRID IN (10026, 10039) "
                                     "GROUP BY ICOMRGRUPPO")) > 0);
        QVERIFY(count(QStringLiteral("SELECT COUNT(*) FROM TVACR_VOCIMENSILI WHERE ICOMRID IN (10033, 10046)")) > 0);
        // Arrears of 2022 and 2023 for one person.
        QVERIFY(count(QStringLiteral("SELECT COUNT(*) FROM (SELECT IANAID FROM TSTS_STORICOTASSSEP GROUP BY IANAID "
                                     "HAVING MIN(ANNO) = 2022 AND MAX(ANNO) = 2023) x")) > 0);
        // A child with two periods.
        QVERIFY(count(QStringLiteral("SELECT COUNT(*) FROM (SELECT IADETID FROM TADEF_FIGLI GROUP BY IADETID, SADEFCODFISC "
                                     "HAVING COUNT(*) = 2) x")) > 0);
        // Everyone in the archive is a person of the certifications.
        ClientDataSet &cud = school.table(QStringLiteral("TCUD_DATICUD"));
        for (cud.first(); !cud.eof(); cud.next())
            QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM TANA_ANAGRAFICA WHERE SANACODFISCALE = '%1'")
                               .arg(cud.fieldByName(QStringLiteral("SCUDCODFIS"))->asString())),
                     1);

        // The steps read it: the split of the person with two years.
        const QString twoYears = f.a.conn.scalar(QStringLiteral(
            "SELECT MIN(n.SANACODFISCALE) FROM TANA_ANAGRAFICA n INNER JOIN TSTS_STORICOTASSSEP s ON s.IANAID = n.IANAID "
            "WHERE s.ANNO = 2023")).toString();
        QVERIFY(!twoYears.isEmpty());
    }
};

JEX_TEST_MAIN(TstPayrollCompletion)
#include "tst_payrollcompletion.moc"
