#include "imports/cud/cudimport.h"

#include "imports/cud/additionaltaxes.h"
#include "imports/cud/cudrules.h"
#include "imports/cud/payrollcompletion.h"
#include "imports/importmodule.h"
#include "imports/persontable.h"
#include "imports/personrun.h"
#include "imports/rules/importrules.h"
#include "imports/rules/importxml.h"

#include "base/errors.h"
#include "base/messages.h"
#include "codelists/codelists.h"
#include "database/params.h"
#include "database/sqlconnection.h"
#include "database/structureservice.h"
#include "dataset/dataset.h"
#include "sections/databasestore.h"

#include <QHash>
#include <QSet>

#include <map>
#include <memory>

namespace jex {

namespace {

const QString kCud = QStringLiteral("TCUD_DATICUD");
const QString kCus = QStringLiteral("TCUS_DATISOST");
const QString kCudInps = QStringLiteral("TCUDI_INPS");
const QString kCudInpdap = QStringLiteral("TCUDN_INPDAP");
const QString kCudFam = QStringLiteral("TCUDC_CONFAMCARICO");
const QString kCudAut = QStringLiteral("TASE_AUTSOMMEEROGATE");
const QString kCudInail = QStringLiteral("TCUIN_INAIL");

const QString kSos = QStringLiteral("TSOS_DATOSOSTITUTO");
const QString kSoe = QStringLiteral("TSOE7_SOSESTINTO");
const QString kDip = QStringLiteral("TDIP7_ANAGRFISCALI");
const QString kCon = QStringLiteral("TCON7_DATICONGUAG");
const QString kRar = QStringLiteral("TRAR7_REDASSTIRTIT");
const QString kTas = QStringLiteral("TTAS7_TASSAZIONESE");
const QString kTfr = QStringLiteral("TTFR7_TFR");
const QString kCfc = QStringLiteral("TCFC7_CONFAMCARICO");
const QString kInps = QStringLiteral("TINPS7_INPS");
const QString kInpdap = QStringLiteral("TINP7_INPDAP");
const QString kAnn = QStringLiteral("TANN7_ANNOTAZIONI");
const QString kSls = QStringLiteral("TSLS7_SOMEROLAVSTRA");
const QString kRee = QStringLiteral("TREE7_REDDITOESTER");
const QString kCff = QStringLiteral("TCFF7_CFFAMILIARE");
const QString kIna = QStringLiteral("TINA7_INAIL");
const QString kDau = QStringLiteral("TDAU7_DATIAUTONOM");
const QString kDse = QStringLiteral("TDSE7_SOMMEEROGATE");

// An employee's tables besides the personal data, in the order their rows
// are deleted.
const QStringList kEmployeeTables = {kCon, kRar, kTas, kTfr, kCfc, kInps, kInpdap, kAnn, kSls, kRee, kCff, kIna};

const PersonRunWords kWords{QStringLiteral("Importazione da CU"), QStringLiteral("Importazione interrotta"),
                            QStringLiteral("importate")};

QString keyOf(const QString &codFis) { return personKey(codFis); }

QString text(const ClientDataSet &ds, const QString &column)
{
    const Field *f = ds.findField(column);
    return f ? f->asString() : QString();
}

bool marked(const ClientDataSet &ds, const QString &column) { return text(ds, column).trimmed() == u"X"; }

// The columns of the personal-data record that do not make a person worth
// keeping. Residence (comune, province, code) is personal data like the
// fiscal domicile.
const QSet<QString> &personalColumns()
{
    static const QSet<QString> names = {
        QStringLiteral("IAFIID"),           QStringLiteral("IFISRIGO"),          QStringLiteral("SDIP7GRUPPOANA"),
        QStringLiteral("SDIP7CODFIS"),      QStringLiteral("SDIP7COGNOME"),      QStringLiteral("SDIP7NOME"),
        QStringLiteral("SDIP7SEX"),         QStringLiteral("DDIP7DATANAS"),      QStringLiteral("SDIP7COMNAS"),
        QStringLiteral("SDIP7PROVNAS"),     QStringLiteral("SCAP7CODICE"),       QStringLiteral("SDIP7EVENTIECC"),
        QStringLiteral("SFIS7CASIESCPREC"), QStringLiteral("SDIP7DFCOMUNEPRECC"), QStringLiteral("SDIP7DFPROVPRECC"),
        QStringLiteral("SDIP7DFCODCOMPRECC"), QStringLiteral("SDIP7DFCOMUNE"),   QStringLiteral("SDIP7DFPROV"),
        QStringLiteral("SDIP7DFCODCOM"),    QStringLiteral("SDIP7DFCODSED"),     QStringLiteral("SDIP7CODFISRAPPR"),
        QStringLiteral("SDIP7CODSTAEST"),   QStringLiteral("LFIS7ASSSANITARIE"), QStringLiteral("LFIS7APPLMAGGRIT"),
        QStringLiteral("SCUD"),             QStringLiteral("DDIP7DATAPRIOCC"),   QStringLiteral("SCONGUAGLIO"),
        QStringLiteral("SDIP7COMUNE"),      QStringLiteral("SDIP7PROVINCIA"),    QStringLiteral("SDIP7CODCOM"),
        QStringLiteral("SSOE7CODICE")};
    return names;
}

// The certification rows of a detail table, by person and month.
struct DetailTable
{
    ClientDataSet ds;
    QHash<QString, QVector<int>> byPersonMonth; // SCUDCODFIS + SCUDMESE -> record numbers

    void index()
    {
        int rec = 0;
        for (ds.first(); !ds.eof(); ds.next())
            byPersonMonth[text(ds, QStringLiteral("SCUDCODFIS")) + text(ds, QStringLiteral("SCUDMESE"))].append(++rec);
    }
    QVector<int> rowsOf(const QString &personMonth) const { return byPersonMonth.value(personMonth); }
};

class CudRun
{
public:
    CudRun(TQxSQLConnection &conn, ImportReport &report, const CudImportOptions &options, TCudImport &job)
        : m_conn(conn), m_report(report), m_options(options), m_job(job), m_service(2024, QStringLiteral("jex"), 0),
          m_store(&m_service), m_module(&m_service, &m_params), m_codeLists(CodeLists::installation())
    {
        m_service.SetConnection(&conn);
        m_service.SetShowWait(false);
        m_params.SetConnection(&conn);
    }

    void openSources()
    {
        m_module.OpenCertificationTable(kCus, m_cus);
        m_module.OpenCertificationTable(kCud, m_cud);
        for (const QString &t : {kCudInps, kCudInpdap, kCudFam, kCudAut, kCudInail}) {
            auto d = std::make_unique<DetailTable>();
            m_module.OpenCertificationTable(t, d->ds);
            d->index();
            m_details[t] = std::move(d);
        }
        // The person's rows in the order of the index, month by month.
        m_cud.setIndexFieldNames(QStringLiteral("SCUDCODFIS;SCUDMESE"));
        int rec = 0;
        for (m_cud.first(); !m_cud.eof(); m_cud.next()) {
            ++rec;
            const QString cf = keyOf(text(m_cud, QStringLiteral("SCUDCODFIS")));
            if (cf.isEmpty())
                continue;
            if (!m_rowsOf.contains(cf))
                m_order << cf;
            m_rowsOf[cf].append(rec);
        }
    }

    QList<CudPerson> persons()
    {
        QList<CudPerson> out;
        QSet<QString> seen;
        m_cud.setIndexFieldNames(QString());
        for (m_cud.first(); !m_cud.eof(); m_cud.next()) {
            const QString cf = text(m_cud, QStringLiteral("SCUDCODFIS"));
            if (cf.trimmed().isEmpty() || seen.contains(keyOf(cf)))
                continue;
            seen.insert(keyOf(cf));
            out.append({cf, text(m_cud, QStringLiteral("SCUDCOGNOME")), text(m_cud, QStringLiteral("SCUDNOME"))});
        }
        return out;
    }

    bool agentMissing()
    {
        ClientDataSet sos;
        m_store.openCds(kSos, sos);
        sos.first();
        return sos.isEmpty() || text(sos, QStringLiteral("SSOSDENOM")).trimmed().isEmpty();
    }

    // Every selected person, or the reason why the run cannot start.
    QString select()
    {
        if (m_options.persons.isEmpty()) {
            m_selected = m_order;
            return {};
        }
        QStringList unknown;
        QSet<QString> wanted;
        for (const QString &p : m_options.persons) {
            const QString cf = keyOf(p);
            if (!m_rowsOf.contains(cf))
                unknown << p.trimmed();
            wanted.insert(cf);
        }
        if (!unknown.isEmpty())
            return QStringLiteral("%1 non %2 nelle certificazioni (%3): nessun dato è stato modificato.")
                .arg(unknown.size() == 1 ? QStringLiteral("Il codice fiscale %1").arg(unknown.first())
                                         : QStringLiteral("I codici fiscali %1").arg(unknown.join(QStringLiteral(", "))),
                     unknown.size() == 1 ? QStringLiteral("è presente") : QStringLiteral("sono presenti"), kCud);
        for (const QString &cf : std::as_const(m_order))
            if (wanted.contains(cf))
                m_selected << cf;
        return {};
    }

    QStringList selected() const { return m_selected; }

    void openDestinations()
    {
        m_store.openCds(kSoe, m_soe);
        auto add = [this](const QString &name, const QString &key) {
            auto t = std::make_unique<PersonTable>();
            t->name = name;
            t->keyColumn = key;
            t->open(m_store);
            m_tables[name] = std::move(t);
        };
        add(kDip, QStringLiteral("SDIP7CODFIS"));
        for (const QString &t : kEmployeeTables)
            add(t, QStringLiteral("SDIP7CODFIS"));
        add(kDau, QStringLiteral("SDAU7CODFIS"));
        add(kDse, QStringLiteral("SDAU7CODFIS"));
    }

    // The agent's data and the extinct agents named by the certifications:
    // one transaction before the persons.
    void importAgentAndExtinct()
    {
        TQxTransaction tr(m_conn);
        tr.StartTransaction();
        try {
            if (m_options.importAgent)
                importAgent();
            QSet<QString> known;
            for (m_soe.first(); !m_soe.eof(); m_soe.next())
                known.insert(text(m_soe, QStringLiteral("CODICE")).trimmed());
            for (m_cud.first(); !m_cud.eof(); m_cud.next()) {
                const QString code = text(m_cud, QStringLiteral("SCUDALTROSOSCODFIS")).trimmed();
                if (code.isEmpty() || known.contains(code))
                    continue;
                known.insert(code);
                m_soe.append();
                m_soe.fieldByName(QStringLiteral("CODICE"))->setValue(code);
                m_soe.post();
            }
            if (m_soe.hasPendingChanges())
                m_store.saveCds(kSoe, m_soe);
            tr.Commit();
        } catch (...) {
            tr.Rollback();
            throw;
        }
    }

    void importPersons()
    {
        TImportXML engine;
        // The run checked the rules file before its start: the persons are
        // imported by the rules read then.
        engine.setReadOnce(true);
        PayrollCompletion completion(context());
        completion.setReadYearOnce(true);
        m_engine = &engine;
        m_completion = &completion;
        forEachPerson(kWords, m_selected, [this](const QString &cf) { importPerson(cf); });
        m_engine = nullptr;
        m_completion = nullptr;
    }

    void complete()
    {
        PayrollCompletion completion(context());
        completion.completeImport(m_selected, m_options.additionalTaxes, m_carried);
    }

    int imported() const { return m_imported; }

private:
    CompletionContext context()
    {
        CompletionContext c;
        c.store = &m_store;
        c.conn = &m_conn;
        c.yearId = TCudImport::kYearId;
        c.report = &m_report;
        c.phase = [this](const QString &caption) {
            if (m_job.onPhase)
                m_job.onPhase(caption);
            messages().progress(caption);
        };
        return c;
    }

    PersonTable &t(const QString &name) { return *m_tables.at(name); }

    void importAgent()
    {
        if (m_cus.isEmpty()) {
            m_report.addLine(QStringLiteral("Dati del sostituto non importati: la tabella %1 delle certificazioni è vuota.").arg(kCus));
            return;
        }
        m_cus.first();
        ClientDataSet sos;
        m_store.openCds(kSos, sos);
        if (sos.isEmpty()) {
            sos.append();
            for (const char *flag : {"LSOSCORRETTIVA", "LSOSINTEGRATIVA", "LSOSEVECCEZ", "LSOSAVVISO", "LSOSAVVISORIC",
                                     "LSOSSS", "LSOSST", "LSOSSX", "LSOSSY", "LSOSDICHCONTRIB", "LSOSDICHNOCONTRIB",
                                     "LSOSVISTO", "LSOSCONFERMADICH", "LSOSSSPARZ", "LSOSSTPARZ", "LSOSSVPARZ",
                                     "LSOSSXPARZ", "LSOSSYPARZ", "LSOSORD", "LSOSPREAVTELE", "LSOSSV", "LSOSDI",
                                     "LSOSCASIPART", "LSOSINCGESSEP", "LGESCFSOS1", "LGESCFSOS2"})
                if (Field *f = sos.findField(QString::fromLatin1(flag)))
                    f->setAsString(QStringLiteral("0"));
            if (Field *f = sos.findField(QStringLiteral("ISOSSEZ")))
                f->setValue(1);
        } else {
            sos.first();
            sos.edit();
        }
        const QString school = m_module.SchoolFiscalCode().trimmed();
        const QString certified = text(m_cus, QStringLiteral("SSOSCODFIS")).trimmed();
        QString codFis = certified;
        if (!school.isEmpty() && certified != school) {
            messages().warning(QStringLiteral("Codice fiscale della scuola (%1) non congruente con quello presente "
                                              "nel CUD (%2). Verrà importato %1").arg(school, certified));
            codFis = school;
        }
        sos.fieldByName(QStringLiteral("SSOSCODFIS"))->setValue(codFis);
        const QList<QPair<const char *, const char *>> copies = {
            {"SSOSDENOM", "SSOSDENOM"},         {"SSOSCOMUNE", "SSOSCOMUNESL"}, {"SSOSPROV", "SSOSPROVSL"},
            {"SSOSCAP", "SSOSCAPSL"},           {"SSOSINDIRIZZO", "SSOSINDIRIZSL"}, {"SSOSEMAIL", "SSOSEMAIL"},
            {"SSOSCODATTIVITA", "SCOACODICE"}};
        for (const auto &[from, to] : copies)
            if (Field *f = sos.findField(QString::fromLatin1(to)))
                f->setValue(m_cus.fieldByName(QString::fromLatin1(from))->value());
        sos.post();
        m_store.saveCds(kSos, sos);
    }

    void importPerson(const QString &cf)
    {
        const QVector<int> rows = m_rowsOf.value(cf);
        m_cud.setRecNo(rows.first());
        m_surname = text(m_cud, QStringLiteral("SCUDCOGNOME"));
        m_name = text(m_cud, QStringLiteral("SCUDNOME"));
        m_codFis = cf;
        if (m_job.onPerson)
            m_job.onPerson(m_surname + u' ' + m_name);

        if (const QString fault = fiscalCodeFault(cf); !fault.isEmpty()) {
            const int start = m_report.size();
            m_report.addLine(QStringLiteral("-  Non importato: %1 (tabella %2, colonna SCUDCODFIS). "
                                            "I dati della dichiarazione per questa persona non sono stati modificati.")
                                 .arg(fault, kCud));
            closePersonLines(m_report, start, m_surname, m_name);
            return;
        }

        for (auto &[name, table] : m_tables)
            table->load(cf);

        // The deletion of what the return held and the import of the
        // certification are one unit: both or neither reach the database.
        inPersonTransaction(m_conn, kWords, m_surname, m_name, cf, [&] {
            deletePerson();
            for (int rec : rows) {
                m_cud.setRecNo(rec);
                importRow();
            }
            if (m_options.additionalTaxes)
                carryTaxesOf(cf);
            savePerson();
        });
        ++m_imported;
    }

    void deletePerson()
    {
        t(kDip).clear();
        for (const QString &name : kEmployeeTables)
            t(name).clear();
        t(kDau).clear();
        t(kDse).clear();
    }

    void importRow()
    {
        const int start = m_report.size();
        if (!t(kDip).ds.isEmpty() && (marked(m_cud, QStringLiteral("LCUDCOMPRENSIVO"))
                                      || marked(m_cud, QStringLiteral("LCUDCONGUAGLIO"))))
            deletePerson();
        sections(marked(m_cud, QStringLiteral("LCUDCONGUAGLIO")) ? QStringLiteral("S") : QStringLiteral("N"));
        closePersonLines(m_report, start, m_surname, m_name);
    }

    // Runs a section on the destination's record in insert or edit state;
    // posts it on success, cancels it otherwise.
    bool section(const QString &name, ClientDataSet &source, PersonTable &dest,
                 const std::function<void()> &after = {})
    {
        if (!m_engine->Execute(name, m_rulesPath, source, dest.ds)) {
            dest.ds.cancel();
            m_report.addLine(QStringLiteral("-  Sezione %1 non importata nella tabella %2").arg(name, dest.name));
            return false;
        }
        if (after)
            after();
        if (dest.ds.isEditing())
            dest.ds.post();
        return true;
    }

    // A section of the CUD row into the person's one record of a table.
    void single(const QString &table, const QString &name, const QStringList &present,
                const std::function<void()> &after = {})
    {
        if (!anyPresent(m_cud, present))
            return;
        PersonTable &dest = t(table);
        dest.editOrAppend({});
        section(name, m_cud, dest, after);
    }

    QString personMonth() const { return text(m_cud, QStringLiteral("SCUDCODFIS")) + text(m_cud, QStringLiteral("SCUDMESE")); }

    void sections(const QString &adjustment)
    {
        PersonTable &dip = t(kDip);
        // 1 personal data, only for a new record
        if (dip.ds.isEmpty()) {
            m_engine->setVariable(1, adjustment);
            dip.ds.append();
            section(QStringLiteral("CUD_Ana"), m_cud, dip, [this, &dip] {
                Field *cap = dip.ds.fieldByName(QStringLiteral("SCAP7CODICE"));
                if (cap->asString().trimmed().isEmpty()) {
                    const QString code = capCodeFor(m_completion->position(m_codFis));
                    if (!code.isEmpty())
                        cap->setValue(code);
                }
            });
        }
        if (dip.ds.isEmpty()) {
            m_report.addLine(QStringLiteral("-  Senza i dati anagrafici le altre sezioni del dipendente non sono state importate"));
        } else {
            employeeSections();
        }
        selfEmployed();
        removeIfEmpty();
    }

    void employeeSections()
    {
        PersonTable &dip = t(kDip);
        // 2 fiscal data
        dip.ds.first();
        dip.ds.edit();
        section(QStringLiteral("CUD_Fis"), m_cud, dip, [&dip] {
            Field *days = dip.ds.fieldByName(QStringLiteral("IFIS7PERIODOLAV"));
            if (days->asInteger() > 365)
                days->setValue(365);
        });
        // 3 fiscal assistance from the payroll archive
        dip.ds.first();
        m_completion->importFiscalAssistance(dip.ds, m_codFis, m_surname, m_name);
        dip.ds.checkBrowseMode();

        single(kCon, QStringLiteral("CUD_Cong"),
               {QStringLiteral("FCUDIRPEFTRATT28F"), QStringLiteral("FCUDIRPEFVERSERAR"), QStringLiteral("FCUDIMPONPTO1"),
                QStringLiteral("FCUDIMPONPTO2")},
               [this] {
                   ClientDataSet &ds = t(kCon).ds;
                   const Field *pto1 = ds.fieldByName(QStringLiteral("FCON7IMPONPTO1"));
                   if (pto1->asMoney() > 0)
                       ds.fieldByName(QStringLiteral("FCON7IMPCONGUAGL"))->setValue(pto1->value());
               });
        single(kRar, QStringLiteral("CUD_ReddImp"),
               {QStringLiteral("FCUDTOTREDDITI"), QStringLiteral("FCUDTOTRITIRPEF"), QStringLiteral("FCUDTOTADDREGIRPEF"),
                QStringLiteral("FCUDTOTRITIRPEFSOSP"), QStringLiteral("FCUDTOTADDREGIRPEFSOSP")});
        single(kSls, QStringLiteral("CUD_SommEroLavStra"),
               {QStringLiteral("FCUDTOTREDDSTRA"), QStringLiteral("FCUDTOTRITOPE"), QStringLiteral("FCUDTOTRITSOSSTR"),
                QStringLiteral("LCUDVEDISTR"), QStringLiteral("FCUDREDDNIMPART51")});
        single(kTas, QStringLiteral("CUD_Tass"),
               {QStringLiteral("FCUDTCOMPARRDETR"), QStringLiteral("FCUDTCOMPARRNODETR"), QStringLiteral("FCUDTOTRITOPER"),
                QStringLiteral("FCUDTOTRITSOS")});
        single(kTfr, QStringLiteral("CUD_Tfr"),
               {QStringLiteral("FCUDINDENANNO"), QStringLiteral("FCUDACCANNIPREC"), QStringLiteral("FCUDDETRTAXSEP"),
                QStringLiteral("FCUDRITOPERATEANNO"), QStringLiteral("FCUDRITENUTESOSP"), QStringLiteral("FCUDRITOPERANNIPRE"),
                QStringLiteral("FCUDRITENUTESOSPAP"), QStringLiteral("FCUDTFRAZIENDAAP"), QStringLiteral("FCUDTFRFONDOAP"),
                QStringLiteral("FCUDTFRAZIENDAAC"), QStringLiteral("FCUDTFRFONDOAC"), QStringLiteral("FCUDTFRFONDO07"),
                QStringLiteral("FCUDQUOTA2122")});
        inps();
        inpdap();
        dependants();
        notes();
        single(kRee, QStringLiteral("CUD_ReddEst"),
               {QStringLiteral("ICUDDETCRECODEST"), QStringLiteral("ICUDDETANNPERCREDD"), QStringLiteral("FCUDDETANNREDDEST"),
                QStringLiteral("FCUDDETANNIMPDEF")});
        single(kCff, QStringLiteral("CUD_ContrPrevFamCarico"),
               {QStringLiteral("FCUDPREVFAMCARICO"), QStringLiteral("FCUDPREVFAMCARDED"), QStringLiteral("FCUDPREVFAMCARNDED")});
        inail();
    }

    void inps()
    {
        DetailTable &src = *m_details.at(kCudInps);
        PersonTable &dest = t(kInps);
        for (int rec : src.rowsOf(personMonth())) {
            src.ds.setRecNo(rec);
            if (dest.editOrAppend({{QStringLiteral("SINPS7MATRAZIENDA"), text(src.ds, QStringLiteral("SCUDMATRAZIENDA"))}}))
                SetInpsDefaults(dest.ds);
            section(QStringLiteral("CUD_Inps"), src.ds, dest);
        }
    }

    void inpdap()
    {
        static const char *const amounts[] = {
            "FINPDAP7_DMA_IMPPENS",     "FINPDAP7_DMA_CONPENS",     "FINPDAP7_DMA_IMPTFS", "FINPDAP7_DMA_CONTFS",
            "FINPDAP7_DMA_IMPTFR",      "FINPDAP7_DMA_CONTFR",      "FINPDAP7_DMA_IMPCREDITO",
            "FINPDAP7_DMA_CONCREDITO",  "FINPDAP7_DMA_IMPENPDEP",   "FINPDAP7_DMA_CONENPDEDP"};
        DetailTable &src = *m_details.at(kCudInpdap);
        PersonTable &dest = t(kInpdap);
        auto money = [&dest](const char *column) {
            const Field *f = dest.ds.findField(QString::fromLatin1(column));
            return f ? f->asMoney() : 0;
        };
        for (int rec : src.rowsOf(personMonth())) {
            src.ds.setRecNo(rec);
            const QString admin = text(src.ds, QStringLiteral("SCUDCODFISAMMNE"));
            if (admin.trimmed().isEmpty())
                continue;
            const bool added = dest.editOrAppend({{QStringLiteral("IINPDAP7ANNORIF"), text(src.ds, QStringLiteral("ICUDANNORIF"))},
                                                  {QStringLiteral("SINPDAP7CODFISAMMNE"), admin}});
            if (added)
                for (const char *m : {"GENNAIO", "FEBBRAIO", "MARZO", "APRILE", "MAGGIO", "GIUGNO", "LUGLIO", "AGOSTO",
                                      "SETTEMBRE", "OTTOBRE", "NOVEMBRE", "DICEMBRE"})
                    if (Field *f = dest.ds.findField(QStringLiteral("LINPDAP7") + QString::fromLatin1(m)))
                        f->setValue(1);
            const bool ok = section(QStringLiteral("CUD_Inpdap"), src.ds, dest, [&] {
                if (money("FINPDAP7_DMA_IMPTFR") == 0 && money("FINPDAP7_DMA_CONTFR") == 0)
                    if (Field *f = dest.ds.findField(QStringLiteral("SINPDAP7GESASS_2")))
                        f->clear();
            });
            if (!ok)
                continue;
            bool allZero = true;
            for (const char *a : amounts)
                allZero = allZero && money(a) == 0;
            if (allZero)
                dest.ds.remove();
        }
    }

    void dependants()
    {
        DetailTable &src = *m_details.at(kCudFam);
        PersonTable &dest = t(kCfc);
        for (int rec : src.rowsOf(personMonth())) {
            src.ds.setRecNo(rec);
            dest.ds.append();
            for (const char *flag : {"LCFC7RELPARCON", "LCFC7RELPARPRIFIGL", "LCFC7RELPARFIGL", "LCFC7RELPARFIGLALTRFAM",
                                     "LCFC7RELPARPRIFIGLDIS", "LCFC7RELPARFIGLDIS", "LCFC7DET100AFFPRIFIGL",
                                     "LCFC7DET100AFFFIGL"})
                if (Field *f = dest.ds.findField(QString::fromLatin1(flag)))
                    f->setValue(0);
            section(QStringLiteral("CUD_ConFamCar"), src.ds, dest, [this, &dest] {
                ClientDataSet &ds = dest.ds;
                auto is1 = [&ds](const char *c) { const Field *f = ds.findField(QString::fromLatin1(c)); return f && f->asInteger() == 1; };
                auto zero = [&ds](const char *c) { if (Field *f = ds.findField(QString::fromLatin1(c))) f->setValue(0); };
                if (is1("LCFC7RELPARPRIFIGLDIS"))
                    zero("LCFC7RELPARPRIFIGL");
                if (is1("LCFC7RELPARFIGLDIS")) {
                    zero("LCFC7RELPARFIGLALTRFAM");
                    zero("LCFC7RELPARFIGL");
                } else if (is1("LCFC7RELPARFIGLALTRFAM")) {
                    zero("LCFC7RELPARFIGL");
                }
                if (Field *f = ds.findField(QStringLiteral("SDIP7CODFIS")); f && f->asString().isEmpty())
                    f->setValue(m_codFis);
            });
        }
    }

    void notes()
    {
        const QString notes = text(m_cud, QStringLiteral("SCUDANNOTAZIONI"));
        if (notes.trimmed().isEmpty())
            return;
        PersonTable &dest = t(kAnn);
        try {
            const bool added = dest.editOrAppend({});
            int slot = 1;
            if (added)
                dest.ds.fieldByName(QStringLiteral("SDIP7CODFIS"))->setValue(text(m_cud, QStringLiteral("SCUDCODFIS")).toUpper());
            else
                slot = FirstFreeNoteSlot(dest.ds);
            int stored = 0;
            QStringList surplus;
            for (const QString &code : noteCandidates(notes)) {
                if (!m_codeLists.contains(QStringLiteral("TANN_ANNOTAZIONI"), code))
                    continue;
                Field *f = slot <= kNoteSlots ? dest.ds.findField(noteSlotName(slot)) : nullptr;
                if (!f) {
                    // The table has fewer slots than the certification may
                    // bring: what does not fit is said, not dropped.
                    surplus << code;
                    continue;
                }
                f->setValue(code);
                ++slot;
                ++stored;
            }
            if (stored > 0)
                dest.ds.post();
            else
                dest.ds.cancel();
            if (!surplus.isEmpty())
                m_report.addLine(QStringLiteral("-  Annotazioni non riportate, tutte le caselle della tabella %1 sono "
                                                "occupate: %2").arg(kAnn, surplus.join(QStringLiteral(", "))));
        } catch (const std::exception &e) {
            if (dest.ds.isEditing())
                dest.ds.cancel();
            m_report.addLine(QStringLiteral("Controllare le annotazioni nel Modello CUD: %1 %2 (%3)")
                                 .arg(m_surname, m_name, errorText(e)));
        }
    }

    void inail()
    {
        DetailTable &src = *m_details.at(kCudInail);
        PersonTable &dest = t(kIna);
        for (int rec : src.rowsOf(personMonth())) {
            src.ds.setRecNo(rec);
            dest.editOrAppend({{QStringLiteral("SQUACODICE"), text(src.ds, QStringLiteral("SCUDQUALIFICA"))},
                               {QStringLiteral("SINA7POSASSTERR"), text(src.ds, QStringLiteral("SCUDPOSASSTERR"))}});
            section(QStringLiteral("CUD_Inail"), src.ds, dest);
        }
    }

    void selfEmployed()
    {
        DetailTable &src = *m_details.at(kCudAut);
        const QVector<int> payments = src.rowsOf(personMonth());
        if (payments.isEmpty())
            return;
        PersonTable &dau = t(kDau);
        if (dau.ds.isEmpty()) {
            dau.ds.append();
            section(QStringLiteral("CUD_AnagraficaAut"), m_cud, dau, [&dau] {
                dau.ds.fieldByName(QStringLiteral("SDAU7GRUPPOANA"))->setValue(QStringLiteral("A"));
            });
        }
        if (dau.ds.isEmpty()) {
            m_report.addLine(QStringLiteral("-  Senza i dati anagrafici del lavoratore autonomo le somme erogate non sono state importate"));
            return;
        }
        PersonTable &dse = t(kDse);
        for (int rec : payments) {
            src.ds.setRecNo(rec);
            dse.editOrAppend({{QStringLiteral("SCAUCODICE"), text(src.ds, QStringLiteral("SCUDCAUSALE")).toUpper()},
                              {QStringLiteral("SDSE7ANNO"), text(src.ds, QStringLiteral("SCUDANNO"))}});
            section(QStringLiteral("CUD_AutSommeEro"), src.ds, dse);
        }
    }

    // A person whose certification brought nothing but personal data is
    // not an employee of the return.
    void removeIfEmpty()
    {
        PersonTable &dip = t(kDip);
        if (dip.ds.isEmpty())
            return;
        for (const QString &name : kEmployeeTables)
            if (!t(name).ds.isEmpty())
                return;
        dip.ds.first();
        if (m_personal.size() != dip.ds.fieldCount()) {
            m_personal.clear();
            for (int i = 0; i < dip.ds.fieldCount(); ++i)
                m_personal << personalColumns().contains(dip.ds.field(i)->name().toUpper());
        }
        for (int i = 0; i < dip.ds.fieldCount(); ++i) {
            if (!m_personal.at(i) && !isBlank(*dip.ds.field(i)))
                return;
        }
        dip.clear();
    }

    // The surtaxes withheld go into the ceased-employment boxes before the
    // person's save, on the record the completion step after all persons
    // would find: that step then has nothing to change, and passes the
    // person by. A failure is left to that step, which reports it.
    void carryTaxesOf(const QString &cf)
    {
        m_carried.remove(cf);
        ClientDataSet &ds = t(kDip).ds;
        for (ds.first(); !ds.eof(); ds.next()) {
            if (text(ds, QStringLiteral("SDIP7CODFIS")) != cf)
                continue;
            try {
                carryAdditionalTaxes(ds);
                m_carried.insert(cf);
            } catch (const std::exception &) {
                if (ds.isEditing())
                    ds.cancel();
            }
            return;
        }
    }

    void savePerson()
    {
        PersonTable &dip = t(kDip);
        dip.save(m_store);
        dip.ds.first();
        const qint64 afi = dip.ds.isEmpty() ? 0 : dip.ds.fieldByName(QStringLiteral("IAFIID"))->asInteger();
        for (const QString &name : kEmployeeTables) {
            t(name).link(afi);
            t(name).save(m_store);
        }
        PersonTable &dau = t(kDau);
        dau.save(m_store);
        dau.ds.first();
        const qint64 afiAut = dau.ds.isEmpty() ? 0 : dau.ds.fieldByName(QStringLiteral("IAFIID"))->asInteger();
        t(kDse).link(afiAut);
        t(kDse).save(m_store);
    }

    TQxSQLConnection &m_conn;
    ImportReport &m_report;
    const CudImportOptions &m_options;
    TCudImport &m_job;
    TQmrDBCds m_service;
    DbCdsStore m_store;
    TdmZptParams m_params;
    TdmJexImport m_module;
    CodeLists m_codeLists;
    const QString m_rulesPath = importRulesFile();

    ClientDataSet m_cus;
    ClientDataSet m_cud;
    std::map<QString, std::unique_ptr<DetailTable>> m_details;
    QStringList m_order;
    QHash<QString, QVector<int>> m_rowsOf;
    QStringList m_selected;

    ClientDataSet m_soe;
    std::map<QString, std::unique_ptr<PersonTable>> m_tables;

    TImportXML *m_engine = nullptr;
    PayrollCompletion *m_completion = nullptr;
    QString m_codFis, m_surname, m_name;
    QVector<bool> m_personal; // by column of the personal-data table: one of personalColumns()
    QSet<QString> m_carried;  // the persons whose surtaxes carryTaxesOf() carried
    int m_imported = 0;
};

} // namespace

TCudImport::TCudImport(TQxSQLConnection &conn) : m_conn(conn) {}

QList<CudPerson> TCudImport::persons()
{
    CudImportOptions none;
    CudRun run(m_conn, m_report, none, *this);
    run.openSources();
    return run.persons();
}

bool TCudImport::agentMissing()
{
    CudImportOptions none;
    CudRun run(m_conn, m_report, none, *this);
    return run.agentMissing();
}

bool TCudImport::run(const CudImportOptions &options)
{
    m_report.clear();
    m_error.clear();
    m_imported = 0;
    CudRun run(m_conn, m_report, options, *this);
    const bool ok = runPersons(kWords, m_error, [&] {
        // A damaged rules file would fail every section of every person:
        // it stops the run before anything is touched.
        loadImportRules(importRulesFile());
        run.openSources();
        if (const QString refused = run.select(); !refused.isEmpty()) {
            m_error = refused;
            return false;
        }
        run.openDestinations();
        run.importAgentAndExtinct();
        run.importPersons();
        m_imported = run.imported();
        run.complete();
        return true;
    });
    m_imported = run.imported();
    return ok;
}

bool executeImportCud(TCudImport &job, const CudImportOptions &options)
{
    const bool ok = job.run(options);
    return showPersonRunOutcome(ok, job.error(), job.report());
}

} // namespace jex
