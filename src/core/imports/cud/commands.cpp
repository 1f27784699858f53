// jex770 import-cud: the certification import without the window.

#include "imports/cud/cudimport.h"
#include "registration.h"

#include "base/appcontext.h"
#include "base/commands.h"
#include "base/errors.h"

namespace jex {
namespace {

int runImportCudCommand(const CommandArgs &args)
{
    const QString agent = QStringLiteral("--agent");
    const QString noAgent = QStringLiteral("--no-agent");
    if (args.has(agent) && args.has(noAgent)) {
        commandMessage(QStringLiteral("Indicare --agent oppure --no-agent, non entrambi.\n"));
        return 2;
    }
    TQxSQLConnection &conn = AppContext::instance().connection().xqoMain;
    TCudImport job(conn);
    CudImportOptions options;
    for (const QString &list : args.options.values(QStringLiteral("--persons")))
        for (const QString &cf : list.split(u',', Qt::SkipEmptyParts))
            options.persons << cf.trimmed();
    if (args.has(QStringLiteral("--persons")) && options.persons.isEmpty()) {
        commandMessage(QStringLiteral("--persons vuoto: indicare uno o più codici fiscali separati da virgole.\n"));
        return 2;
    }
    options.additionalTaxes = !args.has(QStringLiteral("--no-add"));
    try {
        // As the window proposes it: the agent's data when the return has none.
        options.importAgent = args.has(agent) || (!args.has(noAgent) && job.agentMissing());
    } catch (const std::exception &e) {
        commandMessage(errorText(e) + u'\n');
        return 1;
    }
    const bool ok = job.run(options);
    if (!job.report().isEmpty())
        commandOutput(job.report().text() + u'\n');
    if (ok || job.importedPersons() > 0)
        commandOutput(QStringLiteral("Persone importate: %1\n").arg(job.importedPersons()));
    if (!ok) {
        commandMessage(job.error() + u'\n');
        return 1;
    }
    return 0;
}

} // namespace

void registerCudCommands(Registry &registry)
{
    Command imp;
    imp.name = QStringLiteral("import-cud");
    imp.synopsis = QStringLiteral("import-cud [--persons CF[,CF...]] [--no-add] [--agent|--no-agent]");
    imp.description = QStringLiteral("Importa le certificazioni (CU) nella dichiarazione: tutte le persone o quelle indicate");
    imp.valueOptions = {QStringLiteral("--persons")};
    imp.flags = {QStringLiteral("--no-add"), QStringLiteral("--agent"), QStringLiteral("--no-agent")};
    imp.maxPositional = 0;
    imp.run = runImportCudCommand;
    registry.commands.add(imp);
}

} // namespace jex
