#pragma once

namespace jex {

class TQxSQLConnection;

// A year (2024) of F24EP payments of the demo school in the payroll archive:
// monthly IRPEF of employees (1001) and of self-employed workers (1040, and
// 104E in three months), regional surtaxes of two regions and municipal
// surtaxes of two municipalities. With `previousYearCase` one municipal
// surtax of 2023 withheld in 2024 is added, which the SV test refuses.
// Replaces the demo year's payments already there.
void seedF24Demo(TQxSQLConnection &conn, bool previousYearCase = true);

} // namespace jex
