// jex770 import-autonomi: the import of the self-employed payees without the
// selection window.

#include "imports/autonomi/autonomiimport.h"
#include "registration.h"

#include "base/appcontext.h"
#include "base/commands.h"
#include "base/errors.h"
#include "sections/databasestore.h"

#include <QTextStream>
#include <cstdio>

namespace jex {
namespace {

bool parsePolicy(const QString &text, OverwritePolicy &policy)
{
    if (text.isEmpty() || text == QLatin1String("ask"))
        policy = OverwritePolicy::Ask;
    else if (text == QLatin1String("always"))
        policy = OverwritePolicy::Always;
    else if (text == QLatin1String("never"))
        policy = OverwritePolicy::Never;
    else
        return false;
    return true;
}

bool parsePersons(const QString &text, QList<qint64> &ids)
{
    for (const QString &part : text.split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const qint64 id = part.trimmed().toLongLong(&ok);
        if (!ok || id <= 0)
            return false;
        ids.append(id);
    }
    return !ids.isEmpty();
}

int runImportAutonomiCommand(const CommandArgs &args)
{
    QTextStream err(stderr);
    ImportAutonomiOptions options;
    if (args.has(QStringLiteral("--only-registry")))
        options.variant = AutonomiVariant::OnlyRegistry;
    if (!parsePolicy(args.value(QStringLiteral("--overwrite")), options.policy)) {
        err << QStringLiteral("Valore di --overwrite non valido: \"%1\" (ammessi: always, never, ask)")
                   .arg(args.value(QStringLiteral("--overwrite")))
            << Qt::endl;
        return 2;
    }
    if (args.has(QStringLiteral("--persons")) && !parsePersons(args.value(QStringLiteral("--persons")), options.persons)) {
        err << QStringLiteral("Elenco di --persons non valido: \"%1\" (numeri di posizione separati da virgole)")
                   .arg(args.value(QStringLiteral("--persons")))
            << Qt::endl;
        return 2;
    }
    TQxSQLConnection &conn = AppContext::instance().connection().xqoMain;
    return runReportedCommand([&] {
        const AutonomiResult result = runImportAutonomi(conn, applicationStore(), options, programAutonomiYear());
        return ReportedRun{result.report(), result.failed == 0};
    });
}

} // namespace

void registerAutonomiCommands(Registry &registry)
{
    Command imp;
    imp.name = QStringLiteral("import-autonomi");
    imp.synopsis = QStringLiteral("import-autonomi [--only-registry] [--overwrite always|never|ask] [--persons ID,...]");
    imp.description = QStringLiteral("Importa i percipienti autonomi dall'archivio dei compensi (tutti se nessuno è "
                                     "indicato), con le somme erogate salvo --only-registry");
    imp.flags = {QStringLiteral("--only-registry")};
    imp.valueOptions = {QStringLiteral("--overwrite"), QStringLiteral("--persons")};
    imp.maxPositional = 0;
    imp.run = runImportAutonomiCommand;
    registry.commands.add(imp);
}

} // namespace jex
