// Reconciliation of 5,000 employees, 20,000 rows of ST section I and as many
// F24 payments (goal: under 2 s): the return in memory, the payments in a
// SQLite file (or the database given), read by the delivered statement.
//
//   bench_reconcile [EMPLOYEES [ST-ROWS [DATABASE-URL]]]   (a PostgreSQL URL must name an empty database)

#include "registration.h"
#include "base/messages.h"
#include "base/paths.h"
#include "checks/reconcile.h"
#include "database/namedsql.h"
#include "database/sqlconnection.h"
#include "sections/memorystore.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

using namespace jex;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    registerCore(coreRegistry());
    Paths::setMainDir(qEnvironmentVariableIsSet("JEX770_MAIN_DIR") ? qEnvironmentVariable("JEX770_MAIN_DIR")
                                                                    : QStringLiteral(JEX770_BENCH_MAIN_DIR));
    const QString src = qEnvironmentVariable("JEX770_SOURCE_DIR", QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/.."));
    const int employees = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 5000;
    const int rows = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 20000;
    ScriptedMessageService msgs;
    setMessageService(&msgs);
    QTextStream out(stdout);
    TQmrQueryText::instance().CompileQueryFile(src + QStringLiteral("/sql/f24.xml"));

    MemorySectionStore store(src + QStringLiteral("/data/USR/YR2024/Res/Catalogo/jex.xml"));
    auto add = [&](const char *table, const QVariantMap &v) {
        ClientDataSet &ds = store.table(QString::fromLatin1(table));
        ds.append();
        for (auto it = v.begin(); it != v.end(); ++it)
            ds.fieldByName(it.key())->setValue(it.value());
        ds.post();
    };
    for (int i = 0; i < employees; ++i)
        add("TDIP7_ANAGRFISCALI", {{"SDIP7CODFIS", QStringLiteral("RSSMRA70A01H%1S").arg(i % 1000, 3, 10, QLatin1Char('0'))},
                                   {"SDIP7COGNOME", QStringLiteral("DIPENDENTE %1").arg(i)},
                                   {"FFIS7RITIRPEF", 4000.0 + i % 97}, {"FFIS7ADDREGIRPEF", 400.0},
                                   {"FFIS7ADDCOMACC", 30.0}, {"FFIS7ADDCOMSA", 90.0}});

    QTemporaryDir tmp;
    TQxSQLConnection conn(QStringLiteral("bench"));
    conn.open(DatabaseUrl::parse(argc > 3 ? QString::fromLocal8Bit(argv[3])
                                          : QStringLiteral("sqlite:") + tmp.filePath(QStringLiteral("bench.db"))));
    {
        TQxTransaction tr(conn);
        tr.StartTransaction();
        for (int i = 0; i < rows; ++i) {
            const int mese = i % 12 + 1;
            const QString code = i % 5 == 0 ? QStringLiteral("1040") : QStringLiteral("1001");
            const QDate paid = QDate(2024, mese, 16).addMonths(1).addDays(i % 3);
            const double amount = 100.0 + i % 1000;
            add("TPST_PROSPETTOST", {{"SPSTMESE", QStringLiteral("%1").arg(mese, 2, 10, QLatin1Char('0'))},
                                     {"SPSTANNO", "2024"}, {"FPSTRITOPEARTE", amount}, {"FPSTIMPOVERSATO", amount},
                                     {"SPSTCODTRIBUTO", code}, {"DPSTDTVERS", paid}});
            conn.exec(QStringLiteral("INSERT INTO TF24_VERSAMENTI (SF24SEZIONE, SF24CODTRIBUTO, IF24MESERIF, "
                                     "IF24ANNORIF, IF24ANNORIT, DF24DATAVERS, FF24IMPORTO) "
                                     "VALUES ('F', :C, :M, 2024, 2024, :D, :I)"),
                      {{QStringLiteral("C"), code}, {QStringLiteral("M"), mese}, {QStringLiteral("D"), paid},
                       {QStringLiteral("I"), amount}});
        }
        tr.Commit();
    }
    for (const char *t : {"TDIP7_ANAGRFISCALI", "TPST_PROSPETTOST"})
        store.table(QString::fromLatin1(t)).mergeChangeLog();

    const ReconcileMap map = ReconcileMap::load(src + QStringLiteral("/tests/data/reconcile/Quadratura.xml"));
    QElapsedTimer timer;
    timer.start();
    ReconcileJob job(store, &conn, map);
    const ReconcileReport &report = job.run();
    const qint64 runMs = timer.elapsed();
    timer.restart();
    const QString text = report.toText();
    const qint64 textMs = timer.elapsed();

    out << QStringLiteral("%1 dipendenti, %2 righi ST I, %2 versamenti F24: quadratura %3 ms (obiettivo 2000), "
                          "testo %4 ms, %5 righe, %6 da verificare\n")
               .arg(employees)
               .arg(rows)
               .arg(runMs)
               .arg(textMs)
               .arg(report.lines.size())
               .arg(report.flagged());
    conn.close();
    return runMs < 2000 ? 0 : 1;
}
