#include "filewizard/wizard.h"
#include "telematic/supply/checker.h"
#include "telematic/supply/supplylayout.h"

#include "telematic/job.h"
#include "checks/reconcilerun.h"
#include "sections/databasestore.h"

#include "database/structureservice.h"
#include "base/errors.h"
#include "base/paths.h"
#include "telematic/returndata.h"
#include "base/messages.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace jex {

TdmJexFile &dmJexFile()
{
    static TdmJexFile dm;
    static TQmrDBCds service;
    static DbCdsStore store(&service);
    if (!dm.store)
        dm.store = &store;
    return dm;
}

namespace {

const QString kTitle = QStringLiteral("Generazione del file telematico da inviare all'Agenzia delle Entrate");

struct WaitCursor
{
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

QWidget *page(const QString &name, QWidget *body = nullptr)
{
    auto *w = new QWidget;
    w->setObjectName(name);
    auto *l = new QVBoxLayout(w);
    auto *title = new QLabel(kTitle);
    QFont f = title->font();
    f.setBold(true);
    title->setFont(f);
    title->setAlignment(Qt::AlignCenter);
    title->setWordWrap(true);
    l->addWidget(title);
    if (body)
        l->addWidget(body, 1);
    else
        l->addStretch(1);
    return w;
}

// The reconciliation of certifications, summary tables and F24 payments,
// as warnings in the memo: the user reads them before saving the file.
void addReconciliationWarnings(SectionStore &store, const std::function<void(const QString &)> &add)
{
    constexpr int kShown = 30;
    try {
        ReconcileJob job = programReconcileJob(store);
        const ReconcileReport &report = job.run();
        add(QStringLiteral("Quadratura CU / 770 / F24: ") + report.summary());
        int shown = 0;
        for (const ReconcileLine &l : report.lines) {
            if (!l.flagged)
                continue;
            if (++shown > kShown) {
                add(QStringLiteral("... e altre %1: vedere la stampa \"Quadratura CU / 770 / F24\"")
                        .arg(report.flagged() - kShown));
                break;
            }
            add(QStringLiteral("Attenzione: ") + l.describe());
        }
    } catch (const std::exception &e) {
        add(QStringLiteral("Quadratura CU / 770 / F24 non eseguita: ") + errorText(e));
    }
}

} // namespace

TfmJexFile::TfmJexFile(QWidget *parent) : TfmJexFile(dmJexFile(), parent) {}

TfmJexFile::TfmJexFile(TdmJexFile &dm, QWidget *parent) : QDialog(parent), m_dm(&dm)
{
    build();
    chooseFile = [this](const QString &dir, const QString &name) {
        QFileDialog dlg(this, QStringLiteral("Salva"), dir);
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
        dlg.setOption(QFileDialog::ReadOnly, false);
        dlg.selectFile(name);
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
            return QString();
        return dlg.selectedFiles().first();
    };
    FormCreate();
}

TfmJexFile::~TfmJexFile() { m_dm->addInfo = nullptr; }

void TfmJexFile::build()
{
    setObjectName(QStringLiteral("fmJexFile"));
    setWindowTitle(QStringLiteral("Generazione file telematico 770"));
    resize(580, 388);
    pcMain = new QStackedWidget(this);
    pcMain->setObjectName(QStringLiteral("pcMain"));

    auto radios = [](const QString &caption, QRadioButton *&yes, QRadioButton *&no, const char *yesName,
                     const char *noName) {
        auto *g = new QGroupBox(caption);
        auto *l = new QVBoxLayout(g);
        yes = new QRadioButton(QStringLiteral("Si"));
        no = new QRadioButton(QStringLiteral("No"));
        yes->setObjectName(QString::fromLatin1(yesName));
        no->setObjectName(QString::fromLatin1(noName));
        yes->setChecked(true);
        l->addWidget(yes);
        l->addWidget(no);
        l->addStretch(1);
        return g;
    };

    pcMain->addWidget(page(QStringLiteral("tsLavDip")));
    pcMain->addWidget(page(QStringLiteral("tsLavAuto")));
    pcMain->addWidget(page(QStringLiteral("tsST")));
    pcMain->addWidget(page(QStringLiteral("tsSV"), radios(QStringLiteral(" Prospetto DI - ST - SV - SX"), rbTuttiSv,
                                                        rbNessunoSv, "rbTuttiSv", "rbNessunoSv")));
    pcMain->addWidget(page(QStringLiteral("tsSX")));
    pcMain->addWidget(page(QStringLiteral("tsSY"), radios(QStringLiteral(" Prospetto SY"), rbTuttiSY, rbNessunoSY,
                                                        "rbTuttiSY", "rbNessunoSY")));
    auto *crea = new QWidget;
    auto *cl = new QVBoxLayout(crea);
    buInizio = new QPushButton(QStringLiteral("Crea File telematico"));
    buInizio->setObjectName(QStringLiteral("buInizio"));
    buInizio->setToolTip(QStringLiteral("Creazione file telematico"));
    laStatus = new QLabel(QStringLiteral("Indica lo stato della generazione del file telematico:"));
    laStatus->setObjectName(QStringLiteral("laStatus"));
    meInfo = new QPlainTextEdit;
    meInfo->setObjectName(QStringLiteral("meInfo"));
    meInfo->setReadOnly(true);
    meInfo->setLineWrapMode(QPlainTextEdit::NoWrap);
    meInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    meInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    cl->addWidget(buInizio, 0, Qt::AlignLeft);
    cl->addWidget(laStatus);
    cl->addWidget(meInfo, 1);
    tsCrea = page(QStringLiteral("tsCrea"), crea);
    pcMain->addWidget(tsCrea);
    tsCrea->setEnabled(false);

    buPrior = new QPushButton(QStringLiteral("< Indietro"));
    buNext = new QPushButton(QStringLiteral("Avanti >"));
    buOk = new QPushButton(QStringLiteral("Salva"));
    buCancel = new QPushButton(QStringLiteral("Annulla"));
    buPrior->setObjectName(QStringLiteral("buPrior"));
    buNext->setObjectName(QStringLiteral("buNext"));
    buOk->setObjectName(QStringLiteral("buOk"));
    buCancel->setObjectName(QStringLiteral("buCancel"));
    for (QPushButton *b : {buPrior, buNext, buOk, buCancel, buInizio})
        b->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton *b : {buPrior, buNext, buOk, buCancel})
        buttons->addWidget(b);
    auto *main = new QVBoxLayout(this);
    main->addWidget(pcMain, 1);
    main->addLayout(buttons);

    connect(buNext, &QPushButton::clicked, this, &TfmJexFile::next);
    connect(buPrior, &QPushButton::clicked, this, &TfmJexFile::prior);
    connect(buInizio, &QPushButton::clicked, this, &TfmJexFile::buInizioClick);
    connect(buOk, &QPushButton::clicked, this, &TfmJexFile::buOkClick);
    connect(buCancel, &QPushButton::clicked, this, [this] {
        buCancelClick();
        reject();
    });
}

void TfmJexFile::FormCreate()
{
    m_dm->openTables(true);
    tsCrea->setEnabled(false);
}

void TfmJexFile::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (m_shown)
        return;
    // An exception must not leave an event handler: the wizard says what
    // went wrong and closes, the program goes on.
    try {
        FormShow();
    } catch (const EAbort &) {
        QTimer::singleShot(0, this, &QDialog::reject);
    } catch (const std::exception &ex) {
        messages().error(QStringLiteral("Errore non previsto: ") + errorText(ex));
        QTimer::singleShot(0, this, &QDialog::reject);
    }
}

void TfmJexFile::addInfo(const QString &line)
{
    meInfo->appendPlainText(line);
}

QStringList TfmJexFile::infoLines() const
{
    return meInfo->toPlainText().split(u'\n', Qt::SkipEmptyParts);
}

int TfmJexFile::currentPage() const { return pcMain->currentIndex(); }

void TfmJexFile::selectPath(const QString &name)
{
    m_path = name;
    m_pos = 0;
    pcMain->setCurrentIndex(m_paths.value(name).value(0));
}

void TfmJexFile::FormShow()
{
    m_shown = true;
    m_dm->addInfo = [this](const QString &l) { addInfo(l); };
    TelematicJob(*m_dm).open(false);
    m_paths = {{QStringLiteral("Default"), {tsSVIdx, tsSYIdx, tsCreaIdx}},
               {QStringLiteral("onlyfile"), {tsCreaIdx}},
               {QStringLiteral("onlySV-ST-Sx-DI"), {tsSVIdx, tsCreaIdx}},
               {QStringLiteral("onlySY"), {tsSYIdx, tsCreaIdx}}};
    const QString path = TelematicJob(*m_dm).path();
    selectPath(path);
    buPrior->setEnabled(false);
    buOk->setEnabled(false);
    if (path == u"onlyfile") {
        buNext->setEnabled(false);
        tsCrea->setEnabled(true);
        buInizio->setFocus();
    }
}

void TfmJexFile::next()
{
    const QList<int> pages = m_paths.value(m_path);
    if (m_pos + 1 >= pages.size())
        return;
    pcMain->setCurrentIndex(pages[++m_pos]);
    buPrior->setEnabled(m_pos > 0);
    NavigatorClick();
}

void TfmJexFile::prior()
{
    const QList<int> pages = m_paths.value(m_path);
    if (m_pos == 0)
        return;
    pcMain->setCurrentIndex(pages[--m_pos]);
    buPrior->setEnabled(m_pos > 0);
    buNext->setEnabled(true);
    NavigatorClick();
}

void TfmJexFile::NavigatorClick()
{
    const int p = pcMain->currentIndex();
    auto empty = [this](std::initializer_list<const char *> names) {
        for (const char *n : names) {
            ClientDataSet &ds = m_dm->cds(n);
            if (ds.isActive() && ds.recordCount() > 0)
                return false;
        }
        return true;
    };
    if (p == tsCreaIdx) {
        buNext->setEnabled(false);
        tsCrea->setEnabled(true);
        buOk->setEnabled(false);
        buInizio->setFocus();
    } else if (p == tsSVIdx) {
        if (empty({"cdsPrSv", "cdsPrSt", "cdsPrSt2", "cdsPrSt3", "cdsPrSt4", "cdsPrDi", "cdsPrSx"}))
            next();
    } else if (p == tsSYIdx) {
        if (empty({"cdsPrSy", "cdsPrSy2", "cdsPrSy3", "cdsPrSy4"}))
            next();
    }
}

void TfmJexFile::buInizioClick()
{
    {
        WaitCursor wait;
        TelematicJob job(*m_dm);
        QStringList lines;
        if (!job.check(lines)) {
            if (messages().showFindings(lines, true) != ModalResult::Yes) {
                addInfo(QStringLiteral("Generazione file telematico terminata dall'utente"));
                reject();
                return;
            }
        }
        for (QPushButton *b : {buNext, buInizio, buPrior, buCancel, buOk})
            b->setEnabled(false);
        try {
            job.generate(rbTuttiSv->isChecked(), rbTuttiSY->isChecked());
            addInfo(QStringLiteral("Operazione terminata con successo."));
            addReconciliationWarnings(*m_dm->store, [this](const QString &l) { addInfo(l); });
            buOk->setEnabled(true);
            buOk->setFocus();
        } catch (const std::exception &e) {
            addInfo(QStringLiteral("***** ") + errorText(e));
            messages().error(QStringLiteral("Operazione terminata con errore"));
        }
    }
    buCancel->setEnabled(true);
}

void TfmJexFile::buOkClick()
{
    const QString dir = Paths::telematicOutDir();
    QDir().mkpath(dir);
    const QString chosen = chooseFile ? chooseFile(dir, QStringLiteral("770") + QStringLiteral("2025").right(2)) : QString();
    if (chosen.isEmpty()) {
        buCancelClick();
        return;
    }
    // The save dialog does not ask: a supply already there may be the one
    // sent, so the window asks before replacing it.
    if (QFileInfo::exists(chosen)
        && !messages().confirm(QStringLiteral("Il file %1 esiste già. Sostituirlo con la nuova fornitura?")
                                   .arg(QDir::toNativeSeparators(chosen)))) {
        addInfo(QStringLiteral("File non scritto: il file esistente è stato lasciato com'era."));
        return;
    }
    m_outFile = chosen;
    try {
        {
            WaitCursor wait;
            const QStringList files = TelematicJob(*m_dm).write(m_outFile);
            // What was written is checked as a supply read back from disk.
            const supply::CheckReport report = supply::checkSupply(files, supply::SupplyLayouts(m_dm->layoutDir));
            for (const supply::Finding &f : report.findings.mid(0, 20))
                addInfo(f.toString());
            addInfo(QStringLiteral("Controllo del file scritto: ") + report.summary());
        }
        buCancelClick();
        messages().messageDlg(QStringLiteral("Generazione file completata con successo. Il file è presente in:\n\r")
                                  + m_outFile + QStringLiteral("\r\n"),
                              DlgType::Warning, Buttons::Ok);
        accept();
    } catch (const std::exception &e) {
        addInfo(QStringLiteral("***** ") + errorText(e));
        messages().error(errorText(e));
    }
}

void TfmJexFile::buCancelClick()
{
    TelematicJob(*m_dm).close();
}

} // namespace jex
