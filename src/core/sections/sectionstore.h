#pragma once

#include <QString>

namespace jex {

class ClientDataSet;

// What the shell needs of the dataset-structure service: open a section of
// the service's year (or of another period) and store its pending changes.
// The window program plugs the real service in; tests plug an in-memory one.
class SectionStore
{
public:
    virtual ~SectionStore() = default;
    virtual int year() const = 0;
    virtual void openCds(const QString &section, ClientDataSet &ds) = 0;
    virtual void openCdsPeriod(const QString &section, ClientDataSet &ds, int month, int year) = 0;
    virtual void saveCds(const QString &section, ClientDataSet &ds) = 0;
};

// What the agent check needs of the certification access.
class CertificationSource
{
public:
    virtual ~CertificationSource() = default;
    virtual QString schoolFiscalCode() = 0;
    virtual void openCertificationTable(const QString &table, ClientDataSet &ds) = 0;
};

// The instances in force (not owned). Null until a subsystem provides one.
SectionStore *sectionStore();
void setSectionStore(SectionStore *store);
CertificationSource *certificationSource();
void setCertificationSource(CertificationSource *source);

} // namespace jex
