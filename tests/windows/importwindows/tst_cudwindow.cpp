// The window "Import da CU ...": the persons of the certifications, the
// selection it imports, the switches and the end of the run.

#include "importwindows/cudwindow.h"

#include "base/messages.h"
#include "database/namedsql.h"
#include "database/sqlconnection.h"
#include "database/structureservice.h"
#include "demo/codicefiscale.h"
#include "demo/demoschool.h"
#include "testdb.h"
#include "windowtest.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QStandardItemModel>
#include <QTableView>

using namespace jex;

namespace {

const char *const kPeople[][2] = {{"Verdi", "Paolo"}, {"Bianchi", "Luca"}, {"Rossi", "Mario"}};

QString codeOf(int i)
{
    return demo::personFiscalCode(QString::fromLatin1(kPeople[i][0]), QString::fromLatin1(kPeople[i][1]),
                                  QDate(1970 + i, 5, 2), false, QStringLiteral("G478"));
}

} // namespace

class TstCudWindow : public QObject
{
    Q_OBJECT

    void certifications(TQxSQLConnection &conn)
    {
        ClientDataSet cud;
        demo::catalogueFactory()(QStringLiteral("TCUD_DATICUD"), cud);
        for (int i = 0; i < 3; ++i) {
            cud.append();
            cud.fieldByName(QStringLiteral("SCUDCODFIS"))->setValue(codeOf(i));
            cud.fieldByName(QStringLiteral("SCUDMESE"))->setValue(QStringLiteral("12"));
            cud.fieldByName(QStringLiteral("SCUDCOGNOME"))->setValue(QString::fromLatin1(kPeople[i][0]).toUpper());
            cud.fieldByName(QStringLiteral("SCUDNOME"))->setValue(QString::fromLatin1(kPeople[i][1]).toUpper());
            cud.fieldByName(QStringLiteral("FCUDREDDDETR"))->setValue(1000.0 * (i + 1));
            cud.post();
        }
        TQmrDBCds jey(2024, QStringLiteral("jey"), 0);
        jey.SetConnection(&conn);
        jey.SetShowWait(false);
        jey.SaveCds(cud, QStringLiteral("TCUD_DATICUD"));
    }

    QStringList imported(TQxSQLConnection &conn)
    {
        TQmrDBCds jex(2024, QStringLiteral("jex"), 0);
        jex.SetConnection(&conn);
        jex.SetShowWait(false);
        ClientDataSet dip;
        jex.OpenCds(dip, QStringLiteral("TDIP7_ANAGRFISCALI"));
        QStringList out;
        for (dip.first(); !dip.eof(); dip.next())
            out << dip.fieldByName(QStringLiteral("SDIP7CODFIS"))->asString();
        out.sort();
        return out;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The completion steps read the payroll archive through its named statements.
        const QString src = qEnvironmentVariable("JEX770_SOURCE_DIR");
        QVERIFY(!src.isEmpty());
        TQmrQueryText::instance().CompileQueryFile(src + QStringLiteral("/sql/payroll.xml"));
    }
    void init() { setMessageService(&m_msg); m_msg.clear(); }
    void cleanup() { setMessageService(nullptr); }

    void selectionImported_data()
    {
        QTest::addColumn<QList<int>>("rows"); // grid rows selected, after ordering by surname
        QTest::addColumn<QList<int>>("people");
        QTest::newRow("nessuna riga: tutti") << QList<int>{} << QList<int>{0, 1, 2};
        QTest::newRow("una riga") << QList<int>{0} << QList<int>{1};        // Bianchi
        QTest::newRow("due righe") << QList<int>{1, 2} << QList<int>{2, 0}; // Rossi, Verdi
    }
    void selectionImported()
    {
        QFETCH(QList<int>, rows);
        QFETCH(QList<int>, people);
        TestDatabase db(QStringLiteral("sqlite"));
        QVERIFY(db.available());
        TQxSQLConnection conn(QStringLiteral("cudwindow"));
        conn.open(DatabaseUrl::parse(db.url()));
        certifications(conn);

        TfmJexImpCUD w(nullptr, &conn);
        QCOMPARE(w.windowTitle(), QStringLiteral("Import da CU ..."));
        QCOMPARE(w.grMulti->model()->rowCount(), 3);
        QVERIFY(w.ckAdd->isChecked());
        QVERIFY(w.ckSost->isChecked()); // no agent in the return yet
        QStringList codes;
        for (int r = 0; r < 3; ++r)
            codes << w.grMulti->model()->index(r, 0).data().toString();
        QStringList sorted = codes;
        sorted.sort();
        QCOMPARE(codes, sorted); // first ordered by codice fiscale

        // A click on "Cognome" orders by surname and goes to the first row.
        w.acUltimo->trigger();
        emit w.grMulti->horizontalHeader()->sectionClicked(1);
        QCOMPARE(w.grMulti->currentIndex().row(), 0);
        QCOMPARE(w.grMulti->model()->index(0, 1).data().toString(), QStringLiteral("BIANCHI"));

        for (int r : rows)
            w.grMulti->selectionModel()->select(w.grMulti->model()->index(r, 0),
                                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        w.ckSost->setChecked(false);
        w.acImportaExecute();
        QVERIFY2(w.lastRunSucceeded(), qPrintable(m_msg.texts().join(u'|')));
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QVERIFY2(m_msg.texts().contains(QStringLiteral("Fine operazione")), qPrintable(m_msg.texts().join(u'|')));
        QStringList expected;
        for (int p : people)
            expected << codeOf(p);
        expected.sort();
        QCOMPARE(imported(conn), expected);
        conn.close();
    }

private:
    ScriptedMessageService m_msg{ModalResult::Ok};
};

JEX_WINDOW_TEST_MAIN(TstCudWindow)
#include "tst_cudwindow.moc"
