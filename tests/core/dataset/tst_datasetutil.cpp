#include "base/errors.h"
#include "dataset/datasetutil.h"

#include <QFile>
#include <QTemporaryDir>
#include "coretest.h"

#include <QtTest>

using namespace jex;

class TestQmrUtil : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void saveNeedsAnExistingFile()
    {
        QTemporaryDir dir;
        ClientDataSet ds;
        ds.addField(QStringLiteral("CODICE"), FieldType::String, 4);
        ds.createDataSet();
        const QString path = dir.filePath(QStringLiteral("TMES_MESI.CDS"));
        try {
            TQmrCds::SaveCdsFile(ds, path);
            QFAIL("saved over a missing file");
        } catch (const EQxError &e) {
            QCOMPARE(e.message(), QStringLiteral("Impossibile creare file di backup: ") + dir.filePath(QStringLiteral("TMES_MESI.BAK")));
        }
    }

    void saveKeepsNoBackupWhenItWorks()
    {
        QTemporaryDir dir;
        ClientDataSet ds;
        ds.addField(QStringLiteral("CODICE"), FieldType::String, 4);
        ds.createDataSet();
        const QString path = dir.filePath(QStringLiteral("TMES_MESI.CDS"));
        ds.saveToFile(path);
        ds.appendRecord({QStringLiteral("01")});
        TQmrCds::SaveCdsFile(ds, path);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("TMES_MESI.BAK"))));
        QCOMPARE(ds.changeCount(), 0);
        ClientDataSet back;
        TQmrCds::LoadCdsFile(back, path);
        QCOMPARE(back.recordCount(), 1);
        ClientDataSet fromBlob;
        TQmrCds::LoadCdsFromBlob(ds.saveToBytes(), fromBlob);
        QCOMPARE(fromBlob.fieldByName(QStringLiteral("CODICE"))->asString(), QStringLiteral("01"));
    }

    void fieldValueDefaults()
    {
        ClientDataSet ds;
        ds.addField(QStringLiteral("S"), FieldType::String, 4);
        ds.addField(QStringLiteral("I"), FieldType::Integer);
        ds.addField(QStringLiteral("D"), FieldType::Date);
        ds.createDataSet();
        ds.appendRecord({});
        QCOMPARE(TQmrDataSet::FieldValueOrEmpty(ds.fieldByName(QStringLiteral("S"))), QVariant(QString()));
        QCOMPARE(TQmrDataSet::FieldValueOrEmpty(ds.fieldByName(QStringLiteral("I"))).toLongLong(), 0);
        QVERIFY(!TQmrDataSet::FieldValueOrEmpty(ds.fieldByName(QStringLiteral("D"))).isValid());
        QCOMPARE(TQmrDataSet::FieldValue(ds.fieldByName(QStringLiteral("S")), QStringLiteral("X")).toString(), QStringLiteral("X"));
        QCOMPARE(TQmrDataSet::FieldValue(nullptr, 7).toInt(), 7);
    }

    void addCondition()
    {
        QString c;
        TQmrDataSet::AddCondition(c, QStringLiteral("A = 1"));
        QCOMPARE(c, QStringLiteral(" A = 1"));
        TQmrDataSet::AddCondition(c, QStringLiteral("B = 2"));
        QCOMPARE(c, QStringLiteral(" A = 1 AND  B = 2"));
        QCOMPARE(TQmrDataSet::SubStr(QStringLiteral("ABCDEF"), 2, 0), QStringLiteral("BCDEF"));
        QCOMPARE(TQmrDataSet::SubStr(QStringLiteral("ABCDEF"), 2, 3), QStringLiteral("BCD"));
    }

    void codiceFromCagCode()
    {
        ClientDataSet ds;
        ds.addField(QStringLiteral("IANAID"), FieldType::Integer);
        ds.addField(QStringLiteral("SANACAGCODE"), FieldType::String, 10);
        ds.addField(QStringLiteral("CODICE"), FieldType::Integer);
        ds.createDataSet();
        ds.appendRecord({2, QStringLiteral("15"), 1});
        ds.appendRecord({1, QStringLiteral("AB"), 2});
        ds.appendRecord({3, QStringLiteral("0"), 3});
        TZptUtil::CodiceFromCagCode(ds);
        QStringList codes;
        for (ds.first(); !ds.eof(); ds.next())
            codes << ds.fieldByName(QStringLiteral("CODICE"))->asString();
        QCOMPARE(codes, (QStringList{"2", "15", "3"}));
    }
};

JEX_TEST_MAIN(TestQmrUtil)
#include "tst_datasetutil.moc"
