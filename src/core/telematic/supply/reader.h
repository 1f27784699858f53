#pragma once

// Reading a telematic supply back into the return: the front (agent and
// supplier) and the summary tables, through the same layouts the generation
// writes them with. The supply is checked first and read whole: nothing is
// written unless every file was read without error.

#include "telematic/supply/checker.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace jex {
class SectionStore;
}

namespace jex::supply {

class SupplyLayouts;

// The rows a supply holds, by section, in file order; values keyed by column.
struct SupplyContent
{
    QVariantMap supplier; // TFOR_FORNITORE
    QVariantMap agent;    // TSOS_DATOSOSTITUTO
    QHash<QString, QList<QVariantMap>> rows;
    QStringList extinctAgents; // codes named by the modules, in file order
    QString agentCode() const { return agent.value(QStringLiteral("SSOSCODFIS")).toString(); }
};

// The summary tables a supply fills and --replace empties.
const QStringList &summarySections();

// Turns the parsed records into rows; throws EQxError when the supply holds
// what this return cannot take back.
SupplyContent supplyContent(const ParsedSupply &parsed, const SupplyLayouts &layouts);

// Writes the rows into the return in one transaction. Without replace,
// refuses (EQxError, nothing written) a return that already holds summary
// rows or another agent; with it, the summary rows are replaced. Returns the
// extinct agents added to their table.
QStringList storeSupply(SectionStore &store, const SupplyContent &content, bool replace);

struct ReadResult
{
    CheckReport check;
    bool written = false;
    QString message;          // what happened, Italian
    QStringList rowsByTable;  // "TPST_PROSPETTOST: 24 righe"
};

// The check of the installation's layouts on a supply.
CheckReport checkFile(const QStringList &files);

// Check, read and store: the operation of read-file and of its window.
ReadResult readSupplyInto(SectionStore &store, const QStringList &files, bool replace, const QString &layoutDir = {});
// The same on the program's database.
ReadResult readFileIntoReturn(const QStringList &files, bool replace);

} // namespace jex::supply
