#pragma once

#include <QtGlobal>

namespace jex {

class TQxSQLConnection;

// A year (2024) of F24EP payments of the demo school in the payroll archive:
// monthly IRPEF of employees (1001) and of self-employed workers (1040, and
// 104E in three months), regional surtaxes of two regions and municipal
// surtaxes of two municipalities. With `previousYearCase` one municipal
// surtax of 2023 withheld in 2024 is added, which the SV test refuses.
// Replaces the demo year's payments already there.
void seedF24Demo(TQxSQLConnection &conn, bool previousYearCase = true);

// What the demo school's certifications say was withheld, in cents.
struct F24DemoTotals
{
    qint64 irpefEmployees = 0;    // IRPEF of the employees, 730 balances included
    qint64 irpefSelfEmployed = 0; // withholdings on self-employed work
    qint64 refunds = 0;           // 730 refunds, set against the tax paid
    qint64 regional = 0;
    qint64 municipalBalance = 0;
    qint64 municipalAdvance = 0;
};

// The same year of payments, each kind of payment scaled to what the
// certifications say, so that the demo reconciles but for two mistakes it
// carries on purpose: the self-employed payment of January recorded with the
// year 2023 in its date (the import leaves it out, and the ST is short of it)
// and the occasional workers' payment of November dated in October.
void seedF24Demo(TQxSQLConnection &conn, const F24DemoTotals &totals);

} // namespace jex
