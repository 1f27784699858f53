#pragma once

// Codes of the return's columns that are not in their code list. A list that
// is empty (not delivered yet) or unknown checks nothing; a list completed
// from fragments may lack a valid code, so these are findings and warnings,
// never refusals.

#include <QHash>
#include <QString>
#include <QStringList>

namespace jex {

class ClientDataSet;
class CodeLists;

// Column name (upper case) -> code list name, from the table catalogue.
const QHash<QString, QString> &codeListColumns();

// The findings of the completeness check for the current record.
QStringList unknownCodeFindings(const ClientDataSet &ds, const CodeLists &lists);

// The warnings of a batch load for the current record, one per column.
QStringList unknownCodeWarnings(const ClientDataSet &ds, const CodeLists &lists);

} // namespace jex
