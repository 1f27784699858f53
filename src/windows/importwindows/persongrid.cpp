#include "importwindows/persongrid.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QStandardItemModel>

#include <algorithm>

namespace jex {

PersonGrid::PersonGrid(QWidget *parent) : QTableView(parent), m_model(new QStandardItemModel(0, 3, this))
{
    setObjectName(QStringLiteral("grMulti"));
    m_model->setHorizontalHeaderLabels({QStringLiteral("Codice fiscale"), QStringLiteral("Cognome"), QStringLiteral("Nome")});
    setModel(m_model);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    verticalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    // Room for a codice fiscale and a long surname.
    setColumnWidth(0, 16 * 10);
    setColumnWidth(1, 24 * 8);
}

void PersonGrid::clearPersons() { m_model->removeRows(0, m_model->rowCount()); }

void PersonGrid::addPerson(const QString &codFis, const QString &surname, const QString &name)
{
    m_model->appendRow({new QStandardItem(codFis), new QStandardItem(surname), new QStandardItem(name)});
}

int PersonGrid::rowCount() const { return m_model->rowCount(); }

void PersonGrid::sortBy(int column) { m_model->sort(column); }

void PersonGrid::moveTo(int row)
{
    if (m_model->rowCount() == 0)
        return;
    row = std::clamp(row, 0, m_model->rowCount() - 1);
    selectionModel()->setCurrentIndex(m_model->index(row, 0), QItemSelectionModel::NoUpdate);
}

int PersonGrid::currentRow() const { return currentIndex().isValid() ? currentIndex().row() : 0; }

QStringList PersonGrid::selectedCodes() const
{
    QStringList out;
    for (const QModelIndex &i : selectionModel()->selectedRows(0))
        out << i.data().toString();
    return out;
}

} // namespace jex
