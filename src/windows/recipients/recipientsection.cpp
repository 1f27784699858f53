#include "recipients/recipientsection.h"

#include "recipients/choiceedit.h"
#include "recipients/currentrecipient.h"

#include "base/errors.h"
#include "base/messages.h"
#include "catalogue/catalogue.h"
#include "checks/completeness.h"
#include "checks/recipientrules.h"
#include "checks/tablerules.h"
#include "shell/datasetmodel.h"
#include "shell/editors.h"
#include "shell/formbuilder.h"
#include "shell/infowindow.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>

namespace jex {

const QList<RecipientSectionDef> &employeeSectionDefs()
{
    static const QList<RecipientSectionDef> defs{
        {"TfrJexReddEst", "TREE7_REDDITOESTER", "Redd.Esteri", "Redd.Esteri", true, NoRules},
        {"TfrJexFamCar", "TCFF7_CFFAMILIARE", "Familiare carico", "Familiare carico", true, NoAmountFormats},
        {"TfrJexDtCong", "TCON7_DATICONGUAG", "Dati rel. Conguagli", "Conguaglio", true, NoRules},
        {"TfrJexTaxSep", "TTAS7_TASSAZIONESE", "Comp. rel. anni precedenti", "Tass.Separata", true, NoRules},
        {"TfrJexTFR", "TTFR7_TFR", "TFR", "TFR", true, NewRowFlagsZero | ThreeDecimals | Instalments},
        {"TfrJExDipAnn", "TANN7_ANNOTAZIONI", "Annotazioni", "ANNOTAZIONI", false, NoAmountFormats},
        {"TfrJexINPS", "TINPS7_INPS", "INPS", "INPS", true, NewRowFlagsZero},
        {"TfrJexInpdap", "TINP7_INPDAP", "INPS gestione ex INPDAP", "INPDAP", true, NewRowFlagsZero},
        {"TfrJexInail", "TINA7_INAIL", "INAIL", "INAIL", true, NewRowFlagsZero},
        {"TfrJexReddAssRit", "TRAR7_REDASSTIRTIT", "Redd.Assoggettati Rit. Imp.",
         "redd.Assoggettati a ritenuta a titolo imposta", false, NoRules},
        {"TfrJexConFamCar", "TCFC7_CONFAMCARICO", "Con. Fam. a carico", "congiuge e familiari a carico", true,
         NewRowFlagsZero | FamilyFlags | MonthFields},
        {"TfrJexSommLavStra", "TSLS7_SOMEROLAVSTRA", "Somme Ero. Incr. Produtt. lavoro",
         "Somme er. per prestazioni di lavoro straordinario", false, NoRules},
    };
    return defs;
}

const RecipientSectionDef *employeeSectionDef(const QString &table)
{
    for (const RecipientSectionDef &d : employeeSectionDefs())
        if (table.compare(QString::fromLatin1(d.table), Qt::CaseInsensitive) == 0)
            return &d;
    return nullptr;
}

const RecipientSectionDef &selfEmployedSumsDef()
{
    static const RecipientSectionDef def{"TfrJexAutSomme", "TDSE7_SOMMEEROGATE", "Somme erogate", nullptr, false,
                                         NewRowFlagsZero};
    return def;
}

namespace {
const QStringList familyMonthFields{
    QStringLiteral("SCFC7MESICARCON"), QStringLiteral("SCFC7MESICARPRIFIGL"), QStringLiteral("SCFC7MINTREANNPRIFIGL"),
    QStringLiteral("SCFC7MESICARFIGL"), QStringLiteral("SCFC7MINTREANNFIGL")};
} // namespace

RecipientSectionFrame::RecipientSectionFrame(const RecipientSectionDef &def, const QString &ownerField,
                                             CurrentRecipient &owner, QWidget *parent)
    : SectionFrame(QString::fromLatin1(def.frame), QString::fromLatin1(def.table), parent), m_def(def),
      m_ownerField(ownerField), m_owner(owner)
{
    completenessCheck = def.completeness;
    deleteText = def.deletePart
                     ? QStringLiteral("Confermi la cancellazione della sezione \"%1\"?").arg(QString::fromUtf8(def.deletePart))
                     : QStringLiteral("Confermi la cancellazione della sezione delle \"Somme erogate\"?");
    if (def.rules & MonthFields)
        monthFields = familyMonthFields;
    const QString table = QString::fromLatin1(def.table);
    cdsMain.events.onNewRecord = [this, table](ClientDataSet &ds) {
        if (m_def.rules & NewRowFlagsZero)
            prosp::zeroFlags(ds, table);
    };
    cdsMain.events.beforeInsert = [this](ClientDataSet &) {
        const QString refused = insertGuard ? insertGuard() : QString();
        if (!refused.isEmpty()) {
            messages().information(refused);
            throw EAbort();
        }
    };

    // One row at a time: the grid page stays hidden, and its grid keeps no
    // model of the rows (fitting a hidden grid's columns to thousands of rows
    // on every move is what would make moving slow).
    pcMain->setTabVisible(pcMain->indexOf(tsGrid), false);
    setGridModel(new DataSetModel(nullptr, this));
    pcMain->setCurrentWidget(tsDetail);
    pcMain->tabBar()->hide();
    xoaCustom->addSeparator();
    auto *la = new QLabel(QStringLiteral(" Rigo "), this);
    xoaCustom->addWidget(la);
    edRigo = new QLineEdit(this);
    edRigo->setObjectName(QStringLiteral("edRigo"));
    edRigo->setReadOnly(true);
    edRigo->setFocusPolicy(Qt::NoFocus);
    edRigo->setMaximumWidth(90);
    xoaCustom->addWidget(edRigo);
    connect(&cdsMain, &ClientDataSet::scrolled, this, &RecipientSectionFrame::showRowCounter);
    connect(&cdsMain, &ClientDataSet::stateChanged, this, &RecipientSectionFrame::showRowCounter);
    connect(&cdsMain, &ClientDataSet::dataSetChanged, this, &RecipientSectionFrame::showRowCounter);
    // The editors are made from the columns: the table's, before it opens.
    FormBuilder::defineFields(cdsMain, table);
    buildDetail();
    if (def.rules & Instalments)
        setupInstalments();
    showRowCounter();
}

void RecipientSectionFrame::afterOpen()
{
    const CatalogueTable *t = TableCatalogue::instance().table(table());
    if (t)
        applyFormats(*t);
    m_shownAfi = -1;
    showRowCounter();
}

void RecipientSectionFrame::applyFormats(const CatalogueTable &table)
{
    if (m_def.rules & NoAmountFormats) {
        for (int i = 0; i < cdsMain.fieldCount(); ++i) {
            Field *f = cdsMain.field(i);
            f->setDisplayFormat(QString());
            f->setEditFormat(QString());
            f->onGetText = nullptr;
        }
        return;
    }
    setAmountFormats(cdsMain);
    if (!(m_def.rules & ThreeDecimals))
        return;
    for (const CatalogueColumn &c : table.columns)
        if (c.kind == ColumnKind::Decimal && c.decimals == 3)
            if (Field *f = cdsMain.findField(c.name)) {
                f->setDisplayFormat(QStringLiteral("#,##0.000"));
                f->setEditFormat(QStringLiteral("#.000"));
            }
}

void RecipientSectionFrame::showRecipient(qint64 afiId)
{
    if (afiId == m_shownAfi && cdsMain.isFiltered())
        return;
    m_shownAfi = afiId;
    cdsMain.setFilter(QStringLiteral("IAFIID = %1").arg(afiId));
    cdsMain.setFiltered(true);
    showRowCounter();
}

void RecipientSectionFrame::showRowCounter()
{
    edRigo->setText(recNoText(cdsMain));
}

void RecipientSectionFrame::cdsMainBeforePost()
{
    TfrJezBase::cdsMainBeforePost();
    if (suppressChecks)
        return;
    if (cdsMain.state() == DataSetState::Insert) {
        if (!m_owner.isSet()) {
            messages().information(QStringLiteral("Nessun percipiente selezionato: salvare prima i suoi dati anagrafici"));
            throw EAbort();
        }
        // The row belongs to the recipient shown, whatever was typed elsewhere.
        cdsMain.fieldByName(m_ownerField)->setValue(m_owner.codFis);
        cdsMain.fieldByName(QStringLiteral("IAFIID"))->setValue(m_owner.afiId);
    }
    if (m_def.rules & FamilyFlags) {
        const QString note = recipients::applyFamilyFlagConsistency(cdsMain);
        if (!note.isEmpty())
            messages().warning(note);
    }
    QStringList lines = recipients::fiscalCodeFindings(cdsMain, table());
    if (completenessCheck)
        CheckDataSets(lines, {&cdsMain});
    if (!lines.isEmpty() && ShowInfo(lines, true) != ModalResult::Yes)
        throw EAbort();
}

// The instalments take a value from a fixed list, not a typed amount.
void RecipientSectionFrame::setupInstalments()
{
    const CatalogueTable *t = TableCatalogue::instance().table(table());
    if (!t)
        return;
    for (const CatalogueColumn &c : t->columns) {
        const QStringList choices = recipients::instalmentChoices(c.name);
        auto *ed = choices.isEmpty() ? nullptr : findChild<DBEdit *>(QStringLiteral("de") + c.name);
        auto *form = ed && ed->parentWidget() ? qobject_cast<QFormLayout *>(ed->parentWidget()->layout()) : nullptr;
        if (!form)
            continue;
        int row = -1;
        QFormLayout::ItemRole role;
        form->getWidgetPosition(ed, &row, &role);
        if (row < 0)
            continue;
        auto *choice = new DBChoice(&cdsMain, c.name, choices, ed->parentWidget());
        if (QLayoutItem *label = form->itemAt(row, QFormLayout::LabelRole))
            if (auto *l = qobject_cast<QLabel *>(label->widget()))
                l->setBuddy(choice);
        delete ed;
        form->setWidget(row, QFormLayout::FieldRole, choice);
    }
}

} // namespace jex
