#include "tables/codelistwindow.h"

#include "shell/datasetmodel.h"
#include "shell/registry.h"
#include "windowregistration.h"

#include "base/errors.h"
#include "base/messages.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace jex {

TfmJexTabelleCodici::TfmJexTabelleCodici(QWidget *parent, const CodeLists *lists)
    : QDialog(parent), m_lists(lists ? *lists : CodeLists::installation())
{
    setObjectName(QStringLiteral("fmJexTabelleCodici"));
    setWindowTitle(QStringLiteral("Tabelle codici"));
    resize(700, 450);
    auto *lay = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Tabella"), this));
    cbTabella = new QComboBox(this);
    cbTabella->setObjectName(QStringLiteral("cbTabella"));
    top->addWidget(cbTabella, 1);
    lay->addLayout(top);
    laFonte = new QLabel(this);
    laFonte->setObjectName(QStringLiteral("laFonte"));
    laFonte->setWordWrap(true);
    lay->addWidget(laFonte);
    grCodici = new QTableView(this);
    grCodici->setObjectName(QStringLiteral("grCodici"));
    grCodici->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grCodici->setSelectionBehavior(QAbstractItemView::SelectRows);
    grCodici->horizontalHeader()->setStretchLastSection(true);
    m_model = new DataSetModel(&cdsCodici, this);
    grCodici->setModel(m_model);
    lay->addWidget(grCodici, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    buCarica = new QPushButton(QStringLiteral("Carica da file..."), this);
    buCarica->setObjectName(QStringLiteral("buCarica"));
    buChiudi = new QPushButton(QStringLiteral("Chiudi"), this);
    buChiudi->setObjectName(QStringLiteral("buChiudi"));
    bottom->addWidget(buCarica);
    bottom->addWidget(buChiudi);
    lay->addLayout(bottom);

    chooseFile = [](QWidget *w) {
        return QFileDialog::getOpenFileName(w, QStringLiteral("Carica tabella dei codici"), QString(),
                                            QStringLiteral("Tabelle dei codici (*.tsv *.csv *.txt);;Tutti i file (*)"));
    };
    for (const QString &n : m_lists.names())
        cbTabella->addItem(n, n);
    connect(cbTabella, &QComboBox::currentIndexChanged, this,
            [this](int i) { showList(cbTabella->itemData(i).toString()); });
    connect(buCarica, &QPushButton::clicked, this, [this] {
        const QString path = chooseFile(this);
        if (!path.isEmpty())
            loadFile(path);
    });
    connect(buChiudi, &QPushButton::clicked, this, &QDialog::accept);
    if (cbTabella->count() > 0)
        showList(cbTabella->itemData(0).toString());
}

TfmJexTabelleCodici::~TfmJexTabelleCodici() = default;

void TfmJexTabelleCodici::showList(const QString &name)
{
    const CodeListInfo info = m_lists.info(name);
    cdsCodici.close();
    cdsCodici.clearFields();
    try {
        m_lists.open(name, cdsCodici);
    } catch (const EQxError &e) {
        messages().error(e.message(), windowTitle());
    }
    m_model->reload();
    QString state = info.rows == 0 ? emptyCodeListText(name)
                                   : QStringLiteral("%1 codici%2.").arg(info.rows).arg(
                                         info.updated ? QStringLiteral(", caricati dall'utente") : QString());
    laFonte->setText(info.source.isEmpty() ? state : QStringLiteral("Fonte: %1\n%2").arg(info.source, state));
    buCarica->setEnabled(!info.path.isEmpty());
}

bool TfmJexTabelleCodici::loadFile(const QString &path)
{
    const QString name = cbTabella->currentData().toString();
    try {
        const CodeListLoadResult r = m_lists.load(name, path, codeListColumnWidth(name));
        showList(name);
        messages().information(QStringLiteral("%1: %2 codici caricati; la tabella precedente è salvata in %3.")
                                   .arg(name).arg(r.rows).arg(r.backup),
                               windowTitle());
        return true;
    } catch (const EQxError &e) {
        messages().error(e.message() + QStringLiteral("\nLa tabella %1 non è stata modificata.").arg(name),
                         windowTitle());
        return false;
    }
}

void registerTableWindows(WindowRegistry &registry)
{
    registry.forms.add(QStringLiteral("TfmJexTabelleCodici"),
                       [](QWidget *parent) -> QWidget * { return new TfmJexTabelleCodici(parent); });
}

} // namespace jex
