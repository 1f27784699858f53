#pragma once

#include "sections/sectionstore.h"
#include "database/structureservice.h"

namespace jex {

// The sections in the database, through a dataset-structure service.
class DbCdsStore : public SectionStore
{
public:
    explicit DbCdsStore(TQmrDBCds *service) : m_service(service) {}
    TQmrDBCds *service() const { return m_service; }
    int year() const override { return m_service->Anno; }
    void openCds(const QString &section, ClientDataSet &ds) override;
    void openCdsPeriod(const QString &section, ClientDataSet &ds, int month, int year) override;
    void saveCds(const QString &section, ClientDataSet &ds) override;

private:
    TQmrDBCds *m_service;
};

// The application's service instance (year 2024, program "jex", month 0, on
// the program's connection) and the store over it.
TQmrDBCds &applicationDBCds();
SectionStore &applicationStore();
CertificationSource &applicationCertification();

} // namespace jex
