#pragma once

// Bindings of the record layout files of the telematic file. Every family
// (A, B, E for records D and I, J, Z) has a root that lists sections, and
// sections that list fields; attributes are read through the DOM at every use.

#include <QDomDocument>
#include <QDomElement>
#include <QList>
#include <QString>
#include <memory>

namespace jex {

// A field of any family ("CampoA", "CampoB", "CampoE", "CampoJ", "CampoZ").
class TXMLCampoType
{
public:
    TXMLCampoType() = default;
    explicit TXMLCampoType(const QDomElement &e) : m_e(e) {}
    QString Number() const { return attr("Number"); }
    QString Description() const { return attr("Description"); }
    int Width() const { return m_e.attribute(QStringLiteral("Width")).trimmed().toInt(); }
    QString Format() const { return attr("Format"); }
    QString Info() const { return attr("Info"); }
    QString Fixed() const { return attr("Fixed"); }
    QString Cds() const { return attr("Cds"); }
    QString Field() const { return attr("Field"); }
    void setNumber(const QString &v) { m_e.setAttribute(QStringLiteral("Number"), v); }
    void setDescription(const QString &v) { m_e.setAttribute(QStringLiteral("Description"), v); }
    void setWidth(int v) { m_e.setAttribute(QStringLiteral("Width"), v); }
    void setFormat(const QString &v) { m_e.setAttribute(QStringLiteral("Format"), v); }
    void setInfo(const QString &v) { m_e.setAttribute(QStringLiteral("Info"), v); }
    void setFixed(const QString &v) { m_e.setAttribute(QStringLiteral("Fixed"), v); }
    void setCds(const QString &v) { m_e.setAttribute(QStringLiteral("Cds"), v); }
    void setField(const QString &v) { m_e.setAttribute(QStringLiteral("Field"), v); }
    const QDomElement &element() const { return m_e; }

private:
    QString attr(const char *name) const { return m_e.attribute(QString::fromLatin1(name)); }
    QDomElement m_e;
};

// A section: its attributes and its fields by index.
class TXMLSectionType
{
public:
    TXMLSectionType() = default;
    TXMLSectionType(const QDomElement &e, const QString &fieldTag);
    QString Text() const { return m_e.attribute(QStringLiteral("Text")); }
    QString Repeat() const { return m_e.attribute(QStringLiteral("Repeat")); }
    QString Cds() const { return m_e.attribute(QStringLiteral("Cds")); }
    int Count() const { return int(m_fields.size()); }
    TXMLCampoType Items(int i) const { return TXMLCampoType(m_fields.at(i)); }

private:
    QDomElement m_e;
    QList<QDomElement> m_fields;
};

// Root of a layout: the loaded document and its sections.
class TXMLRecordType
{
public:
    TXMLRecordType(std::shared_ptr<QDomDocument> doc, const QString &rootTag,
                   const QString &sectionTag, const QString &fieldTag);
    int Count() const { return int(m_sections.size()); }
    TXMLSectionType Items(int i) const { return TXMLSectionType(m_sections.at(i), m_fieldTag); }
    QString rootTag() const { return m_rootTag; }

private:
    std::shared_ptr<QDomDocument> m_doc;
    QString m_rootTag, m_fieldTag;
    QList<QDomElement> m_sections;
};

using TXMLRecordAType = TXMLRecordType;
using TXMLRecordBType = TXMLRecordType;
using TXMLRecordEType = TXMLRecordType;
using TXMLRecordJType = TXMLRecordType;
using TXMLSectionAType = TXMLSectionType;
using TXMLSectionBType = TXMLSectionType;
using TXMLSectionEType = TXMLSectionType;
using TXMLSectionJType = TXMLSectionType;
using TXMLSectionZType = TXMLSectionType;
using TXMLCampoAType = TXMLCampoType;
using TXMLCampoBType = TXMLCampoType;
using TXMLCampoEType = TXMLCampoType;
using TXMLCampoJType = TXMLCampoType;
using TXMLCampoZType = TXMLCampoType;

// Record Z has exactly one section.
class TXMLRecordZType
{
public:
    explicit TXMLRecordZType(std::shared_ptr<QDomDocument> doc);
    TXMLSectionZType SectionZ() const { return m_section; }

private:
    std::shared_ptr<QDomDocument> m_doc;
    TXMLSectionZType m_section;
};

enum class RecordFamily { A, B, E, J, Z };

// Parses a layout file; throws EQxError when it is missing or malformed.
std::shared_ptr<QDomDocument> loadLayoutDocument(const QString &fileName);

// Load functions: take a file name, check the family's root tag.
TXMLRecordAType LoadRecordA(const QString &fileName);
TXMLRecordBType LoadRecordB(const QString &fileName);
TXMLRecordEType LoadRecordE(const QString &fileName);
TXMLRecordJType LoadRecordJ(const QString &fileName);
TXMLRecordZType LoadRecordZ(const QString &fileName);
// Roots of already loaded documents.
TXMLRecordAType GetRecordA(std::shared_ptr<QDomDocument> doc);
TXMLRecordBType GetRecordB(std::shared_ptr<QDomDocument> doc);
TXMLRecordEType GetRecordE(std::shared_ptr<QDomDocument> doc);
TXMLRecordJType GetRecordJ(std::shared_ptr<QDomDocument> doc);
TXMLRecordZType GetRecordZ(std::shared_ptr<QDomDocument> doc);

} // namespace jex
