#include "filewizard/checkfilewindow.h"

#include "base/errors.h"
#include "base/messages.h"
#include "filewizard/supplyfilepicker.h"
#include "telematic/supply/reader.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace jex {

TfmJexCheckFile::TfmJexCheckFile(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmJexCheckFile"));
    setWindowTitle(QStringLiteral("Controlla file telematico"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("File telematico da controllare prima dell'invio:"), this));
    piFile = new SupplyFilePicker(this);
    layout->addWidget(piFile);
    meRisultato = new QPlainTextEdit(this);
    meRisultato->setObjectName(QStringLiteral("meRisultato"));
    meRisultato->setReadOnly(true);
    meRisultato->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(meRisultato, 1);
    auto *buttons = new QDialogButtonBox(this);
    buControlla = buttons->addButton(QStringLiteral("Controlla"), QDialogButtonBox::ActionRole);
    buChiudi = buttons->addButton(QStringLiteral("Chiudi"), QDialogButtonBox::RejectRole);
    buControlla->setEnabled(false);
    layout->addWidget(buttons);
    connect(piFile, &SupplyFilePicker::filesChanged, this, [this] { buControlla->setEnabled(!piFile->files().isEmpty()); });
    connect(buControlla, &QPushButton::clicked, this, [this] { buControllaClick(); });
    connect(buChiudi, &QPushButton::clicked, this, &QDialog::reject);
    resize(760, 420);
}

int TfmJexCheckFile::buControllaClick()
{
    if (piFile->files().isEmpty())
        return 2;
    meRisultato->clear();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Restore { ~Restore() { QApplication::restoreOverrideCursor(); } } restore;
    try {
        const supply::CheckReport report = supply::checkFile(piFile->files());
        meRisultato->setPlainText(report.lines().join(u'\n'));
        return report.exitCode();
    } catch (const std::exception &e) {
        meRisultato->setPlainText(QStringLiteral("***** ") + errorText(e));
        return 2;
    }
}

} // namespace jex
