#pragma once

// An in-memory stand-in for the certification access, so the start-up
// logic runs without a database (the sections: MemorySectionStore).

#include "catalogue/catalogue.h"
#include "dataset/dataset.h"
#include "sections/memorystore.h"

#include <QHash>
#include <QPair>

namespace jex::test {

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
