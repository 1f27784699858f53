#include "sections/memorystore.h"

#include "base/errors.h"
#include "base/paths.h"

#include <QDomDocument>
#include <QFile>
#include <QHash>

namespace jex {

namespace {

struct CatalogueCache
{
    QString file;
    QHash<QString, QVector<FieldDef>> tables;
};

const QVector<FieldDef> &catalogueTable(const QString &table, const QString &fileArg)
{
    static CatalogueCache cache;
    QString file = fileArg;
    if (file.isEmpty()) {
        const QString src = qEnvironmentVariable("JEX770_SOURCE_DIR");
        file = Paths::resolveIn(Paths::catalogueDir(), QStringLiteral("jex.xml"));
        if (!QFile::exists(file) && !src.isEmpty())
            file = src + QStringLiteral("/data/USR/YR2024/Res/Catalogo/jex.xml");
    }
    if (cache.file != file) {
        cache.file = file;
        cache.tables.clear();
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            throw EQxError(QStringLiteral("Catalogo delle tabelle non trovato: %1").arg(file));
        QDomDocument doc;
        if (!doc.setContent(&f))
            throw EQxError(QStringLiteral("Catalogo delle tabelle non valido: %1").arg(file));
        for (QDomElement t = doc.documentElement().firstChildElement(QStringLiteral("table")); !t.isNull();
             t = t.nextSiblingElement(QStringLiteral("table"))) {
            QVector<FieldDef> defs;
            defs.append({QStringLiteral("IAFIID"), FieldType::Integer, 0, 0, false});
            defs.append({QStringLiteral("IFISRIGO"), FieldType::Integer, 0, 0, false});
            for (QDomElement c = t.firstChildElement(QStringLiteral("column")); !c.isNull();
                 c = c.nextSiblingElement(QStringLiteral("column"))) {
                const QString type = c.attribute(QStringLiteral("type"));
                FieldDef d;
                d.name = c.attribute(QStringLiteral("name"));
                if (type == u"text") {
                    d.type = FieldType::String;
                    d.size = c.attribute(QStringLiteral("size")).toInt();
                } else if (type == u"decimal") {
                    d.type = FieldType::Currency;
                    d.decimals = 2;
                } else if (type == u"date") {
                    d.type = FieldType::Date;
                } else {
                    d.type = FieldType::Integer; // integer, flag, code
                }
                defs.append(d);
            }
            cache.tables.insert(t.attribute(QStringLiteral("name")).toUpper(), defs);
        }
    }
    auto it = cache.tables.constFind(table.toUpper());
    if (it == cache.tables.constEnd())
        throw EQxError(QStringLiteral("Tabella %1 assente dal catalogo").arg(table));
    return *it;
}

} // namespace

void defineFromCatalogue(ClientDataSet &ds, const QString &table, const QString &catalogueFile)
{
    ds.setFieldDefs(catalogueTable(table, catalogueFile));
    ds.createDataSet();
}

ClientDataSet &MemorySectionStore::table(const QString &name)
{
    auto &slot = m_tables[name.toUpper()];
    if (!slot) {
        slot = std::make_shared<ClientDataSet>();
        defineFromCatalogue(*slot, name, m_catalogue);
    }
    return *slot;
}

SectionAccess MemorySectionStore::access()
{
    SectionAccess a;
    a.open = [this](ClientDataSet &ds, const QString &t) {
        ClientDataSet &src = table(t);
        ds.setFiltered(false);
        ds.setFilter(QString());
        ds.setIndexFieldNames(QString());
        ds.copyFrom(src);
        if (!ds.isActive())
            ds.open();
        ds.mergeChangeLog();
        ds.first();
    };
    a.save = [this](ClientDataSet &ds, const QString &t) {
        ClientDataSet &dst = table(t);
        const QString filter = ds.filter();
        const bool filtered = ds.isFiltered();
        ds.setFiltered(false);
        dst.copyFrom(ds);
        dst.mergeChangeLog();
        ds.setFilter(filter);
        ds.setFiltered(filtered);
        ds.mergeChangeLog();
    };
    return a;
}

} // namespace jex
