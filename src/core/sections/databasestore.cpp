#include "sections/databasestore.h"

#include "base/appcontext.h"
#include "imports/importmodule.h"

namespace jex {

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
