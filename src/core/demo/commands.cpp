// jex770 init [--demo [--force]] [--employees N]

#include "demo/demoagent.h"
#include "sections/databasestore.h"
#include "registration.h"
#include "demo/demoschool.h"

#include "base/appcontext.h"
#include "base/commands.h"
#include "database/structureservice.h"
#include "base/errors.h"
#include "database/params.h"
#include "demo/f24payments.h"
#include "telematic/returndata.h"
#include "demoinit.h"

#include <cstdio>

namespace jex::demo {
namespace {

int runInit(const CommandArgs &a)
{
    bool ok = true;
    const int employees = a.value(QStringLiteral("--employees"), QStringLiteral("40")).toInt(&ok);
    if (!ok || employees < 1 || employees > 100000) {
        commandOutput(QStringLiteral("Numero di dipendenti non valido: %1\n").arg(a.value(QStringLiteral("--employees"))));
        return 2;
    }
    AppContext &ctx = AppContext::instance();
    if (!ctx.openDatabase())
        return 1;
    TQxSQLConnection &conn = ctx.connection().xqoMain;
    ensureYears(conn);
    commandOutput(QStringLiteral("Database pronto: %1\n").arg(conn.url().display()));
    if (!a.has(QStringLiteral("--demo")))
        return 0;

    const bool force = a.has(QStringLiteral("--force"));
    DemoSchool school;
    const DemoInit done = initDemo(conn, employees, force, school);
    switch (done.result) {
    case InitResult::Created:
        if (!done.found.isEmpty())
            commandOutput(QStringLiteral("Con --force sono stati sostituiti dai dati dimostrativi: %1.\n").arg(done.found.describe()));
        commandOutput(QStringLiteral("Scuola dimostrativa creata: %1, codice fiscale %2, %3 dipendenti e %4 lavoratori autonomi.\n")
                .arg(school.seat.denom, school.seat.codFis)
                .arg(school.employees)
                .arg(school.selfEmployed));
        return 0;
    case InitResult::AlreadyPresent:
        commandOutput(QStringLiteral("La scuola dimostrativa è già presente nel database: nessuna modifica.\n"));
        return 0;
    case InitResult::OtherSchool:
        std::fputs(QStringLiteral("Il database contiene già i dati di una dichiarazione (%1): la scuola dimostrativa non è "
                                  "stata creata e nulla è cambiato. Per sostituire quei dati con la scuola dimostrativa: "
                                  "jex770 init --demo --force\n")
                       .arg(done.found.describe()).toUtf8().constData(), stderr);
        return 1;
    }
    return 1;
}

} // namespace

} // namespace jex::demo

namespace jex {

void registerDemo(Registry &registry)
{
    using namespace demo;
    Command c;
    c.name = QStringLiteral("init");
    c.synopsis = QStringLiteral("init [--demo [--force]] [--employees N]");
    c.description = QStringLiteral(
        "Crea il database se manca e gli anni 2019-2025; con --demo lo riempie con una scuola dimostrativa (N dipendenti, "
        "40 se non indicato) se la dichiarazione è vuota; con --force ne sostituisce i dati, dicendo quali.");
    c.valueOptions = {QStringLiteral("--employees")};
    c.flags = {QStringLiteral("--demo"), QStringLiteral("--force")};
    c.maxPositional = 0;
    c.createsDatabase = true;
    c.needsStartup = false; // the start-up checks would ask for a school that is not there yet
    c.run = runInit;
    registry.commands.add(c);
}

} // namespace jex
