// Tables of the value store, the key generators, the year tables and the
// payroll tables that the start-up maintenance reads or repairs.

#include "database/sqlconnection.h"
#include "registration.h"

namespace jex {
namespace {

QStringList common(bool pg)
{
    const QString blob = pg ? QStringLiteral("BYTEA") : QStringLiteral("BLOB");
    const QString dbl = QStringLiteral("DOUBLE PRECISION");
    QStringList s;
    s << QStringLiteral("CREATE TABLE tqx_dbversion (sversion VARCHAR(20) NOT NULL)");
    s << QStringLiteral(
             "CREATE TABLE tcds_struttura (icdsid INTEGER PRIMARY KEY, scdsprogramma VARCHAR(20) NOT NULL, "
             "scdsnome VARCHAR(60) NOT NULL, icdsanno INTEGER, icdsmese INTEGER, bcdsschema %1, "
             "lcdsanagrafica INTEGER DEFAULT 0, lcdsfmapreadonly INTEGER DEFAULT 0, icdsrigo INTEGER DEFAULT 0, "
             "scdsfieldmap VARCHAR(500))").arg(blob);
    s << QStringLiteral("CREATE INDEX xcds_nome ON tcds_struttura (scdsprogramma, scdsnome)");
    s << QStringLiteral("CREATE TABLE tcrf_crofiscale (icrfid INTEGER PRIMARY KEY, scrfprogramma VARCHAR(20) NOT NULL, "
                        "icrfanno INTEGER, icrfmese INTEGER)");
    s << QStringLiteral("CREATE TABLE tafi_anafiscale (iafiid INTEGER PRIMARY KEY, icrfid INTEGER, "
                        "saficodfiscale VARCHAR(16), safigruppoana VARCHAR(60), saficognome VARCHAR(100), "
                        "safinome VARCHAR(100), saficodfissost VARCHAR(16))");
    s << QStringLiteral("CREATE INDEX xafi_codfis ON tafi_anafiscale (icrfid, saficodfiscale)");
    s << QStringLiteral("CREATE TABLE tfis_datifiscali (icdsid INTEGER NOT NULL, icrfid INTEGER NOT NULL, iafiid INTEGER, "
                        "ifisrigo INTEGER NOT NULL, sfisfieldname VARCHAR(60) NOT NULL, sfisvalue VARCHAR(4000), "
                        "ifisvalue BIGINT, ffisvalue %1, dfisvalue DATE)").arg(dbl);
    s << QStringLiteral("CREATE INDEX xfis_rigo ON tfis_datifiscali (icdsid, ifisrigo)");
    s << QStringLiteral("CREATE INDEX xfis_crf ON tfis_datifiscali (icrfid, icdsid, ifisrigo)");
    s << QStringLiteral("CREATE TABLE TANF_ANNIFINANZ (IANFID INTEGER PRIMARY KEY, SANFDESC VARCHAR(40), "
                        "DANFQUXORINIZIO DATE, DANFQUXORFINE DATE)");
    s << QStringLiteral("CREATE TABLE TANS_ANNISCOLAST (IANSID INTEGER PRIMARY KEY, SANSDESC VARCHAR(40), "
                        "DANSQUXORINIZIO DATE, DANSQUXORFINE DATE)");
    s << QStringLiteral("CREATE TABLE TVARR_VARRITENUTE (IVARRID INTEGER PRIMARY KEY, IRICEID INTEGER, "
                        "FVARRIMPONIBILEDIP %1, FVARRPERCIMPDIP %1, FVARRRITDIP %1, "
                        "FVARRIMPONIBILEAMM %1, FVARRPERCIMPAMM %1, FVARRRITAMM %1)").arg(dbl);
    s << QStringLiteral("CREATE TABLE TCUFO_FONDICU (ICUFOID INTEGER PRIMARY KEY, SCUFODESC VARCHAR(100), "
                        "ICUFOTIPOSCUOLA INTEGER)");
    s << QStringLiteral("CREATE TABLE TYRFO_REPFOLDER (IYRFOID INTEGER PRIMARY KEY, IYRFOID_P INTEGER, SYRFODESC VARCHAR(100))");
    s << QStringLiteral("CREATE TABLE TYAPVRFO_APPFOLDER (IYAPVRFOID INTEGER NOT NULL, IYAPPID INTEGER NOT NULL, "
                        "PRIMARY KEY (IYAPVRFOID, IYAPPID))");
    s << QStringLiteral("CREATE TABLE TYRPT_REPORT (IYRPTID INTEGER PRIMARY KEY, IYRFOID INTEGER, SYRPTDESC VARCHAR(200), "
                        "IYRPTVERSION INTEGER, SYRPTNOTE VARCHAR(2000), BYRPTREPORT %1, BYRPTVAR %1)").arg(blob);
    return s;
}

} // namespace

void registerCoreSchema(Registry &registry)
{
    SchemaPart core;
    core.name = QStringLiteral("core");
    core.order = 0;
    core.sqlite = common(false);
    core.sqlite << QStringLiteral("CREATE TABLE tqx_generator (sname VARCHAR(60) PRIMARY KEY, ivalue BIGINT NOT NULL)");
    core.postgresql = common(true);
    core.postgresql << QStringLiteral("CREATE SEQUENCE gen_tafi_anafiscale")
                    << QStringLiteral("CREATE SEQUENCE gen_tcrf_crofiscale")
                    << QStringLiteral("CREATE SEQUENCE gen_tcds_struttura START 100")
                    << QStringLiteral(
                           "CREATE OR REPLACE FUNCTION pqmr_getcrofiscale(p_programma VARCHAR, p_anno INTEGER, p_mese INTEGER) "
                           "RETURNS TABLE (icrfid INTEGER) AS $body$ "
                           "#variable_conflict use_column\n"
                           "DECLARE v INTEGER; "
                           "BEGIN "
                           "  SELECT c.icrfid INTO v FROM tcrf_crofiscale c "
                           "   WHERE Lower(c.scrfprogramma) = Lower(p_programma) "
                           "     AND COALESCE(c.icrfanno, 0) = COALESCE(p_anno, 0) "
                           "     AND COALESCE(c.icrfmese, 0) = COALESCE(p_mese, 0) "
                           "   ORDER BY c.icrfid LIMIT 1; "
                           "  IF v IS NULL THEN "
                           "    v := nextval('gen_tcrf_crofiscale'); "
                           "    INSERT INTO tcrf_crofiscale (icrfid, scrfprogramma, icrfanno, icrfmese) "
                           "    VALUES (v, Lower(p_programma), p_anno, p_mese); "
                           "  END IF; "
                           "  RETURN QUERY SELECT v; "
                           "END $body$ LANGUAGE plpgsql");
    registry.schema.add(core);
}

} // namespace jex
