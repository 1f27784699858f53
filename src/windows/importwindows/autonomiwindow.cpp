#include "importwindows/autonomiwindow.h"
#include "windowregistration.h"

#include "base/appcontext.h"
#include "base/errors.h"
#include "base/messages.h"
#include "sections/databasestore.h"
#include "shell/registry.h"
#include "shell/waitcursor.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace jex {

namespace {

QString cell(const QVariant &v) { return v.isNull() ? QString() : v.toString(); }

} // namespace

TfmJexImpMultiSelect::TfmJexImpMultiSelect(QWidget *parent, AutonomiVariant variant, TQxSQLConnection *conn,
                                           SectionStore *store, const AutonomiYear *year)
    : QDialog(parent), m_variant(variant), m_conn(conn), m_store(store)
{
    WaitCursor wait;
    setObjectName(variant == AutonomiVariant::Full ? QStringLiteral("fmJexImpMultiSelect")
                                                   : QStringLiteral("fmJexImpMultiSelectOnlyAna"));
    setWindowTitle(QStringLiteral("Scelta dati autonomi"));
    if (!m_conn)
        m_conn = &AppContext::instance().connection().xqoMain;
    if (!m_store)
        m_store = &applicationStore();
    m_year = year ? *year : programAutonomiYear();

    auto *layout = new QVBoxLayout(this);
    auto *filters = new QHBoxLayout;
    cbICALQUXORCODE = filterList(QStringLiteral("QRY_CAL_FILTRO"));
    cbITNOQUXORCODE = filterList(QStringLiteral("QRY_TNO_FILTRO"));
    cbIQARQUXORCODE = filterList(QStringLiteral("QRY_QAR_FILTRO"));
    cbICALQUXORCODE->setObjectName(QStringLiteral("cbICALQUXORCODE"));
    cbITNOQUXORCODE->setObjectName(QStringLiteral("cbITNOQUXORCODE"));
    cbIQARQUXORCODE->setObjectName(QStringLiteral("cbIQARQUXORCODE"));
    const std::pair<const char *, QComboBox *> lists[] = {
        {"Categoria", cbICALQUXORCODE}, {"Pos.Giur.", cbITNOQUXORCODE}, {"Qualifica", cbIQARQUXORCODE}};
    for (const auto &[label, cb] : lists) {
        filters->addWidget(new QLabel(QString::fromUtf8(label), this));
        filters->addWidget(cb);
        connect(cb, &QComboBox::currentIndexChanged, this, &TfmJexImpMultiSelect::filterChanged);
    }
    ckInServizio = new QCheckBox(QStringLiteral("In servizio"), this);
    ckInServizio->setVisible(false);
    connect(ckInServizio, &QCheckBox::toggled, this, &TfmJexImpMultiSelect::filterChanged);
    filters->addWidget(ckInServizio);
    filters->addStretch();
    layout->addLayout(filters);

    auto *search = new QHBoxLayout;
    search->addWidget(new QLabel(QStringLiteral("Codice"), this));
    edCerca = new QLineEdit(this);
    connect(edCerca, &QLineEdit::textEdited, this, &TfmJexImpMultiSelect::locate);
    search->addWidget(edCerca);
    search->addStretch();
    layout->addLayout(search);

    grList = new QTableWidget(this);
    grList->setColumnCount(5);
    grList->setHorizontalHeaderLabels({QStringLiteral("Codice"), QStringLiteral("Dipendente"), QStringLiteral("Cat."),
                                       QStringLiteral("P.g."), QStringLiteral("Qual.")});
    grList->setSelectionBehavior(QAbstractItemView::SelectRows);
    grList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grList->horizontalHeader()->setStretchLastSection(true);
    grList->horizontalHeader()->setSectionsClickable(true);
    grList->verticalHeader()->setVisible(false);
    connect(grList->horizontalHeader(), &QHeaderView::sectionClicked, this, &TfmJexImpMultiSelect::sortBy);
    connect(grList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfmJexImpMultiSelect::updatePrenotati);
    connect(grList, &QTableWidget::cellClicked, this, &TfmJexImpMultiSelect::updatePrenotati);
    layout->addWidget(grList, 1);

    laPrenotati = new QLabel(this);
    laCorrente = new QLabel(this);
    layout->addWidget(laPrenotati);
    layout->addWidget(laCorrente);

    auto *box = new QGroupBox(this);
    auto *radios = new QHBoxLayout(box);
    rbSempre = new QRadioButton(QStringLiteral("Sovrascrivi sempre"), box);
    rbMai = new QRadioButton(QStringLiteral("Non sovrascrivere"), box);
    rbChiedi = new QRadioButton(QStringLiteral("Chiedi conferma"), box);
    rbChiedi->setChecked(true);
    for (QRadioButton *rb : {rbSempre, rbMai, rbChiedi})
        radios->addWidget(rb);
    layout->addWidget(box);

    auto *buttons = new QDialogButtonBox(this);
    buOk = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buAnnulla = buttons->addButton(QStringLiteral("Annulla"), QDialogButtonBox::RejectRole);
    connect(buOk, &QPushButton::clicked, this, &TfmJexImpMultiSelect::buOkClick);
    connect(buAnnulla, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);

    m_all = loadAutonomiPayees(*m_conn, m_variant, m_year);
    m_shown = m_all;
    fill();
    resize(720, 520);
}

TfmJexImpMultiSelect::~TfmJexImpMultiSelect() = default;

QComboBox *TfmJexImpMultiSelect::filterList(const QString &statement)
{
    auto *cb = new QComboBox(this);
    for (const FilterEntry &e : loadFilterEntries(*m_conn, statement))
        cb->addItem(e.text, e.id);
    return cb;
}

AutonomiFilter TfmJexImpMultiSelect::currentFilter() const
{
    AutonomiFilter f;
    f.cat = cbICALQUXORCODE->currentData();
    f.tno = cbITNOQUXORCODE->currentData();
    f.qar = cbIQARQUXORCODE->currentData();
    f.inServizio = ckInServizio->isChecked();
    return f;
}

void TfmJexImpMultiSelect::filterChanged()
{
    const AutonomiFilter f = currentFilter();
    m_shown.clear();
    for (const AutonomiPayee &p : std::as_const(m_all))
        if (f.text().isEmpty() || f.accepts(p))
            m_shown.append(p);
    sortBy(m_sortColumn); // refills, and the selection is cleared
}

void TfmJexImpMultiSelect::sortBy(int column)
{
    m_sortColumn = column;
    auto key = [column](const AutonomiPayee &p) -> QVariant {
        switch (column) {
        case 0: return p.codice;
        case 2: return p.cat;
        case 3: return p.tno;
        case 4: return p.qar;
        default: return {};
        }
    };
    std::stable_sort(m_shown.begin(), m_shown.end(), [&](const AutonomiPayee &a, const AutonomiPayee &b) {
        if (column != 1) {
            const qint64 ka = key(a).toLongLong(), kb = key(b).toLongLong();
            if (ka != kb)
                return ka < kb;
            if (column == 0)
                return false;
        }
        return QString::localeAwareCompare(a.cognomeNome, b.cognomeNome) < 0;
    });
    fill();
}

void TfmJexImpMultiSelect::fill()
{
    grList->clearSelection();
    grList->setRowCount(int(m_shown.size()));
    for (int r = 0; r < m_shown.size(); ++r) {
        const AutonomiPayee &p = m_shown[r];
        const QString values[] = {cell(p.codice), p.cognomeNome, cell(p.cat), cell(p.tno), cell(p.qar)};
        for (int c = 0; c < 5; ++c)
            grList->setItem(r, c, new QTableWidgetItem(values[c]));
    }
    updatePrenotati();
}

void TfmJexImpMultiSelect::locate(const QString &code)
{
    const QString wanted = code.trimmed();
    if (wanted.isEmpty())
        return;
    for (int r = 0; r < m_shown.size(); ++r)
        if (cell(m_shown[r].codice).startsWith(wanted)) {
            grList->setCurrentCell(r, 0, QItemSelectionModel::NoUpdate);
            grList->scrollToItem(grList->item(r, 0));
            return;
        }
}

QList<AutonomiPayee> TfmJexImpMultiSelect::shownPayees() const { return m_shown; }

QList<AutonomiPayee> TfmJexImpMultiSelect::chosenPayees() const
{
    QList<int> rows;
    for (const QModelIndex &i : grList->selectionModel()->selectedRows())
        rows << i.row();
    if (rows.isEmpty())
        return m_shown;
    std::sort(rows.begin(), rows.end());
    QList<AutonomiPayee> out;
    for (int r : rows)
        out << m_shown[r];
    return out;
}

OverwritePolicy TfmJexImpMultiSelect::policy() const
{
    if (rbSempre->isChecked())
        return OverwritePolicy::Always;
    if (rbMai->isChecked())
        return OverwritePolicy::Never;
    return OverwritePolicy::Ask;
}

void TfmJexImpMultiSelect::updatePrenotati()
{
    laPrenotati->setText(QStringLiteral("Prenotati: %1").arg(chosenPayees().size()));
}

void TfmJexImpMultiSelect::buOkClick()
{
    const QList<AutonomiPayee> chosen = chosenPayees();
    {
        WaitCursor wait;
        TAutonomiImport imp(*m_conn, *m_store, m_variant, policy());
        imp.onPerson = [this](const AutonomiPayee &p) {
            laCorrente->setText(p.cognomeNome);
            laCorrente->repaint();
        };
        lastResult = imp.run(chosen);
    }
    accept();
}

void TfmJexImpMultiSelect::start(QWidget *parent, AutonomiVariant variant)
{
    std::unique_ptr<TfmJexImpMultiSelect> w;
    try {
        w.reset(variant == AutonomiVariant::Full ? new TfmJexImpMultiSelect(parent)
                                                 : new TfmJexImpMultiSelectOnlyAna(parent));
    } catch (const std::exception &e) {
        messages().error(errorText(e));
        return;
    }
    if (w->isEmpty()) {
        messages().warning(QStringLiteral("Nessuna dato da importare!"));
        return;
    }
    w->exec();
}

void registerAutonomiWindows(WindowRegistry &registry)
{
    registry.forms.add(QStringLiteral("TfmJexImpMultiSelect"),
                       [](QWidget *parent) -> QWidget * { return new TfmJexImpMultiSelect(parent); });
    registry.forms.add(QStringLiteral("TfmJexImpMultiSelectOnlyAna"),
                       [](QWidget *parent) -> QWidget * { return new TfmJexImpMultiSelectOnlyAna(parent); });
    registry.hooks.setHook(QStringLiteral("xafImpAuton"), [](const ItemContext &) {
        TfmJexImpMultiSelect::start(QApplication::activeWindow(), AutonomiVariant::Full);
    });
    registry.hooks.setHook(QStringLiteral("xafImpAutOnlyAna"), [](const ItemContext &) {
        TfmJexImpMultiSelect::start(QApplication::activeWindow(), AutonomiVariant::OnlyRegistry);
    });
}

} // namespace jex
