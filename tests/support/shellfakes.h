#pragma once

// In-memory stand-ins for the structure service and the certification
// access, so the shell's start-up logic runs without a database.

#include "catalogue/catalogue.h"
#include "dataset/dataset.h"
#include "sections/sectionstore.h"

#include <QHash>
#include <QPair>

namespace jex::test {

class MemoryStore : public SectionStore
{
public:
    int currentYear = 2024;
    QHash<QPair<QString, int>, QByteArray> saved;
    QStringList savedNames;

    int year() const override { return currentYear; }
    void openCds(const QString &section, ClientDataSet &ds) override { openCdsPeriod(section, ds, 0, currentYear); }
    void openCdsPeriod(const QString &section, ClientDataSet &ds, int, int y) override
    {
        const auto key = qMakePair(section.toUpper(), y);
        if (saved.contains(key)) {
            ds.loadFromBytes(saved.value(key));
        } else {
            const CatalogueTable *t = TableCatalogue::instance().table(section);
            if (!t)
                throw std::runtime_error("unknown section");
            TableCatalogue::makeDataSet(*t, ds);
        }
        ds.first();
    }
    void saveCds(const QString &section, ClientDataSet &ds) override
    {
        ds.mergeChangeLog();
        saved.insert(qMakePair(section.toUpper(), currentYear), ds.saveToBytes());
        savedNames << section;
    }
    // A section of a year, filled by `fill` on one appended record.
    template <typename F>
    void put(const QString &section, int y, F fill)
    {
        ClientDataSet ds;
        TableCatalogue::makeDataSet(*TableCatalogue::instance().table(section), ds);
        ds.append();
        fill(ds);
        ds.post();
        ds.mergeChangeLog();
        saved.insert(qMakePair(section.toUpper(), y), ds.saveToBytes());
    }
    std::unique_ptr<ClientDataSet> load(const QString &section, int y = 2024)
    {
        auto ds = std::make_unique<ClientDataSet>();
        openCdsPeriod(section, *ds, 0, y);
        return ds;
    }
};

class FakeCertification : public CertificationSource
{
public:
    QString payrollCode;
    QVariantMap cus; // empty: no certification data
    QString schoolFiscalCode() override { return payrollCode; }
    void openCertificationTable(const QString &table, ClientDataSet &ds) override
    {
        TableCatalogue::makeDataSet(*TableCatalogue::instance().table(table), ds);
        if (cus.isEmpty())
            return;
        ds.append();
        for (auto it = cus.begin(); it != cus.end(); ++it)
            ds.fieldByName(it.key())->setValue(it.value());
        ds.post();
    }
};

} // namespace jex::test
