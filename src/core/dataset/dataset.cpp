#include "dataset/dataset.h"

#include "base/errors.h"
#include "dataset/filterexpr.h"
#include "base/numformat.h"
#include "base/errors.h"
#include "filterexpr.h"
#include "base/numformat.h"
#include "base/strutil.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace jex {

namespace {

qint64 roundToDecimals(qint64 tenThousandths, int decimals)
{
    if (decimals >= 4 || decimals < 0)
        return tenThousandths;
    qint64 unit = 1;
    for (int i = decimals; i < 4; ++i)
        unit *= 10;
    const qint64 mag = tenThousandths < 0 ? -tenThousandths : tenThousandths;
    qint64 r = (mag + unit / 2) / unit * unit; // half away from zero
    return tenThousandths < 0 ? -r : r;
}

qint64 doubleToMoney(double d)
{
    return qint64(std::llround(d * 10000.0));
}

bool parseNumberText(const QString &text, double *out)
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    bool ok = false;
    double d = t.toDouble(&ok);
    if (!ok) {
        // Italian notation: 1.234,56
        QString it = t;
        it.remove(u'.');
        it.replace(u',', u'.');
        d = it.toDouble(&ok);
    }
    if (ok)
        *out = d;
    return ok;
}

} // namespace

QString fieldTypeName(FieldType type)
{
    switch (type) {
    case FieldType::String: return QStringLiteral("string");
    case FieldType::Integer: return QStringLiteral("integer");
    case FieldType::Currency: return QStringLiteral("currency");
    case FieldType::Float: return QStringLiteral("float");
    case FieldType::Date: return QStringLiteral("date");
    case FieldType::DateTime: return QStringLiteral("datetime");
    case FieldType::Blob: return QStringLiteral("blob");
    case FieldType::Boolean: return QStringLiteral("boolean");
    }
    return {};
}

FieldType fieldTypeFromName(const QString &name, bool *ok)
{
    static const QHash<QString, FieldType> names = {
        {QStringLiteral("string"), FieldType::String},   {QStringLiteral("integer"), FieldType::Integer},
        {QStringLiteral("currency"), FieldType::Currency}, {QStringLiteral("float"), FieldType::Float},
        {QStringLiteral("date"), FieldType::Date},       {QStringLiteral("datetime"), FieldType::DateTime},
        {QStringLiteral("blob"), FieldType::Blob},       {QStringLiteral("boolean"), FieldType::Boolean},
    };
    auto it = names.find(name.toLower());
    if (ok)
        *ok = it != names.end();
    return it == names.end() ? FieldType::String : *it;
}

// ---------------------------------------------------------------- Field

Field::Field(ClientDataSet *owner, int index, const FieldDef &def)
    : m_owner(owner), m_index(index), m_def(def)
{
    if (def.type == FieldType::Currency) {
        m_displayFormat = def.decimals == 4 ? QStringLiteral("#,##0.0000") : QStringLiteral("#,##0.00");
        m_editFormat = def.decimals == 4 ? QStringLiteral("#.0000") : QStringLiteral("#.00");
    }
}

bool Field::isNumeric() const
{
    switch (m_def.type) {
    case FieldType::Integer: case FieldType::Currency: case FieldType::Float: case FieldType::Boolean:
        return true;
    default:
        return false;
    }
}

QVariant Field::rawValue() const
{
    const QVector<QVariant> *buf = m_owner->currentBufferConst();
    return buf ? buf->at(m_index) : QVariant();
}

const QVariant &Field::storedValue() const
{
    static const QVariant none;
    const QVector<QVariant> *buf = m_owner->currentBufferConst();
    return buf ? buf->at(m_index) : none;
}

bool Field::isNull() const { return !storedValue().isValid(); }

QVariant Field::fromStorage(const QVariant &v) const
{
    if (!v.isValid())
        return {};
    if (m_def.type == FieldType::Currency)
        return double(v.toLongLong()) / 10000.0;
    return v;
}

QVariant Field::value() const { return fromStorage(rawValue()); }

QVariant Field::toStorage(const QVariant &v) const
{
    if (!v.isValid() || v.isNull())
        return {};
    auto bad = [&]() -> QVariant {
        throw EQxError(QStringLiteral("'%1' non è un valore valido per il campo %2")
                           .arg(Shortened(v.toString()), m_def.name));
    };
    auto outOfRange = [&]() -> QVariant {
        throw EQxError(QStringLiteral("'%1' è fuori dall'intervallo dei valori del campo %2")
                           .arg(Shortened(v.toString()), m_def.name));
    };
    switch (m_def.type) {
    case FieldType::String: {
        QString s = v.typeId() == QMetaType::QDate ? v.toDate().toString(u"dd/MM/yyyy") : v.toString();
        if (m_def.size > 0 && s.size() > m_def.size)
            s.truncate(m_def.size);
        return s;
    }
    case FieldType::Integer: {
        if (v.typeId() == QMetaType::QString) {
            const QString t = v.toString().trimmed();
            if (t.isEmpty())
                return {};
            bool ok = false;
            const qint64 n = t.toLongLong(&ok);
            if (!ok)
                return bad();
            return n;
        }
        if (v.typeId() == QMetaType::Double) {
            const double d = v.toDouble();
            if (!(std::fabs(d) < 9.2e18))
                return outOfRange();
            return qint64(std::llround(d));
        }
        if (v.typeId() == QMetaType::Bool)
            return qint64(v.toBool() ? 1 : 0);
        bool ok = false;
        const qint64 n = v.toLongLong(&ok);
        if (!ok)
            return bad();
        return n;
    }
    case FieldType::Currency: {
        double d = 0;
        if (v.typeId() == QMetaType::QString) {
            if (v.toString().trimmed().isEmpty())
                return {};
            if (!parseNumberText(v.toString(), &d))
                return bad();
        } else {
            bool ok = false;
            d = v.toDouble(&ok);
            if (!ok)
                return bad();
        }
        // Ten-thousandths in 64 bits: beyond that the amount would wrap or
        // saturate into another one.
        if (!(std::fabs(d) < 9.2e14))
            return outOfRange();
        return roundToDecimals(doubleToMoney(d), m_def.decimals > 0 ? m_def.decimals : 4);
    }
    case FieldType::Float: {
        double d = 0;
        if (v.typeId() == QMetaType::QString) {
            if (v.toString().trimmed().isEmpty())
                return {};
            if (!parseNumberText(v.toString(), &d))
                return bad();
            return d;
        }
        bool ok = false;
        d = v.toDouble(&ok);
        if (!ok)
            return bad();
        return d;
    }
    case FieldType::Date:
    case FieldType::DateTime: {
        // A date stays a date: going through a local date-time would consult
        // the time zone for every value read from the database.
        if (m_def.type == FieldType::Date && v.typeId() == QMetaType::QDate)
            return v.toDate().isValid() ? QVariant(v.toDate()) : QVariant();
        QDateTime dt;
        if (v.typeId() == QMetaType::QDate)
            dt = QDateTime(v.toDate(), QTime(0, 0));
        else if (v.typeId() == QMetaType::QDateTime)
            dt = v.toDateTime();
        else {
            const QString t = v.toString().trimmed();
            if (t.isEmpty())
                return {};
            QDate d = QDate::fromString(t, u"dd/MM/yyyy");
            if (!d.isValid())
                d = QDate::fromString(t, Qt::ISODate);
            if (!d.isValid())
                d = QDate::fromString(t.left(10), Qt::ISODate);
            if (!d.isValid())
                return bad();
            if (m_def.type == FieldType::Date)
                return d;
            dt = QDateTime(d, QTime(0, 0));
        }
        if (!dt.isValid())
            return {};
        if (m_def.type == FieldType::Date)
            return dt.date();
        return dt;
    }
    case FieldType::Blob:
        return v.toByteArray();
    case FieldType::Boolean:
        if (v.typeId() == QMetaType::QString) {
            const QString t = v.toString().trimmed().toLower();
            return t == u"1" || t == u"true" || t == u"s" || t == u"si" || t == u"sì";
        }
        return v.toBool();
    }
    return v;
}

// Whether v is already what toStorage() would make of it: a value of the
// very type the field keeps, as the values of a section read from the
// database are.
static bool storedAsGiven(const FieldDef &def, const QVariant &v)
{
    switch (def.type) {
    case FieldType::String:
        return v.typeId() == QMetaType::QString && !v.isNull()
            && (def.size <= 0 || static_cast<const QString *>(v.constData())->size() <= def.size);
    case FieldType::Integer: return v.typeId() == QMetaType::LongLong && !v.isNull();
    case FieldType::Float: return v.typeId() == QMetaType::Double && !v.isNull();
    case FieldType::Date:
        return v.typeId() == QMetaType::QDate && !v.isNull() && static_cast<const QDate *>(v.constData())->isValid();
    default: return false;
    }
}

void Field::setValue(const QVariant &v)
{
    if (storedAsGiven(m_def, v))
        m_owner->setFieldValue(m_index, v);
    else
        m_owner->setFieldValue(m_index, toStorage(v));
}

QString Field::asString() const
{
    const QVariant v = rawValue();
    if (!v.isValid())
        return {};
    switch (m_def.type) {
    case FieldType::Currency:
        return formatMoneyPlain(v.toLongLong(), m_def.decimals > 0 ? m_def.decimals : 2);
    case FieldType::Date:
        return v.toDate().toString(u"dd/MM/yyyy");
    case FieldType::DateTime:
        return v.toDateTime().toString(u"dd/MM/yyyy hh:mm:ss");
    case FieldType::Float:
        return QString::number(v.toDouble(), 'g', 15);
    case FieldType::Boolean:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case FieldType::Blob:
        return QString::fromUtf8(v.toByteArray());
    default:
        return v.toString();
    }
}

void Field::setAsString(const QString &s)
{
    if (m_def.type == FieldType::String)
        setValue(s.isEmpty() ? QVariant() : QVariant(s));
    else
        setValue(s);
}

qint64 Field::asInteger() const
{
    const QVariant v = rawValue();
    if (!v.isValid())
        return 0;
    switch (m_def.type) {
    case FieldType::Currency: return qint64(std::llround(double(v.toLongLong()) / 10000.0));
    case FieldType::Float: return qint64(std::llround(v.toDouble()));
    case FieldType::String: {
        bool ok = false;
        qint64 n = v.toString().trimmed().toLongLong(&ok);
        if (!ok)
            throw EQxError(QStringLiteral("'%1' non è un valore intero valido").arg(v.toString()));
        return n;
    }
    default: return v.toLongLong();
    }
}

double Field::asFloat() const
{
    const QVariant v = rawValue();
    if (!v.isValid())
        return 0.0;
    if (m_def.type == FieldType::Currency)
        return double(v.toLongLong()) / 10000.0;
    if (m_def.type == FieldType::String) {
        double d = 0;
        if (!parseNumberText(v.toString(), &d))
            throw EQxError(QStringLiteral("'%1' non è un valore numerico valido").arg(v.toString()));
        return d;
    }
    return v.toDouble();
}

qint64 Field::asMoney() const
{
    const QVariant v = rawValue();
    if (!v.isValid())
        return 0;
    if (m_def.type == FieldType::Currency)
        return v.toLongLong();
    if (m_def.type == FieldType::Integer)
        return v.toLongLong() * 10000;
    return doubleToMoney(asFloat());
}

void Field::setAsMoney(qint64 tenThousandths)
{
    if (m_def.type == FieldType::Currency)
        m_owner->setFieldValue(m_index, roundToDecimals(tenThousandths, m_def.decimals > 0 ? m_def.decimals : 4));
    else
        setValue(double(tenThousandths) / 10000.0);
}

QDate Field::asDate() const
{
    const QVariant v = rawValue();
    if (!v.isValid())
        return {};
    if (m_def.type == FieldType::DateTime)
        return v.toDateTime().date();
    if (m_def.type == FieldType::Date)
        return v.toDate();
    return toStorage(v.toString()).toDate();
}

QDateTime Field::asDateTime() const
{
    const QVariant v = rawValue();
    if (!v.isValid())
        return {};
    if (m_def.type == FieldType::Date)
        return QDateTime(v.toDate(), QTime(0, 0));
    return v.toDateTime();
}

QByteArray Field::asBlob() const { return rawValue().toByteArray(); }

bool Field::asBoolean() const
{
    const QVariant v = rawValue();
    if (!v.isValid())
        return false;
    if (m_def.type == FieldType::String) {
        const QString t = v.toString().trimmed();
        return t == u"1" || t.compare(u"true", Qt::CaseInsensitive) == 0;
    }
    return v.toLongLong() != 0;
}

QString Field::text(bool display) const
{
    if (onGetText)
        return onGetText(*this, display);
    const QVariant v = rawValue();
    if (!v.isValid())
        return {};
    switch (m_def.type) {
    case FieldType::Currency: {
        const QString fmt = display ? m_displayFormat : m_editFormat;
        return formatFloatPattern(fmt.isEmpty() ? QStringLiteral("#,##0.00") : fmt,
                                  double(v.toLongLong()) / 10000.0);
    }
    case FieldType::Float: {
        const QString fmt = display ? m_displayFormat : m_editFormat;
        if (!fmt.isEmpty())
            return formatFloatPattern(fmt, v.toDouble());
        return QLocale(QLocale::Italian).toString(v.toDouble(), 'g', 15);
    }
    case FieldType::Date:
        return v.toDate().toString(u"dd/MM/yyyy");
    default:
        return asString();
    }
}

QVariant Field::oldValue() const
{
    const auto *r = m_owner->currentRecord();
    if (!r)
        return {};
    if (r->status == UpdateStatus::Inserted)
        return {};
    const QVector<QVariant> &src = r->status == UpdateStatus::Modified ? r->original : r->values;
    return fromStorage(src.value(m_index));
}

QVariant Field::newValue() const { return value(); }

bool Field::isModified() const
{
    const auto *r = m_owner->currentRecord();
    const QVariant now = rawValue();
    if (!r)
        return now.isValid();
    if (r->status == UpdateStatus::Inserted)
        return now.isValid();
    const QVector<QVariant> &src = r->status == UpdateStatus::Modified ? r->original : r->values;
    return src.value(m_index) != now;
}

// ---------------------------------------------------------------- dataset

ClientDataSet::ClientDataSet(QObject *parent) : QObject(parent) {}

ClientDataSet::~ClientDataSet() = default;

void ClientDataSet::addField(const FieldDef &def)
{
    if (isActive())
        throw EQxError(QStringLiteral("Impossibile aggiungere campi a un dataset aperto"));
    if (def.name.isEmpty())
        throw EQxError(QStringLiteral("Nome di campo vuoto"));
    const QString key = def.name.toLower();
    if (m_fieldIndex.contains(key))
        throw EQxError(QStringLiteral("Campo duplicato: %1").arg(def.name));
    const int idx = int(m_fields.size());
    m_fields.push_back(std::make_unique<Field>(this, idx, def));
    m_fieldIndex.insert(key, idx);
    m_fieldExact.insert(def.name, idx);
}

void ClientDataSet::addField(const QString &name, FieldType type, int size, int decimals,
                             bool calculated)
{
    FieldDef d;
    d.name = name;
    d.type = type;
    d.size = size;
    d.decimals = type == FieldType::Currency && decimals == 0 ? 2 : decimals;
    d.calculated = calculated;
    addField(d);
}

QVector<FieldDef> ClientDataSet::fieldDefs() const
{
    QVector<FieldDef> defs;
    for (const auto &f : m_fields)
        defs.append(f->def());
    return defs;
}

void ClientDataSet::setFieldDefs(const QVector<FieldDef> &defs)
{
    clearFields();
    for (const auto &d : defs)
        addField(d);
}

void ClientDataSet::clearFields()
{
    close();
    m_fields.clear();
    m_fieldIndex.clear();
    m_fieldExact.clear();
    m_indexFields.clear();
    m_indexNames.clear();
    m_filterExpr.reset();
}

void ClientDataSet::createDataSet()
{
    close();
    open();
}

Field *ClientDataSet::findField(const QString &name) const
{
    const int i = fieldIndex(name);
    return i < 0 ? nullptr : m_fields[size_t(i)].get();
}

Field *ClientDataSet::fieldByName(const QString &name) const
{
    Field *f = findField(name);
    if (!f)
        throw EQxError(QStringLiteral("Campo '%1' non trovato%2")
                           .arg(name, objectName().isEmpty() ? QString()
                                                              : QStringLiteral(" in ") + objectName()));
    return f;
}

int ClientDataSet::fieldIndex(const QString &name) const
{
    // Most callers spell the name as the structure does: skip the lower-casing.
    const auto exact = m_fieldExact.constFind(name);
    if (exact != m_fieldExact.constEnd())
        return *exact;
    return m_fieldIndex.value(name.toLower(), -1);
}

QStringList ClientDataSet::fieldNames() const
{
    QStringList names;
    for (const auto &f : m_fields)
        names << f->name();
    return names;
}

void ClientDataSet::checkActive() const
{
    if (!isActive())
        throw EQxError(QStringLiteral("Operazione non consentita su un dataset chiuso"));
}

void ClientDataSet::checkBrowse(const char *) const
{
    checkActive();
}

void ClientDataSet::fire(const DataSetEvent &e)
{
    if (e)
        e(*this);
}

void ClientDataSet::open()
{
    if (isActive())
        return;
    fire(events.beforeOpen);
    if (!m_filterText.isEmpty() && !m_filterExpr)
        m_filterExpr = FilterExpr::parse(m_filterText, *this);
    if (!m_indexNames.isEmpty())
        setIndexFieldNames(m_indexNames);
    m_state = DataSetState::Browse;
    // Records placed before opening (a loaded file) get their calculated fields.
    for (auto &r : m_records)
        runCalcFields(r.get());
    rebuildView();
    m_pos = -2;
    setPos(m_view.isEmpty() ? -1 : 0);
    m_bof = true;
    m_eof = m_view.isEmpty();
    notifyState();
    notifyReset();
    fire(events.afterOpen);
}

void ClientDataSet::close()
{
    if (!isActive())
        return;
    fire(events.beforeClose);
    m_state = DataSetState::Inactive;
    m_buffer.clear();
    m_records.clear();
    m_byIdValid = false;
    m_deleted.clear();
    m_view.clear();
    m_pos = -1;
    m_eof = m_bof = true;
    notifyState();
    notifyReset();
    fire(events.afterClose);
}

void ClientDataSet::emptyDataSet()
{
    checkActive();
    if (isEditing())
        cancel();
    m_records.clear();
    m_byIdValid = false;
    m_deleted.clear();
    m_view.clear();
    setPos(-1);
    notifyReset();
}

QVector<QVariant> ClientDataSet::emptyValues() const
{
    return QVector<QVariant>(int(m_fields.size()));
}

ClientDataSet::Record *ClientDataSet::currentRecord() const
{
    if (m_calcRecord)
        return m_calcRecord;
    if (m_state == DataSetState::Insert)
        return nullptr;
    if (m_pos < 0 || m_pos >= m_view.size())
        return nullptr;
    return m_view[m_pos];
}

QVector<QVariant> *ClientDataSet::currentBuffer()
{
    if (m_calcRecord)
        return &m_calcRecord->values;
    if (isEditing())
        return &m_buffer;
    Record *r = currentRecord();
    return r ? &r->values : nullptr;
}

const QVector<QVariant> *ClientDataSet::currentBufferConst() const
{
    return const_cast<ClientDataSet *>(this)->currentBuffer();
}

void ClientDataSet::setFieldValue(int index, const QVariant &storage)
{
    checkActive();
    Field *f = m_fields[size_t(index)].get();
    if (m_state == DataSetState::CalcFields || m_calcRecord) {
        if (!f->isCalculated())
            throw EQxError(QStringLiteral("Campo %1 non modificabile durante il calcolo").arg(f->name()));
        m_calcRecord->values[index] = storage;
        return;
    }
    if (!isEditing()) {
        if (f->isCalculated())
            throw EQxError(QStringLiteral("Campo calcolato %1 non modificabile").arg(f->name()));
        throw EQxError(QStringLiteral("Dataset non in modifica o inserimento (campo %1)").arg(f->name()));
    }
    if (m_readOnly)
        throw EQxError(QStringLiteral("Dataset in sola lettura"));
    if (!f->onValidate) {
        m_buffer[index] = storage;
        notifyRecord(index);
        return;
    }
    QVariant old = m_buffer[index];
    m_buffer[index] = storage;
    try {
        f->onValidate(*f);
    } catch (...) {
        m_buffer[index] = old;
        throw;
    }
    notifyRecord(index);
}

void ClientDataSet::append() { beginInsert(true); }

void ClientDataSet::insert() { beginInsert(false); }

void ClientDataSet::beginInsert(bool appending)
{
    checkActive();
    if (m_readOnly)
        throw EQxError(QStringLiteral("Dataset in sola lettura"));
    checkBrowseMode();
    fire(events.beforeInsert);
    fire(events.beforeScroll);
    m_buffer = emptyValues();
    m_appending = appending;
    m_insertBefore = appending ? -1 : m_pos; // insert() goes before the current record
    m_state = DataSetState::Insert;
    notifyState();
    fire(events.onNewRecord);
    notifyRecord(-1);
    fire(events.afterInsert);
    fire(events.afterScroll);
}

void ClientDataSet::edit()
{
    checkActive();
    if (isEditing())
        return;
    if (m_readOnly)
        throw EQxError(QStringLiteral("Dataset in sola lettura"));
    if (m_view.isEmpty()) {
        append();
        return;
    }
    fire(events.beforeEdit);
    m_buffer = m_view[m_pos]->values;
    m_state = DataSetState::Edit;
    notifyState();
    fire(events.afterEdit);
}

void ClientDataSet::post()
{
    checkActive();
    if (!isEditing())
        return;
    fire(events.beforePost);
    if (m_state == DataSetState::Insert) {
        auto rec = std::make_unique<Record>();
        rec->values = std::move(m_buffer);
        rec->status = m_logChanges ? UpdateStatus::Inserted : UpdateStatus::Unmodified;
        rec->id = m_nextId++;
        Record *r = rec.get();
        if (!m_appending && m_insertBefore >= 0 && m_insertBefore < m_view.size()) {
            // Natural position before the record the cursor was on.
            const int seqBefore = m_view[m_insertBefore]->seq;
            for (auto &other : m_records)
                if (other->seq >= seqBefore)
                    ++other->seq;
            r->seq = seqBefore;
            ++m_nextSeq;
            auto it = std::find_if(m_records.begin(), m_records.end(),
                                   [&](const auto &o) { return o->seq > seqBefore; });
            m_records.insert(it, std::move(rec));
            indexAdded(r);
        } else {
            r->seq = m_nextSeq++;
            m_records.push_back(std::move(rec));
            indexAdded(r);
        }
        m_state = DataSetState::Browse;
        m_buffer.clear();
        runCalcFields(r);
        placeInView(r);
        int idx = viewIndexOf(r);
        if (idx < 0) // filtered out: stay near where it would be
            idx = std::min(int(m_view.size()) - 1, std::max(0, m_insertBefore));
        m_pos = -2; // force a move notification
        setPos(m_view.isEmpty() ? -1 : idx);
    } else {
        Record *r = m_view[m_pos];
        if (r->values != m_buffer) {
            if (m_logChanges && r->status == UpdateStatus::Unmodified) {
                r->original = r->values;
                r->status = UpdateStatus::Modified;
            }
            r->values = m_buffer;
        }
        m_state = DataSetState::Browse;
        m_buffer.clear();
        runCalcFields(r);
        removeFromView(r);
        placeInView(r);
        int idx = viewIndexOf(r);
        if (idx < 0)
            idx = std::min(m_pos, int(m_view.size()) - 1);
        m_pos = -2;
        setPos(m_view.isEmpty() ? -1 : idx);
    }
    notifyState();
    notifyReset();
    fire(events.afterPost);
}

void ClientDataSet::cancel()
{
    if (!isEditing())
        return;
    fire(events.beforeCancel);
    m_state = DataSetState::Browse;
    m_buffer.clear();
    notifyState();
    notifyRecord(-1);
    fire(events.afterCancel);
}

void ClientDataSet::remove()
{
    checkActive();
    if (m_readOnly)
        throw EQxError(QStringLiteral("Dataset in sola lettura"));
    if (m_state == DataSetState::Insert) {
        cancel();
        return;
    }
    if (m_view.isEmpty())
        throw EQxError(QStringLiteral("Nessun record da cancellare"));
    fire(events.beforeDelete);
    if (m_state == DataSetState::Edit) {
        m_state = DataSetState::Browse;
        m_buffer.clear();
    }
    Record *r = m_view[m_pos];
    const int oldPos = m_pos;
    m_view.removeAt(m_pos);
    // The records are kept in natural order, so the record is found by its
    // sequence number without a scan: emptying a large table stays linear.
    auto it = std::lower_bound(m_records.begin(), m_records.end(), r->seq,
                               [](const auto &o, int seq) { return o->seq < seq; });
    if (it == m_records.end() || it->get() != r)
        it = std::find_if(m_records.begin(), m_records.end(), [&](const auto &o) { return o.get() == r; });
    std::unique_ptr<Record> owned = std::move(*it);
    m_records.erase(it);
    indexRemoved(owned.get());
    if (m_logChanges && owned->status != UpdateStatus::Inserted) {
        if (owned->status == UpdateStatus::Unmodified)
            owned->original = owned->values;
        owned->status = UpdateStatus::Deleted;
        m_deleted.push_back(std::move(owned));
    }
    m_pos = -2;
    setPos(m_view.isEmpty() ? -1 : std::min(oldPos, int(m_view.size()) - 1));
    notifyState();
    notifyReset();
    fire(events.afterDelete);
}

void ClientDataSet::checkBrowseMode()
{
    if (isEditing())
        post();
}

void ClientDataSet::appendRecord(const QVariantList &values)
{
    append();
    for (int i = 0; i < values.size() && i < fieldCount(); ++i)
        field(i)->setValue(values[i]);
    post();
}

QVariantList ClientDataSet::recordValues() const
{
    QVariantList values;
    values.reserve(fieldCount());
    for (int i = 0; i < fieldCount(); ++i)
        values << field(i)->value();
    return values;
}

QVariantList ClientDataSet::storedValues() const
{
    const QVector<QVariant> *buf = currentBufferConst();
    return buf ? *buf : emptyValues();
}

void ClientDataSet::appendStoredRecord(const QVariantList &values)
{
    append();
    const bool validated = std::any_of(m_fields.cbegin(), m_fields.cend(), [](const auto &f) { return bool(f->onValidate); });
    if (validated || m_readOnly || values.size() != fieldCount()) {
        for (int i = 0; i < values.size() && i < fieldCount(); ++i)
            setFieldValue(i, values[i]);
    } else {
        m_buffer = values;
        notifyRecord(-1);
    }
    post();
}

// ---------------------------------------------------------------- navigation

void ClientDataSet::setPos(int pos)
{
    const bool moved = pos != m_pos;
    m_pos = pos;
    if (m_view.isEmpty()) {
        m_pos = -1;
        m_bof = m_eof = true;
    }
    if (moved)
        notifyScroll();
}

void ClientDataSet::first()
{
    checkActive();
    checkBrowseMode();
    fire(events.beforeScroll);
    setPos(m_view.isEmpty() ? -1 : 0);
    m_bof = true;
    m_eof = m_view.isEmpty();
    fire(events.afterScroll);
}

void ClientDataSet::last()
{
    checkActive();
    checkBrowseMode();
    fire(events.beforeScroll);
    setPos(int(m_view.size()) - 1);
    m_eof = true;
    m_bof = m_view.isEmpty();
    fire(events.afterScroll);
}

void ClientDataSet::next()
{
    checkActive();
    checkBrowseMode();
    if (m_pos + 1 < m_view.size()) {
        fire(events.beforeScroll);
        setPos(m_pos + 1);
        m_bof = false;
        m_eof = false;
        fire(events.afterScroll);
    } else {
        m_eof = true;
    }
}

void ClientDataSet::prior()
{
    checkActive();
    checkBrowseMode();
    if (m_pos > 0) {
        fire(events.beforeScroll);
        setPos(m_pos - 1);
        m_eof = false;
        m_bof = false;
        fire(events.afterScroll);
    } else {
        m_bof = true;
    }
}

int ClientDataSet::moveBy(int distance)
{
    int moved = 0;
    while (distance > 0 && !eof()) {
        const int before = m_pos;
        next();
        if (m_pos != before)
            ++moved;
        --distance;
    }
    while (distance < 0 && !bof()) {
        const int before = m_pos;
        prior();
        if (m_pos != before)
            --moved;
        ++distance;
    }
    return moved;
}

int ClientDataSet::recNo() const
{
    if (m_state == DataSetState::Insert)
        return -1;
    if (m_view.isEmpty() || m_pos < 0)
        return 0;
    return m_pos + 1;
}

void ClientDataSet::setRecNo(int recNo)
{
    checkActive();
    checkBrowseMode();
    if (recNo < 1 || recNo > m_view.size())
        return;
    fire(events.beforeScroll);
    setPos(recNo - 1);
    m_bof = m_eof = false;
    fire(events.afterScroll);
}

ClientDataSet::Bookmark ClientDataSet::bookmark() const
{
    const Record *r = currentRecord();
    return r ? r->id : 0;
}

bool ClientDataSet::bookmarkValid(Bookmark b) const { return b && viewIndexOf(recordById(b)) >= 0; }

void ClientDataSet::gotoBookmark(Bookmark b)
{
    checkActive();
    checkBrowseMode();
    const int idx = viewIndexOf(recordById(b));
    if (idx < 0)
        throw EQxError(QStringLiteral("Record non trovato"));
    fire(events.beforeScroll);
    setPos(idx);
    m_bof = m_eof = false;
    fire(events.afterScroll);
}

ClientDataSet::Record *ClientDataSet::recordById(quint64 id) const
{
    if (!id)
        return nullptr;
    // Records keep their address for their life; the index is rebuilt only
    // after records were added or removed, so a save that refreshes every
    // record looks each one up in constant time.
    if (!m_byIdValid) {
        m_byId.clear();
        m_byId.reserve(qsizetype(m_records.size()));
        for (const auto &r : m_records)
            m_byId.insert(r->id, r.get());
        m_byIdValid = true;
    }
    return m_byId.value(id, nullptr);
}

void ClientDataSet::indexAdded(Record *r)
{
    if (m_byIdValid)
        m_byId.insert(r->id, r);
}

void ClientDataSet::indexRemoved(const Record *r)
{
    if (m_byIdValid)
        m_byId.remove(r->id);
}

int ClientDataSet::viewIndexOf(const Record *r) const
{
    if (!r)
        return -1;
    // The current and the last record are the usual answers (post, append);
    // checking them first keeps filling a large dataset linear.
    const int n = int(m_view.size());
    if (m_pos >= 0 && m_pos < n && m_view[m_pos] == r)
        return m_pos;
    if (n > 0 && m_view[n - 1] == r)
        return n - 1;
    return int(m_view.indexOf(const_cast<Record *>(r)));
}

static bool locateMatch(const Field *f, const QVariant &stored, const QVariant &wanted,
                        const LocateOptions &opt)
{
    if (!wanted.isValid() || wanted.isNull())
        return !stored.isValid();
    if (!stored.isValid())
        return false;
    if (f->isText()) {
        const QString a = stored.toString();
        const QString b = wanted.toString();
        const Qt::CaseSensitivity cs = opt.caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
        return opt.partialKey ? a.startsWith(b, cs) : a.compare(b, cs) == 0;
    }
    QVariant w;
    try {
        w = f->toStorage(wanted);
    } catch (const EQxError &) {
        return false;
    }
    return w == stored;
}

bool ClientDataSet::locate(const QString &fieldNames, const QVariantList &values, LocateOptions opt)
{
    checkActive();
    checkBrowseMode();
    const QStringList names = fieldNames.split(u';', Qt::SkipEmptyParts);
    QVector<Field *> fs;
    for (const QString &n : names)
        fs << fieldByName(n.trimmed());
    for (int row = 0; row < m_view.size(); ++row) {
        bool ok = true;
        for (int i = 0; i < fs.size() && ok; ++i)
            ok = locateMatch(fs[i], m_view[row]->values[fs[i]->index()], values.value(i), opt);
        if (ok) {
            fire(events.beforeScroll);
            setPos(row);
            m_bof = m_eof = false;
            fire(events.afterScroll);
            return true;
        }
    }
    return false;
}

QVariant ClientDataSet::lookup(const QString &keyFields, const QVariantList &values,
                               const QString &resultField) const
{
    const QStringList names = keyFields.split(u';', Qt::SkipEmptyParts);
    QVector<Field *> fs;
    for (const QString &n : names)
        fs << fieldByName(n.trimmed());
    Field *result = fieldByName(resultField);
    for (const Record *r : m_view) {
        bool ok = true;
        for (int i = 0; i < fs.size() && ok; ++i)
            ok = locateMatch(fs[i], r->values[fs[i]->index()], values.value(i), {});
        if (ok)
            return result->fromStorage(r->values[result->index()]);
    }
    return {};
}

// ---------------------------------------------------------------- filter and index

QString ClientDataSet::quoted(const QString &value)
{
    QString v = value;
    v.replace(u'\'', QStringLiteral("''"));
    return u'\'' + v + u'\'';
}

void ClientDataSet::setFilter(const QString &expression)
{
    std::shared_ptr<FilterExpr> expr;
    if (!expression.trimmed().isEmpty() && !m_fields.empty())
        expr = FilterExpr::parse(expression, *this);
    m_filterText = expression;
    m_filterExpr = expr;
    if (isActive() && m_filtered) {
        checkBrowseMode();
        rebuildView();
        m_pos = -2;
        setPos(m_view.isEmpty() ? -1 : 0);
        notifyReset();
    }
}

void ClientDataSet::setFiltered(bool filtered)
{
    if (filtered == m_filtered)
        return;
    m_filtered = filtered;
    if (isActive()) {
        checkBrowseMode();
        const Record *cur = currentRecord();
        if (filtered && m_view.size() == qsizetype(m_records.size())) {
            // The view holds every record in index order: the filtered view
            // is the part of it that passes, in the same order, with no sort.
            QList<Record *> kept;
            kept.reserve(m_view.size());
            for (Record *r : std::as_const(m_view))
                if (passesFilter(*r))
                    kept.append(r);
            m_view = std::move(kept);
        } else {
            rebuildView();
        }
        int idx = viewIndexOf(cur);
        m_pos = -2;
        setPos(m_view.isEmpty() ? -1 : (idx < 0 ? 0 : idx));
        notifyReset();
    }
}

void ClientDataSet::setIndexFieldNames(const QString &names)
{
    QVector<int> idx;
    for (const QString &n : names.split(u';', Qt::SkipEmptyParts)) {
        const int i = fieldIndex(n.trimmed());
        if (i < 0)
            throw EQxError(QStringLiteral("Campo '%1' dell'indice non trovato").arg(n.trimmed()));
        idx << i;
    }
    m_indexNames = names;
    m_indexFields = idx;
    if (isActive()) {
        checkBrowseMode();
        const Record *cur = currentRecord();
        rebuildView();
        int i = viewIndexOf(cur);
        m_pos = -2;
        setPos(m_view.isEmpty() ? -1 : (i < 0 ? 0 : i));
        notifyReset();
    }
}

bool ClientDataSet::passesFilter(const Record &r) const
{
    if (!m_filtered)
        return true;
    if (m_filterExpr && !m_filterExpr->matches(r.values))
        return false;
    if (events.onFilterRecord) {
        auto *self = const_cast<ClientDataSet *>(this);
        Record *saved = self->m_calcRecord;
        self->m_calcRecord = const_cast<Record *>(&r);
        bool ok = true;
        try {
            ok = events.onFilterRecord(*self);
        } catch (...) {
            self->m_calcRecord = saved;
            throw;
        }
        self->m_calcRecord = saved;
        return ok;
    }
    return true;
}

static int compareStored(const QVariant &a, const QVariant &b, FieldType type)
{
    // Nulls come first, as in the index of a client dataset.
    if (!a.isValid() || !b.isValid())
        return a.isValid() ? 1 : (b.isValid() ? -1 : 0);
    switch (type) {
    case FieldType::String:
        // Texts are stored as QString: compared in place, without copies.
        if (a.typeId() == QMetaType::QString && b.typeId() == QMetaType::QString)
            return QString::compare(*static_cast<const QString *>(a.constData()),
                                    *static_cast<const QString *>(b.constData()));
        return QString::compare(a.toString(), b.toString());
    case FieldType::Integer: case FieldType::Currency: {
        const qint64 x = a.toLongLong(), y = b.toLongLong();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case FieldType::Float: {
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case FieldType::Date: {
        const QDate x = a.toDate(), y = b.toDate();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case FieldType::DateTime: {
        const QDateTime x = a.toDateTime(), y = b.toDateTime();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case FieldType::Boolean:
        return int(a.toBool()) - int(b.toBool());
    case FieldType::Blob:
        return a.toByteArray().compare(b.toByteArray());
    }
    return 0;
}

bool ClientDataSet::lessThan(const Record *a, const Record *b) const
{
    for (int f : m_indexFields) {
        const int c = compareStored(a->values[f], b->values[f], m_fields[size_t(f)]->type());
        if (c != 0)
            return c < 0;
    }
    return a->seq < b->seq; // stable: natural order breaks ties
}

void ClientDataSet::rebuildView()
{
    m_view.clear();
    m_view.reserve(int(m_records.size()));
    for (const auto &r : m_records)
        if (passesFilter(*r))
            m_view.append(r.get());
    if (!m_indexFields.isEmpty())
        std::sort(m_view.begin(), m_view.end(),
                  [this](const Record *a, const Record *b) { return lessThan(a, b); });
    else
        std::sort(m_view.begin(), m_view.end(),
                  [](const Record *a, const Record *b) { return a->seq < b->seq; });
}

void ClientDataSet::placeInView(Record *r)
{
    if (!passesFilter(*r))
        return;
    auto before = [this](const Record *a, const Record *b) {
        return m_indexFields.isEmpty() ? a->seq < b->seq : lessThan(a, b);
    };
    // A record that goes after the last one, as every record of a dataset
    // being filled does, needs no search.
    if (m_view.isEmpty() || !before(r, m_view.last())) {
        m_view.append(r);
        return;
    }
    m_view.insert(std::upper_bound(m_view.begin(), m_view.end(), r, before), r);
}

void ClientDataSet::removeFromView(Record *r)
{
    const int i = viewIndexOf(r);
    if (i >= 0)
        m_view.removeAt(i);
}

// ---------------------------------------------------------------- change log

int ClientDataSet::changeCount() const
{
    int n = int(m_deleted.size());
    for (const auto &r : m_records)
        if (r->status != UpdateStatus::Unmodified)
            ++n;
    return n;
}

void ClientDataSet::mergeChangeLog()
{
    for (auto &r : m_records) {
        r->status = UpdateStatus::Unmodified;
        r->original.clear();
    }
    m_deleted.clear();
}

void ClientDataSet::cancelUpdates()
{
    if (isEditing())
        cancel();
    for (auto it = m_records.begin(); it != m_records.end();) {
        Record *r = it->get();
        if (r->status == UpdateStatus::Inserted) {
            indexRemoved(r);
            it = m_records.erase(it);
            continue;
        }
        if (r->status == UpdateStatus::Modified) {
            r->values = r->original;
            r->original.clear();
            r->status = UpdateStatus::Unmodified;
        }
        ++it;
    }
    for (auto &d : m_deleted) {
        d->values = d->original;
        d->original.clear();
        d->status = UpdateStatus::Unmodified;
        m_records.push_back(std::move(d));
        indexAdded(m_records.back().get());
    }
    m_deleted.clear();
    std::sort(m_records.begin(), m_records.end(),
              [](const auto &a, const auto &b) { return a->seq < b->seq; });
    for (auto &r : m_records)
        runCalcFields(r.get());
    if (isActive()) {
        rebuildView();
        m_pos = -2;
        setPos(m_view.isEmpty() ? -1 : 0);
        notifyReset();
    }
}

UpdateStatus ClientDataSet::updateStatus() const
{
    if (m_state == DataSetState::Insert)
        return UpdateStatus::Inserted;
    const Record *r = currentRecord();
    return r ? r->status : UpdateStatus::Unmodified;
}

QVector<DeltaRecord> ClientDataSet::delta() const
{
    QVector<DeltaRecord> out;
    for (const auto &d : m_deleted)
        out.append({UpdateStatus::Deleted, d->original, d->original, d->id});
    for (const auto &r : m_records) {
        if (r->status == UpdateStatus::Modified)
            out.append({UpdateStatus::Modified, r->values, r->original, r->id});
        else if (r->status == UpdateStatus::Inserted)
            out.append({UpdateStatus::Inserted, r->values, {}, r->id});
    }
    return out;
}

void ClientDataSet::refreshRecordValues(quint64 id, const QVector<QVariant> &values)
{
    Record *r = recordById(id);
    if (!r)
        return;
    for (int i = 0; i < values.size() && i < r->values.size(); ++i)
        r->values[i] = values[i];
    notifyReset();
}

void ClientDataSet::setLogChanges(bool on) { m_logChanges = on; }

// ---------------------------------------------------------------- calc fields

void ClientDataSet::runCalcFields(Record *r)
{
    if (!events.onCalcFields)
        return;
    bool any = false;
    for (const auto &f : m_fields)
        any = any || f->isCalculated();
    if (!any)
        return;
    Record *saved = m_calcRecord;
    const DataSetState savedState = m_state;
    m_calcRecord = r;
    m_state = DataSetState::CalcFields;
    try {
        events.onCalcFields(*this);
    } catch (...) {
        m_calcRecord = saved;
        m_state = savedState;
        throw;
    }
    m_calcRecord = saved;
    m_state = savedState;
}

// ---------------------------------------------------------------- notifications

void ClientDataSet::disableControls() { ++m_disableCount; }

void ClientDataSet::enableControls()
{
    if (m_disableCount > 0 && --m_disableCount == 0) {
        m_pendingReset = false;
        Q_EMIT stateChanged();
        Q_EMIT dataSetChanged();
        Q_EMIT scrolled();
    }
}

void ClientDataSet::notifyReset()
{
    if (m_disableCount == 0)
        Q_EMIT dataSetChanged();
    else
        m_pendingReset = true;
}

void ClientDataSet::notifyRecord(int field)
{
    if (m_disableCount == 0)
        Q_EMIT recordChanged(field);
}

void ClientDataSet::notifyState()
{
    if (m_disableCount == 0)
        Q_EMIT stateChanged();
}

void ClientDataSet::notifyScroll()
{
    if (m_disableCount == 0)
        Q_EMIT scrolled();
}

// ---------------------------------------------------------------- grid access

QVariant ClientDataSet::valueAt(int row, int fieldIndex) const
{
    if (row < 0 || row >= m_view.size() || fieldIndex < 0 || fieldIndex >= fieldCount())
        return {};
    if (row == m_pos && m_state == DataSetState::Edit)
        return m_buffer.value(fieldIndex);
    return m_view[row]->values[fieldIndex];
}

QString ClientDataSet::textAt(int row, int fieldIndex, bool display) const
{
    if (row < 0 || row >= m_view.size())
        return {};
    auto *self = const_cast<ClientDataSet *>(this);
    Record *saved = self->m_calcRecord;
    // Read through the field so that its text handler and formats apply.
    Record tmp;
    const bool editingRow = row == m_pos && m_state == DataSetState::Edit;
    if (editingRow) {
        tmp = *m_view[row];
        tmp.values = m_buffer;
        self->m_calcRecord = &tmp;
    } else {
        self->m_calcRecord = m_view[row];
    }
    QString t;
    try {
        t = field(fieldIndex)->text(display);
    } catch (...) {
        self->m_calcRecord = saved;
        throw;
    }
    self->m_calcRecord = saved;
    return t;
}

quint64 ClientDataSet::idAt(int row) const
{
    return row >= 0 && row < m_view.size() ? m_view[row]->id : 0;
}

void ClientDataSet::copyStructure(const ClientDataSet &other)
{
    setFieldDefs(other.fieldDefs());
}

void ClientDataSet::copyFrom(const ClientDataSet &other)
{
    setFieldDefs(other.fieldDefs());
    m_logChanges = false;
    open();
    for (const Record *r : other.m_view) {
        auto rec = std::make_unique<Record>();
        rec->values = r->values;
        rec->id = m_nextId++;
        rec->seq = m_nextSeq++;
        m_records.push_back(std::move(rec));
        indexAdded(m_records.back().get());
    }
    m_logChanges = true;
    rebuildView();
    m_pos = -2;
    setPos(m_view.isEmpty() ? -1 : 0);
    notifyReset();
}

} // namespace jex
