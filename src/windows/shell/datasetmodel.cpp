#include "shell/datasetmodel.h"

#include "dataset/dataset.h"

namespace jex {

DataSetModel::DataSetModel(ClientDataSet *ds, QObject *parent)
    : QAbstractTableModel(parent)
{
    setDataSet(ds);
}

void DataSetModel::setDataSet(ClientDataSet *ds)
{
    if (m_ds)
        disconnect(m_ds, nullptr, this, nullptr);
    beginResetModel();
    m_ds = ds;
    rebuildColumns();
    endResetModel();
    if (!ds)
        return;
    connect(ds, &ClientDataSet::dataSetChanged, this, &DataSetModel::reload);
    connect(ds, &ClientDataSet::stateChanged, this, &DataSetModel::reload);
    connect(ds, &ClientDataSet::recordChanged, this, [this](int) {
        const int row = m_ds->currentRow();
        if (row >= 0 && row < rowCount())
            Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
    });
    connect(ds, &ClientDataSet::scrolled, this, [this] { Q_EMIT currentRowChanged(m_ds->currentRow()); });
}

void DataSetModel::rebuildColumns()
{
    m_columns.clear();
    if (!m_ds)
        return;
    for (int i = 0; i < m_ds->fieldCount(); ++i)
        if (m_ds->field(i)->isVisible())
            m_columns << i;
}

void DataSetModel::reload()
{
    beginResetModel();
    rebuildColumns();
    endResetModel();
    if (m_ds)
        Q_EMIT currentRowChanged(m_ds->currentRow());
}

int DataSetModel::fieldIndexOfColumn(int column) const
{
    return column >= 0 && column < m_columns.size() ? m_columns[column] : -1;
}

int DataSetModel::columnOfField(int fieldIndex) const
{
    return int(m_columns.indexOf(fieldIndex));
}

int DataSetModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_ds || !m_ds->isActive())
        return 0;
    return m_ds->recordCount();
}

int DataSetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant DataSetModel::data(const QModelIndex &index, int role) const
{
    if (!m_ds || !index.isValid())
        return {};
    const int f = fieldIndexOfColumn(index.column());
    if (f < 0)
        return {};
    if (role == Qt::DisplayRole)
        return m_ds->textAt(index.row(), f, true);
    if (role == Qt::TextAlignmentRole && m_ds->field(f)->isNumeric())
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || !m_ds)
        return {};
    if (orientation == Qt::Horizontal) {
        const int f = fieldIndexOfColumn(section);
        return f < 0 ? QVariant() : QVariant(m_ds->field(f)->displayLabel());
    }
    return m_ds->currentRow() == section ? QVariant(QStringLiteral("▶")) : QVariant();
}

} // namespace jex
