// The codice fiscale in the completeness check: the check character, and
// the place of birth a person's code carries, looked up (omocodia letters
// read back as digits) among the municipalities in force, the ceased ones
// and the foreign states that the program delivers.

#include "checks/codicefiscale.h"
#include "checks/completeness.h"
#include "codelists/codelistfile.h"
#include "codelists/codelists.h"

#include "dataset/dataset.h"

#include <QDir>
#include <QTemporaryDir>
#include "coretest.h"

#include <QtTest>

using namespace jex;

namespace {

// The first 15 characters of a person's code completed with its check character.
QString withCheck(const QString &first15) { return first15 + personCheckChar(first15); }

QString deliveredDir() { return qEnvironmentVariable("JEX770_MAIN_DIR") + QStringLiteral("/USR/YR2024/Res/Tabelle"); }

} // namespace

class TstCodiceFiscale : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;

    // The delivered lists, without the user's data of the build's installation.
    CodeLists delivered() const { return CodeLists(deliveredDir(), m_tmp.filePath(QStringLiteral("user"))); }

private Q_SLOTS:
    void deliveredListsHoldThePlaces_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("description");
        QTest::newRow("municipality in force") << "TCOM_COMUNI" << "H501" << "Roma";
        QTest::newRow("created in 2024") << "TCOM_COMUNI" << "M436" << "Sovizzo";
        QTest::newRow("ceased during 2024, still a domicile of the year") << "TCOM_COMUNI" << "I879" << "Sovizzo";
        QTest::newRow("accents repaired") << "TCOM_COMUNI" << "C744" << "Città della Pieve";
        QTest::newRow("ceased in 1928") << "TCOC_COMUNICESSATI" << "A002" << "Abbadia Sopra Adda";
        QTest::newRow("foreign state") << "TSTE_STATIESTERI" << "Z404" << "Stati Uniti d'America";
        QTest::newRow("ceased foreign state") << "TSTE_STATIESTERI" << "Z135" << "Unione Sovietica";
    }
    void deliveredListsHoldThePlaces()
    {
        QFETCH(QString, list);
        QFETCH(QString, code);
        QFETCH(QString, description);
        const CodeLists lists = delivered();
        QVERIFY2(lists.contains(list, code), qPrintable(list + u' ' + code));
        QCOMPARE(lists.description(list, code), description);
        // A place is in one list only: current first, the ceased apart.
        const QStringList all{QStringLiteral("TCOM_COMUNI"), QStringLiteral("TCOC_COMUNICESSATI"),
                              QStringLiteral("TSTE_STATIESTERI")};
        for (const QString &other : all)
            if (other != list)
                QVERIFY2(!lists.contains(other, code), qPrintable(other + u' ' + code));
    }

    void listSizes()
    {
        // About 7,900 municipalities in force, some 1,900 ceased, over 200 states.
        const CodeLists lists = delivered();
        QVERIFY(lists.rowCount(QStringLiteral("TCOM_COMUNI")) > 7800);
        QVERIFY(lists.rowCount(QStringLiteral("TCOC_COMUNICESSATI")) > 1500);
        QVERIFY(lists.rowCount(QStringLiteral("TSTE_STATIESTERI")) > 200);
    }

    void birthplace_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("place");
        QTest::newRow("plain") << "RSSMRA85T10A562S" << "A562";
        QTest::newRow("omocodia in the place") << "RSSMRA85T10A5SNS" << "A562";
        QTest::newRow("omocodia everywhere") << "RSSMRAURTMLARSNS" << "A562";
        QTest::newRow("abroad") << "RSSMRA85T10Z4L4S" << "Z404";
        QTest::newRow("lower case") << "rssmra85t10a562s" << "A562";
        QTest::newRow("organisation") << "80185250588" << "";
        QTest::newRow("letter in a digit place that is no omocodia") << "RSSMRA85T10A5A2S" << "";
        QTest::newRow("no month letter") << "RSSMRA85Z10A562S" << "";
    }
    void birthplace()
    {
        QFETCH(QString, code);
        QFETCH(QString, place);
        QCOMPARE(birthplaceCode(code), place);
    }

    void finding_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("finding"); // empty: none
        const QString head = QStringLiteral(" - Campo errato: Codice fiscale del dipendente (SDIP7CODFIS): ");
        QTest::newRow("born in a municipality in force") << "RSSMRA85T10A562S" << "";
        QTest::newRow("born in a municipality ceased long ago") << withCheck("BNCGNN20A01A002") << "";
        QTest::newRow("ceased, with omocodia") << withCheck("BNCGNN20A01A00N") << "";
        QTest::newRow("born abroad") << withCheck("SMTJHN70B12Z404") << "";
        QTest::newRow("born in a state that ceased") << withCheck("PTRVNN60C03Z135") << "";
        QTest::newRow("organisation") << "80185250588" << "";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("unknown place")
            << withCheck("RSSMRA85T10A000")
            << head + QStringLiteral("il luogo di nascita A000 del codice fiscale %1 non è un comune né uno stato "
                                     "estero (tabelle TCOM_COMUNI, TCOC_COMUNICESSATI, TSTE_STATIESTERI)")
                          .arg(withCheck("RSSMRA85T10A000"));
        QTest::newRow("unknown place behind omocodia")
            << withCheck("RSSMRA85T10A00L")
            << head + QStringLiteral("il luogo di nascita A000 del codice fiscale %1 non è un comune né uno stato "
                                     "estero (tabelle TCOM_COMUNI, TCOC_COMUNICESSATI, TSTE_STATIESTERI)")
                          .arg(withCheck("RSSMRA85T10A00L"));
        QTest::newRow("wrong check character")
            << "RSSMRA85T10A562T"
            << head + QStringLiteral("il carattere di controllo del codice fiscale RSSMRA85T10A562T non è corretto");
        QTest::newRow("wrong check digit")
            << "80185250589" << head + QStringLiteral("la cifra di controllo del codice fiscale 80185250589 non è corretta");
        QTest::newRow("neither a person nor an organisation")
            << "RSSMRA85"
            << head + QStringLiteral("\"RSSMRA85\" non è un codice fiscale (16 caratteri per una persona fisica, "
                                     "11 cifre per gli altri soggetti)");
    }
    void finding()
    {
        QFETCH(QString, code);
        QFETCH(QString, finding);
        QCOMPARE(codiceFiscaleFinding(QStringLiteral("SDIP7CODFIS"), code, delivered()), finding);

        // The completeness check gives the same line for the record.
        ClientDataSet ds;
        ds.addField(QStringLiteral("SDIP7CODFIS"), FieldType::String, 16);
        ds.createDataSet();
        ds.appendRecord({code.isEmpty() ? QVariant() : QVariant(code)});
        QStringList lines;
        CheckDataSets(lines, {&ds});
        if (finding.isEmpty())
            QVERIFY2(!lines.contains(finding) && lines.filter(QStringLiteral("Campo errato")).isEmpty(),
                     qPrintable(lines.join(u'\n')));
        else
            QVERIFY2(lines.contains(finding), qPrintable(lines.join(u'\n')));
    }

    void placesNotDeliveredCheckNothing()
    {
        // Installations whose place lists are empty accept any place, as
        // every empty list does; the check character still counts.
        const QString dir = m_tmp.filePath(QStringLiteral("empty"));
        QDir().mkpath(dir);
        for (const char *name : {"TCOM_COMUNI", "TCOC_COMUNICESSATI", "TSTE_STATIESTERI"}) {
            ClientDataSet ds;
            readCodeListText("# Fonte: prova\nCODICE:S:4\tDESCRIZIONE:S:60\n", QString::fromLatin1(name), {}, ds);
            ds.saveToFile(dir + u'/' + QString::fromLatin1(name) + QStringLiteral(".CDS"));
        }
        const CodeLists lists(dir, QString());
        QCOMPARE(codiceFiscaleFinding(QStringLiteral("SDIP7CODFIS"), withCheck("RSSMRA85T10A000"), lists), QString());
        QVERIFY(!codiceFiscaleFinding(QStringLiteral("SDIP7CODFIS"), QStringLiteral("RSSMRA85T10A000A"), lists).isEmpty());
    }

    void columnsNamedInFindings_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("text");
        QTest::newRow("employee") << "SDIP7CODFIS" << "Codice fiscale del dipendente";
        QTest::newRow("self-employed") << "SDAU7CODFIS" << "Codice fiscale dell'autonomo";
        QTest::newRow("representative") << "SSOSCFRAPPR" << "Codice fiscale del rappresentante firmatario";
        QTest::newRow("spouse") << "SCFC7CODFISCON" << "Codice fiscale coniuge";
        QTest::newRow("supplier") << "SFORCODFIS" << "Codice fiscale del fornitore";
    }
    void columnsNamedInFindings()
    {
        QFETCH(QString, column);
        QFETCH(QString, text);
        QVERIFY(isCodiceFiscaleColumn(column));
        QCOMPARE(codiceFiscaleColumnText(column), text);
    }

    void notCodiceFiscaleColumns_data()
    {
        QTest::addColumn<QString>("column");
        QTest::newRow("foreign intermediary of ST") << "SPST3CFINTNRES";
        QTest::newRow("municipality code") << "SDIP7DFCODCOM";
        QTest::newRow("surname") << "SDIP7COGNOME";
    }
    void notCodiceFiscaleColumns()
    {
        QFETCH(QString, column);
        QVERIFY(!isCodiceFiscaleColumn(column));
    }
};

JEX_TEST_MAIN(TstCodiceFiscale)
#include "tst_codicefiscale.moc"
