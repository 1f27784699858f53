#include "recipients/registryframe.h"

#include "base/errors.h"
#include "base/messages.h"
#include "checks/completeness.h"
#include "checks/recipientrules.h"
#include "checks/tablerules.h"
#include "shell/datasetmodel.h"
#include "shell/editors.h"
#include "shell/infowindow.h"

#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace jex {

namespace {

// The list of the employees: "Progressivo" first, the position of the row's
// codice fiscale in codice-fiscale order, whatever the list is sorted by.
class ProgressiveModel : public DataSetModel
{
public:
    ProgressiveModel(ClientDataSet *ds, const RecipientRegistryFrame *frame)
        : DataSetModel(ds, const_cast<RecipientRegistryFrame *>(frame)), m_frame(frame) {}
    int columnCount(const QModelIndex &parent = {}) const override
    { return parent.isValid() ? 0 : DataSetModel::columnCount(parent) + 1; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid())
            return {};
        if (index.column() > 0)
            return DataSetModel::data(createIndex(index.row(), index.column() - 1), role);
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignCenter);
        if (role != Qt::DisplayRole || !dataSet())
            return {};
        const int cf = dataSet()->fieldIndex(m_frame->def().codFis);
        const int p = m_frame->progressive(dataSet()->valueAt(index.row(), cf).toString());
        return p > 0 ? QVariant(p) : QVariant();
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o == Qt::Horizontal) {
            if (section == 0)
                return role == Qt::DisplayRole ? QVariant(QStringLiteral("Progressivo")) : QVariant();
            return DataSetModel::headerData(section - 1, o, role);
        }
        return DataSetModel::headerData(section, o, role);
    }

private:
    const RecipientRegistryFrame *m_frame;
};

} // namespace

RecipientRegistryFrame::RecipientRegistryFrame(const RegistryFrameDef &def, QWidget *parent)
    : TfrJezBase(parent), m_def(def)
{
    setObjectName(def.frame);
    laInfo = new QLabel(this);
    laInfo->setObjectName(QStringLiteral("laInfo"));
    QFont bold = laInfo->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    laInfo->setFont(bold);
    laInfo->setContentsMargins(6, 2, 6, 2);
    static_cast<QVBoxLayout *>(layout())->insertWidget(1, laInfo);

    auto *search = new QHBoxLayout;
    search->setContentsMargins(4, 4, 4, 2);
    auto *la = new QLabel(QStringLiteral("Cerca"), tsGrid);
    edCerca = new QLineEdit(tsGrid);
    edCerca->setObjectName(QStringLiteral("edCerca"));
    edCerca->setPlaceholderText(QStringLiteral("codice fiscale, cognome o nome"));
    edCerca->setClearButtonEnabled(true);
    la->setBuddy(edCerca);
    search->addWidget(la);
    search->addWidget(edCerca, 1);
    static_cast<QVBoxLayout *>(tsGrid->layout())->insertLayout(0, search);
    connect(edCerca, &QLineEdit::textChanged, this, [this](const QString &t) { guarded([&] { setSearchText(t); }); });

    pcDettaglio = new QTabWidget(tsDetail);
    pcDettaglio->setObjectName(QStringLiteral("pcDettaglio"));
    auto *dl = new QVBoxLayout(tsDetail);
    dl->setContentsMargins(0, 0, 0, 0);
    dl->addWidget(pcDettaglio);

    if (def.progressive)
        setGridModel(new ProgressiveModel(&cdsMain, this));
    grFrame->horizontalHeader()->setSectionsClickable(true);
    connect(grFrame->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { guarded([&] { sortByColumn(column); }); });

    cdsMain.events.beforeScroll = [this](ClientDataSet &) { guardMove(); };
    cdsMain.events.beforeInsert = [this](ClientDataSet &) { guardMove(); };
    cdsMain.events.beforeDelete = [this](ClientDataSet &) { guardMove(); };
    cdsMain.events.onNewRecord = [this](ClientDataSet &ds) { prosp::zeroFlags(ds, m_def.table); };
    cdsMain.events.afterInsert = [this](ClientDataSet &) {
        if (afterInsertStarted)
            afterInsertStarted();
    };
    auto changed = [this] {
        if (m_refiltering)
            return;
        followState();
        Q_EMIT shownRowChanged();
    };
    connect(&cdsMain, &ClientDataSet::stateChanged, this, changed);
    connect(&cdsMain, &ClientDataSet::scrolled, this, changed);
    connect(&cdsMain, &ClientDataSet::dataSetChanged, this, changed);
}

RecipientRegistryFrame::~RecipientRegistryFrame()
{
    cdsMain.events = DataSetEvents{};
}

void RecipientRegistryFrame::guardMove()
{
    if (othersEditing && othersEditing()) {
        messages().information(QString::fromUtf8(prosp::noPageChangeText));
        throw EAbort();
    }
}

void RecipientRegistryFrame::afterOpen()
{
    setAmountFormats(cdsMain);
    const QStringList grid{m_def.codFis, m_def.surname, m_def.name, m_def.birth};
    for (int i = 0; i < cdsMain.fieldCount(); ++i) {
        Field *f = cdsMain.field(i);
        const int k = int(grid.indexOf(f->name().toUpper()));
        f->setVisible(k >= 0 && !grid[k].isEmpty());
        if (k >= 0)
            f->setDisplayLabel(m_def.gridCaptions.value(k));
    }
    const int cf = cdsMain.fieldIndex(m_def.codFis), sn = cdsMain.fieldIndex(m_def.surname),
              nm = cdsMain.fieldIndex(m_def.name);
    cdsMain.events.onFilterRecord = [this, cf, sn, nm](ClientDataSet &ds) {
        return recipients::recipientMatches(m_search, ds.field(cf)->asString(), ds.field(sn)->asString(),
                                            ds.field(nm)->asString());
    };
    m_refiltering = true;
    cdsMain.setIndexFieldNames(m_def.codFis);
    cdsMain.setFiltered(!m_search.isEmpty());
    cdsMain.first();
    m_refiltering = false;
    rebuildProgressive();
    model()->reload();
    followState();
    Q_EMIT shownRowChanged();
}

void RecipientRegistryFrame::rebuildProgressive()
{
    // Every row counts, also those the search leaves out of the list.
    const bool filtered = cdsMain.isFiltered();
    m_refiltering = true;
    if (filtered)
        cdsMain.setFiltered(false);
    QStringList codes;
    const int cf = cdsMain.fieldIndex(m_def.codFis);
    codes.reserve(cdsMain.recordCount());
    for (int r = 0; r < cdsMain.recordCount(); ++r)
        codes << cdsMain.valueAt(r, cf).toString().trimmed().toUpper();
    if (filtered)
        cdsMain.setFiltered(true);
    m_refiltering = false;
    std::sort(codes.begin(), codes.end());
    m_progressive.clear();
    m_progressive.reserve(codes.size());
    for (int i = 0; i < codes.size(); ++i)
        m_progressive.insert(codes[i], i + 1);
    if (grFrame->model())
        Q_EMIT grFrame->model()->headerDataChanged(Qt::Horizontal, 0, 0);
    grFrame->viewport()->update();
}

bool RecipientRegistryFrame::sortByColumn(int column)
{
    int c = column;
    if (m_def.progressive) {
        if (c == 0) // "Progressivo" is the codice-fiscale order
            c = model()->columnOfField(cdsMain.fieldIndex(m_def.codFis)) + 1;
        --c;
    }
    const int fi = model()->fieldIndexOfColumn(c);
    if (fi < 0)
        return false;
    const QString name = cdsMain.field(fi)->name().toUpper();
    if (name != m_def.codFis && name != m_def.surname && name != m_def.name && name != m_def.birth)
        return false;
    if (cdsMain.isEditing() || (othersEditing && othersEditing())) {
        messages().information(QString::fromUtf8(prosp::noPageChangeText));
        return false;
    }
    cdsMain.setIndexFieldNames(name);
    return true;
}

void RecipientRegistryFrame::setSearchText(const QString &text)
{
    const QString t = text.trimmed();
    if (t == m_search || !cdsMain.isActive())
        return;
    if (cdsMain.isEditing() || (othersEditing && othersEditing())) {
        messages().information(QString::fromUtf8(prosp::noPageChangeText));
        return;
    }
    m_search = t;
    const ClientDataSet::Bookmark shown = cdsMain.bookmark();
    m_refiltering = true;
    try {
        cdsMain.setFiltered(false);
        cdsMain.setFiltered(!m_search.isEmpty());
        if (shown && cdsMain.bookmarkValid(shown))
            cdsMain.gotoBookmark(shown);
    } catch (...) {
        m_refiltering = false;
        throw;
    }
    m_refiltering = false;
    // One notice of the row shown, after the list settled.
    followState();
    Q_EMIT shownRowChanged();
}

QString RecipientRegistryFrame::shownName() const
{
    if (!cdsMain.isActive() || cdsMain.isEmpty() || cdsMain.state() == DataSetState::Insert)
        return {};
    return cdsMain.fieldByName(m_def.surname)->asString() + u' ' + cdsMain.fieldByName(m_def.name)->asString();
}

qint64 RecipientRegistryFrame::shownAfiId() const
{
    if (!cdsMain.isActive() || cdsMain.isEmpty() || cdsMain.state() == DataSetState::Insert)
        return 0;
    return cdsMain.fieldByName(QStringLiteral("IAFIID"))->asInteger();
}

// The codice fiscale ties the person's rows together: it is typed once, for
// a new row, and then only shown.
void RecipientRegistryFrame::followState()
{
    const bool inserting = cdsMain.state() == DataSetState::Insert;
    if (auto *ed = findChild<DBEdit *>(QStringLiteral("de") + m_def.codFis)) {
        if (Field *f = cdsMain.findField(m_def.codFis))
            f->setReadOnly(!inserting);
        ed->setReadOnly(!inserting);
        ed->setFocusPolicy(inserting ? Qt::StrongFocus : Qt::NoFocus);
        QPalette p = ed->palette();
        p.setColor(QPalette::Base, inserting ? palette().color(QPalette::Active, QPalette::Base)
                                             : palette().color(QPalette::Disabled, QPalette::Window));
        ed->setPalette(p);
    }
    edCerca->setEnabled(!cdsMain.isEditing());
    const QString name = shownName();
    laInfo->setText(name);
    laInfo->setToolTip(name);
}

void RecipientRegistryFrame::cdsMainBeforePost()
{
    TfrJezBase::cdsMainBeforePost();
    if (cdsMain.state() == DataSetState::Insert) {
        Field *cf = cdsMain.fieldByName(m_def.codFis);
        const QString code = cf->asString().trimmed().toUpper();
        if (code.isEmpty()) {
            messages().error(QStringLiteral("Codice fiscale obbligatorio"));
            throw EAbort();
        }
        if (m_progressive.contains(code)) {
            messages().error(QStringLiteral("Il codice fiscale %1 è già presente nell'elenco").arg(code));
            throw EAbort();
        }
        cdsMain.fieldByName(m_def.gruppoField)->setValue(m_def.gruppo);
    }
    QStringList lines = recipients::fiscalCodeFindings(cdsMain, m_def.table);
    CheckDataSets(lines, {&cdsMain});
    if (!lines.isEmpty() && ShowInfo(lines, true) != ModalResult::Yes)
        throw EAbort();
}

} // namespace jex
