// Code lists completed at run time: the file a user loads, what stays in
// place when it is wrong, which list is in force afterwards, and the codes
// of the return checked against a list that is not empty.

#include "codelists/codecheck.h"
#include "codelists/codelistfile.h"
#include "codelists/codelists.h"

#include "base/errors.h"
#include "dataset/dataset.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include "coretest.h"

#include <QtTest>

using namespace jex;

namespace {

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A delivered list from the text of its source.
void deliver(const QString &dir, const QString &name, const QByteArray &source)
{
    ClientDataSet ds;
    readCodeListText(source, name, {}, ds);
    QDir().mkpath(dir);
    ds.saveToFile(dir + u'/' + name + QStringLiteral(".CDS"));
}

QStringList codes(ClientDataSet &ds)
{
    QStringList out;
    for (ds.first(); !ds.eof(); ds.next())
        out << ds.field(0)->asString();
    return out;
}

} // namespace

class TstCodeLists : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_delivered;
    QString m_user;

    CodeLists lists() const { return CodeLists(m_delivered, m_user); }

private Q_SLOTS:
    void init()
    {
        QDir(m_tmp.path()).removeRecursively();
        QDir().mkpath(m_tmp.path());
        m_delivered = m_tmp.filePath(QStringLiteral("Res/Tabelle"));
        m_user = m_tmp.filePath(QStringLiteral("YRDati/Tabelle"));
        deliver(m_delivered, QStringLiteral("TNOT_NOTE"), "# Fonte: prova\nCODICE:S:5\tDESCRIZIONE:S:20\n");
        deliver(m_delivered, QStringLiteral("TEEC_EVENTIECCEZIONALI"),
                "# Fonte: prova\nCODICE:I\tDESCRIZIONE:S:20\n1\tEstorsione\n");
    }

    void badFilesChangeNothing_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("codeWidth");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing column") << "TNOT_NOTE" << QByteArray("CODICE\n20\n") << 0
                                        << "riga 1: manca la colonna DESCRIZIONE";
        QTest::newRow("wrong column") << "TNOT_NOTE" << QByteArray("CODICE\tDESCR\n20\tx\n") << 0
                                      << "riga 1: la colonna 2 deve essere DESCRIZIONE, non DESCR";
        QTest::newRow("extra column") << "TNOT_NOTE" << QByteArray("CODICE\tDESCRIZIONE\tX\n20\tx\t1\n") << 0
                                      << "riga 1: la colonna X non è una colonna della tabella";
        QTest::newRow("other width in header") << "TNOT_NOTE" << QByteArray("CODICE:S:9\tDESCRIZIONE\n20\tx\n") << 0
                                               << "riga 1: la colonna CODICE è CODICE:S:5 nella tabella";
        QTest::newRow("duplicate code")
            << "TNOT_NOTE" << QByteArray("# Fonte: x\nCODICE\tDESCRIZIONE\n20\ta\n21\tb\n20\tc\n") << 0
            << "riga 5: il codice \"20\" è già alla riga 3";
        QTest::newRow("same integer written twice")
            << "TEEC_EVENTIECCEZIONALI" << QByteArray("CODICE\tDESCRIZIONE\n7\ta\n07\tb\n") << 0
            << "riga 3: il codice \"07\" è già alla riga 2";
        QTest::newRow("code too long for the list") << "TNOT_NOTE" << QByteArray("CODICE\tDESCRIZIONE\n123456\ta\n") << 0
                                                    << "riga 2: il codice \"123456\" è più lungo di 5 caratteri";
        QTest::newRow("code too long for the return's column")
            << "TNOT_NOTE" << QByteArray("CODICE\tDESCRIZIONE\n1\ta\n123\tb\n") << 2
            << "riga 3: il codice \"123\" è più lungo di 2 caratteri";
        QTest::newRow("not numeric") << "TEEC_EVENTIECCEZIONALI" << QByteArray("CODICE\tDESCRIZIONE\n1\ta\n9A\tb\n") << 0
                                     << "riga 3: il codice \"9A\" non è un numero intero";
        QTest::newRow("missing code") << "TNOT_NOTE" << QByteArray("CODICE\tDESCRIZIONE\n\ta\n") << 0
                                      << "riga 2: manca il codice";
        QTest::newRow("cells missing") << "TNOT_NOTE" << QByteArray("CODICE;DESCRIZIONE\n20;a\n21\n") << 0
                                       << "riga 3: 1 colonne invece di 2";
        QTest::newRow("description too long")
            << "TNOT_NOTE" << QByteArray("CODICE\tDESCRIZIONE\n20\tUna descrizione di oltre venti lettere\n") << 0
            << "riga 2: il testo della colonna DESCRIZIONE è più lungo di 20 caratteri";
        QTest::newRow("empty file") << "TNOT_NOTE" << QByteArray() << 0 << "il file è vuoto";
        QTest::newRow("comments only") << "TNOT_NOTE" << QByteArray("# Fonte: x\n\n") << 0 << "il file è vuoto";
        QTest::newRow("header only") << "TNOT_NOTE" << QByteArray("CODICE\tDESCRIZIONE\n") << 0
                                     << "il file non contiene codici";
        QTest::newRow("unknown list") << "TNOT_NOTEX" << QByteArray("CODICE\tDESCRIZIONE\n20\ta\n") << 0
                                      << "Tabella dei codici sconosciuta: TNOT_NOTEX";
    }
    void badFilesChangeNothing()
    {
        QFETCH(QString, list);
        QFETCH(QByteArray, file);
        QFETCH(int, codeWidth);
        QFETCH(QString, error);
        // A list the user completed before: the bad file must leave it in force.
        const QString first = m_tmp.filePath(QStringLiteral("first.tsv"));
        write(first, "CODICE\tDESCRIZIONE\n1\tPrima\n");
        lists().load(QStringLiteral("TNOT_NOTE"), first);
        const QString inForce = lists().filePath(QStringLiteral("TNOT_NOTE"));
        const QByteArray before = contents(inForce);
        const QByteArray backup = contents(inForce + QStringLiteral(".bak"));

        const QString path = m_tmp.filePath(QStringLiteral("new.tsv"));
        write(path, file);
        try {
            lists().load(list, path, codeWidth);
            QFAIL("the file was accepted");
        } catch (const EQxError &e) {
            QVERIFY2(e.message().contains(error), qPrintable(e.message()));
            if (list == u"TNOT_NOTE")
                QVERIFY2(e.message().startsWith(QStringLiteral("new.tsv")), qPrintable(e.message()));
        }
        QCOMPARE(contents(inForce), before);
        QCOMPARE(contents(inForce + QStringLiteral(".bak")), backup);
        QVERIFY(!QFile::exists(m_user + QStringLiteral("/TNOT_NOTEX.CDS")));
    }

    void goodFileTakesThePlaceOfTheDeliveredList_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("tab, typed header") << QByteArray("# Fonte: istruzioni\nCODICE:S:5\tDESCRIZIONE:S:20\n20\tSospesi Covid\n"
                                                         "Z1\tCittà e società\n");
        QTest::newRow("semicolons, names only, CRLF")
            << QByteArray("# Fonte: istruzioni\r\nCODICE;DESCRIZIONE\r\n20;Sospesi Covid\r\nZ1;Città e società\r\n");
        QTest::newRow("Latin-1") << QByteArray("# Fonte: istruzioni\nCODICE,DESCRIZIONE\n20,Sospesi Covid\nZ1,Citt\xE0 e societ\xE0\n");
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF# Fonte: istruzioni\nCODICE;DESCRIZIONE\n20;Sospesi Covid\n"
                                                      "Z1;Città e società\n");
        QTest::newRow("quoted separators")
            << QByteArray("CODICE;DESCRIZIONE\n\"20\";\"Sospesi Covid\"\n\"Z1\";\"Città e società\"\n");
    }
    void goodFileTakesThePlaceOfTheDeliveredList()
    {
        QFETCH(QByteArray, file);
        const QString delivered = m_delivered + QStringLiteral("/TNOT_NOTE.CDS");
        const QByteArray deliveredBytes = contents(delivered);
        const QString path = m_tmp.filePath(QStringLiteral("note.txt"));
        write(path, file);

        const CodeListLoadResult r = lists().load(QStringLiteral("tnot_note"), path, 5);
        QCOMPARE(r.rows, 2);
        QCOMPARE(r.previousRows, 0);

        // The delivered file is untouched; the user's list is now in force.
        QCOMPARE(contents(delivered), deliveredBytes);
        const CodeListInfo info = lists().info(QStringLiteral("TNOT_NOTE.CDS"));
        QVERIFY(info.updated);
        QCOMPARE(info.rows, 2);
        QVERIFY(info.path.startsWith(m_user));
        QVERIFY2(info.source.contains(QStringLiteral("note.txt")), qPrintable(info.source));
        ClientDataSet ds;
        lists().open(QStringLiteral("TNOT_NOTE"), ds);
        QCOMPARE(codes(ds), (QStringList{QStringLiteral("20"), QStringLiteral("Z1")}));
        ds.last();
        QCOMPARE(ds.field(1)->asString(), QStringLiteral("Città e società"));
        QVERIFY(lists().contains(QStringLiteral("TNOT_NOTE"), QStringLiteral("Z1")));
        QVERIFY(!lists().contains(QStringLiteral("TNOT_NOTE"), QStringLiteral("Z2")));
    }

    void secondLoadKeepsTheFirstAsBackup()
    {
        const QString a = m_tmp.filePath(QStringLiteral("a.tsv"));
        const QString b = m_tmp.filePath(QStringLiteral("b.tsv"));
        write(a, "CODICE\tDESCRIZIONE\n1\tUno\n2\tDue\n");
        write(b, "CODICE\tDESCRIZIONE\n3\tTre\n");
        lists().load(QStringLiteral("TNOT_NOTE"), a);
        QVERIFY(lists().contains(QStringLiteral("TNOT_NOTE"), QStringLiteral("2")));
        const CodeListLoadResult r = lists().load(QStringLiteral("TNOT_NOTE"), b);
        QCOMPARE(r.previousRows, 2);
        // The list is read again at once after the change, not from the cache.
        QVERIFY(!lists().contains(QStringLiteral("TNOT_NOTE"), QStringLiteral("2")));
        QVERIFY(lists().contains(QStringLiteral("TNOT_NOTE"), QStringLiteral("3")));
        ClientDataSet backup;
        backup.loadFromFile(r.backup);
        QCOMPARE(codes(backup), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
        // A program upgrade replaces the delivered folder only.
        deliver(m_delivered, QStringLiteral("TNOT_NOTE"), "CODICE:S:5\tDESCRIZIONE:S:20\n9\tNuovo\n");
        QVERIFY(lists().contains(QStringLiteral("TNOT_NOTE"), QStringLiteral("3")));
        QVERIFY(!lists().contains(QStringLiteral("TNOT_NOTE"), QStringLiteral("9")));
    }

    void namesJoinBothFolders()
    {
        deliver(m_user, QStringLiteral("TXYZ_SOLOUTENTE"), "CODICE:S:2\n1\n");
        QCOMPARE(lists().names(), (QStringList{QStringLiteral("TEEC_EVENTIECCEZIONALI"), QStringLiteral("TNOT_NOTE"),
                                               QStringLiteral("TXYZ_SOLOUTENTE")}));
        QCOMPARE(lists().info(QStringLiteral("TNOT_NOTE")).source, QString()); // delivered without a source file
        QVERIFY(!lists().info(QStringLiteral("TNOT_NOTE")).updated);
    }

    void unknownCodes_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("warning"); // empty: none
        QTest::newRow("integer code in list") << "LPSTEVENTIECC" << QVariant(1) << "";
        QTest::newRow("integer code not in list")
            << "LPSTEVENTIECC" << QVariant(5) << "colonna LPSTEVENTIECC: il codice 5 non è nella tabella TEEC_EVENTIECCEZIONALI";
        QTest::newRow("no event chosen") << "LPSTEVENTIECC" << QVariant(0) << "";
        QTest::newRow("text column of an integer list") << "SSOSEVENTECC" << QVariant("01") << "";
        QTest::newRow("empty list checks nothing") << "SNOTCODICE" << QVariant("ZZ") << "";
        QTest::newRow("column without list") << "SPSTMESE" << QVariant("99") << "";
    }
    void unknownCodes()
    {
        QFETCH(QString, column);
        QFETCH(QVariant, value);
        QFETCH(QString, warning);
        ClientDataSet ds;
        ds.addField(column, column.startsWith(u'L') ? FieldType::Integer : FieldType::String, 5);
        ds.createDataSet();
        ds.appendRecord({value});
        const QStringList w = unknownCodeWarnings(ds, lists());
        QCOMPARE(w, warning.isEmpty() ? QStringList() : QStringList{warning});
        const QStringList f = unknownCodeFindings(ds, lists());
        QCOMPARE(f.size(), w.size());
        if (!f.isEmpty())
            QCOMPARE(f.first(), QStringLiteral(" - Codice non presente nella tabella TEEC_EVENTIECCEZIONALI: %1 = %2")
                                    .arg(column, value.toString()));
    }

    void deliveredSourcesAreValid()
    {
        // Every delivered source reads with the checks a user's file gets.
        const QDir dir(qEnvironmentVariable("JEX770_SOURCE_DIR") + QStringLiteral("/data/codelists"));
        const QStringList files = dir.entryList({QStringLiteral("*.tsv")});
        QVERIFY(files.size() > 30);
        for (const QString &f : files) {
            ClientDataSet ds;
            CodeListReadOptions opt;
            opt.codeWidth = codeListColumnWidth(f.chopped(4));
            try {
                const QString source = readCodeListFile(dir.filePath(f), opt, ds);
                QVERIFY2(!source.isEmpty() && !source.startsWith(QStringLiteral("Fonte")), qPrintable(f));
            } catch (const EQxError &e) {
                QFAIL(qPrintable(e.message()));
            }
        }
    }
};

JEX_TEST_MAIN(TstCodeLists)
#include "tst_codelists.moc"
