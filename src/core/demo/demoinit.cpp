#include "demoinit.h"
#include "sections/databasestore.h"

#include "demoagent.h"

#include "database/structureservice.h"
#include "database/sqlconnection.h"
#include "demo/f24payments.h"
#include "demo/payrollarchivedemo.h"
#include "imports/cud/cudimport.h"
#include "base/errors.h"
#include "telematic/returndata.h"
#include "checks/reconcile.h"

#include <QSqlQuery>

namespace jex::demo {
namespace {

// The programs whose structures make up a return: the return itself and
// the certifications it is imported from.
const QString kReturnPrograms = QStringLiteral("('jex', 'jey')");
constexpr int kDemoYear = 2024;

QString rowsText(qint64 n) { return n == 1 ? QStringLiteral("1 riga") : QStringLiteral("%1 righe").arg(n); }

void clearReturn(TQxSQLConnection &conn)
{
    conn.exec(QStringLiteral("DELETE FROM tfis_datifiscali WHERE icdsid IN (SELECT icdsid FROM tcds_struttura "
                             "WHERE Lower(scdsprogramma) IN %1)").arg(kReturnPrograms));
    conn.exec(QStringLiteral("DELETE FROM tafi_anafiscale WHERE icrfid IN (SELECT icrfid FROM tcrf_crofiscale "
                             "WHERE Lower(scrfprogramma) IN %1)").arg(kReturnPrograms));
    conn.exec(QStringLiteral("DELETE FROM TSED_SEDE"));
    conn.exec(QStringLiteral("DELETE FROM TF24_VERSAMENTI WHERE IF24ANNORIF = :ANNO"), {{QStringLiteral("ANNO"), kDemoYear}});
}

// What the certifications of the demo's recipients say was withheld, box by
// box of the demo's reconciliation map; the municipal surtax split into the
// balance and the advance the archive pays under two codes.
F24DemoTotals demoWithholdings(SectionStore &store)
{
    const ReconcileMap map = ReconcileMap::load(reconcileDemoMapPath());
    ReconcileInput in;
    readCertifications(store, map, in);
    auto total = [&](const char *id, const QString &table = {}) {
        for (const ReconcileBox &b : map.boxes)
            if (b.id == QLatin1String(id))
                return certifiedTotal(in, b, QString(), table);
        throw EQxError(QStringLiteral("Riquadro %1 assente dal file %2").arg(QLatin1String(id), map.source));
    };
    F24DemoTotals t;
    t.irpefEmployees = total("IRPEF", QStringLiteral("TDIP7_ANAGRFISCALI"));
    t.irpefSelfEmployed = total("IRPEF", QStringLiteral("TDSE7_SOMMEEROGATE"));
    t.refunds = total("RIMBORSI730");
    t.regional = total("ADDREG");
    for (const Certification &c : in.certifications)
        for (const CertificationAmount &a : c.amounts)
            if (a.column == QLatin1String("FFIS7ADDCOMSA") || a.column == QLatin1String("FASS7IMPEFTRATSADCOMDIC"))
                t.municipalBalance += a.cents;
    t.municipalAdvance = total("ADDCOM") - t.municipalBalance;
    return t;
}

ReturnContents returnContents(TQxSQLConnection &conn, const QString &demoCodFis)
{
    ReturnContents c;
    {
        QSqlQuery q = conn.exec(QStringLiteral("SELECT SSEDCODFIS, SSEDDENOM FROM TSED_SEDE ORDER BY ISEDID"));
        if (q.next()) {
            const QString cf = q.value(0).toString();
            c.school = QStringLiteral("%1 %2").arg(cf, q.value(1).toString()).trimmed();
            c.demoSchool = cf == demoCodFis;
        }
    }
    QSqlQuery q = conn.exec(QStringLiteral(
        "SELECT cds.scdsnome, COUNT(DISTINCT fis.ifisrigo) FROM tfis_datifiscali fis "
        "INNER JOIN tcds_struttura cds ON cds.icdsid = fis.icdsid WHERE Lower(cds.scdsprogramma) IN %1 "
        "GROUP BY cds.scdsnome ORDER BY cds.scdsnome").arg(kReturnPrograms));
    while (q.next())
        c.tables << QStringLiteral("%1 (%2)").arg(q.value(0).toString(), rowsText(q.value(1).toLongLong()));
    c.f24Payments = conn.scalar(QStringLiteral("SELECT COUNT(*) FROM TF24_VERSAMENTI WHERE IF24ANNORIF = :ANNO"),
                                {{QStringLiteral("ANNO"), kDemoYear}}).toLongLong();
    return c;
}

} // namespace

QString ReturnContents::describe() const
{
    QStringList parts;
    if (!school.isEmpty())
        parts << QStringLiteral("la sede %1").arg(school);
    if (!tables.isEmpty())
        parts << QStringLiteral("le righe delle tabelle %1").arg(tables.join(QStringLiteral(", ")));
    if (f24Payments > 0)
        parts << QStringLiteral("%1 versamenti F24 del %2 nell'archivio dei compensi").arg(f24Payments).arg(kDemoYear);
    return parts.join(QStringLiteral("; "));
}

DemoInit initDemo(TQxSQLConnection &conn, int employees, bool force, DemoSchool &school)
{
    DemoInit out;
    DemoSchool seat; // the seat alone, to recognise the demo school
    generate(seat, 0, catalogueFactory());
    TQxTransaction tr(conn);
    tr.StartTransaction(); // on SQLite, no other writer from the look to the end
    try {
        out.found = returnContents(conn, seat.seat.codFis);
        if (!out.found.isEmpty() && !force) {
            // The demo goes only into an empty return: merged into a real one
            // its rows could not be told from the user's.
            out.result = out.found.demoSchool ? InitResult::AlreadyPresent : InitResult::OtherSchool;
            tr.Rollback();
            return out;
        }
        if (!out.found.isEmpty())
            clearReturn(conn);
        TQmrDBCds certifications(kDemoYear, QStringLiteral("jey"), 0);
        certifications.SetConnection(&conn);
        certifications.SetShowWait(false);
        const TableSink sink = [&certifications](const QString &table, ClientDataSet &ds) {
            certifications.SaveCds(ds, table);
        };
        out.result = installDemo(conn, employees, catalogueFactory(), sink, &school);
        if (out.result == InitResult::Created) {
            // The payroll archive, the agent's and the
            // supplier's records, the summary tables the payments do not
            // fill (SX, SY, DI, an extinct agent); then the recipients'
            // records, so that every function of the program has data.
            seedPayrollArchiveDemo(conn, school);
            seedAutonomiArchiveDemo(conn, school);
            TQmrDBCds jexService(kDemoYear, QStringLiteral("jex"), 0);
            jexService.SetConnection(&conn);
            jexService.SetShowWait(false);
            DbCdsStore access(&jexService);
            seedAgentDemo(school, access);
            seedTelematicDemo(access);
            // The recipients come from the certifications through the
            // import, as at a school; inside this transaction, so that a
            // failed import leaves no half demo behind.
            TCudImport cud(conn);
            CudImportOptions all;
            all.importAgent = false; // the agent's record is the demo's own
            if (!cud.run(all))
                throw EQxError(QStringLiteral("Importazione delle certificazioni della scuola dimostrativa: %1").arg(cud.error()));
            out.cudReport = cud.report().lines();
            // The F24 payments last: they pay what the certifications say
            // was withheld (the refusal case of the tests stays out).
            seedF24Demo(conn, demoWithholdings(access));
        }
        tr.Commit();
    } catch (...) {
        tr.Rollback();
        throw;
    }
    return out;
}

bool holdsDemoSchool(TQxSQLConnection &conn)
{
    DemoSchool seat;
    generate(seat, 0, catalogueFactory());
    return returnContents(conn, seat.seat.codFis).demoSchool;
}

} // namespace jex::demo
