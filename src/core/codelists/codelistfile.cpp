#include "codelists/codelistfile.h"
#include "base/outputfile.h"

#include "base/errors.h"
#include "base/numformat.h"

#include <cerrno>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

namespace jex {

namespace {

QString decode(const QByteArray &bytes)
{
    QByteArray b = bytes;
    if (b.startsWith("\xEF\xBB\xBF"))
        b.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(b);
    // A file saved by a spreadsheet or an older editor is often Latin-1:
    // its accented letters are not valid UTF-8.
    if (utf8.hasError())
        return QString::fromLatin1(b);
    return text;
}

// One line of a ";" or "," separated file; double quotes protect the
// separator, "" is a quote inside a quoted value.
QStringList splitQuoted(const QString &line, QChar sep)
{
    QStringList cells;
    QString cur;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == u'"' && i + 1 < line.size() && line[i + 1] == u'"') {
                cur += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                cur += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == sep) {
            cells << cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    cells << cur;
    return cells;
}

QString typeLetter(FieldType t)
{
    switch (t) {
    case FieldType::Integer:
        return QStringLiteral("I");
    case FieldType::Currency:
        return QStringLiteral("F");
    default:
        return QStringLiteral("S");
    }
}

bool allDigits(const QString &s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

} // namespace

QString codeListHeader(const QVector<FieldDef> &columns)
{
    QStringList cells;
    for (const FieldDef &d : columns)
        cells << (d.type == FieldType::String ? QStringLiteral("%1:S:%2").arg(d.name).arg(d.size)
                                              : d.name + u':' + typeLetter(d.type));
    return cells.join(u'\t');
}

QString readCodeListText(const QByteArray &bytes, const QString &fileName, const CodeListReadOptions &options,
                         ClientDataSet &ds)
{
    auto fail = [&](int line, const QString &what) {
        ds.clearFields();
        throw EQxError(line > 0 ? QStringLiteral("%1, riga %2: %3").arg(fileName).arg(line).arg(what)
                                : QStringLiteral("%1: %2").arg(fileName, what));
    };
    const QStringList lines = decode(bytes).split(u'\n');
    ds.clearFields();
    QString source;
    bool header = true;
    QChar sep = u'\t';
    QHash<QString, int> seen; // code -> line
    int codeWidth = 0;
    for (int i = 0; i < lines.size(); ++i) {
        const int lineNo = i + 1;
        QString line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.startsWith(u'#')) {
            if (source.isEmpty()) {
                source = line.mid(1).trimmed();
                if (source.startsWith(QStringLiteral("Fonte:"), Qt::CaseInsensitive))
                    source = source.mid(6).trimmed();
            }
            continue;
        }
        if (line.trimmed().isEmpty())
            continue;
        if (header) {
            if (!line.contains(u'\t'))
                sep = line.contains(u';') ? u';' : u',';
            const QStringList cells = sep == u'\t' ? line.split(u'\t') : splitQuoted(line, sep);
            QVector<FieldDef> defs;
            for (int k = 0; k < cells.size(); ++k) {
                const QStringList p = cells[k].trimmed().split(u':');
                FieldDef d;
                d.name = p.value(0).trimmed().toUpper();
                const QString t = p.value(1).trimmed().toUpper();
                if (d.name.isEmpty() || (!t.isEmpty() && t != u"S" && t != u"I" && t != u"F"))
                    fail(lineNo, QStringLiteral("colonna non valida \"%1\" nell'intestazione").arg(cells[k]));
                if (t.isEmpty() && options.columns.isEmpty())
                    fail(lineNo, QStringLiteral("manca il tipo della colonna %1 (NOME:S:LUNGHEZZA, NOME:I o NOME:F)")
                                     .arg(d.name));
                d.type = t == u"I" ? FieldType::Integer : t == u"F" ? FieldType::Currency : FieldType::String;
                d.size = d.type == FieldType::String ? p.value(2).toInt() : 0;
                d.decimals = d.type == FieldType::Currency ? 2 : 0;
                if (!options.columns.isEmpty()) {
                    if (k >= options.columns.size())
                        fail(lineNo, QStringLiteral("la colonna %1 non è una colonna della tabella").arg(d.name));
                    const FieldDef &want = options.columns[k];
                    if (d.name.compare(want.name, Qt::CaseInsensitive) != 0)
                        fail(lineNo, QStringLiteral("la colonna %1 deve essere %2, non %3")
                                         .arg(k + 1).arg(want.name, d.name));
                    if (!t.isEmpty() && (d.type != want.type || (d.type == FieldType::String && d.size != want.size)))
                        fail(lineNo, QStringLiteral("la colonna %1 è %2 nella tabella, non %3")
                                         .arg(want.name, codeListHeader({want}), cells[k].trimmed()));
                    d = want;
                }
                defs << d;
            }
            if (defs.size() < options.columns.size())
                fail(lineNo, QStringLiteral("manca la colonna %1").arg(options.columns[defs.size()].name));
            for (const FieldDef &d : std::as_const(defs))
                ds.addField(d);
            ds.createDataSet();
            ds.setLogChanges(false);
            codeWidth = defs.first().size;
            if (options.codeWidth > 0 && defs.first().type == FieldType::String)
                codeWidth = codeWidth > 0 ? qMin(codeWidth, options.codeWidth) : options.codeWidth;
            header = false;
            continue;
        }
        QStringList cells = sep == u'\t' ? line.split(u'\t') : splitQuoted(line, sep);
        if (cells.size() != ds.fieldCount())
            fail(lineNo, QStringLiteral("%1 colonne invece di %2").arg(cells.size()).arg(ds.fieldCount()));
        for (QString &c : cells)
            c = c.trimmed();
        const Field *code = ds.field(0);
        const QString &c = cells[0];
        if (c.isEmpty())
            fail(lineNo, QStringLiteral("manca il codice"));
        QString key = c;
        if (code->type() == FieldType::Integer) {
            if (!allDigits(c))
                fail(lineNo, QStringLiteral("il codice \"%1\" non è un numero intero").arg(c));
            key = QString::number(c.toLongLong());
        } else if (code->type() == FieldType::Currency) {
            double v = 0;
            if (!parseAmount(c, &v))
                fail(lineNo, QStringLiteral("il codice \"%1\" non è un numero").arg(c));
            key = QString::number(v, 'f', 2);
        } else if (codeWidth > 0 && c.size() > codeWidth) {
            fail(lineNo, QStringLiteral("il codice \"%1\" è più lungo di %2 caratteri").arg(c).arg(codeWidth));
        }
        if (const auto it = seen.constFind(key); it != seen.constEnd())
            fail(lineNo, QStringLiteral("il codice \"%1\" è già alla riga %2").arg(c).arg(*it));
        seen.insert(key, lineNo);
        for (int k = 1; k < cells.size(); ++k) {
            const Field *f = ds.field(k);
            if (f->type() == FieldType::String && f->size() > 0 && cells[k].size() > f->size())
                fail(lineNo, QStringLiteral("il testo della colonna %1 è più lungo di %2 caratteri")
                                 .arg(f->name()).arg(f->size()));
        }
        ds.append();
        try {
            for (int k = 0; k < cells.size(); ++k)
                ds.field(k)->setValue(cells[k].isEmpty() ? QVariant() : QVariant(cells[k]));
            ds.post();
        } catch (const EQxError &e) {
            ds.cancel();
            fail(lineNo, e.message());
        }
    }
    if (header)
        fail(0, QStringLiteral("il file è vuoto"));
    if (options.requireRows && ds.isEmpty())
        fail(0, QStringLiteral("il file non contiene codici"));
    ds.setLogChanges(true);
    ds.first();
    return source;
}

QString readCodeListFile(const QString &path, const CodeListReadOptions &options, ClientDataSet &ds)
{
    QFile f(path);
    errno = 0;
    if (!f.open(QIODevice::ReadOnly))
        throw EQxError(QStringLiteral("Impossibile aprire %1: %2").arg(path, errno == ENOENT ? QStringLiteral("il file non esiste") : systemErrorText(errno)));
    return readCodeListText(f.readAll(), QFileInfo(path).fileName(), options, ds);
}

} // namespace jex
