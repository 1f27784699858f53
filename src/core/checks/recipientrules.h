#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace jex {

class ClientDataSet;

// Rules of the employee and self-employed records that need no window: the
// windows apply them, and so can a batch load or an import.
namespace recipients {

// The years of each "%s" of a column's label in the employee and
// self-employed tables, for the columns whose year is not the income year.
QHash<QString, QStringList> labelYears(const QString &table);

// Dependants (TCFC7_CONFAMCARICO): "D" excludes "F1" for the first child,
// and "A" and "F" for the other children; "A" excludes "F". Clears what the
// current record may not hold and returns the note for the user (empty when
// nothing was changed).
QString applyFamilyFlagConsistency(ClientDataSet &ds);

// The codice fiscale columns of a table that are checked as the user stores
// a row, with the description that names them in a finding.
QList<QPair<QString, QString>> fiscalCodeColumns(const QString &table);
// A finding about a codice fiscale (wrong length, characters or check
// character), empty when the code is empty or well formed. Eleven digits are
// an organisation's code, sixteen characters a person's.
QString fiscalCodeFinding(const QString &code, const QString &description);
// The findings of every codice fiscale column of the current record.
QStringList fiscalCodeFindings(const ClientDataSet &ds, const QString &table);

// The values the severance-pay instalment columns take ("1".."3" or "2".."3");
// empty for any other column.
QStringList instalmentChoices(const QString &column);

// Whether a recipient matches what the user typed in the search field: the
// text, trimmed and compared without regard to case, is a part of the
// codice fiscale, the surname or the name. An empty text matches everyone.
// The text is never read as a pattern or a filter expression.
bool recipientMatches(const QString &typed, const QString &codFis, const QString &surname, const QString &name);

// The foreign-tax reminder shown when FFIS7IMPOSTEESTERO holds a value.
extern const char *const foreignTaxText;

} // namespace recipients
} // namespace jex
