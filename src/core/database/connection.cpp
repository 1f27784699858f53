#include "database/connection.h"

#include "base/errors.h"
#include "base/paths.h"
#include "database/namedsql.h"

#include <QFileInfo>
#include <QSqlQuery>

namespace jex {

static TdmZptConnessione *g_module = nullptr;
TdmZptConnessione *dmZptConnessione() { return g_module; }

TdmZptConnessione::TdmZptConnessione()
{
    g_module = this;
    xqoMain.beforeConnect = [] {
        if (!globalConnection())
            throw EQxError(QStringLiteral("Connessione al database non consentita"));
    };
    TQmrQueryText &qt = TQmrQueryText::instance();
    // On a development workstation the authoring file is compiled first.
    const QString dev = qEnvironmentVariable("JEX770_QUERYTEXT_DEV");
    if (!dev.isEmpty() && QFileInfo::exists(dev))
        qt.CompileQueryFile(dev);
    qt.SetCertCheck(true);
    const QString cds = queryTextFile();
    if (QFileInfo::exists(cds))
        qt.LoadQueryFile(cds);
}

TdmZptConnessione::~TdmZptConnessione()
{
    if (g_module == this)
        g_module = nullptr;
}

QString TdmZptConnessione::reportFile() { return Paths::resolve(QStringLiteral("etc/zpt/zpt_Report.xml")); }
QString TdmZptConnessione::queryTextFile() { return Paths::resolve(QStringLiteral("etc/zpt/zpt_QueryText.cds")); }

QString TdmZptConnessione::defaultDatabaseUrl()
{
    return QStringLiteral("sqlite:") + Paths::resolve(QStringLiteral("USR/YRDati/jex770.db"));
}

bool TdmZptConnessione::OpenZptConnection(const DatabaseUrl &url)
{
    if (!TQmrQueryText::instance().CheckCertAndVersion(QStringLiteral("Gestione compensi")))
        return false;
    setGlobalConnection(&xqoMain);
    xqoMain.open(url);
    if (xqoMain.isConnected()) {
        runRepairStatements();
        registerReports();
    }
    return xqoMain.isConnected();
}

void TdmZptConnessione::runRepairStatements()
{
    // Same effect on both databases; each is idempotent.
    const QStringList repairs = {
        QStringLiteral("UPDATE TVARR_VARRITENUTE SET FVARRIMPONIBILEDIP = 0, FVARRPERCIMPDIP = 0 "
                       "WHERE IRICEID IN (14,15) AND FVARRRITDIP = 0 AND FVARRIMPONIBILEDIP > 0"),
        QStringLiteral("UPDATE TVARR_VARRITENUTE SET FVARRIMPONIBILEAMM = 0, FVARRPERCIMPAMM = 0 "
                       "WHERE IRICEID IN (14,15) AND FVARRRITAMM = 0 AND FVARRIMPONIBILEAMM > 0"),
        QStringLiteral("UPDATE TCDS_STRUTTURA SET SCDSFIELDMAP = "
                       "'saficognome=Cognome;safinome=Nome;saficodfiscale=CFLavoratore;safigruppoana=Matricola+Qualifica2', "
                       "ICDSRIGO = (SELECT MAX(FIS.IFISRIGO) FROM TFIS_DATIFISCALI FIS WHERE FIS.ICDSID = TCDS_STRUTTURA.ICDSID) "
                       "WHERE (ICDSID = 13)"),
        QStringLiteral("DELETE FROM TAFI_ANAFISCALE WHERE SAFICODFISCALE IS NULL AND SAFICOGNOME IS NULL "
                       "AND SAFINOME IS NULL AND SAFICODFISSOST IS NULL AND SAFIGRUPPOANA IS NULL"),
        QStringLiteral("UPDATE TCUFO_FONDICU SET ICUFOTIPOSCUOLA = 1 WHERE COALESCE(ICUFOTIPOSCUOLA,0)=0"),
    };
    for (const QString &sql : repairs)
        xqoMain.exec(sql);
}

void TdmZptConnessione::registerReports(const QString &mode)
{
    TQmrQueryText &qt = TQmrQueryText::instance();
    const QString file = reportFile();
    if (QFileInfo::exists(file)) {
        ClientDataSet reports; // TQmrReport
        reports.loadFromFile(file);
        NamedQuery q;
        qt.SetQuerySQL(QStringLiteral("QRY_YRPT"), q, 0, QStringLiteral("EXECUTE"));
        q.sql = TQmrQueryText::FormatCommandText(q.sql, {mode});
        for (reports.first(); !reports.eof(); reports.next()) {
            q.params.clear();
            q.setParam(QStringLiteral("IYRFOID"), reports.fieldByName(QStringLiteral("IYRFOID"))->value());
            q.setParam(QStringLiteral("SYRPTDESC"), reports.fieldByName(QStringLiteral("SYRPTDESC"))->asString());
            q.setParam(QStringLiteral("IYRPTVERSION"), reports.fieldByName(QStringLiteral("IYRPTVERSION"))->asInteger());
            q.setParam(QStringLiteral("SYRPTNOTE"), reports.fieldByName(QStringLiteral("SYRPTNOTE"))->asString());
            q.setParam(QStringLiteral("BYRPTREPORT"), reports.fieldByName(QStringLiteral("BYRPTREPORT"))->asBlob());
            q.setParam(QStringLiteral("BYRPTVAR"), reports.fieldByName(QStringLiteral("BYRPTVAR"))->asBlob());
            q.setParam(QStringLiteral("IYRPTID"), reports.fieldByName(QStringLiteral("IYRPTID"))->asInteger());
            runNamed(xqoMain, q);
        }
    }
    NamedQuery folderLink;
    qt.SetQuerySQL(QStringLiteral("QRY_YAPVRFO"), folderLink, 0, QStringLiteral("EXECUTE"));
    folderLink.setParam(QStringLiteral("IYAPVRFOID"), 11006);
    folderLink.setParam(QStringLiteral("IYAPPID"), 11);
    runNamed(xqoMain, folderLink);
    NamedQuery folder;
    qt.SetQuerySQL(QStringLiteral("QRY_YRFO"), folder, 0, QStringLiteral("EXECUTE"));
    folder.setParam(QStringLiteral("IYRFOID"), 11006);
    folder.setParam(QStringLiteral("IYRFOID_P"), 11001);
    folder.setParam(QStringLiteral("SYRFODESC"), QStringLiteral("Registro compensi"));
    runNamed(xqoMain, folder);
}

} // namespace jex
