#pragma once

#include <QAbstractTableModel>
#include <QPointer>

namespace jex {

class ClientDataSet;

// Read-only table model over a client dataset: one row per record of its
// current view, one column per visible field, texts as the fields give them
// (so zero blanking and amount formats apply in grids too).
class DataSetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit DataSetModel(ClientDataSet *ds, QObject *parent = nullptr);

    void setDataSet(ClientDataSet *ds);
    ClientDataSet *dataSet() const { return m_ds; }
    int fieldIndexOfColumn(int column) const;
    int columnOfField(int fieldIndex) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

public Q_SLOTS:
    void reload();

Q_SIGNALS:
    void currentRowChanged(int row);

private:
    void rebuildColumns();
    QPointer<ClientDataSet> m_ds;
    QVector<int> m_columns; // field index per column
};

} // namespace jex
