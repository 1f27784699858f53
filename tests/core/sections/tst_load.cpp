// Loading a file into a table of the return, on both databases: a file that
// is not one of the table's replaces nothing, a value that does not fit is
// refused with its place and column and never altered, texts in Windows-1252
// are read as such, one-row tables keep to one row, and a check that finds a
// row already saved at fault names that row, not a line of the file.

#include "catalogue/catalogue.h"
#include "database/structureservice.h"
#include "base/errors.h"
#include "sections/transfer.h"
#include "testdb.h"

#include <QFile>
#include <QTemporaryDir>
#include "coretest.h"

#include <QtTest>

using namespace jex;

namespace {

const QString kSt = QStringLiteral("TPST_PROSPETTOST");

const CatalogueTable &table(const QString &name)
{
    const CatalogueTable *t = TableCatalogue::instance().table(QStringLiteral("jex"), name);
    if (!t)
        qFatal("tabella %s assente dal catalogo", qPrintable(name));
    return *t;
}

// The rows of a table as show prints them, without the service's numbers.
QStringList rowsOf(TQmrDBCds &svc, const QString &name)
{
    ClientDataSet ds;
    svc.OpenCds(ds, name);
    QStringList rows;
    for (ds.first(); !ds.eof(); ds.next()) {
        QStringList cells;
        for (int i = 0; i < ds.fieldCount(); ++i)
            if (ds.field(i)->name() != u"IAFIID" && ds.field(i)->name() != u"IFISRIGO")
                cells << ds.field(i)->asString();
        rows << cells.join(u';');
    }
    return rows;
}

} // namespace

#define OPEN_SERVICE()                                                    \
    JEX_TEST_DATABASE(tdb);                                               \
    TQxSQLConnection conn(QStringLiteral("tst_load"));                    \
    conn.open(DatabaseUrl::parse(tdb.url()));                             \
    TQmrDBCds svc(2024, QStringLiteral("jex"), 0);                        \
    svc.SetConnection(&conn);                                             \
    svc.SetShowWait(false)

class TstLoad : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_files = 0;

    QString file(const QByteArray &content)
    {
        QFile f(m_dir.filePath(QStringLiteral("in%1.txt").arg(++m_files)));
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            qFatal("impossibile scrivere il file di prova");
        return f.fileName();
    }

    QString refusal(TQmrDBCds &svc, const QString &name, const QByteArray &content, bool replace)
    {
        try {
            loadSection(svc, table(name), file(content), replace);
        } catch (const EQxError &e) {
            return e.message();
        }
        return {};
    }

private Q_SLOTS:
    void initTestCase()
    {
        // A check of the kind the entry windows register, on a column no
        // window checks.
        SectionLoadHooks::addRowCheck(kSt, [](const ClientDataSet &ds) {
            const Field *f = ds.findField(QStringLiteral("SPSTCODTRIBUTO"));
            if (f && f->asString() == u"9999")
                return SectionLoadHooks::Fault{QStringLiteral("SPSTCODTRIBUTO"), QStringLiteral("codice 9999 non ammesso")};
            return SectionLoadHooks::Fault{};
        });
    }

    void refusedFileChangesNothing_data()
    {
        QTest::addColumn<QString>("db");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("told");
        struct Case { const char *name; QByteArray content; const char *told; };
        const QByteArray huge = "SPSTMESE;SPSTCODTRIBUTO\n01;" + QByteArray(200000, 'X') + "\n";
        const QList<Case> cases{
            {"empty file", "", "è vuoto: manca la riga di intestazione"},
            {"blank lines", "\n\r\n\n", "è vuoto"},
            {"JSON object", "{\"SPSTMESE\": \"01\", \"SPSTANNO\": \"2024\"}", "contiene un oggetto JSON: atteso un array"},
            {"binary bytes", QByteArray("\x00\x01\x02\x03", 4), "riga 1: l'intestazione contiene il carattere U+0000"},
            {"UTF-16", QByteArray("\xff\xfeS\x00P\x00", 6), "è in UTF-16"},
            {"image", QByteArray("\x89PNG\r\n\x1a\n\x00\x00", 10), "riga 1, colonna \xe2\x80\xb0PNG: colonna sconosciuta"},
            {"header of another table", "SSOSCODFIS;SSOSDENOM\n", "riga 1, colonna SSOSCODFIS: colonna sconosciuta nella tabella TPST_PROSPETTOST"},
            {"unknown column", "SPSTMESE;SPSTNONCE\n01;2\n", "riga 1, colonna SPSTNONCE: colonna sconosciuta"},
            {"duplicate column", "SPSTMESE;SPSTANNO;spstmese\n01;2024;02\n", "riga 1, colonna spstmese: colonna ripetuta nell'intestazione (colonne n. 1 e 3)"},
            {"empty header cell", "SPSTMESE;;SPSTANNO\n01;;2024\n", "riga 1, colonna n. 2: nome di colonna vuoto nell'intestazione"},
            {"more values than columns", "SPSTMESE;SPSTANNO\n01;2024;x\n", "riga 2, colonna n. 3: più valori che colonne"},
            {"amount beyond int64", "SPSTMESE;FPSTRITOPEARTE\n01;10\n02;-1000000000000000\n", "riga 3, colonna FPSTRITOPEARTE: importo \"-1000000000000000\" fuori dall'intervallo"},
            {"amount of 13 digits", "SPSTMESE;FPSTRITOPEARTE\n01;1000000000000,00\n", "riga 2, colonna FPSTRITOPEARTE: importo"},
            {"three decimals", "SPSTMESE;FPSTRITOPEARTE\n01;10,123\n", "riga 2, colonna FPSTRITOPEARTE: valore \"10,123\" non valido (al massimo 2 decimali)"},
            {"integer overflow", "SPSTMESE;LPSTRAVVEDIMENTO\n01;99999999999999999999\n", "riga 2, colonna LPSTRAVVEDIMENTO"},
            {"JSON amount beyond range", "[{\"SPSTMESE\": \"01\", \"FPSTRITOPEARTE\": -1e15}]", "elemento 1, colonna FPSTRITOPEARTE: importo"},
            {"JSON three decimals", "[{\"SPSTMESE\": \"01\"}, {\"FPSTRITOPEARTE\": 10.123}]", "elemento 2, colonna FPSTRITOPEARTE: valore \"10.123\" non valido (al massimo 2 decimali)"},
            {"JSON nested object", "[{\"SPSTMESE\": \"01\", \"SPSTCODTRIBUTO\": {\"codice\": \"1001\"}}]", "elemento 1, colonna SPSTCODTRIBUTO: un oggetto annidato non è un valore ammesso"},
            {"JSON nested array", "[{\"SPSTMESE\": [\"01\", \"02\"]}]", "elemento 1, colonna SPSTMESE: un array non è un valore ammesso"},
            {"JSON true in a text", "[{\"SPSTMESE\": true}]", "elemento 1, colonna SPSTMESE: un valore vero/falso"},
            {"JSON element not an object", "[{\"SPSTMESE\": \"01\"}, 7]", "elemento 2: atteso un oggetto"},
            {"JSON unknown column", "[{\"SPSTMESE\": \"01\", \"NONCE\": 1}]", "elemento 1, colonna NONCE: colonna sconosciuta"},
            {"JSON name twice", "[{\"SPSTMESE\": \"01\"}, {\"SPSTMESE\": \"01\", \"SPSTANNO\": \"2024\", \"SPSTMESE\": \"02\"}]", "elemento 2, colonna SPSTMESE: nome ripetuto nello stesso oggetto"},
            {"JSON column twice", "[{\"SPSTMESE\": \"01\", \"spstmese\": \"02\"}]", "elemento 1, colonna "},
            {"JSON flag 7", "[{\"SPSTMESE\": \"01\"}, {\"LPSTRAVVEDIMENTO\": 7}]", "elemento 2, colonna LPSTRAVVEDIMENTO"},
            {"quoted line break", "SPSTMESE;SPSTCODTRIBUTO\n01;\"10\n01\"\n", "riga 2, colonna SPSTCODTRIBUTO: il testo contiene un carattere di controllo (U+000A, a capo)"},
            {"NUL in a text", QByteArray("SPSTMESE;SPSTCODTRIBUTO\n01;10") + '\0' + "1\n", "riga 2, colonna SPSTCODTRIBUTO: il testo contiene un carattere di controllo (U+0000, NUL)"},
            {"tab in a text", "SPSTMESE;SPSTCODTRIBUTO\n01;10\t1\n", "(U+0009, tabulazione)"},
            {"replacement character", "SPSTMESE;SPSTCODTRIBUTO\n01;1\xef\xbf\xbd\n", "riga 2, colonna SPSTCODTRIBUTO: il testo contiene il carattere sostitutivo U+FFFD"},
            {"byte Windows-1252 leaves undefined", "SPSTMESE;SPSTCODTRIBUTO\n01;\xe8\x81\n", "riga 2, colonna SPSTCODTRIBUTO: il testo contiene un carattere di controllo (U+0081"},
            {"huge value is cut", huge, "il testo \"XXXXXXXXXX"},
        };
        for (const char *db : {"sqlite", "postgresql"})
            for (const Case &c : cases)
                QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(db), QLatin1String(c.name))))
                    << QString::fromLatin1(db) << c.content << QString::fromUtf8(c.told);
    }

    // The table holds two rows; with --replace a refused file must leave them.
    void refusedFileChangesNothing()
    {
        OPEN_SERVICE();
        QFETCH(QByteArray, content);
        QFETCH(QString, told);
        loadSection(svc, table(kSt), file("SPSTMESE;SPSTANNO;FPSTRITOPEARTE\n01;2024;10,50\n02;2024;20\n"), false);
        const QStringList before = rowsOf(svc, kSt);
        QCOMPARE(before.size(), 2);
        const QString message = refusal(svc, kSt, content, true);
        QVERIFY2(message.startsWith(QStringLiteral("Il file non è stato caricato: ")), qPrintable(message));
        QVERIFY2(message.contains(told), qPrintable(message));
        QVERIFY2(message.size() < 400, qPrintable(message.left(500))); // a huge value is not echoed whole
        QCOMPARE(rowsOf(svc, kSt), before);
        QVERIFY(!conn.inTransaction());
    }

    void headerAloneReplacesWithNothing_data() { TestDatabase::addDatabaseRows(); }
    void headerAloneReplacesWithNothing()
    {
        OPEN_SERVICE();
        loadSection(svc, table(kSt), file("SPSTMESE;SPSTANNO\n01;2024\n02;2024\n"), false);
        const SectionLoadResult r = loadSection(svc, table(kSt), file("SPSTMESE;SPSTANNO\n"), true);
        QCOMPARE(r.rows, 0);
        QCOMPARE(r.removed, 2);
        QVERIFY(rowsOf(svc, kSt).isEmpty());
        loadSection(svc, table(kSt), file("SPSTMESE;SPSTANNO\n01;2024\n"), false);
        QCOMPARE(loadSection(svc, table(kSt), file("[]"), true).removed, 1);
        QVERIFY(rowsOf(svc, kSt).isEmpty());
    }

    void valuesKeptAsWritten_data() { TestDatabase::addDatabaseRows(); }
    void valuesKeptAsWritten()
    {
        OPEN_SERVICE();
        loadSection(svc, table(kSt),
                    file("[{\"SPSTMESE\": \"01\", \"FPSTRITOPEARTE\": 10.12, \"FPSTIMPOVERSATO\": 1250, \"LPSTRAVVEDIMENTO\": true},"
                         " {\"SPSTMESE\": \"02\", \"FPSTRITOPEARTE\": 999999999999.99, \"FPSTIMPOVERSATO\": -999999999999.99}]"),
                    false);
        ClientDataSet ds;
        svc.OpenCds(ds, kSt);
        QCOMPARE(ds.recordCount(), 2);
        QVERIFY(ds.locate(QStringLiteral("SPSTMESE"), QStringLiteral("01")));
        QCOMPARE(ds.fieldByName(QStringLiteral("FPSTRITOPEARTE"))->asMoney(), qint64(101200));
        QCOMPARE(ds.fieldByName(QStringLiteral("FPSTIMPOVERSATO"))->asMoney(), qint64(12500000));
        QCOMPARE(ds.fieldByName(QStringLiteral("LPSTRAVVEDIMENTO"))->asInteger(), 1);
        QVERIFY(ds.locate(QStringLiteral("SPSTMESE"), QStringLiteral("02")));
        // The largest amounts the telematic file holds come back to the cent.
        const QString shown = formatSection(ds, SectionFormat::Csv);
        QVERIFY2(shown.contains(QStringLiteral("999999999999.99")), qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("-999999999999.99")), qPrintable(shown));
    }

    // Amounts and dates in the forms a spreadsheet writes and in odd ones:
    // each is kept as the value it stands for, as show prints it, or
    // refused with what is wrong with it.
    void cellsReadAsWritten_data()
    {
        QTest::addColumn<QString>("db");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("shown");   // the cell as show prints it
        QTest::addColumn<QString>("refused"); // the message after the place; empty when kept
        const QString amount = QStringLiteral("FPSTRITOPEARTE"), date = QStringLiteral("DPSTDTVERS");
        auto notAmount = [](const char *v) { return QStringLiteral("valore \"%1\" non valido (atteso un importo)").arg(QLatin1String(v)); };
        auto notDate = [](const char *v) {
            return QStringLiteral("data \"%1\" non valida (attesa aaaa-mm-gg oppure gg/mm/aaaa)").arg(QLatin1String(v));
        };
        struct Case { const char *name; QString column; const char *cell; const char *shown; QString refused; };
        const QList<Case> cases{
            {"whole amount", amount, "10", "10.00", {}},
            {"decimal comma", amount, "10,5", "10.50", {}},
            {"decimal point", amount, "10.50", "10.50", {}},
            {"negative cent", amount, "-0,01", "-0.01", {}},
            {"leading zeros", amount, "0000000000001234,56", "1234.56", {}},
            {"spaces around", amount, " 12,30 ", "12.30", {}},
            {"thousands points", amount, "1.234.567,89", "1234567.89", {}},
            {"thousands commas", amount, "1,234.56", "1234.56", {}},
            {"cents of a binary fraction", amount, "0,07", "0.07", {}},
            {"largest amount", amount, "999999999999.99", "999999999999.99", {}},
            {"largest negative amount", amount, "-999999999999,99", "-999999999999.99", {}},
            {"negative zero", amount, "-0", "", {}},
            {"comma of thousands alone", amount, "1,234", "", QStringLiteral("valore \"1,234\" non valido (al massimo 2 decimali)")},
            {"thirteen digits", amount, "1000000000000", "",
             QStringLiteral("importo \"1000000000000\" fuori dall'intervallo ammesso (al massimo 12 cifre prima dei decimali, "
                            "999.999.999.999,99 in valore assoluto)")},
            {"mark without decimals", amount, "12.", "", notAmount("12.")},
            {"decimals without units", amount, ".5", "", notAmount(".5")},
            {"plus sign", amount, "+5", "", notAmount("+5")},
            {"minus alone", amount, "-", "", notAmount("-")},
            {"exponent", amount, "1e3", "", notAmount("1e3")},
            {"space of thousands", amount, "1 234,56", "", notAmount("1 234,56")},
            {"two commas", amount, "12,3,4", "", notAmount("12,3,4")},
            {"ISO date of a leap year", date, "2024-02-29", "2024-02-29", {}},
            {"Italian date of a leap year", date, "29/02/2024", "2024-02-29", {}},
            {"date with spaces", date, " 2024-01-16 ", "2024-01-16", {}},
            {"year of three digits", date, "01/01/0999", "0999-01-01", {}},
            {"last day", date, "31/12/9999", "9999-12-31", {}},
            {"29 February of a common year", date, "2023-02-29", "", notDate("2023-02-29")},
            {"29/02 of a common year", date, "29/02/2023", "", notDate("29/02/2023")},
            {"29 February of 1900", date, "1900-02-29", "", notDate("1900-02-29")},
            {"year 0", date, "0000-01-01", "", notDate("0000-01-01")},
            {"month 13", date, "2024-13-01", "", notDate("2024-13-01")},
            {"day 0", date, "00/01/2024", "", notDate("00/01/2024")},
            {"month of one digit", date, "2024-1-16", "", notDate("2024-1-16")},
            {"date and time", date, "2024-01-16T10:00", "", notDate("2024-01-16T10:00")},
            {"letter in the day", date, "2024-01-1x", "", notDate("2024-01-1x")},
        };
        for (const char *db : {"sqlite", "postgresql"})
            for (const Case &c : cases)
                QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(db), QLatin1String(c.name))))
                    << QString::fromLatin1(db) << c.column << QString::fromLatin1(c.cell) << QString::fromLatin1(c.shown)
                    << c.refused;
    }

    void cellsReadAsWritten()
    {
        OPEN_SERVICE();
        QFETCH(QString, column);
        QFETCH(QString, cell);
        QFETCH(QString, shown);
        QFETCH(QString, refused);
        const QString message = refusal(svc, kSt, QStringLiteral("SPSTMESE;%1\n01;%2\n").arg(column, cell).toUtf8(), false);
        if (!refused.isEmpty()) {
            QCOMPARE(message, QStringLiteral("Il file non è stato caricato: riga 2, colonna %1: %2").arg(column, refused));
            QVERIFY(rowsOf(svc, kSt).isEmpty());
            return;
        }
        QCOMPARE(message, QString());
        ClientDataSet ds;
        svc.OpenCds(ds, kSt);
        QCOMPARE(ds.recordCount(), 1);
        const QStringList lines = formatSection(ds, SectionFormat::Csv).split(u'\n');
        const qsizetype at = lines.first().split(u';').indexOf(column);
        QVERIFY(at >= 0);
        QCOMPARE(lines.at(1).split(u';').at(at), shown);
    }

    void windows1252IsRead_data() { TestDatabase::addDatabaseRows(); }
    void windows1252IsRead()
    {
        OPEN_SERVICE();
        const QString sy4 = QStringLiteral("TPSY4_PROSPETTOSY4");
        // "PERCHÈ L'ALTRO" and "ANDRÀ" as a spreadsheet on Windows saves them.
        loadSection(svc, table(sy4), file("SSY4DEN;SSY4NOME\nPERCH\xc8 L'ALTRO;ANDR\xc0\n"), false);
        ClientDataSet ds;
        svc.OpenCds(ds, sy4);
        QCOMPARE(ds.recordCount(), 1);
        QCOMPARE(ds.fieldByName(QStringLiteral("SSY4DEN"))->asString(), QStringLiteral("PERCHÈ L'ALTRO"));
        QCOMPARE(ds.fieldByName(QStringLiteral("SSY4NOME"))->asString(), QStringLiteral("ANDRÀ"));
        // The same text in UTF-8 reads the same.
        loadSection(svc, table(sy4), file("SSY4DEN;SSY4NOME\nPERCHÈ L'ALTRO;ANDRÀ\n"), true);
        svc.OpenCds(ds, sy4);
        QCOMPARE(ds.recordCount(), 1);
        QCOMPARE(ds.fieldByName(QStringLiteral("SSY4DEN"))->asString(), QStringLiteral("PERCHÈ L'ALTRO"));
        QCOMPARE(conn.scalar(QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali WHERE sfisvalue LIKE :X"),
                             {{QStringLiteral("X"), QStringLiteral("%\uFFFD%")}}).toLongLong(), 0);
        // Windows-1252 marks beyond Latin-1 would turn into "?" in the
        // telematic file: they are refused with what to type instead.
        const QString m = refusal(svc, sy4, "SSY4DEN;SSY4NOME\nL\x92" "ALTRO;X\n", false);
        QVERIFY2(m.startsWith(QStringLiteral("Il file non è stato caricato: riga 2, colonna SSY4DEN: il testo contiene il carattere ’ (U+2019)")),
                 qPrintable(m));
        QVERIFY2(m.endsWith(QStringLiteral("scrivere ' al suo posto")), qPrintable(m));
        QCOMPARE(rowsOf(svc, sy4).size(), 1);
    }

    void oneRowTable_data() { TestDatabase::addDatabaseRows(); }
    void oneRowTable()
    {
        OPEN_SERVICE();
        const QString sos = QStringLiteral("TSOS_DATOSOSTITUTO");
        QString m = refusal(svc, sos, "SSOSCODFIS;SSOSDENOM\n80012345678;SCUOLA A\n80087654321;SCUOLA B\n", false);
        QVERIFY2(m.startsWith(QStringLiteral("Il file non è stato caricato: riga 3: la tabella TSOS_DATOSOSTITUTO ammette una sola riga, e c'è già la riga 2")),
                 qPrintable(m));
        QVERIFY(rowsOf(svc, sos).isEmpty());
        loadSection(svc, table(sos), file("SSOSCODFIS;SSOSDENOM\n80012345678;SCUOLA A\n"), false);
        m = refusal(svc, sos, "SSOSCODFIS;SSOSDENOM\n80087654321;SCUOLA B\n", false);
        QVERIFY2(m.contains(QStringLiteral("riga 2: la tabella TSOS_DATOSOSTITUTO ammette una sola riga, e c'è già la riga salvata nella tabella (IFISRIGO 1")),
                 qPrintable(m));
        QVERIFY2(m.contains(QStringLiteral("--replace")), qPrintable(m));
        QCOMPARE(rowsOf(svc, sos).size(), 1);
        loadSection(svc, table(sos), file("SSOSCODFIS;SSOSDENOM\n80087654321;SCUOLA B\n"), true);
        QCOMPARE(rowsOf(svc, sos).size(), 1);
        QVERIFY(rowsOf(svc, sos).first().startsWith(QStringLiteral("80087654321;SCUOLA B")));

        // One row per extinct agent: the key tells them apart.
        const QString soe = QStringLiteral("TSOE7_SOSESTINTO");
        loadSection(svc, table(soe), file("CODICE;DENOMINAZI0NE\n80011111111;A\n80022222222;B\n"), false);
        m = refusal(svc, soe, "CODICE;DENOMINAZI0NE\n80033333333;C\n80011111111;A BIS\n", false);
        QVERIFY2(m.contains(QStringLiteral("riga 3: la tabella TSOE7_SOSESTINTO ammette una sola riga per CODICE (\"80011111111\")")),
                 qPrintable(m));
        QCOMPARE(rowsOf(svc, soe).size(), 2);
    }

    void savedRowAtFaultIsNamedAsSaved_data() { TestDatabase::addDatabaseRows(); }
    void savedRowAtFaultIsNamedAsSaved()
    {
        OPEN_SERVICE();
        // A row the checks refuse, saved by another way than a load.
        ClientDataSet ds;
        svc.OpenCds(ds, kSt);
        for (const char *code : {"1001", "9999"}) {
            ds.append();
            ds.fieldByName(QStringLiteral("SPSTMESE"))->setValue(QStringLiteral("01"));
            ds.fieldByName(QStringLiteral("SPSTCODTRIBUTO"))->setValue(QString::fromLatin1(code));
            ds.post();
        }
        svc.SaveCds(ds, kSt);
        const QString m = refusal(svc, kSt, "SPSTMESE;SPSTCODTRIBUTO\n02;1001\n", false);
        QVERIFY2(m.startsWith(QStringLiteral("Il file non è stato caricato: riga salvata nella tabella (IFISRIGO 2, non del file), "
                                             "colonna SPSTCODTRIBUTO: codice 9999 non ammesso")),
                 qPrintable(m));
        QVERIFY2(!m.contains(QStringLiteral("riga 1,")) && !m.contains(QStringLiteral("riga 2,")), qPrintable(m));
        QCOMPARE(rowsOf(svc, kSt).size(), 2);
        // A row of the file at fault is named by its line.
        const QString f = refusal(svc, kSt, "SPSTMESE;SPSTCODTRIBUTO\n02;1001\n03;9999\n", true);
        QVERIFY2(f.startsWith(QStringLiteral("Il file non è stato caricato: riga 3, colonna SPSTCODTRIBUTO: codice 9999 non ammesso")),
                 qPrintable(f));
        // Replacing the saved rows takes the faulty one away.
        QCOMPARE(loadSection(svc, table(kSt), file("SPSTMESE;SPSTCODTRIBUTO\n02;1001\n"), true).removed, 2);
    }
};

JEX_TEST_MAIN(TstLoad)
#include "tst_load.moc"
