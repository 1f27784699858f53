#pragma once

#include "checks/codicefiscale.h"

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
// The check rules are the program's own (checks/codicefiscale.h).
using jex::isValidOrganisationCode;
using jex::isValidPersonCode;
using jex::organisationCheckDigit;
using jex::personCheckChar;

} // namespace jex::demo
