#include "base/appcontext.h"

#include "base/messages.h"

#include <algorithm>

namespace jex {

AppContext &AppContext::instance()
{
    static AppContext ctx;
    return ctx;
}

QString AppContext::effectiveDatabaseUrl() const
{
    if (!databaseUrl.isEmpty())
        return databaseUrl;
    const QString env = qEnvironmentVariable("JEX770_DATABASE");
    return env.isEmpty() ? TdmZptConnessione::defaultDatabaseUrl() : env;
}

TdmZptConnessione &AppContext::connection()
{
    if (!m_connection)
        m_connection = std::make_unique<TdmZptConnessione>();
    return *m_connection;
}

void AppContext::reset()
{
    if (globalConnection() == (m_connection ? &m_connection->xqoMain : nullptr))
        setGlobalConnection(nullptr);
    m_connection.reset();
}

bool AppContext::openDatabase()
{
    TdmZptConnessione &c = connection();
    if (c.xqoMain.isConnected())
        return true;
    const DatabaseUrl url = DatabaseUrl::parse(effectiveDatabaseUrl());
    return c.OpenZptConnection(url);
}

void AppContext::addStartupStep(const Step &step)
{
    for (auto &s : m_steps)
        if (s.name == step.name) {
            s = step;
            return;
        }
    m_steps.append(step);
    std::stable_sort(m_steps.begin(), m_steps.end(), [](const Step &a, const Step &b) { return a.order < b.order; });
}

bool AppContext::runStartup()
{
    if (!openDatabase())
        return false;
    for (const Step &s : m_steps)
        if (!s.run())
            return false;
    return true;
}

} // namespace jex
