#include "filewizard/wizard.h"
#include "telematic/returndata.h"
#include "base/errors.h"
#include "telfixture.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include "windowtest.h"

#include <QtTest>

using namespace jex;
using namespace jex::test;

class TstWizard : public QObject
{
    Q_OBJECT

    ScriptedMessageService msgs;

    struct Wizard
    {
        TelFixture &fx;
        TfmJexFile form;
        explicit Wizard(TelFixture &f) : fx(f), form(f.dm)
        {
            form.chooseFile = [this](const QString &, const QString &name) {
                proposed = name;
                return fx.tmp.filePath(name);
            };
            form.show();
        }
        QString proposed;
    };

private Q_SLOTS:
    void init()
    {
        setMessageService(&msgs);
        msgs.clear();
        telematicCompletenessCheck() = nullptr;
    }
    void cleanup() { setMessageService(nullptr); }

    void noSummaryDataOpensOnTheCreatePage()
    {
        TelFixture fx;
        Wizard w(fx);
        QCOMPARE(w.form.currentPath(), QStringLiteral("onlyfile"));
        QCOMPARE(w.form.currentPage(), int(TfmJexFile::tsCreaIdx));
        QVERIFY(!w.form.buNext->isEnabled());
        QVERIFY(!w.form.buOk->isEnabled());
        QVERIFY(w.form.tsCrea->isEnabled());
        w.form.buInizio->click();
        QVERIFY(w.form.buOk->isEnabled());
        QVERIFY(!w.form.buInizio->isEnabled());
        QVERIFY(w.form.infoLines().contains("Operazione terminata con successo."));
        // The reconciliation's findings come before saving; without the
        // program's database there is no archive of payments to compare.
        const QStringList before = w.form.infoLines();
        QVERIFY2(std::any_of(before.begin(), before.end(),
                             [](const QString &l) { return l.startsWith(u"Quadratura CU / 770 / F24"); }),
                 qPrintable(before.join(u'|')));
        w.form.buOk->click();
        QCOMPARE(w.proposed, QStringLiteral("77025"));
        QCOMPARE(TelFixture::lines(fx.tmp.filePath("77025")).size(), 3);
        QVERIFY(msgs.contains("Generazione file completata con successo. Il file è presente in:\n\r"));
        // What was written has been checked (the fixture's agent code has a
        // wrong check character).
        const QStringList info = w.form.infoLines();
        QVERIFY2(std::any_of(info.begin(), info.end(),
                             [](const QString &l) { return l.startsWith(u"Controllo del file scritto: Errori: "); }),
                 qPrintable(info.join(u'|')));
    }

    void onlyStSectionTwo()
    {
        TelFixture fx;
        fx.row("TPST2_PROSPETTOSTS2", {{"SPST2MESE", "1"}, {"SPST2ANNO", "2024"}, {"FPST2RITEFFETTUATE", 10.0}});
        Wizard w(fx);
        QCOMPARE(w.form.currentPath(), QStringLiteral("onlySV-ST-Sx-DI"));
        QCOMPARE(w.form.currentPage(), int(TfmJexFile::tsSVIdx));
        QVERIFY(!w.form.tsCrea->isEnabled());
        w.form.buNext->click();
        QCOMPARE(w.form.currentPage(), int(TfmJexFile::tsCreaIdx));
        QVERIFY(w.form.tsCrea->isEnabled());
        QVERIFY(!w.form.buNext->isEnabled());
    }

    void onlySyData()
    {
        TelFixture fx;
        fx.row("TPSY3_PROSPETTOSY3", {{"SPSY3CFBEN", "X"}, {"FPSY3RITEFF", 1.0}});
        Wizard w(fx);
        QCOMPARE(w.form.currentPath(), QStringLiteral("onlySY"));
        QCOMPARE(w.form.currentPage(), int(TfmJexFile::tsSYIdx));
    }

    void defaultPathAndChoiceNo()
    {
        TelFixture fx;
        fx.stRow(1, 10);
        fx.row("TPSY3_PROSPETTOSY3", {{"SPSY3CFBEN", "X"}, {"FPSY3RITEFF", 1.0}});
        Wizard w(fx);
        QCOMPARE(w.form.currentPath(), QStringLiteral("Default"));
        QCOMPARE(w.form.currentPage(), int(TfmJexFile::tsSVIdx));
        w.form.rbNessunoSv->setChecked(true);
        w.form.buNext->click();
        QCOMPARE(w.form.currentPage(), int(TfmJexFile::tsSYIdx));
        w.form.rbNessunoSY->setChecked(true);
        w.form.buNext->click();
        QCOMPARE(w.form.currentPage(), int(TfmJexFile::tsCreaIdx));
        w.form.buInizio->click();
        w.form.buOk->click();
        const QStringList lines = TelFixture::lines(fx.tmp.filePath("77025"));
        QString order;
        for (const QString &l : lines)
            order += l.at(0);
        QCOMPARE(order, QStringLiteral("ABJZ"));
        QCOMPARE(lines[1].mid(1140, 6), QStringLiteral("000010")); // SS only
    }

    void missingExtinctAgentShowsTheError()
    {
        TelFixture fx;
        fx.stRow(1, 10, "ZZ9");
        Wizard w(fx);
        w.form.buNext->click();
        w.form.buInizio->click();
        QVERIFY(w.form.infoLines().contains(
            "***** Prospetti ST Sez I: Codice fiscale sostituto estinto non presente in Tabelle->Sostituto estinto"));
        QVERIFY(msgs.contains("Operazione terminata con errore"));
        QVERIFY(!w.form.buOk->isEnabled());
        QVERIFY(w.form.buCancel->isEnabled());
        QVERIFY(!w.form.buInizio->isEnabled());
    }

    void completenessFindingAnsweredNo()
    {
        TelFixture fx;
        telematicCompletenessCheck() = [](QStringList &lines, const QList<ClientDataSet *> &, int) {
            lines.append(" - Dato obbligatorio mancante: Tipo fornitore");
            return false;
        };
        msgs.queueAnswer(ModalResult::No);
        Wizard w(fx);
        w.form.buInizio->click();
        QVERIFY(w.form.infoLines().contains("Generazione file telematico terminata dall'utente"));
        QVERIFY(msgs.contains("Dato obbligatorio mancante: Tipo fornitore"));
        QVERIFY(!QFile::exists(fx.tmp.filePath("dati/TFIFI_FIELDSFILE.CDS")));
    }

    void existingSupplyIsReplacedOnlyWhenConfirmed_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("replaced");
        QTest::newRow("no") << int(ModalResult::No) << false;
        QTest::newRow("yes") << int(ModalResult::Yes) << true;
    }
    void existingSupplyIsReplacedOnlyWhenConfirmed()
    {
        TelFixture fx;
        const QString path = fx.tmp.filePath("77025");
        QFile sent(path);
        QVERIFY(sent.open(QIODevice::WriteOnly));
        sent.write("fornitura inviata\r\n");
        sent.close();
        Wizard w(fx);
        w.form.buInizio->click();
        QFETCH(int, answer);
        QFETCH(bool, replaced);
        msgs.clear();
        msgs.queueAnswer(ModalResult(answer));
        w.form.buOk->click();
        QVERIFY(!msgs.shown().isEmpty());
        QCOMPARE(msgs.shown().first().type, DlgType::Confirmation);
        QCOMPARE(msgs.shown().first().text,
                 QStringLiteral("Il file %1 esiste già. Sostituirlo con la nuova fornitura?").arg(QDir::toNativeSeparators(path)));
        QCOMPARE(TelFixture::lines(path).size() == 3, replaced);
        QCOMPARE(msgs.contains("Generazione file completata con successo."), replaced);
    }

    void supplyThatCannotBeWrittenIsReported()
    {
        TelFixture fx;
        Wizard w(fx);
        w.form.chooseFile = [&fx](const QString &, const QString &name) { return fx.tmp.filePath("manca/" + name); };
        w.form.buInizio->click();
        msgs.clear();
        w.form.buOk->click();
        const QString path = QDir::toNativeSeparators(fx.tmp.filePath("manca/77025"));
        QCOMPARE(msgs.texts(), QStringList{QStringLiteral("Impossibile scrivere il file %1: la cartella non esiste").arg(path)});
        QVERIFY(!msgs.contains("completata con successo"));
    }

    void failureWhenShownClosesTheWizard()
    {
        // The first showing opens the tables: a database failure there is
        // shown and the wizard closes, instead of ending the program.
        TelFixture fx;
        TfmJexFile form(fx.dm);
        struct FailingStore : MemorySectionStore
        {
            void openCdsPeriod(const QString &table, ClientDataSet &, int, int) override
            {
                throw EQxError(QStringLiteral("no such table: %1").arg(table));
            }
        } failing;
        fx.dm.store = &failing;
        form.show();
        QCOMPARE(msgs.texts().size(), 1);
        QVERIFY2(msgs.texts().first().startsWith(QStringLiteral("Errore non previsto: no such table: ")),
                 qPrintable(msgs.texts().first()));
        QTRY_VERIFY(!form.isVisible());
    }
};

JEX_WINDOW_TEST_MAIN(TstWizard)
#include "tst_wizard.moc"
