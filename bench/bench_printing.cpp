// ST print of 2,000 section I rows of one agent, on in-memory sections.
#include "registration.h"
#include "printing/printtables.h"
#include "printing/sectionprints.h"

#include "dataset/dataset.h"
#include "base/paths.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

using namespace jex;

namespace {
class Tables : public PrintTables
{
public:
    ClientDataSet st;
    void open(const QString &name, ClientDataSet &cds) override
    {
        if (name == QLatin1String("TPST_PROSPETTOST"))
            cds.copyFrom(st);
        else
            defineFromCatalogue(name, cds);
        if (!cds.isActive())
            cds.open();
    }
    void save(const QString &, ClientDataSet &) override {}
};
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    registerCore(coreRegistry());
    Paths::setMainDir(qEnvironmentVariableIsSet("JEX770_MAIN_DIR") ? qEnvironmentVariable("JEX770_MAIN_DIR")
                                                                    : QStringLiteral(JEX770_BENCH_MAIN_DIR));
    Tables tables;
    defineFromCatalogue(QStringLiteral("TPST_PROSPETTOST"), tables.st);
    for (int i = 0; i < 2000; ++i) {
        tables.st.append();
        tables.st.fieldByName(QStringLiteral("SPSTMESE"))->setAsString(QString::asprintf("%02d", i % 12 + 1));
        tables.st.fieldByName(QStringLiteral("SPSTANNO"))->setAsString(QStringLiteral("2024"));
        tables.st.fieldByName(QStringLiteral("SPSTCODTRIBUTO"))->setAsString(QStringLiteral("1001"));
        tables.st.fieldByName(QStringLiteral("FPSTRITOPEARTE"))->setAsFloat(1234.56 + i);
        tables.st.fieldByName(QStringLiteral("FPSTIMPOVERSATO"))->setAsFloat(1234.56 + i);
        tables.st.post();
    }
    setPrintTables(&tables);
    QTemporaryDir dir;
    QElapsedTimer t;
    t.start();
    TdmJexProspSTPDF module;
    const bool ok = module.PrintProspST(dir.filePath(QStringLiteral("ST.pdf")));
    const qint64 ms = t.elapsed();
    std::printf("ST, 2000 righe sezione I: %s, %lld pagine, %lld ms, %lld byte\n", ok ? "ok" : "FALLITO",
                qint64(module.pageLog.size()), ms, qint64(QFileInfo(dir.filePath(QStringLiteral("ST.pdf"))).size()));
    setPrintTables(nullptr);
    return ok ? 0 : 1;
}
