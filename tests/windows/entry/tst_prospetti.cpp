#include "shellfakes.h"

#include "checks/tablerules.h"
#include "entry/sectionwindows.h"
#include "base/messages.h"
#include "shell/registry.h"
#include "shell/infowindow.h"

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QCloseEvent>
#include <QTabWidget>
#include <QTableView>
#include "windowtest.h"

#include <QtTest>
#include <memory>

using namespace jex;
using namespace jex::test;

class TstProspetti : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { setMessageService(&m_msg); m_msg.clear(); TfmJexInfo::execHook = nullptr; }
    void cleanup() { setMessageService(nullptr); TfmJexInfo::execHook = nullptr; }

    void stSectionFour_data();
    void stSectionFour();
    void monthField_data();
    void monthField();
    void dataPresent();
    void agentFlagsRecomputed();
    void pageChangeAndCloseRefusedWhileEditing();
    void stFourPostRefused();
    void agentInsertOnlyWhenEmpty();
    void supplierDeleteQuestion();
    void completenessNoKeepsEditing();
    void tipoSostituto_data();
    void tipoSostituto();
    void yearLabels_data();
    void yearLabels();
    void everyEntryItemOpens_data();
    void everyEntryItemOpens();

private:
    ScriptedMessageService m_msg;
};

void TstProspetti::stSectionFour_data()
{
    QTest::addColumn<QVariantMap>("values");
    QTest::addColumn<QString>("error");
    QTest::newRow("all empty") << QVariantMap{} << "";
    QTest::newRow("month without year") << QVariantMap{{"SPST2MESE41", "03"}}
                                        << "Impossibile salvare: Anno o mese nella riga ST41 mancante!";
    QTest::newRow("wrong year") << QVariantMap{{"SPST2MESE41", "03"}, {"SPST2ANNO41", "2023"}}
                                << "Impossibile salvare: Anno nella riga ST41 errato!\r\nInserire solo 2024!";
    QTest::newRow("one-digit month") << QVariantMap{{"SPST2MESE39", "3"}, {"SPST2ANNO39", "2024"}}
                                     << "Impossibile salvare: Mese nella riga ST39 errato!\r\nInserire sempre 2 cifre: gennaio = 01, febbraio = 02...";
    QTest::newRow("first failing line wins") << QVariantMap{{"SPST2MESE40", "13"}, {"SPST2ANNO40", "2024"}, {"SPST2ANNO39", "2024"}}
                                             << "Impossibile salvare: Anno o mese nella riga ST39 mancante!";
    QTest::newRow("good line") << QVariantMap{{"SPST2MESE49", "12"}, {"SPST2ANNO49", "2024"}} << "";
}

void TstProspetti::stSectionFour()
{
    QFETCH(QVariantMap, values);
    QFETCH(QString, error);
    MemorySectionStore store;
    store.put("TPST4_PROSPETTOSTS4", 2024, [&](ClientDataSet &ds) {
        for (auto it = values.begin(); it != values.end(); ++it)
            ds.fieldByName(it.key())->setValue(it.value());
    });
    auto ds = store.load("TPST4_PROSPETTOSTS4");
    QCOMPARE(prosp::stSectionFourError(*ds), error);
}

void TstProspetti::monthField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");
    QTest::newRow("empty") << "" << "";
    QTest::newRow("ok") << "07" << "";
    QTest::newRow("one digit") << "7" << "Il mese deve essere di 2 cifre";
    QTest::newRow("thirteen") << "13" << "Mese non valido, deve essere compreso tra 01 e 12";
    QTest::newRow("zero") << "00" << "Mese non valido, deve essere compreso tra 01 e 12";
    QTest::newRow("letters") << "AB" << "Mese non valido, deve essere compreso tra 01 e 12";
}

void TstProspetti::monthField()
{
    QFETCH(QString, text);
    QFETCH(QString, error);
    QCOMPARE(prosp::monthFieldError(text), error);
}

void TstProspetti::dataPresent()
{
    MemorySectionStore store;
    store.put("TSS4_PROSPETTOSS4", 2024, [](ClientDataSet &ds) { ds.fieldByName("SSOE7CODICE")->setValue("E1"); });
    auto ss = store.load("TSS4_PROSPETTOSS4");
    QVERIFY(prosp::ssDataPresent(*ss, 0)); // an extinct agent's row, all zero
    store.put("TSS4_PROSPETTOSS4", 2024, [](ClientDataSet &) {});
    ss = store.load("TSS4_PROSPETTOSS4");
    QVERIFY(!prosp::ssDataPresent(*ss, 0));
    store.put("TSS4_PROSPETTOSS4", 2024, [](ClientDataSet &ds) { ds.fieldByName("FIOSSALIRPEF_SS")->setValue(10.0); });
    QVERIFY(prosp::ssDataPresent(*store.load("TSS4_PROSPETTOSS4"), 0));
    store.put("TPSX_PROSPETTOSX", 2024, [](ClientDataSet &ds) { ds.fieldByName("LSI_SX")->setValue("0"); });
    QVERIFY(!prosp::sxDataPresent(*store.load("TPSX_PROSPETTOSX"), 0));
    store.put("TPSX_PROSPETTOSX", 2024, [](ClientDataSet &ds) { ds.fieldByName("LSI_SX")->setValue("1"); });
    QVERIFY(prosp::sxDataPresent(*store.load("TPSX_PROSPETTOSX"), 0));
    QCOMPARE(prosp::dataPresentText(true), QStringLiteral("S\u00ec"));

    SectionWindow *w = createSectionWindow("TfmJexProspSX", &store);
    QTableView *grid = w->frames().first()->grFrame;
    QCOMPARE(grid->model()->columnCount(), 2);
    QCOMPARE(grid->model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Dati presenti"));
    QCOMPARE(grid->model()->data(grid->model()->index(0, 1), Qt::DisplayRole).toString(), QStringLiteral("S\u00ec"));
    delete w;
}

void TstProspetti::agentFlagsRecomputed()
{
    MemorySectionStore store;
    store.put("TSOS_DATOSOSTITUTO", 2024, [](ClientDataSet &ds) {
        ds.fieldByName("SSOSCODFIS")->setValue("80012345678");
        ds.fieldByName("ISOSNDIP")->setValue(7);
        ds.fieldByName("LSOSSY")->setValue("0");
        ds.fieldByName("LSOSST")->setValue("1");
    });
    store.put("TPSY3_PROSPETTOSY3", 2024, [](ClientDataSet &ds) { ds.fieldByName("SPSY3CFBEN")->setValue("X"); });
    SectionWindow *w = createSectionWindow("TfmJexSostituto", &store);
    auto sos = store.load("TSOS_DATOSOSTITUTO");
    QCOMPARE(sos->fieldByName("ISOSNDIP")->asInteger(), 0);
    QCOMPARE(sos->fieldByName("LSOSSY")->asString(), QStringLiteral("1"));
    QCOMPARE(sos->fieldByName("LSOSST")->asString(), QStringLiteral("0"));
    QCOMPARE(w->frames().first()->cdsMain.fieldByName("LSOSSY")->asString(), QStringLiteral("1"));
    QVERIFY(m_msg.texts().isEmpty()); // no completeness question for computed values
    delete w;
}

void TstProspetti::pageChangeAndCloseRefusedWhileEditing()
{
    MemorySectionStore store;
    SectionWindow *w = createSectionWindow("TfmJexProspST2009", &store);
    QCOMPARE(w->pages()->count(), 4);
    SectionFrame *f = w->frames().first();
    f->acInsert->trigger();
    QCOMPARE(f->cdsMain.fieldByName("LPSTRAVVEDIMENTO")->asString(), QStringLiteral("0"));
    w->pages()->setCurrentIndex(2);
    QCOMPARE(w->pages()->currentIndex(), 0);
    QCOMPARE(m_msg.texts(), QStringList{QString::fromUtf8(prosp::noPageChangeText)});
    m_msg.clear();
    QCloseEvent ce;
    QCoreApplication::sendEvent(w, &ce);
    QVERIFY(!ce.isAccepted());
    QCOMPARE(m_msg.texts(), QStringList{QStringLiteral("Non è possibile chiudere la finestra prima di aver salvato le modifiche")});
    f->acCancel->trigger();
    w->pages()->setCurrentIndex(2);
    QCOMPARE(w->pages()->currentIndex(), 2);
    delete w;
}

void TstProspetti::stFourPostRefused()
{
    MemorySectionStore store;
    SectionWindow *w = createSectionWindow("TfmJexProspST2009", &store);
    SectionFrame *f = w->frame("TPST4_PROSPETTOSTS4");
    f->acInsert->trigger();
    f->cdsMain.fieldByName("SPST2MESE41")->setValue("03");
    f->acPost->trigger();
    QCOMPARE(m_msg.texts(), QStringList{QStringLiteral("Impossibile salvare: Anno o mese nella riga ST41 mancante!")});
    QCOMPARE(f->cdsMain.state(), DataSetState::Insert);
    QVERIFY(!store.savedNames().contains("TPST4_PROSPETTOSTS4"));
    m_msg.clear();
    f->cdsMain.fieldByName("SPST2ANNO41")->setValue("2024");
    TfmJexInfo::execHook = [](TfmJexInfo &i) { i.buYes->click(); };
    f->acPost->trigger();
    QCOMPARE(f->cdsMain.state(), DataSetState::Browse);
    QVERIFY(store.savedNames().contains("TPST4_PROSPETTOSTS4"));
    delete w;
}

void TstProspetti::agentInsertOnlyWhenEmpty()
{
    MemorySectionStore store;
    SectionWindow *w = createSectionWindow("TfmJexSostituto", &store);
    SectionFrame *f = w->frames().first();
    QVERIFY(f->acInsert->isEnabled());
    f->acInsert->trigger(); // no school code known
    QCOMPARE(m_msg.texts(), QStringList{QString::fromUtf8(prosp::missingSchoolCodeText)});
    QCOMPARE(f->cdsMain.state(), DataSetState::Browse);
    delete w;
    store.put("TSOS_DATOSOSTITUTO", 2024, [](ClientDataSet &ds) { ds.fieldByName("SSOSCODFIS")->setValue("80012345678"); });
    w = createSectionWindow("TfmJexSostituto", &store);
    QVERIFY(!w->frames().first()->acInsert->isEnabled());
    delete w;
}

void TstProspetti::supplierDeleteQuestion()
{
    MemorySectionStore store;
    store.put("TFOR_FORNITORE", 2024, [](ClientDataSet &ds) { ds.fieldByName("SFORCODFIS")->setValue("01234567890"); });
    SectionWindow *w = createSectionWindow("TfmJexFornitore", &store);
    SectionFrame *f = w->frames().first();
    QVERIFY(!f->acInsert->isVisible());
    QVERIFY(!f->acFirst->isVisible());
    m_msg.queueAnswer(ModalResult::No);
    f->acDelete->trigger();
    QCOMPARE(m_msg.texts(), QStringList{QStringLiteral("Confermi la cancellazione del modello corrente ?")});
    QCOMPARE(f->cdsMain.recordCount(), 1);
    m_msg.queueAnswer(ModalResult::Yes);
    f->acDelete->trigger();
    QCOMPARE(f->cdsMain.recordCount(), 0);
    QVERIFY(f->acInsert->isVisible());
    QVERIFY(store.load("TFOR_FORNITORE")->isEmpty());
    delete w;
}

void TstProspetti::completenessNoKeepsEditing()
{
    MemorySectionStore store;
    SectionWindow *w = createSectionWindow("TfmJexProspSV", &store);
    SectionFrame *f = w->frames().first();
    f->acInsert->trigger();
    QStringList shown;
    TfmJexInfo::execHook = [&](TfmJexInfo &i) { shown = i.meInfo->toPlainText().split(u'\n'); i.buOk->click(); };
    f->acPost->trigger();
    QVERIFY(shown.contains(QStringLiteral(" - Dato obbligatorio mancante: Mese di riferimento prospetto SV")));
    QCOMPARE(f->cdsMain.state(), DataSetState::Insert);
    delete w;
}

void TstProspetti::tipoSostituto_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QStringList>("hidden");
    QTest::newRow("persona fisica") << "1" << QStringList{"SSOSDOMNOTUFFICIO"};
    QTest::newRow("ufficio") << "0" << QStringList{"SSOSDOMNOTCOGNOME", "SSOSDOMNOTNOME"};
}

// Choosing the type while editing clears the other type's fields and hides
// them with their labels; the type's own fields keep what was typed.
void TstProspetti::tipoSostituto()
{
    QFETCH(QString, type);
    QFETCH(QStringList, hidden);
    const QStringList typed{"SSOSDOMNOTUFFICIO", "SSOSDOMNOTCOGNOME", "SSOSDOMNOTNOME"};
    MemorySectionStore store;
    store.put("TSOS_DATOSOSTITUTO", 2024, [&](ClientDataSet &ds) {
        ds.fieldByName("SSOSCODFIS")->setValue("80012345678");
        for (const QString &n : typed)
            ds.fieldByName(n)->setValue("X");
    });
    SectionWindow *w = createSectionWindow("TfmJexSostituto", &store);
    ClientDataSet &ds = w->frames().first()->cdsMain;
    QVERIFY(w->findChild<QWidget *>("rgLSOSPERSFISICA")); // a choice of two, not a code field
    ds.edit();
    ds.fieldByName("LSOSPERSFISICA")->setValue(type);
    for (const QString &n : typed) {
        const bool gone = hidden.contains(n);
        QCOMPARE(ds.fieldByName(n)->isNull(), gone);
        auto *ed = w->findChild<QWidget *>("de" + n);
        QVERIFY(ed);
        QCOMPARE(ed->isHidden(), gone);
        for (auto *label : w->findChildren<QLabel *>())
            if (label->buddy() == ed)
                QCOMPARE(label->isHidden(), gone);
    }
    ds.cancel();
    // Moving on to the signatory page without a type chooses the office.
    auto *tabs = w->findChild<QTabWidget *>("pcDetail");
    tabs->setCurrentIndex(2);
    QCOMPARE(tabs->tabText(2), QStringLiteral("Rappresentante firmatario"));
    QCOMPARE(ds.fieldByName("LSOSPERSFISICA")->asString(), QStringLiteral("0"));
    delete w;
}

void TstProspetti::yearLabels_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("label");
    QTest::newRow("SS year before, withheld in the income year") << "TfmJexProspSS" << "FIOSADDREGTRA_SS"
                                                                 << "Addizionale regionale 2023 non trattenuta nel 2024";
    QTest::newRow("SS balance of the year before") << "TfmJexProspSS" << "FIOSSALIRPEF_SS" << "Saldo IRPEF 2023";
    QTest::newRow("SS advance of the income year") << "TfmJexProspSS" << "FIOSPRACCIRPEF_SS" << "Primo acconto IRPEF 2024";
    QTest::newRow("SX credit of last year's return") << "TfmJexProspSX" << "CRERISDICH_SX"
                                                    << "Credito risultante dalla dichiarazione relativa al 2023";
}

// Both the caption beside the editor and the field's label (lists, messages)
// carry the right years.
void TstProspetti::yearLabels()
{
    QFETCH(QString, window);
    QFETCH(QString, column);
    QFETCH(QString, label);
    MemorySectionStore store;
    SectionWindow *w = createSectionWindow(window, &store);
    QCOMPARE(w->frames().first()->cdsMain.fieldByName(column)->displayLabel(), label);
    auto *ed = w->findChild<QWidget *>("de" + column);
    QVERIFY(ed);
    QString caption;
    for (auto *l : w->findChildren<QLabel *>())
        if (l->buddy() == ed)
            caption = l->text();
    QVERIFY2(caption.endsWith(label), qPrintable(caption));
    delete w;
}

void TstProspetti::everyEntryItemOpens_data()
{
    QTest::addColumn<QString>("formClass");
    QTest::addColumn<QString>("caption");
    const auto &reg = TdmJexAttivazioni::instance();
    for (const char *page : {"xpgFrontespizio", "xpgProspet", "xpgTabelle"})
        for (const RegistryItem &i : reg.itemsOf(QLatin1String(page)))
            // The code lists window shows no table of the return (tst_codelistwindow);
            // the employee and self-employed windows are not section windows
            // (tst_recipientwindows).
            if (reg.isAvailable(i) && i.formClass != u"TfmJexTabelleCodici" && i.formClass != u"TfmJexDipendente"
                && i.formClass != u"TfmJexAutonomo")
                QTest::newRow(qPrintable(i.name)) << i.formClass << i.caption;
}

// Every window the data-entry pages offer opens on an empty return, with a
// frame bound to its table and a title of its own.
void TstProspetti::everyEntryItemOpens()
{
    QFETCH(QString, formClass);
    QFETCH(QString, caption);
    MemorySectionStore store;
    std::unique_ptr<SectionWindow> w(createSectionWindow(formClass, &store));
    QVERIFY2(w, qPrintable(formClass));
    QVERIFY(!w->frames().isEmpty());
    QVERIFY(w->frames().first()->cdsMain.isActive());
    QVERIFY(!w->windowTitle().isEmpty());
    QVERIFY(m_msg.texts().isEmpty());
}

JEX_WINDOW_TEST_MAIN(TstProspetti)
#include "tst_prospetti.moc"
