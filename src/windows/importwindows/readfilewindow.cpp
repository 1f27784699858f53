#include "importwindows/readfilewindow.h"

#include "base/errors.h"
#include "base/messages.h"
#include "filewizard/supplyfilepicker.h"
#include "sections/databasestore.h"
#include "telematic/supply/reader.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace jex {

TfmJexReadFile::TfmJexReadFile(QWidget *parent, SectionStore *store) : QDialog(parent), m_store(store)
{
    setObjectName(QStringLiteral("fmJexReadFile"));
    setWindowTitle(QStringLiteral("Leggi file telematico"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Fornitura da leggere nella dichiarazione (frontespizio e prospetti):"), this));
    piFile = new SupplyFilePicker(this);
    layout->addWidget(piFile);
    ckSostituisci = new QCheckBox(QStringLiteral("Sostituisci i prospetti già presenti nella dichiarazione"), this);
    ckSostituisci->setObjectName(QStringLiteral("ckSostituisci"));
    layout->addWidget(ckSostituisci);
    meReport = new QPlainTextEdit(this);
    meReport->setObjectName(QStringLiteral("meReport"));
    meReport->setReadOnly(true);
    meReport->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(meReport, 1);
    auto *buttons = new QDialogButtonBox(this);
    buLeggi = buttons->addButton(QStringLiteral("Leggi"), QDialogButtonBox::ActionRole);
    buChiudi = buttons->addButton(QStringLiteral("Chiudi"), QDialogButtonBox::RejectRole);
    buLeggi->setEnabled(false);
    layout->addWidget(buttons);
    connect(piFile, &SupplyFilePicker::filesChanged, this, [this] { buLeggi->setEnabled(!piFile->files().isEmpty()); });
    connect(buLeggi, &QPushButton::clicked, this, [this] { buLeggiClick(); });
    connect(buChiudi, &QPushButton::clicked, this, &QDialog::reject);
    resize(760, 420);
}

bool TfmJexReadFile::buLeggiClick()
{
    if (piFile->files().isEmpty())
        return false;
    const bool replace = ckSostituisci->isChecked();
    if (replace && !messages().confirm(QStringLiteral("I prospetti già presenti nella dichiarazione saranno cancellati e "
                                                      "sostituiti da quelli della fornitura. Proseguire?")))
        return false;
    meReport->clear();
    try {
        supply::ReadResult result;
        {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            struct Restore { ~Restore() { QApplication::restoreOverrideCursor(); } } restore;
            result = supply::readSupplyInto(m_store ? *m_store : applicationStore(), piFile->files(), replace);
        }
        QStringList lines = result.check.lines();
        lines << result.message << result.rowsByTable;
        meReport->setPlainText(lines.join(u'\n'));
        if (!result.written)
            messages().warning(result.message);
        return result.written;
    } catch (const std::exception &e) {
        meReport->appendPlainText(QStringLiteral("***** ") + errorText(e));
        messages().error(errorText(e));
        return false;
    }
}

} // namespace jex
