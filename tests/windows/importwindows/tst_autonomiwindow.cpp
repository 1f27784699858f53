// "Scelta dati autonomi": the list, its filters, "Prenotati: N", and the OK
// button importing the selection, over a real database (SQLite, and
// PostgreSQL when JEX770_TEST_PG names a server).

#include "testdb.h"

#include "base/messages.h"
#include "base/paths.h"
#include "database/namedsql.h"
#include "database/sqlconnection.h"
#include "database/structureservice.h"
#include "importwindows/autonomiwindow.h"
#include "imports/cud/payrollarchive.h"
#include "sections/databasestore.h"

#include "windowtest.h"

#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QTableWidget>
#include <QtTest>

using namespace jex;

class TstAutonomiWindow : public QObject
{
    Q_OBJECT

    ScriptedMessageService m_messages{ModalResult::Yes};

    qint64 payee(PayrollArchiveWriter &w, const QString &cf, const QString &cognome, int tno, int cat)
    {
        ArchivePerson p;
        p.codFis = cf;
        p.cognome = cognome;
        p.nome = QStringLiteral("ANNA");
        p.sesso = QStringLiteral("F");
        const qint64 acom = w.position(w.person(p), 55, 0, tno, 0);
        w.setCategory(acom, cat);
        const qint64 r = w.registration(acom, QStringLiteral("A"));
        w.registrationItem(r, 1, 11, 1000, 200);
        return acom;
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QString src = qEnvironmentVariable("JEX770_SOURCE_DIR");
        QVERIFY(!src.isEmpty());
        Paths::setMainDir(src + QStringLiteral("/data/"));
        TQmrQueryText::instance().CompileQueryFile(src + QStringLiteral("/sql/autonomi.xml"));
        setMessageService(&m_messages);
    }
    void cleanupTestCase() { setMessageService(nullptr); }

    void listFiltersAndImport_data() { TestDatabase::addDatabaseRows(); }
    void listFiltersAndImport()
    {
        JEX_TEST_DATABASE(tdb);
        TQxSQLConnection conn(QStringLiteral("autonomiwindow"));
        conn.open(DatabaseUrl::parse(tdb.url()));
        TQmrDBCds svc(2024, QStringLiteral("jex"), 0);
        svc.SetConnection(&conn);
        svc.SetShowWait(false);
        DbCdsStore store(&svc);
        PayrollArchiveWriter w(conn);
        w.lookup(QStringLiteral("TTNO_TIPONOMINA"), 14, QStringLiteral("LP"), QStringLiteral("Liberi professionisti"));
        w.lookup(QStringLiteral("TTNO_TIPONOMINA"), 15, QStringLiteral("AO"), QStringLiteral("Autonomo occasionale"));
        w.lookup(QStringLiteral("TCAT_CATEGORIA"), 20, QStringLiteral("ESP"), QStringLiteral("Esperti"));
        payee(w, QStringLiteral("RSSNNA70E44G478X"), QStringLiteral("ROSSI"), 14, 20);
        payee(w, QStringLiteral("BNCNNA70E44G478X"), QStringLiteral("BIANCHI"), 15, 20);
        payee(w, QStringLiteral("VRDNNA70E44G478X"), QStringLiteral("VERDI"), 14, 20);
        m_messages.clear();

        const AutonomiYear year{55, 1};
        TfmJexImpMultiSelect win(nullptr, AutonomiVariant::Full, &conn, &store, &year);
        QCOMPARE(win.windowTitle(), QStringLiteral("Scelta dati autonomi"));
        QVERIFY(win.rbChiedi->isChecked());
        QCOMPARE(win.grList->rowCount(), 3);
        QCOMPARE(win.grList->item(0, 1)->text(), QStringLiteral("BIANCHI ANNA"));
        QCOMPARE(win.laPrenotati->text(), QStringLiteral("Prenotati: 3"));
        QCOMPARE(win.cbITNOQUXORCODE->count(), 3);
        QCOMPARE(win.cbITNOQUXORCODE->itemText(0), QStringLiteral("(Tutte)"));

        // "Pos.Giur." of the professionals: two rows, sorted by code then name.
        win.cbITNOQUXORCODE->setCurrentIndex(win.cbITNOQUXORCODE->findData(14));
        QCOMPARE(win.grList->rowCount(), 2);
        QCOMPARE(win.laPrenotati->text(), QStringLiteral("Prenotati: 2"));
        win.sortBy(3);
        QCOMPARE(win.grList->item(0, 1)->text(), QStringLiteral("ROSSI ANNA"));

        // One selected: only that one is imported; an existing person is kept
        // without a question when "Non sovrascrivere" is chosen.
        win.grList->selectRow(1);
        QCOMPARE(win.laPrenotati->text(), QStringLiteral("Prenotati: 1"));
        win.rbMai->setChecked(true);
        win.buOkClick();
        QCOMPARE(win.lastResult.imported, 1);
        QCOMPARE(m_messages.texts(), QStringList{QStringLiteral("Fine operazione")});
        ClientDataSet dau;
        svc.OpenCds(dau, QStringLiteral("TDAU7_DATIAUTONOM"));
        QCOMPARE(dau.recordCount(), 1);
        dau.first();
        QCOMPARE(dau.fieldByName(QStringLiteral("SDAU7COGNOME"))->asString(), QStringLiteral("VERDI"));
        conn.close();
    }
};

JEX_WINDOW_TEST_MAIN(TstAutonomiWindow)
#include "tst_autonomiwindow.moc"
