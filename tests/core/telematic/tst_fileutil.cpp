#include "base/errors.h"
#include "telematic/fieldformat.h"

#include "coretest.h"

#include <QtTest>

using namespace jex;

class TstFileUtil : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void formatField_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("info");
        QTest::addColumn<QString>("expected"); // backquotes shown as `

        QTest::newRow("AN trimmed, placeholder padding") << " ABC " << 16 << "AN" << "@@" << "ABC`````````````";
        QTest::newRow("CF as AN") << "RSSMRA70A01H501S" << 16 << "CF" << "@@" << "RSSMRA70A01H501S";
        QTest::newRow("PR not trimmed") << " AB" << 5 << "PR" << "@@" << " AB``";
        QTest::newRow("CN empty O@ zeros") << "" << 4 << "CN" << "O@" << "0000";
        QTest::newRow("CN empty @@ placeholders") << "" << 4 << "CN" << "@@" << "````";
        QTest::newRow("CB 1 width 1") << "1" << 1 << "CB" << "@@" << "1";
        QTest::newRow("CB 0 width 1") << "0" << 1 << "CB" << "@@" << " ";
        QTest::newRow("CB empty width 1") << "" << 1 << "CB" << "O@" << "1";
        QTest::newRow("CB 0 width 16") << "0" << 16 << "CB" << "@@" << "";
        QTest::newRow("CB 1 width 16") << "1" << 16 << "CB" << "@@" << "               1";
        QTest::newRow("CP set") << "1" << 2 << "CP" << "O@" << "01";
        QTest::newRow("CP empty") << "" << 1 << "CP" << "O@" << "0";
        QTest::newRow("CB12 zeros") << "000000000000" << 12 << "CB12" << "@@" << "            ";
        QTest::newRow("CB12 value") << "123" << 5 << "CB12" << "@@" << "  123";
        QTest::newRow("DT date") << "05/03/2024" << 8 << "DT" << "@@" << "05032024";
        QTest::newRow("DT no date") << "0.00.00" << 8 << "DT" << "@@" << "";
        QTest::newRow("DT empty") << "" << 8 << "DT" << "O@" << "        ";
        QTest::newRow("DT width 16") << "05/03/2024" << 16 << "DT" << "@@" << "        05032024";
        QTest::newRow("DP no date") << "0.00.00" << 8 << "DP" << "@@" << "00000000";
        QTest::newRow("DP empty") << "" << 8 << "DP" << "O@" << "00000000";
        QTest::newRow("D4 date") << "05/03/2024" << 4 << "D4" << "@@" << "0503";
        QTest::newRow("D4 four chars kept") << "1203" << 4 << "D4" << "@@" << "1203";
        QTest::newRow("D6") << "05/03/2024" << 6 << "D6" << "@@" << "032024";
        QTest::newRow("NP right aligned") << "1234" << 16 << "NP" << "T@" << "            1234";
        QTest::newRow("VP cents") << "18452,37" << 16 << "VP" << "@@" << "        18452,37";
        QTest::newRow("VP one decimal completed") << "1250,4" << 16 << "VP" << "@@" << "         1250,40";
        QTest::newRow("VP whole euro") << "85" << 16 << "VP" << "@@" << "           85,00";
        QTest::newRow("VP negative") << "-3,05" << 16 << "VP" << "@@" << "           -3,05";
        QTest::newRow("VP zero left out") << "0" << 16 << "VP" << "@@" << "";
        QTest::newRow("VP below half a cent") << "0,004" << 16 << "VP" << "@@" << "";
        QTest::newRow("NF zero filled") << "7" << 3 << "NF" << "O@" << "007";
        QTest::newRow("N2") << "7" << 3 << "N2" << "@@" << " 07";
        QTest::newRow("N6 period") << "32024" << 16 << "N6" << "@@" << "          032024";
        QTest::newRow("N6 empty") << "" << 16 << "N6" << "O@" << "";
        QTest::newRow("ND empty") << " " << 3 << "ND" << "O@" << "  0";
        QTest::newRow("unknown code") << "X" << 3 << "ZZ" << "@@" << "  X";
        QTest::newRow("codes compared exactly") << "ab" << 4 << "an" << "@@" << "  ab";
    }
    void formatField()
    {
        QFETCH(QString, value);
        QFETCH(int, width);
        QFETCH(QString, format);
        QFETCH(QString, info);
        QFETCH(QString, expected);
        QCOMPARE(FormatField(value, width, format, info), expected);
    }

    void vpRefusesText()
    {
        QVERIFY_THROWS_EXCEPTION(EQxError, FormatField(QStringLiteral("12a"), 16, QStringLiteral("VP"), QStringLiteral("@@")));
    }

    void vpRefusesAnAmountWiderThanTheField_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("17 characters") << "-9999999999999,99";
        QTest::newRow("minus 1e15") << "-1000000000000000";
        QTest::newRow("beyond 64 bits") << "922337203685477580700";
    }
    // Padding would cut the leading digits: the amount is refused instead.
    void vpRefusesAnAmountWiderThanTheField()
    {
        QFETCH(QString, value);
        try {
            const QString written = FormatField(value, 16, QStringLiteral("VP"), QStringLiteral("@@"));
            QFAIL(qPrintable(QStringLiteral("written as \"%1\"").arg(written)));
        } catch (const EQxError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("non entra nei 16 caratteri")), qPrintable(e.message()));
        }
        QCOMPARE(FormatField(QStringLiteral("-999999999999,99"), 16, QStringLiteral("VP"), QStringLiteral("@@")),
                 QStringLiteral("-999999999999,99"));
    }

    void anIsWrittenWithBlanks()
    {
        QCOMPARE(unplaceholder(FormatField(QStringLiteral(" ABC "), 16, QStringLiteral("AN"), QStringLiteral("@@"))),
                 QStringLiteral("ABC") + QString(13, u' '));
    }

    void convert_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("info");
        QTest::addColumn<QString>("expected");
        QTest::newRow("A1 0.4") << QVariant(0.4) << "A1" << "1";
        QTest::newRow("A1 -0.4") << QVariant(-0.4) << "A1" << "-1";
        QTest::newRow("A1 1234.5") << QVariant(1234.5) << "A1" << "1235";
        QTest::newRow("A1 -2.5") << QVariant(-2.5) << "A1" << "-3";
        QTest::newRow("A1 2.5") << QVariant(2.5) << "A1" << "3";
        QTest::newRow("A@ 1234.49") << QVariant(1234.49) << "A@" << "1234";
        QTest::newRow("A@ 1234.5") << QVariant(1234.5) << "A@" << "1235";
        QTest::newRow("A@ -3.6") << QVariant(-3.6) << "A@" << "-3";
        QTest::newRow("A@ -2.7") << QVariant(-2.7) << "AX" << "-2";
        QTest::newRow("T@ 99.99") << QVariant(99.99) << "T@" << "99";
        QTest::newRow("T@ -99.99") << QVariant(-99.99) << "TX" << "-99";
        QTest::newRow("T@ text with comma") << QVariant(QStringLiteral("12,7")) << "T@" << "12";
        QTest::newRow("first 3") << QVariant(QStringLiteral("ABCDEF")) << "3/" << "ABC";
        QTest::newRow("last 2") << QVariant(QStringLiteral("ABCDEF")) << "/2" << "EF";
        QTest::newRow("null") << QVariant() << "A@" << "";
        QTest::newRow("decimal comma") << QVariant(1234.5) << "@@" << "1234,5";
        QTest::newRow("date") << QVariant(QDate(2024, 3, 5)) << "@@" << "05/03/2024";
    }
    void convert()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, info);
        QFETCH(QString, expected);
        QCOMPARE(convertByInfo(value, info, FieldFamily::J), expected);
    }

    void nonNumericConversionFails()
    {
        QVERIFY_THROWS_EXCEPTION(EQxError, convertByInfo(QStringLiteral("ABC"), QStringLiteral("T@"), FieldFamily::D));
    }

    void handlingCodesByFamily_data()
    {
        QTest::addColumn<int>("family");
        QTest::addColumn<QString>("info");
        QTest::addColumn<bool>("listed");
        QTest::newRow("A1 in B") << int(FieldFamily::B) << "A1" << false;
        QTest::newRow("A1 in J") << int(FieldFamily::J) << "A1" << true;
        QTest::newRow("@1 in B") << int(FieldFamily::B) << "@1" << true;
        QTest::newRow("@1 in A") << int(FieldFamily::A) << "@1" << false;
        QTest::newRow("T@ in D") << int(FieldFamily::D) << "T@" << true;
        QTest::newRow("T@ in A") << int(FieldFamily::A) << "T@" << false;
        QTest::newRow("A@ in I") << int(FieldFamily::I) << "A@" << false;
        QTest::newRow("3/ in J") << int(FieldFamily::J) << "3/" << true;
        QTest::newRow("3/ in D") << int(FieldFamily::D) << "3/" << false;
        QTest::newRow("@@ in Z") << int(FieldFamily::Z) << "@@" << false;
    }
    void handlingCodesByFamily()
    {
        QFETCH(int, family);
        QFETCH(QString, info);
        QFETCH(bool, listed);
        QCOMPARE(infoListed(FieldFamily(family), info), listed);
    }

    void split_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<QStringList>("pieces");
        const QString forty = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789WXYZ");
        QTest::newRow("fits") << QStringLiteral("SHORT") << 16 << QStringList{"SHORT"};
        QTest::newRow("exactly 16") << forty.left(16) << 16 << QStringList{forty.left(16)};
        QTest::newRow("40 characters") << forty << 16
                                       << QStringList{forty.left(16), "+" + forty.mid(16, 15), "+" + forty.mid(31)};
        QTest::newRow("trailing blanks cut") << QStringLiteral("MUELLER SCHMIDT VON HOHENSTEIN") << 16
                                             << QStringList{"MUELLER SCHMIDT", "+VON HOHENSTEIN"};
    }
    void split()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(QStringList, pieces);
        QCOMPARE(splitFieldValue(text, width), pieces);
    }

    void fieldCodes_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("code");
        QTest::newRow("row 12") << "SVXXX001" << 12 << "SV012001";
        QTest::newRow("row 2") << "SVXXX001" << 2 << "SV002001";
        QTest::newRow("row 105") << "STXXX014" << 105 << "ST105014";
        QTest::newRow("no row") << "ST027001" << 0 << "ST027001";
        QTest::newRow("trimmed") << " DIXXX005 " << 20 << "DI020005";
        QTest::newRow("positional") << "7" << 3 << "";
    }
    void fieldCodes()
    {
        QFETCH(QString, number);
        QFETCH(int, row);
        QFETCH(QString, code);
        QCOMPARE(fieldCode(number, row), code);
    }
};

JEX_TEST_MAIN(TstFileUtil)
#include "tst_fileutil.moc"
