#include "recipients/recipientwindow.h"

#include "recipients/currentrecipient.h"
#include "recipients/recipientsection.h"

#include "base/errors.h"
#include "base/messages.h"
#include "base/numformat.h"
#include "catalogue/catalogue.h"
#include "checks/recipientrules.h"
#include "checks/tablerules.h"
#include "sections/databasestore.h"
#include "sections/sectionstore.h"
#include "shell/datasetmodel.h"
#include "shell/editors.h"
#include "shell/formbuilder.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QTabBar>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

#include <memory>

namespace jex {

namespace {

struct WindowDef
{
    QString className, caption, hint;
    RegistryFrameDef frame;
    QString ownerField; // the codice fiscale column of the section rows
    CurrentRecipient &(*current)();
    QList<RecipientPage> pages;
    QList<const RecipientSectionDef *> sections; // in the order they are opened
};

const QList<WindowDef> &windowDefs()
{
    static const QList<WindowDef> defs = [] {
        auto s = [](const char *t) { return QString::fromLatin1(t); };
        WindowDef dip;
        dip.className = s("TfmJexDipendente");
        dip.caption = s("Lavoro Dipendente");
        dip.hint = s("Lavoro Dipendente");
        dip.frame = {s("TfrJexDipAnagr"), s("TDIP7_ANAGRFISCALI"), s("SDIP7CODFIS"), s("SDIP7COGNOME"),
                     s("SDIP7NOME"), s("DDIP7DATANAS"), s("SDIP7GRUPPOANA"), s("D"),
                     {s("Codice fiscale"), s("Cognome"), s("Nome"), s("Data di nascita")}, true};
        dip.ownerField = s("SDIP7CODFIS");
        dip.current = &currentEmployee;
        dip.pages = {
            {s("Anagrafica"), {s("Anagrafica")}, {}},
            {s("Dati fiscali"), {s("Dati fiscali")}, {}},
            {s("Redd.Esteri"), {s("Redd.Esteri")}, s("TREE7_REDDITOESTER")},
            {s("Altri dati - 1"), {s("Altri dati - 1")}, {}},
            {s("Familiare carico"), {s("Previdenza complementare")}, s("TCFF7_CFFAMILIARE")},
            {s("Altri dati - 2"), {s("Altri dati - 2")}, {}},
            {s("Somme Ero. Incr. Produtt. lavoro"), {}, s("TSLS7_SOMEROLAVSTRA")},
            {s("Redd.Assoggettati Rit. Imp."), {s("Redd.Assoggettati Rit. Imp.")}, s("TRAR7_REDASSTIRTIT")},
            {s("Comp. rel. anni precedenti"), {}, s("TTAS7_TASSAZIONESE")},
            {s("Dati rel. Conguagli"), {s("Dati rel. Conguagli")}, s("TCON7_DATICONGUAG")},
            {s("TFR"), {}, s("TTFR7_TFR")},
            {s("Annotazioni"), {}, s("TANN7_ANNOTAZIONI")},
            {s("Con. Fam. a carico"), {s("Con. Fam. a carico")}, s("TCFC7_CONFAMCARICO")},
            {s("INPS"), {}, s("TINPS7_INPS")},
            {s("INPS gestione ex INPDAP"), {}, s("TINP7_INPDAP")},
            {s("INAIL"), {}, s("TINA7_INAIL")},
            {s("Assistenza"), {s("Assistenza / Pag.1"), s("Assistenza / Pag.2"), s("Assistenza / Pag.3")}, {}, true},
        };
        for (const RecipientSectionDef &d : employeeSectionDefs())
            dip.sections << &d;

        WindowDef aut;
        aut.className = s("TfmJexAutonomo");
        aut.caption = s("Lavoro Autonomo");
        aut.hint = s("Lavoro Autonomo");
        aut.frame = {s("TfrJexAutonomo"), s("TDAU7_DATIAUTONOM"), s("SDAU7CODFIS"), s("SDAU7COGNOME"),
                     s("SDAU7NOME"), QString(), s("SDAU7GRUPPOANA"), s("A"),
                     {s("Codice fiscale"), s("Cognome/Denominazione"), s("Nome"), QString()}, false};
        aut.ownerField = s("SDAU7CODFIS");
        aut.current = &currentSelfEmployed;
        aut.pages = {{s("Percipiente"), {s("Percipiente")}, {}},
                     {s("Somme erogate"), {}, s("TDSE7_SOMMEEROGATE")}};
        aut.sections << &selfEmployedSumsDef();
        return QList<WindowDef>{dip, aut};
    }();
    return defs;
}

const WindowDef *windowDef(const QString &className)
{
    for (const WindowDef &d : windowDefs())
        if (d.className == className)
            return &d;
    return nullptr;
}

// A check as the user leaves an editor.
class FocusOutHook : public QObject
{
public:
    FocusOutHook(QWidget *editor, std::function<void()> check) : QObject(editor), m_check(std::move(check))
    { editor->installEventFilter(this); }
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::FocusOut)
            m_check();
        return QObject::eventFilter(o, e);
    }

private:
    std::function<void()> m_check;
};

} // namespace

RecipientWindow::RecipientWindow(const QString &className, SectionStore *store, QWidget *parent)
    : QWidget(parent), m_store(store ? store : (sectionStore() ? sectionStore() : &applicationStore()))
{
    const WindowDef *def = windowDef(className);
    if (!def)
        throw EQxError(QStringLiteral("Finestra %1 sconosciuta").arg(className));
    setObjectName(className);
    setWindowTitle(def->caption);
    m_current = &def->current();
    m_ownerField = def->ownerField;
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(2, 2, 2, 2);
    m_registry = new RecipientRegistryFrame(def->frame, this);
    m_registry->setToolTip(def->hint);
    lay->addWidget(m_registry);
    for (const RecipientSectionDef *d : def->sections) {
        auto *f = new RecipientSectionFrame(*d, m_ownerField, *m_current);
        f->insertGuard = [this] { return sectionInsertRefusal(); };
        m_sections << f;
        connect(f, &TfrJezBase::posted, this, [this, f] { save(f, f->table()); });
        connect(f, &TfrJezBase::deleted, this, [this, f] { save(f, f->table()); });
    }
    buildPages(def->pages);

    m_registry->othersEditing = [this] { return sectionsEditing(); };
    connect(m_registry, &RecipientRegistryFrame::shownRowChanged, this, &RecipientWindow::recipientShown);
    connect(m_registry, &TfrJezBase::posted, this, [this] { save(m_registry, m_registry->def().table); });
    connect(m_registry, &TfrJezBase::deleted, this, [this] { save(m_registry, m_registry->def().table); });
    // A new recipient starts on the registry page.
    connect(&m_registry->cdsMain, &ClientDataSet::stateChanged, this, [this] {
        if (m_registry->cdsMain.state() == DataSetState::Insert && pages()->currentIndex() != 0) {
            pages()->setProperty("forcing", true);
            pages()->setCurrentIndex(0);
            pages()->setProperty("forcing", false);
        }
    });
    guardPages(pages());
    guardPages(m_registry->pcMain);

    if (className == u"TfmJexDipendente") {
        listPagesAside();
        // The main window maximises it when no other document window is open.
        setProperty("maximizedWhenAlone", true);
        if (auto *ed = m_registry->findChild<DBEdit *>(QStringLiteral("deFFIS7IMPOSTEESTERO")))
            // what the field holds as the user leaves it: the editor's text
            new FocusOutHook(ed, [ed] {
                double v = 0;
                if (parseAmount(ed->text().trimmed(), &v) && v != 0)
                    messages().information(QString::fromUtf8(recipients::foreignTaxText));
            });
    } else {
        m_registry->afterInsertStarted = [this] {
            auto *ed = m_registry->findChild<DBEdit *>(QStringLiteral("deSDAU7CODFIS"));
            if (ed && !ed->text().trimmed().isEmpty())
                messages().information(QStringLiteral("Dipendente selezionato, ripremere il tasto \"INS\""));
        };
    }
    openTables();
}

void RecipientWindow::buildPages(const QList<RecipientPage> &pages)
{
    const QString table = m_registry->def().table;
    const CatalogueTable *t = TableCatalogue::instance().table(table);
    if (!t)
        throw EQxError(QStringLiteral("Tabella %1 assente dal catalogo").arg(table));
    FormBuilder::defineFields(m_registry->cdsMain, table);
    FormBuildOptions base;
    base.store = m_store;
    base.labelYears = prosp::labelYears(table);
    auto columnsOf = [t](const QString &group) {
        QStringList out;
        for (const CatalogueColumn &c : t->columns)
            if (!c.internal && c.group == group)
                out << c.name;
        return out;
    };
    auto registryBlock = [&](const QString &group) {
        auto *w = new QWidget;
        w->setObjectName(QStringLiteral("ts") + QString(group).remove(u' ').remove(u'/').remove(u'.'));
        FormBuildOptions o = base;
        o.only = columnsOf(group);
        FormBuilder::buildPage(w, table, m_registry->cdsMain, o);
        return w;
    };
    for (const RecipientPage &p : pages) {
        auto *page = new QWidget;
        page->setObjectName(QStringLiteral("ts") + QString(p.caption).remove(u' ').remove(u'.').remove(u'-'));
        auto *lay = new QVBoxLayout(page);
        lay->setContentsMargins(2, 2, 2, 2);
        RecipientSectionFrame *frame = p.section.isEmpty() ? nullptr : section(p.section);
        if (p.subPages) {
            auto *tabs = new QTabWidget(page);
            tabs->setObjectName(QStringLiteral("pc") + QString(p.caption).remove(u' '));
            for (const QString &g : p.groups)
                tabs->addTab(registryBlock(g), g.section(QStringLiteral(" / "), -1));
            lay->addWidget(tabs);
        } else if (frame && !p.groups.isEmpty()) {
            // the section's rows above, the person's totals of the page below
            auto *split = new QSplitter(Qt::Vertical, page);
            split->addWidget(frame);
            for (const QString &g : p.groups)
                split->addWidget(registryBlock(g));
            split->setStretchFactor(0, 3);
            lay->addWidget(split);
        } else {
            if (frame)
                lay->addWidget(frame);
            for (const QString &g : p.groups)
                lay->addWidget(registryBlock(g));
        }
        m_registry->pcDettaglio->addTab(page, p.caption);
    }
}

RecipientSectionFrame *RecipientWindow::section(const QString &table) const
{
    for (RecipientSectionFrame *f : m_sections)
        if (f->table().compare(table, Qt::CaseInsensitive) == 0)
            return f;
    return nullptr;
}

void RecipientWindow::openTables()
{
    m_opening = true;
    try {
        // The list is shown once, with its own columns, when everything is open.
        m_registry->model()->setDataSet(nullptr);
        m_store->openCds(m_registry->def().table, m_registry->cdsMain);
        m_registry->afterOpen();
        for (RecipientSectionFrame *f : m_sections) {
            f->openTable(*m_store, false);
            f->afterOpen();
        }
    } catch (...) {
        m_opening = false;
        m_registry->model()->setDataSet(&m_registry->cdsMain);
        throw;
    }
    m_opening = false;
    m_registry->model()->setDataSet(&m_registry->cdsMain);
    recipientShown();
}

bool RecipientWindow::sectionsEditing() const
{
    for (RecipientSectionFrame *f : m_sections)
        if (f->cdsMain.isEditing())
            return true;
    return false;
}

bool RecipientWindow::anyEditing() const
{
    return m_registry->cdsMain.isEditing() || sectionsEditing();
}

void RecipientWindow::recipientShown()
{
    if (m_opening)
        return;
    const qint64 afi = m_registry->shownAfiId();
    // A row not stored yet has no link: the sections stay as they are.
    if (afi == 0)
        return;
    m_current->codFis = m_registry->cdsMain.fieldByName(m_registry->def().codFis)->asString();
    m_current->afiId = afi;
    for (RecipientSectionFrame *f : m_sections)
        f->showRecipient(afi);
}

QString RecipientWindow::sectionInsertRefusal() const
{
    if (m_registry->shownAfiId() == 0 || !m_current->isSet())
        return QStringLiteral("Salvare prima i dati anagrafici del percipiente: le righe delle sezioni "
                              "appartengono al percipiente mostrato nell'elenco");
    return {};
}

void RecipientWindow::save(TfrJezBase *frame, const QString &table)
{
    TfrJezBase::guarded([&] { m_store->saveCds(table, frame->cdsMain); });
    if (frame == m_registry) {
        m_registry->rebuildProgressive();
        recipientShown();
    }
}

void RecipientWindow::guardPages(QTabWidget *tabs)
{
    auto last = std::make_shared<int>(tabs->currentIndex());
    connect(tabs, &QTabWidget::currentChanged, this, [this, tabs, last](int index) {
        if (index == *last)
            return;
        // The frame itself shows its detail page when an edit starts.
        const bool toDetail = tabs == m_registry->pcMain && tabs->widget(index) == m_registry->tsDetail;
        if (anyEditing() && !toDetail && !tabs->property("forcing").toBool()) {
            messages().information(QString::fromUtf8(prosp::noPageChangeText));
            const QSignalBlocker b(tabs);
            tabs->setCurrentIndex(*last);
            return;
        }
        *last = index;
    });
}

// Seventeen captions do not fit one row of tabs on a screen 1,024 pixels
// wide, and scrolled tabs hide pages: the captions are listed beside the
// pages instead, every one in sight. The tab widget stays the one that
// changes page, so its guard holds for the list as well.
void RecipientWindow::listPagesAside()
{
    QTabWidget *tabs = pages();
    m_pageList = new QListWidget;
    m_pageList->setObjectName(QStringLiteral("lbPagine"));
    for (int i = 0; i < tabs->count(); ++i)
        m_pageList->addItem(tabs->tabText(i));
    m_pageList->setCurrentRow(tabs->currentIndex());
    m_pageList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pageList->setFixedWidth(m_pageList->sizeHintForColumn(0) + 2 * m_pageList->frameWidth() + 12);
    tabs->tabBar()->hide();

    QWidget *holder = tabs->parentWidget();
    auto *side = new QWidget(holder);
    auto *sl = new QHBoxLayout(side);
    sl->setContentsMargins(0, 0, 0, 0);
    sl->setSpacing(4);
    delete holder->layout()->replaceWidget(tabs, side);
    sl->addWidget(m_pageList);
    sl->addWidget(tabs, 1);

    QListWidget *list = m_pageList;
    connect(list, &QListWidget::currentRowChanged, this, [tabs, list](int row) {
        if (row >= 0 && row != tabs->currentIndex())
            tabs->setCurrentIndex(row);
        // A refused change leaves the page where it was: so does the list.
        if (tabs->currentIndex() != row) {
            const QSignalBlocker b(list);
            list->setCurrentRow(tabs->currentIndex());
        }
    });
    // The page the tabs settled on, which a refusal may have put back.
    connect(tabs, &QTabWidget::currentChanged, list, [tabs, list] {
        const QSignalBlocker b(list);
        list->setCurrentRow(tabs->currentIndex());
    });
}

void RecipientWindow::closeEvent(QCloseEvent *e)
{
    if (anyEditing()) {
        messages().information(QString::fromUtf8(prosp::noCloseText));
        e->ignore();
        return;
    }
    QWidget::closeEvent(e);
}

RecipientWindow *createRecipientWindow(const QString &className, SectionStore *store, QWidget *parent)
{
    if (!windowDef(className))
        return nullptr;
    return new RecipientWindow(className, store, parent);
}

} // namespace jex
