// Check and read-back of a supply of 120,000 rows of ST section I (two
// files): goals under 2 s for the check and under 10 s for the read into the
// return, on the structure service over SQLite (or the URL given).
//
//   bench_supply [ROWS [DATABASE-URL]]   (a PostgreSQL URL must name an empty database)

#include "registration.h"
#include "base/messages.h"
#include "base/paths.h"
#include "database/sqlconnection.h"
#include "database/structureservice.h"
#include "demo/codicefiscale.h"
#include "sections/databasestore.h"
#include "sections/memorystore.h"
#include "telematic/generation.h"
#include "telematic/supply/checker.h"
#include "telematic/supply/reader.h"
#include "telematic/supply/supplylayout.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <ctime>

using namespace jex;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    registerCore(coreRegistry());
    Paths::setMainDir(qEnvironmentVariableIsSet("JEX770_MAIN_DIR") ? qEnvironmentVariable("JEX770_MAIN_DIR")
                                                                    : QStringLiteral(JEX770_BENCH_MAIN_DIR));
    const QString src = qEnvironmentVariable("JEX770_SOURCE_DIR", QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/.."));
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 120000;
    ScriptedMessageService msgs;
    setMessageService(&msgs);
    QTextStream out(stdout);

    // The supply: generated from a return in memory.
    MemorySectionStore memory(src + QStringLiteral("/data/USR/YR2024/Res/Catalogo/jex.xml"));
    auto add = [&](const char *table, const QVariantMap &v) {
        ClientDataSet &ds = memory.table(QString::fromLatin1(table));
        ds.append();
        for (auto it = v.begin(); it != v.end(); ++it)
            ds.fieldByName(it.key())->setValue(it.value());
        ds.post();
    };
    const QString cf = QStringLiteral("8001234567") + QString::number(demo::organisationCheckDigit(QStringLiteral("8001234567")));
    add("TFOR_FORNITORE", {{"SFORCODFIS", cf}, {"STFOCODICE", "01"}});
    add("TSOS_DATOSOSTITUTO", {{"SSOSCODFIS", cf}, {"SSOSDENOM", "ISTITUTO DI PROVA"}});
    for (int i = 0; i < rows; ++i)
        add("TPST_PROSPETTOST", {{"SPSTMESE", QString::number(i % 12 + 1)}, {"SPSTANNO", "2024"},
                                 {"FPSTRITOPEARTE", 1000.0 + i}, {"FPSTIMPOVERSATO", 1000.0 + i},
                                 {"SPSTCODTRIBUTO", "100E"}, {"DPSTDTVERS", QDate(2024, 1, 16).addDays(i % 300)}});
    QTemporaryDir tmp;
    TdmJexFile dm;
    dm.store = &memory;
    dm.layoutDir = src + QStringLiteral("/data/USR/YR2024/Res/FileTel/");
    dm.openTables();
    dm.runGeneration();
    dm.BuildFile();
    const QStringList files = dm.WriteTelematicFile(tmp.filePath(QStringLiteral("77025")));
    out << "ST rows: " << rows << ", records: " << dm.cdsFileTel().recordCount() << ", files: " << files.size()
        << Qt::endl;

    // Processor time beside the elapsed time: the machine may be shared.
    auto cpuMs = [](std::clock_t from) { return qint64(std::clock() - from) * 1000 / CLOCKS_PER_SEC; };
    QElapsedTimer t;
    t.start();
    std::clock_t cpu = std::clock();
    const supply::SupplyLayouts layouts(dm.layoutDir);
    const supply::CheckReport report = supply::checkSupply(files, layouts);
    out << "check-file: " << t.elapsed() << " ms (processor " << cpuMs(cpu) << " ms), " << report.summary() << Qt::endl;

    MemorySectionStore empty(src + QStringLiteral("/data/USR/YR2024/Res/Catalogo/jex.xml"));
    t.restart();
    cpu = std::clock();
    supply::readSupplyInto(empty, files, true, dm.layoutDir);
    out << "read-file into memory: " << t.elapsed() << " ms (processor " << cpuMs(cpu) << " ms)" << Qt::endl;

    TQxSQLConnection conn(QStringLiteral("bench"));
    conn.open(DatabaseUrl::parse(argc > 2 ? QString::fromLocal8Bit(argv[2])
                                          : QStringLiteral("sqlite:") + tmp.filePath(QStringLiteral("bench.db"))));
    TQmrDBCds service(2024, QStringLiteral("jex"), 0);
    service.SetConnection(&conn);
    service.SetShowWait(false);
    DbCdsStore store(&service);
    t.restart();
    cpu = std::clock();
    const supply::ReadResult read = supply::readSupplyInto(store, files, true, dm.layoutDir);
    out << "read-file into the database: " << t.elapsed() << " ms (processor " << cpuMs(cpu) << " ms), " << read.message
        << Qt::endl;
    return read.written && report.errors == 0 ? 0 : 1;
}
