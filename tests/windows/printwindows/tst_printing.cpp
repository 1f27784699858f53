// Form engine, section prints and control reports, on datasets handed in
// directly (no database) and read back from the produced PDF.

#include "printing/formengine.h"
#include "sections/directorystore.h"
#include "sections/memorystore.h"
#include "sections/sectionstore.h"
#include "printwindows/printwindows.h"
#include "printing/sectionprints.h"

#include "dataset/dataset.h"
#include "base/messages.h"
#include "base/paths.h"
#include "base/errors.h"

#include "shell/registry.h"
#include "fullfs.h"

#include <QDialog>

#include <QHash>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QPushButton>
#include "windowtest.h"

#include <QtTest>
#include <memory>

using namespace jex;

namespace {

QString pdfText(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString &path)
{
    return pdfText(path).count(QLatin1Char('\f'));
}

// A copy of a delivered coordinate file with one text replaced; empty when
// the text is not there.
QString damagedCoordinates(const QTemporaryDir &dir, const QString &file, const QString &from, const QString &to)
{
    QFile in(Paths::coordDir() + file);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(in.readAll());
    const int at = text.indexOf(from);
    if (at < 0)
        return {};
    text.replace(at, from.size(), to);
    const QString path = dir.filePath(file);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(text.toUtf8()) < 0)
        return {};
    return path;
}

} // namespace

class TestPrinting : public QObject
{
    Q_OBJECT

private:
    MemorySectionStore *m_tables = nullptr;
    ScriptedMessageService m_msgs;
    QTemporaryDir m_out;
    bool m_havePdftotext = false;

    QString out(const QString &name) const { return m_out.filePath(name); }
    void requirePdftotext()
    {
        if (!m_havePdftotext)
            QSKIP("pdftotext (poppler-utils) non installato: il testo del PDF non si può rileggere");
    }
    void addSV(const QString &code, int month, double amount)
    {
        ClientDataSet &sv = m_tables->table(QStringLiteral("TPSV_PROSPETTOSV"));
        sv.append();
        if (!code.isEmpty())
            sv.fieldByName(QStringLiteral("SSOE7CODICE"))->setAsString(code);
        sv.fieldByName(QStringLiteral("SPSVMESE"))->setAsString(QString::asprintf("%02d", month));
        sv.fieldByName(QStringLiteral("SPSVANNO"))->setAsString(QStringLiteral("2024"));
        sv.fieldByName(QStringLiteral("FPSVTRATTEFF"))->setAsFloat(amount);
        sv.post();
    }
    void addEmployee(const QString &cf, const QString &surname, const QString &name)
    {
        ClientDataSet &d = m_tables->table(QStringLiteral("TDIP7_ANAGRFISCALI"));
        d.append();
        d.fieldByName(QStringLiteral("SDIP7CODFIS"))->setAsString(cf);
        d.fieldByName(QStringLiteral("SDIP7COGNOME"))->setAsString(surname);
        d.fieldByName(QStringLiteral("SDIP7NOME"))->setAsString(name);
        d.post();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_out.isValid());
        m_havePdftotext = !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
        QVERIFY2(QFile::exists(Paths::coordDir() + QStringLiteral("770_sempl_mod.pdf")),
                 "the build has not drawn the print templates");
        setMessageService(&m_msgs);
    }
    void init()
    {
        m_tables = new MemorySectionStore;
        setSectionStore(m_tables);
        m_msgs.clear();
        ClientDataSet &sost = m_tables->table(QStringLiteral("TSOS_DATOSOSTITUTO"));
        sost.append();
        sost.fieldByName(QStringLiteral("SSOSCODFIS"))->setAsString(QStringLiteral("80012345678"));
        sost.fieldByName(QStringLiteral("SSOSDENOM"))->setAsString(QStringLiteral("ISTITUTO COMPRENSIVO SAN NICOLÒ"));
        sost.post();
    }
    void cleanup()
    {
        setSectionStore(nullptr);
        delete m_tables;
        m_tables = nullptr;
    }
    void cleanupTestCase() { setMessageService(nullptr); }

    void rowPositions_data()
    {
        QTest::addColumn<int>("maxIndex");
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("printed");
        QTest::addColumn<double>("top");
        QTest::newRow("first row at Top") << 12 << 1 << true << 100.0;
        QTest::newRow("row 12 at Top+88") << 12 << 12 << true << 188.0;
        QTest::newRow("row 13 skipped") << 12 << 13 << false << 0.0;
        QTest::newRow("row 0 skipped") << 12 << 0 << false << 0.0;
        QTest::newRow("no range: row 13 still printed") << 0 << 13 << true << 196.0;
    }
    void rowPositions()
    {
        QFETCH(int, maxIndex);
        QFETCH(int, row);
        QFETCH(bool, printed);
        QFETCH(double, top);
        PdfPrintRect r;
        r.top = 100;
        r.left = 50;
        r.minIndex = 1;
        r.maxIndex = maxIndex;
        r.vOffset = 8;
        double x = -1, y = -1;
        QCOMPARE(pdfRectPosition(r, row, false, &x, &y), printed);
        if (printed) {
            QCOMPARE(y, top);
            QCOMPARE(x, 50.0);
        }
    }
    void diCorrection()
    {
        PdfPrintRect r;
        r.top = 100;
        r.vOffset = 10;
        r.maxIndex = 20;
        double x, y;
        QVERIFY(pdfRectPosition(r, 4, true, &x, &y));
        QCOMPARE(y, 140.0);
        QVERIFY(pdfRectPosition(r, 5, true, &x, &y));
        QCOMPARE(y, 151.0);
        QVERIFY(pdfRectPosition(r, 18, true, &x, &y));
        QCOMPARE(y, 284.0);
        QVERIFY(pdfRectPosition(r, 18, false, &x, &y));
        QCOMPARE(y, 280.0);
    }

    void formatCodes_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("CD keeps 11 characters") << "CD" << "80012345678" << "80012345678";
        QTest::newRow("CD pads 4 characters") << "CD" << "ABCD" << "       ABCD";
        QTest::newRow("CD empty") << "CD" << "" << "";
        QTest::newRow("FL empty is zero") << "FL" << "" << "0,00";
        QTest::newRow("FL amount") << "FL" << "1234.5" << "1234,50";
        QTest::newRow("FF thousands not used") << "FF" << "1234567.891" << "1234567,89";
        QTest::newRow("TR truncates") << "TR" << "1234.99" << "1.234";
        QTest::newRow("TA rounds half up") << "TA" << "1234.5" << "1.235";
        QTest::newRow("TA negative half away") << "TA" << "-2.5" << "-3";
        QTest::newRow("M on F is a blank") << "M" << "F" << " ";
        QTest::newRow("M on M") << "M" << "M" << "X";
        QTest::newRow("CB") << "CB" << "1" << "X";
        QTest::newRow("CB zero") << "CB" << "0" << "";
        QTest::newRow("DT") << "DT" << "16/01/2024" << "16  01  2024";
        QTest::newRow("DT2") << "DT2" << "16/01/2024" << "16   01  2024";
        QTest::newRow("DA") << "DA" << "16/01/2024" << "16 01";
        QTest::newRow("SP unchanged") << "SP" << "àè" << "àè";
    }
    void formatCodes()
    {
        QFETCH(QString, type);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(formatPdfValue(type, text), expected);
    }

    void frontCodes_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("DTd") << "DTd" << "05/03/1970" << "05 03 1970";
        QTest::newRow("AR rounds up at half") << "AR" << "10.5" << "11";
        QTest::newRow("AR below half") << "AR" << "10.49" << "10";
        QTest::newRow("TR empty") << "TR" << "" << "0";
        QTest::newRow("SP") << "SP" << "AB" << "A B ";
        QTest::newRow("SP2") << "SP2" << "AB" << "A   B   ";
        QTest::newRow("F on F") << "F" << "F" << "X";
    }
    void frontCodes()
    {
        QFETCH(QString, type);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QCOMPARE(FormatStampa(type, value), expected);
    }

    void missingCoordinatesShowsDialog()
    {
        addSV(QString(), 1, 10);
        TdmJexProspSTPDF module;
        QVERIFY(!module.OpenTemplate(out(QStringLiteral("nessuno.pdf")), Paths::coordDir() + "ProspSV.xml"));
        // A section print with a broken coordinate file tells the user and writes nothing.
        QTemporaryDir fake;
        QFile bad(fake.filePath(QStringLiteral("bad.xml")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("<PdfConf><Page");
        bad.close();
        QVERIFY(!module.OpenTemplate(Paths::coordDir() + "770_sempl_mod.pdf", bad.fileName()));
        QVERIFY(!module.PrintPage(QStringLiteral("SS")));
    }

    void svThirteenRowsTwoModules()
    {
        for (int m = 1; m <= 13; ++m)
            addSV(QString(), (m - 1) % 12 + 1, m * 100 + 0.25);
        TdmJexProspSTPDF module;
        const QString path = out(QStringLiteral("SV.pdf"));
        QVERIFY(module.PrintProspSV(path));
        QCOMPARE(module.pageLog, QStringList({"27:01", "27:02"}));
        requirePdftotext();
        QCOMPARE(pdfPages(path), 2);
        const QStringList pages = pdfText(path).split(QLatin1Char('\f'));
        // Ordered by month: the two January rows come first, December is
        // the 13th row and the first of page 2.
        QVERIFY(pages[1].contains(QStringLiteral("1200,25")));
        QVERIFY(!pages[0].contains(QStringLiteral("1200,25")));
        QVERIFY(pages[0].contains(QStringLiteral("1300,25")));
        QVERIFY(pages[1].contains(QStringLiteral("02")));
    }

    void svTwoGroupsRestartModules()
    {
        addSV(QString(), 1, 10);
        addSV(QStringLiteral("01234567890"), 2, 20);
        addSV(QString(), 3, 30);
        TdmJexProspSTPDF module;
        QVERIFY(module.PrintProspSV(out(QStringLiteral("SV2.pdf"))));
        QCOMPARE(module.pageLog, QStringList({"27:01", "27:01"}));
    }

    void noSSRecordNoFileNoWarning()
    {
        TdmJexProspSTPDF module;
        const QString path = out(QStringLiteral("SS.pdf"));
        QVERIFY(!module.PrintProspSS(path));
        QVERIFY(!QFile::exists(path));
        QVERIFY(m_msgs.texts().isEmpty());

        // The window says in its memo why there is nothing to open.
        std::unique_ptr<QDialog> dlg(createPrintWindow(QStringLiteral("TfmJexPdfSS")));
        auto *w = qobject_cast<TfmJexPdfBase *>(dlg.get());
        QVERIFY(w);
        w->crea();
        QVERIFY(w->meMessaggi->toPlainText().contains(QStringLiteral("creazione del file telematico")));
        QVERIFY(!w->buApri->isEnabled());
        QVERIFY(m_msgs.texts().isEmpty());
    }

    void ssWarnsAndPrintsOnePagePerRecord()
    {
        ClientDataSet &ss = m_tables->table(QStringLiteral("TPSS_PROSPETTOSS"));
        ss.appendRecord({});
        ss.append();
        ss.fieldByName(QStringLiteral("SSOE7CODICE"))->setAsString(QStringLiteral("01234567890"));
        ss.post();
        TdmJexProspSTPDF module;
        QVERIFY(module.PrintProspSS(out(QStringLiteral("SS2.pdf"))));
        QCOMPARE(module.pageLog, QStringList({"SS:01", "SS:02"}));
        QVERIFY(m_msgs.contains(QStringLiteral("Si ricorda che la stampa dei prospetti SS")));
    }

    void stGroupSectionsFollowFirstPage()
    {
        ClientDataSet &st = m_tables->table(QStringLiteral("TPST_PROSPETTOST"));
        for (int i = 0; i < 13; ++i) {
            st.append();
            st.fieldByName(QStringLiteral("SPSTMESE"))->setAsString(QString::asprintf("%02d", i % 12 + 1));
            st.fieldByName(QStringLiteral("FPSTRITOPEARTE"))->setAsFloat(1);
            st.post();
        }
        ClientDataSet &st2 = m_tables->table(QStringLiteral("TPST2_PROSPETTOSTS2"));
        st2.append();
        st2.fieldByName(QStringLiteral("SPST2MESE"))->setAsString(QStringLiteral("05"));
        st2.post();
        TdmJexProspSTPDF module;
        QVERIFY(module.PrintProspST(out(QStringLiteral("ST.pdf"))));
        QCOMPARE(module.pageLog, QStringList({"23:01", "24:01", "23:02"}));
    }

    void syEveryRowOnce()
    {
        ClientDataSet &sy2 = m_tables->table(QStringLiteral("TPSY2_PROSPETTOSY2"));
        for (int i = 0; i < 6; ++i) {
            sy2.append();
            sy2.fieldByName(QStringLiteral("SPSY2CREPIGCF"))->setAsString(QStringLiteral("CRED%1").arg(i, 2, 10, QLatin1Char('0')));
            sy2.post();
        }
        ClientDataSet &sy4 = m_tables->table(QStringLiteral("TPSY4_PROSPETTOSY4"));
        sy4.append();
        sy4.fieldByName(QStringLiteral("SSY4DEN"))->setAsString(QStringLiteral("ESTERO"));
        sy4.post();
        TdmJexProspSTPDF module;
        const QString path = out(QStringLiteral("SY.pdf"));
        QVERIFY(module.PrintProspSY(path));
        QCOMPARE(module.pageLog, QStringList({"30:01", "30:02", "31:01"}));
        requirePdftotext();
        const QString text = pdfText(path);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(text.count(QStringLiteral("CRED%1").arg(i, 2, 10, QLatin1Char('0'))), 1);
    }

    void inpsThirtySixEmployeesTwoPages()
    {
        for (int i = 0; i < 36; ++i)
            addEmployee(QStringLiteral("CF%1").arg(i, 14, 10, QLatin1Char('0')),
                        QStringLiteral("COGNOME%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("NOME"));
        ClientDataSet &inps = m_tables->table(QStringLiteral("TINPS7_INPS"));
        for (int i = 0; i < 2; ++i) {
            inps.append();
            inps.fieldByName(QStringLiteral("SDIP7CODFIS"))->setAsString(QStringLiteral("CF%1").arg(35, 14, 10, QLatin1Char('0')));
            inps.fieldByName(QStringLiteral("fInps7Imponibile"))->setAsFloat(1000.5);
            inps.post();
        }
        TdmJexProspSTPDF module;
        module.openAfterReport = false;
        const QString path = out(QStringLiteral("RiepilogoINPS.pdf"));
        QVERIFY(module.PrintRiepilogoINPS(path));
        QCOMPARE(module.pageLog.size(), 2);
        requirePdftotext();
        const QStringList pages = pdfText(path).split(QLatin1Char('\f'));
        QCOMPARE(pages.size() - 1, 2);
        QVERIFY(pages[1].contains(QStringLiteral("COGNOME35")));
        QVERIFY(pages[1].contains(QStringLiteral("Totale")));
        QVERIFY(!pages[0].contains(QStringLiteral("Totale")));
        QVERIFY(pages[1].contains(QStringLiteral("2001,00"))); // both INPS rows summed
        // each copy of the one-page template carries its own page number
        QVERIFY(pages[0].contains(QStringLiteral("pag. 1")));
        QVERIFY(pages[1].contains(QStringLiteral("pag. 2")));
        QVERIFY(!pages[1].contains(QStringLiteral("pag. 1")));
        QVERIFY(pages[0].contains(QStringLiteral("SAN NICOLÒ")));
    }

    void inpsWithoutEmployeesInforms()
    {
        TdmJexProspSTPDF module;
        QVERIFY(!module.PrintRiepilogoINPS(out(QStringLiteral("vuoto.pdf"))));
        QCOMPARE(m_msgs.texts(), QStringList{QStringLiteral("Non ci sono dipendenti disponibili per il riepilogo.")});
    }

    void separateTaxationSkipsEmployeeWithoutRows()
    {
        addEmployee(QStringLiteral("AAAAAA00A00A000A"), QStringLiteral("ROSSI"), QStringLiteral("ANNA"));
        addEmployee(QStringLiteral("BBBBBB00B00B000B"), QStringLiteral("VERDI"), QStringLiteral("LUCA"));
        ClientDataSet &tas = m_tables->table(QStringLiteral("TTAS7_TASSAZIONESE"));
        for (const char *year : {"2021", "2021", "2022"}) {
            tas.append();
            tas.fieldByName(QStringLiteral("SDIP7CODFIS"))->setAsString(QStringLiteral("AAAAAA00A00A000A"));
            tas.fieldByName(QStringLiteral("STAS7PERIODOIMP"))->setAsString(QLatin1String(year));
            tas.fieldByName(QStringLiteral("FTAS7COMPARRDETR"))->setAsFloat(100.25);
            tas.post();
        }
        TdmJexProspSTPDF module;
        module.openAfterReport = false;
        const QString path = out(QStringLiteral("Tass.pdf"));
        QVERIFY(module.PrintRiepilogoTassSep(path));
        requirePdftotext();
        const QString text = pdfText(path);
        QVERIFY(text.contains(QStringLiteral("ROSSI ANNA")));
        QVERIFY(!text.contains(QStringLiteral("VERDI")));
        QCOMPARE(text.count(QStringLiteral("Totale anno")), 2);
        QVERIFY(text.contains(QStringLiteral("200,50")));  // two rows of 2021 in one year total
        QVERIFY(text.contains(QStringLiteral("300,75")));  // grand total
    }

    // A front-page value of the separate-management part prints only when
    // the return is made for that part.
    void frontPrintsSectionChoiceOnly_data()
    {
        QTest::addColumn<int>("sezione");
        QTest::addColumn<bool>("printed");
        QTest::newRow("sezione 1") << 1 << false;
        QTest::newRow("sezione 2") << 2 << true;
    }
    void frontPrintsSectionChoiceOnly()
    {
        QFETCH(int, sezione);
        QFETCH(bool, printed);
        ClientDataSet &sost = m_tables->table(QStringLiteral("TSOS_DATOSOSTITUTO"));
        sost.first();
        sost.edit();
        sost.fieldByName(QStringLiteral("ISOSSEZ"))->setAsInteger(sezione);
        sost.fieldByName(QStringLiteral("SPROTINVGESTSEPID"))->setAsString(QStringLiteral("PROT4711"));
        sost.fieldByName(QStringLiteral("SSOSCODFISINTERM"))->setAsString(QStringLiteral("INTRM00A00A000A"));
        sost.post();
        ClientDataSet cds;
        m_tables->openCds(QStringLiteral("TSOS_DATOSOSTITUTO"), cds);
        const QString path = out(QStringLiteral("Front.pdf"));
        QVERIFY(TdmJexStampe::printFront(cds, path));
        requirePdftotext();
        QCOMPARE(pdfPages(path), 3);
        const QStringList pages = pdfText(path).split(QLatin1Char('\f'));
        QVERIFY(pages[1].contains(QStringLiteral("SAN NICOLÒ")));
        QVERIFY(pages[2].contains(QStringLiteral("INTRM00A00A000A"))); // sections of Page 2 go on the third page
        QCOMPARE(pages[2].contains(QStringLiteral("PROT4711")), printed);
    }

    // Each intermediary of section III has a page of its own, with all its
    // payment lines, under the module of its group's first section-I page.
    void stSectionThreeOnePagePerIntermediary()
    {
        ClientDataSet &st = m_tables->table(QStringLiteral("TPST_PROSPETTOST"));
        st.append();
        st.fieldByName(QStringLiteral("SPSTMESE"))->setAsString(QStringLiteral("01"));
        st.post();
        ClientDataSet &st3 = m_tables->table(QStringLiteral("TPST3_PROSPETTOSTS3"));
        for (const char *cf : {"INTERM0001", "INTERM0002"}) {
            st3.append();
            st3.fieldByName(QStringLiteral("SPST3CFINTNRES"))->setAsString(QLatin1String(cf));
            st3.fieldByName(QStringLiteral("FPST3IMPOVERSATO27"))->setAsFloat(11.5);
            st3.fieldByName(QStringLiteral("FPST3IMPOVERSATO37"))->setAsFloat(3737.25);
            st3.post();
        }
        TdmJexProspSTPDF module;
        const QString path = out(QStringLiteral("ST3.pdf"));
        QVERIFY(module.PrintProspST(path));
        QCOMPARE(module.pageLog, QStringList({"23:01", "25:01", "25:01"}));
        requirePdftotext();
        const QStringList pages = pdfText(path).split(QLatin1Char('\f'));
        QVERIFY(pages[1].contains(QStringLiteral("INTERM0001")) && !pages[1].contains(QStringLiteral("INTERM0002")));
        QVERIFY(pages[2].contains(QStringLiteral("INTERM0002")));
        QCOMPARE(pages[1].count(QStringLiteral("3737,25")), 1);
        QCOMPARE(pages[2].count(QStringLiteral("11,50")), 1);
    }

    // The registry starts the print windows by class name and the reports
    // through their hooks.
    void registryReachesEveryPrint_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("caption");
        QTest::newRow("front") << "xafStpFront" << "Stampa Frontespizio";
        for (const char *q : {"DI", "ST", "SV", "SX", "SY", "SS"})
            QTest::newRow(q) << QStringLiteral("axf%1").arg(QLatin1String(q))
                             << QStringLiteral("Stampa Prospetto %1").arg(QLatin1String(q));
    }
    void registryReachesEveryPrint()
    {
        QFETCH(QString, item);
        QFETCH(QString, caption);
        const RegistryItem *it = TdmJexAttivazioni::instance().item(item);
        QVERIFY(it);
        QVERIFY(TdmJexAttivazioni::instance().isAvailable(*it));
        std::unique_ptr<QWidget> w(FormRegistry::instance().create(it->formClass));
        auto *dlg = qobject_cast<QDialog *>(w.get());
        QVERIFY(dlg);
        QCOMPARE(dlg->windowTitle(), caption);
        QVERIFY(dlg->isModal());
    }

    void summaryHooksWriteTheGivenFile()
    {
        for (const char *item : {"xafRiepilogoINPS", "xafRiepilogoTassSep", "xafRiepilogoIRPEF",
                                 "xafRiepilogoINPDAP", "xafRiepilogoAutonomi"})
            QVERIFY2(TdmJexAttivazioni::instance().hasHook(QLatin1String(item)), item);
        addEmployee(QStringLiteral("AAAAAA00A00A000A"), QStringLiteral("ROSSI"), QStringLiteral("ANNA"));
        // The registry writes into the installation's print folder; point it
        // at a scratch tree for the run.
        const QString mainDir = Paths::mainDir();
        QTemporaryDir scratch;
        QDir(scratch.path()).mkpath(QStringLiteral("USR/YR2024/Res"));
        QVERIFY(QFile::link(Paths::coordDir(), scratch.filePath(QStringLiteral("USR/YR2024/Res/CoordStp"))));
        Paths::setMainDir(scratch.path());
        struct Restore
        {
            QString dir;
            ~Restore() { Paths::setMainDir(dir); }
        } restore{mainDir};
        struct NoWindows : WindowHost
        {
            bool hasDocumentWindows() const override { return false; }
            bool activateWindowOf(const QString &) override { return false; }
            void showWindow(const RegistryItem &, QWidget *) override {}
            void openDocument(const QString &) override {}
            QString chooseDirectory() override { return {}; }
            QWidget *parentWidget() override { return nullptr; }
        } host;
        QVERIFY(!TdmJexAttivazioni::instance().execute(QStringLiteral("xafRiepilogoIRPEF"), host));
        QVERIFY(QFile::exists(Paths::printsDir() + QStringLiteral("RiepilogoIRPEF.pdf")));
    }
    void damagedCoordinatesAreRefused_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("message"); // after the file name
        QTest::newRow("unknown type")
            << R"(<Edit Name="SAVOMODN" Alignment="taCenter" Type="SP">)"
            << R"(<Edit Name="SAVOMODN" Alignment="taCenter" Type="ZZ">)"
            << "PdfConf / Page \"ModN\" / Section \"cdsAltreVoci\" / Edit \"SAVOMODN\" (riga 5), tipo sconosciuto \"ZZ\"";
        QTest::newRow("position not a number")
            << R"(<PrintRect Top="53" Left="541")" << R"(<PrintRect Top="5x3" Left="541")"
            << "Edit \"SAVOMODN\" / PrintRect (riga 6), l'attributo Top non è un numero intero: \"5x3\"";
        QTest::newRow("space not a number")
            << R"(Height="10" Space="0")" << R"(Height="10" Space="due")"
            << "PrintRect (riga 6), l'attributo Space non è un numero: \"due\"";
        QTest::newRow("negative position")
            << R"(<PrintRect Top="53" Left="541")" << R"(<PrintRect Top="53" Left="-541")"
            << "PrintRect (riga 6), posizione negativa";
        QTest::newRow("unknown alignment")
            << R"(Alignment="taCenter")" << R"(Alignment="centrato")"
            << "Edit \"SAVOMODN\" (riga 5), allineamento sconosciuto \"centrato\"";
        QTest::newRow("template page beyond the template")
            << R"(<Page Name="ModN" Template="0">)" << R"(<Page Name="ModN" Template="999">)"
            << "vuole la pagina 999";
    }
    void damagedCoordinatesAreRefused()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = damagedCoordinates(dir, QStringLiteral("ProspSV.xml"), from, to);
        QVERIFY2(!path.isEmpty(), "the delivered coordinates have changed: update the case");
        TdmJexProspSTPDF module;
        QVERIFY(!module.OpenTemplate(Paths::coordDir() + "770_sempl_mod.pdf", path));
        QVERIFY2(module.openError().contains(QDir::toNativeSeparators(path)), qPrintable(module.openError()));
        QVERIFY2(module.openError().endsWith(message), qPrintable(module.openError()));
    }

    void renamedSectionIsAnError()
    {
        // A section the print needs but the file does not hold would leave
        // the print silently empty.
        QTemporaryDir dir;
        const QString path = damagedCoordinates(dir, QStringLiteral("ProspSV.xml"),
                                                QStringLiteral(R"(<Section Name="cdsSost")"),
                                                QStringLiteral(R"(<Section Name="cdsSostituto")"));
        QVERIFY(!path.isEmpty());
        TdmJexProspSTPDF module;
        QVERIFY2(module.OpenTemplate(Paths::coordDir() + "770_sempl_mod.pdf", path), qPrintable(module.openError()));
        try {
            module.PrintSection(QStringLiteral("CodFis"), QStringLiteral("cdsSost"), 1);
            QFAIL("a missing section was printed");
        } catch (const EQxError &e) {
            QCOMPARE(e.message(), QStringLiteral("File di coordinate %1 danneggiato: la pagina \"CodFis\" non ha la "
                                                 "sezione \"cdsSost\"").arg(QDir::toNativeSeparators(path)));
        }
    }

    void missingFrontCoordinatesNameTheFile()
    {
        // An installation whose front-page coordinates are missing.
        QTemporaryDir main;
        const QString coord = main.filePath(QStringLiteral("USR/YR2024/Res/CoordStp/"));
        QVERIFY(QDir().mkpath(coord));
        QVERIFY(QFile::copy(Paths::coordDir() + "770_sempl_mod.pdf", coord + "770_sempl_mod.pdf"));
        const QString installed = Paths::mainDir();
        Paths::setMainDir(main.path());
        struct Restore { QString dir; ~Restore() { Paths::setMainDir(dir); } } restore{installed};
        ClientDataSet cds;
        m_tables->openCds(QStringLiteral("TSOS_DATOSOSTITUTO"), cds);
        const QString path = out(QStringLiteral("FrontMancante.pdf"));
        try {
            TdmJexStampe::printFront(cds, path);
            QFAIL("the front page was printed without its coordinates");
        } catch (const EQxError &e) {
            QCOMPARE(e.message(), QStringLiteral("File di coordinate del frontespizio mancante o illeggibile: %1")
                                      .arg(QDir::toNativeSeparators(coord + "FrontS.xml")));
        }
        QVERIFY(!QFile::exists(path));
    }

    void printOnAFullDiskKeepsThePreviousFile()
    {
        jex::test::FullFileSystem fs;
        if (!fs.available())
            QSKIP(qPrintable(fs.skipReason()));
        addSV(QString(), 1, 10);
        QVERIFY(fs.put(QStringLiteral("SV.pdf"), "stampa precedente"));
        QVERIFY(fs.fill());
        TdmJexProspSTPDF module;
        const QString path = fs.filePath(QStringLiteral("SV.pdf"));
        try {
            module.PrintProspSV(path);
            QFAIL("a print on a full disk was reported as done");
        } catch (const EQxError &e) {
            QCOMPARE(e.message(), QStringLiteral("Salvataggio stampa: Impossibile scrivere il file %1: spazio esaurito "
                                                 "sul disco").arg(path));
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("stampa precedente"));
    }
};

JEX_WINDOW_TEST_MAIN(TestPrinting)
#include "tst_printing.moc"
