// Speed of the structure service on SQLite: opening the employee records
// against a plain SELECT of the same value rows, and saving new records.
//
//   bench_dbcds [RECORDS [DATABASE-URL]]   (default 5000 on a temporary SQLite file;
//   a PostgreSQL URL must name an empty database)

#include "registration.h"
#include "catalogue/catalogue.h"
#include "database/structureservice.h"
#include "base/paths.h"
#include "database/sqlconnection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

using namespace jex;

namespace {

const QString kTable = QStringLiteral("TDIP7_ANAGRFISCALI");

// About twenty values per record besides the registry columns.
QStringList valueColumns(const CatalogueTable &t)
{
    QStringList out;
    for (const CatalogueColumn &c : t.columns) {
        if (c.name.startsWith(u"SDIP7") || c.name == u"IAFIID" || c.name == u"IFISRIGO")
            continue;
        if (c.kind == ColumnKind::Decimal || c.kind == ColumnKind::Text || c.kind == ColumnKind::Date)
            out << c.name;
        if (out.size() == 20)
            break;
    }
    return out;
}

void fill(ClientDataSet &ds, const QStringList &columns, int from, int count)
{
    for (int i = from; i < from + count; ++i) {
        ds.append();
        ds.fieldByName(QStringLiteral("SDIP7CODFIS"))->setValue(QStringLiteral("CF%1").arg(i, 14, 10, QLatin1Char('0')));
        ds.fieldByName(QStringLiteral("SDIP7GRUPPOANA"))->setValue(QStringLiteral("D"));
        ds.fieldByName(QStringLiteral("SDIP7COGNOME"))->setValue(QStringLiteral("COGNOME%1").arg(i));
        ds.fieldByName(QStringLiteral("SDIP7NOME"))->setValue(QStringLiteral("NOME%1").arg(i));
        for (int c = 0; c < columns.size(); ++c) {
            Field *f = ds.fieldByName(columns[c]);
            switch (f->type()) {
            case FieldType::Currency: f->setValue(100.0 + i + c / 100.0); break;
            case FieldType::Date: f->setValue(QDate(2024, 1, 1).addDays((i + c) % 365)); break;
            default: f->setValue(QStringLiteral("V%1").arg((i + c) % 1000)); break;
            }
        }
        ds.post();
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    registerCore(coreRegistry());
    Paths::setMainDir(qEnvironmentVariableIsSet("JEX770_MAIN_DIR") ? qEnvironmentVariable("JEX770_MAIN_DIR")
                                                                    : QStringLiteral(JEX770_BENCH_MAIN_DIR));
    const int records = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 5000;
    QTemporaryDir dir;
    TQxSQLConnection conn(QStringLiteral("bench"));
    conn.open(DatabaseUrl::parse(argc > 2 ? QString::fromLocal8Bit(argv[2])
                                          : QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("bench.db"))));
    TQmrDBCds svc(2024, QStringLiteral("jex"), 0);
    svc.SetConnection(&conn);
    svc.SetShowWait(false);
    const CatalogueTable *t = TableCatalogue::instance().table(QStringLiteral("jex"), kTable);
    const QStringList columns = valueColumns(*t);

    QElapsedTimer timer;
    {
        ClientDataSet ds;
        svc.OpenCds(ds, kTable);
        fill(ds, columns, 0, records);
        timer.start();
        svc.SaveCds(ds, kTable);
        std::printf("fill: %d records x %lld values saved in %lld ms\n", records, (long long)columns.size(),
                    (long long)timer.elapsed());
    }
    const qint64 icdsid = conn.scalar(QStringLiteral("SELECT icdsid FROM tcds_struttura WHERE scdsnome = :N"),
                                      {{QStringLiteral("N"), kTable}}).toLongLong();

    // Best of three, so the first run's cache warming does not count.
    qint64 openMs = -1, selectMs = -1;
    int opened = 0;
    qint64 rows = 0;
    for (int run = 0; run < 3; ++run) {
        timer.start();
        ClientDataSet ds;
        svc.OpenCds(ds, kTable);
        const qint64 ms = timer.elapsed();
        opened = ds.recordCount();
        openMs = openMs < 0 ? ms : std::min(openMs, ms);

        timer.start();
        QSqlQuery q = conn.exec(QStringLiteral(
            "SELECT fis.sfisfieldname, fis.ifisrigo, fis.ifisvalue, fis.ffisvalue, fis.sfisvalue, fis.dfisvalue, afi.saficodfiscale "
            "FROM tfis_datifiscali fis LEFT JOIN tafi_anafiscale afi ON afi.iafiid = fis.iafiid "
            "WHERE fis.icdsid = :ID ORDER BY fis.ifisrigo"), {{QStringLiteral("ID"), icdsid}});
        rows = 0;
        while (q.next()) {
            for (int c = 0; c < 7; ++c)
                (void)q.value(c);
            ++rows;
        }
        const qint64 sms = timer.elapsed();
        selectMs = selectMs < 0 ? sms : std::min(selectMs, sms);
    }
    std::printf("open: %d records in %lld ms; plain SELECT of the %lld value rows: %lld ms; ratio %.2f (goal <= 3)\n",
                opened, (long long)openMs, (long long)rows, (long long)selectMs,
                selectMs > 0 ? double(openMs) / double(selectMs) : 0.0);

    {
        ClientDataSet ds;
        svc.OpenCds(ds, kTable);
        fill(ds, columns, records, 1000);
        timer.start();
        svc.SaveCds(ds, kTable);
        std::printf("save: 1000 new records in one call: %lld ms (goal < 1000)\n", (long long)timer.elapsed());
    }
    return 0;
}
