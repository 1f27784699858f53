#pragma once

#include "database/sqlconnection.h"

#include <QString>

namespace jex {

// The connection module: owns the main connection, loads the named SQL
// texts when created, and opens the database with the start-up maintenance.
class TdmZptConnessione
{
public:
    TdmZptConnessione();
    ~TdmZptConnessione();

    TQxSQLConnection xqoMain;

    // Certificate and version check, connection, repairs, report folder.
    // False when the check refuses; throws EQxError when the database fails.
    bool OpenZptConnection(const DatabaseUrl &url);

    void runRepairStatements();
    void registerReports(const QString &mode = {}); // "" at start-up, "=" to replace equal versions

    static QString reportFile();      // etc/zpt/zpt_Report.xml
    static QString queryTextFile();   // etc/zpt/zpt_QueryText.cds
    static QString defaultDatabaseUrl(); // the embedded database in the data area
};

TdmZptConnessione *dmZptConnessione();

} // namespace jex
