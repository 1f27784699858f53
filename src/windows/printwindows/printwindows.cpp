#include "printwindows/printwindows.h"

#include "base/desktop.h"

#include "printing/formengine.h"
#include "sections/directorystore.h"
#include "sections/sectionstore.h"
#include "printing/sectionprints.h"

#include "dataset/dataset.h"
#include "base/errors.h"
#include "base/messages.h"
#include "base/paths.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace jex {

TfmJexPdfBase::TfmJexPdfBase(const QString &caption, const QString &defaultName, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(caption);
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Nome file stampa pdf:"), this));
    edFileName = new QLineEdit(defaultName, this);
    row->addWidget(edFileName);
    layout->addLayout(row);
    auto *buttons = new QHBoxLayout;
    buCrea = new QPushButton(QStringLiteral("Crea stampa dichiarazione"), this);
    buApri = new QPushButton(QStringLiteral("Apri stampa dichiarazione"), this);
    buEsci = new QPushButton(QStringLiteral("Esci"), this);
    buApri->setEnabled(false);
    buttons->addWidget(buCrea);
    buttons->addWidget(buApri);
    buttons->addWidget(buEsci);
    layout->addLayout(buttons);
    meMessaggi = new QPlainTextEdit(this);
    meMessaggi->setReadOnly(true);
    layout->addWidget(meMessaggi);
    connect(buCrea, &QPushButton::clicked, this, &TfmJexPdfBase::crea);
    connect(buApri, &QPushButton::clicked, this, &TfmJexPdfBase::apri);
    connect(buEsci, &QPushButton::clicked, this, &QDialog::close);
}

QString TfmJexPdfBase::outputPath() const
{
    return Paths::printsDir() + edFileName->text().trimmed() + QStringLiteral(".pdf");
}

void TfmJexPdfBase::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    meMessaggi->clear();
    edFileName->setFocus();
}

void TfmJexPdfBase::crea()
{
    const QString path = outputPath();
    try {
        if (!runPrint(path)) {
            meMessaggi->appendPlainText(noPrintText(objectName() == QLatin1String("TfmJexPdfSS")));
            return;
        }
    } catch (const EAbort &) {
        return;
    } catch (const std::exception &e) {
        messages().error(errorText(e));
        return;
    }
    buApri->setEnabled(true);
    buApri->setFocus();
    meMessaggi->appendPlainText(QStringLiteral("File generato: ") + path);
}

void TfmJexPdfBase::apri()
{
    if (Desktop *shown = desktop())
        shown->openPath(outputPath());
    buEsci->setFocus();
}

TfmJexPdfSection::TfmJexPdfSection(const QString &caption, const QString &defaultName,
                                   std::function<bool(const QString &)> print, QWidget *parent)
    : TfmJexPdfBase(caption, defaultName, parent), m_print(std::move(print))
{
}

TfmJexPdfFront::TfmJexPdfFront(QWidget *parent)
    : TfmJexPdfBase(QStringLiteral("Stampa Frontespizio"), QStringLiteral("Frontespizio"), parent),
      m_sost(new ClientDataSet)
{
    setObjectName(QStringLiteral("TfmJexPdfFront"));
}

TfmJexPdfFront::~TfmJexPdfFront()
{
    delete m_sost;
}

void TfmJexPdfFront::showEvent(QShowEvent *event)
{
    TfmJexPdfBase::showEvent(event);
    try {
        currentStore().openCds(QStringLiteral("TSOS_DATOSOSTITUTO"), *m_sost);
        TdmJexStampe::refreshAgentCounters(*m_sost);
        if (m_sost->hasPendingChanges())
            currentStore().saveCds(QStringLiteral("TSOS_DATOSOSTITUTO"), *m_sost);
    } catch (const std::exception &e) {
        messages().error(errorText(e));
    }
}

bool TfmJexPdfFront::runPrint(const QString &path)
{
    if (!TdmJexStampe::printFront(*m_sost, path)) {
        messages().error(pdfCreationErrorText());
        return false;
    }
    return true;
}

namespace {

struct WindowDef
{
    const char *className, *caption, *fileName;
    bool (TdmJexProspSTPDF::*print)(const QString &);
};

const WindowDef windows[] = {
    {"TfmJexPdfSS", "Stampa Prospetto SS", "SS", &TdmJexProspSTPDF::PrintProspSS},
    {"TfmJexPdfST", "Stampa Prospetto ST", "ST", &TdmJexProspSTPDF::PrintProspST},
    {"TfmJexPdfDI", "Stampa Prospetto DI", "DI", &TdmJexProspSTPDF::PrintProspDI},
    {"TfmJexPdfSV", "Stampa Prospetto SV", "SV", &TdmJexProspSTPDF::PrintProspSV},
    {"TfmJexPdfSX", "Stampa Prospetto SX", "SX", &TdmJexProspSTPDF::PrintProspSX},
    {"TfmJexPdfSY", "Stampa Prospetto SY", "SY", &TdmJexProspSTPDF::PrintProspSY},
};

} // namespace

QStringList printWindowClassNames()
{
    QStringList names{QStringLiteral("TfmJexPdfFront")};
    for (const WindowDef &w : windows)
        names << QLatin1String(w.className);
    return names;
}

QDialog *createPrintWindow(const QString &className, QWidget *parent)
{
    if (className == QLatin1String("TfmJexPdfFront"))
        return new TfmJexPdfFront(parent);
    for (const WindowDef &w : windows) {
        if (className != QLatin1String(w.className))
            continue;
        auto fn = w.print;
        auto *dlg = new TfmJexPdfSection(QString::fromUtf8(w.caption), QLatin1String(w.fileName),
                                         [fn](const QString &path) {
                                             TdmJexProspSTPDF module;
                                             module.openAfterReport = false;
                                             return (module.*fn)(path);
                                         },
                                         parent);
        dlg->setObjectName(QLatin1String(w.className));
        return dlg;
    }
    return nullptr;
}

} // namespace jex
