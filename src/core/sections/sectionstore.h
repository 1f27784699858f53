#pragma once

#include <QString>

namespace jex {

class ClientDataSet;

// The one way to the sections of the return: open a section of the store's
// year (or of another period) with all its rows, and store a dataset's
// pending changes. The database implementation is DbCdsStore (over the
// dataset-structure service), the in-memory one MemorySectionStore, and the
// exported section files of a folder DirectorySectionStore.
//
// Opening clears the dataset's filter and index first; saving keeps the
// filter the caller had set.
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

// The store the program works on: the one set with setSectionStore() (tests,
// prints of exported sections), otherwise the application's database store.
SectionStore &currentStore();
// The store set in force, or nullptr when the database's is used.
SectionStore *sectionStore();
void setSectionStore(SectionStore *store); // not owned; nullptr restores the database
CertificationSource *certificationSource();
void setCertificationSource(CertificationSource *source);

} // namespace jex
