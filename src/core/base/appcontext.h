#pragma once

#include "database/connection.h"

#include <QString>
#include <functional>
#include <memory>

namespace jex {

// What the program was started with, and the steps every start runs.
class AppContext
{
public:
    static AppContext &instance();

    QString databaseUrl; // empty = the embedded database
    QString effectiveDatabaseUrl() const;
    // True when the database is the embedded one (no --database, no
    // JEX770_DATABASE): that one is created on first start.
    bool usesEmbeddedDatabase() const;

    // What opening does with a SQLite database named by the user that does
    // not exist yet: a typing error must not become a new empty database.
    enum class MissingDatabase { Create, Ask, Refuse };
    MissingDatabase missingDatabase = MissingDatabase::Create;

    // The connection module, created on first use (it loads the named texts).
    TdmZptConnessione &connection();
    void reset(); // drops the module (tests)

    // Opens the database as the program's start-up does: false when the
    // user has been told why not. Unexpected failures are thrown.
    bool openDatabase();

    // Further start-up steps after the connection (data directory check,
    // withholding-agent check, year), added by the subsystems in order.
    struct Step { int order; QString name; std::function<bool()> run; };
    void addStartupStep(const Step &step);
    // Connection plus every step; false when one refused.
    bool runStartup();

private:
    std::unique_ptr<TdmZptConnessione> m_connection;
    QList<Step> m_steps;
};

} // namespace jex
