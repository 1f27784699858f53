#include "telematic/supply/reader.h"

#include "base/errors.h"
#include "base/messages.h"
#include "base/strutil.h"
#include "codelists/codecheck.h"
#include "codelists/codelists.h"
#include "demo/codicefiscale.h"
#include "dataset/dataset.h"
#include "database/sqlconnection.h"
#include "sections/databasestore.h"
#include "telematic/generation.h"
#include "telematic/supply/supplylayout.h"

#include <QDate>
#include <QFileInfo>
#include <QSet>

namespace jex::supply {

namespace {

// "1 riga", "23 righe".
QString rowCount(qsizetype n)
{
    return n == 1 ? QStringLiteral("1 riga") : QStringLiteral("%1 righe").arg(n);
}

// Asked for every field of a supply: the bindings are looked through once
// per dataset name, the answers kept in known.
QString tableOf(const QString &cds, QHash<QString, QString> &known)
{
    auto it = known.constFind(cds);
    if (it != known.constEnd())
        return *it;
    QString table;
    for (const TableBinding &b : telematicTables())
        if (cds.compare(QLatin1String(b.component), Qt::CaseInsensitive) == 0) {
            table = QString::fromLatin1(b.table);
            break;
        }
    known.insert(cds, table);
    return table;
}

QVariant dateValue(const QString &t)
{
    const QDate d = QDate::fromString(t, QStringLiteral("ddMMyyyy"));
    return d.isValid() ? QVariant(d) : QVariant();
}

// A zero-filled code in the form its code list holds it ("01" or "1").
QString listForm(const QString &column, const QString &code)
{
    const auto it = codeListColumns().constFind(column.toUpper());
    if (it == codeListColumns().constEnd())
        return code;
    static const CodeLists lists = CodeLists::installation();
    const QString plain = QString::number(code.toLongLong());
    return !lists.contains(*it, code) && lists.contains(*it, plain) ? plain : code;
}

// A positional value back as the column's value: the inverse of its format.
QVariant positionalValue(const TXMLCampoType &c, const QString &raw)
{
    const QString t = AllTrim(raw);
    const QString f = c.Format();
    if (t.isEmpty())
        return {};
    if (f == u"DT" || f == u"DP")
        return dateValue(t);
    if (f == u"NF") {
        // A code left empty is written as zeros.
        bool zero = true;
        for (QChar ch : t)
            zero = zero && ch == u'0';
        return zero ? QVariant() : QVariant(listForm(c.Field(), t));
    }
    return t;
}

// The columns of a period written as month and year in one field.
bool periodColumns(const QString &cds, const TXMLCampoType &c, QString *month, QString *year)
{
    const QString n = AllTrim(c.Number());
    const QString ds = cds.toUpper();
    const bool period = n.contains(u"001") && AllTrim(c.Description()) == u"Periodo di riferimento";
    const QString k = n.mid(3, 2);
    if (ds == u"CDSPRSV" && n == u"SVXXX001")
        *month = QStringLiteral("SPSVMESE"), *year = QStringLiteral("SPSVANNO");
    else if (ds == u"CDSPRST" && n == u"STXXX001")
        *month = QStringLiteral("SPSTMESE"), *year = QStringLiteral("SPSTANNO");
    else if (ds == u"CDSPRST2" && n == u"STXXX001")
        *month = QStringLiteral("SPST2MESE"), *year = QStringLiteral("SPST2ANNO");
    else if (ds == u"CDSPRST3" && period)
        *month = QStringLiteral("SPST3MESE") + k, *year = QStringLiteral("SPST3ANNO") + k;
    else if (ds == u"CDSPRST4" && period)
        *month = QStringLiteral("SPST2MESE") + k, *year = QStringLiteral("SPST2ANNO") + k;
    else
        return false;
    return true;
}

// A key-value field back into the columns of its row.
void assignKeyValue(QVariantMap &row, const KeyField &key, const QString &text)
{
    const TXMLCampoType &c = key.campo;
    const QString t = AllTrim(text);
    const QString f = c.Format();
    QString month, year;
    if (f == u"N6" && periodColumns(key.cds, c, &month, &year)) {
        row.insert(month, t.left(t.size() - 4));
        row.insert(year, t.right(4));
        return;
    }
    if (c.Field().isEmpty())
        return;
    if (f == u"VP") {
        row.insert(c.Field(), QString(t).replace(u',', u'.').toDouble());
        return;
    }
    if (f == u"DT")
        row.insert(c.Field(), dateValue(t));
    else
        row.insert(c.Field(), t);
}

// The value a dataset column takes from a text, a number or a date.
QVariant typed(const Field &field, const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return {};
    switch (field.type()) {
    case FieldType::String:
        return v.toString();
    case FieldType::Integer:
        return v.toLongLong();
    case FieldType::Currency:
    case FieldType::Float:
        return v.typeId() == QMetaType::Double ? v : QVariant(QString(v.toString()).replace(u',', u'.').toDouble());
    case FieldType::Boolean:
        return v.toString() != u"0" && !v.toString().isEmpty();
    case FieldType::Date:
    case FieldType::DateTime:
        return v.typeId() == QMetaType::QDate ? v : dateValue(v.toString());
    case FieldType::Blob:
        break;
    }
    return v;
}

void setColumns(ClientDataSet &ds, const QString &table, const QVariantMap &values)
{
    for (auto it = values.begin(); it != values.end(); ++it) {
        Field *f = ds.findField(it.key());
        if (!f)
            throw EQxError(QStringLiteral("La tabella %1 non ha la colonna %2 che il tracciato le assegna.").arg(table, it.key()));
        f->setValue(typed(*f, it.value()));
    }
}

// The head field of records D and I that names the module's extinct agent,
// when the layout has one.
const PositionalField *moduleAgentField(const RecordLayout &layout)
{
    for (const PositionalField &f : layout.positional)
        if (f.campo.Cds().compare(QLatin1String(kModuleAgent), Qt::CaseInsensitive) == 0
            && f.campo.Field().compare(QLatin1String("SSOE7CODICE"), Qt::CaseInsensitive) == 0)
            return &f;
    return nullptr;
}

} // namespace

const QStringList &summarySections()
{
    static const QStringList list = {
        QStringLiteral("TPST_PROSPETTOST"),   QStringLiteral("TPST2_PROSPETTOSTS2"), QStringLiteral("TPST3_PROSPETTOSTS3"),
        QStringLiteral("TPST4_PROSPETTOSTS4"), QStringLiteral("TPSV_PROSPETTOSV"),   QStringLiteral("TPSX_PROSPETTOSX"),
        QStringLiteral("TPDI_PROSPETTODI"),   QStringLiteral("TPSY_PROSPETTOSY"),    QStringLiteral("TPSY2_PROSPETTOSY2"),
        QStringLiteral("TPSY3_PROSPETTOSY3"), QStringLiteral("TPSY4_PROSPETTOSY4"),  QStringLiteral("TPSS_PROSPETTOSS")};
    return list;
}

SupplyContent supplyContent(const ParsedSupply &parsed, const SupplyLayouts &layouts)
{
    // The one row of a module of record J, apart from every section and row.
    constexpr qint64 kRecordJRow = -1;
    QHash<QString, QString> tables; // by dataset
    SupplyContent content;
    QHash<QChar, QStringList> agentsByRecord; // extinct agents in the order of their modules
    QSet<QString> jAgents; // the agents the SS rows name
    if (const RecordLayout *j = layouts.record(u'J'))
        for (const ParsedModule &m : parsed.modules)
            if (m.record == u'J')
                for (const PositionalField &f : j->positional)
                    if (f.campo.Field().compare(QLatin1String("SSOE7CODICE"), Qt::CaseInsensitive) == 0)
                        jAgents.insert(AllTrim(m.head.mid(f.start - 1, f.width)));
    auto front = [&](QChar type, const QString &record, const char *cds, QVariantMap &out) {
        for (const PositionalField &f : layouts.record(type)->positional) {
            const QString info = f.campo.Info();
            if (info == u"OF" || f.campo.Field().isEmpty() || f.campo.Cds().compare(QLatin1String(cds), Qt::CaseInsensitive) != 0)
                continue;
            out.insert(f.campo.Field(), positionalValue(f.campo, record.mid(f.start - 1, f.width)));
        }
    };
    front(u'A', parsed.recordA, "cdsForn", content.supplier);
    front(u'B', parsed.recordB, "cdsSost", content.agent);

    for (const ParsedModule &m : parsed.modules) {
        const RecordLayout &layout = *layouts.record(m.record);
        // Continuation fields join the text of the field before them: the
        // first piece is 16 characters, every further one 15.
        QList<QPair<QString, QString>> fields;
        for (const ParsedField &f : m.fields) {
            if (f.value.startsWith(u'+') && !fields.isEmpty() && fields.last().first == f.code)
                fields.last().second += f.value.mid(1);
            else
                fields.append({f.code, f.value});
        }
        // One row per section and row number of the module, in the order met.
        QList<QPair<QString, QVariantMap>> rows; // table, values
        QHash<qint64, int> rowIndex;              // section and row
        auto rowFor = [&](const QString &table, qint64 key) -> QVariantMap & {
            auto it = rowIndex.constFind(key);
            if (it != rowIndex.constEnd())
                return rows[*it].second;
            rowIndex.insert(key, int(rows.size()));
            rows.append({table, {}});
            return rows.last().second;
        };
        QString moduleAgent; // the extinct agent the module's head names
        if (m.record == u'J') {
            // One SS row per module; its head names the agent.
            QVariantMap &ss = rowFor(QStringLiteral("TPSS_PROSPETTOSS"), kRecordJRow);
            for (const PositionalField &f : layout.positional)
                if (f.campo.Cds().compare(QLatin1String("cdsPrSs"), Qt::CaseInsensitive) == 0 && !f.campo.Field().isEmpty())
                    ss.insert(f.campo.Field(), positionalValue(f.campo, m.head.mid(f.start - 1, f.width)));
            moduleAgent = AllTrim(ss.value(QStringLiteral("SSOE7CODICE")).toString());
            const RecordLayout *d = layouts.record(u'D'), *i = layouts.record(u'I');
            if (!moduleAgent.isEmpty() && !(d && moduleAgentField(*d) && i && moduleAgentField(*i)))
                throw EQxError(QStringLiteral(
                    "La fornitura contiene i prospetti del sostituto estinto %1, ma i tracciati dei record D e I "
                    "non indicano a quale sostituto appartengono i righi di un modulo: verrebbero attribuiti tutti "
                    "al sostituto dichiarante. La fornitura non è stata letta.").arg(moduleAgent));
        } else if (const PositionalField *f = moduleAgentField(layout)) {
            // The space is the sender's: a text that is neither a codice
            // fiscale nor an agent of record J is another program's own.
            moduleAgent = AllTrim(m.head.mid(f->start - 1, f->width));
            if (!moduleAgent.isEmpty() && !jAgents.contains(moduleAgent) && !demo::isValidPersonCode(moduleAgent)
                && !demo::isValidOrganisationCode(moduleAgent))
                moduleAgent.clear();
        }
        if (!moduleAgent.isEmpty()) {
            QStringList &seen = agentsByRecord[m.record];
            if (!seen.contains(moduleAgent))
                seen.append(moduleAgent);
        }
        for (const auto &[code, text] : fields) {
            const KeyField &key = layout.codes.value(code);
            const QString table = tableOf(key.cds, tables);
            if (table.isEmpty())
                throw EQxError(QStringLiteral("Il campo %1 del record %2 non appartiene a nessun prospetto.").arg(code).arg(m.record));
            const qint64 rowKey = m.record == u'J' ? kRecordJRow : qint64(key.section) << 32 | quint32(key.row);
            assignKeyValue(rowFor(table, rowKey), key, text);
        }
        for (auto &[table, values] : rows) {
            if (!moduleAgent.isEmpty() && !values.contains(QStringLiteral("SSOE7CODICE")))
                values.insert(QStringLiteral("SSOE7CODICE"), moduleAgent);
            content.rows[table].append(values);
        }
    }
    // Records D and I write the agents in the order of their table, each the
    // ones it has rows for: one order that keeps both. Record J follows the
    // codes' order and only adds agents the others lack.
    QStringList &order = content.extinctAgents;
    order = agentsByRecord.value(u'D');
    qsizetype at = 0;
    for (const QString &code : agentsByRecord.value(u'I')) {
        const qsizetype known = order.indexOf(code);
        if (known >= 0) {
            at = known + 1;
        } else {
            order.insert(at, code);
            ++at;
        }
    }
    for (const QString &code : agentsByRecord.value(u'J'))
        if (!order.contains(code))
            order.append(code);
    return content;
}

QStringList storeSupply(SectionStore &store, const SupplyContent &content, bool replace)
{
    auto *db = dynamic_cast<DbCdsStore *>(&store);
    TQxSQLConnection *conn = db ? db->service()->Connection() : nullptr;
    const bool own = conn && conn->startTransaction();
    try {
        QStringList sections = summarySections();
        sections << QStringLiteral("TSOS_DATOSOSTITUTO") << QStringLiteral("TFOR_FORNITORE")
                 << QStringLiteral("TSOE7_SOSESTINTO");
        if (db)
            for (const QString &s : sections)
                db->service()->LockCds(s);

        // Everything is looked at before anything is written.
        std::map<QString, std::unique_ptr<ClientDataSet>> open;
        QStringList filled;
        for (const QString &s : sections) {
            auto ds = std::make_unique<ClientDataSet>();
            store.openCds(s, *ds);
            if (summarySections().contains(s) && ds->isActive() && !ds->isEmpty())
                filled << QStringLiteral("%1 (%2)").arg(s, rowCount(ds->recordCount()));
            open[s] = std::move(ds);
        }
        ClientDataSet &agent = *open[QStringLiteral("TSOS_DATOSOSTITUTO")];
        if (!replace) {
            if (!filled.isEmpty())
                throw EQmrWarning(QStringLiteral("La dichiarazione contiene già righe dei prospetti: %1. Per sostituirle "
                                                 "con quelle della fornitura chiedere la sostituzione (--replace). Nulla "
                                                 "è stato scritto.").arg(filled.join(QStringLiteral(", "))));
            Field *cf = agent.isEmpty() ? nullptr : agent.findField(QStringLiteral("SSOSCODFIS"));
            if (cf && !AllTrim(cf->asString()).isEmpty() && AllTrim(cf->asString()) != content.agentCode())
                throw EQmrWarning(QStringLiteral("La dichiarazione è del sostituto %1, la fornitura del sostituto %2: per "
                                                 "sostituirne i dati chiedere la sostituzione (--replace). Nulla è stato "
                                                 "scritto.").arg(AllTrim(cf->asString()), content.agentCode()));
        }

        auto single = [&](const QString &table, const QVariantMap &values) {
            ClientDataSet &ds = *open[table];
            if (ds.isEmpty())
                ds.append();
            else {
                ds.first();
                ds.edit();
            }
            setColumns(ds, table, values);
            ds.post();
            store.saveCds(table, ds);
        };
        single(QStringLiteral("TFOR_FORNITORE"), content.supplier);
        single(QStringLiteral("TSOS_DATOSOSTITUTO"), content.agent);

        // The extinct agents the modules name, in the order the file gives
        // them (the order their modules are generated in); the table keeps
        // the agents it already has.
        QStringList added;
        ClientDataSet &extinct = *open[QStringLiteral("TSOE7_SOSESTINTO")];
        for (const QString &code : content.extinctAgents) {
            if (extinct.locate(QStringLiteral("CODICE"), code))
                continue;
            extinct.append();
            extinct.fieldByName(QStringLiteral("CODICE"))->setValue(code);
            extinct.post();
            added << code;
        }
        if (!added.isEmpty())
            store.saveCds(QStringLiteral("TSOE7_SOSESTINTO"), extinct);

        int section = 0;
        const int total = int(summarySections().size());
        for (const QString &s : summarySections()) {
            messages().progress(QStringLiteral("Lettura della fornitura: %1").arg(s), ++section, total);
            ClientDataSet &ds = *open[s];
            ds.first();
            while (!ds.isEmpty())
                ds.remove();
            for (const QVariantMap &values : content.rows.value(s)) {
                ds.append();
                setColumns(ds, s, values);
                ds.post();
            }
            store.saveCds(s, ds);
        }
        if (own)
            conn->commit();
        return added;
    } catch (...) {
        if (own)
            conn->rollback();
        throw;
    }
}

CheckReport checkFile(const QStringList &files)
{
    const SupplyLayouts layouts;
    CheckOptions options;
    options.progress = [](qint64 done, qint64 total) {
        messages().progress(QStringLiteral("Controllo del file telematico"), int(done / 1024), int(total / 1024));
    };
    return checkSupply(files, layouts, options);
}

ReadResult readSupplyInto(SectionStore &store, const QStringList &files, bool replace, const QString &layoutDir)
{
    ReadResult result;
    const SupplyLayouts layouts(layoutDir);
    ParsedSupply parsed;
    CheckOptions options;
    options.parsed = &parsed;
    options.progress = [](qint64 done, qint64 total) {
        messages().progress(QStringLiteral("Lettura del file telematico"), int(done / 1024), int(total / 1024));
    };
    result.check = checkSupply(files, layouts, options);
    if (result.check.blocking > 0 || result.check.unreadable) {
        const QString found = result.check.blocking == 1
            ? QStringLiteral("un errore che ne impedisce")
            : QStringLiteral("%1 errori che ne impediscono").arg(result.check.blocking);
        result.message = QStringLiteral("La fornitura non è stata letta: il controllo ha trovato %1 la lettura. "
                                        "Nulla è stato scritto.").arg(found);
        return result;
    }
    const SupplyContent content = supplyContent(parsed, layouts);
    const QStringList added = storeSupply(store, content, replace);
    result.written = true;
    int rows = 0;
    for (const QString &s : summarySections()) {
        const int n = int(content.rows.value(s).size());
        rows += n;
        if (n > 0)
            result.rowsByTable << QStringLiteral("%1: %2").arg(s, rowCount(n));
    }
    result.message = QStringLiteral("Fornitura letta: frontespizio del sostituto %1 e %2 dei prospetti (%3).")
                         .arg(content.agentCode(), rowCount(rows), result.check.summary());
    if (!added.isEmpty())
        result.message += QStringLiteral(" Aggiunti in Tabelle->Sostituto estinto: %1 (la fornitura non ne riporta la "
                                         "denominazione: completarla).").arg(added.join(QStringLiteral(", ")));
    if (result.check.errors > 0)
        result.message += QStringLiteral(" I valori segnalati come errori sono stati letti come sono: correggerli "
                                         "nella dichiarazione prima di generare il file.");
    return result;
}

ReadResult readFileIntoReturn(const QStringList &files, bool replace)
{
    return readSupplyInto(applicationStore(), files, replace);
}

} // namespace jex::supply
