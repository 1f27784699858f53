#pragma once

namespace jex {
class TQxSQLConnection;
}

namespace jex::demo {

struct DemoSchool;

// The demo school's payroll archive of 2024 for the people of its
// certifications: their positions, the tax-assistance (730) items of some
// employees, the separately taxed arrears of 2022 and 2023 of the employees
// whose records carry them, and the deduction settings with the children's
// periods. Replaces what the archive held for those people.
void seedPayrollArchiveDemo(TQxSQLConnection &conn, const DemoSchool &school);

// The demo school's self-employed payees of 2024 in the payroll archive, as
// the import of the self-employed reads them: a position and the payments
// (reason "A") of each self-employed person of its certifications, and a few
// payees the certifications do not hold: an occasional worker paid under
// reason "M", a lecturer abroad paid under "P", a professional with
// contributions and reimbursed expenses, and a firm with a numeric codice
// fiscale. Replaces what the archive held for those people.
void seedAutonomiArchiveDemo(TQxSQLConnection &conn, const DemoSchool &school);

} // namespace jex::demo
