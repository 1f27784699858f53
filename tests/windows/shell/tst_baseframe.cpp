#include "shell/baseframe.h"
#include "shell/datasetmodel.h"
#include "shell/editors.h"
#include "base/errors.h"
#include "base/messages.h"

#include <QAction>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>
#include "windowtest.h"

#include <QtTest>

using namespace jex;

class TstBaseFrame : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { setMessageService(&m_msg); m_msg.clear(); }
    void cleanup() { setMessageService(nullptr); }

    void actionTable_data();
    void actionTable();
    void implicitPostRefused_data();
    void implicitPostRefused();
    void confirmStores();
    void failedPostClearsPermission();
    void insertAppendsAtEnd();
    void editSwitchesToDetail();
    void recordCounter();
    void zeroAmountBlank_data();
    void zeroAmountBlank();
    void editorsWriteTheField();

private:
    static void fill(TfrJezBase &fr, int rows)
    {
        fr.cdsMain.addField("NOME", FieldType::String, 20);
        fr.cdsMain.addField("IMPORTO", FieldType::Currency, 0, 2);
        fr.cdsMain.addField("LFLAG", FieldType::String, 1);
        fr.cdsMain.createDataSet();
        TfrJezBase::setAmountFormats(fr.cdsMain);
        // Loading is not the user's posting: the frame's guard stays out of it.
        auto guard = fr.cdsMain.events.beforePost;
        fr.cdsMain.events.beforePost = nullptr;
        for (int i = 0; i < rows; ++i)
            fr.cdsMain.appendRecord({QStringLiteral("R%1").arg(i + 1), double(i * 1000), QStringLiteral("0")});
        fr.cdsMain.mergeChangeLog();
        fr.cdsMain.events.beforePost = guard;
        fr.cdsMain.first();
    }
    ScriptedMessageService m_msg;
};

void TstBaseFrame::actionTable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QKeySequence>("key");
    QTest::newRow("first") << "acFirst" << "&Primo" << "Primo elemento" << QKeySequence(Qt::CTRL | Qt::Key_Home);
    QTest::newRow("prior") << "acPrior" << "Pre&cedente" << "Elemento precedente" << QKeySequence(Qt::CTRL | Qt::Key_Up);
    QTest::newRow("next") << "acNext" << "&Successivo" << "Elemento successivo" << QKeySequence(Qt::CTRL | Qt::Key_Down);
    QTest::newRow("last") << "acLast" << "&Ultimo" << "Ultimo elemento" << QKeySequence(Qt::CTRL | Qt::Key_End);
    QTest::newRow("insert") << "acInsert" << "&Inserisci" << "Nuovo elemento" << QKeySequence(Qt::CTRL | Qt::Key_Insert);
    QTest::newRow("delete") << "acDelete" << "C&ancella" << "Cancella elemento" << QKeySequence(Qt::CTRL | Qt::Key_Delete);
    QTest::newRow("edit") << "acEdit" << "&Modifica" << "Modifica elemento" << QKeySequence(Qt::Key_F2);
    QTest::newRow("post") << "acPost" << "C&onferma" << "Conferma modifiche" << QKeySequence(Qt::CTRL | Qt::Key_Return);
    QTest::newRow("cancel") << "acCancel" << "A&nnulla" << "Annulla modifiche " << QKeySequence(Qt::CTRL | Qt::Key_Z);
}

void TstBaseFrame::actionTable()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, hint);
    QFETCH(QKeySequence, key);
    TfrJezBase fr;
    auto *a = fr.findChild<QAction *>(name);
    QVERIFY(a);
    QCOMPARE(a->text(), caption);
    QCOMPARE(a->toolTip(), hint);
    QCOMPARE(a->shortcut(), key);
    TfrJezBase plain(nullptr, false);
    QVERIFY(plain.findChild<QAction *>(name)->shortcut().isEmpty());
}

void TstBaseFrame::implicitPostRefused_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("next") << "acNext";
    QTest::newRow("last") << "acLast";
    QTest::newRow("insert") << "acInsert";
}

void TstBaseFrame::implicitPostRefused()
{
    QFETCH(QString, action);
    TfrJezBase fr;
    fill(fr, 3);
    fr.cdsMain.edit();
    fr.cdsMain.fieldByName("NOME")->setValue("CAMBIATO");
    auto *a = fr.findChild<QAction *>(action);
    a->setEnabled(true); // the key works whatever the tool bar shows
    a->trigger();
    QCOMPARE(m_msg.texts(), QStringList{QStringLiteral("Salvare prima di cambiare modello.")});
    QVERIFY(m_msg.shown().first().caption.isEmpty());
    QCOMPARE(fr.cdsMain.state(), DataSetState::Edit);
    QCOMPARE(fr.cdsMain.recNo(), 1);
    QCOMPARE(fr.cdsMain.changeCount(), 0);
    // A grid click on another row is refused the same way.
    m_msg.clear();
    fr.grFrame->setCurrentIndex(fr.model()->index(2, 0));
    QCOMPARE(m_msg.texts().size(), 1);
    QCOMPARE(fr.cdsMain.recNo(), 1);
    QCOMPARE(fr.grFrame->currentIndex().row(), 0);
}

void TstBaseFrame::confirmStores()
{
    TfrJezBase fr;
    fill(fr, 2);
    int posted = 0;
    connect(&fr, &TfrJezBase::posted, [&] { ++posted; });
    fr.cdsMain.edit();
    fr.cdsMain.fieldByName("NOME")->setValue("NUOVO");
    fr.acPost->trigger();
    QCOMPARE(fr.cdsMain.state(), DataSetState::Browse);
    QCOMPARE(fr.cdsMain.fieldByName("NOME")->asString(), QStringLiteral("NUOVO"));
    QCOMPARE(posted, 1);
    QVERIFY(!fr.postAllowed());
    QVERIFY(m_msg.texts().isEmpty());
}

void TstBaseFrame::failedPostClearsPermission()
{
    struct Checking : TfrJezBase {
        void cdsMainBeforePost() override
        {
            TfrJezBase::cdsMainBeforePost();
            throw EQxError(QStringLiteral("controllo fallito"));
        }
    } fr;
    fill(fr, 1);
    fr.cdsMain.edit();
    fr.acPost->trigger();
    QCOMPARE(m_msg.texts(), QStringList{QStringLiteral("controllo fallito")});
    QVERIFY(!fr.postAllowed());
    QCOMPARE(fr.cdsMain.state(), DataSetState::Edit);
}

void TstBaseFrame::insertAppendsAtEnd()
{
    TfrJezBase fr;
    fill(fr, 3);
    fr.cdsMain.setRecNo(1);
    fr.acInsert->trigger();
    fr.cdsMain.fieldByName("NOME")->setValue("ULTIMO");
    fr.acPost->trigger();
    fr.cdsMain.last();
    QCOMPARE(fr.cdsMain.fieldByName("NOME")->asString(), QStringLiteral("ULTIMO"));
    QCOMPARE(fr.cdsMain.recordCount(), 4);
}

void TstBaseFrame::editSwitchesToDetail()
{
    TfrJezBase fr;
    fill(fr, 2);
    fr.pcMain->setCurrentWidget(fr.tsGrid);
    fr.acEdit->trigger();
    QCOMPARE(fr.pcMain->currentWidget(), fr.tsDetail);
    fr.acCancel->trigger();
    // A frame without a detail page stays on the grid.
    fr.pcMain->setTabVisible(fr.pcMain->indexOf(fr.tsDetail), false);
    fr.pcMain->setCurrentWidget(fr.tsGrid);
    fr.acEdit->trigger();
    QCOMPARE(fr.pcMain->currentWidget(), fr.tsGrid);
}

void TstBaseFrame::recordCounter()
{
    TfrJezBase fr;
    fill(fr, 0);
    QLineEdit ed;
    fr.showRecNo(&ed);
    QCOMPARE(ed.text(), QStringLiteral("0 di 0"));
    fr.cdsMain.append();
    fr.showRecNo(&ed);
    QCOMPARE(ed.text(), QStringLiteral("Ins."));
    fr.acPost->trigger();
    fr.acInsert->trigger();
    fr.acPost->trigger();
    fr.cdsMain.first();
    fr.showRecNo(&ed);
    QCOMPARE(ed.text(), QStringLiteral("1 di 2"));
}

void TstBaseFrame::zeroAmountBlank_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("grid");
    QTest::addColumn<QString>("edit");
    QTest::newRow("zero") << 0.0 << "" << "";
    QTest::newRow("thousands") << 1234567.5 << "1.234.567,50" << "1234567,50";
    QTest::newRow("small") << 0.5 << "0,50" << ",50";
}

void TstBaseFrame::zeroAmountBlank()
{
    QFETCH(double, value);
    QFETCH(QString, grid);
    QFETCH(QString, edit);
    TfrJezBase fr;
    fill(fr, 1);
    fr.cdsMain.edit();
    fr.cdsMain.fieldByName("IMPORTO")->setValue(value);
    fr.acPost->trigger();
    QCOMPARE(fr.model()->data(fr.model()->index(0, 1), Qt::DisplayRole).toString(), grid);
    DBEdit de(&fr.cdsMain, "IMPORTO");
    QCOMPARE(de.text(), grid);
    QCOMPARE(fr.cdsMain.fieldByName("IMPORTO")->editText(), edit);
}

void TstBaseFrame::editorsWriteTheField()
{
    TfrJezBase fr;
    fill(fr, 1);
    DBEdit name(&fr.cdsMain, "NOME");
    QTest::keyClicks(&name, "abc");
    QCOMPARE(fr.cdsMain.state(), DataSetState::Edit);
    QCOMPARE(fr.cdsMain.fieldByName("NOME")->asString(), QStringLiteral("R1ABC"));
    DBCheckBox flag(&fr.cdsMain, "LFLAG", QString());
    flag.click();
    QCOMPARE(fr.cdsMain.fieldByName("LFLAG")->asString(), QStringLiteral("1"));
    DBEdit amount(&fr.cdsMain, "IMPORTO");
    amount.setText(QStringLiteral("1.234,5"));
    amount.setModified(true);
    QFocusEvent out(QEvent::FocusOut);
    QCoreApplication::sendEvent(&amount, &out);
    QCOMPARE(fr.cdsMain.fieldByName("IMPORTO")->asMoney(), qint64(12345000));
    fr.acPost->trigger();
    QCOMPARE(fr.cdsMain.state(), DataSetState::Browse);
    // A read-only dataset does not start an edit from an editor.
    fr.cdsMain.setReadOnly(true);
    flag.click();
    QCOMPARE(fr.cdsMain.state(), DataSetState::Browse);
    QCOMPARE(fr.cdsMain.fieldByName("LFLAG")->asString(), QStringLiteral("1"));
}

JEX_WINDOW_TEST_MAIN(TstBaseFrame)
#include "tst_baseframe.moc"
