#pragma once

// Sections of the return kept in memory, with the columns of the table
// catalogue: the telematic file runs on them in tests, in the benchmark and
// wherever the database's structure service is not at hand.

#include "dataset/dataset.h"
#include "telematic/generation.h"

#include <QHash>
#include <memory>

namespace jex {

// Defines a dataset with the columns the catalogue gives a table (plus
// IAFIID and IFISRIGO) and opens it empty. Throws EQxError for an unknown table.
void defineFromCatalogue(ClientDataSet &ds, const QString &table, const QString &catalogueFile = {});

class MemorySectionStore
{
public:
    explicit MemorySectionStore(const QString &catalogueFile = {}) : m_catalogue(catalogueFile) {}
    // The stored table, created empty on first use.
    ClientDataSet &table(const QString &name);
    SectionAccess access();

private:
    QString m_catalogue;
    QHash<QString, std::shared_ptr<ClientDataSet>> m_tables;
};

} // namespace jex
