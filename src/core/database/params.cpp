#include "database/params.h"
#include "registration.h"

#include "base/appcontext.h"
#include "base/errors.h"
#include "base/messages.h"
#include "base/paths.h"
#include "database/namedsql.h"
#include "database/sqlconnection.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSqlRecord>

namespace jex {

// ---------------------------------------------------------------- TdmZptParams

TQxSQLConnection &TdmZptParams::connection() const
{
    TQxSQLConnection *c = m_conn ? m_conn : globalConnection();
    if (!c)
        jexAssert(QStringLiteral("TdmZptParams: nessuna connessione al database"));
    return *c;
}

QVariant TdmZptParams::ParamValue(const QString &name) const
{
    return connection().scalar(QStringLiteral("SELECT SPARVALUE FROM TQXU_PARAMS WHERE SPARNAME = :SPARNAME"),
                               {{QStringLiteral("SPARNAME"), name}});
}

void TdmZptParams::SetParamValue(const QString &name, const QVariant &value)
{
    TQxSQLConnection &c = connection();
    c.exec(QStringLiteral("DELETE FROM TQXU_PARAMS WHERE SPARNAME = :SPARNAME"), {{QStringLiteral("SPARNAME"), name}});
    if (value.isValid() && !value.isNull())
        c.exec(QStringLiteral("INSERT INTO TQXU_PARAMS (SPARNAME, SPARVALUE) VALUES (:SPARNAME, :SPARVALUE)"),
               {{QStringLiteral("SPARNAME"), name}, {QStringLiteral("SPARVALUE"), value.toString()}});
}

void TdmZptParams::openPaco()
{
    if (m_pacoAnfId == 0) {
        // Nobody chose the year yet: the parameter, else the application's year.
        bool ok = false;
        const int p = ParamValue(QStringLiteral("QXUP_AnfId")).toString().toInt(&ok);
        m_pacoAnfId = ok && p > 0 ? p : anfIdOfYear(2024);
    }
    NamedQuery q;
    TQmrQueryText::instance().SetQuerySQL(QStringLiteral("QRY_PACO_ANF"), q, 0, QStringLiteral("SELECT"));
    q.setParam(QStringLiteral("IANFID"), m_pacoAnfId);
    QSqlQuery r = runNamed(connection(), q);
    m_paco.clear();
    if (r.next()) {
        const QSqlRecord rec = r.record();
        for (int i = 0; i < rec.count(); ++i)
            m_paco.insert(rec.fieldName(i).toUpper(), r.value(i));
    }
    m_pacoOpen = true;
}

QVariant TdmZptParams::ParamField(const QString &column)
{
    if (!m_pacoOpen)
        openPaco();
    return m_paco.value(column.toUpper());
}

void TdmZptParams::SetAnnoFinanziario(int anfId)
{
    m_pacoOpen = false;
    m_paco.clear();
    m_pacoAnfId = anfId;
    openPaco();
}

bool TdmZptParams::ConversionDone(int anfId)
{
    NamedQuery q;
    TQmrQueryText::instance().SetQuerySQL(QStringLiteral("QRY_NAF_EFFETTUATO"), q, 0, QStringLiteral("SELECT"));
    q.setParam(QStringLiteral("IANFID"), anfId);
    QSqlQuery r = runNamed(connection(), q);
    if (!r.next())
        return false;
    return r.value(QStringLiteral("TOTALE")).toLongLong() > 0;
}

bool TdmZptParams::AccountsPresent(int timId)
{
    NamedQuery q;
    TQmrQueryText::instance().SetQuerySQL(QStringLiteral("QRY_NAF_CONTI_TEST"), q, 0, QStringLiteral("SELECT"));
    q.setParam(QStringLiteral("ITIMID"), timId);
    QSqlQuery r = runNamed(connection(), q);
    return r.next();
}

int TdmZptParams::GetDwgId() const
{
    return ParamValue(QStringLiteral("QXUP_DwgId")).toString().toInt();
}

QString TdmZptParams::ConverterPath() const
{
    const QString env = qEnvironmentVariable("JEX770_PDC_CONVERTER");
    if (!env.isEmpty())
        return env;
    const QString param = ParamValue(QStringLiteral("QXUP_PdcConverter")).toString();
    if (!param.isEmpty())
        return param;
    return Paths::binDir() + QStringLiteral("aggPdC2019.exe");
}

void TdmZptParams::CheckValue(const QString &parameter, const QString &selectedText, bool &accepted)
{
    accepted = !selectedText.isEmpty();
    if (parameter != QLatin1String("QXUP_AnfId"))
        return;
    // Years are four-digit texts, so the text comparison orders them.
    accepted = accepted && selectedText <= QLatin1String("2025");
    if (accepted && selectedText >= QLatin1String("2019") && !ConversionDone(kConversionYearId))
        accepted = ChartOfAccountsCheck();
}

bool TdmZptParams::ChartOfAccountsCheck()
{
    if (ParamField(QStringLiteral("LPACOAFAM")).toInt() == 1 || AccountsPresent(500001) || AccountsPresent(200001))
        return true;
    const QString program = ConverterPath();
    const QFileInfo fi(program);
    if (!fi.exists() || !fi.isFile()) {
        messages().error(QStringLiteral(
            "Il programma di conversione del piano dei conti \"aggPdC2019.exe\" non è stato trovato (%1).\n"
            "L'anno scelto non può essere usato finché il piano dei conti non è stato convertito: "
            "indicare il programma nella variabile d'ambiente JEX770_PDC_CONVERTER oppure scegliere un altro anno.")
                             .arg(QDir::toNativeSeparators(program)));
        return false;
    }
    if (!RunConverter(fi.absoluteFilePath()))
        return false;
    return AccountsPresent(200001);
}

bool TdmZptParams::RunConverter(const QString &program)
{
    QProcess p;
    p.setWorkingDirectory(QFileInfo(program).absolutePath());
    // The converter takes the database name as one argument in double quotes.
    p.start(program, {u'"' + connection().databaseName() + u'"'});
    if (!p.waitForStarted(-1)) {
        messages().error(QStringLiteral("Impossibile avviare il programma di conversione del piano dei conti (%1): %2")
                             .arg(QDir::toNativeSeparators(program), p.errorString()));
        return false;
    }
    p.waitForFinished(-1);
    return true;
}

TdmZptParams &dmZptParams()
{
    static TdmZptParams params;
    return params;
}

// ---------------------------------------------------------------- year contexts

namespace {

QDateTime toDateTime(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return {};
    if (v.typeId() == QMetaType::QDate)
        return QDateTime(v.toDate(), QTime(0, 0));
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime();
    // SQLite gives the ISO text back.
    const QString s = v.toString();
    const QDate d = QDate::fromString(s.left(10), Qt::ISODate);
    return d.isValid() ? QDateTime(d, QTime(0, 0)) : QDateTime();
}

QString usText(const QDateTime &dt)
{
    return dt.isValid() ? dt.toString(QStringLiteral("MM/dd/yyyy")) : QString();
}

} // namespace

TdmZptParams &TqmrAnno::requireParams() const
{
    if (!Params)
        jexAssert(QStringLiteral("QmrUUtil: anno richiesto dai parametri senza modulo dei parametri"));
    return *Params;
}

void TqmrAnno::SetAnno(int id)
{
    TQxSQLConnection *conn = globalConnection();
    if (!conn)
        jexAssert(QStringLiteral("QmrUUtil: nessuna connessione al database"));
    Id = id != 0 ? id : DefaultId();
    QSqlQuery q = conn->exec(SqlText(), {{QStringLiteral("IDANNO"), Id}});
    DataInizio = {};
    DataFine = {};
    if (q.next()) {
        DataInizio = toDateTime(q.value(0));
        DataFine = toDateTime(q.value(1));
    }
    Anno = DataInizio.isValid() ? DataInizio.date().year() : 0;
    DataInizioTxt = usText(DataInizio);
    DataFineTxt = usText(DataFine);
}

QString TqmrAnnoFinanziario::SqlText() const
{
    return QStringLiteral("SELECT DANFQUXORINIZIO, DANFQUXORFINE FROM TANF_ANNIFINANZ WHERE IANFID=:IDANNO");
}

int TqmrAnnoFinanziario::DefaultId() const
{
    return requireParams().ParamValue(QStringLiteral("QXUP_AnfId")).toInt();
}

QString TqmrAnnoScolastico::SqlText() const
{
    return QStringLiteral("SELECT DANSQUXORINIZIO, DANSQUXORFINE FROM TANS_ANNISCOLAST WHERE IANSID=:IDANNO");
}

int TqmrAnnoScolastico::DefaultId() const
{
    const QVariant v = requireParams().ParamValue(QStringLiteral("QXUP_AnsId"));
    if (!v.isValid() || v.isNull())
        return 0;
    bool ok = false;
    const int id = v.toString().trimmed().toInt(&ok);
    return ok ? id : 0;
}

void TzptAnnoFinanziario::SetAnno(int id)
{
    if (!Params)
        Params = &dmZptParams();
    TqmrAnnoFinanziario::SetAnno(id);
}

void ensureZptParDir()
{
    const QString dir = Paths::usrZptDir();
    if (!QFileInfo::exists(dir + QStringLiteral("ZptPar.ini")))
        QDir().mkpath(dir);
}

TzptAnnoFinanziario &zptAnnoFinanziario()
{
    static TzptAnnoFinanziario *anno = [] {
        ensureZptParDir();
        return new TzptAnnoFinanziario;
    }();
    return *anno;
}

TqmrAnnoScolastico &qmrAnnoScolastico()
{
    static TqmrAnnoScolastico *anno = [] {
        ensureZptParDir();
        return new TqmrAnnoScolastico(&dmZptParams());
    }();
    return *anno;
}

void ensureYears(TQxSQLConnection &conn)
{
    for (int y = 2019; y <= 2025; ++y) {
        conn.exec(QStringLiteral("INSERT INTO TANF_ANNIFINANZ (IANFID, SANFDESC, DANFQUXORINIZIO, DANFQUXORFINE) "
                                 "VALUES (:ID, :DESCR, :INIZIO, :FINE) ON CONFLICT (IANFID) DO NOTHING"),
                  {{QStringLiteral("ID"), anfIdOfYear(y)},
                   {QStringLiteral("DESCR"), QStringLiteral("Anno finanziario %1").arg(y)},
                   {QStringLiteral("INIZIO"), QDate(y, 1, 1)},
                   {QStringLiteral("FINE"), QDate(y, 12, 31)}});
        // A school year takes the id of the calendar year it starts in.
        conn.exec(QStringLiteral("INSERT INTO TANS_ANNISCOLAST (IANSID, SANSDESC, DANSQUXORINIZIO, DANSQUXORFINE) "
                                 "VALUES (:ID, :DESCR, :INIZIO, :FINE) ON CONFLICT (IANSID) DO NOTHING"),
                  {{QStringLiteral("ID"), anfIdOfYear(y)},
                   {QStringLiteral("DESCR"), QStringLiteral("Anno scolastico %1/%2").arg(y).arg(y + 1)},
                   {QStringLiteral("INIZIO"), QDate(y, 9, 1)},
                   {QStringLiteral("FINE"), QDate(y + 1, 8, 31)}});
    }
}

// ---------------------------------------------------------------- payroll tables

namespace {

QStringList payrollTables(bool pg)
{
    Q_UNUSED(pg); // the same DDL on both dialects
    QStringList s;
    s << QStringLiteral("CREATE TABLE TQXU_PARAMS (SPARNAME VARCHAR(60) PRIMARY KEY, SPARVALUE VARCHAR(500))");
    s << QStringLiteral("CREATE TABLE TPACO_PARAMCOMP (IANFID INTEGER PRIMARY KEY, LPACOAFAM INTEGER DEFAULT 0, "
                        "IPACOF24EP INTEGER DEFAULT 1, IDWGANFID INTEGER, SPACONOTE VARCHAR(200))");
    // One row per fiscal year whose chart of accounts has been converted.
    s << QStringLiteral("CREATE TABLE TNAF_NUOVOANAFIN (INAFID INTEGER PRIMARY KEY, IANFID INTEGER NOT NULL, "
                        "DNAFDATA DATE, SNAFNOTE VARCHAR(200))");
    s << QStringLiteral("CREATE TABLE TCON_CONTI (ICONID INTEGER PRIMARY KEY, ITIMID INTEGER NOT NULL, "
                        "SCONCODICE VARCHAR(20), SCONDESC VARCHAR(100))");
    s << QStringLiteral("CREATE INDEX XCON_TIMID ON TCON_CONTI (ITIMID)");
    s << QStringLiteral("CREATE TABLE TSED_SEDE (ISEDID INTEGER PRIMARY KEY, IDWGID INTEGER NOT NULL, "
                        "LSEDPRINCIPALE INTEGER DEFAULT 0, SSEDCODFIS VARCHAR(16), SSEDDENOM VARCHAR(100), "
                        "SSEDCODMECC VARCHAR(10), SSEDINDIRIZZO VARCHAR(100), SSEDCAP VARCHAR(5), "
                        "SSEDCOMUNE VARCHAR(60), SSEDPROV VARCHAR(2), SSEDCODCOM VARCHAR(4), "
                        "SSEDTEL VARCHAR(20), SSEDEMAIL VARCHAR(100))");
    return s;
}

} // namespace

void registerParameters(Registry &registry)
{
    // The shared settings directory is prepared at every start, as the
    // year contexts' unit does when it is loaded.
    registry.startup.addStartupStep({1, QStringLiteral("zptpar-dir"), [] {
                                               ensureZptParDir();
                                               return true;
                                           }});
    SchemaPart part;
    part.name = QStringLiteral("payroll-params");
    part.order = 20;
    part.sqlite = payrollTables(false);
    part.postgresql = payrollTables(true);
    part.seed = [](TQxSQLConnection &conn) { ensureYears(conn); };
    registry.schema.add(part);
}

} // namespace jex
