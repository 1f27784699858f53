#pragma once

#include "demoschool.h"

#include <QString>
#include <QStringList>

namespace jex {
class TQxSQLConnection;
}

namespace jex::demo {

// What a database holds of a return before the demo goes in: the payroll
// seat, the tables of the return and of the certifications that have rows,
// and the payments of the demo year in the payroll archive.
struct ReturnContents
{
    QString school;         // codice fiscale and name of the seat; empty when none
    bool demoSchool = false; // the seat is the demo school's
    QStringList tables;     // "TPST_PROSPETTOST (12 righe)"
    qint64 f24Payments = 0;
    bool isEmpty() const { return school.isEmpty() && tables.isEmpty() && f24Payments == 0; }
    QString describe() const; // Italian, for the user
};

struct DemoInit
{
    InitResult result = InitResult::Created;
    ReturnContents found; // what the database held; replaced when the demo was created
    QStringList cudReport; // the report of the certification import that made the recipients
};

// Fills the database with the demo school in one transaction: the payroll
// side, the certifications, the F24 payments, the return's own records and
// the recipients, imported from the certifications. A database that already holds the demo school is left as
// it is, and one that holds anything else is refused (OtherSchool); with
// force, what is there is deleted first.
DemoInit initDemo(TQxSQLConnection &conn, int employees, bool force, DemoSchool &school);

// Whether the database's payroll seat is the demo school's.
bool holdsDemoSchool(TQxSQLConnection &conn);

} // namespace jex::demo
