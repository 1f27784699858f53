#include "shellfakes.h"

#include "checks/startupchecks.h"
#include "base/messages.h"

#include <QTemporaryDir>
#include "coretest.h"

#include <QtTest>

using namespace jex;
using namespace jex::test;

class TstStartup : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { setMessageService(&m_msg); m_msg.clear(); }
    void cleanup() { setMessageService(nullptr); }

    void carryOverOnFirstStart();
    void carryOverWithoutLastYear();
    void supplierNotOverwritten();
    void fillFromPayroll_data();
    void fillFromPayroll();
    void completedAtEveryStartUntilCoded();
    void dataDirectoryCreatedOnce();
    void dataDirectoryCopyFailure();

private:
    ScriptedMessageService m_msg;
};

void TstStartup::carryOverOnFirstStart()
{
    MemorySectionStore store;
    store.put(QStringLiteral("TSOS_DATOSOSTITUTO"), 2023, [](ClientDataSet &ds) {
        ds.fieldByName("SSOSCODFIS")->setValue("80012345678");
        ds.fieldByName("SSOSDENOM")->setValue("ISTITUTO COMPRENSIVO");
        ds.fieldByName("SSOSCFRAPPR")->setValue("RSSMRA70A01H501U");
        ds.fieldByName("ISOSSEZ")->setValue(3);
        for (const QString &f : startup::carryOverResetFlags())
            if (ds.findField(f))
                ds.fieldByName(f)->setValue("1");
        for (const char *f : {"SSOSMESESL", "SSOSANNOSL", "SSOSMESEDF", "SSOSANNODF"})
            if (ds.findField(f))
                ds.fieldByName(f)->setValue("12");
    });
    store.put(QStringLiteral("TFOR_FORNITORE"), 2023, [](ClientDataSet &ds) {
        ds.fieldByName("SFORCODFIS")->setValue("01234567890");
    });

    startup::checkSostituto(store, nullptr);

    auto sosp = store.load(QStringLiteral("TSOS_DATOSOSTITUTO"));
    ClientDataSet &sos = *sosp;
    QCOMPARE(sos.recordCount(), 1);
    QCOMPARE(sos.fieldByName("SSOSCODFIS")->asString(), QStringLiteral("80012345678"));
    QCOMPARE(sos.fieldByName("SSOSCFRAPPR")->asString(), QStringLiteral("RSSMRA70A01H501U"));
    QCOMPARE(sos.fieldByName("ISOSSEZ")->asInteger(), 1);
    int flagsSeen = 0;
    for (const QString &f : startup::carryOverResetFlags()) {
        if (!sos.findField(f))
            continue;
        ++flagsSeen;
        QVERIFY2(sos.fieldByName(f)->asString() == u"0", qPrintable(f));
    }
    QVERIFY(flagsSeen > 20);
    QCOMPARE(startup::carryOverResetFlags().size(), 33);
    for (const char *f : {"SSOSMESESL", "SSOSANNOSL", "SSOSMESEDF", "SSOSANNODF"})
        if (sos.findField(f))
            QVERIFY2(sos.fieldByName(f)->isNull(), f);
    auto fornp = store.load(QStringLiteral("TFOR_FORNITORE"));
    ClientDataSet &forn = *fornp;
    QCOMPARE(forn.recordCount(), 1);
    QCOMPARE(forn.fieldByName("SFORCODFIS")->asString(), QStringLiteral("01234567890"));
    QCOMPARE(m_msg.texts(), QStringList{QString::fromUtf8(startup::carryOverMessage)});
    QVERIFY(QString::fromUtf8(startup::carryOverMessage).contains(QStringLiteral("\"Sostituto\". \n\rSi consiglia")));
}

void TstStartup::carryOverWithoutLastYear()
{
    MemorySectionStore store;
    startup::checkSostituto(store, nullptr); // no payroll code either
    auto sosp = store.load(QStringLiteral("TSOS_DATOSOSTITUTO"));
    ClientDataSet &sos = *sosp;
    QCOMPARE(sos.recordCount(), 1);
    QCOMPARE(sos.fieldByName("ISOSSEZ")->asInteger(), 1);
    QCOMPARE(sos.fieldByName("LSOSST")->asString(), QStringLiteral("0"));
    QVERIFY(sos.fieldByName("SSOSDENOM")->isNull());
    // The carry-over message is shown even with nothing to carry; without a
    // code there is nothing to announce for the payroll fill.
    QCOMPARE(m_msg.texts(), QStringList{QString::fromUtf8(startup::carryOverMessage)});
}

void TstStartup::supplierNotOverwritten()
{
    MemorySectionStore store;
    store.put(QStringLiteral("TFOR_FORNITORE"), 2024, [](ClientDataSet &ds) { ds.fieldByName("SFORCODFIS")->setValue("NEW"); });
    store.put(QStringLiteral("TFOR_FORNITORE"), 2023, [](ClientDataSet &ds) { ds.fieldByName("SFORCODFIS")->setValue("OLD"); });
    startup::checkSostituto(store, nullptr);
    auto fornp = store.load(QStringLiteral("TFOR_FORNITORE"));
    ClientDataSet &forn = *fornp;
    QCOMPARE(forn.recordCount(), 1);
    QCOMPARE(forn.fieldByName("SFORCODFIS")->asString(), QStringLiteral("NEW"));
}

void TstStartup::fillFromPayroll_data()
{
    QTest::addColumn<QString>("payroll");
    QTest::addColumn<QString>("cud");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("texts");
    const QString fill = QString::fromUtf8(startup::fillMessage);
    QTest::newRow("same code") << "80012345678" << "80012345678" << "80012345678" << QStringList{fill};
    QTest::newRow("codes differ: payroll kept")
        << "80012345678" << "99999999999" << "80012345678"
        << QStringList{QStringLiteral("Codice fiscale della scuola (80012345678) non congruente con quello presente nel CUD (99999999999). Verrà importato 80012345678"), fill};
    QTest::newRow("no certification code") << "80012345678" << "" << "80012345678" << QStringList{fill};
    QTest::newRow("no code at all") << "" << "" << "" << QStringList{};
}

void TstStartup::fillFromPayroll()
{
    QFETCH(QString, payroll);
    QFETCH(QString, cud);
    QFETCH(QString, stored);
    QFETCH(QStringList, texts);
    MemorySectionStore store;
    // An existing agent record without a code: no carry-over, only the fill.
    store.put(QStringLiteral("TSOS_DATOSOSTITUTO"), 2024, [](ClientDataSet &ds) { ds.fieldByName("SSOSTEL")->setValue("0612345"); });
    FakeCertification cert;
    cert.payrollCode = payroll;
    cert.cus = {{"SSOSDENOM", "SCUOLA MEDIA"}, {"SSOSCOMUNE", "ROMA"}, {"SSOSPROV", "RM"},
                {"SSOSCODATTIVITA", "853100"}};
    if (!cud.isEmpty())
        cert.cus.insert("SSOSCODFIS", cud);
    startup::checkSostituto(store, &cert);
    auto sosp = store.load(QStringLiteral("TSOS_DATOSOSTITUTO"));
    ClientDataSet &sos = *sosp;
    QCOMPARE(sos.recordCount(), 1);
    QCOMPARE(sos.fieldByName("SSOSCODFIS")->asString(), stored);
    QCOMPARE(sos.fieldByName("SSOSDENOM")->asString(), QStringLiteral("SCUOLA MEDIA"));
    QCOMPARE(sos.fieldByName("SSOSCOMUNESL")->asString(), QStringLiteral("ROMA"));
    QCOMPARE(sos.fieldByName("SCOACODICE")->asString(), QStringLiteral("853100"));
    QCOMPARE(sos.fieldByName("SSOSTEL")->asString(), QStringLiteral("0612345"));
    QCOMPARE(m_msg.texts(), texts);
}

void TstStartup::completedAtEveryStartUntilCoded()
{
    MemorySectionStore store;
    store.put(QStringLiteral("TSOS_DATOSOSTITUTO"), 2024, [](ClientDataSet &ds) { ds.fieldByName("SSOSDENOM")->setValue("X"); });
    FakeCertification cert; // nothing known yet
    startup::checkSostituto(store, &cert);
    startup::checkSostituto(store, &cert);
    QCOMPARE(store.savedNames().count(QStringLiteral("TSOS_DATOSOSTITUTO")), 2);
    cert.payrollCode = QStringLiteral("80012345678");
    startup::checkSostituto(store, &cert);
    const int saves = int(store.savedNames().size());
    startup::checkSostituto(store, &cert); // coded now: left alone
    QCOMPARE(int(store.savedNames().size()), saves);
    QCOMPARE(store.load(QStringLiteral("TSOS_DATOSOSTITUTO"))->fieldByName("SSOSCODFIS")->asString(),
             QStringLiteral("80012345678"));
}

void TstStartup::dataDirectoryCreatedOnce()
{
    QTemporaryDir tmp;
    const QString initial = tmp.filePath(QStringLiteral("DbIniziale/"));
    QDir().mkpath(initial);
    for (const QString &f : startup::startingDataFiles()) {
        QFile file(initial + f);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    const QString data = tmp.filePath(QStringLiteral("YRDati/YR2024/"));
    startup::checkDataDirectory(initial, data);
    for (const QString &f : startup::startingDataFiles())
        QVERIFY(QFile::exists(data + f));
    // An existing directory stays as it is, even with a file missing.
    QFile::remove(data + startup::startingDataFiles().first());
    startup::checkDataDirectory(initial, data);
    QVERIFY(!QFile::exists(data + startup::startingDataFiles().first()));
    QVERIFY(m_msg.texts().isEmpty());
}

void TstStartup::dataDirectoryCopyFailure()
{
    QTemporaryDir tmp;
    const QString data = tmp.filePath(QStringLiteral("YRDati/YR2024/"));
    startup::checkDataDirectory(tmp.filePath(QStringLiteral("missing/")), data);
    QVERIFY(QDir(data).exists());
    QCOMPARE(m_msg.texts(), (QStringList{QStringLiteral("Errore nella creazione dei dati di partenza: TFIFI_FIELDSFILE.CDS"),
                                         QStringLiteral("Errore nella creazione dei dati di partenza: TFILE_FILETELEM.CDS")}));
}

JEX_TEST_MAIN(TstStartup)
#include "tst_startup.moc"
