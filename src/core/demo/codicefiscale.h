#pragma once

#include <QDate>
#include <QString>

namespace jex::demo {

// Codice fiscale of a person as the Agenzia delle Entrate computes it
// (without omocodia substitutions): surname, name, birth year, month letter,
// day (plus 40 for women), code of the place of birth, check character.
QString personFiscalCode(const QString &surname, const QString &name, const QDate &birth, bool female,
                         const QString &placeCode);
QString surnameCode(const QString &surname);
QString nameCode(const QString &name);
// Check character of the first 15 characters.
QChar personCheckChar(const QString &first15);
bool isValidPersonCode(const QString &code);

// Check digit of the first 10 digits of an organisation's codice fiscale
// (the same rule as the partita IVA).
int organisationCheckDigit(const QString &first10);
bool isValidOrganisationCode(const QString &code);

} // namespace jex::demo
