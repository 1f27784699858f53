// The windows "Integra dipendenti/autonomi da sostituto estinto": the
// persons of the chosen folder, the selection they integrate, the end of the
// run, and a folder they cannot use.

#include "importwindows/intsoswindow.h"

#include "base/messages.h"
#include "catalogue/catalogue.h"
#include "database/sqlconnection.h"
#include "database/structureservice.h"
#include "dataset/dataset.h"
#include "sections/databasestore.h"
#include "shell/registry.h"
#include "testdb.h"
#include "windowtest.h"

#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>

using namespace jex;

namespace {

void writeTable(const QString &dir, const QString &table, const QList<QStringList> &rows, const QStringList &columns)
{
    ClientDataSet ds;
    TableCatalogue::makeDataSet(*TableCatalogue::instance().table(table), ds);
    for (const QStringList &r : rows) {
        ds.append();
        for (int i = 0; i < columns.size(); ++i)
            ds.fieldByName(columns[i])->setValue(r[i]);
        ds.post();
    }
    ds.mergeChangeLog();
    ds.saveToFile(dir + u'/' + table + QStringLiteral(".CDS"));
}

// An extinct agent with three employees, listed out of order.
void exportFolder(const QString &dir)
{
    writeTable(dir, QStringLiteral("TSOS_DATOSOSTITUTO"), {{QStringLiteral("80098765432")}}, {QStringLiteral("SSOSCODFIS")});
    const QStringList cols = {QStringLiteral("SDIP7CODFIS"), QStringLiteral("SDIP7COGNOME"), QStringLiteral("SDIP7NOME"), QStringLiteral("FFIS7RITIRPEF")};
    writeTable(dir, QStringLiteral("TDIP7_ANAGRFISCALI"),
               {{QStringLiteral("VRDLCU99M68L219Z"), QStringLiteral("VERDI"), QStringLiteral("LUCIA"), QStringLiteral("10")},
                {QStringLiteral("BNCMRA90C45F205A"), QStringLiteral("BIANCHI"), QStringLiteral("MARIA"), QStringLiteral("10")},
                {QStringLiteral("RSSMRA85T10A562S"), QStringLiteral("ROSSI"), QStringLiteral("MARIO"), QStringLiteral("10")}},
               cols);
    for (const char *t : {"TCON7_DATICONGUAG", "TRAR7_REDASSTIRTIT", "TSLS7_SOMEROLAVSTRA", "TTAS7_TASSAZIONESE", "TTFR7_TFR",
                          "TINPS7_INPS", "TINP7_INPDAP", "TCFC7_CONFAMCARICO", "TANN7_ANNOTAZIONI"})
        writeTable(dir, QString::fromLatin1(t), {}, {});
}

} // namespace

class TstIntSosWindow : public QObject
{
    Q_OBJECT

    QStringList integrated(TQmrDBCds &svc)
    {
        ClientDataSet dip;
        svc.OpenCds(dip, QStringLiteral("TDIP7_ANAGRFISCALI"));
        QStringList out;
        for (dip.first(); !dip.eof(); dip.next())
            out << dip.fieldByName(QStringLiteral("SDIP7CODFIS"))->asString();
        out.sort();
        return out;
    }

private Q_SLOTS:
    void init() { setMessageService(&m_msg); m_msg.clear(); }
    void cleanup() { setMessageService(nullptr); }

    void registeredForTheRegistryItems()
    {
        for (const char *cls : {"TfmJexIntSosDip", "TfmJexIntSosAut"}) {
            std::unique_ptr<QWidget> w(FormRegistry::instance().create(QString::fromLatin1(cls)));
            QVERIFY2(w, cls);
        }
    }

    void selectionIntegrated_data()
    {
        QTest::addColumn<QList<int>>("rows"); // grid rows selected, ordered by codice fiscale
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("nessuna riga: tutti")
            << QList<int>{} << QStringList{"BNCMRA90C45F205A", "RSSMRA85T10A562S", "VRDLCU99M68L219Z"};
        QTest::newRow("una riga") << QList<int>{2} << QStringList{"VRDLCU99M68L219Z"};
    }
    void selectionIntegrated()
    {
        QFETCH(QList<int>, rows);
        QFETCH(QStringList, expected);
        TestDatabase db(QStringLiteral("sqlite"));
        QVERIFY(db.available());
        TQxSQLConnection conn(QStringLiteral("intsoswindow"));
        conn.open(DatabaseUrl::parse(db.url()));
        TQmrDBCds svc(2024, QStringLiteral("jex"), 0);
        svc.SetConnection(&conn);
        svc.SetShowWait(false);
        DbCdsStore store(&svc);
        QTemporaryDir dir;
        exportFolder(dir.path());

        TfmJexIntSosDip w(nullptr, &conn, &store);
        QCOMPARE(w.windowTitle(), QStringLiteral("Integra dipendenti da sostituto estinto "));
        w.setProperty("directory", dir.path());
        w.show();
        QVERIFY(w.isPrepared());
        QCOMPARE(w.rowCount(), 3);
        QCOMPARE(w.grMulti->model()->index(0, 0).data().toString(), QStringLiteral("BNCMRA90C45F205A"));
        QCOMPARE(w.grMulti->model()->index(2, 1).data().toString(), QStringLiteral("VERDI"));
        QVERIFY(w.buImporta->isEnabled());
        for (int r : rows)
            w.grMulti->selectionModel()->select(w.grMulti->model()->index(r, 0),
                                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        w.buImporta->click();
        QVERIFY2(w.lastRunSucceeded(), qPrintable(m_msg.texts().join(u'|')));
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QVERIFY2(m_msg.texts().contains(QStringLiteral("Fine operazione")), qPrintable(m_msg.texts().join(u'|')));
        QVERIFY2(m_msg.contains(QStringLiteral("Dipendente aggiunto")), qPrintable(m_msg.texts().join(u'|')));
        QCOMPARE(integrated(svc), expected);
        conn.close();
    }

    // A folder without the exported files: the window says which file is
    // missing and closes without changing anything.
    void unusableFolderCloses()
    {
        TestDatabase db(QStringLiteral("sqlite"));
        QVERIFY(db.available());
        TQxSQLConnection conn(QStringLiteral("intsoswindow2"));
        conn.open(DatabaseUrl::parse(db.url()));
        TQmrDBCds svc(2024, QStringLiteral("jex"), 0);
        svc.SetConnection(&conn);
        svc.SetShowWait(false);
        DbCdsStore store(&svc);
        QTemporaryDir dir;
        TfmJexIntSosAut w(nullptr, &conn, &store);
        QCOMPARE(w.windowTitle(), QStringLiteral("Integra autonomi da sostituto estinto "));
        w.setDirectory(dir.path());
        w.show();
        QVERIFY(!w.isPrepared());
        QVERIFY2(m_msg.contains(QStringLiteral("TSOS_DATOSOSTITUTO.CDS")), qPrintable(m_msg.texts().join(u'|')));
        QTRY_VERIFY(!w.isVisible());
        QCOMPARE(w.result(), int(QDialog::Rejected));
        conn.close();
    }

private:
    ScriptedMessageService m_msg{ModalResult::Ok};
};

JEX_WINDOW_TEST_MAIN(TstIntSosWindow)
#include "tst_intsoswindow.moc"
