#pragma once

// The rules of the codice fiscale: the check character of a person's code,
// the check digit of an organisation's, and the place of birth that a
// person's code carries. The completeness check applies them to every
// codice fiscale column of the return.

#include <QString>

namespace jex {

class CodeLists;

// Check character of the first 15 characters of a person's code.
QChar personCheckChar(const QString &first15);
bool isValidPersonCode(const QString &code);

// Check digit of the first 10 digits of an organisation's codice fiscale
// (the same rule as the partita IVA).
int organisationCheckDigit(const QString &first10);
bool isValidOrganisationCode(const QString &code);

// The cadastral code of the place of birth (characters 12-15) of a
// person's code, with the letters that replace digits in homonymous codes
// ("omocodia": L = 0 ... V = 9) read back as digits: "Z4P4" -> "Z404".
// Empty when the code is not shaped as a person's code.
QString birthplaceCode(const QString &code);

// Whether a place of birth is known: a municipality in force, a ceased one
// or a foreign state. True also when the lists hold no codes (not
// delivered): an empty list checks nothing.
bool isKnownBirthplace(const CodeLists &lists, const QString &placeCode);

// The finding of the completeness check for a codice fiscale of the
// column named `field`, empty when the code is sound or empty.
QString codiceFiscaleFinding(const QString &field, const QString &code, const CodeLists &lists);

// The codice fiscale columns of the return (upper case), from the table
// catalogue, with the text that names them in a finding.
bool isCodiceFiscaleColumn(const QString &column);
QString codiceFiscaleColumnText(const QString &column);

} // namespace jex
