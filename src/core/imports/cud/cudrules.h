#pragma once

// The small rules of the certification import that need no database: the
// category code from the payroll position, the codes of a notes text, the
// check of a codice fiscale, and what counts as "present" in a row.

#include "imports/cud/payrollcompletion.h"

#include <QString>
#include <QStringList>

namespace jex {

class ClientDataSet;
class Field;

// SCAP7CODICE from the person's payroll position: "P" for ITNOID 17, else
// "E" for IQARID 5, 14 and 29, "D" for 7, 8, 9 and 12, empty otherwise.
QString capCodeFor(const PayrollPosition &position);

// The candidate codes of a notes text, one per line at most: the text
// before the first ")" of a line, upper-cased, when the ")" is not the
// line's first character. A line that is exactly "BO)" gives none.
QStringList noteCandidates(const QString &notes);

// Slots of the notes record: named SANN701 ... SANN754; a table may have
// fewer columns than that.
constexpr int kNoteSlots = 54;
QString noteSlotName(int slot);
// First empty slot of the current notes record among the slots the table
// has (1-based), or kNoteSlots + 1 when none is empty.
int FirstFreeNoteSlot(const ClientDataSet &notes);
// The 24 month flags of a new INPS record set to 1.
void SetInpsDefaults(ClientDataSet &inps);

// A codice fiscale the return accepts: 16 characters of a person with the
// right check character, or 11 digits of an organisation with the right
// check digit. Empty text explains why not.
QString fiscalCodeFault(const QString &code);

// "Present" in the sense of the import: neither null nor zero; for a text
// column (the certification's flags) neither empty nor "0".
bool isPresent(const Field &field);
bool anyPresent(const ClientDataSet &row, const QStringList &columns);

// Whether a column of the personal-data record carries nothing: null, empty
// after trimming, "0", zero or the null date (30/12/1899).
bool isBlank(const Field &field);

} // namespace jex
