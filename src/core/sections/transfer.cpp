#include "sections/transfer.h"
#include "registration.h"

#include "base/appcontext.h"
#include "base/commands.h"
#include "database/structureservice.h"
#include "catalogue/catalogue.h"
#include "base/errors.h"
#include "base/messages.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QRegularExpression>

#include <cstdio>

namespace jex {

// ---------------------------------------------------------------- hooks

namespace {
QHash<QString, QList<SectionLoadHooks::Check>> &checks()
{
    static QHash<QString, QList<SectionLoadHooks::Check>> h;
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

void SectionLoadHooks::addRowWarnings(const RowWarnings &w) { rowWarnings().append(w); }

QStringList SectionLoadHooks::runRowWarnings(const ClientDataSet &ds)
{
    QStringList out;
    for (const RowWarnings &w : rowWarnings())
        out << w(ds);
    return out;
}

void SectionLoadHooks::addCheck(const QString &table, const Check &check) { checks()[table.toUpper()].append(check); }

void SectionLoadHooks::addWarnings(const QString &table, const Warnings &w)
{
    warnings()[table.toUpper()].append(w);
}

void SectionLoadHooks::runChecks(const QString &table, ClientDataSet &ds)
{
    for (const Check &c : checks().value(table.toUpper())) {
        c(ds);
        ds.first();
    }
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

QString moneyText(qint64 tenThousandths, int decimals)
{
    const bool negative = tenThousandths < 0;
    quint64 m = negative ? quint64(-tenThousandths) : quint64(tenThousandths);
    const int dec = decimals > 0 && decimals <= 4 ? decimals : 2;
    quint64 div = 1;
    for (int i = dec; i < 4; ++i)
        div *= 10;
    m = (m + div / 2) / div; // amounts are kept to their decimals already
    quint64 unit = 1;
    for (int i = 0; i < dec; ++i)
        unit *= 10;
    return QStringLiteral("%1%2.%3").arg(negative ? QStringLiteral("-") : QString())
        .arg(m / unit).arg(m % unit, dec, 10, QLatin1Char('0'));
}

QString csvText(const Field *f)
{
    if (f->isNull())
        return {};
    switch (f->type()) {
    case FieldType::Currency: return moneyText(f->asMoney(), f->decimals());
    case FieldType::Float: return QString::number(f->asFloat(), 'g', 15);
    case FieldType::Date:
    case FieldType::DateTime: return f->asDate().toString(u"yyyy-MM-dd");
    case FieldType::Integer: return QString::number(f->asInteger());
    default: break;
    }
    QString s = f->asString();
    if (s.contains(u';') || s.contains(u'"') || s.contains(u'\n') || s.contains(u'\r'))
        s = u'"' + s.replace(u'"', QStringLiteral("\"\"")) + u'"';
    return s;
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
    QString out = ds.fieldNames().join(u';') + u'\n';
    for (ds.first(); !ds.eof(); ds.next()) {
        QStringList cells;
        for (int i = 0; i < ds.fieldCount(); ++i)
            cells << csvText(ds.field(i));
        out += cells.join(u';') + u'\n';
    }
    return out;
}

// ---------------------------------------------------------------- load

namespace {

struct InputRow
{
    int line; // of the file for CSV, position for JSON
    QList<QPair<QString, QVariant>> cells; // column as written, value (text or JSON value)
};

[[noreturn]] void refuse(int line, const QString &column, const QString &why)
{
    throw EQxError(QStringLiteral("Il file non è stato caricato: riga %1, colonna %2: %3").arg(line).arg(column, why));
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
            cur << cell;
            cell.clear();
            any = true;
        } else if (ch == u'\r') {
            continue;
        } else if (ch == u'\n') {
            if (any || !cell.isEmpty()) {
                cur << cell;
                records << cur;
                lines << startLine;
            }
            cur.clear();
            cell.clear();
            any = false;
            ++line;
            startLine = line;
        } else {
            cell += ch;
            any = true;
        }
    }
    if (any || !cell.isEmpty()) {
        cur << cell;
        records << cur;
        lines << startLine;
    }
    return records;
}

QList<InputRow> readInput(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EQxError(QStringLiteral("Impossibile leggere il file %1").arg(path));
    QByteArray bytes = f.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.mid(3);
    QList<InputRow> rows;
    if (bytes.trimmed().startsWith('[')) {
        QJsonParseError err;
        const QJsonDocument doc = QJsonDocument::fromJson(bytes, &err);
        if (err.error != QJsonParseError::NoError || !doc.isArray())
            throw EQxError(QStringLiteral("Il file %1 non è un array JSON valido: %2").arg(path, err.errorString()));
        const QJsonArray a = doc.array();
        for (int i = 0; i < a.size(); ++i) {
            if (!a[i].isObject())
                throw EQxError(QStringLiteral("Il file non è stato caricato: riga %1: atteso un oggetto").arg(i + 1));
            InputRow r{i + 1, {}};
            const QJsonObject o = a[i].toObject();
            for (auto it = o.begin(); it != o.end(); ++it)
                r.cells.append({it.key(), it.value().toVariant()});
            rows << r;
        }
        return rows;
    }
    const QString text = QString::fromUtf8(bytes);
    const QString firstLine = text.section(u'\n', 0, 0);
    const QChar sep = firstLine.contains(u';') ? u';' : u',';
    QList<int> lines;
    const QList<QStringList> records = parseCsv(text, lines, sep);
    if (records.isEmpty())
        return rows;
    const QStringList header = records.first();
    for (int r = 1; r < records.size(); ++r) {
        const QStringList &rec = records[r];
        if (rec.size() == 1 && rec[0].trimmed().isEmpty())
            continue;
        if (rec.size() > header.size())
            refuse(lines[r], QString::number(header.size() + 1), QStringLiteral("più valori che colonne nell'intestazione"));
        InputRow row{lines[r], {}};
        for (int c = 0; c < rec.size(); ++c)
            row.cells.append({header[c].trimmed(), rec[c]});
        rows << row;
    }
    return rows;
}

// A cell as the value of a catalogue column; invalid for an empty cell.
QVariant convert(const CatalogueColumn &col, const QVariant &cell, int line, const QString &written)
{
    if (!cell.isValid() || cell.isNull())
        return {};
    const bool isText = cell.typeId() == QMetaType::QString;
    const QString t = cell.toString().trimmed();
    if (isText && t.isEmpty())
        return {};
    switch (col.kind) {
    case ColumnKind::Text:
    case ColumnKind::Blob: {
        const QString s = cell.toString();
        if (col.kind == ColumnKind::Text && col.size > 0 && s.size() > col.size)
            refuse(line, written, QStringLiteral("il testo \"%1\" supera i %2 caratteri").arg(s).arg(col.size));
        return s;
    }
    case ColumnKind::Integer:
    case ColumnKind::Flag:
    case ColumnKind::Code: {
        bool ok = false;
        qint64 n = 0;
        if (!isText) {
            const double d = cell.toDouble(&ok);
            n = qint64(d);
            ok = ok && d == double(n);
        } else {
            n = t.toLongLong(&ok);
        }
        if (!ok)
            refuse(line, written, QStringLiteral("valore \"%1\" non valido (atteso un numero intero)").arg(t));
        if (col.kind == ColumnKind::Flag && n != 0 && n != 1)
            refuse(line, written, QStringLiteral("valore \"%1\" non valido (atteso 0 o 1)").arg(t));
        return n;
    }
    case ColumnKind::Decimal: {
        if (!isText)
            return cell.toDouble();
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
        static const QRegularExpression rx(QStringLiteral("^-?\\d+(\\.\\d+)?$"));
        if (!rx.match(s).hasMatch())
            refuse(line, written, QStringLiteral("valore \"%1\" non valido (atteso un importo)").arg(t));
        const int dot = s.indexOf(u'.');
        if (dot >= 0 && s.size() - dot - 1 > col.decimals)
            refuse(line, written, QStringLiteral("valore \"%1\" non valido (al massimo %2 decimali)").arg(t).arg(col.decimals));
        return s.toDouble();
    }
    case ColumnKind::Date: {
        QDate d = QDate::fromString(t, u"yyyy-MM-dd");
        if (!d.isValid())
            d = QDate::fromString(t, u"dd/MM/yyyy");
        if (!d.isValid())
            refuse(line, written, QStringLiteral("data \"%1\" non valida (attesa aaaa-mm-gg oppure gg/mm/aaaa)").arg(t));
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

} // namespace

SectionLoadResult loadSection(TQmrDBCds &service, const CatalogueTable &table, const QString &path, bool replace)
{
    const QList<InputRow> input = readInput(path);
    // Everything is converted before the section is touched: a refused file
    // leaves no trace.
    struct Ready { int line; QList<QPair<const CatalogueColumn *, QVariant>> values; };
    QList<Ready> ready;
    for (const InputRow &r : input) {
        Ready out{r.line, {}};
        for (const auto &[name, cell] : r.cells) {
            const CatalogueColumn *col = table.column(name);
            if (!col)
                refuse(r.line, name, QStringLiteral("colonna sconosciuta nella tabella %1").arg(table.name));
            // The service numbers the rows itself.
            if (col->name.compare(u"IFISRIGO", Qt::CaseInsensitive) == 0)
                continue;
            out.values.append({col, convert(*col, cell, r.line, name)});
        }
        ready << out;
    }

    ClientDataSet ds;
    service.OpenCds(ds, table.name);
    SectionLoadResult result;
    if (replace) {
        ds.first();
        while (!ds.isEmpty()) {
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
    for (const Ready &r : std::as_const(ready)) {
        ds.append();
        for (int i = 0; i < ds.fieldCount(); ++i)
            if (const CatalogueColumn *c = table.column(ds.field(i)->name()); c && c->kind == ColumnKind::Flag)
                ds.field(i)->setValue(0);
        for (const auto &[col, value] : r.values) {
            try {
                ds.fieldByName(col->name)->setValue(value);
            } catch (const EQxError &e) {
                ds.cancel();
                refuse(r.line, col->name, e.message());
            }
        }
        if (afi && afi->asInteger() == 0 && !personTable.isEmpty()) {
            const QString cf = ds.fieldByName(cfField)->asString();
            afi->setValue(personLink(service, personTable, cfField, cf, links, persons, personsOpened));
        }
        ds.post();
        for (const QString &w : SectionLoadHooks::runRowWarnings(ds))
            result.warnings << QStringLiteral("riga %1, %2").arg(r.line).arg(w);
        ++result.rows;
    }
    SectionLoadHooks::runChecks(table.name, ds);
    result.warnings << SectionLoadHooks::runWarnings(table.name, ds);
    service.SaveCds(ds, table.name);
    return result;
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
