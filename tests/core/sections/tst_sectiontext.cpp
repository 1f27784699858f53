// The text of a section as "show" prints it, for every type of field: the
// amounts to their decimals with a point, dates as yyyy-MM-dd, numbers
// without separators, texts quoted when they hold a separator, a quote or a
// line break, and nothing for a null value.

#include "sections/transfer.h"

#include "coretest.h"

#include <QtTest>

#include <limits>

using namespace jex;

namespace {

const QString kHeader = QStringLiteral("IMPORTO;QUOTA;MISURA;DATA;ORA;NUMERO;TESTO;FLAG");

void addFields(ClientDataSet &ds)
{
    ds.addField(QStringLiteral("IMPORTO"), FieldType::Currency, 0, 2);
    ds.addField(QStringLiteral("QUOTA"), FieldType::Currency, 0, 4);
    ds.addField(QStringLiteral("MISURA"), FieldType::Float);
    ds.addField(QStringLiteral("DATA"), FieldType::Date);
    ds.addField(QStringLiteral("ORA"), FieldType::DateTime);
    ds.addField(QStringLiteral("NUMERO"), FieldType::Integer);
    ds.addField(QStringLiteral("TESTO"), FieldType::String, 40);
    ds.addField(QStringLiteral("FLAG"), FieldType::Boolean);
    ds.createDataSet();
}

} // namespace

class TstSectionText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void csvCells_data()
    {
        QTest::addColumn<QVariantList>("values");
        QTest::addColumn<QString>("line");
        const QVariant none;
        QTest::newRow("all null") << QVariantList{none, none, none, none, none, none, none, none}
                                  << QStringLiteral(";;;;;;;");
        QTest::newRow("negative amounts")
            << QVariantList{-1234.5, -0.0001, 0.1, QDate(2024, 2, 29), QDateTime(QDate(2024, 1, 16), QTime(10, 30)),
                            qint64(-42), QStringLiteral("1001"), true}
            << QStringLiteral("-1234.50;-0.0001;0.1;2024-02-29;2024-01-16;-42;1001;True");
        QTest::newRow("largest amounts and extreme numbers")
            << QVariantList{999999999999.99, 12345.6789, 1e20, QDate(999, 1, 1), none,
                            std::numeric_limits<qint64>::min(), QString(), false}
            << QStringLiteral("999999999999.99;12345.6789;1e+20;0999-01-01;;-9223372036854775808;;False");
        QTest::newRow("zeros") << QVariantList{0.0, 0.0, 0.0, none, none, qint64(0), none, none}
                               << QStringLiteral("0.00;0.0000;0;;;0;;");
        QTest::newRow("text with a separator")
            << QVariantList{none, none, none, none, none, none, QStringLiteral("VIA ROMA; 1"), none}
            << QStringLiteral(";;;;;;\"VIA ROMA; 1\";");
        QTest::newRow("text with quotes")
            << QVariantList{none, none, none, none, none, none, QStringLiteral("DETTA \"LA SCUOLA\""), none}
            << QStringLiteral(";;;;;;\"DETTA \"\"LA SCUOLA\"\"\";");
        QTest::newRow("text with line breaks")
            << QVariantList{none, none, none, none, none, none, QStringLiteral("RIGA\nDUE\r"), none}
            << QStringLiteral(";;;;;;\"RIGA\nDUE\r\";");
        QTest::newRow("accented text") << QVariantList{none, none, none, none, none, none, QStringLiteral("PERCHÈ"), none}
                                       << QStringLiteral(";;;;;;PERCHÈ;");
    }

    // The record twice: each printed on its own line under the header.
    void csvCells()
    {
        QFETCH(QVariantList, values);
        QFETCH(QString, line);
        ClientDataSet ds;
        addFields(ds);
        ds.appendRecord(values);
        ds.appendRecord(values);
        QCOMPARE(formatSection(ds, SectionFormat::Csv), kHeader + u'\n' + line + u'\n' + line + u'\n');
    }

    void emptySectionIsItsHeader()
    {
        ClientDataSet ds;
        addFields(ds);
        QCOMPARE(formatSection(ds, SectionFormat::Csv), kHeader + u'\n');
    }
};

JEX_TEST_MAIN(TstSectionText)
#include "tst_sectiontext.moc"
