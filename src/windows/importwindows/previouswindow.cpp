#include "importwindows/previouswindow.h"
#include "windowregistration.h"

#include "base/appcontext.h"
#include "base/errors.h"
#include "base/messages.h"
#include "base/paths.h"
#include "sections/databasestore.h"
#include "shell/registry.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace jex {

TfmJexImp770ap::TfmJexImp770ap(QWidget *parent, TQxSQLConnection *conn, SectionStore *store)
    : QDialog(parent), m_conn(conn), m_store(store)
{
    setObjectName(QStringLiteral("fmJexImp770ap"));
    setWindowTitle(QStringLiteral("Import anagrafiche da 770 anno precedente "));
    if (!m_conn)
        m_conn = &AppContext::instance().connection().xqoMain;
    if (!m_store)
        m_store = &applicationStore();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Selezionare il tipo di import:"), this));
    ckDipend = new QCheckBox(QStringLiteral("Lav. dipendenti"), this);
    ckDipend->setObjectName(QStringLiteral("ckDipend"));
    ckAuton = new QCheckBox(QStringLiteral("Lav. autonomi"), this);
    ckAuton->setObjectName(QStringLiteral("ckAuton"));
    layout->addWidget(ckDipend);
    layout->addWidget(ckAuton);
    // Ticking one clears the other; both may stay clear.
    connect(ckDipend, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            ckAuton->setChecked(false);
    });
    connect(ckAuton, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            ckDipend->setChecked(false);
    });

    layout->addWidget(new QLabel(QStringLiteral("Cartella dei dati del 770 anno precedente:"), this));
    auto *folder = new QHBoxLayout;
    edPercorso = new QLineEdit(QDir::toNativeSeparators(Paths::previousDataDir()), this);
    edPercorso->setObjectName(QStringLiteral("edPercorso"));
    buSfoglia = new QPushButton(QStringLiteral("Sfoglia..."), this);
    buSfoglia->setObjectName(QStringLiteral("buSfoglia"));
    folder->addWidget(edPercorso, 1);
    folder->addWidget(buSfoglia);
    layout->addLayout(folder);
    connect(buSfoglia, &QPushButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("Scegliere la cartella"),
                                                              QDir::fromNativeSeparators(edPercorso->text()));
        if (!dir.isEmpty())
            edPercorso->setText(QDir::toNativeSeparators(dir));
    });

    laCorrente = new QLabel(this);
    laCorrente->setObjectName(QStringLiteral("laCorrente"));
    layout->addWidget(laCorrente);
    meReport = new QPlainTextEdit(this);
    meReport->setObjectName(QStringLiteral("meReport"));
    meReport->setReadOnly(true);
    meReport->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(meReport, 1);

    auto *buttons = new QDialogButtonBox(this);
    buImporta = buttons->addButton(QStringLiteral("Importa"), QDialogButtonBox::ActionRole);
    buImporta->setObjectName(QStringLiteral("buImporta"));
    buChiudi = buttons->addButton(QStringLiteral("Chiudi"), QDialogButtonBox::RejectRole);
    buChiudi->setObjectName(QStringLiteral("buChiudi"));
    layout->addWidget(buttons);
    connect(buImporta, &QPushButton::clicked, this, [this] { buImportaClick(); });
    connect(buChiudi, &QPushButton::clicked, this, &QDialog::reject);
    resize(620, 380);
}

PreviousKind TfmJexImp770ap::kind() const
{
    return ckDipend->isChecked() ? PreviousKind::Employees : PreviousKind::SelfEmployed;
}

bool TfmJexImp770ap::buImportaClick()
{
    meReport->clear();
    lastResult = {};
    try {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct Restore { ~Restore() { QApplication::restoreOverrideCursor(); } } restore;
        TPreviousRegistryImport imp(*m_conn, *m_store, kind());
        imp.onPerson = [this](const QString &who) {
            laCorrente->setText(who);
            laCorrente->repaint();
        };
        lastResult = imp.run(QDir::fromNativeSeparators(edPercorso->text().trimmed()));
    } catch (const EAbort &) {
        laCorrente->clear();
        return false;
    } catch (const std::exception &e) {
        laCorrente->clear();
        messages().error(errorText(e));
        return false;
    }
    laCorrente->clear();
    meReport->setPlainText(QString(lastResult.report()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    return lastResult.failed == 0;
}

void registerPreviousImportWindow(WindowRegistry &registry)
{
    registry.forms.add(QStringLiteral("TfmJexImp770ap"),
                       [](QWidget *parent) -> QWidget * { return new TfmJexImp770ap(parent); });
}

} // namespace jex
