// Batch commands of the telematic file.

#include "base/commands.h"
#include "registration.h"
#include "database/structureservice.h"
#include "base/errors.h"
#include "base/messages.h"
#include "telematic/returndata.h"
#include "telematic/generation.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace jex {

namespace {

QTextStream &out()
{
    static QTextStream s(stdout);
    return s;
}

int runTelematic(const CommandArgs &args)
{
    const QString target = args.value(QStringLiteral("--out"));
    if (target.isEmpty()) {
        out() << "Indicare il file da scrivere con --out FILE" << Qt::endl;
        return 2;
    }
    TQmrDBCds service;
    TdmJexFile dm;
    dm.access = dbcdsAccess(service);
    dm.addInfo = [](const QString &line) { out() << line << Qt::endl; };
    dm.openTables();

    const bool dData = dm.hasDiStSvSxData();
    const bool syData = dm.hasSyData();
    const char *path = !dData && !syData ? "onlyfile" : (dData && !syData ? "onlySV-ST-Sx-DI"
                                                         : (!dData ? "onlySY" : "Default"));
    out() << "Percorso: " << path << Qt::endl;
    dm.includeD = !args.has(QStringLiteral("--no-d"));
    dm.includeSY = !args.has(QStringLiteral("--no-sy"));

    QStringList findings;
    CompletenessCheck &check = telematicCompletenessCheck();
    if (check && !check(findings, {&dm.cds("cdsSost"), &dm.cds("cdsForn")}, 1)) {
        for (const QString &f : findings)
            out() << f << Qt::endl;
        if (!args.has(QStringLiteral("--yes"))) {
            out() << "Generazione file telematico terminata dall'utente" << Qt::endl;
            return 1;
        }
    }
    try {
        dm.runGeneration();
    } catch (const std::exception &e) {
        out() << "***** " << errorText(e) << Qt::endl << "Operazione terminata con errore" << Qt::endl;
        return 1;
    }
    const QString dir = QFileInfo(target).absolutePath();
    QDir().mkpath(dir);
    dm.BuildFile();
    const QStringList files = dm.WriteTelematicFile(target);
    dm.closeTables();
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
    demo.run = [](const CommandArgs &) {
        TQmrDBCds service;
        seedTelematicDemo(service);
        out() << "Dati dimostrativi del file telematico aggiunti" << Qt::endl;
        return 0;
    };
    registry.commands.add(demo);
}


} // namespace jex
