#pragma once

// What the certification import takes from the payroll archive, or reworks
// after the certifications have been copied: the tax-assistance (730)
// amounts, the additional taxes withheld, the cap on deductions, the split
// of separately taxed arrears by year and the dependants declared for
// deductions. The named statements QRY_IMP_CF, QRY_JEX_730,
// QRY_REPA_ACOM_CALC, QRY_JEX_TS and QRY_JEX_ADET read the payroll archive
// on the run's connection.

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace jex {

class ClientDataSet;
class ImportReport;
struct PersonTable;
class SectionStore;
class TQxSQLConnection;

struct CompletionContext
{
    SectionStore *store = nullptr;        // the return's sections
    TQxSQLConnection *conn = nullptr;     // the payroll archive
    int yearId = 0;                       // financial-year context id (2024 -> 55)
    ImportReport *report = nullptr;
    std::function<void(const QString &)> phase; // caption of the running phase
};

// Payroll position of a person: QRY_IMP_CF's first row (0 when none).
struct PayrollPosition
{
    int acomId = 0; // IACOMID
    int qarId = 0;  // IQARID
    int tnoId = 0;  // ITNOID
};

class PayrollCompletion
{
public:
    explicit PayrollCompletion(CompletionContext context);
    ~PayrollCompletion();

    PayrollPosition position(const QString &codFis);

    // Step 3 of the per-person sequence: the 730 amounts on the current
    // TDIP7_ANAGRFISCALI record of `anagrafica` (edited and posted there;
    // the caller saves). Problems are shown as the import's messages.
    void importFiscalAssistance(ClientDataSet &anagrafica, const QString &codFis,
                                const QString &surname, const QString &name);

    // The four steps after all persons, over the run's selection; each opens
    // and saves the sections it changes.
    void additionalTaxes(const QStringList &codFis);
    void checkDeductions(const QStringList &codFis);
    void splitSeparateTaxation(const QStringList &codFis);
    void importDependants(const QStringList &codFis);

    // The four steps in their order (the additional taxes when asked for),
    // reading the employee table once for all of them.
    void completeImport(const QStringList &codFis, bool carryTaxes);

private:
    void showPhase(const QString &caption);
    // The employee table person by person: the one completeImport() read,
    // or one read now for a single step.
    PersonTable &employees();

    CompletionContext m_ctx;
    PersonTable *m_shared = nullptr;
    std::unique_ptr<PersonTable> m_own;
    std::optional<QString> m_positionFor; // the code of the last position read
    PayrollPosition m_position;
};

// The cap on deductions on the current TDIP7_ANAGRFISCALI record: puts it
// into edit state when a column changes (true) and does not post.
bool CheckDeductions(ClientDataSet &anagrafica);

} // namespace jex
