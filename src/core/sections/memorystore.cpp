#include "sections/memorystore.h"

#include "base/errors.h"

namespace jex {

MemorySectionStore::MemorySectionStore(const QString &catalogueFile, int year) : m_year(year)
{
    if (!catalogueFile.isEmpty()) {
        m_catalogue.emplace();
        m_catalogue->loadFile(catalogueFile);
    }
}

const TableCatalogue &MemorySectionStore::catalogue() const
{
    return m_catalogue ? *m_catalogue : TableCatalogue::instance();
}

void MemorySectionStore::define(const QString &section, ClientDataSet &ds) const
{
    const CatalogueTable *t = catalogue().table(section);
    if (!t)
        throw EQxError(QStringLiteral("Tabella %1 assente dal catalogo").arg(section));
    TableCatalogue::makeDataSet(*t, ds);
}

ClientDataSet &MemorySectionStore::table(const QString &section, int year)
{
    auto &slot = m_tables[qMakePair(section.toUpper(), year ? year : m_year)];
    if (!slot) {
        slot = std::make_shared<ClientDataSet>();
        define(section, *slot);
    }
    return *slot;
}

void MemorySectionStore::openCdsPeriod(const QString &section, ClientDataSet &ds, int, int year)
{
    ClientDataSet &src = table(section, year);
    ds.setFiltered(false);
    ds.setFilter(QString());
    ds.setIndexFieldNames(QString());
    ds.copyFrom(src);
    if (!ds.isActive())
        ds.open();
    ds.mergeChangeLog();
    ds.first();
}

void MemorySectionStore::saveCds(const QString &section, ClientDataSet &ds)
{
    ClientDataSet &dst = table(section);
    const QString filter = ds.filter();
    const bool filtered = ds.isFiltered();
    ds.setFiltered(false);
    dst.copyFrom(ds);
    dst.mergeChangeLog();
    ds.setFilter(filter);
    ds.setFiltered(filtered);
    ds.mergeChangeLog();
    m_saves[section.toUpper()] += 1;
    m_savedNames << section;
}

std::unique_ptr<ClientDataSet> MemorySectionStore::load(const QString &section, int year)
{
    auto ds = std::make_unique<ClientDataSet>();
    openCdsPeriod(section, *ds, 0, year ? year : m_year);
    return ds;
}

} // namespace jex
