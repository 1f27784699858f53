#include "entry/sectionwindows.h"
#include "windowregistration.h"

#include "catalogue/catalogue.h"
#include "checks/tablerules.h"

#include "base/errors.h"
#include "base/messages.h"
#include "shell/datasetmodel.h"
#include "sections/databasestore.h"
#include "shell/editors.h"
#include "shell/formbuilder.h"
#include "shell/infowindow.h"
#include "shell/registry.h"
#include "sections/sectionstore.h"

#include <QAction>
#include <QCloseEvent>
#include <QFont>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

namespace jex {

SectionFrame::SectionFrame(const QString &frameName, const QString &table, QWidget *parent)
    : TfrJezBase(parent), m_table(table)
{
    setObjectName(frameName);
    cdsMain.events.onNewRecord = [this](ClientDataSet &ds) { prosp::zeroFlags(ds, m_table); };
}

void SectionFrame::openTable(SectionStore &store, bool applySort)
{
    store.openCds(m_table, cdsMain);
    setAmountFormats(cdsMain);
    if (const CatalogueTable *t = TableCatalogue::instance().table(m_table)) {
        const QHash<QString, QStringList> years = prosp::labelYears(m_table);
        for (const CatalogueColumn &c : t->columns)
            if (Field *f = cdsMain.findField(c.name)) {
                f->setDisplayLabel(fillYearPlaceholders(c.label.isEmpty() ? c.name : c.label, years.value(c.name)));
                f->setVisible(!c.internal && !c.name.startsWith(QStringLiteral("IFIS"), Qt::CaseInsensitive));
            }
        if (applySort && !t->entrySort.isEmpty())
            cdsMain.setIndexFieldNames(t->entrySort.join(u';'));
    }
    cdsMain.first();
    model()->reload();
}

void SectionFrame::buildDetail(const QStringList &pageGroups)
{
    FormBuildOptions opt;
    opt.store = sectionStore() ? sectionStore() : nullptr;
    opt.labelYears = prosp::labelYears(m_table);
    if (pageGroups.isEmpty()) {
        FormBuilder::buildPage(tsDetail, m_table, cdsMain, opt);
    } else {
        auto *tabs = new QTabWidget(tsDetail);
        tabs->setObjectName(QStringLiteral("pcDetail"));
        auto *lay = new QVBoxLayout(tsDetail);
        lay->setContentsMargins(0, 0, 0, 0);
        lay->addWidget(tabs);
        const CatalogueTable *t = TableCatalogue::instance().table(m_table);
        for (const QString &g : pageGroups) {
            auto *page = new QWidget;
            page->setObjectName(QStringLiteral("ts") + QString(g).remove(u' ').remove(u'/'));
            FormBuildOptions o = opt;
            for (const CatalogueColumn &c : t->columns)
                if (!c.internal && (c.group == g || (g == pageGroups.first() && c.group.isEmpty())))
                    o.only << c.name;
            FormBuilder::buildPage(page, m_table, cdsMain, o);
            tabs->addTab(page, g);
        }
        pagesHost = tabs;
    }
    for (const QString &m : monthFields)
        if (auto *ed = findChild<DBEdit *>(QStringLiteral("de") + m))
            ed->installEventFilter(this);
}

bool SectionFrame::eventFilter(QObject *o, QEvent *e)
{
    if (e->type() == QEvent::FocusOut) {
        if (auto *ed = qobject_cast<DBEdit *>(o)) {
            const QString err = prosp::monthFieldError(ed->text());
            if (!err.isEmpty()) {
                messages().error(err);
                ed->setFocus();
            }
        }
    }
    return TfrJezBase::eventFilter(o, e);
}

void SectionFrame::cdsMainBeforePost()
{
    TfrJezBase::cdsMainBeforePost();
    if (suppressChecks)
        return;
    if (postCheck) {
        const QString err = postCheck(cdsMain);
        if (!err.isEmpty()) {
            messages().error(err);
            throw EAbort();
        }
    }
    if (completenessCheck && !checkAndAsk({&cdsMain}))
        throw EAbort();
}

// --- window ---------------------------------------------------------------

namespace {

// The SS and SX lists show the row's owner and whether it carries data.
class DataPresentModel : public DataSetModel
{
public:
    DataPresentModel(ClientDataSet *ds, bool ss, QObject *parent) : DataSetModel(ds, parent), m_ss(ss) {}
    int columnCount(const QModelIndex &parent = {}) const override
    { return parent.isValid() ? 0 : DataSetModel::columnCount(parent) + 1; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (index.column() < DataSetModel::columnCount())
            return DataSetModel::data(index, role);
        if (role == Qt::DisplayRole)
            return prosp::dataPresentText(m_ss ? prosp::ssDataPresent(*dataSet(), index.row())
                                               : prosp::sxDataPresent(*dataSet(), index.row()));
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignCenter);
        if (role == Qt::FontRole) {
            QFont f;
            f.setBold(true);
            return f;
        }
        return {};
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o == Qt::Horizontal && section == DataSetModel::columnCount() && role == Qt::DisplayRole)
            return QStringLiteral("Dati presenti");
        return DataSetModel::headerData(section, o, role);
    }

private:
    bool m_ss;
};

void showOnlyOwner(SectionFrame *f)
{
    for (int i = 0; i < f->cdsMain.fieldCount(); ++i)
        f->cdsMain.field(i)->setVisible(f->cdsMain.field(i)->name().compare(QStringLiteral("SSOE7CODICE"), Qt::CaseInsensitive) == 0);
}

} // namespace

SectionWindow::SectionWindow(const QString &className, const QString &caption, const QList<Section> &sections,
                             bool applySort, SectionStore *store, QWidget *parent)
    : QWidget(parent), m_store(store ? store : (sectionStore() ? sectionStore() : &applicationStore()))
{
    setObjectName(className);
    setWindowTitle(caption);
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(2, 2, 2, 2);
    if (sections.size() > 1) {
        m_pages = new QTabWidget(this);
        m_pages->setObjectName(QStringLiteral("pcProspetto"));
        lay->addWidget(m_pages);
    }
    for (const Section &s : sections) {
        auto *f = new SectionFrame(s.frame, s.table);
        m_frames << f;
        if (m_pages)
            m_pages->addTab(f, s.page);
        else
            lay->addWidget(f);
        connect(f, &TfrJezBase::posted, this, [this, f] { save(f); });
        connect(f, &TfrJezBase::deleted, this, [this, f] { save(f); });
        f->openTable(*m_store, applySort);
    }
    if (m_pages)
        connect(m_pages, &QTabWidget::currentChanged, this, [this](int index) {
            if (index == m_lastPage)
                return;
            if (m_frames.value(m_lastPage) && m_frames[m_lastPage]->cdsMain.isEditing()) {
                messages().information(QString::fromUtf8(prosp::noPageChangeText));
                QSignalBlocker b(m_pages);
                m_pages->setCurrentIndex(m_lastPage);
                return;
            }
            m_lastPage = index;
        });
}

SectionFrame *SectionWindow::frame(const QString &table) const
{
    for (SectionFrame *f : m_frames)
        if (f->table().compare(table, Qt::CaseInsensitive) == 0)
            return f;
    return nullptr;
}

bool SectionWindow::anyEditing() const
{
    for (SectionFrame *f : m_frames)
        if (f->cdsMain.isEditing())
            return true;
    return false;
}

void SectionWindow::save(SectionFrame *f)
{
    TfrJezBase::guarded([&] { m_store->saveCds(f->table(), f->cdsMain); });
}

void SectionWindow::closeEvent(QCloseEvent *e)
{
    if (anyEditing()) {
        messages().information(QString::fromUtf8(prosp::noCloseText));
        e->ignore();
        return;
    }
    QWidget::closeEvent(e);
}

// --- the windows of the return, as data -------------------------------------

namespace {

// The agent's type for notices is a choice of two, not a tick: a radio
// group in place of the check box, which shows only the fields of the
// chosen type.
void setupTipoSostituto(SectionFrame *f)
{
    const QString typeName = QStringLiteral("LSOSPERSFISICA");
    // whichever editor the column's kind gave it
    QWidget *cb = nullptr;
    for (const char *prefix : {"ce", "cb", "de"})
        if (!cb)
            cb = f->findChild<QWidget *>(QString::fromLatin1(prefix) + typeName);
    auto *form = cb && cb->parentWidget() ? qobject_cast<QFormLayout *>(cb->parentWidget()->layout()) : nullptr;
    if (cb && form) {
        int row = -1;
        QFormLayout::ItemRole role;
        form->getWidgetPosition(cb, &row, &role);
        if (row >= 0) {
            form->removeRow(row);
            auto *rg = new DBRadioGroup(&f->cdsMain, typeName, QStringLiteral("Tipo sostituto"),
                                        {QStringLiteral("Ufficio"), QStringLiteral("Persona fisica")},
                                        {QStringLiteral("0"), QStringLiteral("1")});
            form->insertRow(row, rg);
        }
    }
    const QStringList typed{QStringLiteral("SSOSDOMNOTUFFICIO"), QStringLiteral("SSOSDOMNOTCOGNOME"),
                            QStringLiteral("SSOSDOMNOTNOME")};
    auto show = [f, typed](const QStringList &hidden) {
        for (const QString &name : typed) {
            auto *ed = f->findChild<QWidget *>(QStringLiteral("de") + name);
            if (!ed)
                continue;
            const bool visible = !hidden.contains(name);
            ed->setVisible(visible);
            for (auto *label : f->findChildren<QLabel *>())
                if (label->buddy() == ed)
                    label->setVisible(visible);
        }
    };
    auto refresh = [f, show, typeName] {
        const Field *t = f->cdsMain.findField(typeName);
        show(prosp::tipoSostitutoHidden(t && (!f->cdsMain.isEmpty() || f->cdsMain.isEditing()) ? t->asString() : QString()));
    };
    // Only the user's choice clears fields; a record shown or reloaded just
    // shows its own type's fields.
    QObject::connect(&f->cdsMain, &ClientDataSet::recordChanged, f, [f, show, refresh, typeName](int field) {
        if (field >= 0 && field == f->cdsMain.fieldIndex(typeName))
            show(prosp::applyTipoSostituto(f->cdsMain));
        else if (field < 0)
            refresh();
    });
    QObject::connect(&f->cdsMain, &ClientDataSet::scrolled, f, refresh);
    QObject::connect(&f->cdsMain, &ClientDataSet::dataSetChanged, f, refresh);
    refresh();
    if (auto *tabs = qobject_cast<QTabWidget *>(f->pagesHost))
        QObject::connect(tabs, &QTabWidget::currentChanged, f, [f, tabs](int index) {
            if (tabs->tabText(index) == u"Rappresentante firmatario")
                TfrJezBase::guarded([f] { prosp::defaultTipoSostituto(f->cdsMain); });
        });
}

void setupSostituto(SectionWindow *w)
{
    SectionFrame *f = w->frames().first();
    // A window on the application's store asks the import module; tests
    // give their own store and certification source.
    CertificationSource *cert = certificationSource();
    if (!cert && &w->store() == &applicationStore())
        cert = &applicationCertification();
    f->buildDetail({QStringLiteral("Dati Sostituto"), QStringLiteral("Domicilio notificazioni"),
                    QStringLiteral("Rappresentante firmatario"), QStringLiteral("Redazione/Firma"),
                    QStringLiteral("Impegno/Visto")});
    setupTipoSostituto(f);
    auto insertRule = [f] { f->acInsert->setEnabled(f->cdsMain.canModify() && f->cdsMain.isEmpty() && !f->cdsMain.isEditing()); };
    QObject::connect(&f->cdsMain, &ClientDataSet::stateChanged, f, insertRule);
    QObject::connect(&f->cdsMain, &ClientDataSet::dataSetChanged, f, insertRule);
    // The base frame re-enables its actions on every move: the rule follows it.
    QObject::connect(&f->cdsMain, &ClientDataSet::scrolled, f, insertRule);
    insertRule();
    f->cdsMain.events.beforeInsert = [cert](ClientDataSet &ds) {
        if (!ds.isEmpty())
            throw EAbort();
        CertificationSource *c = cert;
        if (!c || c->schoolFiscalCode().trimmed().isEmpty()) {
            messages().error(QString::fromUtf8(prosp::missingSchoolCodeText));
            throw EAbort();
        }
    };
    f->cdsMain.events.onNewRecord = [cert](ClientDataSet &ds) {
        prosp::zeroFlags(ds, QStringLiteral("TSOS_DATOSOSTITUTO"));
        if (Field *x = ds.findField(QStringLiteral("SSOSCFDICASTERO")))
            x->setValue(QStringLiteral("80185250588"));
        if (Field *x = ds.findField(QStringLiteral("ISOSSEZ")))
            x->setValue(1);
        if (cert)
            ds.fieldByName(QStringLiteral("SSOSCODFIS"))->setValue(cert->schoolFiscalCode());
    };
    f->postCheck = [f](ClientDataSet &ds) -> QString {
        if (ds.state() == DataSetState::Insert && ds.fieldByName(QStringLiteral("SSOSCODFIS"))->asString().trimmed().isEmpty())
            return QStringLiteral("Codice fiscale obbligatorio");
        Q_UNUSED(f);
        return {};
    };
    // The counters and section flags follow the other sections each time the
    // window opens; the user does not confirm what the program computed.
    auto guard = f->cdsMain.events.beforePost;
    f->cdsMain.events.beforePost = nullptr;
    bool changed = false;
    TfrJezBase::guarded([&] { changed = prosp::recomputeSostitutoFlags(w->store(), f->cdsMain); });
    f->cdsMain.events.beforePost = guard;
    if (changed) {
        TfrJezBase::guarded([&] { w->store().saveCds(f->table(), f->cdsMain); });
        f->openTable(w->store(), false);
    }
}

void setupFornitore(SectionWindow *w)
{
    SectionFrame *f = w->frames().first();
    f->buildDetail();
    f->deleteText = QStringLiteral("Confermi la cancellazione del modello corrente ?");
    const auto acts = f->xoaCustom->actions();
    for (int i = 0; i < 5 && i < acts.size(); ++i) // navigation and the separator after it
        acts[i]->setVisible(false);
    auto rule = [f] {
        f->acInsert->setVisible(f->cdsMain.isEmpty() || f->cdsMain.state() == DataSetState::Insert);
        f->acEdit->setEnabled(!f->cdsMain.isEmpty() && !f->cdsMain.isEditing());
    };
    QObject::connect(&f->cdsMain, &ClientDataSet::stateChanged, f, rule);
    QObject::connect(&f->cdsMain, &ClientDataSet::dataSetChanged, f, rule);
    rule();
    f->postCheck = [](ClientDataSet &ds) -> QString {
        if (ds.state() == DataSetState::Insert && ds.fieldByName(QStringLiteral("SFORCODFIS"))->asString().trimmed().isEmpty())
            return QStringLiteral("Codice fiscale obbligatorio");
        return {};
    };
}

void setupSummary(SectionWindow *w)
{
    for (SectionFrame *f : w->frames()) {
        const QString t = f->table().toUpper();
        f->monthFields = prosp::monthFieldsOf(t);
        if (t == u"TPST4_PROSPETTOSTS4") {
            f->postCheck = [](ClientDataSet &ds) { return prosp::stSectionFourError(ds); };
        }
        f->buildDetail();
        if (t == u"TSS4_PROSPETTOSS4" || t == u"TPSX_PROSPETTOSX") {
            showOnlyOwner(f);
            f->setGridModel(new DataPresentModel(&f->cdsMain, t == u"TSS4_PROSPETTOSS4", f));
        }
    }
}

using Setup = void (*)(SectionWindow *);
struct WindowDef
{
    const char *className;
    const char *caption;
    bool applySort;
    Setup setup;
    QList<SectionWindow::Section> sections;
};

const QList<WindowDef> &windowDefs()
{
    using S = SectionWindow::Section;
    static const QList<WindowDef> defs{
        {"TfmJexSostituto", "Dati Sostituto", false, setupSostituto, {S{"TfrJexSostituto", "", "TSOS_DATOSOSTITUTO"}}},
        {"TfmJexFornitore", "Dati Fornitore", false, setupFornitore, {S{"TfrJexFornitore", "", "TFOR_FORNITORE"}}},
        {"TfmJexSosEst", "Sostituto estinto", false, [](SectionWindow *w) { w->frames().first()->buildDetail(); w->frames().first()->completenessCheck = false; },
         {S{"TfrJexSosEst", "", "TSOE7_SOSESTINTO"}}},
        {"TfmJexProspST2009", "Prospetto ST", false, setupSummary,
         {S{"TfrJexProspST", "Sezione I - Erario", "TPST_PROSPETTOST"},
          S{"TfrJexProspST_sez_due", "Sezione II - Addizionale regionale", "TPST2_PROSPETTOSTS2"},
          S{"TfrJexProspST_sez_tre", "Sezione III - Ritenute su redditi di capitale", "TPST3_PROSPETTOSTS3"},
          S{"TfrJexProspST_sez_quattro", "Sezione IV - Imposta sostituiva di cui art. 6 e 7 D.Lgs 21/11/1997, n. 461", "TPST4_PROSPETTOSTS4"}}},
        {"TfmJexProspSV", "Prospetto SV", false, setupSummary, {S{"TfrJexProspSV", "", "TPSV_PROSPETTOSV"}}},
        {"TfmJexProspSX", "Prospetto SX", true, setupSummary, {S{"TfrJexProspSX", "", "TPSX_PROSPETTOSX"}}},
        {"TfmJexprospSY", "Prospetto SY", true, setupSummary,
         {S{"TfrJexProspSY", "Sezione I - Riservata al debitore principale", "TPSY_PROSPETTOSY"},
          S{"TfrJexProspSY_sez_due", "Sezione II - Riservata al soggetto erogatore delle somme", "TPSY2_PROSPETTOSY2"},
          S{"TfrJexProspSY_sez_tre", "Sezione III - Ritenute da art. 25, del D.L. n. 78/2010", "TPSY3_PROSPETTOSY3"},
          S{"TfrJexProspSY_sez_quattro", "Sezione IV - Riservata al percipiente estero privo di codice fiscale", "TPSY4_PROSPETTOSY4"}}},
        {"TfmJexProspSS", "Prospetto SS", true, setupSummary, {S{"TfrJexProspSS", "", "TSS4_PROSPETTOSS4"}}},
        {"TfmJexProspDI", "Prospetto DI", true, setupSummary, {S{"TfrJexProspDI", "", "TPDI_PROSPETTODI"}}},
    };
    return defs;
}

} // namespace

SectionWindow *createSectionWindow(const QString &className, SectionStore *store, QWidget *parent)
{
    for (const WindowDef &d : windowDefs()) {
        if (className != QString::fromUtf8(d.className))
            continue;
        auto *w = new SectionWindow(className, QString::fromUtf8(d.caption), d.sections, d.applySort, store, parent);
        d.setup(w);
        return w;
    }
    return nullptr;
}

void registerEntryWindows(WindowRegistry &registry)
{
    for (const WindowDef &d : windowDefs()) {
        const QString name = QString::fromUtf8(d.className);
        registry.forms.add(name, [name](QWidget *parent) -> QWidget * {
            try {
                return createSectionWindow(name, nullptr, parent);
            } catch (const std::exception &e) {
                messages().error(errorText(e));
                return nullptr;
            }
        });
    }
}


} // namespace jex
