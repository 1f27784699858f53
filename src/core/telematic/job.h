#pragma once

// The user operation "create the telematic file", in the steps the wizard
// walks through and the `telematic` command runs at once: open the return,
// check the agent's and the supplier's records, generate the records of the
// chosen tables, then build and write the supply.

#include <QString>
#include <QStringList>

namespace jex {

class TdmJexFile;

class TelematicJob
{
public:
    explicit TelematicJob(TdmJexFile &dm) : m_dm(dm) {}

    // Opens the return's sections (with the front tables for a run without
    // the wizard's pages).
    void open(bool withFrontTables);
    void close();

    bool hasSummaryData() const; // DI, ST, SV or SX rows: records D
    bool hasSyData() const;      // SY rows: records I
    // The wizard's path through its pages: "Default", "onlyfile",
    // "onlySV-ST-Sx-DI" or "onlySY".
    QString path() const;

    // Completeness findings of the agent's and the supplier's records;
    // true when there are none.
    bool check(QStringList &findings) const;
    // Rebuilds SS and generates the records D, I and J of the chosen tables.
    void generate(bool includeD, bool includeSY);
    // Builds records A, B and Z and writes the supply (split into several
    // files when it is too long) into an existing folder; returns the files
    // written.
    QStringList write(const QString &target);

private:
    TdmJexFile &m_dm;
};

} // namespace jex
