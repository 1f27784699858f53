#include "shell/searchwindow.h"

#include "shell/datasetmodel.h"
#include "sections/sectionstore.h"

#include "base/errors.h"
#include "base/messages.h"
#include "codelists/codelists.h"

#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace jex {

namespace {
TfmQmrRicerca *g_instance = nullptr;
}

TfmQmrRicerca *TfmQmrRicerca::instance()
{
    if (!g_instance)
        g_instance = new TfmQmrRicerca;
    return g_instance;
}

void TfmQmrRicerca::setInstance(TfmQmrRicerca *w) { g_instance = w; }

TfmQmrRicerca::TfmQmrRicerca(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("fmQmrRicerca"));
    setWindowTitle(QStringLiteral("Finestra di ricerca"));
    resize(585, 371);
    auto *lay = new QVBoxLayout(this);
    grSearch = new QTableView(this);
    grSearch->setObjectName(QStringLiteral("grSearch"));
    grSearch->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grSearch->setSelectionBehavior(QAbstractItemView::SelectRows);
    grSearch->setSelectionMode(QAbstractItemView::SingleSelection);
    m_model = new DataSetModel(&cdsSearch, this);
    grSearch->setModel(m_model);
    lay->addWidget(grSearch, 1);

    auto *bottom = new QHBoxLayout;
    auto *left = new QVBoxLayout;
    auto *cap = new QHBoxLayout;
    cap->addWidget(new QLabel(QStringLiteral("Cerca per "), this));
    laCampo = new QLabel(this);
    laCampo->setObjectName(QStringLiteral("laCampo"));
    QFont bold = laCampo->font();
    bold.setBold(true);
    laCampo->setFont(bold);
    cap->addWidget(laCampo);
    cap->addStretch();
    left->addLayout(cap);
    edValue = new QLineEdit(this);
    edValue->setObjectName(QStringLiteral("edValue"));
    left->addWidget(edValue);
    bottom->addLayout(left, 1);
    buOk = new QPushButton(QStringLiteral("OK"), this);
    buOk->setObjectName(QStringLiteral("buOk"));
    buOk->setDefault(true);
    buCancel = new QPushButton(QStringLiteral("Annulla"), this);
    buCancel->setObjectName(QStringLiteral("buCancel"));
    bottom->addWidget(buOk, 0, Qt::AlignBottom);
    bottom->addWidget(buCancel, 0, Qt::AlignBottom);
    lay->addLayout(bottom);

    connect(buOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(buCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(grSearch, &QTableView::doubleClicked, this, &QDialog::accept);
    connect(grSearch->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        setOrderField(m_model->fieldIndexOfColumn(column));
        edValue->clear();
    });
    connect(edValue, &QLineEdit::textChanged, this, [this](const QString &t) {
        if (!t.isEmpty() && m_orderField >= 0)
            locateText(cdsSearch, m_orderField, t);
    });
    connect(&cdsSearch, &ClientDataSet::scrolled, this, [this] {
        const int row = cdsSearch.currentRow();
        if (row >= 0)
            grSearch->selectionModel()->setCurrentIndex(m_model->index(row, qMax(0, grSearch->currentIndex().column())),
                                                        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    });
    connect(grSearch->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex &c) {
        if (c.isValid() && c.row() != cdsSearch.currentRow())
            cdsSearch.setRecNo(c.row() + 1);
    });
    edValue->installEventFilter(this);
}

TfmQmrRicerca::~TfmQmrRicerca()
{
    if (g_instance == this)
        g_instance = nullptr;
}

void TfmQmrRicerca::setOrderField(int fieldIndex)
{
    if (fieldIndex < 0 || fieldIndex >= cdsSearch.fieldCount())
        return;
    m_orderField = fieldIndex;
    cdsSearch.setIndexFieldNames(cdsSearch.field(fieldIndex)->name());
    laCampo->setText(cdsSearch.field(fieldIndex)->displayLabel());
}

bool TfmQmrRicerca::locateText(ClientDataSet &ds, int fieldIndex, const QString &text)
{
    Field *f = ds.field(fieldIndex);
    if (f->isNumeric()) {
        bool ok = false;
        const double v = QString(text).replace(u',', u'.').toDouble(&ok);
        if (!ok)
            return false;
        return ds.locate(f->name(), v);
    }
    LocateOptions opt;
    opt.partialKey = true;
    return ds.locate(f->name(), text, opt);
}

void TfmQmrRicerca::afterOpen()
{
    edValue->clear();
    m_orderField = -1;
    laCampo->clear();
    if (cdsSearch.fieldCount() > 0)
        setOrderField(0);
    m_model->reload();
    if (m_lookupField)
        edValue->setText(m_lookupField->asString());
}

void TfmQmrRicerca::loadSource(const QString &source, SectionStore *store)
{
    if (store) {
        store->openCds(source, cdsSearch);
        if (Field *f = cdsSearch.findField(QStringLiteral("IFISRIGO")))
            f->setVisible(false);
    } else {
        cdsSearch.loadFromFile(source);
    }
    cdsSearch.first();
    afterOpen();
}

QVariant TfmQmrRicerca::SearchValue(const QString &source, Field *field, SectionStore *store)
{
    m_lookupField = field;
    cdsSearch.close();
    cdsSearch.setIndexFieldNames(QString());
    cdsSearch.clearFields();
    loadSource(source, store);
    if (!store && cdsSearch.isEmpty()) {
        // A list not delivered yet: say how to complete it rather than show
        // an empty grid; the code can still be typed by hand.
        m_lookupField = nullptr;
        cdsSearch.close();
        messages().information(emptyCodeListText(source), windowTitle());
        return {};
    }
    const int result = execHook ? execHook(*this) : exec();
    m_lookupField = nullptr;
    if (result != QDialog::Accepted || cdsSearch.isEmpty())
        return {};
    Field *first = nullptr;
    for (int i = 0; i < cdsSearch.fieldCount() && !first; ++i)
        if (cdsSearch.field(i)->isVisible())
            first = cdsSearch.field(i);
    if (!first && cdsSearch.fieldCount() > 0)
        first = cdsSearch.field(0);
    return first ? first->value() : QVariant();
}

void TfmQmrRicerca::SearchForField(Field &field, const QString &source, SectionStore *store)
{
    ClientDataSet *ds = field.dataSet();
    if (!ds->canModify() || field.isReadOnly())
        return;
    if (!ds->isEditing()) {
        if (ds->isEmpty())
            return;
        ds->edit();
    }
    const QVariant v = SearchValue(source, &field, store);
    cdsSearch.close();
    if (v.isValid())
        field.setValue(v);
}

ClientDataSet *TfmQmrRicerca::SearchRecord(const QString &filePath)
{
    const QVariant v = SearchValue(filePath, nullptr, nullptr);
    if (!v.isValid()) {
        cdsSearch.close();
        return nullptr;
    }
    return &cdsSearch;
}

void TfmQmrRicerca::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    edValue->setFocus();
    m_lookupField = nullptr;
}

bool TfmQmrRicerca::handleKey(QKeyEvent *ke)
{
    if (!cdsSearch.isActive())
        return false;
    const bool ctrl = ke->modifiers() & Qt::ControlModifier;
    const int rec = cdsSearch.recNo();
    const int count = cdsSearch.recordCount();
    const bool atStart = rec <= 1;
    const bool atEnd = rec >= count;
    const int visibleRows = qMax(1, grSearch->viewport()->height() / qMax(1, grSearch->verticalHeader()->defaultSectionSize()));
    const QModelIndex cur = grSearch->currentIndex();
    switch (ke->key()) {
    case Qt::Key_Right:
        if (cur.column() + 1 < m_model->columnCount())
            grSearch->setCurrentIndex(m_model->index(qMax(0, cur.row()), cur.column() + 1));
        return true;
    case Qt::Key_Left:
        if (m_model->columnCount() > 0 && cur.column() > 0)
            grSearch->setCurrentIndex(m_model->index(qMax(0, cur.row()), cur.column() - 1));
        return true;
    case Qt::Key_Up:
        if (!atStart) cdsSearch.prior();
        return true;
    case Qt::Key_Down:
        if (!atEnd) cdsSearch.next();
        return true;
    case Qt::Key_PageUp:
        if (!atStart) cdsSearch.moveBy(-visibleRows);
        return true;
    case Qt::Key_PageDown:
        if (!atEnd) cdsSearch.moveBy(visibleRows);
        return true;
    case Qt::Key_Home:
        if (!ctrl) return false;
        if (!atStart) cdsSearch.first();
        return true;
    case Qt::Key_End:
        if (!ctrl) return false;
        if (!atEnd) cdsSearch.last();
        return true;
    default:
        return false;
    }
}

bool TfmQmrRicerca::eventFilter(QObject *o, QEvent *e)
{
    if (o == edValue && e->type() == QEvent::KeyPress && handleKey(static_cast<QKeyEvent *>(e)))
        return true;
    return QDialog::eventFilter(o, e);
}

} // namespace jex
