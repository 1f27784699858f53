// The program's client-dataset files: a self-describing binary table (field
// names, types and sizes, then the rows) closed by a SHA-256 digest of what
// precedes it, so that a damaged or truncated file is recognised. XML data
// packets (<DATAPACKET>) are read as well, for files authored by hand.

#include "dataset/dataset.h"
#include "base/errors.h"
#include "dataset/filterexpr.h"
#include "base/numformat.h"
#include "base/outputfile.h"
#include "dataset.h"
#include "base/errors.h"
#include "filterexpr.h"
#include "base/numformat.h"

#include <cerrno>
#include <algorithm>

#include <QBuffer>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace jex {

namespace {

const char kMagic[8] = {'J', 'E', 'X', 'C', 'D', 'S', '\x01', '\n'};
constexpr int kDigestSize = 32;

enum Tag : quint8 { TNull = 0, TString, TInt, TDouble, TDate, TDateTime, TBytes, TBool };

void writeValue(QDataStream &out, const QVariant &v, FieldType type)
{
    if (!v.isValid()) {
        out << quint8(TNull);
        return;
    }
    switch (type) {
    case FieldType::String:
        out << quint8(TString) << v.toString();
        break;
    case FieldType::Integer:
    case FieldType::Currency:
        out << quint8(TInt) << qint64(v.toLongLong());
        break;
    case FieldType::Float:
        out << quint8(TDouble) << v.toDouble();
        break;
    case FieldType::Date:
        out << quint8(TDate) << qint64(v.toDate().toJulianDay());
        break;
    case FieldType::DateTime:
        out << quint8(TDateTime) << qint64(v.toDateTime().toMSecsSinceEpoch());
        break;
    case FieldType::Blob:
        out << quint8(TBytes) << v.toByteArray();
        break;
    case FieldType::Boolean:
        out << quint8(TBool) << v.toBool();
        break;
    }
}

QVariant readValue(QDataStream &in)
{
    quint8 tag = 0;
    in >> tag;
    switch (tag) {
    case TNull: return {};
    case TString: { QString s; in >> s; return s; }
    case TInt: { qint64 n = 0; in >> n; return n; }
    case TDouble: { double d = 0; in >> d; return d; }
    case TDate: { qint64 j = 0; in >> j; return QDate::fromJulianDay(j); }
    case TDateTime: { qint64 ms = 0; in >> ms; return QDateTime::fromMSecsSinceEpoch(ms); }
    case TBytes: { QByteArray b; in >> b; return b; }
    case TBool: { bool b = false; in >> b; return b; }
    default:
        in.setStatus(QDataStream::ReadCorruptData);
        return {};
    }
}

[[noreturn]] void damaged(const QString &source, const QString &why)
{
    throw EQxError(QStringLiteral("Il file %1 è danneggiato o non è un archivio valido (%2).")
                       .arg(source.isEmpty() ? QStringLiteral("dati") : source, why));
}

FieldType xmlType(const QString &t, int *decimals)
{
    const QString s = t.toLower();
    if (s == u"i4" || s == u"i2" || s == u"i1" || s == u"i8" || s == u"ui4" || s == u"ui2" || s == u"ui1")
        return FieldType::Integer;
    if (s == u"r8")
        return FieldType::Float;
    if (s == u"fixed" || s == u"fixedfmt") {
        if (*decimals == 0)
            *decimals = 4;
        return FieldType::Currency;
    }
    if (s == u"date")
        return FieldType::Date;
    if (s == u"datetime" || s == u"sqltimestamp")
        return FieldType::DateTime;
    if (s == u"bin.hex" || s == u"blob")
        return FieldType::Blob;
    if (s == u"boolean")
        return FieldType::Boolean;
    return FieldType::String;
}

QString xmlTypeName(const FieldDef &d)
{
    switch (d.type) {
    case FieldType::String: return QStringLiteral("string");
    case FieldType::Integer: return QStringLiteral("i4");
    case FieldType::Currency: return QStringLiteral("fixed");
    case FieldType::Float: return QStringLiteral("r8");
    case FieldType::Date: return QStringLiteral("date");
    case FieldType::DateTime: return QStringLiteral("dateTime");
    case FieldType::Blob: return QStringLiteral("bin.hex");
    case FieldType::Boolean: return QStringLiteral("boolean");
    }
    return QStringLiteral("string");
}

} // namespace

QByteArray ClientDataSet::saveToBytes() const
{
    QByteArray body;
    {
        QDataStream out(&body, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_0);
        out.writeRawData(kMagic, sizeof kMagic);
        out << qint32(m_fields.size());
        for (const auto &f : m_fields)
            out << f->name() << qint32(f->type()) << qint32(f->size()) << qint32(f->decimals())
                << f->isCalculated();
        // Pending edits of the current record are not part of the file.
        QVector<const Record *> rows;
        for (const auto &r : m_records)
            rows.append(r.get());
        out << qint64(rows.size());
        for (const Record *r : rows)
            for (int i = 0; i < int(m_fields.size()); ++i)
                writeValue(out, m_fields[size_t(i)]->isCalculated() ? QVariant() : r->values[i],
                           m_fields[size_t(i)]->type());
    }
    body += QCryptographicHash::hash(body, QCryptographicHash::Sha256);
    return body;
}

void ClientDataSet::loadFromBytes(const QByteArray &bytes, const QString &sourceName)
{
    // Parse everything into locals first: a damaged file leaves the dataset as it was.
    QVector<FieldDef> defs;
    std::vector<QVector<QVariant>> rows;
    const QByteArray trimmed = bytes.trimmed();
    if (trimmed.startsWith('<')) {
        QDomDocument doc;
        QString err;
        int line = 0;
        if (!doc.setContent(bytes, &err, &line))
            damaged(sourceName, QStringLiteral("XML non valido alla riga %1: %2").arg(line).arg(err));
        const QDomElement root = doc.documentElement();
        if (root.tagName().compare(u"DATAPACKET", Qt::CaseInsensitive) != 0)
            damaged(sourceName, QStringLiteral("manca DATAPACKET"));
        const QDomNodeList fl = root.elementsByTagName(QStringLiteral("FIELD"));
        for (int i = 0; i < fl.size(); ++i) {
            const QDomElement fe = fl.at(i).toElement();
            FieldDef d;
            d.name = fe.attribute(QStringLiteral("attrname"));
            d.size = fe.attribute(QStringLiteral("WIDTH")).toInt();
            d.decimals = fe.attribute(QStringLiteral("DECIMALS")).toInt();
            d.type = xmlType(fe.attribute(QStringLiteral("fieldtype")), &d.decimals);
            if (fe.attribute(QStringLiteral("SUBTYPE")).compare(u"Text", Qt::CaseInsensitive) == 0)
                d.type = FieldType::String;
            if (d.name.isEmpty())
                damaged(sourceName, QStringLiteral("campo senza nome"));
            defs.append(d);
        }
        const QDomNodeList rl = root.elementsByTagName(QStringLiteral("ROW"));
        ClientDataSet probe;
        probe.setFieldDefs(defs);
        for (int i = 0; i < rl.size(); ++i) {
            const QDomElement re = rl.at(i).toElement();
            QVector<QVariant> values(defs.size());
            for (int f = 0; f < defs.size(); ++f) {
                if (!re.hasAttribute(defs[f].name))
                    continue;
                const QString text = re.attribute(defs[f].name);
                if (defs[f].type == FieldType::Blob) {
                    values[f] = QByteArray::fromBase64(text.toLatin1());
                    continue;
                }
                if (defs[f].type == FieldType::Date || defs[f].type == FieldType::DateTime) {
                    QDate d = QDate::fromString(text.left(8), u"yyyyMMdd");
                    if (!d.isValid())
                        d = QDate::fromString(text.left(10), Qt::ISODate);
                    if (d.isValid())
                        values[f] = defs[f].type == FieldType::Date ? QVariant(d)
                                                                    : QVariant(QDateTime(d, QTime(0, 0)));
                    continue;
                }
                try {
                    values[f] = probe.field(f)->toStorage(text);
                } catch (const EQxError &e) {
                    damaged(sourceName, QStringLiteral("riga %1: %2").arg(i + 1).arg(e.message()));
                }
            }
            rows.push_back(values);
        }
    } else {
        if (bytes.size() < int(sizeof kMagic) + kDigestSize || !bytes.startsWith(QByteArray(kMagic, sizeof kMagic)))
            damaged(sourceName, QStringLiteral("intestazione non riconosciuta"));
        const QByteArray body = bytes.left(bytes.size() - kDigestSize);
        if (QCryptographicHash::hash(body, QCryptographicHash::Sha256) != bytes.right(kDigestSize))
            damaged(sourceName, QStringLiteral("controllo di integrità fallito"));
        QDataStream in(body);
        in.setVersion(QDataStream::Qt_6_0);
        in.skipRawData(sizeof kMagic);
        qint32 nf = 0;
        in >> nf;
        if (nf < 0 || nf > 100000)
            damaged(sourceName, QStringLiteral("numero di campi non valido"));
        for (int i = 0; i < nf; ++i) {
            FieldDef d;
            qint32 type = 0, size = 0, dec = 0;
            in >> d.name >> type >> size >> dec >> d.calculated;
            d.type = FieldType(type);
            d.size = size;
            d.decimals = dec;
            defs.append(d);
        }
        qint64 nr = 0;
        in >> nr;
        if (in.status() != QDataStream::Ok || nr < 0)
            damaged(sourceName, QStringLiteral("struttura illeggibile"));
        rows.reserve(size_t(nr));
        for (qint64 r = 0; r < nr; ++r) {
            QVector<QVariant> values(nf);
            for (int i = 0; i < nf; ++i)
                values[i] = readValue(in);
            if (in.status() != QDataStream::Ok)
                damaged(sourceName, QStringLiteral("riga %1 illeggibile").arg(r + 1));
            rows.push_back(std::move(values));
        }
    }

    close();
    m_fields.clear();
    m_fieldIndex.clear();
    m_fieldExact.clear();
    const QString index = m_indexNames;
    m_indexFields.clear();
    m_indexNames.clear();
    m_filterExpr.reset();
    for (const auto &d : defs)
        addField(d);
    const QStringList indexParts = index.split(u';', Qt::SkipEmptyParts);
    if (!indexParts.isEmpty() && std::all_of(indexParts.cbegin(), indexParts.cend(),
                                             [this](const QString &n) { return hasField(n.trimmed()); }))
        m_indexNames = index;
    m_records.reserve(rows.size());
    for (auto &values : rows) {
        auto rec = std::make_unique<Record>();
        rec->values = std::move(values);
        rec->id = m_nextId++;
        rec->seq = m_nextSeq++;
        m_records.push_back(std::move(rec));
        indexAdded(m_records.back().get());
    }
    if (!m_filterText.isEmpty()) {
        try {
            m_filterExpr = FilterExpr::parse(m_filterText, *this);
        } catch (const EQxError &) {
            m_filterText.clear();
            m_filtered = false;
        }
    }
    open();
}

void ClientDataSet::saveToFile(const QString &path) const
{
    QByteArray bytes;
    if (path.endsWith(u".xml", Qt::CaseInsensitive)) {
        QDomDocument doc;
        QDomElement root = doc.createElement(QStringLiteral("DATAPACKET"));
        root.setAttribute(QStringLiteral("Version"), QStringLiteral("2.0"));
        doc.appendChild(root);
        QDomElement meta = doc.createElement(QStringLiteral("METADATA"));
        QDomElement fields = doc.createElement(QStringLiteral("FIELDS"));
        for (const auto &f : m_fields) {
            QDomElement fe = doc.createElement(QStringLiteral("FIELD"));
            fe.setAttribute(QStringLiteral("attrname"), f->name());
            fe.setAttribute(QStringLiteral("fieldtype"), xmlTypeName(f->def()));
            if (f->size() > 0)
                fe.setAttribute(QStringLiteral("WIDTH"), f->size());
            if (f->type() == FieldType::Currency)
                fe.setAttribute(QStringLiteral("DECIMALS"), f->decimals());
            fields.appendChild(fe);
        }
        meta.appendChild(fields);
        root.appendChild(meta);
        QDomElement data = doc.createElement(QStringLiteral("ROWDATA"));
        for (const auto &r : m_records) {
            QDomElement re = doc.createElement(QStringLiteral("ROW"));
            for (int i = 0; i < int(m_fields.size()); ++i) {
                const QVariant &v = r->values[i];
                if (!v.isValid())
                    continue;
                const Field *f = m_fields[size_t(i)].get();
                QString text;
                switch (f->type()) {
                case FieldType::Currency: text = formatMoneyPlain(v.toLongLong(), 4); break;
                case FieldType::Date: text = v.toDate().toString(u"yyyyMMdd"); break;
                case FieldType::DateTime: text = v.toDateTime().toString(u"yyyyMMddThh:mm:ss"); break;
                case FieldType::Blob: text = QString::fromLatin1(v.toByteArray().toBase64()); break;
                case FieldType::Float: text = QString::number(v.toDouble(), 'g', 17); break;
                default: text = v.toString(); break;
                }
                re.setAttribute(f->name(), text);
            }
            data.appendChild(re);
        }
        root.appendChild(data);
        bytes = doc.toByteArray(1);
    } else {
        bytes = saveToBytes();
    }
    writeOutputFile(path, bytes);
}

void ClientDataSet::loadFromFile(const QString &path)
{
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly))
        throw EQxError(QStringLiteral("Impossibile aprire il file %1: %2").arg(path, errno == ENOENT ? QStringLiteral("il file non esiste") : systemErrorText(errno)));
    loadFromBytes(file.readAll(), path);
}

} // namespace jex
