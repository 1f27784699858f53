#include "telematic/layouts.h"

#include "base/errors.h"
#include "base/outputfile.h"
#include "telematic/generation.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <cerrno>

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

// Length of a positional record without the line end.
constexpr int kRecordLength = 1898;

const QSet<QString> &knownFormats()
{
    // Every format FormatField writes.
    static const QSet<QString> formats = {
        QStringLiteral("AN"), QStringLiteral("CF"), QStringLiteral("PR"), QStringLiteral("CN"),
        QStringLiteral("CB"), QStringLiteral("CP"), QStringLiteral("CB12"), QStringLiteral("DA"),
        QStringLiteral("DT"), QStringLiteral("DP"), QStringLiteral("D4"), QStringLiteral("D6"),
        QStringLiteral("NP"), QStringLiteral("NU"), QStringLiteral("PC"), QStringLiteral("QU"),
        QStringLiteral("NF"), QStringLiteral("N1"), QStringLiteral("N2"), QStringLiteral("N3"),
        QStringLiteral("N5"), QStringLiteral("N6"), QStringLiteral("N10"), QStringLiteral("ND"),
        QStringLiteral("VP")};
    return formats;
}

bool knownInfo(const QString &info)
{
    static const QSet<QString> infos = {
        QStringLiteral("OF"), QStringLiteral("O@"), QStringLiteral("@@"), QStringLiteral("@X"),
        QStringLiteral("@1"), QStringLiteral("T@"), QStringLiteral("TX"), QStringLiteral("A@"),
        QStringLiteral("AX"), QStringLiteral("A1")};
    if (infos.contains(info))
        return true;
    return info.size() == 2
           && ((info[0].isDigit() && info[1] == u'/') || (info[0] == u'/' && info[1].isDigit()));
}

bool knownDataset(const QString &name)
{
    if (name.isEmpty() || name.compare(QLatin1String(kModuleAgent), Qt::CaseInsensitive) == 0)
        return true;
    for (const TableBinding &t : telematicTables())
        if (name.compare(QLatin1String(t.component), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

[[noreturn]] void damagedLayout(const QString &file, const QDomElement &e, const QString &what)
{
    const QString number = e.attribute(QStringLiteral("Number"));
    const QString text = e.attribute(QStringLiteral("Text"));
    QString element = e.tagName();
    if (!number.isEmpty())
        element += QStringLiteral(" %1").arg(number);
    else if (!text.isEmpty())
        element += QStringLiteral(" \"%1\"").arg(text);
    throw EQxError(QStringLiteral("Tracciato %1 danneggiato: %2 (riga %3), %4")
                       .arg(QDir::toNativeSeparators(file), element)
                       .arg(e.lineNumber())
                       .arg(what));
}

// Checks a delivered layout before anything is written from it: a field
// with a wrong width or an unknown format would shift or garble the records
// the agency reads. recordWidth > 0: the fields of a positional record must
// fill exactly that many characters.
void validateLayout(const QString &file, const QDomDocument &doc, const QString &sectionTag,
                    const QString &fieldTag, int recordWidth)
{
    const QDomElement root = doc.documentElement();
    const QList<QDomElement> sections = childrenNamed(root, sectionTag);
    if (sections.isEmpty())
        damagedLayout(file, root, QStringLiteral("nessuna sezione %1").arg(sectionTag));
    int total = 0;
    for (const QDomElement &s : sections) {
        if (!knownDataset(s.attribute(QStringLiteral("Cds"))))
            damagedLayout(file, s, QStringLiteral("archivio sconosciuto \"%1\"").arg(s.attribute(QStringLiteral("Cds"))));
        const QString repeat = s.attribute(QStringLiteral("Repeat"));
        bool repeatNumber = false;
        const int times = repeat.toInt(&repeatNumber);
        if (!repeat.isEmpty() && repeat != u"YES" && repeat != u"NO" && (!repeatNumber || times <= 0))
            damagedLayout(file, s, QStringLiteral("ripetizione non valida \"%1\"").arg(repeat));
        for (const QDomElement &c : childrenNamed(s, fieldTag)) {
            const QString widthText = c.attribute(QStringLiteral("Width")).trimmed();
            bool ok = false;
            const int width = widthText.toInt(&ok);
            if (!ok || width <= 0)
                damagedLayout(file, c, QStringLiteral("larghezza non valida \"%1\"").arg(widthText));
            const QString format = c.attribute(QStringLiteral("Format"));
            if (!knownFormats().contains(format))
                damagedLayout(file, c, QStringLiteral("formato sconosciuto \"%1\"").arg(format));
            const QString info = c.attribute(QStringLiteral("Info"));
            if (!knownInfo(info))
                damagedLayout(file, c, QStringLiteral("tipo di campo sconosciuto \"%1\"").arg(info));
            if (!knownDataset(c.attribute(QStringLiteral("Cds"))))
                damagedLayout(file, c, QStringLiteral("archivio sconosciuto \"%1\"").arg(c.attribute(QStringLiteral("Cds"))));
            total += width;
        }
    }
    if (recordWidth > 0 && total != recordWidth)
        damagedLayout(file, root, QStringLiteral("le larghezze dei campi sommano %1 caratteri invece di %2")
                                      .arg(total).arg(recordWidth));
}

std::shared_ptr<QDomDocument> loadChecked(const QString &file, const QString &rootTag, const QString &sectionTag,
                                          const QString &fieldTag, int recordWidth)
{
    auto doc = loadLayoutDocument(file);
    const QDomElement root = doc->documentElement();
    if (root.tagName() != rootTag)
        throw EQxError(QStringLiteral("Tracciato %1 non valido: l'elemento radice è \"%2\" invece di \"%3\"")
                           .arg(QDir::toNativeSeparators(file), root.tagName(), rootTag));
    validateLayout(file, *doc, sectionTag, fieldTag, recordWidth);
    return doc;
}

} // namespace

TXMLCampoType::TXMLCampoType(const QDomElement &e) : m_e(e), m_v(std::make_shared<Values>())
{
    m_v->number = e.attribute(QStringLiteral("Number"));
    m_v->description = e.attribute(QStringLiteral("Description"));
    m_v->width = e.attribute(QStringLiteral("Width")).trimmed().toInt();
    m_v->format = e.attribute(QStringLiteral("Format"));
    m_v->info = e.attribute(QStringLiteral("Info"));
    m_v->fixed = e.attribute(QStringLiteral("Fixed"));
    m_v->cds = e.attribute(QStringLiteral("Cds"));
    m_v->field = e.attribute(QStringLiteral("Field"));
    m_v->key = m_v->number.trimmed();
    m_v->cdsKey = m_v->cds.toUpper();
}

const QString &TXMLCampoType::none()
{
    static const QString empty;
    return empty;
}

void TXMLCampoType::set(const char *name, const QString &v, QString Values::*member)
{
    m_e.setAttribute(QString::fromLatin1(name), v);
    if (m_v) {
        (*m_v).*member = v;
        m_v->key = m_v->number.trimmed();
        m_v->cdsKey = m_v->cds.toUpper();
    }
}

void TXMLCampoType::setWidth(int v)
{
    m_e.setAttribute(QStringLiteral("Width"), v);
    if (m_v)
        m_v->width = v;
}

TXMLSectionType::TXMLSectionType(const QDomElement &e, const QString &fieldTag)
    : m_e(e), m_text(e.attribute(QStringLiteral("Text"))), m_repeat(e.attribute(QStringLiteral("Repeat"))),
      m_cds(e.attribute(QStringLiteral("Cds")))
{
    for (const QDomElement &c : childrenNamed(e, fieldTag))
        m_fields.append(TXMLCampoType(c));
}

TXMLRecordType::TXMLRecordType(std::shared_ptr<QDomDocument> doc, const QString &rootTag,
                               const QString &sectionTag, const QString &fieldTag)
    : m_doc(std::move(doc)), m_rootTag(rootTag), m_fieldTag(fieldTag)
{
    for (const QDomElement &s : childrenNamed(checkedRoot(*m_doc, rootTag), sectionTag))
        m_sections.append(TXMLSectionType(s, fieldTag));
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
    errno = 0;
    if (!f.open(QIODevice::ReadOnly))
        throw EQxError(QStringLiteral("Impossibile aprire il tracciato %1: %2")
                           .arg(QDir::toNativeSeparators(fileName),
                                errno == ENOENT ? QStringLiteral("file mancante") : systemErrorText(errno)));
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

// Records A and B are written field after field; record Z too, and then
// closed with its last character. Records D, I and J are lists of coded
// fields, so only each field's width is checked.
TXMLRecordAType LoadRecordA(const QString &f)
{ return GetRecordA(loadChecked(f, "RecordA", "SectionA", "CampoA", kRecordLength)); }
TXMLRecordBType LoadRecordB(const QString &f)
{ return GetRecordB(loadChecked(f, "RecordB", "SectionB", "CampoB", kRecordLength)); }
TXMLRecordEType LoadRecordE(const QString &f) { return GetRecordE(loadChecked(f, "RecordE", "SectionE", "CampoE", 0)); }
TXMLRecordJType LoadRecordJ(const QString &f) { return GetRecordJ(loadChecked(f, "RecordJ", "SectionJ", "CampoJ", 0)); }
TXMLRecordZType LoadRecordZ(const QString &f)
{ return GetRecordZ(loadChecked(f, "RecordZ", "SectionZ", "CampoZ", kRecordLength - 1)); }

} // namespace jex
