#pragma once

#include "imports/f24/f24import.h"

#include <QHash>

namespace jex {

// Field definitions of a table of the return, read from the delivered
// table catalogue (with the IAFIID and IFISRIGO every table carries).
QVector<FieldDef> catalogueFieldDefs(const QString &table);

// Keeps each table in memory with the catalogue's structure: the import's
// stand-in for the structure service where no database structures exist.
class MemoryProspettoStore : public ProspettoStore
{
public:
    void open(const QString &table, ClientDataSet &cds) override;
    void save(const QString &table, ClientDataSet &cds) override;

    // How many times a table was saved.
    int saves(const QString &table) const { return m_saves.value(table.toUpper()); }

private:
    QHash<QString, QByteArray> m_tables;
    QHash<QString, int> m_saves;
};

} // namespace jex
