// Speed of the certification import's payroll completion steps on the
// database store: the demo school with its payroll archive, each step run
// over every person of its certifications.
//
//   bench_payrollcompletion [EMPLOYEES [DATABASE-URL [report]]]   (default 1000 on a temporary
//   SQLite file; a PostgreSQL URL must name an empty database)

#include "registration.h"
#include "base/messages.h"
#include "base/paths.h"
#include "database/namedsql.h"
#include "database/sqlconnection.h"
#include "database/structureservice.h"
#include "demo/demoinit.h"
#include "demo/demoschool.h"
#include "imports/cud/importreport.h"
#include "imports/cud/payrollcompletion.h"
#include "sections/databasestore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace jex;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    registerCore(coreRegistry());
    const QString mainDir = qEnvironmentVariableIsSet("JEX770_MAIN_DIR") ? qEnvironmentVariable("JEX770_MAIN_DIR")
                                                                        : QStringLiteral(JEX770_BENCH_MAIN_DIR);
    Paths::setMainDir(mainDir);
    TQmrQueryText::instance().LoadQueryFile(mainDir + QStringLiteral("/etc/zpt/zpt_QueryText.cds"));
    ScriptedMessageService answers(ModalResult::Ok);
    setMessageService(&answers);
    const int employees = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000;
    QTemporaryDir dir;
    TQxSQLConnection conn(QStringLiteral("bench"));
    conn.open(DatabaseUrl::parse(argc > 2 ? QString::fromLocal8Bit(argv[2])
                                          : QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("bench.db"))));

    QElapsedTimer timer;
    timer.start();
    demo::DemoSchool school;
    demo::initDemo(conn, employees, false, school);
    std::printf("demo school of %d employees with its payroll archive: %lld ms\n", employees,
                static_cast<long long>(timer.restart()));

    QStringList codFis;
    ClientDataSet &cud = school.table(QStringLiteral("TCUD_DATICUD"));
    for (cud.first(); !cud.eof(); cud.next())
        codFis << cud.fieldByName(QStringLiteral("SCUDCODFIS"))->asString();

    TQmrDBCds svc(2024, QStringLiteral("jex"), 0);
    svc.SetConnection(&conn);
    svc.SetShowWait(false);
    DbCdsStore store(&svc);
    ImportReport report;
    CompletionContext ctx;
    ctx.store = &store;
    ctx.conn = &conn;
    ctx.yearId = 55;
    ctx.report = &report;
    PayrollCompletion completion(ctx);

    ClientDataSet dip;
    store.openCds(QStringLiteral("TDIP7_ANAGRFISCALI"), dip);
    for (const QString &cf : std::as_const(codFis))
        if (dip.locate(QStringLiteral("SDIP7CODFIS"), cf))
            completion.importFiscalAssistance(dip, cf, QString(), QString());
    store.saveCds(QStringLiteral("TDIP7_ANAGRFISCALI"), dip);
    std::printf("730 assistance of %lld persons: %lld ms\n", static_cast<long long>(codFis.size()),
                static_cast<long long>(timer.restart()));

    const std::pair<const char *, void (PayrollCompletion::*)(const QStringList &)> steps[] = {
        {"additional taxes", &PayrollCompletion::additionalTaxes},
        {"deduction check", &PayrollCompletion::checkDeductions},
        {"separate-taxation split", &PayrollCompletion::splitSeparateTaxation},
        {"dependants", &PayrollCompletion::importDependants},
    };
    for (const auto &[name, step] : steps) {
        (completion.*step)(codFis);
        std::printf("%s: %lld ms\n", name, static_cast<long long>(timer.restart()));
    }
    std::printf("report: %d lines, %lld dialogs\n", report.size(), static_cast<long long>(answers.shown().size()));
    // With a third argument the report itself, for a look at what the demo brings.
    if (argc > 3)
        std::printf("%s\n", qPrintable(report.text()));
    setMessageService(nullptr);
    return 0;
}
