#include "shell/baseframe.h"

#include "shell/datasetmodel.h"

#include "base/errors.h"
#include "base/messages.h"
#include "base/numformat.h"

#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace jex {

TfrJezBase::TfrJezBase(QWidget *parent, bool shortcuts)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("TfrJezBase"));
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    xoaCustom = new QToolBar(this);
    xoaCustom->setObjectName(QStringLiteral("xoaCustom"));
    xoaCustom->setToolButtonStyle(Qt::ToolButtonTextOnly);
    lay->addWidget(xoaCustom);

    struct Def { QAction **slot; const char *name, *caption, *hint; QKeySequence key; };
    const Def defs[] = {
        {&acFirst, "acFirst", "&Primo", "Primo elemento", QKeySequence(Qt::CTRL | Qt::Key_Home)},
        {&acPrior, "acPrior", "Pre&cedente", "Elemento precedente", QKeySequence(Qt::CTRL | Qt::Key_Up)},
        {&acNext, "acNext", "&Successivo", "Elemento successivo", QKeySequence(Qt::CTRL | Qt::Key_Down)},
        {&acLast, "acLast", "&Ultimo", "Ultimo elemento", QKeySequence(Qt::CTRL | Qt::Key_End)},
        {&acInsert, "acInsert", "&Inserisci", "Nuovo elemento", QKeySequence(Qt::CTRL | Qt::Key_Insert)},
        {&acDelete, "acDelete", "C&ancella", "Cancella elemento", QKeySequence(Qt::CTRL | Qt::Key_Delete)},
        {&acEdit, "acEdit", "&Modifica", "Modifica elemento", QKeySequence(Qt::Key_F2)},
        {&acPost, "acPost", "C&onferma", "Conferma modifiche", QKeySequence(Qt::CTRL | Qt::Key_Return)},
        {&acCancel, "acCancel", "A&nnulla", "Annulla modifiche ", QKeySequence(Qt::CTRL | Qt::Key_Z)},
    };
    for (const Def &d : defs) {
        auto *a = new QAction(QString::fromUtf8(d.caption), this);
        a->setObjectName(QString::fromUtf8(d.name));
        a->setToolTip(QString::fromUtf8(d.hint));
        a->setStatusTip(QString::fromUtf8(d.hint));
        if (shortcuts) {
            a->setShortcut(d.key);
            a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        }
        addAction(a);
        *d.slot = a;
    }
    if (shortcuts) // the keypad Enter stores too
        acPost->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    xoaCustom->addActions({acFirst, acPrior, acNext, acLast});
    xoaCustom->addSeparator();
    xoaCustom->addActions({acInsert, acDelete, acEdit});
    xoaCustom->addSeparator();
    xoaCustom->addActions({acPost, acCancel});

    pcMain = new QTabWidget(this);
    pcMain->setObjectName(QStringLiteral("pcMain"));
    tsGrid = new QWidget;
    tsGrid->setObjectName(QStringLiteral("tsGrid"));
    tsDetail = new QWidget;
    tsDetail->setObjectName(QStringLiteral("tsDetail"));
    pcMain->addTab(tsGrid, QStringLiteral("Griglia"));
    pcMain->addTab(tsDetail, QStringLiteral("Dettaglio"));
    lay->addWidget(pcMain, 1);
    grFrame = new QTableView(tsGrid);
    grFrame->setObjectName(QStringLiteral("grFrame"));
    grFrame->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grFrame->setSelectionBehavior(QAbstractItemView::SelectRows);
    grFrame->setSelectionMode(QAbstractItemView::SingleSelection);
    grFrame->horizontalHeader()->setSectionsMovable(false);
    grFrame->verticalHeader()->setDefaultSectionSize(22);
    auto *gl = new QVBoxLayout(tsGrid);
    gl->setContentsMargins(0, 0, 0, 0);
    gl->addWidget(grFrame);
    setGridModel(new DataSetModel(&cdsMain, this));

    cdsMain.events.beforePost = [this](ClientDataSet &) { cdsMainBeforePost(); };
    connect(&cdsMain, &ClientDataSet::stateChanged, this, [this] { dsMainStateChange(); updateActions(); });
    connect(&cdsMain, &ClientDataSet::scrolled, this, [this] { syncGridRow(); updateActions(); });
    connect(&cdsMain, &ClientDataSet::dataSetChanged, this, [this] { syncGridRow(); updateActions(); });

    connect(acFirst, &QAction::triggered, this, [this] { guarded([this] { cdsMain.first(); }); });
    connect(acPrior, &QAction::triggered, this, [this] { guarded([this] { cdsMain.prior(); }); });
    connect(acNext, &QAction::triggered, this, [this] { guarded([this] { cdsMain.next(); }); });
    connect(acLast, &QAction::triggered, this, [this] { guarded([this] { cdsMain.last(); }); });
    connect(acInsert, &QAction::triggered, this, [this] { guarded([this] { acInsertExecute(); }); });
    connect(acDelete, &QAction::triggered, this, [this] { guarded([this] { acDeleteExecute(); }); });
    connect(acEdit, &QAction::triggered, this, [this] { guarded([this] { acEditExecute(); }); });
    connect(acPost, &QAction::triggered, this, [this] { guarded([this] { acPostExecute(); }); });
    connect(acCancel, &QAction::triggered, this, [this] { guarded([this] { acCancelExecute(); }); });
    updateActions();
}

void TfrJezBase::setGridModel(DataSetModel *model)
{
    QItemSelectionModel *old = grFrame->selectionModel();
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    grFrame->setModel(model);
    delete old;
    connect(grFrame->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (m_syncing || !current.isValid() || current.row() == cdsMain.currentRow())
                    return;
                if (!guarded([&] { cdsMain.setRecNo(current.row() + 1); }))
                    syncGridRow();
            });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        syncGridRow();
        fitGridColumns();
    });
}

TfrJezBase::~TfrJezBase()
{
    cdsMain.events = DataSetEvents{};
    disconnect(&cdsMain, nullptr, this, nullptr);
}

bool TfrJezBase::guarded(const std::function<void()> &work)
{
    try {
        work();
        return true;
    } catch (const EAbort &) {
    } catch (const std::exception &e) {
        messages().error(errorText(e));
    }
    return false;
}

void TfrJezBase::acInsertExecute()
{
    cdsMain.append();
}

void TfrJezBase::acPostExecute()
{
    if (!cdsMain.isEditing())
        return;
    // Editors hand over what is still being typed before the record is stored.
    if (QWidget *f = focusWidget())
        f->clearFocus();
    m_postAllowed = true;
    try {
        cdsMain.post();
    } catch (...) {
        m_postAllowed = false;
        throw;
    }
    m_postAllowed = false;
    Q_EMIT posted();
}

void TfrJezBase::acCancelExecute()
{
    if (cdsMain.isEditing())
        cdsMain.cancel();
}

void TfrJezBase::acEditExecute()
{
    if (cdsMain.canModify() && !cdsMain.isEmpty() && !cdsMain.isEditing())
        cdsMain.edit();
}

QString TfrJezBase::deleteQuestion() const
{
    return QStringLiteral("Confermi la cancellazione del modello corrente?");
}

void TfrJezBase::acDeleteExecute()
{
    if (!cdsMain.isActive() || cdsMain.isEmpty())
        return;
    const QString q = deleteQuestion();
    if (!q.isEmpty() && !messages().confirm(q))
        return;
    if (cdsMain.state() == DataSetState::Insert) {
        cdsMain.cancel();
        return;
    }
    if (cdsMain.isEditing())
        cdsMain.cancel();
    cdsMain.remove();
    Q_EMIT deleted();
}

void TfrJezBase::cdsMainBeforePost()
{
    if (!m_postAllowed) {
        messages().messageDlg(QStringLiteral("Salvare prima di cambiare modello."), DlgType::Information,
                              Buttons::Ok, QString());
        throw EAbort();
    }
}

void TfrJezBase::dsMainStateChange()
{
    const int detail = pcMain->indexOf(tsDetail);
    if (cdsMain.isEditing() && detail >= 0 && pcMain->isTabVisible(detail))
        pcMain->setCurrentIndex(detail);
}

// Columns as wide as their caption and the rows on screen need, within
// bounds, so that no caption is cut and no long text takes the whole grid.
void TfrJezBase::fitGridColumns()
{
    QHeaderView *header = grFrame->horizontalHeader();
    for (int c = 0; c < m_model->columnCount(); ++c) {
        if (grFrame->isColumnHidden(c))
            continue;
        grFrame->resizeColumnToContents(c);
        header->resizeSection(c, std::clamp(header->sectionSize(c), 40, 320));
    }
}

void TfrJezBase::syncGridRow()
{
    const int row = cdsMain.currentRow();
    if (row < 0 || row >= m_model->rowCount())
        return;
    m_syncing = true;
    grFrame->selectionModel()->setCurrentIndex(m_model->index(row, 0),
                                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_syncing = false;
}

void TfrJezBase::updateActions()
{
    const bool active = cdsMain.isActive();
    const bool editing = cdsMain.isEditing();
    const bool empty = !active || cdsMain.isEmpty();
    const int rec = cdsMain.recNo();
    acFirst->setEnabled(active && !editing && rec > 1);
    acPrior->setEnabled(active && !editing && rec > 1);
    acNext->setEnabled(active && !editing && rec > 0 && rec < cdsMain.recordCount());
    acLast->setEnabled(active && !editing && rec > 0 && rec < cdsMain.recordCount());
    acInsert->setEnabled(cdsMain.canModify());
    acDelete->setEnabled(cdsMain.canModify() && !empty);
    acEdit->setEnabled(cdsMain.canModify() && !empty && !editing);
    acPost->setEnabled(editing);
    acCancel->setEnabled(editing);
}

QString TfrJezBase::recNoText(const ClientDataSet &ds)
{
    const int rec = ds.recNo();
    if (rec < 0)
        return QStringLiteral("Ins.");
    return QStringLiteral("%1 di %2").arg(rec).arg(ds.isActive() ? ds.recordCount() : 0);
}

void TfrJezBase::showRecNo(QLineEdit *edit) const
{
    edit->setText(recNoText(cdsMain));
}

QString TfrJezBase::zeroBlankGetText(const Field &field, bool display)
{
    if (field.isNull())
        return {};
    const double v = field.asFloat();
    if (v == 0)
        return {};
    QString fmt = display ? field.displayFormat() : field.editFormat();
    if (fmt.isEmpty())
        fmt = display ? QStringLiteral("#,##0.00") : QStringLiteral("#.00");
    return formatFloatPattern(fmt, v);
}

void TfrJezBase::setAmountFormats(ClientDataSet &ds)
{
    for (int i = 0; i < ds.fieldCount(); ++i) {
        Field *f = ds.field(i);
        if (f->type() != FieldType::Currency && f->type() != FieldType::Float)
            continue;
        f->setDisplayFormat(QStringLiteral("#,##0.00"));
        f->setEditFormat(QStringLiteral("#.00"));
        f->onGetText = &TfrJezBase::zeroBlankGetText;
    }
}

} // namespace jex
