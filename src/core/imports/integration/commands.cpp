// jex770 integrate: the integration of an extinct agent's employees or
// self-employed recipients without the window.

#include "imports/integration/intsosimport.h"
#include "registration.h"

#include "base/appcontext.h"
#include "base/commands.h"
#include "base/errors.h"
#include "sections/databasestore.h"

namespace jex {
namespace {

int runIntegrateCommand(const CommandArgs &args)
{
    const bool employees = args.has(QStringLiteral("--employees"));
    const bool selfEmployed = args.has(QStringLiteral("--self-employed"));
    if (employees == selfEmployed) {
        commandMessage(QStringLiteral("Indicare --employees (dipendenti) oppure --self-employed (autonomi), uno dei due.\n"));
        return 2;
    }
    const QString dir = args.value(QStringLiteral("--from"));
    if (dir.trimmed().isEmpty()) {
        commandMessage(QStringLiteral("Indicare con --from DIR la cartella dei dati esportati dal sostituto estinto.\n"));
        return 2;
    }
    QStringList persons;
    for (const QString &list : args.options.values(QStringLiteral("--persons")))
        for (const QString &cf : list.split(u',', Qt::SkipEmptyParts))
            if (!cf.trimmed().isEmpty())
                persons << cf.trimmed();
    if (args.has(QStringLiteral("--persons")) && persons.isEmpty()) {
        commandMessage(QStringLiteral("--persons vuoto: indicare uno o più codici fiscali separati da virgole.\n"));
        return 2;
    }
    TQxSQLConnection &conn = AppContext::instance().connection().xqoMain;
    TIntSosImport job(conn, applicationStore(), employees ? IntSosVariant::Employees : IntSosVariant::SelfEmployed, dir);
    const bool ok = job.run(persons);
    if (!job.report().isEmpty())
        commandOutput(job.report().text() + u'\n');
    if (ok || job.integratedPersons() > 0)
        commandOutput(QStringLiteral("Persone integrate: %1\n").arg(job.integratedPersons()));
    if (!ok) {
        commandMessage(job.error() + u'\n');
        return 1;
    }
    return 0;
}

} // namespace

void registerIntegrationCommands(Registry &registry)
{
    Command c;
    c.name = QStringLiteral("integrate");
    c.synopsis = QStringLiteral("integrate --employees|--self-employed --from DIR [--persons CF[,CF...]]");
    c.description = QStringLiteral("Integra i dipendenti o gli autonomi di un sostituto estinto dalle tabelle che ha esportato");
    c.valueOptions = {QStringLiteral("--from"), QStringLiteral("--persons")};
    c.flags = {QStringLiteral("--employees"), QStringLiteral("--self-employed")};
    c.maxPositional = 0;
    c.run = runIntegrateCommand;
    registry.commands.add(c);
}

} // namespace jex
