#include "base/appcontext.h"

#include "base/messages.h"

#include <QDir>
#include <QFileInfo>
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

bool AppContext::usesEmbeddedDatabase() const
{
    return databaseUrl.isEmpty() && qEnvironmentVariable("JEX770_DATABASE").isEmpty();
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
    if (url.dialect == Dialect::SQLite && !usesEmbeddedDatabase() && !QFileInfo::exists(url.path)) {
        const QString path = QDir::toNativeSeparators(QFileInfo(url.path).absoluteFilePath());
        switch (missingDatabase) {
        case MissingDatabase::Create:
            break;
        case MissingDatabase::Ask:
            if (!messages().confirm(QStringLiteral("Il database %1 non esiste. Crearlo vuoto?").arg(path)))
                return false;
            break;
        case MissingDatabase::Refuse:
            messages().error(QStringLiteral("Il database %1 non esiste. Controllare il percorso indicato; "
                                            "per creare un nuovo database usare il comando init oppure connect.")
                                 .arg(path));
            return false;
        }
    }
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
