// jex770 import-f24: the F24 import without the window, for scripts and checks.

#include "demo/f24payments.h"
#include "registration.h"
#include "imports/f24/f24import.h"

#include "base/appcontext.h"
#include "base/commands.h"
#include "base/errors.h"

#include <QTextStream>
#include <cstdio>

namespace jex {
namespace {

int runImportF24Command(const CommandArgs &args)
{
    ImportF24Choice choice;
    const bool any = args.has(QStringLiteral("--st1")) || args.has(QStringLiteral("--st2"))
                     || args.has(QStringLiteral("--sv"));
    if (any) {
        choice.st1 = args.has(QStringLiteral("--st1"));
        choice.st2 = args.has(QStringLiteral("--st2"));
        choice.sv = args.has(QStringLiteral("--sv"));
    }
    TQxSQLConnection &conn = AppContext::instance().connection().xqoMain;
    return runReportedCommand([&] {
        auto store = makeProgramStore(conn);
        return ReportedRun{runImportF24(conn, *store, choice, programYear(conn))};
    });
}

} // namespace

void registerF24Commands(Registry &registry)
{
    Command imp;
    imp.name = QStringLiteral("import-f24");
    imp.synopsis = QStringLiteral("import-f24 [--st1] [--st2] [--sv]");
    imp.description = QStringLiteral("Importa i versamenti F24 nei prospetti ST I, ST II e SV (tutti se nessuno è indicato)");
    imp.flags = {QStringLiteral("--st1"), QStringLiteral("--st2"), QStringLiteral("--sv")};
    imp.maxPositional = 0;
    imp.run = runImportF24Command;
    registry.commands.add(imp);
    // Fills the payroll archive with the demo year only, for checks by hand.
    Command demo;
    demo.name = QStringLiteral("f24-demo");
    demo.synopsis = QStringLiteral("f24-demo [--no-previous-year]");
    demo.description = QStringLiteral("Versamenti F24EP dimostrativi del 2024 nell'archivio degli stipendi");
    demo.flags = {QStringLiteral("--no-previous-year")};
    demo.maxPositional = 0;
    demo.hidden = true;
    demo.run = [](const CommandArgs &a) {
        seedF24Demo(AppContext::instance().connection().xqoMain, !a.has(QStringLiteral("--no-previous-year")));
        return 0;
    };
    registry.commands.add(demo);
}

} // namespace jex
