#pragma once

// The sections of the return kept in memory, each with the columns the table
// catalogue gives it, as the database gives them: what tests, benchmarks and
// the command line use where no database is at hand.

#include "catalogue/catalogue.h"
#include "dataset/dataset.h"
#include "sections/sectionstore.h"

#include <QHash>
#include <QPair>
#include <QStringList>
#include <memory>
#include <optional>

namespace jex {

class MemorySectionStore : public SectionStore
{
public:
    // The installation's catalogue, or the given file of program "jex".
    explicit MemorySectionStore(const QString &catalogueFile = {}, int year = 2024);

    int year() const override { return m_year; }
    void openCds(const QString &section, ClientDataSet &ds) override { openCdsPeriod(section, ds, 0, m_year); }
    void openCdsPeriod(const QString &section, ClientDataSet &ds, int month, int year) override;
    void saveCds(const QString &section, ClientDataSet &ds) override;

    // The stored rows of a section of a year (the store's year when 0),
    // created empty on first use; tests fill and read it directly.
    ClientDataSet &table(const QString &section, int year = 0);
    // Replaces a section's rows with one record filled by `fill`.
    template <typename F>
    void put(const QString &section, int year, F fill)
    {
        ClientDataSet &ds = table(section, year);
        ds.emptyDataSet();
        ds.append();
        fill(ds);
        ds.post();
        ds.mergeChangeLog();
    }
    // A copy of a section as opening it gives.
    std::unique_ptr<ClientDataSet> load(const QString &section, int year = 0);

    int saves(const QString &section) const { return m_saves.value(section.toUpper()); }
    const QStringList &savedNames() const { return m_savedNames; }

    // Columns of a section as the catalogue gives them.
    void define(const QString &section, ClientDataSet &ds) const;

private:
    const TableCatalogue &catalogue() const;

    std::optional<TableCatalogue> m_catalogue;
    int m_year;
    QHash<QPair<QString, int>, std::shared_ptr<ClientDataSet>> m_tables;
    QHash<QString, int> m_saves;
    QStringList m_savedNames;
};

} // namespace jex
