#include "shellfakes.h"

#include "shell/searchwindow.h"
#include "base/messages.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include "windowtest.h"

#include <QtTest>

using namespace jex;

class TstRicerca : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void typing_data();
    void typing();
    void titleClickSwitchesColumn();
    void okAssignsFirstVisibleColumn();
    void cancelLeavesField();
    void readOnlyDoesNothing();
    void sectionHidesRowNumber();
    void keysMoveTheGrid();
    void searchRecordKeepsRow();

private:
    QString m_file;
    QTemporaryDir m_dir;
};

void TstRicerca::initTestCase()
{
    ClientDataSet ds;
    ds.addField("CODICE", FieldType::Integer);
    ds.addField("SIGLA", FieldType::String, 10);
    ds.addField("DESCRIZIONE", FieldType::String, 40);
    ds.createDataSet();
    ds.appendRecord({120, "XB", "Centoventi"});
    ds.appendRecord({1, "AC", "Uno"});
    ds.appendRecord({12, "ABD", "Dodici"});
    ds.appendRecord({5, "ABC", "Cinque"});
    ds.appendRecord({7, "ab", "Sette"});
    ds.mergeChangeLog();
    m_file = m_dir.filePath("TPROVA.CDS");
    ds.saveToFile(m_file);
}

void TstRicerca::typing_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("found"); // SIGLA of the row reached
    QTest::newRow("numeric whole value") << 0 << "12" << "ABD";
    QTest::newRow("numeric no prefix") << 0 << "1" << "AC";
    QTest::newRow("text prefix") << 1 << "AB" << "ABC";
    QTest::newRow("text case-sensitive") << 1 << "ab" << "ab";
}

void TstRicerca::typing()
{
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, found);
    TfmQmrRicerca w;
    w.execHook = [&](TfmQmrRicerca &r) {
        r.grSearch->horizontalHeader()->sectionClicked(column);
        r.edValue->setText(typed);
        return int(QDialog::Rejected);
    };
    QVariant v = w.SearchValue(m_file, nullptr, nullptr);
    QVERIFY(!v.isValid());
    QCOMPARE(w.cdsSearch.fieldByName("SIGLA")->asString(), found);
}

void TstRicerca::titleClickSwitchesColumn()
{
    TfmQmrRicerca w;
    w.execHook = [](TfmQmrRicerca &r) {
        r.edValue->setText("5");
        r.grSearch->horizontalHeader()->sectionClicked(2);
        return int(QDialog::Rejected);
    };
    w.SearchValue(m_file, nullptr, nullptr);
    QCOMPARE(w.laCampo->text(), QStringLiteral("DESCRIZIONE"));
    QVERIFY(w.edValue->text().isEmpty());
    QCOMPARE(w.cdsSearch.indexFieldNames(), QStringLiteral("DESCRIZIONE"));
}

void TstRicerca::okAssignsFirstVisibleColumn()
{
    ClientDataSet target;
    target.addField("SCODICE", FieldType::String, 10);
    target.createDataSet();
    target.appendRecord({QVariant()});
    target.mergeChangeLog();
    TfmQmrRicerca w;
    w.execHook = [](TfmQmrRicerca &r) {
        r.cdsSearch.fieldByName("CODICE")->setVisible(false);
        r.cdsSearch.locate("SIGLA", "XB");
        return int(QDialog::Accepted);
    };
    w.SearchForField(*target.fieldByName("SCODICE"), m_file, nullptr);
    QCOMPARE(target.state(), DataSetState::Edit);
    QCOMPARE(target.fieldByName("SCODICE")->asString(), QStringLiteral("XB"));
}

void TstRicerca::cancelLeavesField()
{
    ClientDataSet target;
    target.addField("SCODICE", FieldType::String, 10);
    target.createDataSet();
    target.appendRecord({"OLD"});
    TfmQmrRicerca w;
    QString seen;
    w.execHook = [&](TfmQmrRicerca &r) { seen = r.edValue->text(); return int(QDialog::Rejected); };
    w.SearchForField(*target.fieldByName("SCODICE"), m_file, nullptr);
    QCOMPARE(seen, QStringLiteral("OLD")); // the search starts from the field's text
    QCOMPARE(target.fieldByName("SCODICE")->asString(), QStringLiteral("OLD"));
}

void TstRicerca::readOnlyDoesNothing()
{
    ClientDataSet target;
    target.addField("SCODICE", FieldType::String, 10);
    target.createDataSet();
    target.appendRecord({"OLD"});
    target.setReadOnly(true);
    TfmQmrRicerca w;
    bool shown = false;
    w.execHook = [&](TfmQmrRicerca &) { shown = true; return int(QDialog::Accepted); };
    w.SearchForField(*target.fieldByName("SCODICE"), m_file, nullptr);
    QVERIFY(!shown);
    QCOMPARE(target.state(), DataSetState::Browse);
}

void TstRicerca::sectionHidesRowNumber()
{
    MemorySectionStore store;
    store.put("TSOE7_SOSESTINTO", 2024, [](ClientDataSet &ds) {
        ds.fieldByName("CODICE")->setValue("E1");
        if (ds.findField("IFISRIGO"))
            ds.fieldByName("IFISRIGO")->setValue(1);
    });
    TfmQmrRicerca w;
    w.execHook = [](TfmQmrRicerca &) { return int(QDialog::Accepted); };
    w.SearchValue("TSOE7_SOSESTINTO", nullptr, &store);
    if (Field *f = w.cdsSearch.findField("IFISRIGO"))
        QVERIFY(!f->isVisible());
    else
        QSKIP("the section has no IFISRIGO column in this catalogue");
}

void TstRicerca::keysMoveTheGrid()
{
    TfmQmrRicerca w;
    w.execHook = [](TfmQmrRicerca &r) {
        r.cdsSearch.first();
        QTest::keyClick(r.edValue, Qt::Key_Down);
        QTest::keyClick(r.edValue, Qt::Key_Down);
        return int(QDialog::Accepted);
    };
    QCOMPARE(w.SearchValue(m_file, nullptr, nullptr).toInt(), 7); // ordered 1, 5, 7, 12, 120
    w.execHook = [](TfmQmrRicerca &r) {
        QTest::keyClick(r.edValue, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(r.edValue, Qt::Key_Down); // already at the end
        QTest::keyClick(r.edValue, Qt::Key_1);   // digits go to the edit
        QTest::keyClick(r.edValue, Qt::Key_2);
        return int(QDialog::Accepted);
    };
    QCOMPARE(w.SearchValue(m_file, nullptr, nullptr).toInt(), 12);
    QCOMPARE(w.edValue->text(), QStringLiteral("12"));
}

void TstRicerca::searchRecordKeepsRow()
{
    TfmQmrRicerca w;
    w.execHook = [](TfmQmrRicerca &r) { r.cdsSearch.locate("CODICE", 5); return int(QDialog::Accepted); };
    ClientDataSet *row = w.SearchRecord(m_file);
    QVERIFY(row);
    QCOMPARE(row->fieldByName("DESCRIZIONE")->asString(), QStringLiteral("Cinque"));
    w.execHook = [](TfmQmrRicerca &) { return int(QDialog::Rejected); };
    QVERIFY(!w.SearchRecord(m_file));
    QVERIFY(!w.cdsSearch.isActive());
}

JEX_WINDOW_TEST_MAIN(TstRicerca)
#include "tst_searchwindow.moc"
