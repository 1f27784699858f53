#include "database/structureservice.h"

#include "base/errors.h"
#include "base/messages.h"
#include "database/valuerows.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <memory>

namespace jex {
namespace {

TQmrDBCds::WaitHooks &hooksStore()
{
    static TQmrDBCds::WaitHooks hooks;
    return hooks;
}

// Value column of a field type: s, i, f or d.
char prefixOf(FieldType type)
{
    switch (type) {
    case FieldType::String: return 's';
    case FieldType::Integer: return 'i';
    case FieldType::Currency:
    case FieldType::Float: return 'f';
    case FieldType::Date:
    case FieldType::DateTime: return 'd';
    default: return 's';
    }
}

int prefixSlot(char p)
{
    switch (p) {
    case 's': return 0;
    case 'i': return 1;
    case 'f': return 2;
    default: return 3;
    }
}

// The value row that keeps a record whose data are all in the registry.
const QString kRecordMarker = QStringLiteral("iFisRigo");

// The zero date of the data packets the sections were first kept in.
const QDate kZeroDate(1899, 12, 30);

// A stored value as a statement parameter of its field's type; invalid for null.
QVariant paramValue(const Field *f, const QVariant &stored)
{
    if (!stored.isValid() || stored.isNull())
        return {};
    switch (f->type()) {
    case FieldType::String: return stored.toString();
    case FieldType::Integer: return stored.toLongLong();
    case FieldType::Currency: return double(stored.toLongLong()) / 10000.0;
    case FieldType::Float: return stored.toDouble();
    case FieldType::Date: return stored.toDate();
    case FieldType::DateTime: return stored.toDateTime().date();
    case FieldType::Blob: return QString::fromLatin1(stored.toByteArray().toBase64());
    case FieldType::Boolean: return QStringLiteral("%1").arg(stored.toBool() ? 1 : 0);
    }
    return stored.toString();
}

// The value row of a field, or invalid when the value is not stored: empty
// texts, zeros and the zero date read back as null anyway.
QVariant storableValue(const Field *f, const QVariant &stored)
{
    const QVariant v = paramValue(f, stored);
    if (!v.isValid())
        return {};
    switch (f->type()) {
    case FieldType::String:
    case FieldType::Blob:
        return v.toString().isEmpty() ? QVariant() : v;
    case FieldType::Integer:
        return v.toLongLong() == 0 ? QVariant() : v;
    case FieldType::Currency:
    case FieldType::Float:
        return v.toDouble() == 0.0 ? QVariant() : v;
    case FieldType::Date:
    case FieldType::DateTime: {
        const QDate d = v.toDate();
        return (!d.isValid() || d == kZeroDate) ? QVariant() : v;
    }
    case FieldType::Boolean:
        return v;
    }
    return v;
}

QString textOf(const Field *f, const QVariant &stored)
{
    const QVariant v = paramValue(f, stored);
    if (!v.isValid())
        return {};
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().toString(u"dd/MM/yyyy");
    return v.toString();
}

QVariant nullOf(QMetaType::Type t) { return QVariant(QMetaType(t)); }

const QString kStructureSql = QStringLiteral(
    "SELECT cds.* FROM tcds_struttura cds WHERE COALESCE(cds.icdsanno, 0) <= :ICDSANNO "
    "AND (COALESCE(cds.icdsmese, 0) <= :ICDSMESE OR :ICDSMESE = -1) "
    "AND Lower(cds.scdsprogramma) = :SCDSPROGRAMMA AND Lower(cds.scdsnome) = :SCDSNOME "
    // A null year counts as 0 also in the ordering (PostgreSQL puts nulls
    // first); among versions of the same period the newest row wins.
    "ORDER BY COALESCE(cds.icdsanno, 0) DESC, COALESCE(cds.icdsmese, 0) DESC, cds.icdsid DESC");

// The select list takes from the registry only the key and the columns that
// the field map copies ("%1"): every column more is fetched for each value row.
// The periods are chosen first, so that the program's name is compared once
// per period and not once per value row.
// Parameters: year, month, month, program, structure, registry entry twice.
const QString kValuesSql = QStringLiteral(
    "SELECT afi.iafiid%1, fis.sFisFieldName, fis.iFisRigo, fis.iFisValue, fis.fFisValue, fis.sFisValue, fis.dFisValue "
    "FROM tfis_datifiscali fis LEFT JOIN tafi_anafiscale afi ON afi.iafiid = fis.iafiid "
    "WHERE fis.icrfid IN (SELECT crf.icrfid FROM tcrf_crofiscale crf WHERE COALESCE(crf.icrfanno, 0) = ? "
    "AND (COALESCE(crf.icrfmese, 0) = ? OR ? = -1) AND Lower(crf.scrfprogramma) = ?) "
    "AND fis.icdsid = ? AND (fis.iafiid = ? OR ? = -1) ORDER BY fis.ifisrigo");

// Parameters: year, month, month, program, codice fiscale, group, group.
const QString kRegistryLookupSql = QStringLiteral(
    "SELECT afi.iafiid FROM tcrf_crofiscale crf INNER JOIN tafi_anafiscale afi ON afi.icrfid = crf.icrfid "
    "WHERE crf.icrfanno = ? AND (COALESCE(crf.icrfmese, 0) = ? OR ? = -1) "
    "AND Lower(crf.scrfprogramma) = ? AND Lower(afi.saficodfiscale) = ? "
    "AND (COALESCE(afi.safigruppoana, '') = ? OR ? = '') ORDER BY afi.iafiid");

// The structure row as a save starts: its record counter (on PostgreSQL the
// row stays locked until the transaction ends, so a second writer of the
// structure waits here and then numbers on; on SQLite the transaction holds
// the database's write lock already), what the save takes from the row,
// whether a period row is there, and, when asked, a summary of the whole
// structure table by which a kept copy of the row is known to be still the
// version in force. Without the summary its three columns are null.
const QString &saveHeadSql(Dialect d, bool withSummary)
{
    auto text = [](Dialect d, bool withSummary) {
        return QStringLiteral("SELECT cds.icdsrigo, cds.lcdsanagrafica, cds.lcdsfmapreadonly, cds.scdsfieldmap, ")
            + (withSummary ? QStringLiteral("sig.n, sig.ids, sig.periods") : QStringLiteral("NULL, NULL, NULL"))
            + QStringLiteral(", (SELECT COUNT(*) FROM tcrf_crofiscale WHERE icrfid = ?) FROM tcds_struttura cds")
            // The summary in one pass over the structure table.
            + (withSummary ? QStringLiteral(" CROSS JOIN (SELECT COUNT(*) AS n, COALESCE(SUM(icdsid), 0) AS ids, "
                                            "COALESCE(SUM(COALESCE(icdsanno, 0) * 100 + COALESCE(icdsmese, 0)), 0) "
                                            "AS periods FROM tcds_struttura) sig")
                           : QString())
            + QStringLiteral(" WHERE cds.icdsid = ?")
            + (d == Dialect::PostgreSQL ? QStringLiteral(" FOR UPDATE OF cds") : QString());
    };
    static const QString texts[2][2] = {{text(Dialect::SQLite, false), text(Dialect::SQLite, true)},
                                        {text(Dialect::PostgreSQL, false), text(Dialect::PostgreSQL, true)}};
    return texts[d == Dialect::PostgreSQL][withSummary];
}

// count keys of the generator at once, in ascending order: one round of
// statements for a block instead of one per key. Keys a save does not use are
// simply skipped, as generators do.
QList<qint64> generateKeys(TQxSQLConnection &c, const QString &generator, int count)
{
    QList<qint64> keys;
    // The generator's first key: the generator (a sequence on PostgreSQL) now exists.
    const qint64 first = c.generateId(generator);
    keys << first;
    if (count <= 1)
        return keys;
    keys.reserve(count);
    const QString name = generator.toLower();
    if (c.dialect() == Dialect::PostgreSQL) {
        QSqlQuery q = c.exec(QStringLiteral("SELECT nextval('gen_%1') FROM generate_series(1, :N) ORDER BY 1").arg(name),
                             {{QStringLiteral("N"), count - 1}});
        while (q.next())
            keys << q.value(0).toLongLong();
        return keys;
    }
    // SQLite: the save's transaction holds the write lock, so the keys after
    // the first are this writer's alone.
    c.exec(QStringLiteral("UPDATE tqx_generator SET ivalue = ivalue + :C WHERE sname = :N"),
           {{QStringLiteral("N"), name}, {QStringLiteral("C"), count - 1}});
    for (qint64 k = first + 1; k < first + count; ++k)
        keys << k;
    return keys;
}

} // namespace

void TQmrDBCds::setWaitHooks(const WaitHooks &hooks) { hooksStore() = hooks; }
const TQmrDBCds::WaitHooks &TQmrDBCds::waitHooks() { return hooksStore(); }

TQmrDBCds::TQmrDBCds(int anno, const QString &programma, int mese)
    : Anno(anno), Mese(mese), Programma(programma)
{
}

TQxSQLConnection *TQmrDBCds::Connection() const
{
    TQxSQLConnection *c = m_conn ? m_conn : globalConnection();
    if (!c)
        throw EQxError(QStringLiteral("Database non connesso"));
    return c;
}

QList<TQmrDBCds::MapPair> TQmrDBCds::parseFieldMap(const QString &map)
{
    QList<MapPair> out;
    const QStringList pairs = map.split(u';', Qt::SkipEmptyParts);
    for (const QString &p : pairs) {
        const int eq = p.indexOf(u'=');
        if (eq <= 0)
            continue;
        MapPair m;
        m.column = p.left(eq).trimmed().toLower();
        m.fieldSide = p.mid(eq + 1).trimmed();
        for (const QString &f : m.fieldSide.split(u'+', Qt::SkipEmptyParts))
            m.fields << f.trimmed();
        out << m;
    }
    return out;
}

bool TQmrDBCds::findStructure(const QString &name, int mese, int anno, Structure &out, bool withSchema)
{
    TQxSQLConnection &c = *Connection();
    QSqlQuery q = c.exec(kStructureSql, {{QStringLiteral("ICDSANNO"), anno},
                                         {QStringLiteral("ICDSMESE"), mese},
                                         {QStringLiteral("SCDSPROGRAMMA"), Programma.toLower()},
                                         {QStringLiteral("SCDSNOME"), name.toLower()}});
    if (!q.next())
        return false;
    const QSqlRecord r = q.record();
    out.id = q.value(r.indexOf(QStringLiteral("icdsid"))).toLongLong();
    out.anagrafica = q.value(r.indexOf(QStringLiteral("lcdsanagrafica"))).toInt() == 1;
    out.fmapReadOnly = q.value(r.indexOf(QStringLiteral("lcdsfmapreadonly"))).toInt() == 1;
    out.rigo = q.value(r.indexOf(QStringLiteral("icdsrigo"))).toLongLong();
    out.fieldMapText = q.value(r.indexOf(QStringLiteral("scdsfieldmap"))).toString();
    out.fieldMap = parseFieldMap(out.fieldMapText);
    if (withSchema)
        out.schema = q.value(r.indexOf(QStringLiteral("bcdsschema"))).toByteArray();
    return true;
}

TQmrDBCds::Structure TQmrDBCds::structureForSave(const QString &name, int mese, int anno)
{
    TQxSQLConnection &c = *Connection();
    const QString key = QStringLiteral("%1|%2|%3|%4").arg(Programma.toLower(), name.toLower()).arg(mese).arg(anno);
    // On a server the head goes with the writes the transaction's earlier
    // saves left waiting: one exchange for both.
    auto head = [&](qint64 id, qint64 crf, Structure &st, QString &signature, bool withSummary) {
        const std::optional<QVariantList> row = selectRow(c, saveHeadSql(c.dialect(), withSummary), {crf, id});
        if (!row)
            return false;
        const QVariantList &v = *row;
        st.rigo = v.value(0).toLongLong();
        st.anagrafica = v.value(1).toInt() == 1;
        st.fmapReadOnly = v.value(2).toInt() == 1;
        st.fieldMapText = v.value(3).toString();
        signature = v.value(4).toString() + u'/' + v.value(5).toString() + u'/' + v.value(6).toString();
        st.crfId = v.value(7).toLongLong() > 0 ? crf : 0;
        return true;
    };

    // The structure table is summed once per transaction: inside one, no
    // other writer adds or removes a structure on SQLite, whose transaction
    // holds the write lock, and on a server one that does so is seen by the
    // next transaction, as it was by the next save.
    const bool inTransaction = c.inTransaction();
    auto remember = [&](const QString &signature) {
        if (inTransaction)
            m_summed = {&c, c.transactionSerial(), signature};
    };
    auto it = m_saveCache.find(key);
    if (it != m_saveCache.end() && it->connection == &c) {
        const bool summed = inTransaction && m_summed.connection == &c
            && m_summed.transaction == c.transactionSerial() && m_summed.signature == it->signature;
        Structure now;
        QString signature;
        if (head(it->structure.id, it->structure.crfId, now, signature, !summed)
            && (summed || signature == it->signature) && now.anagrafica == it->structure.anagrafica
            && now.fmapReadOnly == it->structure.fmapReadOnly && now.fieldMapText == it->structure.fieldMapText) {
            if (!summed)
                remember(signature);
            it->structure.rigo = now.rigo;
            it->structure.crfId = now.crfId;
            return it->structure;
        }
        m_saveCache.erase(it);
    }

    // First save of the structure, or the structure table has changed since.
    Structure st;
    if (!findStructure(name, mese, anno, st, false))
        throw EQxError(QStringLiteral("Impossibile trovare il ClientDataSet (%1).").arg(name));
    Structure now;
    QString signature;
    if (!head(st.id, 0, now, signature, true))
        throw EQxError(QStringLiteral("Impossibile trovare il ClientDataSet (%1).").arg(name));
    remember(signature);
    st.rigo = now.rigo;
    m_saveCache.insert(key, {&c, signature, st});
    return st;
}

void TQmrDBCds::rememberPeriod(const QString &name, int mese, int anno, qint64 crfId)
{
    const QString key = QStringLiteral("%1|%2|%3|%4").arg(Programma.toLower(), name.toLower()).arg(mese).arg(anno);
    auto it = m_saveCache.find(key);
    if (it != m_saveCache.end())
        it->structure.crfId = crfId;
}

// ---------------------------------------------------------------- opening

void TQmrDBCds::OpenCds(ClientDataSet &ds, const QString &name) { OpenCdsPeriod(ds, name, Mese, Anno); }

void TQmrDBCds::OpenCdsPeriod(ClientDataSet &ds, const QString &name, int mese, int anno)
{
    OpenCdsFiltered(ds, name, -1, mese, anno);
}

void TQmrDBCds::OpenCdsFiltered(ClientDataSet &ds, const QString &name, qint64 afiId, int mese, int anno)
{
    ds.disableControls();
    const WaitHooks &hooks = waitHooks();
    const bool waiting = m_showWait && hooks.show;
    if (waiting)
        hooks.show();
    // The caller's handlers would react to every record of the load.
    const DataSetEvents savedEvents = ds.events;
    ds.events = DataSetEvents{};
    const bool savedLog = ds.logChanges();
    auto restore = [&] {
        ds.events = savedEvents;
        ds.setLogChanges(savedLog);
        ds.enableControls();
        if (waiting && hooks.hide)
            hooks.hide();
    };
    try {
        ds.close();
        ds.providerName = QStringLiteral("UtilProvider");
        Structure st;
        if (!findStructure(name, mese, anno, st, true))
            throw EQxError(QStringLiteral("Impossibile trovare il ClientDataSet (%1).").arg(name));
        ds.setIndexFieldNames(QString());
        ds.close();
        ds.loadFromBytes(st.schema, name);
        ds.setLogChanges(false);

        QString registryColumns;
        for (const MapPair &p : std::as_const(st.fieldMap))
            if (!p.concatenated() && ds.hasField(p.fieldSide))
                registryColumns += QStringLiteral(", afi.") + p.column;
        BulkQuery q(*Connection(), kValuesSql.arg(registryColumns),
                    {anno, mese, mese, Programma.toLower(), st.id, afiId, afiId});
        const int cName = q.indexOf(QStringLiteral("sfisfieldname"));
        const int cRigo = q.indexOf(QStringLiteral("ifisrigo"));
        const int cAfi = q.indexOf(QStringLiteral("iafiid"));
        const int cValue[4] = {q.indexOf(QStringLiteral("sfisvalue")), q.indexOf(QStringLiteral("ifisvalue")),
                               q.indexOf(QStringLiteral("ffisvalue")), q.indexOf(QStringLiteral("dfisvalue"))};
        Field *fAfi = ds.findField(QStringLiteral("iAfiID"));
        Field *fRigo = ds.findField(QStringLiteral("iFisRigo"));
        struct Copy { Field *field; int column; };
        QList<Copy> copies;
        for (const MapPair &p : std::as_const(st.fieldMap))
            if (Field *f = p.concatenated() ? nullptr : ds.findField(p.fieldSide)) {
                const int col = q.indexOf(p.column);
                if (col >= 0)
                    copies.append({f, col});
            }
        // Field and value column per stored field name, looked up once.
        struct Target { Field *field; int column; };
        QHash<QString, Target> targets;

        bool more = q.next();
        qint64 rigo = more ? q.toLongLong(cRigo) : 0;
        while (more) {
            ds.append();
            if (fAfi)
                fAfi->setValue(q.isNull(cAfi) ? qint64(0) : q.toLongLong(cAfi));
            if (fRigo)
                fRigo->setValue(rigo);
            for (const Copy &c : std::as_const(copies))
                c.field->setValue(q.value(c.column));
            do {
                const QString fieldName = q.toString(cName);
                auto it = targets.constFind(fieldName);
                if (it == targets.cend()) {
                    Field *f = ds.findField(fieldName);
                    const int col = f ? cValue[prefixSlot(prefixOf(f->type()))] : -1;
                    it = targets.insert(fieldName, {f, col});
                }
                if (it->field) {
                    Field *f = it->field;
                    // A date comes as a text on SQLite: read as a date at once
                    // rather than tried against the field's text formats.
                    const QDate d = f->type() == FieldType::Date ? q.toDate(it->column) : QDate();
                    if (d.isValid())
                        f->setValue(d);
                    else if (f->type() == FieldType::Blob)
                        f->setValue(QByteArray::fromBase64(q.toString(it->column).toLatin1()));
                    else
                        f->setValue(q.value(it->column));
                }
                more = q.next();
                if (!more)
                    break;
                const qint64 next = q.toLongLong(cRigo);
                if (next != rigo) {
                    rigo = next;
                    break;
                }
            } while (true);
            ds.post();
        }
        ds.setLogChanges(savedLog);
        ds.mergeChangeLog();
        ds.first();
    } catch (...) {
        if (ds.isEditing())
            ds.cancel();
        restore();
        throw;
    }
    restore();
}

// ---------------------------------------------------------------- saving

bool TQmrDBCds::SavePlan::fits(const ClientDataSet &ds, const QString &mapText) const
{
    if (mapText != fieldMapText || ds.fieldCount() + 1 != names.size())
        return false;
    for (int i = 0; i < ds.fieldCount(); ++i) {
        const Field *f = ds.field(i);
        if (f->name() != names.at(i) || int(f->type()) != fieldTypes.at(i) || f->isCalculated() != calculated.at(i))
            return false;
    }
    return true;
}

const TQmrDBCds::SavePlan &TQmrDBCds::savePlan(const ClientDataSet &ds, const QString &name, const Structure &st)
{
    auto it = m_savePlans.find(name);
    if (it != m_savePlans.end() && it->fits(ds, st.fieldMapText))
        return *it;
    SavePlan plan;
    plan.fieldMapText = st.fieldMapText;
    // Fields that never become value rows: the two service fields and every
    // name the field map uses.
    QSet<QString> excludedNames{QStringLiteral("iafiid"), QStringLiteral("ifisrigo")};
    for (const MapPair &p : std::as_const(st.fieldMap)) {
        excludedNames.insert(p.column);
        excludedNames.insert(p.fieldSide.toLower());
    }
    for (int i = 0; i < ds.fieldCount(); ++i) {
        const Field *f = ds.field(i);
        plan.fieldTypes << int(f->type());
        plan.calculated << f->isCalculated();
        plan.names << f->name();
        plan.stored << (!f->isCalculated() && !excludedNames.contains(f->name().toLower()));
        plan.valueSlots << prefixSlot(prefixOf(f->type()));
    }
    plan.names << kRecordMarker;
    return *m_savePlans.insert(name, plan);
}

void TQmrDBCds::SaveCds(ClientDataSet &ds, const QString &name) { SaveCdsPeriod(ds, name, Mese, Anno); }

void TQmrDBCds::SaveCdsPeriod(ClientDataSet &ds, const QString &name, int mese, int anno)
{
    TQxSQLConnection &c = *Connection();
    ds.checkBrowseMode();
    const bool own = !c.inTransaction() && c.startTransaction();

    Structure st;
    try {
        st = structureForSave(name, mese, anno);
    } catch (...) {
        if (own)
            c.rollback();
        throw;
    }

    const qint64 firstRigo = st.rigo;
    const int nFields = ds.fieldCount();
    const int iRigo = ds.fieldIndex(QStringLiteral("iFisRigo"));
    const int iAfi = ds.fieldIndex(QStringLiteral("iAfiID"));

    for (const MapPair &p : std::as_const(st.fieldMap))
        if (p.concatenated())
            for (const QString &f : p.fields)
                if (!ds.hasField(f))
                    jexAssert(QStringLiteral("Mappa dei campi di %1: il campo %2 non esiste").arg(name, f));
    const SavePlan &plan = savePlan(ds, name, st);
    const MapPair *pairCodFis = nullptr;
    const MapPair *pairGruppo = nullptr;
    for (const MapPair &p : std::as_const(st.fieldMap)) {
        if (p.column == u"saficodfiscale" && !pairCodFis)
            pairCodFis = &p;
        if (p.column == u"safigruppoana" && !pairGruppo)
            pairGruppo = &p;
    }

    struct Refresh { quint64 id; QVector<QVariant> values; };
    QList<Refresh> refreshes;
    QString errorText;
    bool failed = false;
    try {
        // The writes go to a server together, once the save has read what it
        // needs; a read in between sends those before it first.
        SaveWrites writes(c);
        auto execute = [&](const QString &sql, const QVariantList &params) { writes.exec(sql, params); };
        const QVector<DeltaRecord> delta = ds.delta();
        qint64 crfId = st.crfId;
        auto period = [&] {
            if (crfId == 0) {
                writes.send();
                crfId = c.getCroFiscale(Programma.toLower(), anno, mese);
                rememberPeriod(name, mese, anno, crfId);
            }
            return crfId;
        };
        // Value rows go to the database in blocks, straight through the
        // driver (see valuerows.h). A row fills the one value column of its
        // field's type and leaves the other three null.
        constexpr size_t kBlock = 8192;
        const QStringList &names = plan.names;
        const int markerName = nFields;
        std::vector<ValueRow> pending;
        auto flush = [&](qint64 crf) {
            writes.insertRows(st.id, crf, names, pending);
            pending.clear();
        };
        auto fieldValue = [&](const DeltaRecord &d, int i) { return i >= 0 ? d.values.value(i) : QVariant(); };

        // A registry entry is made only for a record whose field map writes
        // registry data into it: an entry without data would be removed at
        // the next start-up, and the record's link would then read 0.
        const bool writesRegistry = !st.fieldMap.isEmpty() && !st.fmapReadOnly;
        // New keys are taken in blocks, as many as the records that may still
        // need one (a lookup may find an entry instead: those keys go unused).
        int linkless = 0;
        if (iAfi >= 0 && writesRegistry)
            for (const DeltaRecord &d : delta)
                if (d.status != UpdateStatus::Deleted && fieldValue(d, iAfi).toLongLong() == 0)
                    ++linkless;
        QList<qint64> freeKeys;
        auto newKey = [&] {
            if (freeKeys.isEmpty())
                freeKeys = generateKeys(c, QStringLiteral("TAFI_ANAFISCALE"), std::clamp(linkless, 1, 1000));
            return freeKeys.takeFirst();
        };

        // First what goes: the value rows of every modified or deleted
        // record, and the registry entries of deleted registry records. Then
        // what is written: a new record never links to an entry that the
        // same save removes.
        QList<qint64> goneRecords, goneEntries;
        for (const DeltaRecord &d : delta) {
            if (d.status != UpdateStatus::Modified && d.status != UpdateStatus::Deleted)
                continue;
            if (iAfi >= 0 && st.anagrafica && d.status == UpdateStatus::Deleted)
                goneEntries << fieldValue(d, iAfi).toLongLong();
            goneRecords << (iRigo >= 0 ? fieldValue(d, iRigo).toLongLong() : 0);
        }
        writes.deleteKeyed(QStringLiteral("tafi_anafiscale"), QStringLiteral("iafiid"), goneEntries);
        writes.deleteKeyed(QStringLiteral("tfis_datifiscali"), QStringLiteral("ifisrigo"), goneRecords,
                           QStringLiteral("icdsid"), st.id);

        for (const DeltaRecord &d : delta) {
            if (d.status == UpdateStatus::Deleted)
                continue;
            qint64 n = iRigo >= 0 ? fieldValue(d, iRigo).toLongLong() : 0;
            if (n == 0)
                n = ++st.rigo;

            QVector<QVariant> values = d.values;
            auto isNew = [&](int i) {
                if (d.status == UpdateStatus::Inserted)
                    return values.value(i).isValid();
                return values.value(i) != d.original.value(i);
            };
            auto sideText = [&](const MapPair &p) {
                QString s;
                for (const QString &f : p.fields) {
                    const int i = ds.fieldIndex(f);
                    if (i >= 0)
                        s += textOf(ds.field(i), values.value(i));
                }
                return s;
            };

            const qint64 crf = period();
            if (iAfi >= 0 && values.value(iAfi).toLongLong() == 0) {
                if (linkless > 0)
                    --linkless;
                const QString gruppo = pairGruppo ? sideText(*pairGruppo) : QString();
                qint64 afiId = 0;
                if (!st.anagrafica && pairCodFis && ds.hasField(pairCodFis->fieldSide)) {
                    writes.send();
                    const std::optional<QVariantList> found = selectRow(c, kRegistryLookupSql,
                        {anno, mese, mese, Programma.toLower(), sideText(*pairCodFis).toLower(), gruppo, gruppo});
                    if (found && found->value(0).isValid() && !found->value(0).isNull())
                        afiId = found->value(0).toLongLong();
                }
                bool hasData = false;
                for (const MapPair &p : std::as_const(st.fieldMap))
                    hasData = hasData || !sideText(p).isEmpty();
                if (afiId == 0 && writesRegistry && hasData) {
                    afiId = newKey();
                    execute(QStringLiteral("INSERT INTO TAFI_ANAFISCALE (IAFIID, ICRFID) VALUES (?, ?)"), {afiId, crf});
                }
                values[iAfi] = afiId;
            }
            if (iAfi >= 0 && writesRegistry && values.value(iAfi).toLongLong() != 0) {
                QStringList sets;
                QVariantList setValues;
                for (const MapPair &p : std::as_const(st.fieldMap)) {
                    if (p.concatenated()) {
                        setValues << sideText(p);
                    } else {
                        const int i = ds.fieldIndex(p.fieldSide);
                        if (i < 0 || !isNew(i))
                            continue;
                        QVariant v = paramValue(ds.field(i), values.value(i));
                        setValues << (v.isValid() ? v : nullOf(QMetaType::QString));
                    }
                    sets << QStringLiteral(" %1 = ? ").arg(p.column);
                }
                if (!sets.isEmpty()) {
                    setValues << values.value(iAfi).toLongLong();
                    execute(QStringLiteral("UPDATE tafi_anafiscale SET %1 WHERE iafiid = ?").arg(sets.join(u',')), setValues);
                }
            }
            if (iRigo >= 0)
                values[iRigo] = n;

            const qint64 afiValue = iAfi >= 0 ? values.value(iAfi).toLongLong() : 0;
            bool anyValue = false;
            for (int i = 0; i < nFields; ++i) {
                if (!plan.stored[i])
                    continue;
                const Field *f = ds.field(i);
                const QVariant v = storableValue(f, values.value(i));
                if (!v.isValid())
                    continue;
                anyValue = true;
                ValueRow &row = pending.emplace_back();
                row.afi = afiValue;
                row.rigo = n;
                row.name = i;
                row.slot = ValueRow::Slot(plan.valueSlots[i]);
                switch (row.slot) {
                case ValueRow::Text: row.text = v.toString(); break;
                case ValueRow::Integer: row.integer = v.toLongLong(); break;
                case ValueRow::Number: row.number = v.toDouble(); break;
                case ValueRow::Date: row.date = v.toDate(); break;
                }
                if (pending.size() >= kBlock)
                    flush(crf);
            }
            // A record is read back from its value rows. One whose data all
            // went into the registry (a recipient with only codice fiscale,
            // surname and name) keeps one row of its own number, so that it
            // is there when the section is opened again.
            if (!anyValue && afiValue != 0) {
                ValueRow &row = pending.emplace_back();
                row.afi = afiValue;
                row.rigo = n;
                row.name = markerName;
                row.slot = ValueRow::Integer;
                row.integer = n;
                if (pending.size() >= kBlock)
                    flush(crf);
            }
            if (values != d.values)
                refreshes.append({d.id, values});
        }
        if (!pending.empty())
            flush(period());
        if (st.rigo != firstRigo)
            execute(QStringLiteral("UPDATE tcds_struttura SET icdsrigo = ? WHERE icdsid = ?"), {st.rigo, st.id});
        // On a server the writes go with the commit, or with the caller's
        // next statement in its transaction.
        writes.leaveWaiting();
        if (own)
            c.commit();
    } catch (const std::exception &e) {
        failed = true;
        errorText = jex::errorText(e);
        if (own)
            c.rollback();
    }
    if (failed) {
        // The kept copy of the structure row may hold a period the rollback undid.
        m_saveCache.clear();
        m_summed = {};
        ds.cancelUpdates();
        throw EQxError(errorText);
    }
    ds.disableControls();
    for (const Refresh &r : std::as_const(refreshes))
        ds.refreshRecordValues(r.id, r.values);
    ds.mergeChangeLog();
    ds.enableControls();
}

void TQmrDBCds::LockCds(const QString &name) { LockCdsPeriod(name, Mese, Anno); }

void TQmrDBCds::LockCdsPeriod(const QString &name, int mese, int anno)
{
    TQxSQLConnection &c = *Connection();
    if (!c.inTransaction())
        jexAssert(QStringLiteral("LockCds di %1 fuori da una transazione").arg(name));
    Structure st;
    structureForSave(name, mese, anno);
}

// ---------------------------------------------------------------- export

bool TQmrDBCds::ExportCds(const QString &programma, int anno, const QString &dir, int mese)
{
    TQxSQLConnection &c = *Connection();
    QSqlQuery q = c.exec(QStringLiteral(
        "SELECT cds.scdsnome FROM tcds_struttura cds WHERE COALESCE(cds.icdsanno, 0) <= :ICDSANNO "
        "AND (COALESCE(cds.icdsmese, 0) <= :ICDSMESE OR :ICDSMESE = -1) AND cds.scdsprogramma = :SCDSPROGRAMMA "
        "ORDER BY cds.scdsnome DESC"),
        {{QStringLiteral("ICDSANNO"), anno}, {QStringLiteral("ICDSMESE"), mese},
         {QStringLiteral("SCDSPROGRAMMA"), programma}});
    QStringList names;
    QSet<QString> seen;
    while (q.next()) {
        const QString n = q.value(0).toString();
        // Several versions of one structure give one file: the version in force.
        if (!seen.contains(n.toLower())) {
            seen.insert(n.toLower());
            names << n;
        }
    }
    q.finish();
    QString base = QDir::fromNativeSeparators(dir);
    if (!base.isEmpty() && !base.endsWith(u'/'))
        base += u'/';
    const QString savedProgramma = Programma;
    Programma = programma;
    bool all = true;
    try {
        for (const QString &n : std::as_const(names)) {
            const QString path = base + n + QStringLiteral(".cds");
            if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
                messages().error(QStringLiteral("Impossibile creare la directory specificata."));
                all = false;
                continue;
            }
            ClientDataSet ds;
            OpenCdsPeriod(ds, n, mese, anno);
            ds.saveToFile(path);
        }
    } catch (...) {
        Programma = savedProgramma;
        throw;
    }
    Programma = savedProgramma;
    return all;
}

} // namespace jex
