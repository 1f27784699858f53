// The registry import from last year's return: a return exported by the real
// export into a folder laid out as last year's data folder, imported into
// another database (SQLite, and PostgreSQL when JEX770_TEST_PG names a
// server).

#include "testdb.h"

#include "base/errors.h"
#include "base/messages.h"
#include "base/paths.h"
#include "database/sqlconnection.h"
#include "database/structureservice.h"
#include "dataset/dataset.h"
#include "imports/previous/previousimport.h"
#include "sections/databasestore.h"
#include "sections/transfer.h"

#include "coretest.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace jex;

namespace {

struct Person
{
    QString cf, cognome, nome;
};

// A database of the return and the service over it.
struct Return
{
    Return(const QString &kind, const QString &name) : tdb(kind), conn(name)
    {
        if (!tdb.available())
            return;
        conn.open(DatabaseUrl::parse(tdb.url()));
        svc.SetConnection(&conn);
        svc.SetShowWait(false);
    }
    ~Return() { conn.close(); }

    void add(PreviousKind kind, const Person &p)
    {
        const bool emp = kind == PreviousKind::Employees;
        const QString section = previousSection(kind);
        ClientDataSet ds;
        store.openCds(section, ds);
        ds.append();
        ds.fieldByName(emp ? "SDIP7CODFIS" : "SDAU7CODFIS")->setAsString(p.cf);
        ds.fieldByName(emp ? "SDIP7COGNOME" : "SDAU7COGNOME")->setAsString(p.cognome);
        ds.fieldByName(emp ? "SDIP7NOME" : "SDAU7NOME")->setAsString(p.nome);
        if (emp) {
            ds.fieldByName("SDIP7SEX")->setAsString(QStringLiteral("F"));
            ds.fieldByName("DDIP7DATANAS")->setAsDate(QDate(1971, 3, 2));
            ds.fieldByName("SDIP7COMNAS")->setAsString(QStringLiteral("PERUGIA"));
            ds.fieldByName("SDIP7PROVNAS")->setAsString(QStringLiteral("PG"));
            ds.fieldByName("SCAP7CODICE")->setAsString(QStringLiteral("06121"));
            ds.fieldByName("SDIP7COMUNE")->setAsString(QStringLiteral("PERUGIA"));
            ds.fieldByName("SDIP7PROVINCIA")->setAsString(QStringLiteral("PG"));
            ds.fieldByName("SDIP7CODCOM")->setAsString(QStringLiteral("G478"));
            // Last year's answers are not carried over.
            ds.fieldByName("LASS7MOD730")->setAsString(QStringLiteral("1"));
        } else {
            ds.fieldByName("SDAU7GRUPPOANA")->setAsString(QStringLiteral("A"));
            ds.fieldByName("SDAU7SEX")->setAsString(QStringLiteral("M"));
            ds.fieldByName("DDAU7DATANAS")->setAsDate(QDate(1968, 11, 30));
            ds.fieldByName("SDAU7COMNAS")->setAsString(QStringLiteral("TERNI"));
            ds.fieldByName("SDAU7PROVNAS")->setAsString(QStringLiteral("TR"));
            ds.fieldByName("SDAU7COMUNE")->setAsString(QStringLiteral("ASSISI"));
            ds.fieldByName("SDAU7PROVINCIA")->setAsString(QStringLiteral("PG"));
            ds.fieldByName("SREGCODICE")->setAsString(QStringLiteral("10"));
            ds.fieldByName("SDAU7INDIRIZZZO")->setAsString(QStringLiteral("VIA SAN FRANCESCO 3"));
            ds.fieldByName("SDAU7CODFISESTERO")->setAsString(QStringLiteral("NON COPIATO"));
        }
        ds.post();
        store.saveCds(section, ds);
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
    // Everything the return holds of a section, and its registry rows.
    QString snapshot(PreviousKind kind)
    {
        auto ds = section(previousSection(kind));
        return formatSection(*ds, SectionFormat::Csv)
               + conn.scalar(QStringLiteral("SELECT COUNT(*) FROM tafi_anafiscale")).toString() + u'/'
               + conn.scalar(QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali")).toString();
    }

    PreviousImportResult import(PreviousKind kind, const QString &dir)
    {
        TPreviousRegistryImport imp(conn, store, kind);
        return imp.run(dir);
    }

    TestDatabase tdb;
    TQxSQLConnection conn;
    TQmrDBCds svc{2024, QStringLiteral("jex"), 0};
    DbCdsStore store{&svc};
};

// "CF|COGNOME|NOME" of every row, sorted.
QStringList persons(ClientDataSet &ds, PreviousKind kind)
{
    const QString p = kind == PreviousKind::Employees ? QStringLiteral("SDIP7") : QStringLiteral("SDAU7");
    QStringList out;
    for (ds.first(); !ds.eof(); ds.next())
        out << ds.fieldByName(p + "CODFIS")->asString() + u'|' + ds.fieldByName(p + "COGNOME")->asString() + u'|'
                   + ds.fieldByName(p + "NOME")->asString();
    out.sort();
    return out;
}

bool locateCf(ClientDataSet &ds, PreviousKind kind, const QString &cf)
{
    return ds.locate(kind == PreviousKind::Employees ? QStringLiteral("SDIP7CODFIS") : QStringLiteral("SDAU7CODFIS"),
                     cf);
}

const Person kRossi{QStringLiteral("RSSMRA70A01G478X"), QStringLiteral("ROSSI"), QStringLiteral("MARIA")};
const Person kBianchi{QStringLiteral("BNCLCU71C42G478Y"), QStringLiteral("BIANCHI"), QStringLiteral("LUCIA")};
const Person kVerdi{QStringLiteral("VRDPLA69T10L117Z"), QStringLiteral("VERDI"), QStringLiteral("PAOLA")};

} // namespace

Q_DECLARE_METATYPE(jex::PreviousKind)

class TstPreviousImport : public QObject
{
    Q_OBJECT

    ScriptedMessageService m_messages{ModalResult::Yes};
    QTemporaryDir m_tmp;

    // Last year's return of ROSSI, BIANCHI and VERDI, exported as the program
    // exports it into a folder "USR/YRDati/YR2023" of its own.
    QString exportPreviousYear(const QString &db, PreviousKind kind)
    {
        Return previous(db, QStringLiteral("previous_src_") + db);
        for (const Person &p : {kRossi, kBianchi, kVerdi})
            previous.add(kind, p);
        static int n = 0;
        const QString dir = m_tmp.filePath(QStringLiteral("inst%1/USR/YRDati/YR2023").arg(++n));
        [&] { QVERIFY(previous.svc.ExportCds(QStringLiteral("jex"), 2024, dir, 0)); }();
        return dir;
    }
    static QString sourceFile(const QString &dir, PreviousKind kind)
    {
        const QStringList f = QDir(dir).entryList({previousSection(kind) + QStringLiteral(".cds")}, QDir::Files);
        return f.isEmpty() ? QString() : QDir(dir).filePath(f.first());
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QString src = qEnvironmentVariable("JEX770_SOURCE_DIR");
        QVERIFY(!src.isEmpty());
        QVERIFY(m_tmp.isValid());
        Paths::setMainDir(src + QStringLiteral("/data/"));
        setMessageService(&m_messages);
    }
    void init() { m_messages.clear(); }
    void cleanupTestCase() { setMessageService(nullptr); }

    void addsOnlyNewPersons_data()
    {
        QTest::addColumn<QString>("db");
        QTest::addColumn<PreviousKind>("kind");
        for (const char *db : {"sqlite", "postgresql"}) {
            QTest::newRow(qPrintable(QString::fromLatin1(db) + " employees")) << QString::fromLatin1(db)
                                                                              << PreviousKind::Employees;
            QTest::newRow(qPrintable(QString::fromLatin1(db) + " self-employed")) << QString::fromLatin1(db)
                                                                                  << PreviousKind::SelfEmployed;
        }
    }
    void addsOnlyNewPersons()
    {
        QFETCH(QString, db);
        QFETCH(PreviousKind, kind);
        Return current(db, QStringLiteral("previous_dst_") + db);
        if (!current.tdb.available())
            QSKIP(qPrintable(current.tdb.skipReason()));
        const QString dir = exportPreviousYear(db, kind);
        // BIANCHI is in this year's return already, under her married name.
        current.add(kind, {kBianchi.cf, QStringLiteral("BIANCHI IN NERI"), kBianchi.nome});
        m_messages.clear();

        const PreviousImportResult r = current.import(kind, dir);
        QCOMPARE(r.added, 2);
        QCOMPARE(r.present, 1);
        QCOMPARE(r.failed, 0);
        auto ds = current.section(previousSection(kind));
        QCOMPARE(persons(*ds, kind),
                 (QStringList{"BNCLCU71C42G478Y|BIANCHI IN NERI|LUCIA", "RSSMRA70A01G478X|ROSSI|MARIA",
                              "VRDPLA69T10L117Z|VERDI|PAOLA"}));
        QVERIFY(locateCf(*ds, kind, kRossi.cf));
        if (kind == PreviousKind::Employees) {
            QCOMPARE(ds->fieldByName("DDIP7DATANAS")->asDate(), QDate(1971, 3, 2));
            QCOMPARE(ds->fieldByName("SCAP7CODICE")->asString(), QStringLiteral("06121"));
            QCOMPARE(ds->fieldByName("SDIP7CODCOM")->asString(), QStringLiteral("G478"));
            QVERIFY(ds->fieldByName("LASS7MOD730")->asString() != QStringLiteral("1"));
        } else {
            QCOMPARE(ds->fieldByName("SDAU7GRUPPOANA")->asString(), QStringLiteral("A"));
            QCOMPARE(ds->fieldByName("SDAU7INDIRIZZZO")->asString(), QStringLiteral("VIA SAN FRANCESCO 3"));
            QCOMPARE(ds->fieldByName("SREGCODICE")->asString(), QStringLiteral("10"));
            QCOMPARE(ds->fieldByName("DDAU7DATANAS")->asDate(), QDate(1968, 11, 30));
            // Only the registry columns are carried over.
            QVERIFY(ds->fieldByName("SDAU7CODFISESTERO")->isNull());
        }
        // Each person has a registry record of this return's own.
        QVERIFY(ds->fieldByName("IAFIID")->asInteger() > 0);
        QCOMPARE(m_messages.texts().size(), 1);
        QVERIFY2(m_messages.texts().first().startsWith(QStringLiteral("Fine operazione\nAnagrafiche aggiunte: 2;")),
                 qPrintable(m_messages.texts().first()));

        // A second run finds everybody present and changes nothing.
        const QString before = current.snapshot(kind);
        const PreviousImportResult again = current.import(kind, dir);
        QCOMPARE(again.added, 0);
        QCOMPARE(again.present, 3);
        QCOMPARE(current.snapshot(kind), before);
    }

    void refusedSources_data()
    {
        QTest::addColumn<QString>("db");
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("message"); // a part of the one message shown
        for (const char *db : {"sqlite", "postgresql"}) {
            const QString d = QString::fromLatin1(db);
            auto row = [&](const char *name) { return &QTest::newRow(qPrintable(d + u' ' + QLatin1String(name))); };
            *row("no folder") << d << "nofolder" << "Il percorso selezionato non esiste\n\rScegliere un percorso valido";
            *row("folder without the file") << d << "nofile" << "Non esistono i file nel percorso selezionato\nManca il file TDIP7_ANAGRFISCALI.CDS";
            *row("damaged") << d << "damaged" << "è danneggiato o non è un archivio valido";
            *row("truncated") << d << "truncated" << "è danneggiato o non è un archivio valido";
            *row("another table") << d << "other" << "non contiene la tabella TDIP7_ANAGRFISCALI: mancano le colonne SDIP7COGNOME";
        }
    }
    void refusedSources()
    {
        QFETCH(QString, db);
        QFETCH(QString, damage);
        QFETCH(QString, message);
        const PreviousKind kind = PreviousKind::Employees;
        Return current(db, QStringLiteral("previous_dst_") + db);
        if (!current.tdb.available())
            QSKIP(qPrintable(current.tdb.skipReason()));
        QString dir = exportPreviousYear(db, kind);
        current.add(kind, kBianchi);
        const QString file = sourceFile(dir, kind);
        QVERIFY(!file.isEmpty());
        QFile f(file);
        if (damage == u"nofolder") {
            dir += QStringLiteral("/manca");
        } else if (damage == u"nofile") {
            QVERIFY(f.remove());
        } else if (damage == u"damaged" || damage == u"truncated") {
            QVERIFY(f.open(QIODevice::ReadOnly));
            QByteArray bytes = f.readAll();
            f.close();
            if (damage == u"damaged")
                bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x20);
            else
                bytes.truncate(bytes.size() * 2 / 3);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(bytes);
            f.close();
        } else if (damage == u"other") {
            // An employee section of the same export, under the registry's name.
            const QString other = QDir(dir).filePath(QStringLiteral("TREE7_REDDITOESTER.cds"));
            QVERIFY(QFile::exists(other));
            QVERIFY(f.remove());
            QVERIFY(QFile::copy(other, file));
        }
        const QString before = current.snapshot(kind);
        m_messages.clear();

        QVERIFY_THROWS_EXCEPTION(EAbort, current.import(kind, dir));
        QCOMPARE(current.snapshot(kind), before);
        const QStringList shown = m_messages.texts();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().contains(message), qPrintable(shown.first()));
        if (damage != u"nofolder" && damage != u"nofile")
            QVERIFY2(shown.first().contains(QDir::toNativeSeparators(file)), qPrintable(shown.first()));
    }

    // The file's name in another case, a row without codice fiscale, a
    // person whose save fails halfway: the persons before it stay, the rest
    // of the run goes on, the failed one leaves nothing behind.
    void personFaults_data() { TestDatabase::addDatabaseRows(); }
    void personFaults()
    {
        QFETCH(QString, db);
        const PreviousKind kind = PreviousKind::Employees;
        Return current(db, QStringLiteral("previous_dst_") + db);
        if (!current.tdb.available())
            QSKIP(qPrintable(current.tdb.skipReason()));
        const QString dir = exportPreviousYear(db, kind);
        const QString file = sourceFile(dir, kind);
        {
            // A row that lost its codice fiscale, between the others.
            ClientDataSet src;
            src.loadFromFile(file);
            src.append();
            src.fieldByName("SDIP7COGNOME")->setAsString(QStringLiteral("SENZACODICE"));
            src.fieldByName("SDIP7NOME")->setAsString(QStringLiteral("ANNA"));
            src.post();
            // And one with nothing but code and names, which the return
            // could not keep as a row of its own.
            src.append();
            src.fieldByName("SDIP7CODFIS")->setAsString(QStringLiteral("NRINNA80A41G478W"));
            src.fieldByName("SDIP7COGNOME")->setAsString(QStringLiteral("NERI"));
            src.fieldByName("SDIP7NOME")->setAsString(QStringLiteral("ANNA"));
            src.post();
            QVERIFY(QFile::remove(file));
            src.saveToFile(QDir(dir).filePath(QStringLiteral("tdip7_anagrfiscali.CDS")));
        }
        // The database refuses BIANCHI's registry record after it was begun.
        const QString refused = kBianchi.cf;
        if (current.conn.dialect() == Dialect::PostgreSQL) {
            current.conn.exec(QStringLiteral(
                "CREATE FUNCTION jex_test_refuse() RETURNS trigger AS $body$ BEGIN "
                "IF upper(NEW.saficodfiscale) = '%1' THEN RAISE EXCEPTION 'registro rifiutato'; END IF; "
                "RETURN NEW; END $body$ LANGUAGE plpgsql").arg(refused));
            current.conn.exec(QStringLiteral("CREATE TRIGGER jex_test_refuse BEFORE UPDATE ON tafi_anafiscale "
                                             "FOR EACH ROW EXECUTE FUNCTION jex_test_refuse()"));
        } else {
            current.conn.exec(QStringLiteral("CREATE TRIGGER jex_test_refuse BEFORE UPDATE ON tafi_anafiscale "
                                             "WHEN upper(NEW.saficodfiscale) = '%1' "
                                             "BEGIN SELECT RAISE(ABORT, 'registro rifiutato'); END").arg(refused));
        }
        const int registryBefore = current.conn.scalar(QStringLiteral("SELECT COUNT(*) FROM tafi_anafiscale")).toInt();
        m_messages.clear();

        const PreviousImportResult r = current.import(kind, dir);
        QCOMPARE(r.added, 2);
        QCOMPARE(r.failed, 2);
        QCOMPARE(r.skipped, 1);
        QVERIFY(!current.conn.inTransaction());
        auto ds = current.section(previousSection(kind));
        QCOMPARE(persons(*ds, kind), (QStringList{"RSSMRA70A01G478X|ROSSI|MARIA", "VRDPLA69T10L117Z|VERDI|PAOLA"}));
        // Nothing of BIANCHI's rolled-back record is left.
        QCOMPARE(current.conn.scalar(QStringLiteral("SELECT COUNT(*) FROM tafi_anafiscale")).toInt(), registryBefore + 2);

        const QStringList shown = m_messages.texts();
        QCOMPARE(shown.size(), 4);
        QVERIFY2(shown[0].startsWith(QStringLiteral("Controllare i dati di BIANCHI LUCIA (BNCLCU71C42G478Y) nel file ")),
                 qPrintable(shown[0]));
        QVERIFY2(shown[1].startsWith(QStringLiteral("Anagrafica senza codice fiscale alla riga 4 del file ")), qPrintable(shown[1]));
        QVERIFY2(shown[1].contains(QStringLiteral("SENZACODICE ANNA")), qPrintable(shown[1]));
        QVERIFY2(shown[2].startsWith(QStringLiteral("Controllare i dati di NERI ANNA (NRINNA80A41G478W) nel file ")),
                 qPrintable(shown[2]));
        QVERIFY2(shown[2].contains(QStringLiteral("oltre al codice fiscale e al nominativo non ha alcun dato")),
                 qPrintable(shown[2]));
        QVERIFY(shown[3].startsWith(QStringLiteral("Fine operazione")));
        QVERIFY(r.report().contains(QStringLiteral("BIANCHI LUCIA (BNCLCU71C42G478Y): non importato: ")));
    }
};

JEX_TEST_MAIN(TstPreviousImport)
#include "tst_previousimport.moc"
