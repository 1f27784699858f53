#include "sections/directorystore.h"

#include "base/errors.h"
#include "catalogue/catalogue.h"
#include "dataset/dataset.h"

#include <QDir>

namespace jex {

void DirectorySectionStore::openCds(const QString &section, ClientDataSet &ds)
{
    ds.setFiltered(false);
    ds.setFilter(QString());
    ds.setIndexFieldNames(QString());
    const QDir dir(m_dir);
    for (const QString &name : dir.entryList({section + QStringLiteral(".cds")}, QDir::Files)) {
        ds.loadFromFile(dir.filePath(name));
        if (!ds.isActive())
            ds.open();
        return;
    }
    const CatalogueTable *t = TableCatalogue::instance().table(section);
    if (!t)
        throw EQxError(QStringLiteral("Tabella %1 sconosciuta").arg(section));
    TableCatalogue::makeDataSet(*t, ds);
}

void DirectorySectionStore::openCdsPeriod(const QString &section, ClientDataSet &ds, int, int year)
{
    if (year != m_year)
        throw EQxError(QStringLiteral("La cartella %1 contiene soltanto le tabelle del %2").arg(m_dir).arg(m_year));
    openCds(section, ds);
}

void DirectorySectionStore::saveCds(const QString &section, ClientDataSet &ds)
{
    const QString filter = ds.filter();
    const bool filtered = ds.isFiltered();
    ds.mergeChangeLog();
    ds.saveToFile(QDir(m_dir).filePath(section.toUpper() + QStringLiteral(".CDS")));
    ds.setFilter(filter);
    ds.setFiltered(filtered);
}

} // namespace jex
