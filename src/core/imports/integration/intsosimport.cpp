#include "imports/integration/intsosimport.h"

#include "imports/cud/cudrules.h"
#include "imports/cud/payrollcompletion.h"
#include "imports/exportfolder.h"
#include "imports/persontable.h"
#include "imports/personrun.h"
#include "imports/rules/importrules.h"
#include "imports/rules/importxml.h"

#include "base/errors.h"
#include "base/messages.h"
#include "catalogue/catalogue.h"
#include "database/sqlconnection.h"
#include "dataset/dataset.h"
#include "sections/sectionstore.h"

#include <QDir>
#include <QSet>

#include <map>

namespace jex {

namespace {

const QString kSos = QStringLiteral("TSOS_DATOSOSTITUTO");
const QString kSoe = QStringLiteral("TSOE7_SOSESTINTO");
const QString kDip = QStringLiteral("TDIP7_ANAGRFISCALI");
const QString kCon = QStringLiteral("TCON7_DATICONGUAG");
const QString kRar = QStringLiteral("TRAR7_REDASSTIRTIT");
const QString kSls = QStringLiteral("TSLS7_SOMEROLAVSTRA");
const QString kTas = QStringLiteral("TTAS7_TASSAZIONESE");
const QString kTfr = QStringLiteral("TTFR7_TFR");
const QString kInps = QStringLiteral("TINPS7_INPS");
const QString kInpdap = QStringLiteral("TINP7_INPDAP");
const QString kCfc = QStringLiteral("TCFC7_CONFAMCARICO");
const QString kAnn = QStringLiteral("TANN7_ANNOTAZIONI");
const QString kDau = QStringLiteral("TDAU7_DATIAUTONOM");
const QString kDse = QStringLiteral("TDSE7_SOMMEEROGATE");

const PersonRunWords kWords{QStringLiteral("Integrazione da sostituto estinto"),
                            QStringLiteral("Integrazione interrotta"), QStringLiteral("integrate")};
const QString kSameAgent = QStringLiteral("Codice fiscale del sostituto estinto non impostato o coincidente con l'attuale");

QString text(const ClientDataSet &ds, const QString &column)
{
    const Field *f = ds.findField(column);
    return f ? f->asString() : QString();
}

bool ownedByService(const QString &column)
{
    return column.compare(u"IFISRIGO", Qt::CaseInsensitive) == 0 || column.compare(u"IAFIID", Qt::CaseInsensitive) == 0;
}

// Copies the source's current record onto the destination's, column by
// column of the same name; the record number and the registry link stay the
// service's. The destination must be in insert or edit state.
void copyRecord(const ClientDataSet &source, ClientDataSet &destination, const QSet<QString> &only = {})
{
    for (int i = 0; i < destination.fieldCount(); ++i) {
        Field *to = destination.field(i);
        const QString name = to->name().toUpper();
        if (ownedByService(name) || (!only.isEmpty() && !only.contains(name)))
            continue;
        if (const Field *from = source.findField(name))
            to->setValue(from->value());
    }
}

// The columns of the employee record that hold the tax assistance (730):
// those of the catalogue groups "Assistenza ...".
const QSet<QString> &assistanceColumns()
{
    static const QSet<QString> columns = [] {
        QSet<QString> out;
        if (const CatalogueTable *t = TableCatalogue::instance().table(kDip))
            for (const CatalogueColumn &c : t->columns)
                if (c.group.startsWith(u"Assistenza"))
                    out.insert(c.name.toUpper());
        return out;
    }();
    return columns;
}

} // namespace

struct TIntSosImport::Run
{
    Run(TIntSosImport &job) : job(job), report(job.m_report), folder(job.m_dir) { engine.setDestinationNames(true); }

    TIntSosImport &job;
    ImportReport &report;
    ExportFolder folder;
    TImportXML engine;
    const QString rulesPath = importRulesFile();
    std::map<QString, std::unique_ptr<PersonTable>> current, extinct;
    ClientDataSet soe;
    QString codFis, surname, name;

    PersonTable &cur(const QString &t) { return *current.at(t); }
    PersonTable &ext(const QString &t) { return *extinct.at(t); }

    QString keyColumn(const QString &table) const
    {
        return table == kDau || table == kDse ? QStringLiteral("SDAU7CODFIS") : QStringLiteral("SDIP7CODFIS");
    }

    void openTables()
    {
        const QStringList tables = job.tables();
        folder.requireTables(tables);
        for (const QString &t : tables) {
            auto e = std::make_unique<PersonTable>();
            e->name = t;
            e->keyColumn = keyColumn(t);
            ClientDataSet all;
            folder.open(t, all, {e->keyColumn});
            e->fill(all);
            extinct[t] = std::move(e);
        }
        for (const QString &t : tables) {
            auto c = std::make_unique<PersonTable>();
            c->name = t;
            c->keyColumn = keyColumn(t);
            c->open(job.m_store);
            current[t] = std::move(c);
        }
        if (job.m_variant == IntSosVariant::SelfEmployed)
            job.m_store.openCds(kSoe, soe);
    }

    void line(const QString &l) { report.addLine(l); }

    // Runs a rule section on the destination's record in insert or edit
    // state; posts it on success, cancels it otherwise.
    bool section(const QString &sectionName, ClientDataSet &source, PersonTable &dest,
                 const std::function<void()> &after = {})
    {
        if (!engine.Execute(sectionName, rulesPath, source, dest.ds)) {
            dest.ds.cancel();
            line(QStringLiteral("-  Sezione %1 non integrata nella tabella %2").arg(sectionName, dest.name));
            return false;
        }
        if (Field *k = dest.ds.findField(dest.keyColumn); k && k->asString().trimmed().isEmpty())
            k->setValue(codFis);
        if (after)
            after();
        if (dest.ds.isEditing())
            dest.ds.post();
        return true;
    }

    // The person's one record of a table: edited, or added when absent.
    void single(const QString &table, const QString &sectionName)
    {
        PersonTable &from = ext(table);
        if (from.ds.isEmpty())
            return;
        from.ds.first();
        PersonTable &dest = cur(table);
        dest.editOrAppend({});
        section(sectionName, from.ds, dest);
    }

    // Every extinct record of the person into the current record with the
    // same key, or a new one with that key.
    void keyed(const QString &table, const QString &sectionName, const QStringList &key,
               const std::function<void(ClientDataSet &)> &onNew = {})
    {
        PersonTable &from = ext(table);
        PersonTable &dest = cur(table);
        for (int rec = 1; rec <= from.ds.recordCount(); ++rec) {
            from.ds.setRecNo(rec);
            QList<QPair<QString, QString>> values;
            for (const QString &k : key)
                values.append({k, text(from.ds, k)});
            if (dest.editOrAppend(values)) {
                for (const QString &k : key)
                    dest.ds.fieldByName(k)->setValue(from.ds.fieldByName(k)->value());
                if (onNew)
                    onNew(dest.ds);
            }
            section(sectionName, from.ds, dest);
        }
    }

    void copyAll(const QString &table)
    {
        PersonTable &from = ext(table);
        PersonTable &dest = cur(table);
        for (from.ds.first(); !from.ds.eof(); from.ds.next()) {
            dest.ds.append();
            copyRecord(from.ds, dest.ds);
            dest.ds.post();
        }
    }

    void load(const QString &cf)
    {
        for (auto &[n, t] : extinct)
            t->load(cf);
        for (auto &[n, t] : current)
            t->load(cf);
    }

    void employee()
    {
        PersonTable &dip = cur(kDip);
        ClientDataSet &x = ext(kDip).ds;
        x.first();
        const bool isNew = dip.ds.isEmpty();
        // 1 personal data
        if (isNew) {
            dip.ds.append();
            if (!section(QStringLiteral("CUD_Ana"), x, dip, [&dip] {
                    dip.ds.fieldByName(QStringLiteral("IFISRIGO"))->clear();
                    dip.ds.fieldByName(QStringLiteral("IAFIID"))->clear();
                })) {
                line(QStringLiteral("-  Senza i dati anagrafici le altre tabelle del dipendente non sono state integrate"));
                return;
            }
            line(QStringLiteral("Dipendente aggiunto"));
        } else {
            line(QStringLiteral("Dati dipendenti integrati"));
        }
        // 2 fiscal data, then the additional taxes of ceased employments
        dip.ds.first();
        const QStringList ceased = {QStringLiteral("FFIS7ADDREGRPCESS"), QStringLiteral("FFIS7ADDCOMRPCESS")};
        QList<qint64> before;
        for (const QString &c : ceased)
            before << dip.ds.fieldByName(c)->asMoney();
        dip.ds.edit();
        section(QStringLiteral("CUD_Fis"), x, dip, [&] {
            for (int i = 0; i < ceased.size(); ++i) {
                const Field *from = x.findField(ceased[i]);
                const qint64 added = from ? from->asMoney() : 0;
                dip.ds.fieldByName(ceased[i])->setAsMoney(added > 0 ? before[i] + added : before[i]);
            }
        });
        // 3 tax assistance months
        dip.ds.first();
        const QString irpef = QStringLiteral("SMESCODICEIRPEF"), sr = QStringLiteral("SMESCODICESR");
        auto has = [](const ClientDataSet &ds, const QString &c) { return !text(ds, c).trimmed().isEmpty(); };
        if (!has(dip.ds, irpef) && !has(dip.ds, sr) && (has(x, irpef) || has(x, sr))) {
            dip.ds.edit();
            copyRecord(x, dip.ds, assistanceColumns());
            dip.ds.post();
        }
        // 4 adjustment
        if (!ext(kCon).ds.isEmpty()) {
            if (cur(kCon).ds.isEmpty()) {
                ext(kCon).ds.first();
                PersonTable &con = cur(kCon);
                con.ds.append();
                copyRecord(ext(kCon).ds, con.ds);
                con.ds.post();
            } else {
                line(QStringLiteral("*** I dati del conguaglio devono essere integrati manualmente"));
            }
        }
        // 5-9 income, foreign work, separate taxation, severance, INPS, INPDAP
        single(kRar, QStringLiteral("CUD_ReddImp"));
        single(kSls, QStringLiteral("CUD_SommEroLavStra"));
        keyed(kTas, QStringLiteral("CUD_Tass"), {QStringLiteral("STAS7PERIODOIMP")});
        single(kTfr, QStringLiteral("CUD_Tfr"));
        keyed(kInps, QStringLiteral("CUD_Inps"), {QStringLiteral("SINPS7MATRAZIENDA")},
              [](ClientDataSet &ds) { SetInpsDefaults(ds); });
        keyed(kInpdap, QStringLiteral("CUD_Inpdap"),
              {QStringLiteral("IINPDAP7ANNORIF"), QStringLiteral("SINPDAP7CODFISAMMNE")});
        // 10 dependants
        if (!cur(kCfc).ds.isEmpty()) {
            if (!ext(kCfc).ds.isEmpty())
                line(QStringLiteral("*** I dati dei familiari a carico devono essere integrati manualmente"));
        } else {
            copyAll(kCfc);
        }
        // 11 notes
        notes();
        // 12 the cap on deductions of a person who was already there
        if (!isNew) {
            dip.ds.first();
            CheckDeductions(dip.ds);
            if (dip.ds.isEditing())
                dip.ds.post();
        }
    }

    void notes()
    {
        ClientDataSet &x = ext(kAnn).ds;
        if (x.isEmpty())
            return;
        x.first();
        PersonTable &dest = cur(kAnn);
        int slot = 1;
        if (dest.editOrAppend({}))
            dest.ds.fieldByName(QStringLiteral("SDIP7CODFIS"))->setValue(codFis);
        else
            slot = FirstFreeNoteSlot(dest.ds);
        QStringList surplus;
        for (int from = 1; from <= kNoteSlots; ++from) {
            const Field *f = x.findField(noteSlotName(from));
            if (!f)
                break;
            const QString code = f->asString().trimmed();
            if (code.isEmpty())
                continue;
            Field *to = slot <= kNoteSlots ? dest.ds.findField(noteSlotName(slot)) : nullptr;
            if (!to) {
                surplus << code;
                continue;
            }
            to->setValue(code);
            ++slot;
        }
        dest.ds.post();
        // What does not fit is said, not dropped silently.
        if (!surplus.isEmpty())
            line(QStringLiteral("-  Annotazioni non riportate, tutte le caselle della tabella %1 sono occupate: %2")
                     .arg(kAnn, surplus.join(QStringLiteral(", "))));
    }

    // True when the person was added.
    bool selfEmployed()
    {
        PersonTable &dau = cur(kDau);
        const QString code = job.m_extinctCode;
        for (dau.ds.first(); !dau.ds.eof(); dau.ds.next())
            if (text(dau.ds, QStringLiteral("SSOE7CODICE")).trimmed() == code) {
                line(QStringLiteral("Dati autonomo già importato per sostituto estinto"));
                return false;
            }
        // The extinct agent among the extinct agents of the return.
        bool known = false;
        for (soe.first(); !soe.eof() && !known; soe.next())
            known = text(soe, QStringLiteral("CODICE")).trimmed() == code;
        if (!known) {
            soe.append();
            soe.fieldByName(QStringLiteral("CODICE"))->setValue(code);
            if (Field *f = soe.findField(QStringLiteral("DENOMINAZI0NE")))
                f->setValue(job.m_extinctName);
            soe.post();
            job.m_store.saveCds(kSoe, soe);
        }
        ClientDataSet &x = ext(kDau).ds;
        x.first();
        dau.ds.append();
        copyRecord(x, dau.ds);
        dau.ds.fieldByName(QStringLiteral("SDAU7GRUPPOANA"))->setValue(QStringLiteral("A"));
        dau.ds.fieldByName(QStringLiteral("SSOE7CODICE"))->setValue(code);
        dau.ds.post();
        copyAll(kDse);
        line(QStringLiteral("Autonomo aggiunto"));
        return true;
    }

    void save()
    {
        if (job.m_variant == IntSosVariant::Employees) {
            PersonTable &dip = cur(kDip);
            dip.save(job.m_store);
            dip.ds.first();
            const qint64 afi = dip.ds.isEmpty() ? 0 : dip.ds.fieldByName(QStringLiteral("IAFIID"))->asInteger();
            for (const QString &t : job.tables())
                if (t != kDip) {
                    cur(t).link(afi);
                    cur(t).save(job.m_store);
                }
            return;
        }
        PersonTable &dau = cur(kDau);
        dau.save(job.m_store);
        qint64 afi = 0;
        for (dau.ds.first(); !dau.ds.eof(); dau.ds.next())
            if (text(dau.ds, QStringLiteral("SSOE7CODICE")).trimmed() == job.m_extinctCode)
                afi = dau.ds.fieldByName(QStringLiteral("IAFIID"))->asInteger();
        cur(kDse).link(afi);
        cur(kDse).save(job.m_store);
    }

    void person(const QString &cf)
    {
        ClientDataSet &x = ext(job.registryTable()).ds;
        load(cf);
        x.first();
        codFis = text(x, job.codFisColumn()).trimmed();
        surname = text(x, job.surnameColumn());
        name = text(x, job.nameColumn());
        if (job.onPerson)
            job.onPerson(surname + u' ' + name);
        messages().progress(kWords.progress + QStringLiteral(": ") + surname + u' ' + name);

        const int start = report.size();
        bool added = true;
        inPersonTransaction(job.m_conn, kWords, surname, name, cf, [&] {
            if (job.m_variant == IntSosVariant::Employees)
                employee();
            else
                added = selfEmployed();
            save();
        });
        closePersonLines(report, start, surname, name);
        if (added)
            ++job.m_integrated;
    }
};

TIntSosImport::TIntSosImport(TQxSQLConnection &conn, SectionStore &store, IntSosVariant variant, const QString &dir)
    : m_conn(conn), m_store(store), m_variant(variant), m_dir(QDir::fromNativeSeparators(dir))
{
}

TIntSosImport::~TIntSosImport() = default;

QString TIntSosImport::registryTable() const { return m_variant == IntSosVariant::Employees ? kDip : kDau; }
QString TIntSosImport::codFisColumn() const
{
    return m_variant == IntSosVariant::Employees ? QStringLiteral("SDIP7CODFIS") : QStringLiteral("SDAU7CODFIS");
}
QString TIntSosImport::surnameColumn() const
{
    return m_variant == IntSosVariant::Employees ? QStringLiteral("SDIP7COGNOME") : QStringLiteral("SDAU7COGNOME");
}
QString TIntSosImport::nameColumn() const
{
    return m_variant == IntSosVariant::Employees ? QStringLiteral("SDIP7NOME") : QStringLiteral("SDAU7NOME");
}

QStringList TIntSosImport::tables() const
{
    if (m_variant == IntSosVariant::Employees)
        return {kDip, kCon, kRar, kSls, kTas, kTfr, kInps, kInpdap, kCfc, kAnn};
    return {kDau, kDse};
}

bool TIntSosImport::open()
{
    m_error.clear();
    m_persons.clear();
    m_opened = false;
    try {
        const ExportFolder folder(m_dir);
        folder.requireTables({kSos, registryTable()});
        ClientDataSet sos, extinctSos;
        m_store.openCds(kSos, sos);
        folder.open(kSos, extinctSos, {QStringLiteral("SSOSCODFIS")});
        sos.first();
        extinctSos.first();
        m_extinctCode = text(extinctSos, QStringLiteral("SSOSCODFIS")).trimmed().toUpper();
        m_extinctName = text(extinctSos, QStringLiteral("SSOSDENOM")).trimmed();
        const QString own = text(sos, QStringLiteral("SSOSCODFIS")).trimmed().toUpper();
        // Integrating an agent into itself would count every recipient twice.
        if ((m_variant == IntSosVariant::SelfEmployed && m_extinctCode.isEmpty())
            || (!m_extinctCode.isEmpty() && m_extinctCode == own)) {
            m_error = kSameAgent;
            return false;
        }
        ClientDataSet registry;
        folder.open(registryTable(), registry, {codFisColumn(), surnameColumn(), nameColumn()});
        QSet<QString> seen;
        for (registry.first(); !registry.eof(); registry.next()) {
            const QString cf = text(registry, codFisColumn()).trimmed();
            if (cf.isEmpty() || seen.contains(personKey(cf)))
                continue;
            seen.insert(personKey(cf));
            m_persons.append({cf, text(registry, surnameColumn()), text(registry, nameColumn())});
        }
    } catch (const std::exception &e) {
        m_error = errorText(e);
        return false;
    }
    m_opened = true;
    return true;
}

bool TIntSosImport::run(const QStringList &codFis)
{
    m_report.clear();
    m_integrated = 0;
    if (!m_opened && !open())
        return false;
    m_error.clear();
    // The persons chosen, in the order of the extinct registry.
    QStringList selected;
    {
        QSet<QString> known, wanted;
        for (const IntSosPerson &p : std::as_const(m_persons))
            known.insert(personKey(p.codFis));
        QStringList unknown;
        for (const QString &cf : codFis) {
            if (!known.contains(personKey(cf)))
                unknown << cf.trimmed();
            wanted.insert(personKey(cf));
        }
        if (!unknown.isEmpty()) {
            m_error = QStringLiteral("%1 non %2 nella tabella %3 del sostituto estinto: nessun dato è stato modificato.")
                          .arg(unknown.size() == 1 ? QStringLiteral("Il codice fiscale %1").arg(unknown.first())
                                                   : QStringLiteral("I codici fiscali %1").arg(unknown.join(QStringLiteral(", "))),
                               unknown.size() == 1 ? QStringLiteral("è presente") : QStringLiteral("sono presenti"),
                               registryTable());
            return false;
        }
        for (const IntSosPerson &p : std::as_const(m_persons))
            if (codFis.isEmpty() || wanted.contains(personKey(p.codFis)))
                selected << personKey(p.codFis);
    }
    Run run(*this);
    return runPersons(kWords, m_error, [&] {
        // A damaged rules file would fail every section of every person.
        loadImportRules(importRulesFile());
        run.openTables();
        forEachPerson(kWords, selected, [&run](const QString &cf) { run.person(cf); });
        return true;
    });
}

bool executeIntSos(TIntSosImport &job, const QStringList &codFis)
{
    const bool ok = job.run(codFis);
    return showPersonRunOutcome(ok, job.error(), job.report());
}

} // namespace jex
