#include "shell/mainwindow.h"

#include "checks/startupchecks.h"

#include "base/appcontext.h"
#include "base/errors.h"
#include "base/messages.h"
#include "base/paths.h"
#include "database/connection.h"
#include "database/params.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QToolBox>
#include <QUrl>
#include <QVBoxLayout>

namespace jex {

namespace {
TfmJexMain *g_main = nullptr;
}

std::function<bool()> TfmJexMain::f24epProvider;

TfmJexMain *TfmJexMain::instance() { return g_main; }

TfmJexMain::TfmJexMain(QWidget *parent)
    : QMainWindow(parent)
{
    g_main = this;
    setObjectName(QStringLiteral("fmJexMain"));
    setWindowTitle(QStringLiteral("Modello 770/2025 Redditi 2024"));
    QApplication::setApplicationDisplayName(QString());
    resize(1024, 750);

    auto *split = new QSplitter(this);
    split->setObjectName(QStringLiteral("spOLBar"));
    mxOLBar = new QToolBox(split);
    mxOLBar->setObjectName(QStringLiteral("mxOLBar"));
    mxOLBar->setMinimumWidth(121);
    mdiArea = new QMdiArea(split);
    mdiArea->setObjectName(QStringLiteral("mdiArea"));
    mdiArea->setViewMode(QMdiArea::SubWindowView);
    split->addWidget(mxOLBar);
    split->addWidget(mdiArea);
    split->setStretchFactor(1, 1);
    split->setSizes({150, 874});
    setCentralWidget(split);
    statusBar()->setObjectName(QStringLiteral("sbMain"));
    buildMenus();
}

TfmJexMain::~TfmJexMain()
{
    if (g_main == this)
        g_main = nullptr;
}

void TfmJexMain::buildMenus()
{
    miFile = menuBar()->addMenu(QStringLiteral("&File"));
    miFile->setObjectName(QStringLiteral("miFile"));
    miFile->addSeparator();
    ac1024 = new QAction(QStringLiteral("ac1024"), this);
    ac1024->setObjectName(QStringLiteral("ac1024"));
    // Only a development workstation, where the authoring file of the named
    // texts lives beside the sources, needs the fixed 1024 x 750 layout.
    ac1024->setVisible(!qEnvironmentVariableIsEmpty("JEX770_SOURCE_DIR")
                       && QFile::exists(qEnvironmentVariable("JEX770_SOURCE_DIR") + QStringLiteral("/sql/foundation.xml")));
    connect(ac1024, &QAction::triggered, this, [this] {
        showNormal();
        setGeometry(0, 0, 1024, 750);
    });
    miFile->addAction(ac1024);
    miFile->addSeparator();
    QAction *tools = miFile->addAction(QStringLiteral("Vedi Strumenti"));
    tools->setObjectName(QStringLiteral("miVediStrumenti"));
    connect(tools, &QAction::triggered, this, [this] {
        // Shows the hidden tool pages in the bar for this run.
        for (int i = 0; i < mxOLBar->count(); ++i)
            mxOLBar->setItemEnabled(i, true);
    });
    miFile->addSeparator();
    QAction *quit = miFile->addAction(QStringLiteral("&Esci"));
    connect(quit, &QAction::triggered, this, &QWidget::close);

    acReportMan = new QAction(QStringLiteral("Report manager"), this);
    acReportMan->setObjectName(QStringLiteral("acReportMan"));
    acReportMan->setEnabled(false);
    acReportMan->setVisible(false);

    miHelp = menuBar()->addMenu(QStringLiteral("&?"));
    miHelp->setObjectName(QStringLiteral("miHelp"));
    acAid = miHelp->addAction(QStringLiteral("Aiuto"));
    acAid->setObjectName(QStringLiteral("acAid"));
    connect(acAid, &QAction::triggered, this, [this] { execute(QStringLiteral("xasNotizie")); });
    miInvioTele = miHelp->addAction(QStringLiteral("Note invio telematico"));
    miInvioTele->setObjectName(QStringLiteral("miInvioTele"));
    connect(miInvioTele, &QAction::triggered, this, [this] { execute(QStringLiteral("xasEntratel")); });
    acIstruzioni = miHelp->addAction(QStringLiteral("Istruzioni"));
    acIstruzioni->setObjectName(QStringLiteral("acIstruzioni"));
    connect(acIstruzioni, &QAction::triggered, this, [this] { execute(QStringLiteral("xasIstruzioni")); });
    miHelp->addSeparator();
    acTutteLeFunzioni = miHelp->addAction(QStringLiteral("Mostra tutte le funzioni"));
    acTutteLeFunzioni->setObjectName(QStringLiteral("acTutteLeFunzioni"));
    acTutteLeFunzioni->setCheckable(true);
    connect(acTutteLeFunzioni, &QAction::triggered, this, &TfmJexMain::setAllFunctions);
}

void TfmJexMain::setAllFunctions(bool on)
{
    TdmJexAttivazioni::instance().setAllFunctions(on);
    acTutteLeFunzioni->setChecked(on);
    try {
        dmZptParams().SetParamValue(TdmJexAttivazioni::allFunctionsParameter(), on ? QStringLiteral("1") : QStringLiteral("0"));
    } catch (const std::exception &e) {
        messages().warning(QStringLiteral("L'impostazione \"Mostra tutte le funzioni\" vale per questa sessione ma non è "
                                          "stata salvata: %1").arg(errorText(e)));
    }
    if (m_activated)
        buildNavigation();
}

bool TfmJexMain::formShow()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        const bool ok = AppContext::instance().runStartup();
        QApplication::restoreOverrideCursor();
        if (!ok)
            return false;
    } catch (const std::exception &e) {
        QApplication::restoreOverrideCursor();
        messages().error(QStringLiteral("Errore non previsto: ") + errorText(e));
        return false;
    }
    statusBar()->showMessage(QString::fromUtf8(startup::statusText));
    return true;
}

bool TfmJexMain::formActivate()
{
    if (m_activated)
        return true;
    m_activated = true;
    // The first activation reads the year's parameters from the database: a
    // failure there is shown like one of the start-up, and the program ends.
    try {
        TdmJexAttivazioni &reg = TdmJexAttivazioni::instance();
        reg.startupHook(f24epProvider ? f24epProvider() : true);
        // --all-functions shows them for this run; the user's setting always.
        // A setting that cannot be read leaves the default.
        try {
            if (dmZptParams().ParamValue(TdmJexAttivazioni::allFunctionsParameter()).toString() == u"1")
                reg.setAllFunctions(true);
        } catch (const std::exception &) {
        }
        acTutteLeFunzioni->setChecked(reg.allFunctions());
        buildNavigation();
        if (mxOLBar->count() > 0)
            mxOLBar->setCurrentIndex(0);
        if (QFile::exists(Paths::resolveIn(Paths::newsDir(), QStringLiteral("Check.txt")))) {
            execute(QStringLiteral("xasNotizie"));
            QThread::msleep(1000);
        }
    } catch (const EAbort &) {
        return false;
    } catch (const std::exception &e) {
        messages().error(QStringLiteral("Errore non previsto: ") + errorText(e));
        return false;
    }
    return true;
}

void TfmJexMain::buildNavigation()
{
    auto &reg = TdmJexAttivazioni::instance();
    while (mxOLBar->count() > 0) {
        QWidget *w = mxOLBar->widget(0);
        mxOLBar->removeItem(0);
        delete w;
    }
    for (QMenu *m : std::as_const(m_navigationMenus)) {
        menuBar()->removeAction(m->menuAction());
        m->deleteLater();
    }
    m_navigationMenus.clear();
    for (const RegistryPage &p : reg.pages()) {
        QList<RegistryItem> items = reg.itemsOf(p.name);
        QMenu *menu = nullptr;
        if (p.inMenu && p.visible) {
            menu = menuBar()->addMenu(p.caption);
            m_navigationMenus << menu;
        }
        if (p.visible) {
            auto *pageWidget = new QWidget;
            pageWidget->setObjectName(p.name);
            auto *lay = new QVBoxLayout(pageWidget);
            for (const RegistryItem &it : items) {
                if (!it.visible)
                    continue;
                auto *b = new QPushButton(it.caption, pageWidget);
                b->setObjectName(it.name);
                b->setEnabled(reg.isAvailable(it));
                b->setMinimumHeight(36);
                connect(b, &QPushButton::clicked, this, [this, name = it.name] { execute(name); });
                lay->addWidget(b);
            }
            lay->addStretch();
            mxOLBar->addItem(pageWidget, p.caption);
        }
        if (menu)
            for (const RegistryItem &it : items) {
                if (!it.visible)
                    continue;
                QAction *a = menu->addAction(it.caption);
                a->setObjectName(QStringLiteral("mi") + it.name);
                a->setEnabled(reg.isAvailable(it));
                connect(a, &QAction::triggered, this, [this, name = it.name] { execute(name); });
            }
    }
    // Window menu of the document windows.
    QMenu *win = menuBar()->addMenu(QStringLiteral("Fi&nestre"));
    m_navigationMenus << win;
    win->addAction(QStringLiteral("Sovrapponi"), mdiArea, &QMdiArea::cascadeSubWindows);
    win->addAction(QStringLiteral("Affianca"), mdiArea, &QMdiArea::tileSubWindows);
    win->addAction(QStringLiteral("Chiudi tutte"), mdiArea, &QMdiArea::closeAllSubWindows);
    menuBar()->addMenu(miHelp); // the help menu stays last
}

QStringList TfmJexMain::navigationCaptions() const
{
    QStringList r;
    for (int i = 0; i < mxOLBar->count(); ++i)
        r << mxOLBar->itemText(i);
    return r;
}

bool TfmJexMain::execute(const QString &item)
{
    try {
        return TdmJexAttivazioni::instance().execute(item, *this);
    } catch (const EAbort &) {
    } catch (const std::exception &e) {
        messages().error(errorText(e));
    }
    return false;
}

bool TfmJexMain::hasDocumentWindows() const
{
    return !mdiArea->subWindowList().isEmpty();
}

bool TfmJexMain::activateWindowOf(const QString &item)
{
    for (QMdiSubWindow *sw : mdiArea->subWindowList()) {
        if (sw->widget() && sw->widget()->property("registryItem").toString() == item) {
            if (!sw->isMaximized())
                sw->showNormal();
            mdiArea->setActiveSubWindow(sw);
            return true;
        }
    }
    return false;
}

void TfmJexMain::showWindow(const RegistryItem &item, QWidget *window)
{
    if (item.modal) {
        window->setParent(this, Qt::Dialog);
        window->setAttribute(Qt::WA_DeleteOnClose);
        if (auto *dlg = qobject_cast<QDialog *>(window)) {
            dlg->exec();
        } else {
            window->setWindowModality(Qt::ApplicationModal);
            window->show();
        }
        return;
    }
    window->setAttribute(Qt::WA_DeleteOnClose);
    QMdiSubWindow *sw = mdiArea->addSubWindow(window);
    sw->setAttribute(Qt::WA_DeleteOnClose);
    if (window->windowTitle().isEmpty())
        window->setWindowTitle(item.caption);
    // A data-entry window takes the room it needs, up to the whole area.
    // Before the main window is first laid out the area has no size yet, so
    // the size is settled once the event loop has laid it out.
    auto fit = [this, sw, window] {
        const QSize room = mdiArea->viewport()->size();
        sw->resize(qMin(room.width(), qMax(900, window->sizeHint().width())),
                   qMin(room.height(), qMax(620, window->sizeHint().height())));
    };
    if (mdiArea->width() < 300) {
        sw->resize(900, 620);
        QTimer::singleShot(0, sw, fit);
    } else {
        fit();
    }
    if (window->property("maximizedWhenAlone").toBool() && mdiArea->subWindowList().size() == 1)
        sw->showMaximized();
    else
        sw->show();
    mdiArea->setActiveSubWindow(sw);
}

void TfmJexMain::openDocument(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

QString TfmJexMain::chooseDirectory()
{
    return QFileDialog::getExistingDirectory(this, QStringLiteral("Scegliere la cartella"));
}

void TfmJexMain::closeEvent(QCloseEvent *e)
{
    mdiArea->closeAllSubWindows();
    if (!mdiArea->subWindowList().isEmpty()) {
        e->ignore();
        return;
    }
    QMainWindow::closeEvent(e);
}

} // namespace jex
