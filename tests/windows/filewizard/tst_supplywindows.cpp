// The two windows of the supply files: "Controlla file telematico" shows the
// findings and their counts; the read window fills an empty return and
// refuses, with a message, a supply it cannot read.

#include "filewizard/checkfilewindow.h"
#include "filewizard/supplyfilepicker.h"
#include "importwindows/readfilewindow.h"
#include "telfixture.h"
#include "windowtest.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

using namespace jex;
using namespace jex::test;

class TstSupplyWindows : public QObject
{
    Q_OBJECT

    ScriptedMessageService msgs;

    static QString demoFile() { return sourceDir() + QStringLiteral("/tests/data/golden/demo_77025.txt"); }

private Q_SLOTS:
    void init()
    {
        setMessageService(&msgs);
        msgs.clear();
    }
    void cleanup() { setMessageService(nullptr); }

    void checkShowsFindingsAndCounts()
    {
        TfmJexCheckFile w;
        QVERIFY(!w.buControlla->isEnabled());
        w.piFile->chooseFiles = [](const QString &) { return QStringList{demoFile()}; };
        w.piFile->buSfoglia->click();
        QVERIFY(w.buControlla->isEnabled());
        // The demo school's file has no errors; its DI note is not in the delivered list.
        QCOMPARE(w.buControllaClick(), 0);
        const QString text = w.meRisultato->toPlainText();
        QVERIFY2(text.contains(QStringLiteral("TDIN_NOTEDI")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Record letti: 11 - Errori: 0 - Avvisi: 1")), qPrintable(text));
    }

    void readFillsAnEmptyReturn()
    {
        TelFixture fx;
        ClientDataSet &agent = fx.store.table(QStringLiteral("TSOS_DATOSOSTITUTO"));
        agent.first();
        agent.edit();
        agent.fieldByName(QStringLiteral("SSOSCODFIS"))->clear();
        agent.post();
        agent.mergeChangeLog();
        TfmJexReadFile w(nullptr, &fx.store);
        w.piFile->setFiles({demoFile()});
        QVERIFY(w.buLeggiClick());
        QCOMPARE(fx.store.table(QStringLiteral("TPST_PROSPETTOST")).recordCount(), 23);
        QVERIFY(w.meReport->toPlainText().contains(QStringLiteral("Fornitura letta")));

        // A second read without replacing is refused and changes nothing.
        QVERIFY(!w.buLeggiClick());
        QVERIFY(msgs.contains(QStringLiteral("La dichiarazione contiene già righe dei prospetti")));
        QCOMPARE(fx.store.table(QStringLiteral("TPST_PROSPETTOST")).recordCount(), 23);
        w.ckSostituisci->setChecked(true);
        QVERIFY(w.buLeggiClick());
        QCOMPARE(fx.store.table(QStringLiteral("TPST_PROSPETTOST")).recordCount(), 23);
    }
};

JEX_WINDOW_TEST_MAIN(TstSupplyWindows)

#include "tst_supplywindows.moc"
