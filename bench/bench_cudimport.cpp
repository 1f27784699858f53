// Speed of the certification import: PERSONS persons (default 5000), each
// with a certification, an INPS row, an INPDAP row and two dependants,
// imported into an empty return. Goal: under 30 s on SQLite, PostgreSQL
// within twice the SQLite time.
//
//   bench_cudimport [PERSONS [DATABASE-URL]]   (default a temporary SQLite file;
//   a PostgreSQL URL must name an empty database)

#include "registration.h"
#include "base/messages.h"
#include "base/paths.h"
#include "database/namedsql.h"
#include "database/sqlconnection.h"
#include "database/structureservice.h"
#include "demo/codicefiscale.h"
#include "demo/demoschool.h"
#include "imports/cud/cudimport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <map>
#include <memory>

using namespace jex;

namespace {

void set(ClientDataSet &ds, const char *field, const QVariant &v) { ds.fieldByName(QString::fromLatin1(field))->setValue(v); }

void certifications(TQxSQLConnection &conn, int persons)
{
    const QStringList tables = {QStringLiteral("TCUD_DATICUD"), QStringLiteral("TCUDI_INPS"), QStringLiteral("TCUDN_INPDAP"),
                                QStringLiteral("TCUDC_CONFAMCARICO")};
    std::map<QString, std::unique_ptr<ClientDataSet>> ds;
    for (const QString &t : tables) {
        ds[t] = std::make_unique<ClientDataSet>();
        demo::catalogueFactory()(t, *ds[t]);
    }
    ClientDataSet &cud = *ds[tables[0]], &inps = *ds[tables[1]], &inpdap = *ds[tables[2]], &fam = *ds[tables[3]];
    const QString mese = QStringLiteral("12");
    for (int i = 0; i < persons; ++i) {
        const QDate birth = QDate(1960, 1, 1).addDays(i);
        const QString cf = demo::personFiscalCode(QStringLiteral("Rossi"), QStringLiteral("Anna"), birth, true, QStringLiteral("G478"));
        const double income = 20000 + i % 9000;
        cud.append();
        set(cud, "SCUDCODFIS", cf);
        set(cud, "SCUDMESE", mese);
        set(cud, "SCUDCOGNOME", QStringLiteral("ROSSI"));
        set(cud, "SCUDNOME", QStringLiteral("ANNA"));
        set(cud, "SCUDSEX", QStringLiteral("F"));
        set(cud, "DCUDDATANAS", birth);
        set(cud, "SCUDCOMNAS", QStringLiteral("PERUGIA"));
        set(cud, "SCUDPROVNAS", QStringLiteral("PG"));
        set(cud, "FCUDREDDDETR", income);
        set(cud, "FCUDIMPONPTO1", income);
        set(cud, "FCUDIMPOLORDA", income * 0.23);
        set(cud, "FCUDDETLAVDIPPEN", 1200.0);
        set(cud, "FCUDTOTDETR", 1200.0);
        set(cud, "FCUDRITIRPEF", income * 0.23 - 1200);
        set(cud, "FCUDADDREGIRPEF", income * 0.0173);
        set(cud, "FCUDADDCOMSA", income * 0.008);
        set(cud, "ICUDPERIODOLAV", 365);
        set(cud, "LCUDCONGUAGLIO", QStringLiteral("X"));
        cud.post();
        inps.append();
        set(inps, "SCUDCODFIS", cf);
        set(inps, "SCUDMESE", mese);
        set(inps, "SCUDMATRAZIENDA", QStringLiteral("5510077700"));
        set(inps, "LCUDENTEINPS", QStringLiteral("X"));
        set(inps, "FCUDIMPONIBILE", income);
        set(inps, "FCUDCONTRIBTRATT", income * 0.0161);
        inps.post();
        inpdap.append();
        set(inpdap, "SCUDCODFIS", cf);
        set(inpdap, "SCUDMESE", mese);
        set(inpdap, "SCUDCODFISAMMNE", QStringLiteral("94007770541"));
        set(inpdap, "ICUDANNORIF", 2024);
        set(inpdap, "FCUD_DMA_IMPPENS", income);
        set(inpdap, "FCUD_DMA_CONPENS", income * 0.33);
        inpdap.post();
        for (int c = 0; c < 2; ++c) {
            fam.append();
            set(fam, "SCUDCODFIS", cf);
            set(fam, "SCUDMESE", mese);
            set(fam, c == 0 ? "LCUDRELPARCON" : "LCUDRELPARPRIFIGL", QStringLiteral("X"));
            set(fam, c == 0 ? "SCUDCODFISCON" : "SCUDCODFISPRIFIGL",
                demo::personFiscalCode(QStringLiteral("Bianchi"), QStringLiteral("Luca"), birth.addYears(c == 0 ? 0 : 30), false,
                                       QStringLiteral("G478")));
            fam.post();
        }
    }
    TQmrDBCds jey(2024, QStringLiteral("jey"), 0);
    jey.SetConnection(&conn);
    jey.SetShowWait(false);
    for (const QString &t : tables)
        jey.SaveCds(*ds[t], t);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    registerCore(coreRegistry());
    Paths::setMainDir(qEnvironmentVariableIsSet("JEX770_MAIN_DIR") ? qEnvironmentVariable("JEX770_MAIN_DIR")
                                                                    : QStringLiteral(JEX770_BENCH_MAIN_DIR));
    // The completion steps read the payroll archive through the named statements.
    TQmrQueryText::instance().LoadQueryFile(Paths::mainDir() + QStringLiteral("/etc/zpt/zpt_QueryText.cds"));
    ScriptedMessageService quiet(ModalResult::Ok);
    setMessageService(&quiet);
    const int persons = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 5000;
    QTemporaryDir dir;
    TQxSQLConnection conn(QStringLiteral("bench"));
    conn.open(DatabaseUrl::parse(argc > 2 ? QString::fromLocal8Bit(argv[2])
                                          : QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("bench.db"))));
    QElapsedTimer timer;
    timer.start();
    certifications(conn, persons);
    std::printf("certifications: %d persons written in %lld ms\n", persons, (long long)timer.elapsed());

    TCudImport job(conn);
    timer.start();
    const bool ok = job.run({});
    const qint64 ms = timer.elapsed();
    if (!ok) {
        std::printf("import failed: %s\n", qPrintable(job.error()));
        return 1;
    }
    std::printf("import-cud: %d persons in %lld ms, %.2f ms per person (goal: under 30 s on SQLite)\n",
                job.importedPersons(), (long long)ms, double(ms) / qMax(1, job.importedPersons()));
    std::printf("messages shown: %lld, report lines: %d\n", (long long)quiet.shown().size(), job.report().size());
    return 0;
}
