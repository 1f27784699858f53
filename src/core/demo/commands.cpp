// jex770 init [--demo] [--employees N]

#include "demo/demoagent.h"
#include "sections/databasestore.h"
#include "registration.h"
#include "demo/demorecipients.h"
#include "demo/demoschool.h"

#include "base/appcontext.h"
#include "base/commands.h"
#include "database/structureservice.h"
#include "base/errors.h"
#include "database/params.h"
#include "demo/f24payments.h"
#include "telematic/returndata.h"

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

    TQmrDBCds service(2024, QStringLiteral("jey"), 0);
    service.SetConnection(&conn);
    service.SetShowWait(false);
    const TableSink sink = [&service](const QString &table, ClientDataSet &ds) { service.SaveCds(ds, table); };
    DemoSchool school;
    switch (installDemo(conn, employees, catalogueFactory(), sink, &school)) {
    case InitResult::Created: {
        // The payroll archive of F24 payments, the agent's and the
        // supplier's records, the summary tables the payments do not fill
        // (SX, SY, DI, an extinct agent) and the recipients' records, so
        // that every function of the program has data to work on.
        const bool own = conn.startTransaction();
        try {
            seedF24Demo(conn, false); // the refusal case of the tests stays out of the demo year
            TQmrDBCds jexService(2024, QStringLiteral("jex"), 0);
            jexService.SetConnection(&conn);
            jexService.SetShowWait(false);
            DbCdsStore store(&jexService);
            seedAgentDemo(school, store);
            seedTelematicDemo(store);
            seedRecipientsDemo(school, store);
            if (own)
                conn.commit();
        } catch (...) {
            if (own)
                conn.rollback();
            throw;
        }
        commandOutput(QStringLiteral("Scuola dimostrativa creata: %1, codice fiscale %2, %3 dipendenti e %4 lavoratori autonomi.\n")
                .arg(school.seat.denom, school.seat.codFis)
                .arg(school.employees)
                .arg(school.selfEmployed));
        return 0;
    }
    case InitResult::AlreadyPresent:
        commandOutput(QStringLiteral("La scuola dimostrativa è già presente nel database: nessuna modifica.\n"));
        return 0;
    case InitResult::OtherSchool:
        commandOutput(QStringLiteral("Il database contiene già i dati di un'altra scuola: la scuola dimostrativa non è stata creata.\n"));
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
    c.synopsis = QStringLiteral("init [--demo] [--employees N]");
    c.description = QStringLiteral(
        "Crea il database se manca e gli anni 2019-2025; con --demo lo riempie con una scuola dimostrativa (N dipendenti, 40 se non indicato).");
    c.valueOptions = {QStringLiteral("--employees")};
    c.flags = {QStringLiteral("--demo")};
    c.maxPositional = 0;
    c.createsDatabase = true;
    c.needsStartup = false; // the start-up checks would ask for a school that is not there yet
    c.run = runInit;
    registry.commands.add(c);
}

} // namespace jex
