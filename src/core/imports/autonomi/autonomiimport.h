#pragma once

// Import of the self-employed payees from the payroll archive into the
// self-employed table TDAU7_DATIAUTONOM and, in the full variant, their sums
// paid in TDSE7_SOMMEEROGATE (one row per payment reason). The selection
// windows and the import-autonomi command both run it: the list of payees,
// its filters, and the import of a choice of them, one transaction per person.

#include "dataset/dataset.h"

#include <QList>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

namespace jex {

class SectionStore;
class TQxSQLConnection;
struct NamedQuery;

// The payroll's codes the statements are run with.
namespace autonomi {
constexpr int kRiceCodIrpefAm = 11; // income code of the year's self-employed income
constexpr int kRiceCodIrpefTs = 12; // income code of arrears of earlier years
constexpr int kTnoEstranei = 10;    // outside experts
constexpr int kTnoLibProf = 14;     // professionals
constexpr int kTnoAutoOcc = 15;     // occasional self-employed work
constexpr int kVoceSpeseRimborsate = 54; // payroll item of reimbursed expenses
} // namespace autonomi

// Registry data only, or registry data with the sums paid.
enum class AutonomiVariant { Full, OnlyRegistry };

// What happens to a person already in TDAU7_DATIAUTONOM.
enum class OverwritePolicy { Always, Never, Ask };

struct AutonomiYear
{
    int anfId = 55; // IANFID of 2024
    int dwgId = 1;  // the management unit (GetDwgId)
};

// One row of the list: a payee's position of the year.
struct AutonomiPayee
{
    qint64 acomId = 0; // the key of the row
    qint64 anaId = 0;
    QVariant codice;
    QString cognome, nome, cognomeNome;
    QVariant cat, tno, qar; // ICALQUXORCODE, ITNOQUXORCODE, IQARQUXORCODE
    int stabId = 0;
};

// The list of the variant, in the statement's order (by name).
QList<AutonomiPayee> loadAutonomiPayees(TQxSQLConnection &conn, AutonomiVariant variant, const AutonomiYear &year);

// An entry of a filter list: id null for "(Tutte)".
struct FilterEntry
{
    QVariant id;
    QString text;
};
// "(Tutte)" followed by the rows of the named enumeration (QRY_CAL_FILTRO,
// QRY_TNO_FILTRO, QRY_QAR_FILTRO).
QList<FilterEntry> loadFilterEntries(TQxSQLConnection &conn, const QString &statement);

// The chosen entries of the three lists and the "In servizio" box.
struct AutonomiFilter
{
    QVariant cat, tno, qar;
    bool inServizio = false;
    // "ICALQUXORCODE=3 and ITNOQUXORCODE=14": the conditions of the lists
    // whose chosen entry carries an id; empty when the filter is off.
    QString text() const;
    bool accepts(const AutonomiPayee &p) const;
};

// A statement's text with ":NAME" replaced by one bound parameter per value
// (":NAME_0, :NAME_1, ..."): where a list of ids goes into "IN (...)".
void bindIdList(NamedQuery &query, const QString &name, const QList<qint64> &ids);

struct AutonomiResult
{
    int imported = 0; // persons committed with their rows
    int unchanged = 0; // without fiscal code, overwrite refused
    int failed = 0;
    QStringList lines; // one per person: what happened
    QString report() const;
};

// The import run of the OK button.
class TAutonomiImport
{
public:
    TAutonomiImport(TQxSQLConnection &conn, SectionStore &store, AutonomiVariant variant,
                    OverwritePolicy policy = OverwritePolicy::Ask);

    // Imports the payees in the order given, each in a transaction of its
    // own; a person's error is told and rolled back, and the run goes on.
    AutonomiResult run(const QList<AutonomiPayee> &payees);

    // Shown in the window while a person is imported.
    std::function<void(const AutonomiPayee &)> onPerson;

private:
    enum class Outcome { Imported, Unchanged };
    Outcome importPerson(const AutonomiPayee &p);
    void openSections();
    void insertRegistry(const AutonomiPayee &p, const QString &codFis, const QSqlRecord &person,
                        const QSqlRecord &address, bool inPlace);
    void insertPayment(const QString &codFis, const QString &causale, const QList<qint64> &regs);
    QSqlQuery run(const QString &name, const QVariantMap &params, const QList<qint64> *regs = nullptr);

    TQxSQLConnection &m_conn;
    SectionStore &m_store;
    AutonomiVariant m_variant;
    OverwritePolicy m_policy;
    ClientDataSet m_dau;
    ClientDataSet m_dse;
    bool m_open = false;
};

struct ImportAutonomiOptions
{
    AutonomiVariant variant = AutonomiVariant::Full;
    OverwritePolicy policy = OverwritePolicy::Ask;
    QList<qint64> persons; // IACOMID of the payees to import; empty: all
};

// The whole operation for the command: list, choice, import. Throws EQxError
// for a person asked for that is not in the list, or for an empty list
// ("Nessuna dato da importare!").
AutonomiResult runImportAutonomi(TQxSQLConnection &conn, SectionStore &store, const ImportAutonomiOptions &options,
                                 const AutonomiYear &year);

// The year and management unit the program runs in.
AutonomiYear programAutonomiYear();

} // namespace jex
