#pragma once

#include "dataset/dataset.h"

#include <QDialog>

class QPushButton;
class QTableView;

namespace jex {

class DataSetModel;
class SectionStore;

// "Riporta le addizionali IRPEF nei punti 8 e 12 dei Dati Fiscali ...": the
// employees, several of them selectable; "Esegui" carries the surtaxes
// withheld into the ceased-employment boxes of the chosen ones (all of them
// when none is chosen). The work is carryAdditionalTaxes() of the core.
class TfmJexAggiungiAdd : public QDialog
{
    Q_OBJECT
public:
    explicit TfmJexAggiungiAdd(SectionStore *store = nullptr, QWidget *parent = nullptr);

    ClientDataSet cdsDip;
    QTableView *grDip = nullptr;
    QPushButton *buEsegui = nullptr;

    // The codici fiscali of the selected rows, of all rows when none is.
    QStringList chosenCodes() const;
    void buEseguiClick();

private:
    SectionStore *m_store;
    DataSetModel *m_model;
};

} // namespace jex
