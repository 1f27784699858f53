#include "dataset/dataset.h"
#include "base/errors.h"

#include <QFile>
#include <QTemporaryDir>
#include "coretest.h"

#include <QtTest>

using namespace jex;

class TestDataSet : public QObject
{
    Q_OBJECT

    static void makeSummary(ClientDataSet &ds)
    {
        ds.addField(QStringLiteral("SSOE7CODICE"), FieldType::String, 11);
        ds.addField(QStringLiteral("SPSTMESE"), FieldType::String, 2);
        ds.addField(QStringLiteral("IAFIID"), FieldType::Integer);
        ds.addField(QStringLiteral("FPSTIMPORTO"), FieldType::Currency, 0, 2);
        ds.addField(QStringLiteral("DPSTDTVERS"), FieldType::Date);
        ds.createDataSet();
    }

    static void add(ClientDataSet &ds, const QVariant &code, const QString &month, int afi,
                    double amount = 0, const QDate &date = {})
    {
        ds.append();
        ds.fieldByName(QStringLiteral("SSOE7CODICE"))->setValue(code);
        ds.fieldByName(QStringLiteral("SPSTMESE"))->setValue(month);
        ds.fieldByName(QStringLiteral("IAFIID"))->setValue(afi);
        if (amount != 0)
            ds.fieldByName(QStringLiteral("FPSTIMPORTO"))->setValue(amount);
        if (date.isValid())
            ds.fieldByName(QStringLiteral("DPSTDTVERS"))->setValue(date);
        ds.post();
    }

    static QStringList column(ClientDataSet &ds, const QString &name)
    {
        QStringList out;
        for (ds.first(); !ds.eof(); ds.next())
            out << ds.fieldByName(name)->asString();
        return out;
    }

private Q_SLOTS:
    void filters_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("months");
        QTest::newRow("declaring agent, null and empty")
            << "SSOE7CODICE='' or (SSOE7CODICE is null)" << QStringList{"01", "02"};
        QTest::newRow("extinct agent") << "SSOE7CODICE=" + ClientDataSet::quoted("12345678901")
                                       << QStringList{"03"};
        QTest::newRow("integer") << "IAFIID = 12" << QStringList{"02", "05"};
        QTest::newRow("concatenation") << "SSOE7CODICE+SPSTMESE = '1234567890103'" << QStringList{"03"};
        QTest::newRow("and or parentheses") << "(IAFIID = 12 AND SPSTMESE <> '02') OR SPSTMESE = '01'"
                                             << QStringList{"01", "05"};
        QTest::newRow("quote in value stays a value")
            << "SSOE7CODICE=" + ClientDataSet::quoted("D'X' OR 'A'") << QStringList{"04"};
        QTest::newRow("injection attempt matches nothing")
            << "SSOE7CODICE=" + ClientDataSet::quoted("' or ''='") << QStringList{};
        QTest::newRow("amount comparison") << "FPSTIMPORTO > 100" << QStringList{"05"};
        QTest::newRow("lower-case names") << "ssoe7codice is not null and iafiid=7" << QStringList{"03", "04"};
    }

    void filters()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, months);
        ClientDataSet ds;
        makeSummary(ds);
        add(ds, QVariant(), "01", 7);
        add(ds, QString(), "02", 12);
        add(ds, "12345678901", "03", 7);
        add(ds, "D'X' OR 'A'", "04", 7);
        add(ds, "99999999999", "05", 12, 150.5);
        ds.setFilter(filter);
        ds.setFiltered(true);
        QCOMPARE(column(ds, "SPSTMESE"), months);
        ds.setFiltered(false);
        QCOMPARE(ds.recordCount(), 5);
    }

    void badFilterIsRefused_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::newRow("unknown field") << "NOPE = 1";
        QTest::newRow("unclosed quote") << "SSOE7CODICE = 'abc";
        QTest::newRow("missing operand") << "SSOE7CODICE = ";
        QTest::newRow("trailing text") << "IAFIID = 1 1";
    }

    void badFilterIsRefused()
    {
        QFETCH(QString, filter);
        ClientDataSet ds;
        makeSummary(ds);
        add(ds, "A", "01", 1);
        ds.setFilter(QStringLiteral("IAFIID = 1"));
        ds.setFiltered(true);
        QVERIFY_THROWS_EXCEPTION(EQxError, ds.setFilter(filter));
        // The filter in force is kept.
        QCOMPARE(ds.filter(), QStringLiteral("IAFIID = 1"));
        QCOMPARE(ds.recordCount(), 1);
    }

    void indexOrderIsStableWithNullsFirst()
    {
        ClientDataSet ds;
        makeSummary(ds);
        add(ds, "B", "02", 1);
        add(ds, "A", "09", 2);
        add(ds, QVariant(), "05", 3);
        add(ds, "A", "01", 4);
        add(ds, "B", "02", 5);
        ds.setIndexFieldNames(QStringLiteral("SSOE7CODICE;SPSTMESE"));
        QCOMPARE(column(ds, "IAFIID"), (QStringList{"3", "4", "2", "1", "5"}));
        // A posted change moves the record to its place in the order.
        ds.first();
        ds.edit();
        ds.fieldByName(QStringLiteral("SSOE7CODICE"))->setValue(QStringLiteral("C"));
        ds.post();
        QCOMPARE(ds.fieldByName(QStringLiteral("IAFIID"))->asInteger(), 3);
        QCOMPARE(ds.recNo(), 5);
        ds.setIndexFieldNames(QString());
        QCOMPARE(column(ds, "IAFIID"), (QStringList{"1", "2", "3", "4", "5"}));
    }

    void changeLogKeepsOldAndNewValues()
    {
        ClientDataSet ds;
        makeSummary(ds);
        add(ds, "A", "01", 1, 10);
        add(ds, "B", "02", 2, 20);
        add(ds, "C", "03", 3, 30);
        ds.mergeChangeLog();
        QCOMPARE(ds.changeCount(), 0);

        ds.first();
        ds.edit();
        ds.fieldByName(QStringLiteral("FPSTIMPORTO"))->setValue(11.25);
        QCOMPARE(ds.fieldByName(QStringLiteral("FPSTIMPORTO"))->oldValue().toDouble(), 10.0);
        ds.post();
        ds.next();
        ds.remove();
        add(ds, "D", "04", 4, 40);

        const QVector<DeltaRecord> delta = ds.delta();
        QCOMPARE(delta.size(), 3);
        QMap<UpdateStatus, DeltaRecord> byStatus;
        for (const auto &d : delta)
            byStatus.insert(d.status, d);
        QCOMPARE(byStatus[UpdateStatus::Deleted].original[0].toString(), QStringLiteral("B"));
        QCOMPARE(byStatus[UpdateStatus::Modified].original[3].toLongLong(), 100000);
        QCOMPARE(byStatus[UpdateStatus::Modified].values[3].toLongLong(), 112500);
        QCOMPARE(byStatus[UpdateStatus::Inserted].values[0].toString(), QStringLiteral("D"));

        ds.cancelUpdates();
        QCOMPARE(ds.changeCount(), 0);
        QCOMPARE(column(ds, "SSOE7CODICE"), (QStringList{"A", "B", "C"}));
        ds.first();
        QCOMPARE(ds.fieldByName(QStringLiteral("FPSTIMPORTO"))->asMoney(), 100000);
    }

    void editingAnInsertedRecordStaysAnInsert()
    {
        ClientDataSet ds;
        makeSummary(ds);
        add(ds, "A", "01", 1);
        ds.edit();
        ds.fieldByName(QStringLiteral("SPSTMESE"))->setValue(QStringLiteral("02"));
        ds.post();
        QCOMPARE(ds.delta().size(), 1);
        QCOMPARE(ds.delta().first().status, UpdateStatus::Inserted);
        ds.remove();
        QCOMPARE(ds.changeCount(), 0); // an insert deleted leaves nothing to apply
    }

    void statesAndRecordNumbers()
    {
        ClientDataSet ds;
        makeSummary(ds);
        QCOMPARE(ds.recNo(), 0);
        QCOMPARE(ds.recordCount(), 0);
        ds.append();
        QCOMPARE(ds.state(), DataSetState::Insert);
        QCOMPARE(ds.recNo(), -1);
        ds.cancel();
        QCOMPARE(ds.recordCount(), 0);
        add(ds, "A", "01", 1);
        add(ds, "B", "02", 2);
        QCOMPARE(ds.recNo(), 2);
        const auto bm = ds.bookmark();
        ds.first();
        ds.insert(); // before the current record
        ds.fieldByName(QStringLiteral("SSOE7CODICE"))->setValue(QStringLiteral("Z"));
        ds.post();
        QCOMPARE(column(ds, "SSOE7CODICE"), (QStringList{"Z", "A", "B"}));
        ds.gotoBookmark(bm);
        QCOMPARE(ds.fieldByName(QStringLiteral("SSOE7CODICE"))->asString(), QStringLiteral("B"));
        // Moving while editing posts (the frames refuse it in their BeforePost).
        ds.first();
        ds.edit();
        ds.fieldByName(QStringLiteral("SPSTMESE"))->setValue(QStringLiteral("12"));
        ds.next();
        QCOMPARE(ds.state(), DataSetState::Browse);
        ds.first();
        QCOMPARE(ds.fieldByName(QStringLiteral("SPSTMESE"))->asString(), QStringLiteral("12"));
    }

    void beforePostCanRefuse()
    {
        ClientDataSet ds;
        makeSummary(ds);
        ds.events.beforePost = [](ClientDataSet &) { throw EAbort(); };
        ds.append();
        ds.fieldByName(QStringLiteral("SPSTMESE"))->setValue(QStringLiteral("01"));
        QVERIFY_THROWS_EXCEPTION(EAbort, ds.post());
        QCOMPARE(ds.state(), DataSetState::Insert);
        QCOMPARE(ds.recordCount(), 0);
    }

    void calculatedFieldsFollowTheRecord()
    {
        ClientDataSet ds;
        ds.addField(QStringLiteral("SDIP7COGNOME"), FieldType::String, 35);
        ds.addField(QStringLiteral("SDIP7NOME"), FieldType::String, 25);
        ds.addField(QStringLiteral("SDIP7COGNOMENOME"), FieldType::String, 61, 0, true);
        ds.events.onCalcFields = [](ClientDataSet &d) {
            d.fieldByName(QStringLiteral("SDIP7COGNOMENOME"))
                ->setValue(d.fieldByName(QStringLiteral("SDIP7COGNOME"))->asString() + u' '
                           + d.fieldByName(QStringLiteral("SDIP7NOME"))->asString());
        };
        ds.createDataSet();
        ds.appendRecord({QStringLiteral("ROSSI"), QStringLiteral("MARIA")});
        QCOMPARE(ds.fieldByName(QStringLiteral("SDIP7COGNOMENOME"))->asString(), QStringLiteral("ROSSI MARIA"));
        QVERIFY_THROWS_EXCEPTION(EQxError, ds.fieldByName(QStringLiteral("SDIP7COGNOMENOME"))->setValue(QStringLiteral("X")));
    }

    // Records copied as stored between datasets of one structure: every
    // value as it was, nulls included, and a field's check still applies.
    void storedCopyKeepsValuesAndChecks()
    {
        ClientDataSet src;
        makeSummary(src);
        add(src, QStringLiteral("80012345678"), QStringLiteral("03"), 7, 1234.56, QDate(2024, 3, 18));
        add(src, QVariant(), QStringLiteral("12"), 0);
        ClientDataSet copy;
        copy.copyStructure(src);
        copy.createDataSet();
        for (src.first(); !src.eof(); src.next())
            copy.appendStoredRecord(src.storedValues());
        QCOMPARE(copy.recordCount(), src.recordCount());
        for (src.first(), copy.first(); !src.eof(); src.next(), copy.next())
            for (int i = 0; i < src.fieldCount(); ++i) {
                QCOMPARE(copy.field(i)->rawValue(), src.field(i)->rawValue());
                QCOMPARE(copy.field(i)->isNull(), src.field(i)->isNull());
            }
        QCOMPARE(copy.delta().size(), 2);

        ClientDataSet checked;
        checked.copyStructure(src);
        checked.createDataSet();
        checked.fieldByName(QStringLiteral("SPSTMESE"))->onValidate = [](Field &f) {
            if (f.asString() == u"12")
                throw EQxError(QStringLiteral("mese chiuso"));
        };
        src.last();
        QVERIFY_THROWS_EXCEPTION(EQxError, checked.appendStoredRecord(src.storedValues()));
        checked.cancel();
        QCOMPARE(checked.recordCount(), 0);
    }

    void valuesConvertAndRound_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("input");
        QTest::addColumn<QString>("asString");
        QTest::newRow("amount rounds to cents") << "FPSTIMPORTO" << QVariant(2.125) << "2.13";
        QTest::newRow("amount in Italian text") << "FPSTIMPORTO" << QVariant("1.234,56") << "1234.56";
        QTest::newRow("negative amount") << "FPSTIMPORTO" << QVariant(-0.005) << "-0.01";
        QTest::newRow("date dd/mm/yyyy") << "DPSTDTVERS" << QVariant("16/02/2024") << "16/02/2024";
        QTest::newRow("date iso") << "DPSTDTVERS" << QVariant("2024-03-18") << "18/03/2024";
        QTest::newRow("integer from text") << "IAFIID" << QVariant(" 42 ") << "42";
        QTest::newRow("text cut to size") << "SPSTMESE" << QVariant("123") << "12";
    }

    void valuesConvertAndRound()
    {
        QFETCH(QString, field);
        QFETCH(QVariant, input);
        QFETCH(QString, asString);
        ClientDataSet ds;
        makeSummary(ds);
        ds.append();
        ds.fieldByName(field)->setValue(input);
        QCOMPARE(ds.fieldByName(field)->asString(), asString);
    }

    void wrongValueIsRefused()
    {
        ClientDataSet ds;
        makeSummary(ds);
        ds.append();
        QVERIFY_THROWS_EXCEPTION(EQxError, ds.fieldByName(QStringLiteral("IAFIID"))->setValue(QStringLiteral("12a")));
        QVERIFY_THROWS_EXCEPTION(EQxError, ds.fieldByName(QStringLiteral("DPSTDTVERS"))->setValue(QStringLiteral("31/02/2024")));
        QVERIFY(ds.fieldByName(QStringLiteral("IAFIID"))->isNull());
    }

    void valueBeyondTheRangeIsRefused_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("input");
        QTest::newRow("amount -1e15") << "FPSTIMPORTO" << QVariant(-1e15);
        QTest::newRow("amount 1e19 as text") << "FPSTIMPORTO" << QVariant("10000000000000000000");
        QTest::newRow("amount infinite") << "FPSTIMPORTO" << QVariant(qInf());
        QTest::newRow("integer 1e30") << "IAFIID" << QVariant(1e30);
    }

    // An amount that does not fit the 64-bit ten-thousandths is refused, not
    // saturated into another amount.
    void valueBeyondTheRangeIsRefused()
    {
        QFETCH(QString, field);
        QFETCH(QVariant, input);
        ClientDataSet ds;
        makeSummary(ds);
        ds.append();
        ds.fieldByName(field)->setValue(7);
        try {
            ds.fieldByName(field)->setValue(input);
            QFAIL(qPrintable(QStringLiteral("stored as %1").arg(ds.fieldByName(field)->asString())));
        } catch (const EQxError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("fuori dall'intervallo")) || e.message().contains(QStringLiteral("non è un valore valido")),
                     qPrintable(e.message()));
        }
        QCOMPARE(ds.fieldByName(field)->asString(), field == u"IAFIID" ? QStringLiteral("7") : QStringLiteral("7.00"));
        // The largest amount a return holds is kept to the cent.
        ds.fieldByName(QStringLiteral("FPSTIMPORTO"))->setValue(-999999999999.99);
        QCOMPARE(ds.fieldByName(QStringLiteral("FPSTIMPORTO"))->asMoney(), qint64(-9999999999999900));
    }

    void fileRoundTrip_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::newRow("binary") << "TPST.CDS";
        QTest::newRow("xml data packet") << "TPST.xml";
    }

    void fileRoundTrip()
    {
        QFETCH(QString, fileName);
        QTemporaryDir dir;
        const QString path = dir.filePath(fileName);
        {
            ClientDataSet ds;
            makeSummary(ds);
            add(ds, "A'B", "01", 1, 1234.56, QDate(2024, 2, 16));
            add(ds, QVariant(), "02", 2);
            ds.saveToFile(path);
        }
        ClientDataSet back;
        back.loadFromFile(path);
        QCOMPARE(back.fieldCount(), 5);
        QCOMPARE(back.fieldByName(QStringLiteral("SSOE7CODICE"))->size(), 11);
        QCOMPARE(back.fieldByName(QStringLiteral("FPSTIMPORTO"))->type(), FieldType::Currency);
        QCOMPARE(back.recordCount(), 2);
        QCOMPARE(back.fieldByName(QStringLiteral("SSOE7CODICE"))->asString(), QStringLiteral("A'B"));
        QCOMPARE(back.fieldByName(QStringLiteral("FPSTIMPORTO"))->asMoney(), 12345600);
        QCOMPARE(back.fieldByName(QStringLiteral("DPSTDTVERS"))->asDate(), QDate(2024, 2, 16));
        back.next();
        QVERIFY(back.fieldByName(QStringLiteral("SSOE7CODICE"))->isNull());
        QCOMPARE(back.changeCount(), 0);
    }

    void damagedFileIsRefusedAndLeftAlone_data()
    {
        QTest::addColumn<int>("damage"); // 0 flip a byte, 1 truncate, 2 empty
        QTest::newRow("one byte changed") << 0;
        QTest::newRow("truncated") << 1;
        QTest::newRow("empty") << 2;
    }

    void damagedFileIsRefusedAndLeftAlone()
    {
        QFETCH(int, damage);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("TREG_REGIONI.CDS"));
        ClientDataSet ds;
        makeSummary(ds);
        add(ds, "A", "01", 1);
        ds.saveToFile(path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        if (damage == 0)
            bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x20);
        else if (damage == 1)
            bytes.chop(10);
        else
            bytes.clear();
        f.resize(0);
        f.write(bytes);
        f.close();

        ClientDataSet other;
        other.addField(QStringLiteral("X"), FieldType::Integer);
        other.createDataSet();
        other.appendRecord({5});
        try {
            other.loadFromFile(path);
            QFAIL("a damaged file was loaded");
        } catch (const EQxError &e) {
            QVERIFY2(e.message().contains(path), qPrintable(e.message()));
            QVERIFY(e.message().contains(QStringLiteral("danneggiato")));
        }
        // The dataset keeps what it had, the file is untouched.
        QCOMPARE(other.recordCount(), 1);
        QCOMPARE(other.fieldByName(QStringLiteral("X"))->asInteger(), 5);
        QFile again(path);
        QVERIFY(again.open(QIODevice::ReadOnly));
        QCOMPARE(again.readAll(), bytes);
    }

    void locateFindsByValueAndPrefix()
    {
        ClientDataSet ds;
        makeSummary(ds);
        add(ds, "AB1", "01", 12);
        add(ds, "AC2", "02", 1);
        add(ds, "ab3", "03", 123);
        QVERIFY(ds.locate(QStringLiteral("IAFIID"), 12));
        QCOMPARE(ds.recNo(), 1);
        QVERIFY(ds.locate(QStringLiteral("SSOE7CODICE"), QStringLiteral("AC"), LocateOptions{false, true}));
        QCOMPARE(ds.recNo(), 2);
        QVERIFY(ds.locate(QStringLiteral("SSOE7CODICE"), QStringLiteral("AB3"), LocateOptions{true, false}));
        QCOMPARE(ds.recNo(), 3);
        QVERIFY(!ds.locate(QStringLiteral("SSOE7CODICE;SPSTMESE"), QVariantList{"AB1", "02"}));
    }
};

JEX_TEST_MAIN(TestDataSet)
#include "tst_dataset.moc"
