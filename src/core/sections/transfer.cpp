#include "sections/transfer.h"
#include "registration.h"

#include "base/appcontext.h"
#include "base/commands.h"
#include "database/structureservice.h"
#include "catalogue/catalogue.h"
#include "base/errors.h"
#include "base/messages.h"
#include "base/appcontext.h"
#include "base/commands.h"
#include "database/structureservice.h"
#include "base/errors.h"
#include "base/messages.h"
#include "base/strutil.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>
#include <vector>

namespace jex {

// ---------------------------------------------------------------- hooks

namespace {
QHash<QString, QList<SectionLoadHooks::RowCheck>> &checks()
{
    static QHash<QString, QList<SectionLoadHooks::RowCheck>> h;
    return h;
}
QHash<QString, QList<SectionLoadHooks::Warnings>> &warnings()
{
    static QHash<QString, QList<SectionLoadHooks::Warnings>> h;
    return h;
}
QList<SectionLoadHooks::RowWarnings> &rowWarnings()
{
    static QList<SectionLoadHooks::RowWarnings> l;
    return l;
}
} // namespace

void SectionLoadHooks::addRowCheck(const QString &table, const RowCheck &check)
{
    checks()[table.toUpper()].append(check);
}

void SectionLoadHooks::addRowWarnings(const RowWarnings &w) { rowWarnings().append(w); }

QStringList SectionLoadHooks::runRowWarnings(const ClientDataSet &ds)
{
    QStringList out;
    for (const RowWarnings &w : rowWarnings())
        out << w(ds);
    return out;
}

void SectionLoadHooks::addWarnings(const QString &table, const Warnings &w)
{
    warnings()[table.toUpper()].append(w);
}

SectionLoadHooks::Fault SectionLoadHooks::checkRow(const QString &table, const ClientDataSet &ds)
{
    for (const RowCheck &c : checks().value(table.toUpper()))
        if (Fault f = c(ds); !f.isEmpty())
            return f;
    return {};
}

QStringList SectionLoadHooks::runWarnings(const QString &table, ClientDataSet &ds)
{
    QStringList out;
    for (const Warnings &w : warnings().value(table.toUpper())) {
        out << w(ds);
        ds.first();
    }
    return out;
}

// ---------------------------------------------------------------- show

namespace {

// The decimal digits of n, at least width of them (zeros in front), written
// backwards from end; returns where they begin.
char16_t *digitsBefore(char16_t *end, quint64 n, int width = 1)
{
    do {
        *--end = char16_t(u'0' + n % 10);
        n /= 10;
        --width;
    } while (n != 0 || width > 0);
    return end;
}

// Room enough for an amount or an integer of 64 bits with its sign.
constexpr int kNumberRoom = 32;

// An amount with its decimals and a point, "-1234.50", written at the end of
// buf[kNumberRoom]; returns where it begins.
char16_t *moneyChars(char16_t *buf, qint64 tenThousandths, int decimals)
{
    const bool negative = tenThousandths < 0;
    quint64 m = negative ? 0 - quint64(tenThousandths) : quint64(tenThousandths);
    const int dec = decimals > 0 && decimals <= 4 ? decimals : 2;
    quint64 div = 1;
    for (int i = dec; i < 4; ++i)
        div *= 10;
    m = (m + div / 2) / div; // amounts are kept to their decimals already
    quint64 unit = 1;
    for (int i = 0; i < dec; ++i)
        unit *= 10;
    char16_t *p = digitsBefore(buf + kNumberRoom, m % unit, dec);
    *--p = u'.';
    p = digitsBefore(p, m / unit);
    if (negative)
        *--p = u'-';
    return p;
}

QString moneyText(qint64 tenThousandths, int decimals)
{
    char16_t buf[kNumberRoom];
    const char16_t *p = moneyChars(buf, tenThousandths, decimals);
    return QString(reinterpret_cast<const QChar *>(p), buf + kNumberRoom - p);
}

// The CSV text as it is written: characters go straight into a string that
// grows by doubling, without a call of QString per character.
class CsvText
{
public:
    void reserve(qsizetype n)
    {
        if (n > m_text.size())
            grow(n);
    }
    void put(char16_t c)
    {
        if (m_used == m_text.size())
            grow(m_used + 1);
        m_data[m_used++] = c;
    }
    void put(const char16_t *from, qsizetype n)
    {
        if (m_used + n > m_text.size())
            grow(m_used + n);
        std::copy(from, from + n, m_data + m_used);
        m_used += n;
    }
    void put(QStringView s) { put(s.utf16(), s.size()); }
    qsizetype size() const { return m_used; }
    QString take()
    {
        m_text.truncate(m_used);
        m_data = nullptr;
        m_used = 0;
        return std::move(m_text);
    }

private:
    void grow(qsizetype n)
    {
        m_text.resize(std::max(n, m_text.size() * 2 + 4096));
        m_data = reinterpret_cast<char16_t *>(m_text.data());
    }

    QString m_text;
    char16_t *m_data = nullptr;
    qsizetype m_used = 0;
};

void putNumber(CsvText &out, const char16_t *from, const char16_t *end) { out.put(from, end - from); }

// yyyy-MM-dd; years of other than four digits as QDate writes them.
void putIsoDate(CsvText &out, const QDate &d)
{
    int y = 0, m = 0, day = 0;
    d.getDate(&y, &m, &day);
    if (y < 1000 || y > 9999) {
        out.put(d.toString(u"yyyy-MM-dd"));
        return;
    }
    char16_t buf[10];
    digitsBefore(buf + 4, quint64(y), 4);
    buf[4] = u'-';
    digitsBefore(buf + 7, quint64(m), 2);
    buf[7] = u'-';
    digitsBefore(buf + 10, quint64(day), 2);
    out.put(buf, 10);
}

// A text cell, in double quotes when it holds the separator, a quote or a
// line break.
void putCsvText(CsvText &out, const QString &s)
{
    bool quote = false;
    for (const QChar c : s)
        if (c == u';' || c == u'"' || c == u'\n' || c == u'\r') {
            quote = true;
            break;
        }
    if (!quote) {
        out.put(s);
        return;
    }
    out.put(u'"');
    for (const QChar c : s) {
        if (c == u'"')
            out.put(u'"');
        out.put(c.unicode());
    }
    out.put(u'"');
}

void putCsvCell(CsvText &out, const Field *f)
{
    const QVariant &v = f->storedValue();
    if (!v.isValid())
        return;
    char16_t buf[kNumberRoom];
    char16_t *const end = buf + kNumberRoom;
    switch (f->type()) {
    case FieldType::Currency: putNumber(out, moneyChars(buf, v.toLongLong(), f->decimals()), end); return;
    case FieldType::Float: out.put(QString::number(v.toDouble(), 'g', 15)); return;
    case FieldType::Date: putIsoDate(out, v.toDate()); return;
    case FieldType::DateTime: putIsoDate(out, f->asDate()); return;
    case FieldType::Integer: {
        const qint64 n = v.toLongLong();
        char16_t *p = digitsBefore(end, n < 0 ? 0 - quint64(n) : quint64(n));
        if (n < 0)
            *--p = u'-';
        putNumber(out, p, end);
        return;
    }
    case FieldType::String:
        if (v.typeId() == QMetaType::QString) {
            putCsvText(out, *static_cast<const QString *>(v.constData()));
            return;
        }
        break;
    default: break;
    }
    putCsvText(out, f->asString());
}

QJsonValue jsonValue(const Field *f)
{
    if (f->isNull())
        return QJsonValue::Null;
    switch (f->type()) {
    case FieldType::Currency: return moneyText(f->asMoney(), f->decimals()).toDouble();
    case FieldType::Float: return f->asFloat();
    case FieldType::Integer: return f->asInteger();
    case FieldType::Date:
    case FieldType::DateTime: return f->asDate().toString(u"yyyy-MM-dd");
    default: return f->asString();
    }
}

} // namespace

QString formatSection(ClientDataSet &ds, SectionFormat format)
{
    if (format == SectionFormat::Json) {
        QJsonArray rows;
        for (ds.first(); !ds.eof(); ds.next()) {
            QJsonObject o;
            for (int i = 0; i < ds.fieldCount(); ++i)
                o.insert(ds.field(i)->name(), jsonValue(ds.field(i)));
            rows.append(o);
        }
        return QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Indented));
    }
    // The cells are written straight into the text, which is sized once
    // after the first record for all of them.
    CsvText out;
    out.put(ds.fieldNames().join(u';'));
    out.put(u'\n');
    const int n = ds.fieldCount();
    std::vector<const Field *> fields(size_t(std::max(n, 0)));
    for (int i = 0; i < n; ++i)
        fields[size_t(i)] = ds.field(i);
    bool sized = false;
    for (ds.first(); !ds.eof(); ds.next()) {
        const qsizetype start = out.size();
        for (int i = 0; i < n; ++i) {
            if (i > 0)
                out.put(u';');
            putCsvCell(out, fields[size_t(i)]);
        }
        out.put(u'\n');
        if (!sized) {
            out.reserve(start + (out.size() - start + 8) * qsizetype(ds.recordCount()) * 5 / 4);
            sized = true;
        }
    }
    return out.take();
}

// ---------------------------------------------------------------- load

namespace {

struct InputCell
{
    const CatalogueColumn *column;
    QString written; // the column's name as the file writes it
    QVariant value;  // text, or a JSON true/false
};

struct InputRow
{
    QString place; // "riga N" of a CSV, "elemento N" of a JSON array
    QList<InputCell> cells;
};

[[noreturn]] void refuseFile(const QString &why)
{
    throw EQxError(QStringLiteral("Il file non è stato caricato: %1").arg(why));
}

[[noreturn]] void refuse(const QString &place, const QString &column, const QString &why)
{
    refuseFile(QStringLiteral("%1, colonna %2: %3").arg(place, column, why));
}

// Characters no text of the return may hold: the control characters (a line
// break would split a record of the telematic file, a NUL cut it short), the
// line separators, and the replacement character a failed conversion leaves.
bool forbiddenInText(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029 || c == 0xfffd;
}

int firstForbidden(const QString &s)
{
    for (int i = 0; i < s.size(); ++i)
        if (forbiddenInText(s[i].unicode()))
            return i;
    return -1;
}

QString codePoint(QChar c) { return QStringLiteral("U+%1").arg(int(c.unicode()), 4, 16, QLatin1Char('0')).toUpper(); }

QString forbiddenWhy(QChar c)
{
    if (c.unicode() == 0xfffd)
        return QStringLiteral("il testo contiene il carattere sostitutivo U+FFFD, segno di una conversione dei caratteri "
                              "non riuscita prima di questo file: correggere il testo");
    QString name;
    switch (c.unicode()) {
    case 0x0: name = QStringLiteral(", NUL"); break;
    case 0x9: name = QStringLiteral(", tabulazione"); break;
    case 0xa: name = QStringLiteral(", a capo"); break;
    case 0xd: name = QStringLiteral(", ritorno a inizio riga"); break;
    default: break;
    }
    return QStringLiteral("il testo contiene un carattere di controllo (%1%2), che il file telematico non ammette")
        .arg(codePoint(c), name);
}

// A character beyond Latin-1, which the telematic file cannot carry (it would
// be written as "?"), told with what to type instead when there is a usual one.
QString beyondLatin1Why(QChar c)
{
    static const QHash<char16_t, QString> instead{
        {0x2018, QStringLiteral("'")}, {0x2019, QStringLiteral("'")}, {0x201a, QStringLiteral("'")},
        {0x201c, QStringLiteral("\"")}, {0x201d, QStringLiteral("\"")}, {0x201e, QStringLiteral("\"")},
        {0x2013, QStringLiteral("-")}, {0x2014, QStringLiteral("-")}, {0x2026, QStringLiteral("...")},
        {0x20ac, QStringLiteral("EUR")}, {0x2022, QStringLiteral("-")}};
    QString why = QStringLiteral("il testo contiene il carattere %1 (%2), che il file telematico non può contenere")
                      .arg(c, codePoint(c));
    if (const auto it = instead.constFind(c.unicode()); it != instead.cend())
        why += QStringLiteral(": scrivere %1 al suo posto").arg(*it);
    return why;
}

// A value as a message quotes it: cut when long, control characters shown by code.
QString shown(const QString &s)
{
    QString out = Shortened(s, 60);
    for (int i = out.size() - 1; i >= 0; --i)
        if (forbiddenInText(out[i].unicode()) && out[i].unicode() != 0xfffd)
            out.replace(i, 1, u'<' + codePoint(out[i]) + u'>');
    return out;
}

// The file's text: UTF-8, or Windows-1252 when the bytes are not valid UTF-8,
// as spreadsheet programs on Windows save. The five bytes Windows-1252 leaves
// undefined become control characters, which the checks of the cells refuse.
QString decodeText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    static const char16_t windows1252[32] = {
        0x20ac, 0x0081, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021, 0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008d, 0x017d, 0x008f,
        0x0090, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014, 0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0x009d, 0x017e, 0x0178};
    text.clear();
    text.reserve(bytes.size());
    for (const char b : bytes) {
        const uchar u = uchar(b);
        text += (u >= 0x80 && u < 0xa0) ? QChar(windows1252[u - 0x80]) : QChar(u);
    }
    return text;
}

QList<QStringList> parseCsv(const QString &text, QList<int> &lines, QChar sep)
{
    QList<QStringList> records;
    QStringList cur;
    QString cell;
    bool quoted = false, any = false;
    int line = 1, startLine = 1;
    for (int i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (quoted) {
            if (ch == u'"') {
                if (i + 1 < text.size() && text[i + 1] == u'"') {
                    cell += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (ch == u'\n')
                    ++line;
                cell += ch;
            }
            continue;
        }
        if (ch == u'"' && cell.isEmpty()) {
            quoted = true;
            any = true;
        } else if (ch == sep) {
            cur.append(std::move(cell));
            cell = QString();
            any = true;
        } else if (ch == u'\r') {
            continue;
        } else if (ch == u'\n') {
            if (any || !cell.isEmpty()) {
                cur.append(std::move(cell));
                records.append(std::move(cur));
                lines << startLine;
            }
            cur = QStringList();
            cell = QString();
            any = false;
            ++line;
            startLine = line;
        } else {
            // The rest of the cell up to what ends it or is left out, at once.
            int j = i + 1;
            while (j < text.size() && text[j] != sep && text[j] != u'\n' && text[j] != u'\r')
                ++j;
            cell.append(QStringView(text).sliced(i, j - i));
            any = true;
            i = j - 1;
        }
    }
    if (any || !cell.isEmpty()) {
        cur << cell;
        records << cur;
        lines << startLine;
    }
    return records;
}

// The column a name of the file stands for; refuses a name the table does not have.
const CatalogueColumn &knownColumn(const CatalogueTable &table, const QString &place, const QString &name)
{
    const CatalogueColumn *col = table.column(name);
    if (!col)
        refuse(place, shown(name), QStringLiteral("colonna sconosciuta nella tabella %1").arg(table.name));
    return *col;
}

QList<InputRow> readCsv(const QString &text, const CatalogueTable &table)
{
    const QString firstLine = text.section(u'\n', 0, 0);
    const QChar sep = firstLine.contains(u';') ? u';' : u',';
    QList<int> lines;
    const QList<QStringList> records = parseCsv(text, lines, sep);
    QList<InputRow> rows;
    if (records.isEmpty())
        return rows;
    // The header must name columns of the table, each once, before any row
    // is read: a file that is not one of this table's replaces nothing.
    const QString headerPlace = QStringLiteral("riga %1").arg(lines.first());
    QStringList header;
    QList<const CatalogueColumn *> columns;
    QHash<QString, int> position;
    for (int c = 0; c < records.first().size(); ++c) {
        const QString name = records.first()[c].trimmed();
        if (name.isEmpty())
            refuse(headerPlace, QStringLiteral("n. %1").arg(c + 1),
                   QStringLiteral("nome di colonna vuoto nell'intestazione"));
        if (const int bad = firstForbidden(name); bad >= 0)
            refuseFile(QStringLiteral("%1: l'intestazione contiene il carattere %2: il file non è un CSV di testo con i nomi "
                                      "delle colonne della tabella %3").arg(headerPlace, codePoint(name[bad]), table.name));
        const CatalogueColumn &col = knownColumn(table, headerPlace, name);
        if (const auto it = position.constFind(col.name.toUpper()); it != position.cend())
            refuse(headerPlace, shown(name), QStringLiteral("colonna ripetuta nell'intestazione (colonne n. %1 e %2)")
                                                 .arg(*it + 1).arg(c + 1));
        position.insert(col.name.toUpper(), c);
        header << name;
        columns << &col;
    }
    for (int r = 1; r < records.size(); ++r) {
        const QStringList &rec = records[r];
        if (rec.size() == 1 && rec[0].trimmed().isEmpty())
            continue;
        const QString place = QStringLiteral("riga %1").arg(lines[r]);
        if (rec.size() > header.size())
            refuse(place, QStringLiteral("n. %1").arg(header.size() + 1),
                   QStringLiteral("più valori che colonne nell'intestazione"));
        InputRow row{place, {}};
        row.cells.reserve(rec.size());
        for (int c = 0; c < rec.size(); ++c)
            row.cells.append({columns[c], header[c], rec[c]});
        rows.append(std::move(row));
    }
    return rows;
}

QString jsonErrorText(QJsonParseError::ParseError e)
{
    switch (e) {
    case QJsonParseError::UnterminatedObject: return QStringLiteral("oggetto non chiuso da }");
    case QJsonParseError::MissingNameSeparator: return QStringLiteral("manca \":\" dopo il nome di una colonna");
    case QJsonParseError::UnterminatedArray: return QStringLiteral("array non chiuso da ]");
    case QJsonParseError::MissingValueSeparator: return QStringLiteral("manca la virgola tra due valori");
    case QJsonParseError::IllegalValue: return QStringLiteral("valore non valido");
    case QJsonParseError::TerminationByNumber: return QStringLiteral("il file finisce dentro un numero");
    case QJsonParseError::IllegalNumber: return QStringLiteral("numero non valido");
    case QJsonParseError::IllegalEscapeSequence: return QStringLiteral("sequenza con \\ non valida");
    case QJsonParseError::IllegalUTF8String: return QStringLiteral("testo con caratteri non validi");
    case QJsonParseError::UnterminatedString: return QStringLiteral("testo non chiuso dalle virgolette");
    case QJsonParseError::MissingObject: return QStringLiteral("atteso un oggetto");
    case QJsonParseError::DeepNesting: return QStringLiteral("troppi livelli annidati");
    case QJsonParseError::DocumentTooLarge: return QStringLiteral("documento troppo grande");
    case QJsonParseError::GarbageAtEnd: return QStringLiteral("altro testo dopo la fine dell'array");
    default: return QStringLiteral("errore di sintassi");
    }
}

// A name written twice in one element of the array: the JSON reader keeps
// one of the two values without a word, as a CSV header must not. The scan
// follows strings and nesting; it runs only on a document already parsed.
void refuseDuplicateNames(const QString &text)
{
    int depth = 0, element = 0;
    QSet<QString> names;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"') {
            const int start = ++i;
            while (i < text.size() && text[i] != u'"')
                i += text[i] == u'\\' ? 2 : 1;
            if (depth != 2)
                continue;
            int j = i + 1;
            while (j < text.size() && text[j].isSpace())
                ++j;
            if (j < text.size() && text[j] == u':') {
                const QString name = text.mid(start, i - start);
                if (names.contains(name))
                    refuse(QStringLiteral("elemento %1").arg(element), shown(name),
                           QStringLiteral("nome ripetuto nello stesso oggetto"));
                names.insert(name);
            }
        } else if (c == u'[' || c == u'{') {
            if (++depth == 2) {
                ++element;
                names.clear();
            }
        } else if (c == u']' || c == u'}') {
            --depth;
        }
    }
}

QList<InputRow> readJson(const QString &path, const QString &text, const CatalogueTable &table)
{
    QJsonParseError err;
    const QByteArray utf8 = text.toUtf8();
    const QJsonDocument doc = QJsonDocument::fromJson(utf8, &err);
    if (err.error != QJsonParseError::NoError)
        refuseFile(QStringLiteral("il file %1 non è un JSON valido: %2 (riga %3)")
                       .arg(path, jsonErrorText(err.error)).arg(utf8.left(err.offset).count('\n') + 1));
    if (!doc.isArray())
        refuseFile(QStringLiteral("il file %1 non è un array JSON di oggetti").arg(path));
    refuseDuplicateNames(text);
    const QJsonArray a = doc.array();
    QList<InputRow> rows;
    for (int i = 0; i < a.size(); ++i) {
        InputRow r{QStringLiteral("elemento %1").arg(i + 1), {}};
        if (!a[i].isObject())
            refuseFile(QStringLiteral("%1: atteso un oggetto con i valori delle colonne").arg(r.place));
        const QJsonObject o = a[i].toObject();
        QSet<QString> columns;
        for (auto it = o.begin(); it != o.end(); ++it) {
            const QString &name = it.key();
            const CatalogueColumn &known = knownColumn(table, r.place, name);
            const QString column = known.name.toUpper();
            if (columns.contains(column))
                refuse(r.place, shown(name), QStringLiteral("colonna ripetuta nello stesso oggetto"));
            columns.insert(column);
            const QJsonValue v = it.value();
            QVariant cell;
            switch (v.type()) {
            case QJsonValue::Null:
            case QJsonValue::Undefined:
                break;
            case QJsonValue::Bool:
                cell = v.toBool();
                break;
            case QJsonValue::Double: {
                // The number as written, so that the rules of the CSV cells
                // (digits, decimals, range) apply to it unchanged.
                const QVariant n = v.toVariant();
                cell = n.typeId() == QMetaType::LongLong
                           ? QString::number(n.toLongLong())
                           : QString::number(v.toDouble(), 'f', QLocale::FloatingPointShortest);
                break;
            }
            case QJsonValue::String:
                cell = v.toString();
                break;
            case QJsonValue::Array:
                refuse(r.place, shown(name), QStringLiteral("un array non è un valore ammesso (una colonna ha un solo valore)"));
            case QJsonValue::Object:
                refuse(r.place, shown(name), QStringLiteral("un oggetto annidato non è un valore ammesso (una colonna ha un solo valore)"));
            }
            r.cells.append({&known, name, cell});
        }
        rows << r;
    }
    return rows;
}

QList<InputRow> readInput(const QString &path, const CatalogueTable &table)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw EQxError(QStringLiteral("Il file %1 non esiste.").arg(path));
    if (info.isDir())
        throw EQxError(QStringLiteral("%1 è una cartella, non un file.").arg(path));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EQxError(info.isReadable() ? QStringLiteral("Impossibile leggere il file %1.").arg(path)
                                         : QStringLiteral("Impossibile leggere il file %1: mancano i permessi di lettura.").arg(path));
    QByteArray bytes = f.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.mid(3);
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        refuseFile(QStringLiteral("il file %1 è in UTF-16: salvarlo in UTF-8 (oppure in Windows-1252)").arg(path));
    const QString text = decodeText(bytes);
    qsizetype first = 0;
    while (first < text.size() && text[first].isSpace())
        ++first;
    if (first == text.size())
        refuseFile(QStringLiteral("il file %1 è vuoto: manca la riga di intestazione con i nomi delle colonne").arg(path));
    if (text[first] == u'{')
        refuseFile(QStringLiteral("il file %1 contiene un oggetto JSON: atteso un array di oggetti, uno per riga "
                                  "([{...}, {...}])").arg(path));
    if (text[first] == u'[')
        return readJson(path, text, table);
    return readCsv(text, table);
}

// At most twelve digits before the decimals, as the telematic file's amount
// fields hold (16 characters with sign, comma and cents).
constexpr int kAmountDigits = 12;

// The usual form of an amount, "-1234.56" or "1234,56" (an optional minus,
// digits, at most one decimal mark and the digits after it), read without
// the general rules when it is within the column's decimals and the digits
// an amount may have. Anything else, thousands separators too, is left to
// those rules and their messages.
std::optional<double> plainAmount(const QString &t, int decimals)
{
    char buf[64];
    const qsizetype n = t.size();
    if (n == 0 || n >= qsizetype(sizeof buf))
        return std::nullopt;
    qsizetype i = 0;
    if (t[0] == u'-')
        buf[i++] = '-';
    int whole = 0, significant = 0, fraction = -1;
    for (; i < n; ++i) {
        const char16_t c = t[i].unicode();
        if (c >= u'0' && c <= u'9') {
            buf[i] = char(c);
            if (fraction >= 0) {
                ++fraction;
            } else {
                ++whole;
                if (significant > 0 || c != u'0')
                    ++significant;
            }
        } else if ((c == u'.' || c == u',') && fraction < 0 && whole > 0) {
            buf[i] = '.';
            fraction = 0;
        } else {
            return std::nullopt;
        }
    }
    if (whole == 0 || fraction == 0 || fraction > decimals || significant > kAmountDigits)
        return std::nullopt;
    double d = 0;
    const auto r = std::from_chars(buf, buf + n, d);
    if (r.ec != std::errc() || r.ptr != buf + n)
        return std::nullopt;
    return d;
}

// A date as "yyyy-MM-dd" or "dd/MM/yyyy" in ASCII digits, read without the
// general date parser; invalid for anything else, which that parser decides.
QDate plainDate(const QString &t)
{
    if (t.size() != 10)
        return {};
    auto number = [&](int from, int width, int &out) {
        out = 0;
        for (int i = from; i < from + width; ++i) {
            const char16_t c = t[i].unicode();
            if (c < u'0' || c > u'9')
                return false;
            out = out * 10 + (c - u'0');
        }
        return true;
    };
    int y = 0, m = 0, d = 0;
    if (t[4] == u'-' && t[7] == u'-' && number(0, 4, y) && number(5, 2, m) && number(8, 2, d))
        return QDate(y, m, d);
    if (t[2] == u'/' && t[5] == u'/' && number(0, 2, d) && number(3, 2, m) && number(6, 4, y))
        return QDate(y, m, d);
    return {};
}

// A cell as the value of a catalogue column; invalid for an empty cell.
QVariant convert(const CatalogueColumn &col, const QVariant &cell, const QString &place, const QString &written)
{
    if (!cell.isValid() || cell.isNull())
        return {};
    if (cell.typeId() == QMetaType::Bool) {
        if (col.kind == ColumnKind::Flag)
            return qint64(cell.toBool() ? 1 : 0);
        refuse(place, shown(written), QStringLiteral("un valore vero/falso è ammesso solo in una colonna 0/1"));
    }
    const QString raw = cell.toString();
    const QString t = raw.trimmed();
    if (t.isEmpty())
        return {};
    switch (col.kind) {
    case ColumnKind::Text:
        if (const int bad = firstForbidden(raw); bad >= 0)
            refuse(place, shown(written), forbiddenWhy(raw[bad]));
        for (const QChar c : raw)
            if (c.unicode() > 0xff)
                refuse(place, shown(written), beyondLatin1Why(c));
        if (col.size > 0 && raw.size() > col.size)
            refuse(place, shown(written), QStringLiteral("il testo \"%1\" supera i %2 caratteri").arg(shown(raw)).arg(col.size));
        return raw;
    case ColumnKind::Blob:
        return raw;
    case ColumnKind::Integer:
    case ColumnKind::Flag:
    case ColumnKind::Code: {
        bool ok = false;
        const qint64 n = t.toLongLong(&ok);
        if (!ok)
            refuse(place, shown(written), QStringLiteral("valore \"%1\" non valido (atteso un numero intero)").arg(shown(t)));
        if (col.kind == ColumnKind::Flag && n != 0 && n != 1)
            refuse(place, shown(written), QStringLiteral("valore \"%1\" non valido (atteso 0 o 1)").arg(shown(t)));
        return n;
    }
    case ColumnKind::Decimal: {
        if (const std::optional<double> d = plainAmount(t, col.decimals))
            return *d;
        QString s = t;
        // "1.234,56", "1234,56" and "1234.56": the last mark is the decimal one.
        const int lastComma = s.lastIndexOf(u',');
        const int lastDot = s.lastIndexOf(u'.');
        if (lastComma >= 0 && lastDot >= 0) {
            if (lastComma > lastDot)
                s = s.remove(u'.').replace(u',', u'.');
            else
                s = s.remove(u',');
        } else if (lastComma >= 0) {
            s.replace(u',', u'.');
        }
        static const QRegularExpression rx(QStringLiteral("^-?(\\d+)(\\.\\d+)?$"));
        const QRegularExpressionMatch m = rx.match(s);
        if (!m.hasMatch())
            refuse(place, shown(written), QStringLiteral("valore \"%1\" non valido (atteso un importo)").arg(shown(t)));
        const int dot = s.indexOf(u'.');
        if (dot >= 0 && s.size() - dot - 1 > col.decimals)
            refuse(place, shown(written), QStringLiteral("valore \"%1\" non valido (al massimo %2 decimali)").arg(shown(t)).arg(col.decimals));
        QString digits = m.captured(1);
        while (digits.size() > 1 && digits.startsWith(u'0'))
            digits.remove(0, 1);
        if (digits.size() > kAmountDigits)
            refuse(place, shown(written), QStringLiteral("importo \"%1\" fuori dall'intervallo ammesso (al massimo %2 cifre prima dei "
                                                  "decimali, 999.999.999.999,99 in valore assoluto)")
                                       .arg(shown(t)).arg(kAmountDigits));
        return s.toDouble();
    }
    case ColumnKind::Date: {
        if (const QDate d = plainDate(t); d.isValid())
            return d;
        QDate d = QDate::fromString(t, u"yyyy-MM-dd");
        if (!d.isValid())
            d = QDate::fromString(t, u"dd/MM/yyyy");
        if (!d.isValid())
            refuse(place, shown(written), QStringLiteral("data \"%1\" non valida (attesa aaaa-mm-gg oppure gg/mm/aaaa)").arg(shown(t)));
        return d;
    }
    }
    return {};
}

// Section rows belong to a person: they take its registry link, as the
// entry frames do, when the file does not give one.
qint64 personLink(TQmrDBCds &service, const QString &personTable, const QString &cfField, const QString &cf,
                  QHash<QString, qint64> &cache, ClientDataSet &persons, bool &opened)
{
    if (cf.isEmpty())
        return 0;
    if (!opened) {
        service.OpenCds(persons, personTable);
        for (persons.first(); !persons.eof(); persons.next())
            cache.insert(persons.fieldByName(cfField)->asString().toUpper(),
                         persons.fieldByName(QStringLiteral("IAFIID"))->asInteger());
        opened = true;
    }
    return cache.value(cf.toUpper(), 0);
}

struct Ready
{
    QString place;
    QList<QPair<const CatalogueColumn *, QVariant>> values;
};

// Where a row of the dataset comes from, for the messages: its place in the
// file, or the row already saved, which the user finds by its number.
class RowNames
{
public:
    explicit RowNames(ClientDataSet &ds) : m_ds(ds) {}
    void fromFile(const QString &place) { m_file.insert(m_ds.bookmark(), place); }
    bool isSaved() const { return !m_file.contains(m_ds.bookmark()); }
    QString place() const
    {
        if (!isSaved())
            return m_file.value(m_ds.bookmark());
        const Field *rigo = m_ds.findField(QStringLiteral("IFISRIGO"));
        return QStringLiteral("riga salvata nella tabella (IFISRIGO %1, non del file)").arg(rigo ? rigo->asInteger() : 0);
    }

private:
    ClientDataSet &m_ds;
    QHash<ClientDataSet::Bookmark, QString> m_file;
};

const QString kReplaceHint = QStringLiteral(
    "; correggerla nella finestra della tabella, oppure caricare il file con --replace per sostituire le righe salvate");

// A table of one row, or of one row per agent (its key), keeps to that.
void checkOneRow(const CatalogueTable &table, ClientDataSet &ds, const RowNames &names, bool replace)
{
    if (table.rows != u"one")
        return;
    struct Holder { QString place; bool saved; };
    QHash<QString, Holder> seen; // key -> the row that has it
    for (ds.first(); !ds.eof(); ds.next()) {
        QStringList parts;
        for (const QString &k : table.key)
            parts << (ds.findField(k) ? ds.findField(k)->asString().trimmed().toUpper() : QString());
        const QString key = parts.join(u'\x1f');
        if (const auto it = seen.constFind(key); it != seen.cend()) {
            const QString rule = table.key.isEmpty()
                ? QStringLiteral("ammette una sola riga")
                : QStringLiteral("ammette una sola riga per %1 (\"%2\")").arg(table.key.join(u'+'), parts.join(u' '));
            refuseFile(QStringLiteral("%1: la tabella %2 %3, e c'è già la %4%5")
                           .arg(names.place(), table.name, rule, it->place,
                                it->saved && !replace
                                    ? QStringLiteral("; per sostituire le righe salvate caricare il file con --replace")
                                    : QString()));
        }
        seen.insert(key, {names.place(), names.isSaved()});
    }
}

void checkRows(const CatalogueTable &table, ClientDataSet &ds, const RowNames &names)
{
    // The table's checks are looked up once for all its rows.
    const QList<SectionLoadHooks::RowCheck> rowChecks = checks().value(table.name.toUpper());
    for (ds.first(); !ds.eof(); ds.next()) {
        SectionLoadHooks::Fault f;
        for (const SectionLoadHooks::RowCheck &c : rowChecks)
            if (f = c(ds); !f.isEmpty())
                break;
        if (f.isEmpty())
            continue;
        const QString why = QString(f.text).replace(QStringLiteral("\r\n"), QStringLiteral(" ")) + (names.isSaved() ? kReplaceHint : QString());
        if (f.column.isEmpty())
            refuseFile(QStringLiteral("%1: %2").arg(names.place(), why));
        refuse(names.place(), f.column, why);
    }
}

// The opened section with the file's rows appended, after the saved rows
// are deleted when the file replaces them.
SectionLoadResult fillSection(TQmrDBCds &service, const CatalogueTable &table, ClientDataSet &ds,
                              const QList<Ready> &ready, bool replace, RowNames &names)
{
    SectionLoadResult result;
    if (replace) {
        // From the last record: each removal then shortens the lists at
        // their end instead of moving every record after it.
        while (!ds.isEmpty()) {
            ds.last();
            ds.remove();
            ++result.removed;
        }
    }
    QString personTable, cfField;
    if (table.name.compare(u"TDIP7_ANAGRFISCALI", Qt::CaseInsensitive) != 0 && table.column(QStringLiteral("SDIP7CODFIS"))) {
        personTable = QStringLiteral("TDIP7_ANAGRFISCALI");
        cfField = QStringLiteral("SDIP7CODFIS");
    } else if (table.name.compare(u"TDAU7_DATIAUTONOM", Qt::CaseInsensitive) != 0
               && table.column(QStringLiteral("SDAU7CODFIS"))) {
        personTable = QStringLiteral("TDAU7_DATIAUTONOM");
        cfField = QStringLiteral("SDAU7CODFIS");
    }
    QHash<QString, qint64> links;
    ClientDataSet persons;
    bool personsOpened = false;
    Field *afi = ds.findField(QStringLiteral("IAFIID"));
    // The fields are looked up once for the whole file.
    QList<Field *> flags;
    for (int i = 0; i < ds.fieldCount(); ++i)
        if (const CatalogueColumn *c = table.column(ds.field(i)->name()); c && c->kind == ColumnKind::Flag)
            flags << ds.field(i);
    QHash<const CatalogueColumn *, Field *> fields;
    for (const Ready &r : ready) {
        ds.append();
        for (Field *f : std::as_const(flags))
            f->setValue(0);
        for (const auto &[col, value] : r.values) {
            try {
                Field *&f = fields[col];
                if (!f)
                    f = ds.fieldByName(col->name);
                f->setValue(value);
            } catch (const EQxError &e) {
                ds.cancel();
                refuse(r.place, col->name, e.message());
            }
        }
        if (afi && afi->asInteger() == 0 && !personTable.isEmpty()) {
            const QString cf = ds.fieldByName(cfField)->asString();
            afi->setValue(personLink(service, personTable, cfField, cf, links, persons, personsOpened));
        }
        ds.post();
        names.fromFile(r.place);
        for (const QString &w : SectionLoadHooks::runRowWarnings(ds))
            result.warnings << QStringLiteral("%1, %2").arg(r.place, w);
        ++result.rows;
    }
    return result;
}

// The file's rows as the values of their columns. Everything is converted
// before the section is touched: a refused file leaves no trace. A row's
// texts go as soon as it is converted, so that a large file is not held
// twice.
QList<Ready> readyRows(const QString &path, const CatalogueTable &table)
{
    QList<InputRow> input = readInput(path, table);
    QList<Ready> ready;
    ready.reserve(input.size());
    for (InputRow &r : input) {
        Ready out{r.place, {}};
        out.values.reserve(r.cells.size());
        for (const InputCell &cell : std::as_const(r.cells)) {
            const CatalogueColumn &col = *cell.column;
            // The service numbers the rows itself.
            if (col.name.compare(u"IFISRIGO", Qt::CaseInsensitive) == 0)
                continue;
            out.values.append({&col, convert(col, cell.value, r.place, cell.written)});
        }
        ready.append(std::move(out));
        r = InputRow();
    }
    return ready;
}

} // namespace

SectionLoadResult loadSection(TQmrDBCds &service, const CatalogueTable &table, const QString &path, bool replace)
{
    QList<Ready> ready = readyRows(path, table);

    // The rows read, checked and written again are the table's as long as
    // the transaction lasts: a second load of the table waits for this one.
    TQxSQLConnection &conn = *service.Connection();
    const bool own = conn.startTransaction();
    try {
        service.LockCds(table.name);
        ClientDataSet ds;
        service.OpenCds(ds, table.name);
        RowNames names(ds);
        SectionLoadResult result = fillSection(service, table, ds, ready, replace, names);
        ready = QList<Ready>(); // the dataset holds the values now
        checkOneRow(table, ds, names, replace);
        checkRows(table, ds, names);
        result.warnings << SectionLoadHooks::runWarnings(table.name, ds);
        service.SaveCds(ds, table.name);
        if (own)
            conn.commit();
        return result;
    } catch (...) {
        if (own)
            conn.rollback();
        throw;
    }
}

void checkSectionRows(const CatalogueTable &table, ClientDataSet &ds)
{
    const RowNames names(ds);
    checkOneRow(table, ds, names, false);
    checkRows(table, ds, names);
}

// ---------------------------------------------------------------- commands

namespace {

void err(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

// The service of a batch run, on the program's connection.
TQmrDBCds serviceFor(const CommandArgs &a, bool *ok)
{
    *ok = true;
    TQmrDBCds s(2024, a.value(QStringLiteral("--program"), QStringLiteral("jex")).toLower(), 0);
    if (a.has(QStringLiteral("--year"))) {
        bool good = false;
        s.Anno = a.value(QStringLiteral("--year")).toInt(&good);
        if (!good) {
            err(QStringLiteral("Anno non valido: %1\n").arg(a.value(QStringLiteral("--year"))));
            *ok = false;
        }
    }
    s.SetConnection(&AppContext::instance().connection().xqoMain);
    s.SetShowWait(false);
    return s;
}

const CatalogueTable *tableFor(const QString &program, const QString &name)
{
    const CatalogueTable *t = TableCatalogue::instance().table(program, name);
    if (!t)
        err(QStringLiteral("Tabella sconosciuta per il programma %1: %2\n").arg(program, name));
    return t;
}

} // namespace

void registerSectionCommands(Registry &registry)
{
    Command show;
    show.name = QStringLiteral("show");
    show.synopsis = QStringLiteral("show TABELLA [--year ANNO] [--program jex|jey] [--format csv|json]");
    show.description = QStringLiteral("Stampa le righe di una tabella della dichiarazione in CSV o JSON.");
    show.valueOptions = {QStringLiteral("--year"), QStringLiteral("--program"), QStringLiteral("--format")};
    show.maxPositional = 1;
    show.run = [](const CommandArgs &a) {
        if (a.positional.size() != 1) {
            err(QStringLiteral("Uso: jex770 show TABELLA [--year ANNO] [--program jex|jey] [--format csv|json]\n"));
            return 2;
        }
        const QString fmt = a.value(QStringLiteral("--format"), QStringLiteral("csv")).toLower();
        if (fmt != u"csv" && fmt != u"json") {
            err(QStringLiteral("Formato sconosciuto: %1 (csv oppure json)\n").arg(fmt));
            return 2;
        }
        bool ok = false;
        TQmrDBCds service = serviceFor(a, &ok);
        if (!ok)
            return 2;
        ClientDataSet ds;
        service.OpenCds(ds, a.positional[0]);
        commandOutput(formatSection(ds, fmt == u"json" ? SectionFormat::Json : SectionFormat::Csv));
        return 0;
    };
    registry.commands.add(show);

    Command load;
    load.name = QStringLiteral("load");
    load.synopsis = QStringLiteral("load TABELLA FILE [--replace] [--program jex|jey] [--year ANNO]");
    load.description = QStringLiteral("Carica in una tabella le righe di un file CSV o JSON (con --replace sostituisce quelle presenti).");
    load.valueOptions = {QStringLiteral("--year"), QStringLiteral("--program")};
    load.flags = {QStringLiteral("--replace")};
    load.maxPositional = 2;
    load.run = [](const CommandArgs &a) {
        if (a.positional.size() != 2) {
            err(QStringLiteral("Uso: jex770 load TABELLA FILE [--replace] [--program jex|jey]\n"));
            return 2;
        }
        bool ok = false;
        TQmrDBCds service = serviceFor(a, &ok);
        if (!ok)
            return 2;
        const CatalogueTable *t = tableFor(service.Programma, a.positional[0]);
        if (!t)
            return 2;
        try {
            const SectionLoadResult r = loadSection(service, *t, a.positional[1], a.has(QStringLiteral("--replace")));
            for (const QString &w : r.warnings)
                err(QStringLiteral("Avviso: %1\n").arg(w));
            commandOutput(QStringLiteral("%1: %2 righe caricate%3.\n")
                    .arg(t->name).arg(r.rows)
                    .arg(a.has(QStringLiteral("--replace")) ? QStringLiteral(", %1 sostituite").arg(r.removed) : QString()));
        } catch (const EQxError &e) {
            err(e.message() + u'\n');
            return 1;
        }
        return 0;
    };
    registry.commands.add(load);

    Command exp;
    exp.name = QStringLiteral("export");
    exp.synopsis = QStringLiteral("export CARTELLA");
    exp.description = QStringLiteral("Esporta tutte le tabelle della dichiarazione come file .cds nella cartella.");
    exp.maxPositional = 1;
    exp.run = [](const CommandArgs &a) {
        if (a.positional.size() != 1) {
            err(QStringLiteral("Uso: jex770 export CARTELLA\n"));
            return 2;
        }
        TQmrDBCds service(2024, QStringLiteral("jex"), 0);
        service.SetConnection(&AppContext::instance().connection().xqoMain);
        service.SetShowWait(false);
        try {
            if (!service.ExportCds(QStringLiteral("jex"), service.Anno, a.positional[0], 0)) {
                err(QStringLiteral("Esportazione non completata: alcune tabelle non sono state esportate in %1.\n")
                        .arg(a.positional[0]));
                return 1;
            }
        } catch (const EQxError &e) {
            err(e.message() + QStringLiteral("\nEsportazione interrotta: le tabelle non sono state esportate tutte.\n"));
            return 1;
        }
        commandOutput(QStringLiteral("Tabelle esportate in %1.\n").arg(a.positional[0]));
        return 0;
    };
    registry.commands.add(exp);
}

} // namespace jex
