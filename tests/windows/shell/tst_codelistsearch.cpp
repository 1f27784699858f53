// The search window of a code field and the code lists in force: the list
// the user completed is the one offered, and a list not delivered yet says
// how to load it instead of opening an empty grid.

#include "entry/sectionwindows.h"
#include "sections/memorystore.h"
#include "shell/editors.h"
#include "shell/searchwindow.h"

#include "base/messages.h"
#include "base/paths.h"
#include "catalogue/catalogue.h"
#include "codelists/codelistfile.h"
#include "codelists/codelists.h"
#include "dataset/dataset.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include "windowtest.h"

#include <QtTest>

using namespace jex;

class TstCodeListSearch : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_mainDir;
    ScriptedMessageService m_messages;

    static void target(ClientDataSet &ds)
    {
        ds.addField(QStringLiteral("SNOTCODICE"), FieldType::String, 5);
        ds.createDataSet();
        ds.appendRecord({QVariant()});
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The windows read the catalogue of the build's installation, before
        // each case moves the program onto an installation of its own.
        TableCatalogue::instance();
    }
    void init()
    {
        // An installation of its own: the delivered TNOT_NOTE is empty.
        m_mainDir = m_tmp.filePath(QStringLiteral("inst%1").arg(QDateTime::currentMSecsSinceEpoch()));
        const QString delivered = m_mainDir + QStringLiteral("/USR/YR2024/Res/Tabelle");
        QDir().mkpath(delivered);
        ClientDataSet ds;
        readCodeListText("# Fonte: prova\nCODICE:S:10\tDESCRIZIONE:S:250\n", QStringLiteral("TNOT_NOTE"), {}, ds);
        ds.saveToFile(delivered + QStringLiteral("/TNOT_NOTE.CDS"));
        Paths::setMainDir(m_mainDir);
        m_messages.clear();
        setMessageService(&m_messages);
        TfmQmrRicerca::instance()->execHook = nullptr;
    }
    void cleanup()
    {
        setMessageService(nullptr);
        Paths::setMainDir(QString());
    }

    void emptyListSaysHowToLoadIt()
    {
        ClientDataSet ds;
        target(ds);
        DBCodeEdit edit(&ds, QStringLiteral("SNOTCODICE"), QStringLiteral("TNOT_NOTE.CDS"));
        bool gridShown = false;
        TfmQmrRicerca::instance()->execHook = [&](TfmQmrRicerca &) {
            gridShown = true;
            return int(QDialog::Rejected);
        };
        QTest::keyClick(edit.edit(), Qt::Key_F8);
        QVERIFY(!gridShown);
        QCOMPARE(m_messages.texts(), QStringList{emptyCodeListText(QStringLiteral("TNOT_NOTE"))});
        QVERIFY(!m_messages.texts().first().contains(u'\n'));
        QVERIFY(m_messages.texts().first().contains(QStringLiteral("jex770 codelist load TNOT_NOTE FILE")));
        // The code is still typed by hand.
        QVERIFY(ds.fieldByName(QStringLiteral("SNOTCODICE"))->isNull());
    }

    void loadedListIsOfferedAtOnce()
    {
        const QString file = m_tmp.filePath(QStringLiteral("note.tsv"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("CODICE\tDESCRIZIONE\n20\tSospesi Covid\n31\tAltro\n");
        f.close();
        CodeLists::installation().load(QStringLiteral("TNOT_NOTE"), file);

        ClientDataSet ds;
        target(ds);
        DBCodeEdit edit(&ds, QStringLiteral("SNOTCODICE"), QStringLiteral("TNOT_NOTE.CDS"));
        QStringList offered;
        TfmQmrRicerca::instance()->execHook = [&](TfmQmrRicerca &r) {
            for (r.cdsSearch.first(); !r.cdsSearch.eof(); r.cdsSearch.next())
                offered << r.cdsSearch.field(0)->asString();
            r.edValue->setText(QStringLiteral("31"));
            return int(QDialog::Accepted);
        };
        QTest::keyClick(edit.edit(), Qt::Key_F8);
        QCOMPARE(offered, (QStringList{QStringLiteral("20"), QStringLiteral("31")}));
        QCOMPARE(ds.fieldByName(QStringLiteral("SNOTCODICE"))->asString(), QStringLiteral("31"));
        QVERIFY(m_messages.texts().isEmpty());
    }

    void descriptionFollowsTyping_data()
    {
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("code of the list") << true << "20" << "20 — Sospesi Covid";
        QTest::newRow("prefix of a code") << true << "2" << "Codice non presente nella tabella TNOT_NOTE";
        QTest::newRow("lower case is upper case") << true << "z1" << "Z1 — Città";
        QTest::newRow("nothing typed") << true << "" << "";
        QTest::newRow("list not delivered") << false << "20" << "";
    }
    void descriptionFollowsTyping()
    {
        QFETCH(bool, loaded);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        if (loaded) {
            const QString file = m_tmp.filePath(QStringLiteral("note3.tsv"));
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("CODICE;DESCRIZIONE\n20;Sospesi Covid\nZ1;Citt\xC3\xA0\n");
            f.close();
            CodeLists::installation().load(QStringLiteral("TNOT_NOTE"), file);
        }
        ClientDataSet ds;
        target(ds);
        DBCodeEdit edit(&ds, QStringLiteral("SNOTCODICE"), QStringLiteral("TNOT_NOTE.CDS"));
        edit.show();
        QVERIFY(edit.description()->text().isEmpty());
        QTest::keyClicks(edit.edit(), typed);
        QCOMPARE(edit.description()->text(), shown);
    }

    void stWindowOffersTheLoadedNotes()
    {
        const QString file = m_tmp.filePath(QStringLiteral("note2.tsv"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("CODICE;DESCRIZIONE\n20;Sospesi Covid\n");
        f.close();
        CodeLists::installation().load(QStringLiteral("TNOT_NOTE"), file);

        MemorySectionStore store;
        store.put(QStringLiteral("TPST_PROSPETTOST"), 2024,
                  [](ClientDataSet &ds) { ds.fieldByName(QStringLiteral("SPSTMESE"))->setValue(QStringLiteral("01")); });
        std::unique_ptr<SectionWindow> w(createSectionWindow(QStringLiteral("TfmJexProspST2009"), &store));
        QVERIFY(w);
        auto *note = w->findChild<DBCodeEdit *>(QStringLiteral("ceSNOTCODICE"));
        QVERIFY(note);
        QStringList offered;
        TfmQmrRicerca::instance()->execHook = [&](TfmQmrRicerca &r) {
            for (r.cdsSearch.first(); !r.cdsSearch.eof(); r.cdsSearch.next())
                offered << r.cdsSearch.field(0)->asString();
            return int(QDialog::Accepted);
        };
        QTest::keyClick(note->edit(), Qt::Key_F8);
        QCOMPARE(offered, QStringList{QStringLiteral("20")});
        QCOMPARE(note->edit()->binding()->field()->asString(), QStringLiteral("20"));
    }
};

JEX_WINDOW_TEST_MAIN(TstCodeListSearch)
#include "tst_codelistsearch.moc"
