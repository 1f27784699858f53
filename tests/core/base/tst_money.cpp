#include "base/money.h"
#include "base/numformat.h"
#include "base/strutil.h"

#include "coretest.h"

#include <QtTest>

using namespace jex;

static qint64 money(double d) { return TQmrCalcola::fromDouble(d); }

class TestMoney : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void roundCurr_data()
    {
        QTest::addColumn<int>("decimals");
        QTest::addColumn<double>("amount");
        QTest::addColumn<double>("expected");
        QTest::newRow("2.125") << 2 << 2.125 << 2.13;
        QTest::newRow("2.135") << 2 << 2.135 << 2.14;
        QTest::newRow("-2.125") << 2 << -2.125 << -2.13;
        QTest::newRow("2.1249") << 2 << 2.1249 << 2.12;
        QTest::newRow("12.5 to units") << 0 << 12.5 << 13.0;
        QTest::newRow("0.5 to units") << 0 << 0.5 << 1.0;
        QTest::newRow("-0.5 to units") << 0 << -0.5 << -1.0;
        QTest::newRow("0.005") << 2 << 0.005 << 0.01;
        QTest::newRow("11.4999 to units") << 0 << 11.4999 << 11.0;
    }
    void roundCurr()
    {
        QFETCH(int, decimals);
        QFETCH(double, amount);
        QFETCH(double, expected);
        QCOMPARE(TQmrCalcola::RoundCurr(decimals, money(amount)), money(expected));
    }

    void percentOf_data()
    {
        QTest::addColumn<double>("percent");
        QTest::addColumn<double>("amount");
        QTest::addColumn<double>("expected");
        QTest::newRow("100 percent is the amount") << 100.0 << 123.4567 << 123.4567;
        QTest::newRow("23 percent of 100") << 23.0 << 100.0 << 23.0;
        QTest::newRow("tie to even down") << 50.0 << 0.0001 << 0.0;   // 0.00005 -> 0.0000
        QTest::newRow("tie to even up") << 50.0 << 0.0003 << 0.0002;   // 0.00015 -> 0.0002
        QTest::newRow("negative") << 23.0 << -10.0 << -2.3;
    }
    void percentOf()
    {
        QFETCH(double, percent);
        QFETCH(double, amount);
        QFETCH(double, expected);
        QCOMPARE(TQmrCalcola::PercentOf(money(percent), money(amount)), money(expected));
    }

    void roundedPercentOf()
    {
        QCOMPARE(TQmrCalcola::RoundedPercentOf(2, money(23), money(10.05)), money(2.31));
    }

    void formatPattern_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("display") << "#,##0.00" << 1234567.891 << "1.234.567,89";
        QTest::newRow("display zero") << "#,##0.00" << 0.0 << "0,00";
        QTest::newRow("display negative") << "#,##0.00" << -1234.5 << "-1.234,50";
        QTest::newRow("edit") << "#.00" << 1234.5 << "1234,50";
        QTest::newRow("edit below one") << "#.00" << 0.5 << ",50";
        QTest::newRow("integer") << "0" << 12.5 << "13";
        QTest::newRow("optional decimals") << "0.##" << 3.1 << "3,1";
        QTest::newRow("sections") << "#,##0.00;(#,##0.00);zero" << 0.0 << "zero";
    }
    void formatPattern()
    {
        QFETCH(QString, pattern);
        QFETCH(double, value);
        QFETCH(QString, expected);
        QCOMPARE(formatFloatPattern(pattern, value), expected);
    }

    void strings()
    {
        QCOMPARE(PadL(QStringLiteral("12"), 5, QStringLiteral("0")), QStringLiteral("00012"));
        QCOMPARE(PadR(QStringLiteral("AB"), 4), QStringLiteral("AB  "));
        QCOMPARE(PadR(QStringLiteral("ABCDEF"), 4), QStringLiteral("ABCD"));
        QCOMPARE(StrZero(7, 3), QStringLiteral("007"));
        QCOMPARE(Trim(QStringLiteral("  A  ")), QStringLiteral("  A"));
        QCOMPARE(AllTrim(QStringLiteral("  A  ")), QStringLiteral("A"));
        QCOMPARE(Left(QStringLiteral("ABC"), 2), QStringLiteral("AB"));
        QCOMPARE(Right(QStringLiteral("ABC"), 2), QStringLiteral("BC"));
        QVERIFY(IsNumeric(QStringLiteral("-12,5")));
        QVERIFY(!IsNumeric(QStringLiteral("12a")));
        QVERIFY(!IsNumeric(QString()));
    }
};

JEX_TEST_MAIN(TestMoney)
#include "tst_money.moc"
