#include "recipients/aggiungiadd.h"

#include "base/errors.h"
#include "base/messages.h"
#include "imports/cud/additionaltaxes.h"
#include "sections/databasestore.h"
#include "sections/sectionstore.h"
#include "shell/datasetmodel.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace jex {

TfmJexAggiungiAdd::TfmJexAggiungiAdd(SectionStore *store, QWidget *parent)
    : QDialog(parent), m_store(store ? store : (sectionStore() ? sectionStore() : &applicationStore()))
{
    setObjectName(QStringLiteral("TfmJexAggiungiAdd"));
    setWindowTitle(QStringLiteral("Riporta le addizionali IRPEF nei punti 8 e 12 dei Dati Fiscali ..."));
    resize(640, 480);
    m_store->openCds(QStringLiteral("TDIP7_ANAGRFISCALI"), cdsDip);
    const QHash<QString, QString> captions{{QStringLiteral("SDIP7CODFIS"), QStringLiteral("Codice fiscale")},
                                           {QStringLiteral("SDIP7COGNOME"), QStringLiteral("Cognome")},
                                           {QStringLiteral("SDIP7NOME"), QStringLiteral("Nome")}};
    for (int i = 0; i < cdsDip.fieldCount(); ++i) {
        Field *f = cdsDip.field(i);
        f->setVisible(captions.contains(f->name().toUpper()));
        f->setDisplayLabel(captions.value(f->name().toUpper()));
    }
    cdsDip.setIndexFieldNames(QStringLiteral("SDIP7CODFIS"));
    cdsDip.setReadOnly(true);

    auto *lay = new QVBoxLayout(this);
    grDip = new QTableView(this);
    grDip->setObjectName(QStringLiteral("grDip"));
    m_model = new DataSetModel(&cdsDip, this);
    grDip->setModel(m_model);
    grDip->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grDip->setSelectionBehavior(QAbstractItemView::SelectRows);
    grDip->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grDip->horizontalHeader()->setStretchLastSection(true);
    grDip->resizeColumnsToContents();
    lay->addWidget(grDip, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    buEsegui = new QPushButton(QStringLiteral("Esegui"), this);
    buEsegui->setObjectName(QStringLiteral("buEsegui"));
    bottom->addWidget(buEsegui);
    lay->addLayout(bottom);
    connect(buEsegui, &QPushButton::clicked, this, &TfmJexAggiungiAdd::buEseguiClick);
}

QStringList TfmJexAggiungiAdd::chosenCodes() const
{
    const int cf = cdsDip.fieldIndex(QStringLiteral("SDIP7CODFIS"));
    QList<int> rows;
    for (const QModelIndex &i : grDip->selectionModel()->selectedRows())
        rows << i.row();
    if (rows.isEmpty())
        for (int r = 0; r < cdsDip.recordCount(); ++r)
            rows << r;
    std::sort(rows.begin(), rows.end());
    QStringList out;
    for (int r : rows)
        out << cdsDip.valueAt(r, cf).toString();
    return out;
}

void TfmJexAggiungiAdd::buEseguiClick()
{
    const QStringList codes = chosenCodes();
    if (codes.isEmpty()) {
        messages().information(QStringLiteral("Nessun dipendente nell'elenco"));
        return;
    }
    buEsegui->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString caption = windowTitle();
    setWindowTitle(QString::fromUtf8(additionalTaxesCaption));
    bool done = false;
    try {
        carryAdditionalTaxes(*m_store, codes);
        done = true;
    } catch (const EAbort &) {
    } catch (const std::exception &e) {
        QApplication::restoreOverrideCursor();
        messages().error(errorText(e));
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    QApplication::restoreOverrideCursor();
    setWindowTitle(caption);
    if (!done) {
        // Nothing was stored: the user may try again.
        buEsegui->setEnabled(true);
        return;
    }
    messages().information(QStringLiteral("Fine operazione"));
    accept();
}

} // namespace jex
