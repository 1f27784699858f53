#pragma once

// Reconciliation of the three sides of the year's withholdings: what the
// certifications say was withheld, what the summary tables (ST, SV) say was
// withheld and paid, and the F24 payments of the payroll archive. Which tax
// codes belong to which box of the certifications is data (reconcilemap.h).
// All amounts are whole cents.

#include "checks/reconcilemap.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace jex {

class ClientDataSet;
class SectionStore;
class TQxSQLConnection;

// One payment line of the F24 archive.
struct F24Payment
{
    QString sezione; // "F" Erario, "R" Regioni, "EL" Enti locali
    QString codice;
    int mese = 0;
    int anno = 0;
    QDate data;
    qint64 importo = 0;   // paid
    qint64 credito = 0;   // credits set against the tax
    qint64 interessi = 0;
};

// One row of ST section I, ST section II or SV, by its own columns.
struct SummaryRow
{
    ReconcileTable table = ReconcileTable::St1;
    int rigo = 0;           // position in its table, from 1
    QString agent;          // SSOE7CODICE; empty for the declaring agent
    QString mese, anno;     // as typed
    QString codice;
    QDate data;
    std::optional<qint64> ritenute, crediti, versato, interessi; // null when not stored
};

// The amounts of one certification column of one person.
struct CertificationAmount
{
    QString table;   // TDIP7_ANAGRFISCALI or TDSE7_SOMMEEROGATE
    QString column;
    qint64 cents = 0;
};

struct Certification
{
    QString table;   // the person's record table
    int rigo = 0;
    QString codFis;
    QString name;    // surname and name, for the findings
    QString agent;
    QList<CertificationAmount> amounts; // only the columns the map names, non-zero
};

struct ReconcileInput
{
    int year = 2024;
    QList<Certification> certifications;
    QList<SummaryRow> summary;
    QList<F24Payment> f24;
    bool f24Read = false; // false: the archive could not be read at all
};

enum class ReconcileCheck { CertVsSummary, SummaryVsF24, SummaryRow, Data };

// One line of the result: a comparison (amounts a and b, b - a the
// difference) or a finding without amounts.
struct ReconcileLine
{
    ReconcileCheck check = ReconcileCheck::Data;
    QString reference; // "ST I 03/2024 1001", "IRPEF", "TDIP7_ANAGRFISCALI rigo 4"
    QString text;
    std::optional<qint64> a, b;
    bool flagged = false; // a difference or warning to be looked at

    std::optional<qint64> difference() const
    {
        if (!a && !b)
            return std::nullopt;
        return b.value_or(0) - a.value_or(0);
    }
    // "ST I 03/2024 1001: ritenute diverse [A 1.000,00, B 990,00, differenza -10,00]"
    QString describe() const;
};

QString reconcileCheckCaption(ReconcileCheck check);
// What a and b stand for in lines of that check.
QString reconcileAmountsCaption(ReconcileCheck check);

struct ReconcileReport
{
    QList<ReconcileLine> lines;
    int flagged() const;
    int flagged(ReconcileCheck check) const;
    QString summary() const; // "3 differenze da verificare" / "Nessuna differenza"

    QString toText() const;
    QString toCsv() const;
    QString toJson() const;
};

// Above this a difference between certifications and summary tables is
// flagged: the certifications round each person's amounts.
constexpr qint64 kCertificationTolerance = 100;

// What the certifications of an agent (empty: the declaring one) say for a
// box, from the columns of one person table only when `table` is given.
qint64 certifiedTotal(const ReconcileInput &input, const ReconcileBox &box, const QString &agent,
                      const QString &table = {});

// The comparisons themselves, on data already read.
ReconcileReport reconcile(const ReconcileInput &input, const ReconcileMap &map);

// Readers of the three sides.
void readCertifications(SectionStore &store, const ReconcileMap &map, ReconcileInput &input);
void readSummaryTables(SectionStore &store, ReconcileInput &input);
// The year's payments through the named statement "QRY_JEX_QUADRATURA_F24".
void readF24Payments(TQxSQLConnection &conn, int year, ReconcileInput &input);

// The operation the command, the print and the telematic wizard run: reads
// the return and the archive, compares, and keeps the report.
class ReconcileJob
{
public:
    // conn may be null: the F24 side is then reported as not read.
    ReconcileJob(SectionStore &store, TQxSQLConnection *conn, ReconcileMap map);

    // Throws EQxError when a side cannot be read.
    const ReconcileReport &run();
    const ReconcileReport &report() const { return m_report; }
    const ReconcileMap &map() const { return m_map; }

private:
    SectionStore &m_store;
    TQxSQLConnection *m_conn;
    ReconcileMap m_map;
    ReconcileReport m_report;
};

// Amount in cents as "1.234,56" (negative with a leading "-").
QString formatCents(qint64 cents);

} // namespace jex
