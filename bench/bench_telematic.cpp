// Generation, assembly and writing of a telematic file for a supply of
// 20,000 rows of ST section I (goal: under 2 s together).

#include "registration.h"
#include "base/messages.h"
#include "telematic/generation.h"
#include "sections/memorystore.h"

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
    const QString src = qEnvironmentVariable("JEX770_SOURCE_DIR", QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/.."));
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 20000;
    ScriptedMessageService msgs;
    setMessageService(&msgs);

    MemorySectionStore store(src + QStringLiteral("/data/USR/YR2024/Res/Catalogo/jex.xml"));
    auto add = [&](const char *table, const QVariantMap &v) {
        ClientDataSet &ds = store.table(QString::fromLatin1(table));
        ds.append();
        for (auto it = v.begin(); it != v.end(); ++it)
            ds.fieldByName(it.key())->setValue(it.value());
        ds.post();
    };
    add("TFOR_FORNITORE", {{"SFORCODFIS", "80012345676"}, {"STFOCODICE", "01"}});
    add("TSOS_DATOSOSTITUTO", {{"SSOSCODFIS", "80012345676"}, {"SSOSDENOM", "ISTITUTO DI PROVA"}});
    for (int i = 0; i < rows; ++i)
        add("TPST_PROSPETTOST", {{"SPSTMESE", QString::number(i % 12 + 1)}, {"SPSTANNO", "2024"},
                                 {"FPSTRITOPEARTE", 1000.0 + i}, {"FPSTIMPOVERSATO", 1000.0 + i},
                                 {"SPSTCODTRIBUTO", "100E"}, {"SNOTCODICE", "A"},
                                 {"DPSTDTVERS", QDate(2024, 1, 16).addDays(i % 300)}});

    QTemporaryDir tmp;
    TdmJexFile dm;
    dm.store = &store;
    dm.layoutDir = src + QStringLiteral("/data/USR/YR2024/Res/FileTel/");
    dm.openTables();

    QElapsedTimer t;
    t.start();
    const std::clock_t cpu0 = std::clock();
    dm.runGeneration();
    const qint64 gen = t.elapsed();
    dm.BuildFile();
    const qint64 build = t.elapsed() - gen;
    const QStringList files = dm.WriteTelematicFile(tmp.filePath(QStringLiteral("77025")));
    const qint64 total = t.elapsed();
    const qint64 cpu = qint64(std::clock() - cpu0) * 1000 / CLOCKS_PER_SEC;

    QTextStream out(stdout);
    out << "ST rows: " << rows << ", D modules: " << dm.moduleD - 1 << ", records: "
        << dm.cdsFileTel().recordCount() << ", files: " << files.size() << Qt::endl;
    out << "generation " << gen << " ms, assembly " << build << " ms, writing " << total - gen - build
        << " ms, total " << total << " ms (processor time " << cpu
        << " ms)" << Qt::endl;
    return 0;
}
