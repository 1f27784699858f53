#include "imports/f24/f24memorystore.h"

#include "base/errors.h"
#include "base/paths.h"

#include <QFile>
#include <QXmlStreamReader>

namespace jex {

namespace {

QString catalogueFile()
{
    return Paths::resolveIn(Paths::catalogueDir(), QStringLiteral("jex.xml"));
}

FieldDef defOf(const QXmlStreamAttributes &a)
{
    FieldDef d;
    d.name = a.value(QLatin1String("name")).toString().toUpper();
    const QString type = a.value(QLatin1String("type")).toString();
    if (type == u"text") {
        d.type = FieldType::String;
        d.size = a.value(QLatin1String("size")).toInt();
    } else if (type == u"decimal") {
        d.type = FieldType::Currency;
        d.decimals = 2;
    } else if (type == u"date") {
        d.type = FieldType::Date;
    } else {
        d.type = FieldType::Integer; // integer, flag, code
    }
    return d;
}

} // namespace

QVector<FieldDef> catalogueFieldDefs(const QString &table)
{
    QFile f(catalogueFile());
    if (!f.open(QIODevice::ReadOnly))
        throw EQxError(QStringLiteral("Impossibile leggere il catalogo delle tabelle %1").arg(f.fileName()));
    QXmlStreamReader xml(&f);
    QVector<FieldDef> defs;
    bool inside = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"table")
            inside = xml.attributes().value(QLatin1String("name")).compare(table, Qt::CaseInsensitive) == 0;
        else if (xml.isEndElement() && xml.name() == u"table" && inside)
            break;
        else if (inside && xml.isStartElement() && xml.name() == u"column")
            defs.append(defOf(xml.attributes()));
    }
    if (defs.isEmpty())
        throw EQxError(QStringLiteral("La tabella %1 non è nel catalogo").arg(table));
    FieldDef afi;
    afi.name = QStringLiteral("IAFIID");
    afi.type = FieldType::Integer;
    FieldDef rigo;
    rigo.name = QStringLiteral("IFISRIGO");
    rigo.type = FieldType::Integer;
    defs << afi << rigo;
    return defs;
}

void MemoryProspettoStore::open(const QString &table, ClientDataSet &cds)
{
    const QString key = table.toUpper();
    cds.close();
    if (m_tables.contains(key)) {
        cds.loadFromBytes(m_tables.value(key), key);
    } else {
        cds.setFieldDefs(catalogueFieldDefs(key));
        cds.createDataSet();
    }
}

void MemoryProspettoStore::save(const QString &table, ClientDataSet &cds)
{
    const QString key = table.toUpper();
    cds.mergeChangeLog();
    m_tables.insert(key, cds.saveToBytes());
    m_saves[key] += 1;
}

} // namespace jex
