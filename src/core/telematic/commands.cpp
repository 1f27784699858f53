// Batch commands of the telematic file.

#include "base/commands.h"
#include "sections/databasestore.h"
#include "registration.h"
#include "database/structureservice.h"
#include "base/errors.h"
#include "base/messages.h"
#include "telematic/returndata.h"
#include "telematic/generation.h"
#include "telematic/job.h"
#include "demo/demoinit.h"
#include "base/appcontext.h"
#include "base/outputfile.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace jex {

namespace {

// The written supply is the result (standard output); the progress of the
// generation and every message go to standard error.
QTextStream &out()
{
    static QTextStream s(stdout);
    s.setEncoding(QStringConverter::Utf8);
    return s;
}

// A line of what the command is doing, on standard error.
void info(const QString &line)
{
    messages().progress(line);
}

int runTelematic(const CommandArgs &args)
{
    const QString target = args.value(QStringLiteral("--out"));
    if (target.isEmpty()) {
        info(QStringLiteral("Indicare il file da scrivere con --out FILE"));
        return 2;
    }
    TQmrDBCds service;
    DbCdsStore store(&service);
    TdmJexFile dm;
    dm.store = &store;
    dm.addInfo = [](const QString &line) { info(line); };
    TelematicJob job(dm);
    job.open(true);
    info(QStringLiteral("Percorso: ") + job.path());

    QStringList findings;
    if (!job.check(findings)) {
        for (const QString &f : findings)
            info(f);
        if (!args.has(QStringLiteral("--yes"))) {
            info(QStringLiteral("Generazione file telematico terminata dall'utente"));
            return 1;
        }
    }
    QStringList files;
    try {
        job.generate(!args.has(QStringLiteral("--no-d")), !args.has(QStringLiteral("--no-sy")));
        makeOutputFolder(target);
        files = job.write(target);
    } catch (const EAbort &) {
        info(QStringLiteral("Operazione terminata con errore"));
        return 1;
    } catch (const std::exception &e) {
        info(QStringLiteral("***** ") + errorText(e));
        info(QStringLiteral("Operazione terminata con errore"));
        return 1;
    }
    job.close();
    info(QStringLiteral("Operazione terminata con successo."));
    out() << "Generazione file completata con successo. Il file è presente in:" << Qt::endl;
    for (const QString &f : files)
        out() << f << Qt::endl;
    return 0;
}

} // namespace

void registerTelematic(Registry &registry)
{
    Command tel;
    tel.name = QStringLiteral("telematic");
    tel.synopsis = QStringLiteral("telematic [--no-d] [--no-sy] [--yes] --out FILE");
    tel.description = QStringLiteral("Genera il file telematico 770 (record A, B, D, I, J, Z)");
    tel.valueOptions = {QStringLiteral("--out")};
    tel.flags = {QStringLiteral("--no-d"), QStringLiteral("--no-sy"), QStringLiteral("--yes")};
    tel.maxPositional = 0;
    tel.run = runTelematic;
    registry.commands.add(tel);

    Command tables;
    tables.name = QStringLiteral("make-telematic-tables");
    tables.synopsis = QStringLiteral("make-telematic-tables DIR");
    tables.description = QStringLiteral("Scrive vuote le tabelle di lavoro del file telematico");
    tables.hidden = true;
    tables.needsStartup = false;
    tables.run = [](const CommandArgs &args) {
        if (args.positional.isEmpty())
            return 2;
        writeEmptyWorkingTables(args.positional.first());
        return 0;
    };
    registry.commands.add(tables);

    Command demo;
    demo.name = QStringLiteral("telematic-demo");
    demo.synopsis = QStringLiteral("telematic-demo");
    demo.description = QStringLiteral("Aggiunge alla scuola dimostrativa i prospetti SX, SY, DI e un sostituto estinto");
    demo.maxPositional = 0;
    demo.run = [](const CommandArgs &) {
        // Merged into a real return the demo's rows could not be told from
        // the school's own.
        if (!demo::holdsDemoSchool(AppContext::instance().connection().xqoMain)) {
            info(QStringLiteral("Il database non contiene la scuola dimostrativa: i dati dimostrativi non sono "
                                "stati aggiunti e nulla è cambiato."));
            return 1;
        }
        TQmrDBCds service;
        seedTelematicDemo(service);
        out() << "Dati dimostrativi del file telematico aggiunti" << Qt::endl;
        return 0;
    };
    registry.commands.add(demo);
}


} // namespace jex
