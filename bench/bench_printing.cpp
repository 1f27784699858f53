// ST print of 2,000 section I rows of one agent, on in-memory sections.
#include "registration.h"
#include "sections/memorystore.h"
#include "sections/sectionstore.h"
#include "printing/sectionprints.h"

#include "dataset/dataset.h"
#include "base/paths.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

using namespace jex;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    registerCore(coreRegistry());
    Paths::setMainDir(qEnvironmentVariableIsSet("JEX770_MAIN_DIR") ? qEnvironmentVariable("JEX770_MAIN_DIR")
                                                                    : QStringLiteral(JEX770_BENCH_MAIN_DIR));
    MemorySectionStore tables;
    ClientDataSet &st = tables.table(QStringLiteral("TPST_PROSPETTOST"));
    for (int i = 0; i < 2000; ++i) {
        st.append();
        st.fieldByName(QStringLiteral("SPSTMESE"))->setAsString(QString::asprintf("%02d", i % 12 + 1));
        st.fieldByName(QStringLiteral("SPSTANNO"))->setAsString(QStringLiteral("2024"));
        st.fieldByName(QStringLiteral("SPSTCODTRIBUTO"))->setAsString(QStringLiteral("1001"));
        st.fieldByName(QStringLiteral("FPSTRITOPEARTE"))->setAsFloat(1234.56 + i);
        st.fieldByName(QStringLiteral("FPSTIMPOVERSATO"))->setAsFloat(1234.56 + i);
        st.post();
    }
    setSectionStore(&tables);
    QTemporaryDir dir;
    QElapsedTimer t;
    t.start();
    TdmJexProspSTPDF module;
    const bool ok = module.PrintProspST(dir.filePath(QStringLiteral("ST.pdf")));
    const qint64 ms = t.elapsed();
    std::printf("ST, 2000 righe sezione I: %s, %lld pagine, %lld ms, %lld byte\n", ok ? "ok" : "FALLITO",
                qint64(module.pageLog.size()), ms, qint64(QFileInfo(dir.filePath(QStringLiteral("ST.pdf"))).size()));
    setSectionStore(nullptr);
    return ok ? 0 : 1;
}
