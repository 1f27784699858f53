// "Import anagrafiche da 770 anno precedente ": the two boxes, the folder,
// "Importa" over a real database (SQLite, and PostgreSQL when JEX770_TEST_PG
// names a server), and the registry item that opens it.

#include "testdb.h"

#include "base/messages.h"
#include "base/paths.h"
#include "database/sqlconnection.h"
#include "database/structureservice.h"
#include "importwindows/previouswindow.h"
#include "sections/databasestore.h"
#include "shell/registry.h"

#include "windowtest.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace jex;

class TstPreviousWindow : public QObject
{
    Q_OBJECT

    ScriptedMessageService m_messages{ModalResult::Yes};
    QTemporaryDir m_tmp;

private Q_SLOTS:
    void initTestCase()
    {
        const QString src = qEnvironmentVariable("JEX770_SOURCE_DIR");
        QVERIFY(!src.isEmpty());
        Paths::setMainDir(src + QStringLiteral("/data/"));
        setMessageService(&m_messages);
    }
    void cleanupTestCase() { setMessageService(nullptr); }

    void boxesAndFolder()
    {
        TQxSQLConnection conn(QStringLiteral("previouswindow_boxes"));
        TQmrDBCds svc(2024, QStringLiteral("jex"), 0);
        DbCdsStore store(&svc);
        TfmJexImp770ap win(nullptr, &conn, &store);
        QCOMPARE(win.windowTitle(), QStringLiteral("Import anagrafiche da 770 anno precedente "));
        QVERIFY(win.findChildren<QLabel *>().first()->text() == QStringLiteral("Selezionare il tipo di import:"));
        QCOMPARE(win.ckDipend->text(), QStringLiteral("Lav. dipendenti"));
        QCOMPARE(win.ckAuton->text(), QStringLiteral("Lav. autonomi"));
        QCOMPARE(win.buImporta->text(), QStringLiteral("Importa"));
        // Last year's data folder of this installation.
        QCOMPARE(QDir::fromNativeSeparators(win.edPercorso->text()), Paths::previousDataDir());
        QVERIFY(Paths::previousDataDir().endsWith(QStringLiteral("USR/YRDati/YR2023/")));
        // Neither box ticked: the self-employed.
        QCOMPARE(win.kind(), PreviousKind::SelfEmployed);
        win.ckDipend->setChecked(true);
        QCOMPARE(win.kind(), PreviousKind::Employees);
        win.ckAuton->setChecked(true);
        QVERIFY(!win.ckDipend->isChecked());
        QCOMPARE(win.kind(), PreviousKind::SelfEmployed);
        win.ckDipend->setChecked(true);
        QVERIFY(!win.ckAuton->isChecked());
    }

    void importsFromTheFolder_data() { TestDatabase::addDatabaseRows(); }
    void importsFromTheFolder()
    {
        JEX_TEST_DATABASE(previousDb);
        TestDatabase currentDb(db);
        const QString dir = m_tmp.filePath(QStringLiteral("%1/USR/YRDati/YR2023").arg(db));
        {
            TQxSQLConnection conn(QStringLiteral("previouswindow_src"));
            conn.open(DatabaseUrl::parse(previousDb.url()));
            TQmrDBCds svc(2024, QStringLiteral("jex"), 0);
            svc.SetConnection(&conn);
            svc.SetShowWait(false);
            ClientDataSet ds;
            svc.OpenCds(ds, QStringLiteral("TDIP7_ANAGRFISCALI"));
            for (const char *cf : {"RSSMRA70A01G478X", "BNCLCU71C42G478Y"}) {
                ds.append();
                ds.fieldByName(QStringLiteral("SDIP7CODFIS"))->setAsString(QString::fromLatin1(cf));
                ds.fieldByName(QStringLiteral("SDIP7COGNOME"))->setAsString(QStringLiteral("ROSSI"));
                ds.fieldByName(QStringLiteral("SDIP7SEX"))->setAsString(QStringLiteral("F"));
                ds.post();
            }
            svc.SaveCds(ds, QStringLiteral("TDIP7_ANAGRFISCALI"));
            QVERIFY(svc.ExportCds(QStringLiteral("jex"), 2024, dir, 0));
            conn.close();
        }
        TQxSQLConnection conn(QStringLiteral("previouswindow_dst"));
        conn.open(DatabaseUrl::parse(currentDb.url()));
        TQmrDBCds svc(2024, QStringLiteral("jex"), 0);
        svc.SetConnection(&conn);
        svc.SetShowWait(false);
        DbCdsStore store(&svc);
        m_messages.clear();

        TfmJexImp770ap win(nullptr, &conn, &store);
        // The self-employed table of that return is empty: nothing to add.
        win.edPercorso->setText(QDir::toNativeSeparators(dir));
        QVERIFY(win.buImportaClick());
        QCOMPARE(win.lastResult.added, 0);

        win.ckDipend->setChecked(true);
        win.buImporta->click();
        QVERIFY2(win.lastResult.added == 2, qPrintable(m_messages.texts().join(u"|") + win.meReport->toPlainText()));
        QVERIFY(win.meReport->toPlainText().contains(QStringLiteral("ROSSI (RSSMRA70A01G478X): aggiunto")));
        ClientDataSet ds;
        svc.OpenCds(ds, QStringLiteral("TDIP7_ANAGRFISCALI"));
        QCOMPARE(ds.recordCount(), 2);

        // Another folder that does not exist: told, nothing done.
        m_messages.clear();
        win.edPercorso->setText(QDir::toNativeSeparators(dir + QStringLiteral("/manca")));
        QVERIFY(!win.buImportaClick());
        QCOMPARE(m_messages.texts(),
                 QStringList{QStringLiteral("Il percorso selezionato non esiste\n\rScegliere un percorso valido\nPercorso: ")
                             + QDir::toNativeSeparators(dir + QStringLiteral("/manca"))});
        QVERIFY(win.meReport->toPlainText().isEmpty());
        conn.close();
    }

    // Hidden until all functions are shown, then on the "Import" page; it
    // opens its window by the item's name.
    void registryItem()
    {
        auto &reg = TdmJexAttivazioni::instance();
        const RegistryItem *it = reg.item(QStringLiteral("axfImp770ap"));
        QVERIFY(it);
        QCOMPARE(it->caption, QStringLiteral("770 anno prec."));
        QCOMPARE(it->formClass, QStringLiteral("TfmJexImp770ap"));
        QVERIFY(reg.isAvailable(*it));
        auto shownOnImport = [&reg] {
            for (const RegistryItem &i : reg.itemsOf(QStringLiteral("xpgImport")))
                if (i.name == u"axfImp770ap")
                    return i.visible;
            return false;
        };
        QVERIFY(!shownOnImport());
        reg.setAllFunctions(true);
        QVERIFY(shownOnImport());
        reg.setAllFunctions(false);
        std::unique_ptr<QWidget> w(FormRegistry::instance().create(it->formClass));
        QVERIFY(qobject_cast<TfmJexImp770ap *>(w.get()));
    }
};

JEX_WINDOW_TEST_MAIN(TstPreviousWindow)
#include "tst_previouswindow.moc"
