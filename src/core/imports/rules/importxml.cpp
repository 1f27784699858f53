#include "imports/rules/importxml.h"

#include "base/errors.h"
#include "base/messages.h"
#include "base/money.h"
#include "dataset/dataset.h"
#include "imports/rules/importvalue.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <optional>

namespace jex {

namespace {

constexpr qint64 kUnit = TQmrCalcola::Unit;

const QString kNl = QStringLiteral("\n\r");

qint64 roundedDiv(long double value)
{
    return qint64(std::llround(value));
}

// Whole units, half away from zero.
qint64 wholeOf(const ImportNumber &n)
{
    if (n.real)
        return qint64(std::llround(n.r));
    return TQmrCalcola::RoundCurr(0, n.money) / kUnit;
}

enum class Combine { None, Sum, Sub, Not };
enum class StepKind { None, Add, Sub, Mul, Div, Min, Max, Equal };

Combine combineOf(const QString &op)
{
    const QString o = op.toLower();
    if (o == u"sum" || o == u"+")
        return Combine::Sum;
    if (o == u"sub" || o == u"-")
        return Combine::Sub;
    if (o == u"not")
        return Combine::Not;
    return Combine::None;
}

StepKind stepOf(const QString &typeOf)
{
    const QString t = typeOf.toLower();
    if (t == u"add")
        return StepKind::Add;
    if (t == u"sub")
        return StepKind::Sub;
    if (t == u"mul")
        return StepKind::Mul;
    if (t == u"div")
        return StepKind::Div;
    if (t == u"min")
        return StepKind::Min;
    if (t == u"max")
        return StepKind::Max;
    if (t == u"equal")
        return StepKind::Equal;
    return StepKind::None;
}

ImportNumber combine(Combine op, const ImportNumber &a, const ImportNumber &b)
{
    switch (op) {
    case Combine::Sum:
        return a.real ? ImportNumber::floating(a.r + b.toDouble()) : ImportNumber::amount(a.money + b.money);
    case Combine::Sub:
        return a.real ? ImportNumber::floating(a.r - b.toDouble()) : ImportNumber::amount(a.money - b.money);
    case Combine::Not: {
        const bool both = a.isOne() && b.isOne();
        return a.real ? ImportNumber::floating(both ? 1 : 0) : ImportNumber::amount(both ? kUnit : 0);
    }
    case Combine::None:
        break;
    }
    return a;
}

ImportNumber step(StepKind t, const ImportNumber &v, qint64 operand)
{
    const double od = double(operand) / double(kUnit);
    ImportNumber out = v;
    switch (t) {
    case StepKind::Add:
        out = v.real ? ImportNumber::floating(v.r + od) : ImportNumber::amount(v.money + operand);
        break;
    case StepKind::Sub:
        out = v.real ? ImportNumber::floating(v.r - od) : ImportNumber::amount(v.money - operand);
        break;
    case StepKind::Mul:
        out = v.real ? ImportNumber::floating(v.r * od)
                     : ImportNumber::amount(roundedDiv((long double)v.money * operand / kUnit));
        break;
    case StepKind::Div:
        if (operand == 0)
            return v;
        out = v.real ? ImportNumber::floating(v.r / od)
                     : ImportNumber::amount(roundedDiv((long double)v.money * kUnit / operand));
        break;
    case StepKind::Min:
    case StepKind::Max: {
        const qint64 a = wholeOf(v);
        const qint64 b = wholeOf(ImportNumber::amount(operand));
        out = ImportNumber::amount((t == StepKind::Min ? std::min(a, b) : std::max(a, b)) * kUnit);
        out.whole = true;
        return out;
    }
    case StepKind::Equal:
        out = v.real ? ImportNumber::floating(od) : ImportNumber::amount(operand);
        break;
    case StepKind::None:
        return v;
    }
    out.whole = v.whole && t != StepKind::Div && t != StepKind::Mul && t != StepKind::Equal;
    return out;
}

// Below this (in ten-thousandths) an amount's text read back as a double
// gives the amount again exactly.
constexpr qint64 kTypedLimit = 100000000000000LL;

// An amount or whole-number column read from the column's value instead of
// its text: the text of a currency column is the amount rounded to the
// decimals it shows, that of an integer column the whole number, and
// reading either back gives exactly this. Empty when only the text says what
// the rule reads (a null column takes the default, other types parse it).
std::optional<ImportNumber> typedNumber(QChar letter, const Field &f)
{
    if ((letter != u'c' && letter != u'i') || f.isNull())
        return std::nullopt;
    qint64 m = 0;
    if (f.type() == FieldType::Currency) {
        const int decimals = f.decimals() > 0 ? f.decimals() : 2;
        if (decimals > 4)
            return std::nullopt;
        m = TQmrCalcola::RoundCurr(decimals, f.asMoney());
    } else if (f.type() == FieldType::Integer) {
        const qint64 n = f.asInteger();
        if (n >= kTypedLimit / kUnit || n <= -kTypedLimit / kUnit)
            return std::nullopt;
        m = n * kUnit;
    } else {
        return std::nullopt;
    }
    // A whole number rule on an amount with cents is an error the text
    // conversion words.
    if (m >= kTypedLimit || m <= -kTypedLimit || (letter == u'i' && m % kUnit != 0))
        return std::nullopt;
    return ImportNumber::amount(m);
}

ImportValue readColumn(QChar letter, const Field &f, const QString &fallback, const QString &what,
                       const QString &fallbackWhat)
{
    if (const std::optional<ImportNumber> n = typedNumber(letter, f)) {
        ImportValue v;
        v.letter = letter;
        v.number = *n;
        return v;
    }
    // A date column's text is the date in four-digit years.
    if (letter == u'd' && f.type() == FieldType::Date && !f.isNull()) {
        const QDate d = f.asDate();
        if (d.isValid() && d.year() >= 1000 && d.year() <= 9999) {
            ImportValue v;
            v.letter = letter;
            v.plain = d;
            return v;
        }
    }
    return convertImportText(letter, f.asString(), fallback, what, fallbackWhat);
}

// The operand of an Operation, "made numeric by adding a currency 0": a
// null column counts as 0.
qint64 operandOf(const Field &f)
{
    if (f.isNull())
        return 0;
    switch (f.type()) {
    case FieldType::Currency:
        return f.asMoney();
    case FieldType::Integer:
        return f.asInteger() * kUnit;
    case FieldType::Float:
        return TQmrCalcola::fromDouble(f.asFloat());
    case FieldType::Boolean:
        return f.asBoolean() ? kUnit : 0;
    default:
        break;
    }
    const ImportValue v = convertImportText(u'c', f.asString(), {},
                                            QStringLiteral("della colonna %1").arg(f.name()), {});
    return v.number.money;
}

template <typename Column>
Field *column(Column &known, ClientDataSet &ds, const QString &name)
{
    if (known.ds == &ds && known.index >= 0 && known.index < ds.fieldCount()) {
        Field *f = ds.field(known.index);
        if (f->name() == name || f->name().compare(name, Qt::CaseInsensitive) == 0)
            return f;
    }
    known.ds = &ds;
    known.index = ds.fieldIndex(name);
    return known.index >= 0 ? ds.field(known.index) : nullptr;
}

QVariant storedNumber(QChar letter, const ImportNumber &n)
{
    if (letter == u'x')
        return qint64(n.isZero() ? 0 : wholeOf(n));
    // An amount of zero leaves the column empty rather than holding 0.
    if (n.isZero())
        return {};
    if (letter == u'i' || n.whole)
        return wholeOf(n);
    if (n.real)
        return n.r;
    return n.toDouble();
}

QString variableText(const QVariant &v)
{
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().toString(u"dd/MM/yyyy");
    return v.toString();
}

} // namespace

void TImportXML::setVariable(int number, const QVariant &value)
{
    if (number < 1 || number > kVariables)
        jexAssert(QStringLiteral("Variabile di import %1 inesistente: le variabili sono 1-5").arg(number));
    m_variables[size_t(number - 1)] = value;
}

QVariant TImportXML::variable(int number) const
{
    if (number < 1 || number > kVariables)
        return {};
    return m_variables[size_t(number - 1)];
}

const TXMLDataImportType *TImportXML::rules(const QString &path)
{
    if (m_readOnce && m_cachedRules && path == m_cachedPath)
        return &*m_cachedRules;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        messages().error(QStringLiteral("File non presente o percorso errato:\n\r") + path);
        return nullptr;
    }
    const QByteArray bytes = file.readAll();
    if (m_cachedRules && path == m_cachedPath && bytes == m_cachedBytes)
        return &*m_cachedRules;
    m_cachedRules.reset();
    m_sections.clear();
    m_texts.clear();
    try {
        m_cachedRules = parseImportRules(bytes, path);
    } catch (const EQxError &e) {
        messages().error(e.message());
        return nullptr;
    }
    m_cachedPath = path;
    m_cachedBytes = bytes;
    return &*m_cachedRules;
}

const QList<const TXMLImportType *> &TImportXML::sectionsNamed(const QString &name)
{
    auto it = m_sections.find(name);
    if (it == m_sections.end())
        it = m_sections.insert(name, m_cachedRules->sections(name));
    return *it;
}

TImportXML::FieldTexts &TImportXML::textsOf(const TXMLFieldType &f, const QString &section, const QString &path)
{
    auto it = m_texts.find(&f);
    if (it != m_texts.end())
        return *it;
    FieldTexts t;
    t.fromWhat = QStringLiteral("della colonna %1").arg(f.FromField);
    t.toWhat = QStringLiteral("della colonna %1").arg(f.ToField);
    t.currentWhat = QStringLiteral("già presente nella colonna %1").arg(f.ToField);
    t.inFile = QStringLiteral("(sezione %1, file %2)").arg(section, QDir::toNativeSeparators(path));
    const int var = f.variable();
    t.defaultWhat = var > 0 ? QStringLiteral("della variabile %1 %2").arg(var).arg(t.inFile)
                            : QStringLiteral("del valore predefinito %1").arg(t.inFile);
    t.indexDescr = QStringLiteral("Indice:      ") + f.Index + kNl + QStringLiteral("Descrizione: ") + f.Descr;
    // Which section of which file: the rules file is the usual culprit.
    t.origin = kNl + QStringLiteral("Sezione:     ") + section + kNl + QStringLiteral("File:        ")
               + QDir::toNativeSeparators(path);
    t.letter = importTypeLetter(f.TypeOf);
    t.stringCase = f.StringCase.isEmpty() ? QChar() : f.StringCase.at(0).toUpper();
    t.variable = var;
    t.required = f.Required.compare(u"TRUE", Qt::CaseInsensitive) == 0;
    t.op = int(combineOf(f.Op));
    for (const TXMLOperationType &o : f.Operations) {
        FieldTexts::Step s;
        s.kind = int(stepOf(o.TypeOf));
        s.in = o.Source.compare(u"in", Qt::CaseInsensitive) == 0;
        s.when = o.OnlyIfNull.isEmpty() ? 0 : o.OnlyIfNull.compare(u"true", Qt::CaseInsensitive) == 0 ? 1 : 2;
        t.steps.append(s);
    }
    return *m_texts.insert(&f, t);
}

bool TImportXML::Execute(const QString &section, const QString &path, ClientDataSet &source,
                         ClientDataSet &destination)
{
    const bool kept = m_readOnce && m_cachedRules && path == m_cachedPath;
    if (!kept && !QFile::exists(path)) {
        messages().error(QStringLiteral("File non presente o percorso errato:\n\r") + path);
        return false;
    }
    const TXMLDataImportType *doc = rules(path);
    if (!doc)
        return false;
    bool result = false;
    for (const TXMLImportType *s : sectionsNamed(section))
        result = runSection(*s, path, source, destination);
    return result;
}

bool TImportXML::runSection(const TXMLImportType &section, const QString &path,
                            ClientDataSet &source, ClientDataSet &destination)
{
    for (const TXMLFieldType &f : section.Fields)
        if (!runField(f, section.Section, path, source, destination))
            return false;
    return true;
}

bool TImportXML::runField(const TXMLFieldType &f, const QString &section, const QString &path,
                          ClientDataSet &source, ClientDataSet &destination)
{
    const QString &name = m_destinationNames ? f.ToField : f.FromField;
    FieldTexts &texts = textsOf(f, section, path);
    const QString &indexDescr = texts.indexDescr;
    const QString &origin = texts.origin;
    Field *src = name.isEmpty() ? nullptr : column(texts.source, source, name);
    // A required column that the source lacks is reported below as a column
    // not found, like any other: a rules file naming a wrong column stops its
    // section, not the whole import.
    const bool sourceMissing = !name.isEmpty() && !src;

    if (!sourceMissing && texts.required) {
        const QString text = src ? src->asString() : QString();
        if (text.isEmpty() && f.DefaultValue.isEmpty()) {
            messages().error(QStringLiteral("Campo richiesto non presente: \n\r") + indexDescr + origin);
            return false;
        }
    }
    if (f.ToField.isEmpty()) {
        messages().error(QStringLiteral("Campo di destinazione non compilato: \n\r") + indexDescr + origin);
        return false;
    }
    if (sourceMissing) {
        messages().error(QStringLiteral("Campo di acquisizione non trovato: ") + name + kNl + indexDescr + origin);
        return false;
    }

    try {
        Field *dest = column(texts.destination, destination, f.ToField);
        if (!dest)
            throw EQxError(QStringLiteral("la colonna di destinazione %1 non esiste (sezione %2, file %3)")
                               .arg(f.ToField, section, QDir::toNativeSeparators(path)));
        const QChar letter = texts.letter;
        const int var = texts.variable;
        const QString fallback = var > 0 ? variableText(m_variables[size_t(var - 1)]) : f.DefaultValue;
        const QString &inFile = texts.inFile;
        const QString &defaultWhat = texts.defaultWhat;

        const ImportValue incoming =
            src ? readColumn(letter, *src, fallback, m_destinationNames ? texts.toWhat : texts.fromWhat, defaultWhat)
                : convertImportText(letter, fallback, {}, defaultWhat, {});
        // Op reads what the column already holds; the other types ignore it.
        ImportValue current;
        if (incoming.isNumeric())
            current = readColumn(letter, *dest, {}, texts.currentWhat, {});

        QVariant result;
        if (letter == u's') {
            const QChar sc = texts.stringCase;
            QString text = incoming.plain.toString();
            if (sc == u'U')
                text = text.toUpper();
            else if (sc == u'L')
                text = text.toLower();
            result = text.isEmpty() ? QVariant() : QVariant(text);
        } else if (letter == u'c' || letter == u'f' || letter == u'i') {
            ImportNumber v = combine(Combine(texts.op), incoming.number, current.number);
            if (!m_destinationNames) {
                for (qsizetype k = 0; k < f.Operations.size(); ++k) {
                    const TXMLOperationType &o = f.Operations.at(k);
                    const FieldTexts::Step &st = texts.steps.at(k);
                    ClientDataSet &from = st.in ? source : destination;
                    const Field *of = from.findField(o.Field);
                    if (!of)
                        throw EQxError(QStringLiteral("la colonna %1 dell'operazione %2 non esiste nel %3 %4")
                                           .arg(o.Field, o.TypeOf,
                                                st.in ? QStringLiteral("record di origine")
                                                      : QStringLiteral("record di destinazione"),
                                                inFile));
                    const qint64 operand = operandOf(*of);
                    if (st.when == 0 || (st.when == 1 && v.isZero()))
                        v = step(StepKind(st.kind), v, operand);
                }
            }
            result = storedNumber(letter, v);
        } else if (letter == u'x') {
            result = storedNumber(letter, combine(Combine(texts.op), incoming.number, current.number));
        } else if (letter == u'd') {
            const QDate d = incoming.plain.toDate();
            result = d.isValid() ? QVariant(d) : QVariant();
        } else {
            result = incoming.plain;
        }
        dest->setValue(result);
    } catch (const std::exception &e) {
        messages().warning(QStringLiteral("Errore nel campo: ") + name + kNl + indexDescr + kNl
                           + QStringLiteral("Errore: ") + errorText(e));
        return false;
    }
    return true;
}

} // namespace jex
