#include "sections/databasestore.h"

#include "base/appcontext.h"
#include "imports/importmodule.h"

namespace jex {

namespace {
SectionStore *g_store = nullptr;
CertificationSource *g_certification = nullptr;

void clearView(ClientDataSet &ds)
{
    ds.setFiltered(false);
    ds.setFilter(QString());
    ds.setIndexFieldNames(QString());
}
} // namespace

SectionStore &currentStore() { return g_store ? *g_store : applicationStore(); }
SectionStore *sectionStore() { return g_store; }
void setSectionStore(SectionStore *store) { g_store = store; }
CertificationSource *certificationSource() { return g_certification; }
void setCertificationSource(CertificationSource *source) { g_certification = source; }

void DbCdsStore::openCds(const QString &section, ClientDataSet &ds)
{
    clearView(ds);
    m_service->OpenCds(ds, section);
}

void DbCdsStore::openCdsPeriod(const QString &section, ClientDataSet &ds, int month, int year)
{
    clearView(ds);
    m_service->OpenCdsPeriod(ds, section, month, year);
}

void DbCdsStore::saveCds(const QString &section, ClientDataSet &ds)
{
    const QString filter = ds.filter();
    const bool filtered = ds.isFiltered();
    m_service->SaveCds(ds, section);
    ds.setFilter(filter);
    ds.setFiltered(filtered);
}

TQmrDBCds &applicationDBCds()
{
    static TQmrDBCds *service = [] {
        auto *s = new TQmrDBCds(2024, QStringLiteral("jex"), 0);
        s->SetConnection(&AppContext::instance().connection().xqoMain);
        s->SetShowWait(false);
        return s;
    }();
    return *service;
}

SectionStore &applicationStore()
{
    static DbCdsStore store(&applicationDBCds());
    return store;
}

namespace {
class ImportCertification : public CertificationSource
{
public:
    QString schoolFiscalCode() override { return module().SchoolFiscalCode(); }
    void openCertificationTable(const QString &table, ClientDataSet &ds) override
    { module().OpenCertificationTable(table, ds); }

private:
    static TdmJexImport &module()
    {
        TdmJexImport &m = dmJexImport();
        m.SetService(&applicationDBCds());
        return m;
    }
};
} // namespace

CertificationSource &applicationCertification()
{
    static ImportCertification source;
    return source;
}

} // namespace jex
