// The municipality-code columns and the delivered list of municipalities:
// F8 offers the municipalities in force, finds the code typed and writes
// the chosen one; the field shows the municipality's name beside the code.

#include "entry/sectionwindows.h"
#include "sections/memorystore.h"
#include "shell/editors.h"
#include "shell/searchwindow.h"

#include "codelists/codelists.h"
#include "dataset/dataset.h"

#include <QLabel>
#include <QLineEdit>
#include "windowtest.h"

#include <QtTest>

using namespace jex;

class TstMunicipalitySearch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TfmQmrRicerca::instance()->execHook = nullptr; }

    void agentWindowOffersTheMunicipalities_data()
    {
        QTest::addColumn<QString>("typed");   // in the search window
        QTest::addColumn<QString>("chosen");  // the code written into the field
        QTest::addColumn<QString>("shown");   // beside the field
        QTest::newRow("whole code") << "L219" << "L219" << "L219 — Torino";
        QTest::newRow("prefix finds the first code") << "H50" << "H500" << "H500 — Rolo";
    }
    void agentWindowOffersTheMunicipalities()
    {
        QFETCH(QString, typed);
        QFETCH(QString, chosen);
        QFETCH(QString, shown);
        MemorySectionStore store;
        store.put(QStringLiteral("TSOS_DATOSOSTITUTO"), 2024, [](ClientDataSet &ds) {
            ds.fieldByName(QStringLiteral("SSOSDENOM"))->setValue(QStringLiteral("SCUOLA"));
        });
        std::unique_ptr<SectionWindow> w(createSectionWindow(QStringLiteral("TfmJexSostituto"), &store));
        QVERIFY(w);
        auto *code = w->findChild<DBCodeEdit *>(QStringLiteral("ceSSOSDOMNOTCODCOM"));
        QVERIFY(code);
        int offered = 0;
        QString first, current, ceased;
        TfmQmrRicerca::instance()->execHook = [&](TfmQmrRicerca &r) {
            offered = r.cdsSearch.recordCount();
            r.cdsSearch.first();
            first = r.cdsSearch.field(0)->asString();
            r.edValue->setText(typed);
            current = r.cdsSearch.field(0)->asString();
            return int(QDialog::Accepted);
        };
        QTest::keyClick(code->edit(), Qt::Key_F8);
        QCOMPARE(offered, CodeLists::installation().rowCount(QStringLiteral("TCOM_COMUNI")));
        QVERIFY(offered > 7800);
        QCOMPARE(first, QStringLiteral("A001")); // ordered by code
        QCOMPARE(current, chosen);
        QCOMPARE(code->edit()->binding()->field()->asString(), chosen);
        QCOMPARE(code->description()->text(), shown);
    }

    void ceasedMunicipalityIsNotOffered()
    {
        // Abbadia Sopra Adda ceased in 1928: a domicile of 2024 cannot be there.
        ClientDataSet ds;
        ds.addField(QStringLiteral("SDIP7DFCODCOM"), FieldType::String, 4);
        ds.createDataSet();
        ds.appendRecord({QVariant()});
        DBCodeEdit edit(&ds, QStringLiteral("SDIP7DFCODCOM"), QStringLiteral("TCOM_COMUNI.CDS"));
        edit.show();
        QTest::keyClicks(edit.edit(), QStringLiteral("A002"));
        QCOMPARE(edit.description()->text(), QStringLiteral("Codice non presente nella tabella TCOM_COMUNI"));
    }
};

JEX_WINDOW_TEST_MAIN(TstMunicipalitySearch)
#include "tst_municipalitysearch.moc"
