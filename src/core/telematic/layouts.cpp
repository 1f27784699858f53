#include "telematic/layouts.h"

#include "base/errors.h"

#include <QFile>

namespace jex {

namespace {

QList<QDomElement> childrenNamed(const QDomElement &parent, const QString &tag)
{
    QList<QDomElement> out;
    for (QDomElement c = parent.firstChildElement(tag); !c.isNull(); c = c.nextSiblingElement(tag))
        out.append(c);
    return out;
}

QDomElement checkedRoot(const QDomDocument &doc, const QString &rootTag)
{
    QDomElement root = doc.documentElement();
    if (root.tagName() != rootTag)
        throw EQxError(QStringLiteral("Tracciato non valido: l'elemento radice è \"%1\" invece di \"%2\"")
                           .arg(root.tagName(), rootTag));
    return root;
}

} // namespace

TXMLSectionType::TXMLSectionType(const QDomElement &e, const QString &fieldTag)
    : m_e(e), m_fields(childrenNamed(e, fieldTag))
{
}

TXMLRecordType::TXMLRecordType(std::shared_ptr<QDomDocument> doc, const QString &rootTag,
                               const QString &sectionTag, const QString &fieldTag)
    : m_doc(std::move(doc)), m_rootTag(rootTag), m_fieldTag(fieldTag)
{
    m_sections = childrenNamed(checkedRoot(*m_doc, rootTag), sectionTag);
}

TXMLRecordZType::TXMLRecordZType(std::shared_ptr<QDomDocument> doc) : m_doc(std::move(doc))
{
    const QDomElement root = checkedRoot(*m_doc, QStringLiteral("RecordZ"));
    const QList<QDomElement> sections = childrenNamed(root, QStringLiteral("SectionZ"));
    if (sections.size() != 1)
        throw EQxError(QStringLiteral("Tracciato non valido: RecordZ deve contenere una sola SectionZ"));
    m_section = TXMLSectionZType(sections.first(), QStringLiteral("CampoZ"));
}

std::shared_ptr<QDomDocument> loadLayoutDocument(const QString &fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        throw EQxError(QStringLiteral("Impossibile aprire il tracciato %1: %2").arg(fileName, f.errorString()));
    auto doc = std::make_shared<QDomDocument>();
    QString msg;
    int line = 0, col = 0;
    if (!doc->setContent(&f, &msg, &line, &col))
        throw EQxError(QStringLiteral("Tracciato %1 non valido (riga %2, colonna %3): %4")
                           .arg(fileName).arg(line).arg(col).arg(msg));
    return doc;
}

TXMLRecordAType GetRecordA(std::shared_ptr<QDomDocument> d) { return TXMLRecordType(std::move(d), "RecordA", "SectionA", "CampoA"); }
TXMLRecordBType GetRecordB(std::shared_ptr<QDomDocument> d) { return TXMLRecordType(std::move(d), "RecordB", "SectionB", "CampoB"); }
TXMLRecordEType GetRecordE(std::shared_ptr<QDomDocument> d) { return TXMLRecordType(std::move(d), "RecordE", "SectionE", "CampoE"); }
TXMLRecordJType GetRecordJ(std::shared_ptr<QDomDocument> d) { return TXMLRecordType(std::move(d), "RecordJ", "SectionJ", "CampoJ"); }
TXMLRecordZType GetRecordZ(std::shared_ptr<QDomDocument> d) { return TXMLRecordZType(std::move(d)); }

TXMLRecordAType LoadRecordA(const QString &f) { return GetRecordA(loadLayoutDocument(f)); }
TXMLRecordBType LoadRecordB(const QString &f) { return GetRecordB(loadLayoutDocument(f)); }
TXMLRecordEType LoadRecordE(const QString &f) { return GetRecordE(loadLayoutDocument(f)); }
TXMLRecordJType LoadRecordJ(const QString &f) { return GetRecordJ(loadLayoutDocument(f)); }
TXMLRecordZType LoadRecordZ(const QString &f) { return GetRecordZ(loadLayoutDocument(f)); }

} // namespace jex
