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

} // namespace jex::demo
