#include "importwindows/cudwindow.h"
#include "importwindows/persongrid.h"
#include "windowregistration.h"

#include "base/appcontext.h"
#include "base/errors.h"
#include "base/messages.h"
#include "shell/registry.h"
#include "shell/waitcursor.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <functional>

namespace jex {

TfmJexImpCUD::TfmJexImpCUD(QWidget *parent, TQxSQLConnection *conn) : QDialog(parent), m_conn(conn)
{
    setObjectName(QStringLiteral("fmJexImpCUD"));
    if (!m_conn)
        m_conn = &AppContext::instance().connection().xqoMain;
    m_job = std::make_unique<TCudImport>(*m_conn);
    setWindowTitle(caption());

    auto *layout = new QVBoxLayout(this);
    grMulti = new PersonGrid(this);
    // A click on a column title orders by that column and goes to the first row.
    connect(grMulti->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        grMulti->sortBy(column);
        grMulti->moveTo(0);
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
    action(acPrimo, QStringLiteral("&Primo"), QKeySequence(Qt::Key_Home), [this] { grMulti->moveTo(0); });
    action(acPrecedente, QStringLiteral("Pre&cedente"), QKeySequence(),
           [this] { grMulti->moveTo(grMulti->currentRow() - 1); });
    action(acSuccessivo, QStringLiteral("&Successivo"), QKeySequence(),
           [this] { grMulti->moveTo(grMulti->currentRow() + 1); });
    action(acUltimo, QStringLiteral("&Ultimo"), QKeySequence(Qt::Key_End),
           [this] { grMulti->moveTo(grMulti->rowCount() - 1); });
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
        grMulti->setPersons(m_job->persons());
        ckSost->setChecked(m_job->agentMissing());
    } catch (const std::exception &e) {
        messages().error(errorText(e));
    }
    buImporta->setEnabled(grMulti->rowCount() > 0);
    if (grMulti->rowCount() == 0)
        laPersona->setText(QStringLiteral("Nessuna certificazione da importare"));
    grMulti->moveTo(0);
}

QStringList TfmJexImpCUD::selection() const { return grMulti->selectedCodes(); }

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
