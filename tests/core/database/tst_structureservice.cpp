// The dataset-structure service on both databases: values, record numbers,
// registry links, structure versions, failed saves; the catalogue seed; the
// load/show commands' core and the export.

#include "database/structureservice.h"
#include "base/errors.h"
#include "base/messages.h"
#include "sections/transfer.h"
#include "catalogue/catalogue.h"
#include "testdb.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include "coretest.h"

#include <QSet>
#include <QtTest>

using namespace jex;

namespace {

const QString kProg = QStringLiteral("tst");

QVector<FieldDef> personFields()
{
    return {{QStringLiteral("iFisRigo"), FieldType::Integer},
            {QStringLiteral("iAfiID"), FieldType::Integer},
            {QStringLiteral("SCODFIS"), FieldType::String, 16},
            {QStringLiteral("SGRUPPO"), FieldType::String, 1},
            {QStringLiteral("SCOGNOME"), FieldType::String, 35},
            {QStringLiteral("SNOME"), FieldType::String, 25},
            {QStringLiteral("IVAL"), FieldType::Integer},
            {QStringLiteral("FIMP"), FieldType::Currency, 0, 2},
            {QStringLiteral("DDATA"), FieldType::Date},
            {QStringLiteral("SNOTE"), FieldType::String, 100}};
}

void addStructure(TQxSQLConnection &c, qint64 id, const QString &name, int anno, const QVector<FieldDef> &fields,
                  const QString &fieldMap = {}, bool anagrafica = false)
{
    ClientDataSet schema;
    schema.setFieldDefs(fields);
    schema.createDataSet();
    c.exec(QStringLiteral("INSERT INTO tcds_struttura (icdsid, scdsprogramma, scdsnome, icdsanno, icdsmese, bcdsschema, "
                          "lcdsanagrafica, lcdsfmapreadonly, icdsrigo, scdsfieldmap) "
                          "VALUES (:ID, :P, :N, :A, 0, :S, :L, 0, 0, :M)"),
           {{QStringLiteral("ID"), id}, {QStringLiteral("P"), kProg}, {QStringLiteral("N"), name},
            {QStringLiteral("A"), anno}, {QStringLiteral("S"), schema.saveToBytes()},
            {QStringLiteral("L"), anagrafica ? 1 : 0},
            {QStringLiteral("M"), fieldMap.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(fieldMap)}});
}

const QString kPersonMap = QStringLiteral("saficodfiscale=SCODFIS;safigruppoana=SGRUPPO;saficognome=SCOGNOME;safinome=SNOME");

qint64 count(TQxSQLConnection &c, const QString &sql, const QVariantMap &p = {})
{
    return c.scalar(sql, p).toLongLong();
}

void appendPerson(ClientDataSet &ds, const QString &cf, const QString &gruppo, const QString &note = {})
{
    ds.append();
    ds.fieldByName(QStringLiteral("SCODFIS"))->setValue(cf);
    ds.fieldByName(QStringLiteral("SGRUPPO"))->setValue(gruppo);
    ds.fieldByName(QStringLiteral("SCOGNOME"))->setValue(QStringLiteral("ROSSI"));
    if (!note.isEmpty())
        ds.fieldByName(QStringLiteral("SNOTE"))->setValue(note);
    ds.post();
}

void addBoomTrigger(TQxSQLConnection &c)
{
    if (c.dialect() == Dialect::SQLite) {
        c.exec(QStringLiteral("CREATE TRIGGER tst_boom BEFORE INSERT ON tfis_datifiscali WHEN NEW.sfisvalue = 'BOOM' "
                              "BEGIN SELECT RAISE(ABORT, 'valore rifiutato dal trigger'); END"));
    } else {
        c.exec(QStringLiteral("CREATE FUNCTION tst_boom() RETURNS trigger AS $$ BEGIN IF NEW.sfisvalue = 'BOOM' THEN "
                              "RAISE EXCEPTION 'valore rifiutato dal trigger'; END IF; RETURN NEW; END $$ LANGUAGE plpgsql"));
        c.exec(QStringLiteral("CREATE TRIGGER tst_boom BEFORE INSERT ON tfis_datifiscali FOR EACH ROW EXECUTE FUNCTION tst_boom()"));
    }
}

// The rows of the table that meet the condition are refused.
void addRefusal(TQxSQLConnection &c, const QString &event, const QString &table, const QString &condition)
{
    if (c.dialect() == Dialect::SQLite) {
        c.exec(QStringLiteral("CREATE TRIGGER tst_refuse BEFORE %1 ON %2 WHEN %3 "
                              "BEGIN SELECT RAISE(ABORT, 'rifiutato dal trigger'); END").arg(event, table, condition));
    } else {
        c.exec(QStringLiteral("CREATE FUNCTION tst_refuse() RETURNS trigger AS $$ BEGIN "
                              "IF %1 THEN RAISE EXCEPTION 'rifiutato dal trigger'; END IF; "
                              "IF TG_OP = 'DELETE' THEN RETURN OLD; END IF; RETURN NEW; END $$ LANGUAGE plpgsql")
                   .arg(condition));
        c.exec(QStringLiteral("CREATE TRIGGER tst_refuse BEFORE %1 ON %2 FOR EACH ROW EXECUTE FUNCTION tst_refuse()")
                   .arg(event, table));
    }
}

void dropRefusal(TQxSQLConnection &c, const QString &table)
{
    if (c.dialect() == Dialect::SQLite) {
        c.exec(QStringLiteral("DROP TRIGGER tst_refuse"));
    } else {
        c.exec(QStringLiteral("DROP TRIGGER tst_refuse ON %1").arg(table));
        c.exec(QStringLiteral("DROP FUNCTION tst_refuse()"));
    }
}

} // namespace

#define OPEN_SERVICE()                                                    \
    JEX_TEST_DATABASE(tdb);                                               \
    TQxSQLConnection conn(QStringLiteral("tst_dbcds"));                   \
    conn.open(DatabaseUrl::parse(tdb.url()));                             \
    TQmrDBCds svc(2024, kProg, 0);                                        \
    svc.SetConnection(&conn);                                             \
    svc.SetShowWait(false)

class TstDbCds : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void zeroAndEmptyReadBackNull_data();
    void zeroAndEmptyReadBackNull();
    void emptySectionOpensWithFields_data() { TestDatabase::addDatabaseRows(); }
    void emptySectionOpensWithFields();
    void recordNumbers_data() { TestDatabase::addDatabaseRows(); }
    void recordNumbers();
    void modificationRewritesValues_data() { TestDatabase::addDatabaseRows(); }
    void modificationRewritesValues();
    void deletionOfRegistryRecord_data() { TestDatabase::addDatabaseRows(); }
    void deletionOfRegistryRecord();
    void registrySharing_data();
    void registrySharing();
    void registryEntryOnlyWithData_data();
    void registryEntryOnlyWithData();
    void recordOfRegistryDataOnly_data();
    void recordOfRegistryDataOnly();
    void keptStructureFollowsChanges_data();
    void keptStructureFollowsChanges();
    void filteredOpenAndHandlers_data() { TestDatabase::addDatabaseRows(); }
    void filteredOpenAndHandlers();
    void versionByYear_data();
    void versionByYear();
    void failedSaveRollsBack_data() { TestDatabase::addDatabaseRows(); }
    void failedSaveRollsBack();
    void failedLargeSaveLeavesNothing_data() { TestDatabase::addDatabaseRows(); }
    void failedLargeSaveLeavesNothing();
    void failedWriteInCallerTransaction_data();
    void failedWriteInCallerTransaction();
    void callerTransaction_data() { TestDatabase::addDatabaseRows(); }
    void callerTransaction();
    void unknownSection_data() { TestDatabase::addDatabaseRows(); }
    void unknownSection();
    void catalogueSeed_data() { TestDatabase::addDatabaseRows(); }
    void catalogueSeed();
    void loadShowRoundTrip_data() { TestDatabase::addDatabaseRows(); }
    void loadShowRoundTrip();
    void loadLinksSectionRowsToPerson_data() { TestDatabase::addDatabaseRows(); }
    void loadLinksSectionRowsToPerson();
    void loadRefused_data();
    void loadRefused();
    void exportWritesEveryStructure_data() { TestDatabase::addDatabaseRows(); }
    void exportWritesEveryStructure();
};

void TstDbCds::zeroAndEmptyReadBackNull_data()
{
    QTest::addColumn<QString>("db");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QVariant>("expected"); // invalid = null
    struct Case { const char *name; const char *field; QVariant value; QVariant expected; };
    const QList<Case> cases{
        {"zero integer", "IVAL", QVariant(qint64(0)), QVariant()},
        {"zero amount", "FIMP", QVariant(0.0), QVariant()},
        {"empty text", "SNOTE", QVariant(QString()), QVariant()},
        {"zero date", "DDATA", QVariant(QDate(1899, 12, 30)), QVariant()},
        {"integer", "IVAL", QVariant(qint64(-42)), QVariant(qint64(-42))},
        {"amount", "FIMP", QVariant(1234.56), QVariant(1234.56)},
        {"date", "DDATA", QVariant(QDate(2024, 2, 29)), QVariant(QDate(2024, 2, 29))},
        {"text", "SNOTE", QVariant(QStringLiteral("Àccento; \"virgolette\"")), QVariant(QStringLiteral("Àccento; \"virgolette\""))},
        {"text with the characters a bulk copy escapes", "SNOTE", QVariant(QStringLiteral("C:\\dati\tcolonna\nriga \\N")),
         QVariant(QStringLiteral("C:\\dati\tcolonna\nriga \\N"))},
        {"integer beyond 32 bits", "IVAL", QVariant(qint64(-5000000000)), QVariant(qint64(-5000000000))},
    };
    for (const char *db : {"sqlite", "postgresql"})
        for (const Case &c : cases)
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(db), QLatin1String(c.name))))
                << QString::fromLatin1(db) << QString::fromLatin1(c.field) << c.value << c.expected;
}

void TstDbCds::zeroAndEmptyReadBackNull()
{
    OPEN_SERVICE();
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    QFETCH(QVariant, expected);
    addStructure(conn, 1000, QStringLiteral("TSEZ"), 2024, personFields());
    ClientDataSet ds;
    svc.OpenCds(ds, QStringLiteral("TSEZ"));
    ds.append();
    ds.fieldByName(QStringLiteral("SNOME"))->setValue(QStringLiteral("PRESENTE"));
    ds.fieldByName(field)->setValue(value);
    ds.post();
    svc.SaveCds(ds, QStringLiteral("TSEZ"));

    ClientDataSet back;
    svc.OpenCds(back, QStringLiteral("TSEZ"));
    QCOMPARE(back.recordCount(), 1);
    Field *f = back.fieldByName(field);
    if (!expected.isValid()) {
        QVERIFY2(f->isNull(), qPrintable(f->asString()));
        QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali WHERE sfisfieldname = :F"),
                       {{QStringLiteral("F"), field}}), 0);
    } else {
        QCOMPARE(f->value(), expected);
    }
}

void TstDbCds::emptySectionOpensWithFields()
{
    OPEN_SERVICE();
    addStructure(conn, 1000, QStringLiteral("TSEZ"), 2024, personFields());
    ClientDataSet ds;
    svc.OpenCds(ds, QStringLiteral("TSEZ"));
    ds.setIndexFieldNames(QStringLiteral("SNOME"));
    svc.OpenCds(ds, QStringLiteral("tsez")); // names are matched without regard to case
    QVERIFY(ds.isActive());
    QCOMPARE(ds.recordCount(), 0);
    QCOMPARE(ds.fieldNames().size(), personFields().size());
    QCOMPARE(ds.providerName, QStringLiteral("UtilProvider"));
    QVERIFY(ds.indexFieldNames().isEmpty());
}

void TstDbCds::recordNumbers()
{
    OPEN_SERVICE();
    addStructure(conn, 1000, QStringLiteral("TSEZ"), 2024, personFields());
    ClientDataSet ds;
    svc.OpenCds(ds, QStringLiteral("TSEZ"));
    appendPerson(ds, QStringLiteral("AAA"), QStringLiteral("D"), QStringLiteral("uno"));
    appendPerson(ds, QStringLiteral("BBB"), QStringLiteral("D"), QStringLiteral("due"));
    svc.SaveCds(ds, QStringLiteral("TSEZ"));
    QCOMPARE(ds.changeCount(), 0);
    // The numbers given by the save are in the dataset at once.
    ds.first();
    QCOMPARE(ds.fieldByName(QStringLiteral("iFisRigo"))->asInteger(), 1);
    ds.next();
    QCOMPARE(ds.fieldByName(QStringLiteral("iFisRigo"))->asInteger(), 2);
    QCOMPARE(count(conn, QStringLiteral("SELECT icdsrigo FROM tcds_struttura WHERE icdsid = 1000")), 2);

    appendPerson(ds, QStringLiteral("CCC"), QStringLiteral("D"), QStringLiteral("tre"));
    svc.SaveCds(ds, QStringLiteral("TSEZ"));
    QCOMPARE(count(conn, QStringLiteral("SELECT icdsrigo FROM tcds_struttura WHERE icdsid = 1000")), 3);

    ClientDataSet back;
    svc.OpenCds(back, QStringLiteral("TSEZ"));
    QCOMPARE(back.recordCount(), 3);
    QStringList seen;
    for (back.first(); !back.eof(); back.next())
        seen << QStringLiteral("%1=%2").arg(back.fieldByName(QStringLiteral("iFisRigo"))->asInteger())
                    .arg(back.fieldByName(QStringLiteral("SNOTE"))->asString());
    QCOMPARE(seen, QStringList({QStringLiteral("1=uno"), QStringLiteral("2=due"), QStringLiteral("3=tre")}));
}

void TstDbCds::modificationRewritesValues()
{
    OPEN_SERVICE();
    addStructure(conn, 1000, QStringLiteral("TSEZ"), 2024, personFields());
    ClientDataSet ds;
    svc.OpenCds(ds, QStringLiteral("TSEZ"));
    ds.append();
    ds.fieldByName(QStringLiteral("IVAL"))->setValue(5);
    ds.fieldByName(QStringLiteral("FIMP"))->setValue(10.5);
    ds.fieldByName(QStringLiteral("SNOTE"))->setValue(QStringLiteral("prima"));
    ds.post();
    svc.SaveCds(ds, QStringLiteral("TSEZ"));

    ClientDataSet ed;
    svc.OpenCds(ed, QStringLiteral("TSEZ"));
    ed.edit();
    ed.fieldByName(QStringLiteral("IVAL"))->setValue(0);
    ed.fieldByName(QStringLiteral("SNOTE"))->setValue(QStringLiteral("dopo"));
    ed.post();
    svc.SaveCds(ed, QStringLiteral("TSEZ"));
    QCOMPARE(count(conn, QStringLiteral("SELECT icdsrigo FROM tcds_struttura WHERE icdsid = 1000")), 1);

    ClientDataSet back;
    svc.OpenCds(back, QStringLiteral("TSEZ"));
    QCOMPARE(back.recordCount(), 1);
    QVERIFY(back.fieldByName(QStringLiteral("IVAL"))->isNull());
    QCOMPARE(back.fieldByName(QStringLiteral("FIMP"))->asMoney(), 105000);
    QCOMPARE(back.fieldByName(QStringLiteral("SNOTE"))->asString(), QStringLiteral("dopo"));
    // One row per non-empty value, no leftovers of the old ones.
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali WHERE icdsid = 1000 AND ifisrigo = 1")), 2);
}

void TstDbCds::deletionOfRegistryRecord()
{
    OPEN_SERVICE();
    addStructure(conn, 1000, QStringLiteral("TPERS"), 2024, personFields(), kPersonMap, true);
    ClientDataSet ds;
    svc.OpenCds(ds, QStringLiteral("TPERS"));
    // A record is made of its value rows: each needs one field outside the map.
    appendPerson(ds, QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("D"), QStringLiteral("uno"));
    appendPerson(ds, QStringLiteral("VRDGPP70A01H501U"), QStringLiteral("D"), QStringLiteral("due"));
    svc.SaveCds(ds, QStringLiteral("TPERS"));
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tafi_anafiscale")), 2);
    // Mapped fields live in the registry, not among the values.
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali WHERE sfisfieldname = 'SCODFIS'")), 0);
    QCOMPARE(conn.scalar(QStringLiteral("SELECT saficognome FROM tafi_anafiscale WHERE saficodfiscale = 'VRDGPP70A01H501U'")).toString(),
             QStringLiteral("ROSSI"));

    ClientDataSet ed;
    svc.OpenCds(ed, QStringLiteral("TPERS"));
    QVERIFY(ed.locate(QStringLiteral("SCODFIS"), QStringLiteral("RSSMRA80A01H501U")));
    const qint64 afi = ed.fieldByName(QStringLiteral("iAfiID"))->asInteger();
    QVERIFY(afi > 0);
    ed.remove();
    svc.SaveCds(ed, QStringLiteral("TPERS"));
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tafi_anafiscale WHERE iafiid = :I"), {{QStringLiteral("I"), afi}}), 0);
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tafi_anafiscale")), 1);

    ClientDataSet back;
    svc.OpenCds(back, QStringLiteral("TPERS"));
    QCOMPARE(back.recordCount(), 1);
    // The registry columns come back into the mapped fields.
    QCOMPARE(back.fieldByName(QStringLiteral("SCODFIS"))->asString(), QStringLiteral("VRDGPP70A01H501U"));
    QCOMPARE(back.fieldByName(QStringLiteral("SCOGNOME"))->asString(), QStringLiteral("ROSSI"));
}

void TstDbCds::registrySharing_data()
{
    QTest::addColumn<QString>("db");
    QTest::addColumn<QString>("cf1");
    QTest::addColumn<QString>("g1");
    QTest::addColumn<QString>("cf2");
    QTest::addColumn<QString>("g2");
    QTest::addColumn<bool>("shared");
    struct Case { const char *name; const char *cf1, *g1, *cf2, *g2; bool shared; };
    const QList<Case> cases{
        {"same code same group", "AAA", "D", "AAA", "D", true},
        {"code in other case", "abc", "D", "ABC", "D", true},
        {"other group", "AAA", "D", "AAA", "A", false},
        {"empty group matches any", "AAA", "D", "AAA", "", true},
        {"other code", "AAA", "D", "BBB", "D", false},
    };
    for (const char *db : {"sqlite", "postgresql"})
        for (const Case &c : cases)
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(db), QLatin1String(c.name))))
                << QString::fromLatin1(db) << QString::fromLatin1(c.cf1) << QString::fromLatin1(c.g1)
                << QString::fromLatin1(c.cf2) << QString::fromLatin1(c.g2) << c.shared;
}

void TstDbCds::registrySharing()
{
    OPEN_SERVICE();
    QFETCH(QString, cf1);
    QFETCH(QString, g1);
    QFETCH(QString, cf2);
    QFETCH(QString, g2);
    QFETCH(bool, shared);
    // A section (not itself the registry) whose records are filed by code and group.
    addStructure(conn, 1000, QStringLiteral("TSEZ"), 2024, personFields(),
                 QStringLiteral("saficodfiscale=SCODFIS;safigruppoana=SGRUPPO"));
    ClientDataSet ds;
    svc.OpenCds(ds, QStringLiteral("TSEZ"));
    appendPerson(ds, cf1, g1);
    appendPerson(ds, cf2, g2);
    svc.SaveCds(ds, QStringLiteral("TSEZ"));
    ds.first();
    const qint64 a = ds.fieldByName(QStringLiteral("iAfiID"))->asInteger();
    ds.next();
    const qint64 b = ds.fieldByName(QStringLiteral("iAfiID"))->asInteger();
    QVERIFY(a > 0 && b > 0);
    QCOMPARE(a == b, shared);
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tafi_anafiscale")), shared ? 1 : 2);
}

void TstDbCds::registryEntryOnlyWithData_data()
{
    QTest::addColumn<QString>("db");
    QTest::addColumn<QString>("fieldMap");
    QTest::addColumn<QString>("cf");
    QTest::addColumn<bool>("linked");
    struct Case { const char *name; const char *map, *cf; bool linked; };
    const QList<Case> cases{
        {"no field map", "", "AAA", false},
        {"field map with data", "saficodfiscale=SCODFIS;safigruppoana=SGRUPPO", "AAA", true},
        {"field map without data", "saficodfiscale=SCODFIS", "", false},
    };
    for (const char *db : {"sqlite", "postgresql"})
        for (const Case &c : cases)
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(db), QLatin1String(c.name))))
                << QString::fromLatin1(db) << QString::fromLatin1(c.map) << QString::fromLatin1(c.cf) << c.linked;
}

// A record gets a registry entry only when its field map writes data into
// it: the start-up removes entries without data, and the link a save hands
// back must be the one the record reads after the next start-up.
void TstDbCds::registryEntryOnlyWithData()
{
    OPEN_SERVICE();
    QFETCH(QString, fieldMap);
    QFETCH(QString, cf);
    QFETCH(bool, linked);
    addStructure(conn, 1000, QStringLiteral("TSEZ"), 2024, personFields(), fieldMap);
    ClientDataSet ds;
    svc.OpenCds(ds, QStringLiteral("TSEZ"));
    for (int i = 0; i < 3; ++i) {
        ds.append();
        if (!cf.isEmpty())
            ds.fieldByName(QStringLiteral("SCODFIS"))->setValue(cf + QString::number(i));
        ds.fieldByName(QStringLiteral("IVAL"))->setValue(10 + i);
        ds.post();
    }
    svc.SaveCds(ds, QStringLiteral("TSEZ"));
    QList<qint64> saved;
    for (ds.first(); !ds.eof(); ds.next())
        saved << ds.fieldByName(QStringLiteral("iAfiID"))->asInteger();
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tafi_anafiscale")), linked ? 3 : 0);
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali WHERE iafiid IS NOT NULL")),
             linked ? 3 : 0);
    QCOMPARE(QSet<qint64>(saved.begin(), saved.end()).size(), linked ? 3 : 1);
    for (qint64 id : saved)
        QCOMPARE(id > 0, linked);

    // The start-up's removal of registry entries without data.
    conn.exec(QStringLiteral("DELETE FROM TAFI_ANAFISCALE WHERE SAFICODFISCALE IS NULL AND SAFICOGNOME IS NULL "
                             "AND SAFINOME IS NULL AND SAFICODFISSOST IS NULL AND SAFIGRUPPOANA IS NULL"));
    ClientDataSet again;
    svc.OpenCds(again, QStringLiteral("TSEZ"));
    QList<qint64> reopened;
    for (again.first(); !again.eof(); again.next())
        reopened << again.fieldByName(QStringLiteral("iAfiID"))->asInteger();
    QCOMPARE(reopened, saved);
}

void TstDbCds::recordOfRegistryDataOnly_data()
{
    QTest::addColumn<QString>("db");
    QTest::addColumn<QString>("section");
    for (const char *db : {"sqlite", "postgresql"})
        for (const char *section : {"TDIP7_ANAGRFISCALI", "TSEZ"})
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(db), QLatin1String(section))))
                << QString::fromLatin1(db) << QString::fromLatin1(section);
}

// A new recipient whose only values are the ones the field map sends to the
// registry (codice fiscale, surname, name) has no value of its own: it must
// still be there when the section is opened again, also after the start-up's
// removal of registry entries without data, and after an edit.
void TstDbCds::recordOfRegistryDataOnly()
{
    OPEN_SERVICE();
    QFETCH(QString, section);
    QString cf = QStringLiteral("SCODFIS"), cognome = QStringLiteral("SCOGNOME"), nome = QStringLiteral("SNOME");
    if (section == u"TSEZ") {
        // A section that is not itself the registry: the entry is looked up first.
        addStructure(conn, 1000, section, 2024, personFields(), kPersonMap);
    } else {
        svc.SetProgramma(QStringLiteral("jex"));
        cf = QStringLiteral("SDIP7CODFIS"), cognome = QStringLiteral("SDIP7COGNOME"), nome = QStringLiteral("SDIP7NOME");
    }
    ClientDataSet ds;
    svc.OpenCds(ds, section);
    ds.append();
    ds.fieldByName(cf)->setValue(QStringLiteral("RSSMRA80A01H501U"));
    ds.fieldByName(cognome)->setValue(QStringLiteral("ROSSI"));
    ds.fieldByName(nome)->setValue(QStringLiteral("MARIO"));
    ds.post();
    svc.SaveCds(ds, section);
    const qint64 afi = ds.fieldByName(QStringLiteral("iAfiID"))->asInteger();
    const qint64 rigo = ds.fieldByName(QStringLiteral("iFisRigo"))->asInteger();
    QVERIFY(afi > 0);
    QVERIFY(rigo > 0);
    // The registry gets the mapped values, as before.
    QCOMPARE(conn.scalar(QStringLiteral("SELECT saficognome FROM tafi_anafiscale WHERE iafiid = :I"),
                         {{QStringLiteral("I"), afi}}).toString(), QStringLiteral("ROSSI"));
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali WHERE sfisfieldname = :F"),
                   {{QStringLiteral("F"), cf}}), 0);

    conn.exec(QStringLiteral("DELETE FROM TAFI_ANAFISCALE WHERE SAFICODFISCALE IS NULL AND SAFICOGNOME IS NULL "
                             "AND SAFINOME IS NULL AND SAFICODFISSOST IS NULL AND SAFIGRUPPOANA IS NULL"));
    auto reopened = [&](const QString &expectedSurname) {
        ClientDataSet back;
        svc.OpenCds(back, section);
        QCOMPARE(back.recordCount(), 1);
        QCOMPARE(back.fieldByName(cf)->asString(), QStringLiteral("RSSMRA80A01H501U"));
        QCOMPARE(back.fieldByName(cognome)->asString(), expectedSurname);
        QCOMPARE(back.fieldByName(nome)->asString(), QStringLiteral("MARIO"));
        QCOMPARE(back.fieldByName(QStringLiteral("iAfiID"))->asInteger(), afi);
        QCOMPARE(back.fieldByName(QStringLiteral("iFisRigo"))->asInteger(), rigo);
    };
    reopened(QStringLiteral("ROSSI"));
    if (QTest::currentTestFailed())
        return;

    ClientDataSet ed;
    svc.OpenCds(ed, section);
    ed.edit();
    ed.fieldByName(cognome)->setValue(QStringLiteral("ROSSINI"));
    ed.post();
    svc.SaveCds(ed, section);
    reopened(QStringLiteral("ROSSINI"));
    if (QTest::currentTestFailed())
        return;

    // Deleting it leaves nothing behind.
    ClientDataSet del;
    svc.OpenCds(del, section);
    del.remove();
    svc.SaveCds(del, section);
    ClientDataSet none;
    svc.OpenCds(none, section);
    QCOMPARE(none.recordCount(), 0);
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali")), 0);
}

void TstDbCds::keptStructureFollowsChanges_data()
{
    QTest::addColumn<QString>("db");
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("callerTransaction");
    for (const char *db : {"sqlite", "postgresql"})
        for (const char *change : {"field map", "new version", "period removed", "counter moved"})
            for (const bool caller : {false, true})
                QTest::newRow(qPrintable(QStringLiteral("%1 %2%3").arg(QLatin1String(db), QLatin1String(change),
                                                                     caller ? QStringLiteral(", caller's transactions") : QString())))
                    << QString::fromLatin1(db) << QString::fromLatin1(change) << caller;
}

// Saves keep the structure row and the period between them; whatever
// changes in the database in between (the start-up's repair of a field map,
// a new version of the structure, a period removed with the return's data,
// another workstation's records) is what the next save goes by.
void TstDbCds::keptStructureFollowsChanges()
{
    OPEN_SERVICE();
    QFETCH(QString, change);
    QFETCH(bool, callerTransaction);
    addStructure(conn, 1000, QStringLiteral("TSEZ"), 2024, personFields());
    // In the caller's transactions the structure table is summed once per
    // transaction: what changed between two of them still counts.
    auto saveOne = [&](const QString &cf) {
        ClientDataSet ds;
        svc.OpenCds(ds, QStringLiteral("TSEZ"));
        appendPerson(ds, cf, QStringLiteral("D"), QStringLiteral("nota ") + cf);
        if (callerTransaction)
            conn.startTransaction();
        svc.SaveCds(ds, QStringLiteral("TSEZ"));
        if (callerTransaction)
            conn.commit();
        return ds.fieldByName(QStringLiteral("iFisRigo"))->asInteger();
    };
    QCOMPARE(saveOne(QStringLiteral("AAA")), 1);

    qint64 expectedRigo = 2;
    QString valueSection = QStringLiteral("1000");
    if (change == u"field map") {
        conn.exec(QStringLiteral("UPDATE tcds_struttura SET scdsfieldmap = :M WHERE icdsid = 1000"),
                  {{QStringLiteral("M"), kPersonMap}});
    } else if (change == u"new version") {
        addStructure(conn, 1001, QStringLiteral("TSEZ"), 2024, personFields());
        valueSection = QStringLiteral("1001");
        expectedRigo = 1;
    } else if (change == u"period removed") {
        conn.exec(QStringLiteral("DELETE FROM tfis_datifiscali"));
        conn.exec(QStringLiteral("DELETE FROM tcrf_crofiscale"));
    } else {
        conn.exec(QStringLiteral("UPDATE tcds_struttura SET icdsrigo = 41 WHERE icdsid = 1000"));
        expectedRigo = 42;
    }
    QCOMPARE(saveOne(QStringLiteral("BBB")), expectedRigo);

    ClientDataSet back;
    svc.OpenCds(back, QStringLiteral("TSEZ"));
    QVERIFY(back.locate(QStringLiteral("SNOTE"), QStringLiteral("nota BBB")));
    QCOMPARE(back.fieldByName(QStringLiteral("SCODFIS"))->asString(), QStringLiteral("BBB"));
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali WHERE sfisvalue = 'nota BBB' AND icdsid = ")
                             + valueSection), 1);
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tcrf_crofiscale")), 1);
    // With the field map the codice fiscale is the registry's, not a value.
    const bool mapped = change == u"field map";
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali WHERE sfisvalue = 'BBB'")), mapped ? 0 : 1);
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tafi_anafiscale WHERE saficodfiscale = 'BBB'")), mapped ? 1 : 0);
}

void TstDbCds::filteredOpenAndHandlers()
{
    OPEN_SERVICE();
    addStructure(conn, 1000, QStringLiteral("TSEZ"), 2024, personFields(),
                 QStringLiteral("saficodfiscale=SCODFIS;safigruppoana=SGRUPPO"));
    ClientDataSet ds;
    svc.OpenCds(ds, QStringLiteral("TSEZ"));
    appendPerson(ds, QStringLiteral("AAA"), QStringLiteral("D"), QStringLiteral("a1"));
    appendPerson(ds, QStringLiteral("BBB"), QStringLiteral("D"), QStringLiteral("b1"));
    appendPerson(ds, QStringLiteral("AAA"), QStringLiteral("D"), QStringLiteral("a2"));
    svc.SaveCds(ds, QStringLiteral("TSEZ"));
    ds.first();
    const qint64 afiA = ds.fieldByName(QStringLiteral("iAfiID"))->asInteger();

    ClientDataSet only;
    int posts = 0;
    only.events.afterPost = [&](ClientDataSet &) { ++posts; };
    svc.OpenCdsFiltered(only, QStringLiteral("TSEZ"), afiA, 0, 2024);
    QCOMPARE(only.recordCount(), 2);
    for (only.first(); !only.eof(); only.next())
        QCOMPARE(only.fieldByName(QStringLiteral("SCODFIS"))->asString(), QStringLiteral("AAA"));
    // The load did not run the caller's handler, and the handler is back.
    QCOMPARE(posts, 0);
    QVERIFY(!only.controlsDisabled());
    only.first();
    only.edit();
    only.fieldByName(QStringLiteral("SNOTE"))->setValue(QStringLiteral("x"));
    only.post();
    QCOMPARE(posts, 1);
}

void TstDbCds::versionByYear_data()
{
    QTest::addColumn<QString>("db");
    QTest::addColumn<int>("year");
    QTest::addColumn<QString>("version"); // the field only that version has; empty = not found
    for (const char *db : {"sqlite", "postgresql"}) {
        const QString d = QString::fromLatin1(db);
        QTest::newRow(qPrintable(d + QStringLiteral(" 2024 uses 2023"))) << d << 2024 << QStringLiteral("V2023");
        QTest::newRow(qPrintable(d + QStringLiteral(" 2023 uses 2023"))) << d << 2023 << QStringLiteral("V2023");
        QTest::newRow(qPrintable(d + QStringLiteral(" 2021 uses 2020"))) << d << 2021 << QStringLiteral("V2020");
        QTest::newRow(qPrintable(d + QStringLiteral(" 2019 has none"))) << d << 2019 << QString();
    }
}

void TstDbCds::versionByYear()
{
    OPEN_SERVICE();
    QFETCH(int, year);
    QFETCH(QString, version);
    // Stored in the order that would mislead a lookup by insertion.
    addStructure(conn, 1001, QStringLiteral("TVER"), 2023, {{QStringLiteral("V2023"), FieldType::String, 5}});
    addStructure(conn, 1000, QStringLiteral("TVER"), 2020, {{QStringLiteral("V2020"), FieldType::String, 5}});
    ClientDataSet ds;
    if (version.isEmpty()) {
        try {
            svc.OpenCdsPeriod(ds, QStringLiteral("TVER"), 0, year);
            QFAIL("opened a structure that does not exist for the year");
        } catch (const EQxError &e) {
            QCOMPARE(e.message(), QStringLiteral("Impossibile trovare il ClientDataSet (TVER)."));
        }
        return;
    }
    svc.OpenCdsPeriod(ds, QStringLiteral("TVER"), 0, year);
    QCOMPARE(ds.fieldNames(), QStringList{version});
    // Saving goes to the same version.
    ds.append();
    ds.field(0)->setValue(QStringLiteral("x"));
    ds.post();
    svc.SaveCdsPeriod(ds, QStringLiteral("TVER"), 0, year);
    QCOMPARE(count(conn, QStringLiteral("SELECT MIN(icdsid) FROM tfis_datifiscali")), version == u"V2023" ? 1001 : 1000);
}

void TstDbCds::failedSaveRollsBack()
{
    OPEN_SERVICE();
    addStructure(conn, 1000, QStringLiteral("TSEZ"), 2024, personFields(),
                 QStringLiteral("saficodfiscale=SCODFIS;safigruppoana=SGRUPPO"));
    addBoomTrigger(conn);
    ClientDataSet ds;
    svc.OpenCds(ds, QStringLiteral("TSEZ"));
    appendPerson(ds, QStringLiteral("AAA"), QStringLiteral("D"), QStringLiteral("buono"));
    svc.SaveCds(ds, QStringLiteral("TSEZ"));
    const qint64 valuesBefore = count(conn, QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali"));

    // One good new record, one modified to a refused value, one deleted:
    // nothing of it may stay.
    appendPerson(ds, QStringLiteral("BBB"), QStringLiteral("D"), QStringLiteral("nuovo"));
    QVERIFY(ds.locate(QStringLiteral("SNOTE"), QStringLiteral("buono")));
    ds.edit();
    ds.fieldByName(QStringLiteral("SNOTE"))->setValue(QStringLiteral("BOOM"));
    ds.post();
    try {
        svc.SaveCds(ds, QStringLiteral("TSEZ"));
        QFAIL("the save did not fail");
    } catch (const EQxError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("valore rifiutato dal trigger")), qPrintable(e.message()));
    }
    QVERIFY(!conn.inTransaction());
    QCOMPARE(ds.changeCount(), 0);
    QCOMPARE(ds.recordCount(), 1);
    ds.first();
    QCOMPARE(ds.fieldByName(QStringLiteral("SNOTE"))->asString(), QStringLiteral("buono"));
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali")), valuesBefore);
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tafi_anafiscale")), 1);
    QCOMPARE(count(conn, QStringLiteral("SELECT icdsrigo FROM tcds_struttura WHERE icdsid = 1000")), 1);

    ClientDataSet back;
    svc.OpenCds(back, QStringLiteral("TSEZ"));
    QCOMPARE(back.recordCount(), 1);
    QCOMPARE(back.fieldByName(QStringLiteral("SNOTE"))->asString(), QStringLiteral("buono"));
}

// Value rows go to the database in blocks of many rows: a row refused in the
// middle of a block takes the whole save with it, the rows before it too.
void TstDbCds::failedLargeSaveLeavesNothing()
{
    OPEN_SERVICE();
    addStructure(conn, 1000, QStringLiteral("TSEZ"), 2024, personFields());
    addBoomTrigger(conn);
    ClientDataSet ds;
    svc.OpenCds(ds, QStringLiteral("TSEZ"));
    auto add = [&](int i, const QString &note) {
        ds.append();
        ds.fieldByName(QStringLiteral("SNOME"))->setValue(QStringLiteral("N%1").arg(i));
        ds.fieldByName(QStringLiteral("IVAL"))->setValue(i);
        ds.fieldByName(QStringLiteral("FIMP"))->setValue(i + 0.25);
        ds.fieldByName(QStringLiteral("DDATA"))->setValue(QDate(2024, 1, 1).addDays(i % 300));
        ds.fieldByName(QStringLiteral("SNOTE"))->setValue(note);
        ds.post();
    };
    for (int i = 1; i <= 300; ++i)
        add(i, QStringLiteral("buono"));
    svc.SaveCds(ds, QStringLiteral("TSEZ"));
    const qint64 valuesBefore = count(conn, QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali"));
    QCOMPARE(valuesBefore, 300 * 5);

    // Every old record goes, 3000 new ones come, one of them refused.
    ds.first();
    while (!ds.isEmpty())
        ds.remove();
    for (int i = 1; i <= 3000; ++i)
        add(i, i == 2345 ? QStringLiteral("BOOM") : QStringLiteral("nuovo"));
    QVERIFY_THROWS_EXCEPTION(EQxError, svc.SaveCds(ds, QStringLiteral("TSEZ")));
    QVERIFY(!conn.inTransaction());
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali")), valuesBefore);
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali WHERE sfisvalue = 'nuovo'")), 0);
    QCOMPARE(count(conn, QStringLiteral("SELECT icdsrigo FROM tcds_struttura WHERE icdsid = 1000")), 300);

    // The connection serves the next save as before.
    ClientDataSet back;
    svc.OpenCds(back, QStringLiteral("TSEZ"));
    QCOMPARE(back.recordCount(), 300);
    back.last();
    QCOMPARE(back.fieldByName(QStringLiteral("IVAL"))->asInteger(), 300);
    QCOMPARE(back.fieldByName(QStringLiteral("FIMP"))->asFloat(), 300.25);
    back.append();
    back.fieldByName(QStringLiteral("SNOTE"))->setValue(QStringLiteral("dopo"));
    back.post();
    svc.SaveCds(back, QStringLiteral("TSEZ"));
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali")), valuesBefore + 1);
}

void TstDbCds::failedWriteInCallerTransaction_data()
{
    QTest::addColumn<QString>("db");
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("condition");
    // The writes of the save in the order they go: the old values, the
    // registry entries, the new values, the record counter.
    struct Case { const char *name, *event, *table, *condition; };
    const QList<Case> cases{
        {"old values", "DELETE", "tfis_datifiscali", "OLD.icdsid = 1000"},
        {"registry entry", "UPDATE", "tafi_anafiscale", "NEW.saficognome = 'VERDI'"},
        {"new values", "INSERT", "tfis_datifiscali", "NEW.icdsid = 1000"},
        {"record counter", "UPDATE", "tcds_struttura", "NEW.icdsid = 1000"},
    };
    for (const char *db : {"sqlite", "postgresql"})
        for (const Case &c : cases)
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(db), QLatin1String(c.name))))
                << QString::fromLatin1(db) << QString::fromLatin1(c.event) << QString::fromLatin1(c.table)
                << QString::fromLatin1(c.condition);
}

// A write refused anywhere in a save inside the caller's transaction: the
// save or the commit throws, the rollback takes the earlier save of the
// transaction with it, and the connection serves the next transaction.
void TstDbCds::failedWriteInCallerTransaction()
{
    OPEN_SERVICE();
    QFETCH(QString, event);
    QFETCH(QString, table);
    QFETCH(QString, condition);
    addStructure(conn, 1000, QStringLiteral("TANA"), 2024, personFields(), kPersonMap, true);
    addStructure(conn, 1001, QStringLiteral("TALT"), 2024, personFields());
    ClientDataSet ana, alt;
    svc.OpenCds(ana, QStringLiteral("TANA"));
    svc.OpenCds(alt, QStringLiteral("TALT"));
    appendPerson(ana, QStringLiteral("AAA"), QStringLiteral("D"), QStringLiteral("primo"));
    svc.SaveCds(ana, QStringLiteral("TANA"));
    const qint64 valuesBefore = count(conn, QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali"));
    addRefusal(conn, event, table, condition);

    auto change = [&] {
        appendPerson(alt, QStringLiteral("CCC"), QStringLiteral("D"), QStringLiteral("altro"));
        QVERIFY(ana.locate(QStringLiteral("SNOTE"), QStringLiteral("primo")));
        ana.edit();
        ana.fieldByName(QStringLiteral("SCOGNOME"))->setValue(QStringLiteral("VERDI"));
        ana.fieldByName(QStringLiteral("SNOTE"))->setValue(QStringLiteral("cambiato"));
        ana.post();
        appendPerson(ana, QStringLiteral("BBB"), QStringLiteral("D"), QStringLiteral("nuovo"));
    };
    change();
    QVERIFY(conn.startTransaction());
    svc.SaveCds(alt, QStringLiteral("TALT"));
    // On a server the last writes of a save go with the transaction's next
    // statement or its commit: the refusal may come from either.
    try {
        svc.SaveCds(ana, QStringLiteral("TANA"));
        conn.commit();
        QFAIL("neither the save nor the commit failed");
    } catch (const EQxError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("rifiutato dal trigger")), qPrintable(e.message()));
    }
    if (conn.inTransaction())
        conn.rollback();
    QCOMPARE(ana.changeCount(), 0);
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali")), valuesBefore);
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali WHERE icdsid = 1001")), 0);
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tafi_anafiscale")), 1);
    QCOMPARE(conn.scalar(QStringLiteral("SELECT saficognome FROM tafi_anafiscale")).toString(), QStringLiteral("ROSSI"));
    QCOMPARE(count(conn, QStringLiteral("SELECT SUM(icdsrigo) FROM tcds_struttura WHERE icdsid IN (1000, 1001)")), 1);

    // The same changes go in once the refusal is gone.
    dropRefusal(conn, table);
    svc.OpenCds(alt, QStringLiteral("TALT"));
    svc.OpenCds(ana, QStringLiteral("TANA"));
    change();
    QVERIFY(conn.startTransaction());
    svc.SaveCds(alt, QStringLiteral("TALT"));
    svc.SaveCds(ana, QStringLiteral("TANA"));
    conn.commit();
    ClientDataSet back;
    svc.OpenCds(back, QStringLiteral("TANA"));
    QCOMPARE(back.recordCount(), 2);
    QVERIFY(back.locate(QStringLiteral("SNOTE"), QStringLiteral("cambiato")));
    QCOMPARE(back.fieldByName(QStringLiteral("SCOGNOME"))->asString(), QStringLiteral("VERDI"));
    QVERIFY(back.locate(QStringLiteral("SNOTE"), QStringLiteral("nuovo")));
    QCOMPARE(back.fieldByName(QStringLiteral("SCODFIS"))->asString(), QStringLiteral("BBB"));
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(DISTINCT ifisrigo) FROM tfis_datifiscali WHERE icdsid = 1001")), 1);
}

void TstDbCds::callerTransaction()
{
    OPEN_SERVICE();
    addStructure(conn, 1000, QStringLiteral("TSEZ"), 2024, personFields());
    ClientDataSet ds;
    svc.OpenCds(ds, QStringLiteral("TSEZ"));
    appendPerson(ds, QStringLiteral("AAA"), QStringLiteral("D"));
    QVERIFY(conn.startTransaction());
    svc.SaveCds(ds, QStringLiteral("TSEZ"));
    // The service did not commit the caller's transaction.
    QVERIFY(conn.inTransaction());
    conn.rollback();
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali")), 0);
    QCOMPARE(count(conn, QStringLiteral("SELECT icdsrigo FROM tcds_struttura WHERE icdsid = 1000")), 0);
}

void TstDbCds::unknownSection()
{
    OPEN_SERVICE();
    addStructure(conn, 1000, QStringLiteral("TSEZ"), 2024, personFields());
    ClientDataSet ds;
    try {
        svc.OpenCds(ds, QStringLiteral("TNonEsiste_X"));
        QFAIL("opened an unknown section");
    } catch (const EQxError &e) {
        QCOMPARE(e.message(), QStringLiteral("Impossibile trovare il ClientDataSet (TNonEsiste_X)."));
    }
    // A known name of another program is unknown too.
    svc.SetProgramma(QStringLiteral("jex"));
    QVERIFY_THROWS_EXCEPTION(EQxError, svc.OpenCds(ds, QStringLiteral("TSEZ")));
    svc.SetProgramma(kProg);
    svc.OpenCds(ds, QStringLiteral("TSEZ"));
    appendPerson(ds, QStringLiteral("AAA"), QStringLiteral("D"));
    try {
        svc.SaveCds(ds, QStringLiteral("TNonEsiste_X"));
        QFAIL("saved into an unknown section");
    } catch (const EQxError &e) {
        QCOMPARE(e.message(), QStringLiteral("Impossibile trovare il ClientDataSet (TNonEsiste_X)."));
    }
    // Nothing was applied, so the user's edits are still pending.
    QCOMPARE(ds.changeCount(), 1);
    QVERIFY(!conn.inTransaction());
}

void TstDbCds::catalogueSeed()
{
    OPEN_SERVICE();
    QCOMPARE(TableCatalogue::instance().tables(QStringLiteral("jex")).size(), 31);
    QCOMPARE(TableCatalogue::instance().tables(QStringLiteral("jey")).size(), 7);
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tcds_struttura WHERE scdsprogramma = 'jex' AND icdsanno = 2024")), 31);
    // Ids below 100 are left to the payroll structures (13 is repaired at start-up).
    QVERIFY(count(conn, QStringLiteral("SELECT MIN(icdsid) FROM tcds_struttura WHERE scdsprogramma IN ('jex', 'jey')")) >= 100);
    svc.SetProgramma(QStringLiteral("jex"));
    ClientDataSet ds;
    svc.OpenCds(ds, QStringLiteral("TDIP7_ANAGRFISCALI"));
    QVERIFY(ds.findField(QStringLiteral("IAFIID")));
    QVERIFY(ds.findField(QStringLiteral("IFISRIGO")));
    QCOMPARE(ds.fieldByName(QStringLiteral("SDIP7CODFIS"))->size(), 16);
    QCOMPARE(ds.fieldByName(QStringLiteral("FFIS7REDDDETR"))->type(), FieldType::Currency);
    // The employee record is a registry person, filed by code and group.
    ds.append();
    ds.fieldByName(QStringLiteral("SDIP7CODFIS"))->setValue(QStringLiteral("RSSMRA80A01H501U"));
    ds.fieldByName(QStringLiteral("SDIP7GRUPPOANA"))->setValue(QStringLiteral("D"));
    ds.fieldByName(QStringLiteral("SDIP7COGNOME"))->setValue(QStringLiteral("ROSSI"));
    ds.fieldByName(QStringLiteral("FFIS7REDDDETR"))->setValue(25000.0);
    ds.post();
    svc.SaveCds(ds, QStringLiteral("TDIP7_ANAGRFISCALI"));
    QCOMPARE(conn.scalar(QStringLiteral("SELECT safigruppoana FROM tafi_anafiscale")).toString(), QStringLiteral("D"));
    const CatalogueTable *t = TableCatalogue::instance().table(QStringLiteral("tdip7_anagrfiscali"));
    QVERIFY(t);
    QVERIFY(t->anagrafica);
    QCOMPARE(t->column(QStringLiteral("ffis7addcomirpefacc"))->label, QStringLiteral("Acconto %s"));
}

void TstDbCds::loadShowRoundTrip()
{
    OPEN_SERVICE();
    svc.SetProgramma(QStringLiteral("jex"));
    const CatalogueTable *st = TableCatalogue::instance().table(QStringLiteral("jex"), QStringLiteral("TPST_PROSPETTOST"));
    QVERIFY(st);
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("st.csv"));
    {
        QFile f(csv);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("SPSTMESE,SPSTANNO,FPSTRITOPEARTE,DPSTDTVERS,SPSTCODTRIBUTO\n"
                "01,2024,\"1.234,50\",16/02/2024,1001\n"
                "02,2024,99.9,2024-03-18,\"10;01\"\n");
    }
    SectionLoadResult r = loadSection(svc, *st, csv, false);
    QCOMPARE(r.rows, 2);
    ClientDataSet ds;
    svc.OpenCds(ds, st->name);
    const QStringList lines = formatSection(ds, SectionFormat::Csv).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    const QStringList header = lines[0].split(u';');
    QVERIFY(header.contains(QStringLiteral("IAFIID")) && header.contains(QStringLiteral("IFISRIGO")));
    auto cell = [&](int line, const QString &col) { return lines[line].split(u';').value(header.indexOf(col)); };
    QCOMPARE(cell(1, QStringLiteral("FPSTRITOPEARTE")), QStringLiteral("1234.50"));
    QCOMPARE(cell(1, QStringLiteral("DPSTDTVERS")), QStringLiteral("2024-02-16"));
    QCOMPARE(cell(2, QStringLiteral("FPSTRITOPEARTE")), QStringLiteral("99.90"));
    QCOMPARE(cell(1, QStringLiteral("IFISRIGO")), QStringLiteral("1"));
    QVERIFY(lines[2].contains(QStringLiteral("\"10;01\"")));

    // What show writes as JSON loads back the same, replacing the rows.
    const QString json = dir.filePath(QStringLiteral("st.json"));
    const QString shown = formatSection(ds, SectionFormat::Json);
    {
        QFile f(json);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(shown.toUtf8());
    }
    r = loadSection(svc, *st, json, true);
    QCOMPARE(r.rows, 2);
    QCOMPARE(r.removed, 2);
    ClientDataSet again;
    svc.OpenCds(again, st->name);
    QCOMPARE(again.recordCount(), 2);
    QCOMPARE(formatSection(again, SectionFormat::Csv).section(u'\n', 1).remove(QRegularExpression(QStringLiteral(";[0-9]+;[0-9]+\n"))),
             formatSection(ds, SectionFormat::Csv).section(u'\n', 1).remove(QRegularExpression(QStringLiteral(";[0-9]+;[0-9]+\n"))));
}

void TstDbCds::loadLinksSectionRowsToPerson()
{
    OPEN_SERVICE();
    svc.SetProgramma(QStringLiteral("jex"));
    const TableCatalogue &cat = TableCatalogue::instance();
    QTemporaryDir dir;
    auto write = [&](const QString &name, const QByteArray &text) {
        QFile f(dir.filePath(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(text);
        return f.fileName();
    };
    loadSection(svc, *cat.table(QStringLiteral("jex"), QStringLiteral("TDIP7_ANAGRFISCALI")),
                write(QStringLiteral("dip.csv"), "SDIP7CODFIS;SDIP7GRUPPOANA;SDIP7COGNOME;FFIS7REDDDETR\n"
                                                 "RSSMRA80A01H501U;D;ROSSI;1000\nVRDGPP70A01H501U;D;VERDI;2000\n"),
                false);
    loadSection(svc, *cat.table(QStringLiteral("jex"), QStringLiteral("TREE7_REDDITOESTER")),
                write(QStringLiteral("ree.csv"), "SDIP7CODFIS;FFIS7REDDESTERO\nVRDGPP70A01H501U;50\n"), false);
    ClientDataSet dip, ree;
    svc.OpenCds(dip, QStringLiteral("TDIP7_ANAGRFISCALI"));
    svc.OpenCds(ree, QStringLiteral("TREE7_REDDITOESTER"));
    QVERIFY(dip.locate(QStringLiteral("SDIP7CODFIS"), QStringLiteral("VRDGPP70A01H501U")));
    QCOMPARE(ree.recordCount(), 1);
    QVERIFY(ree.fieldByName(QStringLiteral("IAFIID"))->asInteger() > 0);
    QCOMPARE(ree.fieldByName(QStringLiteral("IAFIID"))->asInteger(), dip.fieldByName(QStringLiteral("IAFIID"))->asInteger());
}

void TstDbCds::loadRefused_data()
{
    QTest::addColumn<QString>("db");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("where");
    struct Case { const char *name; const char *content; const char *where; };
    const QList<Case> cases{
        {"bad amount", "SPSTMESE;FPSTRITOPEARTE\n1;10,00\n2;12,3a\n", "riga 3, colonna FPSTRITOPEARTE"},
        {"bad date", "SPSTMESE;DPSTDTVERS\n1;31/02/2024\n", "riga 2, colonna DPSTDTVERS"},
        {"too long", "SPSTMESE;SPSTANNO\n123;2024\n", "riga 2, colonna SPSTMESE"},
        {"unknown column", "SPSTMESE;SPSTNONCE\n1;2\n", "riga 1, colonna SPSTNONCE"},
        {"json bad flag", "[{\"SPSTMESE\": \"1\"}, {\"LPSTRAVVEDIMENTO\": 7}]", "elemento 2, colonna LPSTRAVVEDIMENTO"},
    };
    for (const char *db : {"sqlite", "postgresql"})
        for (const Case &c : cases)
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(db), QLatin1String(c.name))))
                << QString::fromLatin1(db) << QByteArray(c.content) << QString::fromLatin1(c.where);
}

void TstDbCds::loadRefused()
{
    OPEN_SERVICE();
    QFETCH(QByteArray, content);
    QFETCH(QString, where);
    svc.SetProgramma(QStringLiteral("jex"));
    const CatalogueTable *st = TableCatalogue::instance().table(QStringLiteral("jex"), QStringLiteral("TPST_PROSPETTOST"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.txt"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    const qint64 before = count(conn, QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali"));
    try {
        loadSection(svc, *st, path, true);
        QFAIL("the file was accepted");
    } catch (const EQxError &e) {
        QVERIFY2(e.message().contains(where), qPrintable(e.message()));
    }
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali")), before);

    // A check registered for the table refuses a file that is well formed.
    static bool registered = false;
    if (!registered) {
        SectionLoadHooks::addRowCheck(QStringLiteral("TPST_PROSPETTOST"), [](const ClientDataSet &ds) {
            if (ds.fieldByName(QStringLiteral("SPSTANNO"))->asString() == u"2023")
                return SectionLoadHooks::Fault{QStringLiteral("SPSTANNO"), QStringLiteral("Anno 2023 non ammesso")};
            return SectionLoadHooks::Fault{};
        });
        registered = true;
    }
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("SPSTMESE;SPSTANNO\n12;2024\n11;2023\n");
    }
    try {
        loadSection(svc, *st, path, false);
        QFAIL("the check did not refuse the file");
    } catch (const EQxError &e) {
        QCOMPARE(e.message(), QStringLiteral("Il file non è stato caricato: riga 3, colonna SPSTANNO: Anno 2023 non ammesso"));
    }
    QCOMPARE(count(conn, QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali")), before);
}

void TstDbCds::exportWritesEveryStructure()
{
    OPEN_SERVICE();
    svc.SetProgramma(QStringLiteral("jex"));
    ClientDataSet ds;
    svc.OpenCds(ds, QStringLiteral("TSOS_DATOSOSTITUTO"));
    ds.append();
    ds.fieldByName(QStringLiteral("SSOSCODFIS"))->setValue(QStringLiteral("80012345678"));
    ds.post();
    svc.SaveCds(ds, QStringLiteral("TSOS_DATOSOSTITUTO"));

    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("esporta/sub"));
    svc.ExportCds(QStringLiteral("jex"), 2024, target, 0);
    const QStringList files = QDir(target).entryList({QStringLiteral("*.cds")}, QDir::Files);
    QCOMPARE(files.size(), 31);
    ClientDataSet back;
    back.loadFromFile(target + QStringLiteral("/TSOS_DATOSOSTITUTO.cds"));
    QCOMPARE(back.recordCount(), 1);
    QCOMPARE(back.fieldByName(QStringLiteral("SSOSCODFIS"))->asString(), QStringLiteral("80012345678"));

    // A directory that cannot be made: each file is reported and skipped.
    QFile blocker(dir.filePath(QStringLiteral("file")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ScriptedMessageService msgs(ModalResult::Ok);
    setMessageService(&msgs);
    svc.ExportCds(QStringLiteral("jex"), 2024, dir.filePath(QStringLiteral("file/sotto")), 0);
    setMessageService(nullptr);
    QVERIFY(!msgs.texts().isEmpty());
    QCOMPARE(msgs.texts().first(), QStringLiteral("Impossibile creare la directory specificata."));
}

JEX_TEST_MAIN(TstDbCds)
#include "tst_structureservice.moc"
