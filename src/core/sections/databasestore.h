#pragma once

#include "sections/sectionstore.h"

#include "database/structureservice.h"

namespace jex {

// The shell's view of the dataset-structure service.
class DbCdsStore : public SectionStore
{
public:
    explicit DbCdsStore(TQmrDBCds *service) : m_service(service) {}
    TQmrDBCds *service() const { return m_service; }
    int year() const override { return m_service->Anno; }
    void openCds(const QString &section, ClientDataSet &ds) override { m_service->OpenCds(ds, section); }
    void openCdsPeriod(const QString &section, ClientDataSet &ds, int month, int year) override
    { m_service->OpenCdsPeriod(ds, section, month, year); }
    void saveCds(const QString &section, ClientDataSet &ds) override { m_service->SaveCds(ds, section); }

private:
    TQmrDBCds *m_service;
};

// The application's service instance (year 2024, program "jex", month 0, on
// the main connection, no wait window), created on first use.
TQmrDBCds &applicationDBCds();
SectionStore &applicationStore();
// The import module's certification access, on the same service.
CertificationSource &applicationCertification();

} // namespace jex
