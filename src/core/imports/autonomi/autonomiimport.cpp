// Import of the self-employed payees from the payroll archive.

#include "imports/autonomi/autonomiimport.h"

#include "base/errors.h"
#include "base/messages.h"
#include "base/money.h"
#include "database/namedsql.h"
#include "database/params.h"
#include "database/sqlconnection.h"
#include "dataset/datasetutil.h"
#include "sections/sectionstore.h"

#include <QHash>
#include <QRegularExpression>
#include <QSqlQuery>

namespace jex {

namespace {

const QString kDau = QStringLiteral("TDAU7_DATIAUTONOM");
const QString kDse = QStringLiteral("TDSE7_SOMMEEROGATE");
const QString kNl = QStringLiteral("\r\n");

QVariantMap listParams(AutonomiVariant variant, const AutonomiYear &year)
{
    QVariantMap p{{QStringLiteral("IANFID"), year.anfId}, {QStringLiteral("IDWGID"), year.dwgId}};
    if (variant == AutonomiVariant::Full) {
        p.insert(QStringLiteral("RICE_COD_IRPEF_AM"), autonomi::kRiceCodIrpefAm);
        p.insert(QStringLiteral("RICE_COD_IRPEF_TS"), autonomi::kRiceCodIrpefTs);
        p.insert(QStringLiteral("TNO_ESTRANEI"), autonomi::kTnoEstranei);
        p.insert(QStringLiteral("TNO_LIB_PROF"), autonomi::kTnoLibProf);
        p.insert(QStringLiteral("TNO_AUTO_OCC"), autonomi::kTnoAutoOcc);
    }
    return p;
}

QSqlQuery runStatement(TQxSQLConnection &conn, const QString &name, const QVariantMap &params,
                       const QList<qint64> *ids = nullptr)
{
    NamedQuery q;
    TQmrQueryText::instance().SetQuerySQL(name, q);
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        q.setParam(it.key(), it.value());
    if (ids)
        bindIdList(q, QStringLiteral("IREGSID_LIST"), *ids);
    return runNamed(conn, q);
}

bool isNumber(const QString &s)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    return digits.match(s).hasMatch();
}

void setText(ClientDataSet &ds, const char *field, const QString &value)
{
    ds.fieldByName(QString::fromLatin1(field))->setAsString(value.trimmed());
}

QString text(const QSqlRecord &r, const char *column)
{
    const int i = r.indexOf(QString::fromLatin1(column));
    return i < 0 || r.isNull(i) ? QString() : r.value(i).toString().trimmed();
}

// A sum of money; zero stays null.
void setMoney(ClientDataSet &ds, const char *field, qint64 amount)
{
    Field *f = ds.fieldByName(QString::fromLatin1(field));
    if (amount == 0)
        f->clear();
    else
        f->setAsMoney(amount);
}

struct CodeAmounts
{
    qint64 imp = 0, ritDip = 0, ritAmm = 0;
};

qint64 money(const QSqlQuery &q, const char *column)
{
    const QVariant v = q.value(QString::fromLatin1(column));
    return v.isNull() ? 0 : TQmrCalcola::fromDouble(v.toDouble());
}

} // namespace

// ---------------------------------------------------------------- list

QList<AutonomiPayee> loadAutonomiPayees(TQxSQLConnection &conn, AutonomiVariant variant, const AutonomiYear &year)
{
    const QString name = variant == AutonomiVariant::Full ? QStringLiteral("QRY_JEX_AUTON_IMP")
                                                          : QStringLiteral("QRY_JEX_AUTON_IMP_ONLY_ANA");
    QSqlQuery q = runStatement(conn, name, listParams(variant, year));
    QList<AutonomiPayee> out;
    while (q.next()) {
        AutonomiPayee p;
        p.acomId = q.value(QStringLiteral("IACOMID")).toLongLong();
        p.anaId = q.value(QStringLiteral("IANAID")).toLongLong();
        p.codice = q.value(QStringLiteral("CODICE"));
        p.cognome = q.value(QStringLiteral("SANACOGNOME")).toString().trimmed();
        p.nome = q.value(QStringLiteral("SANANOME")).toString().trimmed();
        p.cognomeNome = q.value(QStringLiteral("SANACOGNOMENOME")).toString().trimmed();
        p.cat = q.value(QStringLiteral("ICALQUXORCODE"));
        p.tno = q.value(QStringLiteral("ITNOQUXORCODE"));
        p.qar = q.value(QStringLiteral("IQARQUXORCODE"));
        p.stabId = q.value(QStringLiteral("ISTABID")).toInt();
        out.append(p);
    }
    return out;
}

QList<FilterEntry> loadFilterEntries(TQxSQLConnection &conn, const QString &statement)
{
    QList<FilterEntry> out{{QVariant(), QStringLiteral("(Tutte)")}};
    QSqlQuery q = runStatement(conn, statement, {});
    while (q.next()) {
        const QString code = q.value(QStringLiteral("CODICE")).toString().trimmed();
        const QString descr = q.value(QStringLiteral("DESCRIZIONE")).toString().trimmed();
        out.append({q.value(QStringLiteral("ID")), code.isEmpty() ? descr : code + QStringLiteral(" - ") + descr});
    }
    return out;
}

QString AutonomiFilter::text() const
{
    QString conditions;
    auto add = [&](const char *column, const QVariant &id) {
        if (id.isValid() && !id.isNull())
            TQmrDataSet::AddCondition(conditions, QString::fromLatin1(column) + u'=' + id.toString());
    };
    add("ICALQUXORCODE", cat);
    add("ITNOQUXORCODE", tno);
    add("IQARQUXORCODE", qar);
    if (inServizio)
        TQmrDataSet::AddCondition(conditions, QStringLiteral("ISTABID=1"));
    return conditions;
}

bool AutonomiFilter::accepts(const AutonomiPayee &p) const
{
    auto same = [](const QVariant &chosen, const QVariant &value) {
        return !chosen.isValid() || chosen.isNull() || (!value.isNull() && chosen.toLongLong() == value.toLongLong());
    };
    return same(cat, p.cat) && same(tno, p.tno) && same(qar, p.qar) && (!inServizio || p.stabId == 1);
}

void bindIdList(NamedQuery &query, const QString &name, const QList<qint64> &ids)
{
    QStringList names;
    for (int i = 0; i < ids.size(); ++i) {
        const QString n = QStringLiteral("%1_%2").arg(name).arg(i);
        names << u':' + n;
        query.setParam(n, ids[i]);
    }
    // No registration matches no row: "IN (NULL)" is false for every id.
    const QString list = names.isEmpty() ? QStringLiteral("NULL") : names.join(QStringLiteral(", "));
    query.sql.replace(QRegularExpression(QStringLiteral(":%1\\b").arg(QRegularExpression::escape(name)),
                                         QRegularExpression::CaseInsensitiveOption),
                      list);
}

QString AutonomiResult::report() const
{
    QString out = QStringLiteral("IMPORTAZIONE DATI AUTONOMI") + kNl;
    for (const QString &l : lines)
        out += QStringLiteral(" - ") + l + kNl;
    out += QStringLiteral("Importati: %1; non modificati: %2; con errori: %3").arg(imported).arg(unchanged).arg(failed)
           + kNl;
    return out;
}

// ---------------------------------------------------------------- import

TAutonomiImport::TAutonomiImport(TQxSQLConnection &conn, SectionStore &store, AutonomiVariant variant,
                                 OverwritePolicy policy)
    : m_conn(conn), m_store(store), m_variant(variant), m_policy(policy)
{
}

QSqlQuery TAutonomiImport::run(const QString &name, const QVariantMap &params, const QList<qint64> *regs)
{
    return runStatement(m_conn, name, params, regs);
}

void TAutonomiImport::openSections()
{
    if (m_open)
        return;
    m_store.openCds(kDau, m_dau);
    if (m_variant == AutonomiVariant::Full)
        m_store.openCds(kDse, m_dse);
    m_open = true;
}

AutonomiResult TAutonomiImport::run(const QList<AutonomiPayee> &payees)
{
    AutonomiResult result;
    const QString phase = QStringLiteral("Importazione dati autonomi");
    messages().progress(phase, 0, int(payees.size()));
    int done = 0;
    for (const AutonomiPayee &p : payees) {
        if (onPerson)
            onPerson(p);
        const QString who = p.cognomeNome.isEmpty() ? p.cognome + u' ' + p.nome : p.cognomeNome;
        TQxTransaction tr(m_conn);
        if (!tr.StartTransaction()) {
            // Someone else's transaction is open on the connection: what the
            // person needs cannot be kept apart from it.
            ++result.failed;
            result.lines << QStringLiteral("%1: non importato, transazione già in corso").arg(who);
        } else {
            try {
                const Outcome o = importPerson(p);
                tr.Commit();
                if (o == Outcome::Imported) {
                    ++result.imported;
                    result.lines << QStringLiteral("%1: importato").arg(who);
                } else {
                    ++result.unchanged;
                    result.lines << QStringLiteral("%1: non modificato").arg(who);
                }
            } catch (const std::exception &e) {
                tr.Rollback();
                // The datasets hold what was just rolled back: read them again.
                if (m_dau.isEditing())
                    m_dau.cancel();
                if (m_dse.isEditing())
                    m_dse.cancel();
                m_open = false;
                ++result.failed;
                result.lines << QStringLiteral("%1: non importato per errore").arg(who);
                if (!dynamic_cast<const EAbort *>(&e)) {
                    messages().messageDlg(QStringLiteral("Controllare i dati del dipendente:") + p.cognome + u' ' + p.nome
                                              + kNl + kNl + errorText(e)
                                              + TQmrQueryText::instance().LastOperationInfo(e),
                                          DlgType::Error, Buttons::Ok, TQmrQueryText::instance().applicationTitle);
                }
            }
        }
        messages().progress(phase, ++done, int(payees.size()));
    }
    messages().warning(QStringLiteral("Fine operazione"));
    return result;
}

TAutonomiImport::Outcome TAutonomiImport::importPerson(const AutonomiPayee &p)
{
    QSqlQuery personQuery = run(QStringLiteral("QRY_CED_ACOM"), {{QStringLiteral("IACOMID"), p.acomId}});
    if (!personQuery.next())
        throw EQxError(QStringLiteral("Posizione %1 non trovata nell'archivio dei compensi").arg(p.acomId));
    const QSqlRecord person = personQuery.record();
    personQuery.finish();
    QSqlQuery addressQuery = run(QStringLiteral("QRY_ANAABT"), {{QStringLiteral("IANAID"), p.anaId},
                                                                {QStringLiteral("ILOCID"), 2}});
    const QSqlRecord address = addressQuery.next() ? addressQuery.record() : QSqlRecord();
    addressQuery.finish();

    openSections();
    const QString codFis = text(person, "SANACODFISCALE").toUpper();
    if (codFis.isEmpty()) {
        messages().error(QStringLiteral("ATTENZIONE!!! Dipendente senza codice fiscale : ") + p.cognome + u' ' + p.nome);
        return Outcome::Unchanged;
    }

    bool replaceInPlace = false;
    if (m_dau.locate(QStringLiteral("SDAU7CODFIS"), QVariantList{codFis})) {
        if (m_policy == OverwritePolicy::Never)
            return Outcome::Unchanged;
        if (m_policy == OverwritePolicy::Ask
            && !messages().confirm(p.cognome + u' ' + p.nome + QStringLiteral("  :  ")
                                   + QStringLiteral("Dipendente già presente in archivio, si vogliono sostituire i dati?")))
            return Outcome::Unchanged;
        if (m_variant == AutonomiVariant::OnlyRegistry) {
            // The sums paid stay, and with them the registry link they hold:
            // the record is rewritten in place rather than deleted.
            replaceInPlace = true;
        } else {
            m_dau.remove();
            m_store.saveCds(kDau, m_dau);
        }
        if (m_variant == AutonomiVariant::Full) {
            bool removed = false;
            m_dse.first();
            while (!m_dse.eof()) {
                if (m_dse.fieldByName(QStringLiteral("SDAU7CODFIS"))->asString().trimmed().toUpper() == codFis) {
                    m_dse.remove();
                    removed = true;
                } else {
                    m_dse.next();
                }
            }
            if (removed)
                m_store.saveCds(kDse, m_dse);
        }
    }

    // The registrations are read before anything is written, so that a
    // person without payments stops here.
    QList<QPair<qint64, QString>> regs;
    if (m_variant == AutonomiVariant::Full) {
        QSqlQuery q = run(QStringLiteral("QRY_JEX_AUTON_REGSID"),
                          {{QStringLiteral("IACOMID"), p.acomId},
                           {QStringLiteral("TNO_ESTRANEI"), autonomi::kTnoEstranei},
                           {QStringLiteral("TNO_LIB_PROF"), autonomi::kTnoLibProf},
                           {QStringLiteral("TNO_AUTO_OCC"), autonomi::kTnoAutoOcc},
                           {QStringLiteral("RICE_COD_IRPEF_AM"), autonomi::kRiceCodIrpefAm},
                           {QStringLiteral("RICE_COD_IRPEF_TS"), autonomi::kRiceCodIrpefTs}});
        while (q.next())
            regs.append({q.value(QStringLiteral("IREGSID")).toLongLong(),
                         q.value(QStringLiteral("CAUSALE")).toString().trimmed()});
        q.finish();
        if (regs.isEmpty())
            throw EQxError(QStringLiteral("Nessun dato da importare."));
    }

    insertRegistry(p, codFis, person, address, replaceInPlace);

    if (m_variant == AutonomiVariant::Full) {
        for (const QString &causale : {QStringLiteral("A"), QStringLiteral("M"), QStringLiteral("P")}) {
            QList<qint64> ids;
            for (const auto &r : std::as_const(regs))
                if (r.second.compare(causale, Qt::CaseInsensitive) == 0)
                    ids.append(r.first);
            if (!ids.isEmpty())
                insertPayment(codFis, causale, ids);
        }
    }
    return Outcome::Imported;
}

void TAutonomiImport::insertRegistry(const AutonomiPayee &p, const QString &codFis, const QSqlRecord &person,
                                     const QSqlRecord &address, bool inPlace)
{
    if (inPlace) {
        m_dau.edit();
        for (int i = 0; i < m_dau.fieldCount(); ++i) {
            Field *f = m_dau.field(i);
            if (f->name().compare(u"iAfiID", Qt::CaseInsensitive) != 0
                && f->name().compare(u"iFisRigo", Qt::CaseInsensitive) != 0)
                f->clear();
        }
    } else {
        m_dau.append();
    }
    setText(m_dau, "SDAU7GRUPPOANA", QStringLiteral("A"));
    setText(m_dau, "SDAU7CODFIS", codFis);
    setText(m_dau, "SDAU7COGNOME", p.cognome);
    m_dau.fieldByName(QStringLiteral("LDAU7EREDE"))->setValue(0);
    // A company's code is its number: no name, sex or birth.
    if (!isNumber(codFis)) {
        setText(m_dau, "SDAU7NOME", p.nome);
        QSqlQuery sex = run(QStringLiteral("QRY_ANASEX"), {{QStringLiteral("IANAID"), p.anaId}});
        const QString s = sex.next() ? sex.value(0).toString().trimmed().toUpper().left(1) : QString();
        sex.finish();
        setText(m_dau, "SDAU7SEX", s == QLatin1String("F") || s == QLatin1String("M") ? s : QString());
        const QVariant birth = person.value(QStringLiteral("DANANASCITA"));
        if (!birth.isNull())
            m_dau.fieldByName(QStringLiteral("DDAU7DATANAS"))->setAsDate(birth.toDate());
        const QString comune = text(person, "COM_NAS_SCOMDESC");
        setText(m_dau, "SDAU7COMNAS", comune.isEmpty() ? text(person, "STA_NAS_SSTADESC") : comune);
        setText(m_dau, "SDAU7PROVNAS", text(person, "PRO_NAS_SPROSIGLA"));
    }
    if (!address.isEmpty()) {
        if (text(address, "SPROSIGLA").toUpper() != QLatin1String("EE")) {
            setText(m_dau, "SDAU7COMUNE", text(address, "SCOMDESC"));
            setText(m_dau, "SDAU7PROVINCIA", text(address, "SPROSIGLA"));
            setText(m_dau, "SDAU7INDIRIZZZO", text(address, "SABTINDIRIZZO"));
        } else {
            setText(m_dau, "SDAU7CODFISESTERO", codFis);
            setText(m_dau, "SDAU7RESESTERA", text(address, "SCOMDESC"));
            setText(m_dau, "SDAU7INDIRIESTERO", text(address, "SABTINDIRIZZO"));
        }
    }
    m_dau.post();
    m_store.saveCds(kDau, m_dau);
}

void TAutonomiImport::insertPayment(const QString &codFis, const QString &causale, const QList<qint64> &regs)
{
    // Per income code, the amounts of its first row.
    QHash<int, CodeAmounts> byCode;
    QSqlQuery som = run(QStringLiteral("QRY_JEX_AUTON_SOM"), {}, &regs);
    while (som.next()) {
        const int code = som.value(QStringLiteral("IRICEID")).toInt();
        if (!byCode.contains(code))
            byCode.insert(code, {money(som, "IMP"), money(som, "RIT_DIP"), money(som, "RIT_AMM")});
    }
    som.finish();
    auto sum = [&](std::initializer_list<int> codes, qint64 CodeAmounts::*column) {
        qint64 s = 0;
        for (int c : codes)
            if (byCode.contains(c))
                s += byCode[c].*column;
        return s;
    };

    QSqlQuery nonSogg = run(QStringLiteral("QRY_JEX_AUTON_NON_SOGG"), {}, &regs);
    const qint64 altre = nonSogg.next() ? money(nonSogg, "SOMME_NON_SOGG") : 0;
    nonSogg.finish();
    QSqlQuery rimb = run(QStringLiteral("QRY_JEX_AUTON_SPESE_RIMB"),
                         {{QStringLiteral("ICOMRID"), autonomi::kVoceSpeseRimborsate}}, &regs);
    const qint64 spese = rimb.next() ? money(rimb, "SOMME_RIMBORSATE") : 0;
    rimb.finish();

    m_dse.append();
    setText(m_dse, "SDAU7CODFIS", codFis);
    setText(m_dse, "SCAUCODICE", causale);
    if (Field *afi = m_dse.findField(QStringLiteral("IAFIID"))) {
        const qint64 id = m_dau.fieldByName(QStringLiteral("IAFIID"))->asInteger();
        if (id != 0)
            afi->setValue(id);
    }
    const qint64 imponibile = sum({autonomi::kRiceCodIrpefAm}, &CodeAmounts::imp);
    setMoney(m_dse, "FDSE7IMPONIBILE", imponibile);
    const qint64 ritenuta = sum({11, 8, 9, 10}, &CodeAmounts::ritDip);
    setMoney(m_dse, causale.toUpper() == QLatin1String("P") ? "FDSE7RITTITIMP" : "FDSE7RITTITACC", ritenuta);
    setMoney(m_dse, "FDSE7IMPANNIPREC", sum({autonomi::kRiceCodIrpefTs}, &CodeAmounts::imp));
    setMoney(m_dse, "FDSE7RITANNIPREC", sum({autonomi::kRiceCodIrpefTs}, &CodeAmounts::ritDip));
    setMoney(m_dse, "FDSE7CONTRAMM", sum({3, 13}, &CodeAmounts::ritAmm));
    setMoney(m_dse, "FDSE7CONTRDIP", sum({3, 13}, &CodeAmounts::ritDip));
    setMoney(m_dse, "FDSE7ALTRESOMME", altre);
    setMoney(m_dse, "FDSE7AMMLORDO", imponibile + altre);
    setText(m_dse, "LDSE7ANTICIPAZ", QStringLiteral("0"));
    setMoney(m_dse, "FDSE7SPESERIMB", spese);
    m_dse.post();
    m_store.saveCds(kDse, m_dse);
}

// ---------------------------------------------------------------- the operation

AutonomiResult runImportAutonomi(TQxSQLConnection &conn, SectionStore &store, const ImportAutonomiOptions &options,
                                 const AutonomiYear &year)
{
    const QList<AutonomiPayee> all = loadAutonomiPayees(conn, options.variant, year);
    if (all.isEmpty())
        throw EQmrWarning(QStringLiteral("Nessuna dato da importare!"));
    QList<AutonomiPayee> chosen;
    if (options.persons.isEmpty()) {
        chosen = all;
    } else {
        QStringList missing;
        for (qint64 id : options.persons) {
            auto it = std::find_if(all.cbegin(), all.cend(), [id](const AutonomiPayee &p) { return p.acomId == id; });
            if (it == all.cend())
                missing << QString::number(id);
            else if (std::none_of(chosen.cbegin(), chosen.cend(), [id](const AutonomiPayee &p) { return p.acomId == id; }))
                chosen.append(*it);
        }
        if (!missing.isEmpty())
            throw EQxError(QStringLiteral("Posizioni non presenti nell'elenco dei percipienti da importare: %1")
                               .arg(missing.join(QStringLiteral(", "))));
        // In list order, as the window imports a selection.
        std::stable_sort(chosen.begin(), chosen.end(), [&all](const AutonomiPayee &a, const AutonomiPayee &b) {
            auto pos = [&all](qint64 id) {
                return std::find_if(all.cbegin(), all.cend(), [id](const AutonomiPayee &p) { return p.acomId == id; })
                       - all.cbegin();
            };
            return pos(a.acomId) < pos(b.acomId);
        });
    }
    TAutonomiImport imp(conn, store, options.variant, options.policy);
    return imp.run(chosen);
}

AutonomiYear programAutonomiYear()
{
    AutonomiYear y;
    try {
        auto &anno = zptAnnoFinanziario();
        anno.SetAnno(anfIdOfYear(2024));
        y.anfId = anno.Id;
        const int dwg = dmZptParams().GetDwgId();
        if (dwg > 0)
            y.dwgId = dwg;
    } catch (const EQxError &) {
        // Without the program's connection (a test's own database) the year
        // of this edition and the first management unit stand.
    }
    return y;
}

} // namespace jex
