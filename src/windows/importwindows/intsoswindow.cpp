#include "importwindows/intsoswindow.h"
#include "windowregistration.h"

#include "base/appcontext.h"
#include "base/messages.h"
#include "sections/databasestore.h"
#include "shell/registry.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace jex {

namespace {
struct WaitCursor
{
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};
} // namespace

TfmJexIntSos::TfmJexIntSos(QWidget *parent, IntSosVariant variant, TQxSQLConnection *conn, SectionStore *store)
    : QDialog(parent), m_variant(variant), m_conn(conn), m_store(store)
{
    setObjectName(QStringLiteral("fmJexIntSos"));
    if (!m_conn)
        m_conn = &AppContext::instance().connection().xqoMain;
    if (!m_store)
        m_store = &applicationStore();
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
    layout->addWidget(grMulti);

    laStato = new QLabel(this);
    laStato->setObjectName(QStringLiteral("laStato"));
    QFont bold = laStato->font();
    bold.setBold(true);
    laStato->setFont(bold);
    layout->addWidget(laStato);

    auto *buttons = new QDialogButtonBox(this);
    buImporta = buttons->addButton(QStringLiteral("Importa"), QDialogButtonBox::ActionRole);
    buImporta->setObjectName(QStringLiteral("buImporta"));
    auto *buChiudi = buttons->addButton(QStringLiteral("Chiudi"), QDialogButtonBox::RejectRole);
    connect(buImporta, &QPushButton::clicked, this, &TfmJexIntSos::acImportaExecute);
    connect(buChiudi, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);
    buImporta->setEnabled(false);
    resize(620, 520);
}

TfmJexIntSos::~TfmJexIntSos() = default;

void TfmJexIntSos::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    if (m_dir.isEmpty())
        m_dir = property("directory").toString();
    if (!isPrepared() && !prepare())
        QTimer::singleShot(0, this, &QDialog::reject);
}

bool TfmJexIntSos::prepare()
{
    WaitCursor wait;
    auto job = std::make_unique<TIntSosImport>(*m_conn, *m_store, m_variant, m_dir);
    if (!job->open()) {
        messages().error(job->error());
        return false;
    }
    m_model->removeRows(0, m_model->rowCount());
    for (const IntSosPerson &p : job->persons())
        m_model->appendRow({new QStandardItem(p.codFis), new QStandardItem(p.cognome), new QStandardItem(p.nome)});
    m_model->sort(0);
    job->onPerson = [this](const QString &who) {
        laStato->setText(who);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    m_job = std::move(job);
    buImporta->setEnabled(m_model->rowCount() > 0);
    if (m_model->rowCount() == 0)
        laStato->setText(QStringLiteral("Nessuna persona da integrare nella cartella scelta"));
    return true;
}

int TfmJexIntSos::rowCount() const { return m_model->rowCount(); }

QStringList TfmJexIntSos::selection() const
{
    QStringList out;
    for (const QModelIndex &i : grMulti->selectionModel()->selectedRows(0))
        out << i.data().toString();
    return out;
}

void TfmJexIntSos::acImportaExecute()
{
    if (!m_job || !buImporta->isEnabled())
        return;
    buImporta->setEnabled(false);
    grMulti->setEnabled(false);
    {
        WaitCursor wait;
        m_succeeded = executeIntSos(*m_job, selection());
    }
    laStato->clear();
    // The integration is one click: the window has done its work.
    if (m_succeeded)
        accept();
    else
        reject();
}

TfmJexIntSosDip::TfmJexIntSosDip(QWidget *parent, TQxSQLConnection *conn, SectionStore *store)
    : TfmJexIntSos(parent, IntSosVariant::Employees, conn, store)
{
    setObjectName(QStringLiteral("fmJexIntSosDip"));
    setWindowTitle(caption());
}

TfmJexIntSosAut::TfmJexIntSosAut(QWidget *parent, TQxSQLConnection *conn, SectionStore *store)
    : TfmJexIntSos(parent, IntSosVariant::SelfEmployed, conn, store)
{
    setObjectName(QStringLiteral("fmJexIntSosAut"));
    setWindowTitle(caption());
}

void registerIntSosWindows(WindowRegistry &registry)
{
    registry.forms.add(QStringLiteral("TfmJexIntSosDip"),
                       [](QWidget *parent) -> QWidget * { return new TfmJexIntSosDip(parent); });
    registry.forms.add(QStringLiteral("TfmJexIntSosAut"),
                       [](QWidget *parent) -> QWidget * { return new TfmJexIntSosAut(parent); });
}

} // namespace jex
