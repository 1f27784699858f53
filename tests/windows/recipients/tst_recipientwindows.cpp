#include "recipients/aggiungiadd.h"
#include "recipients/currentrecipient.h"
#include "recipients/recipientsection.h"
#include "recipients/recipientwindow.h"

#include "base/messages.h"
#include "catalogue/catalogue.h"
#include "checks/tablerules.h"
#include "database/sqlconnection.h"
#include "database/structureservice.h"
#include "demo/codicefiscale.h"
#include "sections/databasestore.h"
#include "sections/memorystore.h"
#include "shell/editors.h"
#include "shell/infowindow.h"
#include "shell/registry.h"

#include <QAction>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include "testdb.h"
#include "windowtest.h"

#include <QtTest>
#include <memory>

using namespace jex;

namespace {

struct Person { const char *cf, *surname, *name; qint64 afi; };
// In codice-fiscale order A, B, C; by surname C, A, B.
const Person people[] = {
    {"BBBBBB80A01H501B", "ZANETTI", "LUCA", 11},
    {"AAAAAA80A01H501A", "VERDI", "ANNA", 12},
    {"CCCCCC80A01H501C", "D'ANGELO", "MARIA", 13},
};

void seed(MemorySectionStore &store, bool withUnlinked = false)
{
    ClientDataSet &dip = store.table("TDIP7_ANAGRFISCALI");
    auto add = [&](const Person &p) {
        dip.append();
        dip.fieldByName("SDIP7CODFIS")->setValue(p.cf);
        dip.fieldByName("SDIP7COGNOME")->setValue(p.surname);
        dip.fieldByName("SDIP7NOME")->setValue(p.name);
        dip.fieldByName("IAFIID")->setValue(p.afi);
        dip.post();
    };
    for (const Person &p : people)
        add(p);
    if (withUnlinked)
        add({"DDDDDD80A01H501D", "NUOVO", "NON SALVATO", 0});
    dip.mergeChangeLog();
    ClientDataSet &inps = store.table("TINPS7_INPS");
    for (qint64 afi : {11, 11, 12}) {
        inps.append();
        inps.fieldByName("IAFIID")->setValue(afi);
        inps.fieldByName("SINPS7MATRAZIENDA")->setValue(QStringLiteral("M%1").arg(afi));
        inps.post();
    }
    inps.mergeChangeLog();
}

int pageIndex(RecipientWindow &w, const QString &caption)
{
    for (int i = 0; i < w.pages()->count(); ++i)
        if (w.pages()->tabText(i) == caption)
            return i;
    return -1;
}

QString shownCodFis(RecipientWindow &w)
{
    return w.registry()->cdsMain.fieldByName(w.registry()->def().codFis)->asString();
}

bool gotoCodFis(RecipientWindow &w, const QString &cf)
{
    return w.registry()->cdsMain.locate(w.registry()->def().codFis, cf);
}

} // namespace

class TstRecipientWindows : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        setMessageService(&m_msg);
        m_msg.clear();
        m_msg.setDefaultAnswer(ModalResult::Yes);
        m_info.clear();
        m_infoAnswer = ModalResult::Yes;
        TfmJexInfo::execHook = [this](TfmJexInfo &w) {
            m_info << w.meInfo->toPlainText();
            w.finishWith(m_infoAnswer);
        };
        currentEmployee() = {};
        currentSelfEmployed() = {};
    }
    void cleanup()
    {
        setMessageService(nullptr);
        TfmJexInfo::execHook = nullptr;
        setSectionStore(nullptr);
    }

    void pagesInOrder();
    void progressiveUnchangedBySorting();
    void sectionsFollowTheRecipient_data();
    void sectionsFollowTheRecipient();
    void editingSectionHoldsTheWindow();
    void newSectionRowBelongsToRecipient();
    void sectionRowNeedsStoredRecipient();
    void registryPost_data();
    void registryPost();
    void codFisEditableOnlyOnInsert();
    void search_data();
    void search();
    void familyFlagsOnPost();
    void monthFields_data();
    void monthFields();
    void threeDecimals();
    void completenessBySection_data();
    void completenessBySection();
    void foreignTaxReminder();
    void deleteQuestion_data();
    void deleteQuestion();
    void selfEmployedSums();
    void selfEmployedNewRecipient();
    void addizionali();
    void registryBlocksOnTheirPages_data();
    void registryBlocksOnTheirPages();
    void everyPageInSight();
    void registryItemsOpen_data();
    void registryItemsOpen();
    void databaseRoundTrip_data() { TestDatabase::addDatabaseRows(); }
    void databaseRoundTrip();

private:
    ScriptedMessageService m_msg;
    QStringList m_info;
    ModalResult m_infoAnswer = ModalResult::Yes;
};

void TstRecipientWindows::pagesInOrder()
{
    MemorySectionStore store;
    std::unique_ptr<RecipientWindow> w(createRecipientWindow("TfmJexDipendente", &store));
    QStringList captions;
    for (int i = 0; i < w->pages()->count(); ++i)
        captions << w->pages()->tabText(i);
    QCOMPARE(captions, (QStringList{"Anagrafica", "Dati fiscali", "Redd.Esteri", "Altri dati - 1", "Familiare carico",
                                    "Altri dati - 2", "Somme Ero. Incr. Produtt. lavoro", "Redd.Assoggettati Rit. Imp.",
                                    "Comp. rel. anni precedenti", "Dati rel. Conguagli", "TFR", "Annotazioni",
                                    "Con. Fam. a carico", "INPS", "INPS gestione ex INPDAP", "INAIL", "Assistenza"}));
    QCOMPARE(w->sections().size(), 12);
    QCOMPARE(w->windowTitle(), QStringLiteral("Lavoro Dipendente"));
    // year labels of the edition
    auto *tfr = w->section("TTFR7_TFR");
    QCOMPARE(tfr->cdsMain.fieldByName("FRL7TFRVERANNREDD")->displayLabel(),
             QStringLiteral("TFR maturato dall' 1/1/2001 al 31/12/2006 e versato al fondo"));
    QCOMPARE(tfr->cdsMain.fieldByName("FRIEP7CRITPOST")->displayLabel(), QStringLiteral("Ritenute post 01/01/2007"));
    QCOMPARE(tfr->cdsMain.fieldByName("FRIEP7RITEN2005")->displayLabel(), QStringLiteral("Ritenute operate nel 2024"));
    QCOMPARE(w->section("TCON7_DATICONGUAG")->cdsMain.fieldByName("FCON7ADDCOM")->displayLabel(),
             QStringLiteral("Addizionale comunale acconto 2024"));
    bool balance2023 = false;
    for (auto *l : w->registry()->findChildren<QLabel *>())
        balance2023 |= l->text().contains("Imposta trattenuta saldo irpef 2023 coniuge");
    QVERIFY(balance2023);
}

void TstRecipientWindows::progressiveUnchangedBySorting()
{
    MemorySectionStore store;
    seed(store);
    std::unique_ptr<RecipientWindow> w(createRecipientWindow("TfmJexDipendente", &store));
    QAbstractItemModel *m = w->registry()->grFrame->model();
    QCOMPARE(m->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Progressivo"));
    QCOMPARE(m->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Cognome"));
    auto rows = [m] {
        QStringList out;
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->data(m->index(r, 0)).toString() + u' ' + m->data(m->index(r, 2)).toString();
        return out;
    };
    QCOMPARE(rows(), (QStringList{"1 VERDI", "2 ZANETTI", "3 D'ANGELO"}));
    QVERIFY(w->registry()->sortByColumn(2));
    QCOMPARE(rows(), (QStringList{"3 D'ANGELO", "1 VERDI", "2 ZANETTI"}));
    QVERIFY(w->registry()->sortByColumn(0)); // "Progressivo" is the codice-fiscale order
    QCOMPARE(rows(), (QStringList{"1 VERDI", "2 ZANETTI", "3 D'ANGELO"}));
    QVERIFY(!w->registry()->sortByColumn(42));
}

void TstRecipientWindows::sectionsFollowTheRecipient_data()
{
    QTest::addColumn<QStringList>("visits"); // codici fiscali shown in turn
    QTest::addColumn<int>("inpsRows");
    QTest::addColumn<qint64>("current");
    QTest::newRow("first shown") << QStringList{} << 1 << qint64(12);
    QTest::newRow("two rows") << QStringList{"BBBBBB80A01H501B"} << 2 << qint64(11);
    QTest::newRow("none") << QStringList{"CCCCCC80A01H501C"} << 0 << qint64(13);
    QTest::newRow("back") << QStringList{"CCCCCC80A01H501C", "AAAAAA80A01H501A"} << 1 << qint64(12);
    QTest::newRow("IAFIID 0 does not filter") << QStringList{"BBBBBB80A01H501B", "DDDDDD80A01H501D"} << 2 << qint64(11);
}

void TstRecipientWindows::sectionsFollowTheRecipient()
{
    QFETCH(QStringList, visits);
    QFETCH(int, inpsRows);
    QFETCH(qint64, current);
    MemorySectionStore store;
    seed(store, true);
    std::unique_ptr<RecipientWindow> w(createRecipientWindow("TfmJexDipendente", &store));
    for (const QString &cf : visits)
        QVERIFY(gotoCodFis(*w, cf));
    auto *inps = w->section("TINPS7_INPS");
    QCOMPARE(inps->cdsMain.recordCount(), inpsRows);
    QCOMPARE(inps->edRigo->text(), inpsRows ? QStringLiteral("1 di %1").arg(inpsRows) : QStringLiteral("0 di 0"));
    QCOMPARE(inps->cdsMain.filter(), QStringLiteral("IAFIID = %1").arg(current));
    QCOMPARE(currentEmployee().afiId, current);
    for (RecipientSectionFrame *f : w->sections())
        QCOMPARE(f->cdsMain.filter(), QStringLiteral("IAFIID = %1").arg(current));
    const QString shown = visits.isEmpty() ? QStringLiteral("AAAAAA80A01H501A") : visits.last();
    QCOMPARE(w->registry()->laInfo->text().isEmpty(), false);
    QCOMPARE(shownCodFis(*w), shown);
}

void TstRecipientWindows::editingSectionHoldsTheWindow()
{
    MemorySectionStore store;
    seed(store);
    std::unique_ptr<RecipientWindow> w(createRecipientWindow("TfmJexDipendente", &store));
    const int tfrPage = pageIndex(*w, "TFR");
    w->pages()->setCurrentIndex(tfrPage);
    auto *tfr = w->section("TTFR7_TFR");
    tfr->acInsert->trigger();
    QCOMPARE(tfr->cdsMain.state(), DataSetState::Insert);
    QCOMPARE(tfr->edRigo->text(), QStringLiteral("Ins."));
    QCOMPARE(tfr->cdsMain.fieldByName("LRL7TEMPDETER")->asString(), QStringLiteral("0"));
    const QString refused = QString::fromUtf8(prosp::noPageChangeText);

    w->pages()->setCurrentIndex(pageIndex(*w, "INPS"));
    QCOMPARE(w->pages()->currentIndex(), tfrPage);
    QVERIFY(m_msg.contains(refused));

    // the list keeps its person: no move, no delete, no sort, no search
    m_msg.clear();
    const QString before = shownCodFis(*w);
    w->registry()->acNext->trigger();
    QCOMPARE(shownCodFis(*w), before);
    w->registry()->acDelete->trigger();
    QCOMPARE(w->registry()->cdsMain.recordCount(), 3);
    QCOMPARE(store.saves("TDIP7_ANAGRFISCALI"), 0);
    QVERIFY(!w->registry()->sortByColumn(2));
    w->registry()->setSearchText("ZAN");
    QCOMPARE(w->registry()->cdsMain.recordCount(), 3);
    QVERIFY(m_msg.contains(refused));
    QCOMPARE(tfr->cdsMain.state(), DataSetState::Insert);

    m_msg.clear();
    QVERIFY(!w->close());
    QVERIFY(m_msg.contains(QString::fromUtf8(prosp::noCloseText)));

    tfr->acCancel->trigger();
    w->pages()->setCurrentIndex(pageIndex(*w, "INPS"));
    QCOMPARE(w->pages()->currentIndex(), pageIndex(*w, "INPS"));
    QVERIFY(w->close());
}

void TstRecipientWindows::newSectionRowBelongsToRecipient()
{
    MemorySectionStore store;
    seed(store);
    std::unique_ptr<RecipientWindow> w(createRecipientWindow("TfmJexDipendente", &store));
    QVERIFY(gotoCodFis(*w, "BBBBBB80A01H501B"));
    auto *ree = w->section("TREE7_REDDITOESTER");
    ree->acInsert->trigger();
    // whatever was typed elsewhere
    ree->cdsMain.fieldByName("SDIP7CODFIS")->setValue("XXXXXX00X00X000X");
    ree->cdsMain.fieldByName("IAFIID")->setValue(99);
    ree->cdsMain.fieldByName("FFIS7REDDESTERO")->setValue(1500.0);
    ree->acPost->trigger();
    QCOMPARE(ree->cdsMain.state(), DataSetState::Browse);
    QCOMPARE(store.saves("TREE7_REDDITOESTER"), 1);
    auto saved = store.load("TREE7_REDDITOESTER");
    QCOMPARE(saved->recordCount(), 1);
    QCOMPARE(saved->fieldByName("SDIP7CODFIS")->asString(), QStringLiteral("BBBBBB80A01H501B"));
    QCOMPARE(saved->fieldByName("IAFIID")->asInteger(), qint64(11));
    QCOMPARE(ree->edRigo->text(), QStringLiteral("1 di 1"));
}

void TstRecipientWindows::sectionRowNeedsStoredRecipient()
{
    MemorySectionStore store; // no recipient at all
    std::unique_ptr<RecipientWindow> w(createRecipientWindow("TfmJexDipendente", &store));
    auto *inps = w->section("TINPS7_INPS");
    inps->acInsert->trigger();
    QCOMPARE(inps->cdsMain.state(), DataSetState::Browse);
    QVERIFY(m_msg.contains("Salvare prima i dati anagrafici del percipiente"));
    QCOMPARE(store.saves("TINPS7_INPS"), 0);
}

void TstRecipientWindows::registryPost_data()
{
    QTest::addColumn<QString>("codFis");
    QTest::addColumn<int>("answer"); // of the information window
    QTest::addColumn<QString>("shown");   // a message or a finding
    QTest::addColumn<bool>("saved");
    const QString good = demo::personFiscalCode("ROSSI", "MARIO", QDate(1980, 1, 1), false, "H501");
    QString wrong = good;
    wrong[15] = good[15] == u'A' ? u'B' : u'A';
    const int yes = int(ModalResult::Yes), no = int(ModalResult::No);
    QTest::newRow("empty code") << "" << yes << "Codice fiscale obbligatorio" << false;
    QTest::newRow("good code, go on") << good << yes << " - Dato obbligatorio mancante: Sesso del dipendente" << true;
    QTest::newRow("good code, stop") << good << no << " - Dato obbligatorio mancante: Sesso del dipendente" << false;
    QTest::newRow("wrong check character, stop")
        << wrong << no << " - Codice fiscale errato: Codice fiscale del dipendente (carattere di controllo non valido)"
        << false;
    QTest::newRow("wrong check character, go on")
        << wrong << yes << " - Codice fiscale errato: Codice fiscale del dipendente (carattere di controllo non valido)"
        << true;
    QTest::newRow("already there") << "AAAAAA80A01H501A" << yes
                                   << "Il codice fiscale AAAAAA80A01H501A è già presente nell'elenco" << false;
}

void TstRecipientWindows::registryPost()
{
    QFETCH(QString, codFis);
    QFETCH(int, answer);
    QFETCH(QString, shown);
    QFETCH(bool, saved);
    m_infoAnswer = ModalResult(answer);
    MemorySectionStore store;
    seed(store);
    std::unique_ptr<RecipientWindow> w(createRecipientWindow("TfmJexDipendente", &store));
    w->show();
    RecipientRegistryFrame *r = w->registry();
    w->pages()->setCurrentIndex(pageIndex(*w, "INPS"));
    r->acInsert->trigger();
    QCOMPARE(w->pages()->currentIndex(), 0); // "Anagrafica"
    QVERIFY(r->laInfo->text().isEmpty());
    auto *ed = r->findChild<DBEdit *>("deSDIP7CODFIS");
    QVERIFY(ed && !ed->isReadOnly());
    QTest::keyClicks(ed, codFis.toLower());
    QTest::keyClicks(r->findChild<DBEdit *>("deSDIP7COGNOME"), "rossi");
    r->acPost->trigger();
    QVERIFY2(m_msg.contains(shown) || m_info.join('\n').contains(shown), qPrintable(m_msg.texts().join('|') + m_info.join('|')));
    QCOMPARE(store.saves("TDIP7_ANAGRFISCALI"), saved ? 1 : 0);
    QCOMPARE(r->cdsMain.state(), saved ? DataSetState::Browse : DataSetState::Insert);
    if (!saved) {
        // the user's values stay for a correction
        QCOMPARE(r->cdsMain.fieldByName("SDIP7COGNOME")->asString(), QStringLiteral("ROSSI"));
        r->acCancel->trigger();
        QCOMPARE(r->cdsMain.recordCount(), 3);
        return;
    }
    auto rows = store.load("TDIP7_ANAGRFISCALI");
    QCOMPARE(rows->recordCount(), 4);
    QVERIFY(rows->locate("SDIP7CODFIS", codFis));
    QCOMPARE(rows->fieldByName("SDIP7GRUPPOANA")->asString(), QStringLiteral("D"));
    QCOMPARE(rows->fieldByName("SDIP7COGNOME")->asString(), QStringLiteral("ROSSI"));
    QCOMPARE(r->progressive(codFis), 4);
    QCOMPARE(r->laInfo->text(), QStringLiteral("ROSSI "));
}

void TstRecipientWindows::codFisEditableOnlyOnInsert()
{
    MemorySectionStore store;
    seed(store);
    std::unique_ptr<RecipientWindow> w(createRecipientWindow("TfmJexDipendente", &store));
    w->show();
    auto *ed = w->registry()->findChild<DBEdit *>("deSDIP7CODFIS");
    QVERIFY(ed->isReadOnly());
    QCOMPARE(ed->focusPolicy(), Qt::NoFocus);
    QTest::keyClicks(ed, "X");
    QCOMPARE(w->registry()->cdsMain.state(), DataSetState::Browse);
    QCOMPARE(shownCodFis(*w), QStringLiteral("AAAAAA80A01H501A"));
    w->registry()->acEdit->trigger();
    QVERIFY(ed->isReadOnly());
    w->registry()->acCancel->trigger();
    w->registry()->acInsert->trigger();
    QVERIFY(!ed->isReadOnly());
    QCOMPARE(ed->focusPolicy(), Qt::StrongFocus);
}

void TstRecipientWindows::search_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("shown"); // "" when the list is empty
    QTest::newRow("surname part") << "zan" << QStringList{"BBBBBB80A01H501B"} << "BBBBBB80A01H501B";
    QTest::newRow("everyone keeps the row") << "a" << QStringList{"AAAAAA80A01H501A", "BBBBBB80A01H501B", "CCCCCC80A01H501C"}
                                            << "BBBBBB80A01H501B";
    QTest::newRow("code part moves the row") << "cccccc" << QStringList{"CCCCCC80A01H501C"} << "CCCCCC80A01H501C";
    QTest::newRow("name") << "Anna" << QStringList{"AAAAAA80A01H501A"} << "AAAAAA80A01H501A";
    QTest::newRow("quote") << "d'a" << QStringList{"CCCCCC80A01H501C"} << "CCCCCC80A01H501C";
    QTest::newRow("percent") << "%" << QStringList{} << "";
    QTest::newRow("filter syntax") << "' OR 'A' = 'A" << QStringList{} << "";
}

void TstRecipientWindows::search()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, listed);
    QFETCH(QString, shown);
    MemorySectionStore store;
    seed(store);
    std::unique_ptr<RecipientWindow> w(createRecipientWindow("TfmJexDipendente", &store));
    QVERIFY(gotoCodFis(*w, "BBBBBB80A01H501B"));
    w->registry()->edCerca->setText(typed);
    ClientDataSet &ds = w->registry()->cdsMain;
    QStringList got;
    for (int r = 0; r < ds.recordCount(); ++r)
        got << ds.valueAt(r, ds.fieldIndex("SDIP7CODFIS")).toString();
    QCOMPARE(got, listed);
    QCOMPARE(m_msg.shown().size(), 0);
    if (!shown.isEmpty()) {
        QCOMPARE(shownCodFis(*w), shown);
        const qint64 afi = ds.fieldByName("IAFIID")->asInteger();
        QCOMPARE(w->section("TINPS7_INPS")->cdsMain.filter(), QStringLiteral("IAFIID = %1").arg(afi));
    } else {
        QVERIFY(w->registry()->laInfo->text().isEmpty());
    }
    // the progressive numbers count everyone
    QCOMPARE(w->registry()->progressive("CCCCCC80A01H501C"), 3);
    w->registry()->edCerca->clear();
    QCOMPARE(ds.recordCount(), 3);
    if (!shown.isEmpty())
        QCOMPARE(shownCodFis(*w), shown);
}

void TstRecipientWindows::familyFlagsOnPost()
{
    MemorySectionStore store;
    seed(store);
    std::unique_ptr<RecipientWindow> w(createRecipientWindow("TfmJexDipendente", &store));
    auto *f = w->section("TCFC7_CONFAMCARICO");
    f->acInsert->trigger();
    QCOMPARE(f->cdsMain.fieldByName("LCFC7RELPARPRIFIGL")->asString(), QStringLiteral("0"));
    f->cdsMain.fieldByName("LCFC7RELPARPRIFIGLDIS")->setValue(1);
    f->cdsMain.fieldByName("LCFC7RELPARPRIFIGL")->setValue(1);
    f->acPost->trigger();
    QCOMPARE(f->cdsMain.state(), DataSetState::Browse);
    QVERIFY(m_msg.contains("- Dati incongruenti primo figlio: Verrà abilitato campo D e non F1"));
    auto saved = store.load("TCFC7_CONFAMCARICO");
    QCOMPARE(saved->fieldByName("LCFC7RELPARPRIFIGLDIS")->asString(), QStringLiteral("1"));
    QCOMPARE(saved->fieldByName("LCFC7RELPARPRIFIGL")->asString(), QStringLiteral("0"));
}

void TstRecipientWindows::monthFields_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("1") << "1" << "Il mese deve essere di 2 cifre";
    QTest::newRow("13") << "13" << "Mese non valido, deve essere compreso tra 01 e 12";
    QTest::newRow("00") << "00" << "Mese non valido, deve essere compreso tra 01 e 12";
    QTest::newRow("ab") << "ab" << "Mese non valido, deve essere compreso tra 01 e 12";
    QTest::newRow("01") << "01" << "";
}

void TstRecipientWindows::monthFields()
{
    QFETCH(QString, typed);
    QFETCH(QString, message);
    MemorySectionStore store;
    seed(store);
    std::unique_ptr<RecipientWindow> w(createRecipientWindow("TfmJexDipendente", &store));
    w->show();
    w->pages()->setCurrentIndex(pageIndex(*w, "Con. Fam. a carico"));
    auto *f = w->section("TCFC7_CONFAMCARICO");
    f->acInsert->trigger();
    for (const char *name : {"deSCFC7MESICARCON", "deSCFC7MINTREANNFIGL"}) {
        m_msg.clear();
        auto *ed = f->findChild<DBEdit *>(name);
        QVERIFY(ed);
        ed->setFocus();
        QTest::keyClicks(ed, typed);
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(ed, &out);
        QCOMPARE(m_msg.texts(), message.isEmpty() ? QStringList{} : QStringList{message});
    }
}

void TstRecipientWindows::threeDecimals()
{
    MemorySectionStore store;
    seed(store);
    std::unique_ptr<RecipientWindow> w(createRecipientWindow("TfmJexDipendente", &store));
    auto *tfr = w->section("TTFR7_TFR");
    // which columns have three decimals is the table's word
    CatalogueTable table = *TableCatalogue::instance().table("TTFR7_TFR");
    for (CatalogueColumn &c : table.columns)
        if (c.name == u"FTFR007PERCPARZ")
            c.decimals = 3;
    tfr->applyFormats(table);
    tfr->acInsert->trigger();
    tfr->cdsMain.fieldByName("FTFR007PERCPARZ")->setValue(1234.5);
    tfr->cdsMain.fieldByName("FRL7INDENANNO")->setValue(1234.5);
    QCOMPARE(tfr->cdsMain.fieldByName("FTFR007PERCPARZ")->displayText(), QStringLiteral("1.234,500"));
    QCOMPARE(tfr->cdsMain.fieldByName("FRL7INDENANNO")->displayText(), QStringLiteral("1.234,50"));
    tfr->cdsMain.fieldByName("FRL7INDENANNO")->setValue(0.0);
    QCOMPARE(tfr->cdsMain.fieldByName("FRL7INDENANNO")->displayText(), QString());
    // the instalments are a choice of the form's values
    auto *rate2 = tfr->findChild<QComboBox *>("coFRL7RATE2");
    QVERIFY(rate2);
    QCOMPARE(rate2->count(), 3); // none, 2, 3
    QVERIFY(!tfr->findChild<DBEdit *>("deFRL7RATE2"));
}

void TstRecipientWindows::completenessBySection_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("field"); // a value of the row
    QTest::addColumn<bool>("checked");
    QTest::newRow("INPS") << "TINPS7_INPS" << "FINPS7IMPONIBILE" << true;
    QTest::newRow("INPDAP") << "TINP7_INPDAP" << "SINPDAP7CODFISAMMNE" << true;
    QTest::newRow("notes") << "TANN7_ANNOTAZIONI" << "" << false;
    QTest::newRow("withholding tax") << "TRAR7_REDASSTIRTIT" << "" << false;
    QTest::newRow("overtime") << "TSLS7_SOMEROLAVSTRA" << "" << false;
}

void TstRecipientWindows::completenessBySection()
{
    QFETCH(QString, table);
    QFETCH(QString, field);
    QFETCH(bool, checked);
    MemorySectionStore store;
    seed(store);
    std::unique_ptr<RecipientWindow> w(createRecipientWindow("TfmJexDipendente", &store));
    auto *f = w->section(table);
    m_infoAnswer = ModalResult::No;
    f->acInsert->trigger();
    if (!field.isEmpty()) {
        Field *x = f->cdsMain.fieldByName(field);
        x->setValue(x->isText() ? QVariant("80185250588") : QVariant(100.0));
    }
    f->acPost->trigger();
    QCOMPARE(m_info.size(), checked ? 1 : 0);
    QCOMPARE(f->cdsMain.state(), checked ? DataSetState::Insert : DataSetState::Browse);
    QCOMPARE(store.saves(table), checked ? 0 : 1);
    if (checked) {
        m_infoAnswer = ModalResult::Yes;
        f->acPost->trigger();
        QCOMPARE(store.saves(table), 1);
    }
}

void TstRecipientWindows::foreignTaxReminder()
{
    MemorySectionStore store;
    seed(store);
    std::unique_ptr<RecipientWindow> w(createRecipientWindow("TfmJexDipendente", &store));
    w->show();
    w->pages()->setCurrentIndex(pageIndex(*w, "Redd.Esteri"));
    auto *ed = w->registry()->findChild<DBEdit *>("deFFIS7IMPOSTEESTERO");
    QVERIFY(ed);
    ed->setFocus();
    QTest::keyClicks(ed, "120,50");
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(ed, &out);
    QCOMPARE(m_msg.texts(), QStringList{
        "ATTENZIONE!!!\n\rDevono essere compilati anche i campi 115-116-117 della pagina \"Redd. esteri\""});
}

void TstRecipientWindows::registryBlocksOnTheirPages_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QStringList>("columns");
    QTest::newRow("supplementary pension beside the dependants' contributions")
        << "Familiare carico"
        << QStringList{"SPRC7CODICE", "FFIS7CONTRESCLUSI", "FFIS7CONTRNOESCLUS", "FFIS7PRECOMTFRFONDO", "DDIP7DATAPRIOCC",
                       "FFIS7CONPREVCOMPLPRIOCC", "FFIS7CPRVCL1OCCECC", "FFIS7CONPRECOMPRIOCIT", "FFIS7DIFFERENZ",
                       "FFIS7CPRVCL1OCCARES"};
    QTest::newRow("foreign-tax credit beside the foreign incomes") << "Redd.Esteri" << QStringList{"FFIS7IMPOSTEESTERO"};
}

void TstRecipientWindows::registryBlocksOnTheirPages()
{
    QFETCH(QString, page);
    QFETCH(QStringList, columns);
    MemorySectionStore store;
    seed(store);
    std::unique_ptr<RecipientWindow> w(createRecipientWindow("TfmJexDipendente", &store));
    QWidget *onPage = w->pages()->widget(pageIndex(*w, page));
    QWidget *otherPage = w->pages()->widget(pageIndex(*w, "Altri dati - 1"));
    for (const QString &c : columns) {
        QWidget *ed = w->registry()->findChild<QWidget *>(QStringLiteral("de") + c);
        if (!ed) // a code with its list
            ed = w->registry()->findChild<QWidget *>(QStringLiteral("ce") + c);
        QVERIFY2(ed, qPrintable(c));
        QVERIFY2(onPage->isAncestorOf(ed), qPrintable(c));
        QVERIFY2(!otherPage->isAncestorOf(ed), qPrintable(c));
    }
    // The page's section stays on it.
    const QString section = page == u"Redd.Esteri" ? QStringLiteral("TREE7_REDDITOESTER") : QStringLiteral("TCFF7_CFFAMILIARE");
    QVERIFY(onPage->isAncestorOf(w->section(section)));
    if (page == u"Familiare carico") {
        auto *box = onPage->findChild<QGroupBox *>(QStringLiteral("gbPrevidenzacomplementare"));
        QVERIFY(box);
        QCOMPARE(box->title(), QStringLiteral("Previdenza complementare"));
    }
}

// On a screen 1,024 pixels wide every page of the employee window is in
// sight at once, under the captions of its tabs, and choosing one in the
// list is refused as a tab change is.
void TstRecipientWindows::everyPageInSight()
{
    MemorySectionStore store;
    seed(store);
    std::unique_ptr<RecipientWindow> w(createRecipientWindow("TfmJexDipendente", &store));
    w->resize(1016, 640); // maximised in a main window at 1024x768
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    w->registry()->pcMain->setCurrentWidget(w->registry()->tsDetail);
    QListWidget *list = w->pageList();
    QVERIFY(list);
    QVERIFY(list->isVisible());
    QVERIFY(!w->pages()->tabBar()->isVisible());
    QCOMPARE(list->count(), w->pages()->count());
    QCOMPARE(list->count(), 17);
    for (int i = 0; i < list->count(); ++i) {
        QCOMPARE(list->item(i)->text(), w->pages()->tabText(i));
        QVERIFY2(list->viewport()->rect().contains(list->visualItemRect(list->item(i))), qPrintable(list->item(i)->text()));
    }
    QVERIFY(!list->verticalScrollBar()->isVisible());
    // The pages keep most of the width.
    QVERIFY(w->pages()->width() > 700);

    list->setCurrentRow(pageIndex(*w, "TFR"));
    QCOMPARE(w->pages()->currentIndex(), pageIndex(*w, "TFR"));
    auto *tfr = w->section("TTFR7_TFR");
    tfr->acInsert->trigger();
    list->setCurrentRow(pageIndex(*w, "INPS"));
    QCOMPARE(w->pages()->currentIndex(), pageIndex(*w, "TFR"));
    QCOMPARE(list->currentRow(), pageIndex(*w, "TFR"));
    QVERIFY(m_msg.contains(QString::fromUtf8(prosp::noPageChangeText)));
    tfr->acCancel->trigger();
    // A change made on the tabs shows in the list.
    w->pages()->setCurrentIndex(pageIndex(*w, "INAIL"));
    QCOMPARE(list->currentRow(), pageIndex(*w, "INAIL"));
}

void TstRecipientWindows::deleteQuestion_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("question");
    QTest::addColumn<int>("answer");
    QTest::newRow("INPS yes") << "TINPS7_INPS" << "Confermi la cancellazione della sezione \"INPS\"?" << int(ModalResult::Yes);
    QTest::newRow("INPS no") << "TINPS7_INPS" << "Confermi la cancellazione della sezione \"INPS\"?" << int(ModalResult::No);
    QTest::newRow("dependants") << "TCFC7_CONFAMCARICO"
                                << "Confermi la cancellazione della sezione \"congiuge e familiari a carico\"?"
                                << int(ModalResult::Yes);
    QTest::newRow("registry") << "TDIP7_ANAGRFISCALI" << "Confermi la cancellazione del modello corrente?"
                              << int(ModalResult::Yes);
}

void TstRecipientWindows::deleteQuestion()
{
    QFETCH(QString, table);
    QFETCH(QString, question);
    QFETCH(int, answer);
    MemorySectionStore store;
    seed(store);
    if (table == u"TCFC7_CONFAMCARICO")
        store.put(table, 2024, [](ClientDataSet &ds) { ds.fieldByName("IAFIID")->setValue(12); });
    std::unique_ptr<RecipientWindow> w(createRecipientWindow("TfmJexDipendente", &store));
    TfrJezBase *f = table == u"TDIP7_ANAGRFISCALI" ? static_cast<TfrJezBase *>(w->registry()) : w->section(table);
    const int before = f->cdsMain.recordCount();
    QVERIFY(before > 0);
    m_msg.queueAnswer(ModalResult(answer));
    f->acDelete->trigger();
    QCOMPARE(m_msg.texts().value(0), question);
    const bool yes = answer == int(ModalResult::Yes);
    QCOMPARE(f->cdsMain.recordCount(), yes ? before - 1 : before);
    QCOMPARE(store.saves(table), yes ? 1 : 0);
}

void TstRecipientWindows::selfEmployedSums()
{
    MemorySectionStore store;
    ClientDataSet &dau = store.table("TDAU7_DATIAUTONOM");
    for (auto [cf, afi] : {std::pair{"80185250588", 21}, std::pair{"VRDLGU70B02F205X", 22}}) {
        dau.append();
        dau.fieldByName("SDAU7CODFIS")->setValue(cf);
        dau.fieldByName("SDAU7COGNOME")->setValue("STUDIO");
        dau.fieldByName("IAFIID")->setValue(afi);
        dau.post();
    }
    dau.mergeChangeLog();
    std::unique_ptr<RecipientWindow> w(createRecipientWindow("TfmJexAutonomo", &store));
    QCOMPARE(w->windowTitle(), QStringLiteral("Lavoro Autonomo"));
    QCOMPARE(w->pages()->tabText(0), QStringLiteral("Percipiente"));
    QCOMPARE(w->pages()->tabText(1), QStringLiteral("Somme erogate"));
    QVERIFY(gotoCodFis(*w, "VRDLGU70B02F205X"));
    QCOMPARE(currentSelfEmployed().afiId, qint64(22));
    QCOMPARE(currentEmployee().afiId, qint64(0));
    auto *sums = w->section("TDSE7_SOMMEEROGATE");
    sums->acInsert->trigger();
    QCOMPARE(sums->cdsMain.fieldByName("LDSE7ANTICIPAZ")->asString(), QStringLiteral("0"));
    sums->cdsMain.fieldByName("FDSE7AMMLORDO")->setValue(1000.0);
    sums->acPost->trigger();
    QVERIFY(m_info.isEmpty()); // no completeness check on the sums
    auto saved = store.load("TDSE7_SOMMEEROGATE");
    QCOMPARE(saved->recordCount(), 1);
    QCOMPARE(saved->fieldByName("SDAU7CODFIS")->asString(), QStringLiteral("VRDLGU70B02F205X"));
    QCOMPARE(saved->fieldByName("IAFIID")->asInteger(), qint64(22));
    m_msg.queueAnswer(ModalResult::No);
    sums->acDelete->trigger();
    QCOMPARE(m_msg.texts().value(0), QStringLiteral("Confermi la cancellazione della sezione delle \"Somme erogate\"?"));
    QCOMPARE(sums->cdsMain.recordCount(), 1);
}

void TstRecipientWindows::selfEmployedNewRecipient()
{
    MemorySectionStore store;
    std::unique_ptr<RecipientWindow> w(createRecipientWindow("TfmJexAutonomo", &store));
    RecipientRegistryFrame *r = w->registry();
    r->acInsert->trigger();
    r->cdsMain.fieldByName("SDAU7CODFIS")->setValue("80185250588");
    r->acPost->trigger();
    // a company needs its name: the check lists it, the user goes on
    QVERIFY(m_info.join('\n').contains("Cognome o denominazione dell'autonomo"));
    auto saved = store.load("TDAU7_DATIAUTONOM");
    QCOMPARE(saved->recordCount(), 1);
    QCOMPARE(saved->fieldByName("SDAU7GRUPPOANA")->asString(), QStringLiteral("A"));
    QCOMPARE(saved->fieldByName("LDAU7EREDE")->asString(), QStringLiteral("0"));
    QVERIFY(!m_msg.contains("Dipendente selezionato"));
}

void TstRecipientWindows::addizionali()
{
    MemorySectionStore store;
    seed(store);
    ClientDataSet &dip = store.table("TDIP7_ANAGRFISCALI");
    for (dip.first(); !dip.eof(); dip.next()) {
        dip.edit();
        dip.fieldByName("FFIS7ADDREGIRPEF")->setValue(80.0);
        dip.post();
    }
    dip.mergeChangeLog();
    TfmJexAggiungiAdd w(&store);
    QCOMPARE(w.windowTitle(), QStringLiteral("Riporta le addizionali IRPEF nei punti 8 e 12 dei Dati Fiscali ..."));
    QCOMPARE(w.grDip->model()->columnCount(), 3);
    QCOMPARE(w.grDip->model()->data(w.grDip->model()->index(0, 0)).toString(), QStringLiteral("AAAAAA80A01H501A"));
    QCOMPARE(w.chosenCodes().size(), 3); // none chosen: everyone
    w.grDip->selectRow(2);
    QCOMPARE(w.chosenCodes(), QStringList{"CCCCCC80A01H501C"});
    w.buEseguiClick();
    QVERIFY(m_msg.contains("Fine operazione"));
    QCOMPARE(w.result(), int(QDialog::Accepted));
    auto saved = store.load("TDIP7_ANAGRFISCALI");
    QStringList carried;
    for (saved->first(); !saved->eof(); saved->next())
        if (saved->fieldByName("FFIS7ADDREGRPCESS")->asFloat() == 80.0)
            carried << saved->fieldByName("SDIP7CODFIS")->asString();
    QCOMPARE(carried, QStringList{"CCCCCC80A01H501C"});
}

void TstRecipientWindows::registryItemsOpen_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("className");
    QTest::newRow("employees") << "xafDipParteA" << "TfmJexDipendente";
    QTest::newRow("self-employed") << "xafAutonomo" << "TfmJexAutonomo";
    QTest::newRow("surtaxes") << "xafAddizionali" << "TfmJexAggiungiAdd";
}

void TstRecipientWindows::registryItemsOpen()
{
    QFETCH(QString, item);
    QFETCH(QString, className);
    const RegistryItem *it = TdmJexAttivazioni::instance().item(item);
    QVERIFY(it);
    QCOMPARE(it->formClass, className);
    QVERIFY(TdmJexAttivazioni::instance().isAvailable(*it));
    MemorySectionStore store;
    seed(store);
    setSectionStore(&store);
    std::unique_ptr<QWidget> w(FormRegistry::instance().create(className));
    QVERIFY(w);
    QCOMPARE(w->objectName(), className);
    QVERIFY(m_msg.shown().isEmpty());
}

void TstRecipientWindows::databaseRoundTrip()
{
    JEX_TEST_DATABASE(tdb);
    TQxSQLConnection conn(QStringLiteral("tst_recipients"));
    conn.open(DatabaseUrl::parse(tdb.url()));
    TQmrDBCds svc(2024, QStringLiteral("jex"), 0);
    svc.SetConnection(&conn);
    svc.SetShowWait(false);
    DbCdsStore store(&svc);
    const QString cf = demo::personFiscalCode("ROSSI", "MARIO", QDate(1980, 1, 1), false, "H501");
    qint64 afi = 0;
    {
        std::unique_ptr<RecipientWindow> w(createRecipientWindow("TfmJexDipendente", &store));
        RecipientRegistryFrame *r = w->registry();
        r->acInsert->trigger();
        r->cdsMain.fieldByName("SDIP7CODFIS")->setValue(cf);
        r->cdsMain.fieldByName("SDIP7COGNOME")->setValue("ROSSI");
        r->cdsMain.fieldByName("SDIP7SEX")->setValue("M");
        r->acPost->trigger();
        QCOMPARE(r->cdsMain.state(), DataSetState::Browse);
        afi = r->cdsMain.fieldByName("IAFIID")->asInteger();
        QVERIFY(afi > 0);
        QCOMPARE(currentEmployee().afiId, afi); // the new person's sections at once
        w->pages()->setCurrentIndex(pageIndex(*w, "INPS"));
        auto *inps = w->section("TINPS7_INPS");
        inps->acInsert->trigger();
        inps->cdsMain.fieldByName("SINPS7MATRAZIENDA")->setValue("M'1%");
        inps->acPost->trigger();
        QCOMPARE(inps->cdsMain.state(), DataSetState::Browse);
    }
    std::unique_ptr<RecipientWindow> w(createRecipientWindow("TfmJexDipendente", &store));
    QCOMPARE(w->registry()->cdsMain.recordCount(), 1);
    QCOMPARE(shownCodFis(*w), cf);
    QCOMPARE(w->registry()->cdsMain.fieldByName("SDIP7GRUPPOANA")->asString(), QStringLiteral("D"));
    auto *inps = w->section("TINPS7_INPS");
    QCOMPARE(inps->cdsMain.recordCount(), 1);
    QCOMPARE(inps->cdsMain.fieldByName("IAFIID")->asInteger(), afi);
    QCOMPARE(inps->cdsMain.fieldByName("SDIP7CODFIS")->asString(), cf);
    QCOMPARE(inps->cdsMain.fieldByName("SINPS7MATRAZIENDA")->asString(), QStringLiteral("M'1%"));
}

JEX_WINDOW_TEST_MAIN(TstRecipientWindows)
#include "tst_recipientwindows.moc"
