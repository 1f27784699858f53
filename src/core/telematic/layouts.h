#pragma once

// Bindings of the record layout files of the telematic file. Every family
// (A, B, E for records D and I, J, Z) has a root that lists sections, and
// sections that list fields; the attributes are read once, when a layout is bound.

#include <QDomDocument>
#include <QDomElement>
#include <QList>
#include <QString>
#include <memory>

namespace jex {

// A field of any family ("CampoA", "CampoB", "CampoE", "CampoJ", "CampoZ").
// Its attributes are read from the element once, when the layout is bound;
// the copies that Items() hands out share them, and a setter changes them
// and the element alike.
class TXMLCampoType
{
public:
    TXMLCampoType() = default;
    explicit TXMLCampoType(const QDomElement &e);
    const QString &Number() const { return m_v ? m_v->number : none(); }
    const QString &Description() const { return m_v ? m_v->description : none(); }
    int Width() const { return m_v ? m_v->width : 0; }
    const QString &Format() const { return m_v ? m_v->format : none(); }
    const QString &Info() const { return m_v ? m_v->info : none(); }
    const QString &Fixed() const { return m_v ? m_v->fixed : none(); }
    const QString &Cds() const { return m_v ? m_v->cds : none(); }
    const QString &Field() const { return m_v ? m_v->field : none(); }
    // The number without surrounding blanks and the component in capitals,
    // as the generation compares them for every value it writes.
    const QString &Key() const { return m_v ? m_v->key : none(); }
    const QString &CdsKey() const { return m_v ? m_v->cdsKey : none(); }
    void setNumber(const QString &v) { set("Number", v, &Values::number); }
    void setDescription(const QString &v) { set("Description", v, &Values::description); }
    void setWidth(int v);
    void setFormat(const QString &v) { set("Format", v, &Values::format); }
    void setInfo(const QString &v) { set("Info", v, &Values::info); }
    void setFixed(const QString &v) { set("Fixed", v, &Values::fixed); }
    void setCds(const QString &v) { set("Cds", v, &Values::cds); }
    void setField(const QString &v) { set("Field", v, &Values::field); }
    const QDomElement &element() const { return m_e; }

private:
    struct Values
    {
        QString number, description, format, info, fixed, cds, field;
        QString key, cdsKey;
        int width = 0;
    };
    static const QString &none();
    void set(const char *name, const QString &v, QString Values::*member);
    QDomElement m_e;
    std::shared_ptr<Values> m_v;
};

// A section: its attributes and its fields by index.
class TXMLSectionType
{
public:
    TXMLSectionType() = default;
    TXMLSectionType(const QDomElement &e, const QString &fieldTag);
    QString Text() const { return m_text; }
    QString Repeat() const { return m_repeat; }
    QString Cds() const { return m_cds; }
    int Count() const { return int(m_fields.size()); }
    const TXMLCampoType &Items(int i) const { return m_fields.at(i); }

private:
    QDomElement m_e;
    QString m_text, m_repeat, m_cds;
    QList<TXMLCampoType> m_fields;
};

// Root of a layout: the loaded document and its sections, bound once.
class TXMLRecordType
{
public:
    TXMLRecordType(std::shared_ptr<QDomDocument> doc, const QString &rootTag,
                   const QString &sectionTag, const QString &fieldTag);
    int Count() const { return int(m_sections.size()); }
    const TXMLSectionType &Items(int i) const { return m_sections.at(i); }
    QString rootTag() const { return m_rootTag; }

private:
    std::shared_ptr<QDomDocument> m_doc;
    QString m_rootTag, m_fieldTag;
    QList<TXMLSectionType> m_sections;
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
