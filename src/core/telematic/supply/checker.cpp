#include "telematic/supply/checker.h"

#include "base/strutil.h"
#include "codelists/codecheck.h"
#include "codelists/codelists.h"
#include "demo/codicefiscale.h"
#include "telematic/fieldformat.h"
#include "telematic/generation.h"
#include "telematic/supply/supplylayout.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <algorithm>
#include <map>

namespace jex::supply {

QString Finding::toString() const
{
    QString where = file.isEmpty() ? QStringLiteral("fornitura") : file;
    if (line > 0)
        where += u':' + QString::number(line);
    QStringList what;
    if (!record.isNull())
        what << QStringLiteral("record ") + record;
    if (module > 0)
        what << QStringLiteral("modulo ") + QString::number(module);
    if (!field.isEmpty())
        what << QStringLiteral("campo ") + field;
    if (position > 0)
        what << QStringLiteral("pos. ") + QString::number(position);
    return where + (severity == Error ? QStringLiteral(": errore: ") : QStringLiteral(": avviso: "))
           + (what.isEmpty() ? QString() : what.join(QStringLiteral(", ")) + QStringLiteral(": ")) + text;
}

QString CheckReport::summary() const
{
    return QStringLiteral("Errori: %1 - Avvisi: %2").arg(errors).arg(warnings);
}

QStringList CheckReport::lines() const
{
    QStringList out;
    for (const Finding &f : findings)
        out << f.toString();
    const int unlisted = errors + warnings - int(findings.size());
    if (unlisted > 0)
        out << QStringLiteral("... e altre %1 segnalazioni non elencate").arg(unlisted);
    out << QStringLiteral("Record letti: %1 - ").arg(records) + summary();
    return out;
}

namespace {

constexpr int kDetailPerFile = 8275;
constexpr int kKeep = 4096; // characters of a line kept; longer lines are only measured

struct RawLine
{
    QByteArray bytes; // without the line end, at most kKeep
    qint64 length = 0; // of the data, without the line end
    enum Ending { CrLf, Lf, None } ending = None;
};

bool nextLine(QFile &f, RawLine &out)
{
    out.bytes.clear();
    out.length = 0;
    out.ending = RawLine::None;
    bool any = false;
    char previous = 0;
    for (;;) {
        const QByteArray chunk = f.readLine(kKeep + 1);
        if (chunk.isEmpty())
            break;
        any = true;
        if (out.bytes.size() < kKeep)
            out.bytes += chunk.left(kKeep - out.bytes.size());
        out.length += chunk.size();
        if (chunk.endsWith('\n')) {
            const bool cr = chunk.size() >= 2 ? chunk[chunk.size() - 2] == '\r' : previous == '\r';
            out.ending = cr ? RawLine::CrLf : RawLine::Lf;
            break;
        }
        previous = chunk.back();
    }
    if (!any)
        return false;
    const int cut = out.ending == RawLine::CrLf ? 2 : out.ending == RawLine::Lf ? 1 : 0;
    out.length -= cut;
    if (out.bytes.size() > out.length)
        out.bytes.truncate(int(out.length));
    return true;
}

int rank(QChar type)
{
    switch (type.unicode()) {
    case u'A': return 0;
    case u'B': return 1;
    case u'D': return 2;
    case u'I': return 3;
    case u'J': return 4;
    case u'Z': return 5;
    }
    return -1;
}

bool allDigits(QStringView s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

bool blank(QStringView s)
{
    for (QChar c : s)
        if (c != u' ')
            return false;
    return true;
}

bool validFiscalCode(const QString &code)
{
    return demo::isValidPersonCode(code) || demo::isValidOrganisationCode(code);
}

// What is wrong with a codice fiscale: its shape or its check character.
QString fiscalCodeText(const QString &t)
{
    const bool person = t.size() == 16, organisation = t.size() == 11 && allDigits(t);
    if (person || organisation)
        return QStringLiteral("Codice fiscale \"%1\" con il carattere di controllo errato.").arg(t);
    return QStringLiteral("Codice fiscale \"%1\" non valido: attesi 16 caratteri o 11 cifre.").arg(t);
}

bool validDate(QStringView s)
{
    return s.size() == 8 && allDigits(s) && QDate(s.mid(4, 4).toInt(), s.mid(2, 2).toInt(), s.left(2).toInt()).isValid();
}

// Cents of an amount "1234,56"; false when it is not one.
bool amountCents(QStringView t, qint64 *cents)
{
    bool negative = false;
    if (t.startsWith(u'-')) {
        negative = true;
        t = t.mid(1);
    }
    const qsizetype comma = t.indexOf(u',');
    if (comma < 1 || comma != t.size() - 3 || !allDigits(t.left(comma)) || !allDigits(t.mid(comma + 1)) || comma > 13)
        return false;
    const qint64 v = t.left(comma).toLongLong() * 100 + t.mid(comma + 1).toLongLong();
    *cents = negative ? -v : v;
    return true;
}

QString euro(qint64 cents)
{
    const qint64 a = std::llabs(cents);
    return QStringLiteral("%1%2,%3").arg(cents < 0 ? QStringLiteral("-") : QString()).arg(a / 100).arg(a % 100, 2, 10, QLatin1Char('0'));
}

struct RowAmounts
{
    int line = 0;
    bool any = false;
    qint64 withheld = 0, credits = 0, paid = 0, interest = 0;
};

class Checker
{
public:
    Checker(const SupplyLayouts &layouts, const CheckOptions &options, CheckReport &report)
        : m_layouts(layouts), m_options(options), m_report(report), m_lists(CodeLists::installation())
    {
    }

    void run(const QStringList &files);

private:
    struct FileState
    {
        QString path;
        int k = -1, total = -1; // numbering of record A
        int aLine = 0;
        QString cf;   // of record B
        QString b;    // record B
        int bLine = 0;
        int details = 0;
        QHash<QChar, int> counts;
    };

    void add(Finding::Severity severity, int line, QChar record, int module, const QString &field, int position,
             const QString &text, bool readable = false)
    {
        (severity == Finding::Error ? m_report.errors : m_report.warnings)++;
        if (severity == Finding::Error && !readable)
            ++m_report.blocking;
        if (m_report.findings.size() < CheckReport::kMaxListed)
            m_report.findings.append({severity, m_file, line, record, module, field, position, text, readable});
    }
    // An invalid value that is read all the same.
    void invalid(int line, QChar record, int module, const QString &field, int position, const QString &text)
    {
        add(Finding::Error, line, record, module, field, position, text, true);
    }
    void error(int line, QChar record, const QString &text) { add(Finding::Error, line, record, 0, {}, 0, text); }

    bool checkFile(FileState &state);
    void checkLine(FileState &state, int line, const QString &text, bool lengthOk);
    void checkPositional(const RecordLayout &layout, const QString &text, int line, int module, bool head);
    void checkPositionalValue(const PositionalField &f, const QString &value, int line, int module, QChar type);
    void checkKeyValues(const RecordLayout &layout, const QString &text, int line, int module);
    void checkKeyValue(const RecordLayout &layout, const KeyField &key, const QString &code, const QString &value,
                       int line, int position, int module);
    void codeInList(const TXMLCampoType &campo, const QString &value, int line, QChar type, int module,
                    const QString &field, int position);
    void startModule(QChar type, int module, const QString &head);
    void finishModule();
    void finishSupply(QList<FileState> &states);

    const SupplyLayouts &m_layouts;
    const CheckOptions &m_options;
    CheckReport &m_report;
    CodeLists m_lists;
    QString m_file;

    // Module in progress (record type and number), across records and files.
    QChar m_type;
    int m_module = 0;
    QHash<QChar, int> m_lastModule;
    QSet<QString> m_codes;
    QString m_previousCode;
    std::map<QString, RowAmounts> m_amounts;
    bool m_damaged = false; // a record of the module could not be read
    // What the supply holds, for the frontispiece's boxes.
    QSet<QString> m_tables;
    qint64 m_done = 0, m_total = 0;
};

void Checker::run(const QStringList &files)
{
    QList<FileState> states;
    for (const QString &f : files) {
        FileState s;
        s.path = f;
        states.append(s);
        m_total += QFileInfo(f).size();
    }
    // The parts of a split supply are read in the order of their numbers,
    // whatever the order they were named in.
    for (FileState &s : states) {
        QFile f(s.path);
        if (QFileInfo(s.path).isFile() && f.open(QIODevice::ReadOnly)) {
            const QByteArray head = f.read(529);
            if (head.size() == 529 && head.startsWith('A')) {
                bool ok1 = false, ok2 = false;
                const int k = head.mid(521, 4).toInt(&ok1), total = head.mid(525, 4).toInt(&ok2);
                if (ok1 && ok2) {
                    s.k = k;
                    s.total = total;
                }
            }
        }
    }
    std::stable_sort(states.begin(), states.end(), [](const FileState &a, const FileState &b) { return a.k < b.k; });
    m_report.files = int(states.size());
    for (FileState &s : states) {
        s.k = s.total = -1;
        m_file = s.path;
        if (!checkFile(s))
            m_report.unreadable = true;
    }
    finishModule();
    m_file.clear();
    if (!m_report.unreadable)
        finishSupply(states);
}

bool Checker::checkFile(FileState &state)
{
    const QFileInfo info(state.path);
    if (!info.exists()) {
        error(0, {}, QStringLiteral("Il file non esiste."));
        return false;
    }
    if (info.isDir()) {
        error(0, {}, QStringLiteral("Il percorso indicato è una cartella, non un file telematico."));
        return false;
    }
    QFile f(state.path);
    if (!f.open(QIODevice::ReadOnly)) {
        error(0, {}, QStringLiteral("Il file non può essere letto: %1").arg(f.errorString()));
        return false;
    }
    if (f.size() == 0) {
        error(0, {}, QStringLiteral("Il file è vuoto."));
        return false;
    }

    RawLine raw;
    int line = 0;
    int lfLines = 0, lfFirst = 0;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    int lastRank = -1;
    bool afterZ = false, haveB = false, haveZ = false;
    while (nextLine(f, raw)) {
        ++line;
        ++m_report.records;
        m_done += raw.length + 2;
        if (m_options.progress && line % 2000 == 0)
            m_options.progress(m_done, m_total);
        if (raw.ending == RawLine::Lf && lfLines++ == 0)
            lfFirst = line;
        if (raw.ending == RawLine::None)
            error(line, {}, QStringLiteral("L'ultima riga non termina con CR LF: il file è troncato."));

        // One byte per character, as the file is written; a text that reads
        // as UTF-8 holds accented letters in two bytes each.
        QString text;
        bool utf8Text = false;
        bool highBytes = false;
        for (char c : raw.bytes)
            if (uchar(c) >= 0x80) {
                highBytes = true;
                break;
            }
        if (highBytes) {
            const QString decoded = utf8(raw.bytes);
            if (!utf8.hasError() && raw.length == raw.bytes.size()) {
                qsizetype at = 0;
                while (at < decoded.size() && decoded[at].unicode() < 0x80)
                    ++at;
                add(Finding::Error, line, {}, 0, {}, int(at + 1),
                    QStringLiteral("Il record contiene caratteri scritti in UTF-8 (\"%1\"): il file telematico deve "
                                   "avere un byte per carattere.").arg(decoded.mid(at, 1)));
                text = decoded;
                utf8Text = true;
            } else {
                text = QString::fromLatin1(raw.bytes);
            }
            utf8.resetState();
        } else {
            text = QString::fromLatin1(raw.bytes);
        }
        const qint64 length = raw.length > raw.bytes.size() ? raw.length : text.size();

        bool control = false;
        int firstHigh = -1;
        for (int i = 0; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            if (!control && (c < 0x20 || (c >= 0x7f && c <= 0x9f))) {
                control = true;
                add(Finding::Error, line, {}, 0, {}, i + 1,
                    QStringLiteral("Carattere di controllo (codice %1) nel record.").arg(int(c)));
            } else if (firstHigh < 0 && c > 0x9f && !utf8Text) {
                firstHigh = i;
            }
        }
        if (firstHigh >= 0)
            add(Finding::Warning, line, {}, 0, {}, firstHigh + 1,
                QStringLiteral("Carattere non ASCII \"%1\": il servizio telematico accetta di norma solo caratteri "
                               "ASCII.").arg(text.mid(firstHigh, 1)));

        const QChar type = text.isEmpty() ? QChar() : text[0];
        const bool lengthOk = length == kRecordLength;
        if (line == 1) {
            // A file that is no supply of this return is named as such at
            // once, not by a finding for each of its lines.
            if (type != u'A' || text.mid(15, 5) != kSupplyCode) {
                const QString code = text.mid(15, 5);
                if (type == u'A' && text.size() >= 20)
                    add(Finding::Error, line, u'A', 0, QStringLiteral("3"), 16,
                        QStringLiteral("Codice fornitura \"%1\" invece di \"%2\": il file non è una fornitura del "
                                       "770/2025.").arg(code, kSupplyCode));
                else
                    error(line, {}, QStringLiteral("Il file non è una fornitura telematica 770/2025: la prima riga "
                                                   "non è un record A."));
                return true;
            }
        }
        if (!lengthOk) {
            error(line, type, QStringLiteral("Il record è di %1 caratteri invece di %2.").arg(length).arg(kRecordLength));
        } else if (text[kRecordLength - 1] != u'A') {
            add(Finding::Error, line, type, 0, {}, kRecordLength,
                QStringLiteral("Il record deve terminare con il carattere \"A\" (posizione 1898)."));
        }

        const int r = rank(type);
        if (r < 0 || !m_layouts.record(type)) {
            error(line, {}, QStringLiteral("Tipo record \"%1\" sconosciuto.").arg(type));
            continue;
        }
        state.counts[type]++;
        if (afterZ) {
            error(line, type, QStringLiteral("Record dopo il record Z di coda."));
        } else if (line > 1 && type == u'A') {
            error(line, type, QStringLiteral("Record A ripetuto: ogni file ha un solo record di testa."));
        } else if (type == u'B' && haveB) {
            error(line, type, QStringLiteral("Record B ripetuto: ogni file ha un solo frontespizio."));
        } else if (r < lastRank) {
            error(line, type, QStringLiteral("Record %1 dopo un record %2: l'ordine dei record è A, B, D, I, J, Z.")
                                  .arg(type).arg(QStringLiteral("ABDIJZ")[lastRank]));
        } else if (r > 1 && !haveB) {
            error(line, type, QStringLiteral("Record %1 prima del frontespizio (record B).").arg(type));
        }
        lastRank = std::max(lastRank, r);
        if (type == u'B')
            haveB = true;
        if (type == u'Z')
            haveZ = afterZ = true;
        if (r >= 2 && r <= 4)
            ++state.details;
        checkLine(state, line, text, lengthOk);
    }
    if (lfLines > 0) {
        m_file = state.path;
        error(lfFirst, {}, lfLines == 1 ? QStringLiteral("La riga termina con LF senza CR: ogni record termina con CR LF.")
                                        : QStringLiteral("La riga termina con LF senza CR, come altre %1 righe del file: "
                                                         "ogni record termina con CR LF.").arg(lfLines - 1));
    }
    if (!haveB)
        error(0, u'B', QStringLiteral("Il file non ha il frontespizio (record B)."));
    if (!haveZ)
        error(0, u'Z', QStringLiteral("Il file non ha il record di coda (record Z)."));
    if (state.details > kDetailPerFile)
        error(0, {}, QStringLiteral("Il file ha %1 record di dettaglio: un file ne può contenere al massimo %2.")
                         .arg(state.details).arg(kDetailPerFile));
    return true;
}

void Checker::checkLine(FileState &state, int line, const QString &text, bool lengthOk)
{
    const QChar type = text[0];
    const RecordLayout &layout = *m_layouts.record(type);
    const bool detail = type == u'D' || type == u'I' || type == u'J';
    if (!lengthOk) {
        // Its fields cannot be placed; the module it belongs to is not
        // weighed for the payments either.
        if (detail && text.size() >= 25 && allDigits(QStringView(text).mid(17, 8))) {
            const int module = text.mid(17, 8).toInt();
            if (type != m_type || module != m_module) {
                finishModule();
                m_lastModule[type] = module;
                startModule(type, module, text.left(layout.headWidth));
            }
        }
        m_damaged = true;
        return;
    }
    if (type == u'A') {
        state.aLine = line;
        const QString k = text.mid(521, 4), total = text.mid(525, 4);
        if (!allDigits(k) || !allDigits(total))
            add(Finding::Error, line, type, 0, QStringLiteral("7"), 522,
                QStringLiteral("Numerazione dei file \"%1\" e \"%2\" non numerica.").arg(k, total));
        else {
            state.k = k.toInt();
            state.total = total.toInt();
        }
        checkPositional(layout, text, line, 0, false);
        if (m_options.parsed && m_options.parsed->recordA.isEmpty())
            m_options.parsed->recordA = text;
        return;
    }
    if (type == u'B') {
        state.b = text;
        state.bLine = line;
        state.cf = AllTrim(text.mid(1, 16));
        checkPositional(layout, text, line, 0, false);
        if (m_options.parsed && m_options.parsed->recordB.isEmpty())
            m_options.parsed->recordB = text;
        return;
    }
    if (type == u'Z') {
        checkPositional(layout, text, line, 0, false);
        struct Count { int position; QChar type; };
        for (const Count &c : {Count{16, u'B'}, Count{25, u'D'}, Count{34, u'E'}, Count{43, u'I'}, Count{52, u'J'}}) {
            const QString v = text.mid(c.position - 1, 9);
            const int n = state.counts.value(c.type);
            if (!allDigits(v) || v.toInt() != n)
                add(Finding::Error, line, type, 0, {}, c.position,
                    QStringLiteral("Il contatore dei record %1 vale \"%2\" ma il file ne contiene %3.").arg(c.type).arg(v).arg(n));
        }
        return;
    }

    // D, I, J: the head, then the key-value fields.
    const QString number = text.mid(17, 8);
    const int module = allDigits(number) ? number.toInt() : -1;
    if (module < 0) {
        add(Finding::Error, line, type, 0, QStringLiteral("3"), 18,
            QStringLiteral("Numero di modulo \"%1\" non numerico.").arg(number));
    } else if (type != m_type || module != m_module) {
        finishModule();
        const int last = m_lastModule.value(type, 0);
        if (last == 0 && module != 1)
            add(Finding::Error, line, type, module, QStringLiteral("3"), 18,
                QStringLiteral("Il primo modulo del record %1 ha il numero %2 invece di 1.").arg(type).arg(module));
        else if (last != 0 && module != last + 1)
            add(Finding::Error, line, type, module, QStringLiteral("3"), 18,
                QStringLiteral("Modulo %1 dopo il modulo %2: i moduli sono numerati di seguito.").arg(module).arg(last));
        m_lastModule[type] = module;
        startModule(type, module, text.left(layout.headWidth));
    }
    const QString cf = AllTrim(text.mid(1, 16));
    if (!state.cf.isEmpty() && cf != state.cf)
        add(Finding::Error, line, type, module, QStringLiteral("2"), 2,
            QStringLiteral("Codice fiscale del sostituto \"%1\" diverso da quello del frontespizio \"%2\".").arg(cf, state.cf));
    checkPositional(layout, text, line, module, true);
    checkKeyValues(layout, text, line, module);
}

void Checker::checkPositional(const RecordLayout &layout, const QString &text, int line, int module, bool head)
{
    const QChar type = layout.type;
    for (const PositionalField &f : layout.positional) {
        const QString number = AllTrim(f.campo.Number());
        const QString value = text.mid(f.start - 1, f.width);
        // Fields whose value is set apart from the layout: the record type,
        // the closing "A", the numbering of the files, the counters of Z, the
        // boxes of the tables in B and the module number.
        if (number == u"1" || f.start + f.width - 1 >= kRecordLength)
            continue;
        if (type == u'A' && (number == u"3" || (f.start >= 522 && f.start <= 529)))
            continue;
        if (type == u'Z' && f.start >= 16 && f.start <= 60)
            continue;
        if (type == u'B' && f.start >= 1141 && f.start <= 1146)
            continue;
        if (head && (number == u"3" || number == u"2"))
            continue;
        const bool producer = (type == u'B' && number == u"7") || (head && number == (type == u'J' ? u"8" : u"7"));
        if (producer) {
            // The producer's code is the program's, not the school's: only
            // its shape is checked.
            const QString cf = AllTrim(value);
            const bool shape = (cf.size() == 11 && allDigits(cf))
                               || (cf.size() == 16 && std::all_of(cf.begin(), cf.end(), [](QChar c) {
                                      return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z');
                                  }));
            if (!shape || value.startsWith(u' '))
                add(Finding::Error, line, type, module, number, f.start,
                    QStringLiteral("Codice fiscale del produttore del software \"%1\" non valido.").arg(cf));
            continue;
        }
        checkPositionalValue(f, value, line, module, type);
    }
}

void Checker::checkPositionalValue(const PositionalField &f, const QString &value, int line, int module, QChar type)
{
    const TXMLCampoType &c = f.campo;
    const QString number = AllTrim(c.Number());
    const QString format = c.Format();
    auto fault = [&](const QString &text) { add(Finding::Error, line, type, module, number, f.start, text); };
    if (c.Info() == u"OF") {
        const QString expected = unplaceholder(FormatField(c.Fixed(), c.Width(), format, c.Info()));
        if (value != expected) {
            if (blank(expected))
                fault(QStringLiteral("Il campo \"%1\" deve essere vuoto.").arg(AllTrim(c.Description())));
            else
                fault(QStringLiteral("Il campo vale \"%1\" invece di \"%2\".").arg(AllTrim(value), AllTrim(expected)));
        }
        return;
    }
    const QString t = AllTrim(value);
    const int before = m_report.errors;
    if (c.Cds().compare(QLatin1String(kModuleAgent), Qt::CaseInsensitive) == 0) {
        // The extinct agent of the module, in a space the agency leaves to
        // the sender: another program may keep its own text there.
        if (!t.isEmpty() && !validFiscalCode(t))
            add(Finding::Warning, line, type, module, number, f.start,
                fiscalCodeText(t) + QStringLiteral(" Il campo non indica un sostituto estinto: i righi del modulo "
                                                    "sono del sostituto dichiarante, se un record J non lo nomina."));
        return;
    }
    if (format == u"CF") {
        if (!t.isEmpty() && value.startsWith(u' '))
            fault(QStringLiteral("Codice fiscale \"%1\" non allineato a sinistra.").arg(t));
        else if (!t.isEmpty() && !validFiscalCode(t))
            invalid(line, type, module, number, f.start, fiscalCodeText(t));
    } else if (format == u"NF") {
        if (!allDigits(value))
            fault(QStringLiteral("Valore \"%1\" non numerico: atteso un numero di %2 cifre.").arg(value).arg(f.width));
    } else if (format == u"CP") {
        if (!allDigits(value) || value.toInt() > 1)
            fault(QStringLiteral("Casella \"%1\" non valida: attesi 0 o 1.").arg(value));
    } else if (format == u"DT") {
        if (!t.isEmpty() && !validDate(t))
            fault(QStringLiteral("Data \"%1\" non valida: attesa una data reale nella forma GGMMAAAA.").arg(t));
    } else if (format == u"NU") {
        if (!t.isEmpty() && (value.endsWith(u' ') || !allDigits(t)))
            fault(QStringLiteral("Valore \"%1\" non numerico o non allineato a destra.").arg(t));
    }
    if (m_report.errors == before)
        codeInList(c, t, line, type, module, number, f.start);
}

void Checker::codeInList(const TXMLCampoType &campo, const QString &value, int line, QChar type, int module,
                         const QString &field, int position)
{
    if (value.isEmpty() || campo.Field().isEmpty())
        return;
    const auto it = codeListColumns().constFind(campo.Field().toUpper());
    if (it == codeListColumns().constEnd() || m_lists.rowCount(*it) == 0)
        return;
    // Numeric codes are written zero-filled ("01"), lists hold them as numbers.
    const bool digits = allDigits(value);
    if (digits && value.toLongLong() == 0)
        return;
    if (!m_lists.contains(*it, value) && !(digits && m_lists.contains(*it, QString::number(value.toLongLong()))))
        add(Finding::Warning, line, type, module, field, position,
            QStringLiteral("Codice \"%1\" non presente nella tabella %2.").arg(value, *it));
}

void Checker::checkKeyValues(const RecordLayout &layout, const QString &text, int line, int module)
{
    const QChar type = layout.type;
    int pos = layout.headWidth + 1;
    for (; pos + kKeyValueWidth - 1 <= kDataEnd; pos += kKeyValueWidth) {
        const QString code = text.mid(pos - 1, 8);
        if (blank(code))
            break;
        const QString value = text.mid(pos + 7, 16);
        auto it = layout.codes.constFind(code);
        if (it == layout.codes.constEnd()) {
            add(Finding::Error, line, type, module, code, pos,
                QStringLiteral("Codice di campo sconosciuto nel record %1.").arg(type));
            m_previousCode = code;
            continue;
        }
        checkKeyValue(layout, *it, code, value, line, pos, module);
    }
    if (pos <= kDataEnd && !blank(QStringView(text).mid(pos - 1, kDataEnd - pos + 1))) {
        qsizetype at = pos - 1;
        while (text[at] == u' ')
            ++at;
        add(Finding::Error, line, type, module, {}, int(at + 1),
            QStringLiteral("Dati dopo l'ultimo campo del record: i campi sono di 24 caratteri, senza spazi tra "
                           "l'uno e l'altro."));
    }
}

void Checker::checkKeyValue(const RecordLayout &layout, const KeyField &key, const QString &code, const QString &value,
                            int line, int position, int module)
{
    const QChar type = layout.type;
    auto fault = [&](const QString &text) { add(Finding::Error, line, type, module, code, position, text); };
    if (m_options.parsed && !m_options.parsed->modules.isEmpty())
        m_options.parsed->modules.last().fields.append({code, value});
    if (value.startsWith(u'+')) {
        if (m_previousCode != code)
            fault(QStringLiteral("Campo di continuazione (\"+\") che non segue un campo con lo stesso codice."));
        m_previousCode = code;
        return;
    }
    if (m_codes.contains(code))
        fault(QStringLiteral("Campo ripetuto nel modulo."));
    m_codes.insert(code);
    m_previousCode = code;
    m_tables.insert(code.left(2));

    const QString format = key.campo.Format();
    const QString t = AllTrim(value);
    const int before = m_report.errors;
    const bool right = !value.endsWith(u' ') && !t.isEmpty();
    qint64 cents = 0;
    if (format == u"VP") {
        if (!right || !amountCents(t, &cents))
            fault(QStringLiteral("Importo \"%1\" non valido: atteso un importo allineato a destra, con la virgola e due "
                                 "decimali.").arg(t));
        else {
            // Paid against withheld, credits and interest, row by row of ST and SV.
            const int row = code.mid(2, 3).toInt();
            const QString column = code.right(3);
            const bool st = code.startsWith(u"ST") && row >= 2 && row <= 37 && row != 26;
            const bool sv = code.startsWith(u"SV");
            if (st || sv) {
                RowAmounts &a = m_amounts[code.left(5)];
                if (!a.any)
                    a.line = line;
                a.any = true;
                if (column == u"002")
                    a.withheld = cents;
                else if (column == u"006")
                    a.credits = cents;
                else if (column == u"007")
                    a.paid = cents;
                else if (column == u"008")
                    a.interest = cents;
            }
        }
    } else if (format == u"NP" || format == u"NU" || format == u"NF") {
        const QString digits = format == u"NP" && t.startsWith(u'-') ? t.mid(1) : t;
        if (!right || !allDigits(digits))
            fault(QStringLiteral("Valore \"%1\" non valido: atteso un numero allineato a destra.").arg(t));
    } else if (format == u"N6") {
        if (!right || t.size() != 6 || !allDigits(t))
            fault(QStringLiteral("Periodo \"%1\" non valido: attesi mese e anno (MMAAAA) allineati a destra.").arg(t));
        else if (t.left(2).toInt() < 1 || t.left(2).toInt() > 12)
            invalid(line, type, module, code, position, QStringLiteral("Periodo \"%1\" non valido: il mese %2 non è tra 01 e 12.").arg(t, t.left(2)));
    } else if (format == u"DT") {
        if (!right || !validDate(t))
            fault(QStringLiteral("Data \"%1\" non valida: attesa una data reale nella forma GGMMAAAA, allineata a "
                                 "destra.").arg(t));
    } else if (format == u"CB") {
        if (t != u"1" || !right)
            fault(QStringLiteral("Casella \"%1\" non valida: atteso \"1\" allineato a destra.").arg(t));
    } else if (format == u"CF") {
        if (value.startsWith(u' '))
            fault(QStringLiteral("Codice fiscale \"%1\" non allineato a sinistra.").arg(t));
        else if (!validFiscalCode(t))
            invalid(line, type, module, code, position, fiscalCodeText(t));
    } else {
        if (value.startsWith(u' '))
            fault(QStringLiteral("Testo \"%1\" non allineato a sinistra.").arg(t));
    }
    if (m_report.errors == before)
        codeInList(key.campo, t, line, type, module, code, position);
}

void Checker::startModule(QChar type, int module, const QString &head)
{
    m_type = type;
    m_module = module;
    m_codes.clear();
    m_previousCode.clear();
    m_amounts.clear();
    if (m_options.parsed)
        m_options.parsed->modules.append({type, module, head, {}});
}

void Checker::finishModule()
{
    for (const auto &[row, a] : m_amounts) {
        if (m_damaged)
            break;
        const qint64 due = a.withheld - a.credits + a.interest;
        if (a.paid != due)
            add(Finding::Warning, a.line, m_type, m_module, row + QStringLiteral("007"), 0,
                QStringLiteral("Importo versato %1 diverso da ritenute %2 meno crediti utilizzati %3 più interessi %4 "
                               "(%5).").arg(euro(a.paid), euro(a.withheld), euro(a.credits), euro(a.interest), euro(due)));
    }
    m_amounts.clear();
    m_damaged = false;
    m_type = QChar();
    m_module = 0;
}

void Checker::finishSupply(QList<FileState> &states)
{
    const int n = int(states.size());
    QString firstCf;
    for (int i = 0; i < n; ++i) {
        FileState &s = states[i];
        m_file = s.path;
        if (s.aLine > 0 && s.k >= 0) {
            if (n == 1 && (s.k != 0 || s.total != 0))
                add(Finding::Error, s.aLine, u'A', 0, QStringLiteral("7"), 522,
                    s.total > 1 ? QStringLiteral("Il file è il numero %1 di una fornitura divisa in %2 file: indicare "
                                                 "tutti i file della fornitura.").arg(s.k).arg(s.total)
                                : QStringLiteral("Numerazione del file %1 di %2 invece di 0000 e 0000 per una fornitura "
                                                 "di un solo file.").arg(s.k).arg(s.total));
            else if (n > 1 && (s.total != n || s.k < 1 || s.k > n || (i > 0 && states[i - 1].k == s.k)))
                add(Finding::Error, s.aLine, u'A', 0, QStringLiteral("7"), 522,
                    QStringLiteral("Il record A indica il file %1 di %2, ma la fornitura è stata indicata in %3 file.")
                        .arg(s.k).arg(s.total).arg(n));
            else if (n > 1 && s.k != i + 1)
                add(Finding::Error, s.aLine, u'A', 0, QStringLiteral("7"), 522,
                    QStringLiteral("Manca il file numero %1 della fornitura.").arg(i + 1));
        }
        if (s.bLine == 0)
            continue;
        if (firstCf.isNull())
            firstCf = s.cf;
        else if (s.cf != firstCf)
            add(Finding::Error, s.bLine, u'B', 0, QStringLiteral("2"), 2,
                QStringLiteral("Codice fiscale del sostituto \"%1\" diverso da quello del primo file \"%2\".").arg(s.cf, firstCf));

        // The boxes of the frontispiece against the tables the supply holds.
        struct Box { int position; const char *table; bool present; };
        const bool sy = m_lastModule.value(u'I') > 0, ss = m_lastModule.value(u'J') > 0;
        for (const Box &b : {Box{1141, "ST", m_tables.contains(QStringLiteral("ST"))},
                             Box{1142, "SV", m_tables.contains(QStringLiteral("SV"))},
                             Box{1143, "SX", m_tables.contains(QStringLiteral("SX"))}, Box{1144, "SY", sy},
                             Box{1145, "SS", ss}, Box{1146, "DI", m_tables.contains(QStringLiteral("DI"))}}) {
            const QChar v = s.b[b.position - 1];
            const QString table = QString::fromLatin1(b.table);
            if (v != u'0' && v != u'1')
                add(Finding::Error, s.bLine, u'B', 0, {}, b.position,
                    QStringLiteral("Casella del prospetto %1 \"%2\" non valida: attesi 0 o 1.").arg(table).arg(v));
            else if ((v == u'1') != b.present)
                invalid(s.bLine, u'B', 0, {}, b.position,
                    b.present ? QStringLiteral("La casella del prospetto %1 vale 0 ma la fornitura contiene il prospetto.").arg(table)
                              : QStringLiteral("La casella del prospetto %1 vale 1 ma la fornitura non contiene il prospetto.").arg(table));
        }
    }
    m_file.clear();
}

} // namespace

CheckReport checkSupply(const QStringList &files, const SupplyLayouts &layouts, const CheckOptions &options)
{
    CheckReport report;
    if (options.parsed)
        *options.parsed = ParsedSupply();
    Checker(layouts, options, report).run(files);
    return report;
}

} // namespace jex::supply
