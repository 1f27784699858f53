#pragma once

// What the certification import takes from the payroll archive, or reworks
// after the certifications have been copied: the tax-assistance (730)
// amounts, the additional taxes withheld, the cap on deductions, the split
// of separately taxed arrears by year and the dependants declared for
// deductions. The named statements QRY_IMP_CF, QRY_JEX_730,
// QRY_REPA_ACOM_CALC (or QRY_IMP_CF_ANNO and QRY_JEX_730_ANNO for the whole
// year), QRY_JEX_TS and QRY_JEX_ADET read the payroll archive on the run's
// connection.

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

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

    // With `on`, the positions and the tax-assistance items of every person
    // of the year are read at their first use, each with one statement
    // (QRY_IMP_CF_ANNO, QRY_JEX_730_ANNO), instead of one statement per
    // person: for a run over all the year's persons, during which the
    // archive does not change.
    void setReadYearOnce(bool on) { m_readYearOnce = on; }

    // Step 3 of the per-person sequence: the 730 amounts on the current
    // TDIP7_ANAGRFISCALI record of `anagrafica` (edited and posted there;
    // the caller saves). Problems are shown as the import's messages.
    void importFiscalAssistance(ClientDataSet &anagrafica, const QString &codFis,
                                const QString &surname, const QString &name);

    // The four steps after all persons, over the run's selection; each opens
    // and saves the sections it changes.
    void additionalTaxes(const QStringList &codFis) { additionalTaxes(codFis, {}); }
    void checkDeductions(const QStringList &codFis);
    void splitSeparateTaxation(const QStringList &codFis);
    void importDependants(const QStringList &codFis);

    // The four steps in their order (the additional taxes when asked for),
    // reading the employee table once for all of them.
    // `carried`: the codes whose surtaxes were carried on the record as
    // saved (the import does so before each person's save); the step would
    // find nothing to change there and passes them by.
    void completeImport(const QStringList &codFis, bool carryTaxes, const QSet<QString> &carried = {});

private:
    void additionalTaxes(const QStringList &codFis, const QSet<QString> &carried);
    void showPhase(const QString &caption);
    // The employee table person by person: the one completeImport() read,
    // or one read now for a single step.
    PersonTable &employees();

    CompletionContext m_ctx;
    PersonTable *m_shared = nullptr;
    std::unique_ptr<PersonTable> m_own;
    // One tax-assistance row: month, payroll item, amount in ten-thousandths.
    struct AssistanceItem
    {
        int month = 0;
        int code = 0;
        qint64 gross = 0;
    };
    QVector<AssistanceItem> assistanceItems(int acomId, const QString &codFis);
    int positionRegion(int acomId);

    std::optional<QString> m_positionFor; // the code of the last position read
    PayrollPosition m_position;
    bool m_readYearOnce = false;
    // The year's archive read at once, by codice fiscale as stored.
    std::optional<QHash<QString, PayrollPosition>> m_yearPositions;
    QHash<int, int> m_yearRegions; // IREPACODICE by IACOMID
    std::optional<QHash<QString, QVector<AssistanceItem>>> m_yearAssistance;
};

// The cap on deductions on the current TDIP7_ANAGRFISCALI record: puts it
// into edit state when a column changes (true) and does not post.
bool CheckDeductions(ClientDataSet &anagrafica);

} // namespace jex
