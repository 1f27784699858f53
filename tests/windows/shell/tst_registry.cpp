#include "shell/mainwindow.h"
#include "shell/registry.h"
#include "base/errors.h"
#include "base/messages.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QToolBox>
#include "windowtest.h"

#include <QtTest>

using namespace jex;

namespace {

// A document window class standing in for the real ones.
class DocWindow : public QWidget
{
public:
    using QWidget::QWidget;
    static int created;
};
int DocWindow::created = 0;

QWidget *makeDoc(QWidget *parent)
{
    ++DocWindow::created;
    return new DocWindow(parent);
}

class FakeHost : public WindowHost
{
public:
    bool open = false;
    QString dir;
    int shown = 0;
    QStringList documents;
    QWidget parent;
    bool hasDocumentWindows() const override { return open; }
    bool activateWindowOf(const QString &) override { return false; }
    void showWindow(const RegistryItem &, QWidget *w) override { ++shown; delete w; }
    void openDocument(const QString &path) override { documents << path; }
    QString chooseDirectory() override { return dir; }
    QWidget *parentWidget() override { return &parent; }
};

} // namespace

class TstRegistry : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        for (const RegistryItem &i : TdmJexAttivazioni::instance().allItems())
            if (i.kind == ItemKind::Form) // stand-ins, also for the classes the windows register
                FormRegistry::instance().add(i.formClass, makeDoc);
    }
    void init() { setMessageService(&m_msg); m_msg.clear(); DocWindow::created = 0; }
    void cleanup() { setMessageService(nullptr); }

    void pagesAndItems();
    void allFunctionsShowHidden();
    void noOpenWindows_data();
    void noOpenWindows();
    void f24RefusedSilently();
    void f24Caption();
    void directoryChoiceCancelled();
    void exportCancelledAndDone();
    void summaryHookGetsPrintPath();
    void mainWindowOpensOnce();
    void maximisedWhenAlone();
    void firstActivationFailureIsShown();
    void mainWindowRefusesPrintWithOpenWindow();
    void unregisteredClassIsDisabled();

private:
    ScriptedMessageService m_msg;
};

void TstRegistry::pagesAndItems()
{
    auto &reg = TdmJexAttivazioni::instance();
    QStringList captions;
    for (const RegistryPage &p : reg.pages())
        captions << p.caption;
    QCOMPARE(captions, (QStringList{"Frontespizio", "Import", "Prospetti", "File telematico", "Tabelle", "Stampe",
                                    "Riepiloghi", "Strumenti"}));
    QStringList prospetti;
    for (const RegistryItem &i : reg.itemsOf("xpgProspet"))
        prospetti << i.name;
    QCOMPARE(prospetti, (QStringList{"xafDipParteA", "xafAutonomo", "xafDI", "xafSt", "xafSv", "xafSX", "xafSY", "xafSs"}));
    QCOMPARE(reg.item("xacExportCDS")->caption, QStringLiteral("Esporta dati "));
    QCOMPARE(reg.item("xafSY")->formClass, QStringLiteral("TfmJexprospSY"));
}

// Hidden by default; the user's setting or --all-functions shows the CU
// import, the employee and self-employed windows and the two tool pages,
// and nothing else that is hidden.
void TstRegistry::allFunctionsShowHidden()
{
    auto &reg = TdmJexAttivazioni::instance();
    auto visible = [&reg] {
        QStringList out;
        for (const RegistryPage &p : reg.pages()) {
            if (p.visible)
                out << p.name;
            for (const RegistryItem &i : reg.itemsOf(p.name))
                if (i.visible)
                    out << i.name;
        }
        return out;
    };
    const QStringList byDefault = visible();
    for (const QString &name : TdmJexAttivazioni::revealedByAllFunctions())
        QVERIFY2(!byDefault.contains(name), qPrintable(name));
    reg.setAllFunctions(true);
    const QStringList all = visible();
    reg.setAllFunctions(false);
    QCOMPARE(visible(), byDefault);
    QStringList added = all;
    for (const QString &n : byDefault)
        added.removeOne(n);
    QStringList expected = TdmJexAttivazioni::revealedByAllFunctions();
    std::sort(added.begin(), added.end());
    std::sort(expected.begin(), expected.end());
    QCOMPARE(added, expected);
    QVERIFY(!all.contains(QStringLiteral("xafAddizionali"))); // hidden on its page, stays hidden
}

void TstRegistry::noOpenWindows_data()
{
    QTest::addColumn<QString>("item");
    for (const char *i : {"xafStpFront", "axfDI", "axfST", "axfSV", "axfSX", "axfSY", "axfSS", "xafStpDip", "axfStpAut",
                          "xafImpCUD", "axfImp770ap", "xafAddizionali", "xafImpAuton", "xafImpAutOnlyAna"})
        QTest::newRow(i) << QString::fromUtf8(i);
}

void TstRegistry::noOpenWindows()
{
    QFETCH(QString, item);
    bool hookRan = false;
    TdmJexAttivazioni::instance().setHook(item, [&](const ItemContext &) { hookRan = true; });
    FakeHost host;
    host.open = true;
    QVERIFY(!TdmJexAttivazioni::instance().execute(item, host));
    QCOMPARE(host.shown, 0);
    QVERIFY(!hookRan);
    QCOMPARE(m_msg.texts(), QStringList{TdmJexAttivazioni::noOpenWindowsText()});
    QCOMPARE(m_msg.texts().first(), QStringLiteral("Chiudere tutte le finestre prima di eseguire l'operazione."));
}

void TstRegistry::f24RefusedSilently()
{
    FakeHost host;
    host.open = true;
    QVERIFY_THROWS_EXCEPTION(EAbort, TdmJexAttivazioni::instance().execute("xafImpF24", host));
    QCOMPARE(host.shown, 0);
    QCOMPARE(m_msg.texts(), QStringList{TdmJexAttivazioni::noOpenWindowsText()});
}

void TstRegistry::f24Caption()
{
    auto &reg = TdmJexAttivazioni::instance();
    struct CaptureHost : FakeHost {
        QString title;
        void showWindow(const RegistryItem &, QWidget *w) override { title = w->windowTitle(); delete w; }
    } host;
    reg.startupHook(false);
    QCOMPARE(reg.item("xafImpF24")->caption, QStringLiteral("F24"));
    QVERIFY(reg.execute("xafImpF24", host));
    QCOMPARE(host.title, QStringLiteral("Importa da F24"));
    reg.startupHook(true);
    QCOMPARE(reg.item("xafImpF24")->caption, QStringLiteral("F24EP"));
    QVERIFY(reg.execute("xafImpF24", host));
    QVERIFY(host.title != QStringLiteral("Importa da F24"));
}

void TstRegistry::directoryChoiceCancelled()
{
    FakeHost host;
    QVERIFY(!TdmJexAttivazioni::instance().execute("xafIntSosDip", host));
    QCOMPARE(DocWindow::created, 0);
    struct DirHost : FakeHost {
        QString got;
        void showWindow(const RegistryItem &, QWidget *w) override { got = w->property("directory").toString(); delete w; }
    } chosen;
    chosen.dir = QDir::tempPath();
    QVERIFY(TdmJexAttivazioni::instance().execute("xafIntSosAut", chosen));
    QCOMPARE(chosen.got, QDir(QDir::tempPath()).absolutePath());
    QVERIFY(m_msg.texts().isEmpty());
}

void TstRegistry::exportCancelledAndDone()
{
    QString exportedTo;
    TdmJexAttivazioni::instance().setHook("xacExportCDS", [&](const ItemContext &c) { exportedTo = c.directory; });
    FakeHost host;
    TdmJexAttivazioni::instance().execute("xacExportCDS", host);
    QVERIFY(exportedTo.isEmpty());
    QVERIFY(m_msg.texts().isEmpty());
    host.dir = QStringLiteral("/tmp/export");
    TdmJexAttivazioni::instance().execute("xacExportCDS", host);
    QCOMPARE(exportedTo, QStringLiteral("/tmp/export"));
    QCOMPARE(m_msg.texts(), QStringList{QStringLiteral("Fine operazione")});
}

void TstRegistry::summaryHookGetsPrintPath()
{
    QString path;
    TdmJexAttivazioni::instance().setHook("xafRiepilogoIRPEF", [&](const ItemContext &c) { path = c.path; });
    FakeHost host;
    host.open = true; // summaries do not mind open windows
    QVERIFY(!TdmJexAttivazioni::instance().execute("xafRiepilogoIRPEF", host));
    QVERIFY(path.endsWith(QStringLiteral("Stp/RiepilogoIRPEF.pdf")));
}

void TstRegistry::mainWindowOpensOnce()
{
    TfmJexMain w;
    w.formActivate();
    QVERIFY(w.navigationCaptions().contains(QStringLiteral("Frontespizio")));
    QVERIFY(!w.navigationCaptions().contains(QStringLiteral("Strumenti")));
    QVERIFY(w.execute("xafSostituto"));
    QVERIFY(w.execute("xafSostituto"));
    QCOMPARE(w.mdiArea->subWindowList().size(), 1);
    QCOMPARE(DocWindow::created, 1);
    QVERIFY(w.execute("xafFornitore"));
    QCOMPARE(w.mdiArea->subWindowList().size(), 2);
}

// The employee window asks to be maximised: so it is when it is the only
// document window, and shown normal beside another.
void TstRegistry::maximisedWhenAlone()
{
    FormRegistry::instance().add(QStringLiteral("TfmJexDipendente"), [](QWidget *parent) -> QWidget * {
        QWidget *w = makeDoc(parent);
        w->setProperty("maximizedWhenAlone", true);
        return w;
    });
    auto employee = [](TfmJexMain &w) -> QMdiSubWindow * {
        for (QMdiSubWindow *sw : w.mdiArea->subWindowList())
            if (sw->widget()->property("maximizedWhenAlone").toBool())
                return sw;
        return nullptr;
    };
    {
        TfmJexMain w;
        w.formActivate();
        QVERIFY(w.execute("xafDipParteA"));
        QVERIFY(employee(w) && employee(w)->isMaximized());
        // A second start brings it forward as it is.
        QVERIFY(w.execute("xafDipParteA"));
        QVERIFY(employee(w)->isMaximized());
    }
    {
        TfmJexMain w;
        w.formActivate();
        QVERIFY(w.execute("xafSostituto"));
        QVERIFY(w.execute("xafDipParteA"));
        QVERIFY(employee(w) && !employee(w)->isMaximized());
    }
    FormRegistry::instance().add(QStringLiteral("TfmJexDipendente"), makeDoc);
}

void TstRegistry::mainWindowRefusesPrintWithOpenWindow()
{
    TfmJexMain w;
    w.formActivate();
    QVERIFY(w.execute("xafSv"));
    const int before = DocWindow::created;
    QVERIFY(!w.execute("axfSV"));
    QCOMPARE(DocWindow::created, before);
    QCOMPARE(m_msg.texts(), QStringList{TdmJexAttivazioni::noOpenWindowsText()});
}

void TstRegistry::unregisteredClassIsDisabled()
{
    RegistryItem it = *TdmJexAttivazioni::instance().item("xafSostituto");
    it.formClass = QStringLiteral("TfmNonRegistrata");
    QVERIFY(!TdmJexAttivazioni::instance().isAvailable(it));
    QVERIFY(TdmJexAttivazioni::instance().isAvailable(*TdmJexAttivazioni::instance().item("xafSostituto")));
}

void TstRegistry::firstActivationFailureIsShown()
{
    // The first activation reads the payroll parameters: when their table is
    // missing the user is told and the program can close, without an abort.
    const auto saved = TfmJexMain::f24epProvider;
    TfmJexMain::f24epProvider = []() -> bool {
        throw EQxError(QStringLiteral("no such table: TPACO_PARAMCOMP"));
    };
    TfmJexMain w;
    const bool ok = w.formActivate();
    TfmJexMain::f24epProvider = saved;
    QVERIFY(!ok);
    QCOMPARE(m_msg.texts(), QStringList{QStringLiteral("Errore non previsto: no such table: TPACO_PARAMCOMP")});
}

JEX_WINDOW_TEST_MAIN(TstRegistry)
#include "tst_registry.moc"
