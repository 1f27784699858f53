#pragma once

// The import of the certifications (CU) into the return: for the persons
// chosen, the payroll module's certification rows become the return's
// personal and fiscal data, adjustments, income, separate taxation,
// severance pay, INPS and INPDAP details, dependants, notes, INAIL and
// self-employed payments; optionally the withholding agent's data. The
// window "Import da CU ..." and `jex770 import-cud` both run this job.
//
// Each person is one transaction: the deletion of what the return held for
// the person and the import of the person's certification commit together,
// so an interrupted run leaves every person either as before or imported.

#include "imports/cud/importreport.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace jex {

class TQxSQLConnection;

struct CudPerson
{
    QString codFis;
    QString cognome;
    QString nome;
};

struct CudImportOptions
{
    QStringList persons;         // codici fiscali; empty: every person of TCUD_DATICUD
    bool importAgent = false;    // ckSost: the withholding agent's data too
    bool additionalTaxes = true; // ckAdd: the additional taxes withheld (points 14 and 18)
};

class TCudImport
{
public:
    static constexpr int kYearId = 55; // 2024 in the financial-year context

    explicit TCudImport(TQxSQLConnection &conn);

    // The window's list: one entry per distinct non-empty SCUDCODFIS, in the
    // order of the certification table.
    QList<CudPerson> persons();
    // Whether the window proposes the agent's import: no agent record yet,
    // or one without a name.
    bool agentMissing();

    // The person being imported ("COGNOME NOME") and the caption of each
    // completion phase, for the window.
    std::function<void(const QString &)> onPerson;
    std::function<void(const QString &)> onPhase;

    // The whole run. False when it stopped on an error (error() says which;
    // the persons committed before it stay imported) or refused to start.
    bool run(const CudImportOptions &options);

    const ImportReport &report() const { return m_report; }
    QString error() const { return m_error; }
    int importedPersons() const { return m_imported; }

private:
    TQxSQLConnection &m_conn;
    ImportReport m_report;
    QString m_error;
    int m_imported = 0;
};

// For the window and the command: runs the job, shows "Fine operazione" or
// the error through the message service and the report in the information
// window. Returns the job's result.
bool executeImportCud(TCudImport &job, const CudImportOptions &options);

} // namespace jex
