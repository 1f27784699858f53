#include "printing/printtables.h"

#include "dataset/dataset.h"
#include "database/structureservice.h"
#include "base/errors.h"
#include "base/paths.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QHash>

namespace jex {

namespace {

class DatabaseTables : public PrintTables
{
public:
    void open(const QString &table, ClientDataSet &cds) override
    {
        TQmrDBCds service;
        service.OpenCds(cds, table);
    }
    void save(const QString &table, ClientDataSet &cds) override
    {
        TQmrDBCds service;
        service.SaveCds(cds, table);
    }
};

PrintTables *g_tables = nullptr;

using Catalogue = QHash<QString, QVector<FieldDef>>;

Catalogue loadCatalogue()
{
    Catalogue out;
    QFile f(Paths::catalogueDir() + QStringLiteral("jex.xml"));
    if (!f.open(QIODevice::ReadOnly))
        return out;
    QDomDocument dom;
    if (!dom.setContent(&f))
        return out;
    for (QDomElement t = dom.documentElement().firstChildElement(QStringLiteral("table")); !t.isNull();
         t = t.nextSiblingElement(QStringLiteral("table"))) {
        QVector<FieldDef> defs;
        for (QDomElement c = t.firstChildElement(QStringLiteral("column")); !c.isNull();
             c = c.nextSiblingElement(QStringLiteral("column"))) {
            FieldDef d;
            d.name = c.attribute(QStringLiteral("name"));
            const QString type = c.attribute(QStringLiteral("type"));
            if (type == QLatin1String("decimal")) {
                d.type = FieldType::Currency;
                d.decimals = 2;
            } else if (type == QLatin1String("date")) {
                d.type = FieldType::Date;
            } else if (type == QLatin1String("text")) {
                d.type = FieldType::String;
                d.size = c.attribute(QStringLiteral("size")).toInt();
            } else {
                d.type = FieldType::Integer;
            }
            defs << d;
        }
        for (const char *own : {"IAFIID", "IFISRIGO"}) {
            FieldDef d;
            d.name = QLatin1String(own);
            d.type = FieldType::Integer;
            defs << d;
        }
        out.insert(t.attribute(QStringLiteral("name")).toUpper(), defs);
    }
    return out;
}

} // namespace

PrintTables &printTables()
{
    static DatabaseTables database;
    return g_tables ? *g_tables : database;
}

void setPrintTables(PrintTables *tables) { g_tables = tables; }

void defineFromCatalogue(const QString &table, ClientDataSet &cds)
{
    static const Catalogue catalogue = loadCatalogue();
    const auto it = catalogue.constFind(table.toUpper());
    if (it == catalogue.constEnd())
        throw EQxError(QStringLiteral("Tabella %1 sconosciuta").arg(table));
    cds.setFieldDefs(*it);
    cds.createDataSet();
}

void CdsDirectoryTables::open(const QString &table, ClientDataSet &cds)
{
    const QDir dir(m_dir);
    for (const QString &name : dir.entryList({table + QStringLiteral(".cds")}, QDir::Files)) {
        cds.loadFromFile(dir.filePath(name));
        if (!cds.isActive())
            cds.open();
        return;
    }
    defineFromCatalogue(table, cds);
}

void CdsDirectoryTables::save(const QString &table, ClientDataSet &cds)
{
    cds.mergeChangeLog();
    cds.saveToFile(QDir(m_dir).filePath(table.toUpper() + QStringLiteral(".CDS")));
}

} // namespace jex
