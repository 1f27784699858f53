#include "imports/persontable.h"

#include "base/errors.h"
#include "sections/sectionstore.h"

namespace jex {

namespace {
QString text(const ClientDataSet &ds, const QString &column)
{
    const Field *f = ds.findField(column);
    return f ? f->asString() : QString();
}
} // namespace

QString personKey(const QString &codFis) { return codFis.trimmed().toUpper(); }

void PersonTable::open(SectionStore &store)
{
    ClientDataSet all;
    store.openCds(name, all);
    fill(all);
}

void PersonTable::fill(ClientDataSet &all)
{
    ds.copyStructure(all);
    ds.createDataSet();
    rows.clear();
    const int key = all.fieldIndex(keyColumn);
    if (key < 0)
        throw EQxError(QStringLiteral("La tabella %1 non ha la colonna %2").arg(name, keyColumn));
    // Each value as the working dataset stores it, converted once here: the
    // loads of a person then copy the values without converting them again.
    const int n = ds.fieldCount();
    for (all.first(); !all.eof(); all.next()) {
        QVariantList values;
        values.reserve(n);
        for (int i = 0; i < n; ++i)
            values << ds.field(i)->toStorage(all.field(i)->value());
        rows[keyOf(all.field(key)->asString())].append(values);
    }
}

void PersonTable::load(const QString &person, bool keep)
{
    ds.emptyDataSet();
    const QString key = keyOf(person);
    for (const QVariantList &values : rows.value(key))
        ds.appendStoredRecord(values);
    ds.mergeChangeLog();
    ds.first();
    if (!keep)
        rows.remove(key);
}

void PersonTable::keepWorkingRows(const QString &person)
{
    QList<QVariantList> kept;
    for (ds.first(); !ds.eof(); ds.next())
        kept.append(ds.storedValues());
    ds.first();
    if (kept.isEmpty())
        rows.remove(keyOf(person));
    else
        rows.insert(keyOf(person), kept);
}

void PersonTable::clear()
{
    for (ds.first(); !ds.isEmpty();)
        ds.remove();
}

bool PersonTable::editOrAppend(const QList<QPair<QString, QString>> &key)
{
    for (ds.first(); !ds.eof(); ds.next()) {
        bool same = true;
        for (const auto &[column, value] : key)
            same = same && text(ds, column).trimmed() == value.trimmed();
        if (same) {
            ds.edit();
            return false;
        }
    }
    ds.append();
    return true;
}

void PersonTable::link(qint64 afiId)
{
    Field *f = ds.findField(QStringLiteral("IAFIID"));
    if (!f || afiId <= 0)
        return;
    for (ds.first(); !ds.eof(); ds.next()) {
        if (f->asInteger() > 0)
            continue;
        ds.edit();
        f->setValue(afiId);
        ds.post();
    }
}

void PersonTable::save(SectionStore &store)
{
    if (ds.hasPendingChanges())
        store.saveCds(name, ds);
}

} // namespace jex
