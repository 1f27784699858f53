// jex770 import-previous: the registry import from last year's return
// without its dialog.

#include "imports/previous/previousimport.h"
#include "registration.h"

#include "base/appcontext.h"
#include "base/commands.h"
#include "base/errors.h"
#include "base/paths.h"
#include "sections/databasestore.h"

#include <QTextStream>
#include <cstdio>

namespace jex {
namespace {

int runImportPreviousCommand(const CommandArgs &args)
{
    QTextStream err(stderr);
    const bool employees = args.has(QStringLiteral("--employees"));
    if (employees && args.has(QStringLiteral("--self-employed"))) {
        err << QStringLiteral("Indicare soltanto una tra --employees e --self-employed") << Qt::endl;
        return 2;
    }
    // As in the dialog: without a choice, the self-employed.
    const PreviousKind kind = employees ? PreviousKind::Employees : PreviousKind::SelfEmployed;
    const QString from = args.has(QStringLiteral("--from")) ? args.value(QStringLiteral("--from"))
                                                            : Paths::previousDataDir();
    TQxSQLConnection &conn = AppContext::instance().connection().xqoMain;
    return runReportedCommand([&] {
        TPreviousRegistryImport imp(conn, applicationStore(), kind);
        const PreviousImportResult result = imp.run(from);
        return ReportedRun{result.report(), result.failed == 0};
    });
}

} // namespace

void registerPreviousImportCommands(Registry &registry)
{
    Command imp;
    imp.name = QStringLiteral("import-previous");
    imp.synopsis = QStringLiteral("import-previous [--employees|--self-employed] [--from CARTELLA]");
    imp.description = QStringLiteral("Aggiunge le anagrafiche dei dipendenti o degli autonomi (predefinito) del 770 "
                                     "dell'anno precedente non ancora presenti (da USR/YRDati/YR2023 salvo --from)");
    imp.flags = {QStringLiteral("--employees"), QStringLiteral("--self-employed")};
    imp.valueOptions = {QStringLiteral("--from")};
    imp.maxPositional = 0;
    imp.run = runImportPreviousCommand;
    registry.commands.add(imp);
}

} // namespace jex
