#include "importwindows/f24window.h"
#include "importwindows/cudwindow.h"
#include "importwindows/readfilewindow.h"
#include "importwindows/autonomiwindow.h"
#include "importwindows/previouswindow.h"
#include "importwindows/intsoswindow.h"
#include "sections/sectionstore.h"
#include "windowregistration.h"

#include "base/appcontext.h"
#include "base/errors.h"
#include "database/params.h"
#include "shell/registry.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace jex {

namespace {

// The payroll says whether the body pays with F24EP (the default) or with
// the ordinary F24.
bool paysWithF24EP()
{
    try {
        const QVariant v = dmZptParams().ParamField(QStringLiteral("IPACOF24EP"));
        return !(v.isValid() && !v.isNull() && v.toInt() == 0);
    } catch (const std::exception &) {
        return true;
    }
}

} // namespace

QString TfmJexImportF24::captionFor(bool f24ep)
{
    return f24ep ? QStringLiteral("Importa da F24EP") : QStringLiteral("Importa da F24");
}

TfmJexImportF24::TfmJexImportF24(QWidget *parent, TQxSQLConnection *conn, SectionStore *store)
    : QDialog(parent), m_conn(conn), m_store(store)
{
    setObjectName(QStringLiteral("fmJexImportF24"));
    if (!m_conn)
        m_conn = &AppContext::instance().connection().xqoMain;
    if (!m_store) {
        m_ownStore = makeProgramStore(*m_conn);
        m_store = m_ownStore.get();
    }
    m_year = programYear(*m_conn);
    setWindowTitle(captionFor(paysWithF24EP()));

    auto *layout = new QVBoxLayout(this);
    ckSTI = new QCheckBox(QStringLiteral("Prospetto ST Sezione I Erario"), this);
    ckSTII = new QCheckBox(QStringLiteral("Prospetto ST Sezione II Addizionalli regionali"), this);
    ckSV = new QCheckBox(QStringLiteral("Prospetto SV Addizionali comunali"), this);
    for (QCheckBox *ck : {ckSTI, ckSTII, ckSV}) {
        ck->setChecked(true);
        layout->addWidget(ck);
        connect(ck, &QCheckBox::toggled, this, &TfmJexImportF24::updateActions);
    }
    auto *note = new QLabel(QStringLiteral("NB.: I dati già presenti saranno cancellati"), this);
    QFont bold = note->font();
    bold.setBold(true);
    note->setFont(bold);
    layout->addWidget(note);
    meReport = new QPlainTextEdit(this);
    meReport->setReadOnly(true);
    layout->addWidget(meReport);
    auto *buttons = new QDialogButtonBox(this);
    buImporta = buttons->addButton(QStringLiteral("Importa"), QDialogButtonBox::ActionRole);
    buAnnulla = buttons->addButton(QStringLiteral("Annulla"), QDialogButtonBox::RejectRole);
    connect(buImporta, &QPushButton::clicked, this, &TfmJexImportF24::acImportaExecute);
    connect(buAnnulla, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(460, 360);
    updateActions();
}

TfmJexImportF24::~TfmJexImportF24() = default;

void TfmJexImportF24::updateActions()
{
    buImporta->setEnabled(ckSTI->isChecked() || ckSTII->isChecked() || ckSV->isChecked());
}

void TfmJexImportF24::acImportaExecute()
{
    if (!buImporta->isEnabled())
        return;
    ImportF24Choice choice;
    choice.st1 = ckSTI->isChecked();
    choice.st2 = ckSTII->isChecked();
    choice.sv = ckSV->isChecked();
    QString report;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct Restore { ~Restore() { QApplication::restoreOverrideCursor(); } } restore;
        meReport->clear();
        executeImportF24(*m_conn, *m_store, choice, m_year, &report);
    }
    meReport->setPlainText(QString(report).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void registerImportWindows(WindowRegistry &registry)
{
    registerAutonomiWindows(registry);
    registerPreviousImportWindow(registry);
    registerIntSosWindows(registry);
    registry.forms.add(QStringLiteral("TfmJexImportF24"),
                                 [](QWidget *parent) -> QWidget * { return new TfmJexImportF24(parent); });
    registry.forms.add(QStringLiteral("TfmJexImpCUD"),
                       [](QWidget *parent) -> QWidget * { return new TfmJexImpCUD(parent); });
    registry.forms.add(QStringLiteral("TfmJexReadFile"),
                       [](QWidget *parent) -> QWidget * { return new TfmJexReadFile(parent); });
}


} // namespace jex
