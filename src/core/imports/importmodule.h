#pragma once

#include <QString>

namespace jex {

class ClientDataSet;
class TQmrDBCds;
class TdmZptParams;

// JexMImport: the import data module. Created once at start-up; before any
// import has run, the start-up and the withholding-agent frame ask it for
// the payroll module's certification tables and the school's codice fiscale.
class TdmJexImport
{
public:
    // The service is the main window's; the parameters default to the application's.
    explicit TdmJexImport(TQmrDBCds *service = nullptr, TdmZptParams *params = nullptr);

    void SetService(TQmrDBCds *service) { m_service = service; }
    TQmrDBCds &service() const;

    // Opens a certification table filed by the payroll module under program
    // "jey"; the service's own program code is restored in every case.
    void OpenCertificationTable(const QString &tableName, ClientDataSet &ds);

    // Codice fiscale of the school's main seat ("QRY_SED"); empty when the
    // management unit has no seat.
    QString SchoolFiscalCode();

    static constexpr const char *kCertificationProgram = "jey";

private:
    TQmrDBCds *m_service = nullptr;
    TdmZptParams *m_params = nullptr;
};

// The application's module (created on first use).
TdmJexImport &dmJexImport();

} // namespace jex
