#include "importwindows/cudwindow.h"
#include "windowregistration.h"

#include "base/appcontext.h"
#include "base/errors.h"
#include "base/messages.h"
#include "shell/registry.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolButton>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace jex {

namespace {
struct WaitCursor
{
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};
} // namespace

TfmJexImpCUD::TfmJexImpCUD(QWidget *parent, TQxSQLConnection *conn) : QDialog(parent), m_conn(conn)
{
    setObjectName(QStringLiteral("fmJexImpCUD"));
    if (!m_conn)
        m_conn = &AppContext::instance().connection().xqoMain;
    m_job = std::make_unique<TCudImport>(*m_conn);
    setWindowTitle(caption());

    auto *layout = new QVBoxLayout(this);
    m_model = new QStandardItemModel(0, 3, this);
    m_model->setHorizontalHeaderLabels({QStringLiteral("Codice fiscale"), QStringLiteral("Cognome"), QStringLiteral("Nome")});
    grMulti = new QTableView(this);
    grMulti->setObjectName(QStringLiteral("grMulti"));
    grMulti->setModel(m_model);
    grMulti->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grMulti->setSelectionBehavior(QAbstractItemView::SelectRows);
    grMulti->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grMulti->verticalHeader()->hide();
    grMulti->horizontalHeader()->setStretchLastSection(true);
    grMulti->setColumnWidth(0, 16 * 10);
    grMulti->setColumnWidth(1, 24 * 8);
    // A click on a column title orders by that column and goes to the first row.
    connect(grMulti->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        m_model->sort(column);
        move(0);
    });
    layout->addWidget(grMulti);

    auto *nav = new QHBoxLayout;
    auto action = [this, nav](QAction *&a, const QString &text, QKeySequence key, std::function<void()> go) {
        a = new QAction(text, this);
        a->setShortcut(key);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(a, &QAction::triggered, this, go);
        addAction(a);
        auto *b = new QToolButton(this);
        b->setDefaultAction(a);
        nav->addWidget(b);
    };
    auto row = [this] { return grMulti->currentIndex().isValid() ? grMulti->currentIndex().row() : 0; };
    action(acPrimo, QStringLiteral("&Primo"), QKeySequence(Qt::Key_Home), [this] { move(0); });
    action(acPrecedente, QStringLiteral("Pre&cedente"), QKeySequence(), [this, row] { move(row() - 1); });
    action(acSuccessivo, QStringLiteral("&Successivo"), QKeySequence(), [this, row] { move(row() + 1); });
    action(acUltimo, QStringLiteral("&Ultimo"), QKeySequence(Qt::Key_End), [this] { move(m_model->rowCount() - 1); });
    nav->addStretch();
    layout->addLayout(nav);

    laPersona = new QLabel(this);
    laPersona->setObjectName(QStringLiteral("laPersona"));
    QFont bold = laPersona->font();
    bold.setBold(true);
    laPersona->setFont(bold);
    layout->addWidget(laPersona);
    ckAdd = new QCheckBox(QStringLiteral("Importare le somme ai punti 14 e 18 dei Dati Fiscali (Add. trattenute)"), this);
    ckAdd->setChecked(true);
    ckSost = new QCheckBox(QStringLiteral("Importa dati sostituto"), this);
    layout->addWidget(ckAdd);
    layout->addWidget(ckSost);

    auto *buttons = new QDialogButtonBox(this);
    buImporta = buttons->addButton(QStringLiteral("Importa"), QDialogButtonBox::ActionRole);
    buChiudi = buttons->addButton(QStringLiteral("Chiudi"), QDialogButtonBox::RejectRole);
    connect(buImporta, &QPushButton::clicked, this, &TfmJexImpCUD::acImportaExecute);
    connect(buChiudi, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);

    m_job->onPerson = [this](const QString &who) {
        laPersona->setText(who);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    m_job->onPhase = [this](const QString &phase) {
        setWindowTitle(phase);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    resize(620, 520);
    fill();
}

TfmJexImpCUD::~TfmJexImpCUD() = default;

void TfmJexImpCUD::fill()
{
    WaitCursor wait;
    try {
        for (const CudPerson &p : m_job->persons())
            m_model->appendRow({new QStandardItem(p.codFis), new QStandardItem(p.cognome), new QStandardItem(p.nome)});
        m_model->sort(0);
        ckSost->setChecked(m_job->agentMissing());
    } catch (const std::exception &e) {
        messages().error(errorText(e));
    }
    buImporta->setEnabled(m_model->rowCount() > 0);
    if (m_model->rowCount() == 0)
        laPersona->setText(QStringLiteral("Nessuna certificazione da importare"));
    move(0);
}

void TfmJexImpCUD::move(int to)
{
    if (m_model->rowCount() == 0)
        return;
    to = std::clamp(to, 0, m_model->rowCount() - 1);
    // Moving does not select: rows are selected only by the user, and none
    // selected means every person.
    grMulti->selectionModel()->setCurrentIndex(m_model->index(to, 0), QItemSelectionModel::NoUpdate);
}

QStringList TfmJexImpCUD::selection() const
{
    QStringList out;
    const QModelIndexList rows = grMulti->selectionModel()->selectedRows(0);
    for (const QModelIndex &i : rows)
        out << i.data().toString();
    return out; // empty: every person
}

void TfmJexImpCUD::acImportaExecute()
{
    if (!buImporta->isEnabled())
        return;
    CudImportOptions options;
    options.persons = selection();
    options.importAgent = ckSost->isChecked();
    options.additionalTaxes = ckAdd->isChecked();
    buImporta->setEnabled(false);
    grMulti->setEnabled(false);
    {
        WaitCursor wait;
        m_succeeded = executeImportCud(*m_job, options);
    }
    setWindowTitle(caption());
    laPersona->clear();
    buImporta->setEnabled(true);
    grMulti->setEnabled(true);
    if (m_succeeded)
        accept();
}

} // namespace jex
