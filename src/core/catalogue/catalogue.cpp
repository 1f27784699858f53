#include "catalogue/catalogue.h"
#include "registration.h"

#include "base/errors.h"
#include "base/paths.h"
#include "database/sqlconnection.h"

#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace jex {

QString columnKindName(ColumnKind kind)
{
    switch (kind) {
    case ColumnKind::Text: return QStringLiteral("text");
    case ColumnKind::Integer: return QStringLiteral("integer");
    case ColumnKind::Decimal: return QStringLiteral("decimal");
    case ColumnKind::Date: return QStringLiteral("date");
    case ColumnKind::Flag: return QStringLiteral("flag");
    case ColumnKind::Code: return QStringLiteral("code");
    case ColumnKind::Blob: return QStringLiteral("blob");
    }
    return QStringLiteral("text");
}

FieldType CatalogueColumn::fieldType() const
{
    switch (kind) {
    case ColumnKind::Text: return FieldType::String;
    case ColumnKind::Integer:
    case ColumnKind::Flag:
    case ColumnKind::Code: return FieldType::Integer;
    case ColumnKind::Decimal: return FieldType::Currency;
    case ColumnKind::Date: return FieldType::Date;
    case ColumnKind::Blob: return FieldType::Blob;
    }
    return FieldType::String;
}

const CatalogueColumn *CatalogueTable::column(const QString &n) const
{
    for (const CatalogueColumn &c : columns)
        if (c.name.compare(n, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

namespace {

QStringList splitList(const QString &s) { return s.split(u';', Qt::SkipEmptyParts); }

[[noreturn]] void damaged(const QString &path, const QString &why)
{
    throw EQxError(QStringLiteral("Catalogo delle tabelle %1 non valido: %2").arg(path, why));
}

} // namespace

QString TableCatalogue::defaultFile(const QString &program)
{
    const QString inDist = Paths::resolveIn(Paths::catalogueDir(), program.toLower() + QStringLiteral(".xml"));
    if (QFileInfo::exists(inDist))
        return inDist;
    // A test binary run from the build tree may have no installation yet.
    const QString source = qEnvironmentVariable("JEX770_SOURCE_DIR");
    if (!source.isEmpty()) {
        const QString s = source + QStringLiteral("/data/USR/YR2024/Res/Catalogo/") + program.toLower()
                          + QStringLiteral(".xml");
        if (QFileInfo::exists(s))
            return s;
    }
    return inDist;
}

const TableCatalogue &TableCatalogue::instance()
{
    static TableCatalogue catalogue;
    static bool loaded = false;
    if (!loaded) {
        TableCatalogue fresh;
        fresh.load(defaultFile(QStringLiteral("jex")), defaultFile(QStringLiteral("jey")));
        catalogue = fresh;
        loaded = true;
    }
    return catalogue;
}

void TableCatalogue::load(const QString &jexFile, const QString &jeyFile)
{
    m_tables.clear();
    loadFile(jexFile);
    loadFile(jeyFile);
}

void TableCatalogue::loadFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EQxError(QStringLiteral("Impossibile leggere il catalogo delle tabelle %1").arg(path));
    QDomDocument doc;
    const auto parsed = doc.setContent(&file);
    if (!parsed)
        damaged(path, QStringLiteral("XML non leggibile"));
    const QDomElement root = doc.documentElement();
    if (root.tagName() != u"catalogue")
        damaged(path, QStringLiteral("manca l'elemento catalogue"));
    const QString program = root.attribute(QStringLiteral("program")).toLower();
    if (program.isEmpty())
        damaged(path, QStringLiteral("manca il codice del programma"));
    static const QHash<QString, ColumnKind> kinds{
        {QStringLiteral("text"), ColumnKind::Text},       {QStringLiteral("integer"), ColumnKind::Integer},
        {QStringLiteral("decimal"), ColumnKind::Decimal}, {QStringLiteral("date"), ColumnKind::Date},
        {QStringLiteral("flag"), ColumnKind::Flag},       {QStringLiteral("code"), ColumnKind::Code},
        {QStringLiteral("blob"), ColumnKind::Blob}};
    for (QDomElement te = root.firstChildElement(QStringLiteral("table")); !te.isNull();
         te = te.nextSiblingElement(QStringLiteral("table"))) {
        CatalogueTable t;
        t.program = program;
        t.name = te.attribute(QStringLiteral("name"));
        if (t.name.isEmpty())
            damaged(path, QStringLiteral("tabella senza nome"));
        t.caption = te.attribute(QStringLiteral("caption"));
        t.rows = te.attribute(QStringLiteral("rows"));
        t.key = splitList(te.attribute(QStringLiteral("key")));
        t.sort = splitList(te.attribute(QStringLiteral("sort")));
        t.entrySort = splitList(te.attribute(QStringLiteral("entrySort")));
        t.frame = te.attribute(QStringLiteral("frame"));
        t.fieldmap = te.attribute(QStringLiteral("fieldmap"));
        t.anagrafica = te.attribute(QStringLiteral("anagrafica")) == u"1";
        for (QDomElement ce = te.firstChildElement(QStringLiteral("column")); !ce.isNull();
             ce = ce.nextSiblingElement(QStringLiteral("column"))) {
            CatalogueColumn c;
            c.name = ce.attribute(QStringLiteral("name"));
            const QString type = ce.attribute(QStringLiteral("type"));
            if (c.name.isEmpty())
                damaged(path, QStringLiteral("colonna senza nome in %1").arg(t.name));
            if (!kinds.contains(type))
                damaged(path, QStringLiteral("tipo \"%1\" sconosciuto per %2.%3").arg(type, t.name, c.name));
            c.kind = kinds.value(type);
            c.size = ce.attribute(QStringLiteral("size")).toInt();
            c.decimals = ce.attribute(QStringLiteral("decimals")).toInt();
            if (c.kind == ColumnKind::Decimal && c.decimals == 0)
                c.decimals = 2;
            c.box = ce.attribute(QStringLiteral("box"));
            c.label = ce.attribute(QStringLiteral("label"));
            c.group = ce.attribute(QStringLiteral("group"));
            c.codelist = ce.attribute(QStringLiteral("codelist"));
            c.internal = ce.attribute(QStringLiteral("internal")) == u"1";
            t.columns << c;
        }
        // The service files every row under a registry entry and a number.
        for (const QString &own : {QStringLiteral("IAFIID"), QStringLiteral("IFISRIGO")})
            if (!t.column(own)) {
                CatalogueColumn c;
                c.name = own;
                c.kind = ColumnKind::Integer;
                c.internal = true;
                t.columns << c;
            }
        m_tables << t;
    }
}

QList<const CatalogueTable *> TableCatalogue::tables(const QString &program) const
{
    QList<const CatalogueTable *> out;
    for (const CatalogueTable &t : m_tables)
        if (program.isEmpty() || t.program == program.toLower())
            out << &t;
    return out;
}

const CatalogueTable *TableCatalogue::table(const QString &name) const
{
    for (const CatalogueTable &t : m_tables)
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

const CatalogueTable *TableCatalogue::table(const QString &program, const QString &name) const
{
    for (const CatalogueTable &t : m_tables)
        if (t.program == program.toLower() && t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

void TableCatalogue::makeDataSet(const CatalogueTable &table, ClientDataSet &ds)
{
    ds.clearFields();
    for (const CatalogueColumn &c : table.columns) {
        switch (c.fieldType()) {
        case FieldType::String: ds.addField(c.name, FieldType::String, c.size > 0 ? c.size : 20); break;
        // Columns of three decimals keep them (the dataset rounds to 2 or 4).
        case FieldType::Currency: ds.addField(c.name, FieldType::Currency, 0, c.decimals > 2 ? 4 : 2); break;
        default: ds.addField(c.name, c.fieldType()); break;
        }
    }
    ds.createDataSet();
}

// ---------------------------------------------------------------- seeding

namespace {

// Structures of the 2024 catalogue. A later catalogue registers a part of its
// own that adds new versions, so that the rows of this one stay as they are.
void seedCatalogue2024(TQxSQLConnection &c)
{
    TableCatalogue cat;
    cat.load(TableCatalogue::defaultFile(QStringLiteral("jex")), TableCatalogue::defaultFile(QStringLiteral("jey")));
    // Ids below 100 belong to structures of other modules.
    qint64 next = std::max<qint64>(100, c.scalar(QStringLiteral("SELECT MAX(icdsid) FROM tcds_struttura")).toLongLong() + 1);
    for (const CatalogueTable *t : cat.tables()) {
        ClientDataSet ds;
        TableCatalogue::makeDataSet(*t, ds);
        c.exec(QStringLiteral(
                   "INSERT INTO tcds_struttura (icdsid, scdsprogramma, scdsnome, icdsanno, icdsmese, bcdsschema, "
                   "lcdsanagrafica, lcdsfmapreadonly, icdsrigo, scdsfieldmap) VALUES (:ID, :PROG, :NOME, 2024, 0, "
                   ":SCHEMA, :ANAG, 0, 0, :FMAP)"),
               {{QStringLiteral("ID"), next++},
                {QStringLiteral("PROG"), t->program},
                {QStringLiteral("NOME"), t->name},
                {QStringLiteral("SCHEMA"), ds.saveToBytes()},
                {QStringLiteral("ANAG"), t->anagrafica ? 1 : 0},
                {QStringLiteral("FMAP"), t->fieldmap.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(t->fieldmap)}});
    }
    if (c.dialect() == Dialect::PostgreSQL)
        c.exec(QStringLiteral("SELECT setval('gen_tcds_struttura', %1)").arg(next));
}

} // namespace

void registerCatalogue(Registry &registry)
{
    SchemaPart part;
    part.name = QStringLiteral("catalogue-2024");
    part.order = 50;
    part.seed = seedCatalogue2024;
    registry.schema.add(part);
}


} // namespace jex
