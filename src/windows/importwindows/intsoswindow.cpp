#include "importwindows/intsoswindow.h"
#include "windowregistration.h"

#include "base/appcontext.h"
#include "base/messages.h"
#include "sections/databasestore.h"
#include "shell/registry.h"
#include "shell/waitcursor.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace jex {

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
    grMulti = new PersonGrid(this);
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
    grMulti->setPersons(job->persons());
    job->onPerson = [this](const QString &who) {
        laStato->setText(who);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    m_job = std::move(job);
    buImporta->setEnabled(grMulti->rowCount() > 0);
    if (grMulti->rowCount() == 0)
        laStato->setText(QStringLiteral("Nessuna persona da integrare nella cartella scelta"));
    return true;
}

int TfmJexIntSos::rowCount() const { return grMulti->rowCount(); }

QStringList TfmJexIntSos::selection() const { return grMulti->selectedCodes(); }

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
