#include "imports/importmodule.h"

#include "dataset/dataset.h"
#include "database/structureservice.h"
#include "base/errors.h"
#include "database/params.h"
#include "database/namedsql.h"
#include "database/sqlconnection.h"

namespace jex {

TdmJexImport::TdmJexImport(TQmrDBCds *service, TdmZptParams *params) : m_service(service), m_params(params) {}

TQmrDBCds &TdmJexImport::service() const
{
    if (!m_service)
        jexAssert(QStringLiteral("JexMImport: servizio delle strutture non assegnato"));
    return *m_service;
}

void TdmJexImport::OpenCertificationTable(const QString &tableName, ClientDataSet &ds)
{
    TQmrDBCds &svc = service();
    const QString saved = svc.Programma;
    svc.SetProgramma(QString::fromLatin1(kCertificationProgram));
    try {
        svc.OpenCds(ds, tableName);
    } catch (...) {
        svc.SetProgramma(saved);
        throw;
    }
    svc.SetProgramma(saved);
}

QString TdmJexImport::SchoolFiscalCode()
{
    TdmZptParams &params = m_params ? *m_params : dmZptParams();
    NamedQuery q;
    TQmrQueryText::instance().SetQuerySQL(QStringLiteral("QRY_SED"), q, 0, QStringLiteral("EXECUTE"));
    q.setParam(QStringLiteral("IDWGID"), params.GetDwgId());
    QSqlQuery r = runNamed(params.connection(), q);
    if (!r.next())
        return {};
    return r.value(QStringLiteral("SSEDNOMCODICEFISC")).toString();
}

TdmJexImport &dmJexImport()
{
    static TdmJexImport module;
    return module;
}

} // namespace jex
