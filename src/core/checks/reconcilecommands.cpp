// jex770 reconcile: the reconciliation of certifications, summary tables and
// F24 payments without the window, and the job the window and the telematic
// wizard run on the program's database.

#include "checks/reconcile.h"
#include "checks/reconcilerun.h"
#include "registration.h"

#include "base/appcontext.h"
#include "base/commands.h"
#include "base/errors.h"
#include "base/messages.h"
#include "database/connection.h"
#include "demo/demoinit.h"
#include "printing/sectionprints.h"
#include "sections/sectionstore.h"

namespace jex {

ReconcileJob programReconcileJob(SectionStore &store)
{
    // Without the program's database (sections read from files) there is
    // no archive of payments: the job says so among its findings.
    TQxSQLConnection &conn = AppContext::instance().connection().xqoMain;
    TQxSQLConnection *archive = conn.isConnected() ? &conn : nullptr;
    const bool demo = archive && demo::holdsDemoSchool(conn);
    return ReconcileJob(store, archive, ReconcileMap::load(reconcileMapPath(demo)));
}

ReconcileJob programReconcileJob() { return programReconcileJob(currentStore()); }

bool printReconciliation(const ReconcileReport &report, const QString &path, bool openAfter)
{
    TdmJexProspSTPDF module;
    module.openAfterReport = openAfter;
    return module.PrintQuadratura(path, report);
}

namespace {

int runReconcileCommand(const CommandArgs &a)
{
    const QString format = a.value(QStringLiteral("--format"), QStringLiteral("text")).toLower();
    if (format != QLatin1String("text") && format != QLatin1String("csv") && format != QLatin1String("json")) {
        commandMessage(QStringLiteral("Formato \"%1\" non valido: indicare text, csv o json\n").arg(format));
        return 2;
    }
    const QString out = a.value(QStringLiteral("--out"));
    if (a.has(QStringLiteral("--out")) && out.isEmpty()) {
        commandMessage(QStringLiteral("Indicare il file PDF dopo --out\n"));
        return 2;
    }
    try {
        ReconcileJob job = programReconcileJob();
        const ReconcileReport &report = job.run();
        // The print first: when it cannot be written the command has failed
        // and gives no result.
        if (!out.isEmpty() && !printReconciliation(report, out, false))
            return 2;
        if (format == QLatin1String("csv"))
            commandOutput(report.toCsv());
        else if (format == QLatin1String("json"))
            commandOutput(report.toJson());
        else
            commandOutput(QStringLiteral("Quadratura CU / 770 / F24 - anno %1 (riquadri: %2)\n\n")
                              .arg(currentStore().year())
                              .arg(job.map().source)
                          + report.toText());
        if (!out.isEmpty())
            commandMessage(QStringLiteral("File generato: %1\n").arg(out));
        return report.flagged() == 0 ? 0 : 1;
    } catch (const EAbort &) {
        return 2;
    } catch (const std::exception &e) {
        messages().error(errorText(e));
        return 2;
    }
}

} // namespace

void registerReconcile(Registry &registry)
{
    Command c;
    c.name = QStringLiteral("reconcile");
    c.synopsis = QStringLiteral("reconcile [--out FILE.pdf] [--format text|csv|json]");
    c.description = QStringLiteral(
        "Quadratura CU / 770 / F24: confronta le ritenute delle certificazioni con i prospetti ST e SV e questi con "
        "i versamenti F24 dell'archivio (uscita 0 senza differenze, 1 con differenze da verificare, 2 se non "
        "eseguita); con --out crea anche la stampa PDF.");
    c.valueOptions = {QStringLiteral("--out"), QStringLiteral("--format")};
    c.maxPositional = 0;
    c.run = runReconcileCommand;
    registry.commands.add(c);
}

} // namespace jex
