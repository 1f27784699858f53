#include "imports/rules/importrules.h"

#include "base/errors.h"
#include "base/paths.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>

namespace jex {

namespace {

QString where(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

[[noreturn]] void damaged(const QString &path, const QDomElement &e, const QString &what)
{
    throw EQxError(QStringLiteral("File delle regole di import danneggiato: %1\n\rRiga %2: %3")
                       .arg(where(path))
                       .arg(e.lineNumber())
                       .arg(what));
}

[[noreturn]] void damagedField(const QString &path, const QString &section, const QDomElement &e,
                               const QString &index, const QString &what)
{
    throw EQxError(QStringLiteral("File delle regole di import danneggiato: %1\n\r"
                                  "Sezione: %2\n\rIndice:      %3\n\rRiga %4: %5")
                       .arg(where(path), section, index)
                       .arg(e.lineNumber())
                       .arg(what));
}

// Every child element must be of the one kind the grammar allows there: a
// misspelt element would otherwise drop a whole field without a word.
QList<QDomElement> childrenOf(const QString &path, const QDomElement &parent, const QString &tag,
                              const QString &section = {}, const QString &index = {})
{
    QList<QDomElement> out;
    for (QDomElement c = parent.firstChildElement(); !c.isNull(); c = c.nextSiblingElement()) {
        if (c.tagName() != tag) {
            const QString what = QStringLiteral("elemento \"%1\" inatteso in \"%2\"")
                                     .arg(c.tagName(), parent.tagName());
            if (section.isNull())
                damaged(path, c, what);
            damagedField(path, section, c, index, what);
        }
        out.append(c);
    }
    return out;
}

QString attr(const QDomElement &e, const char *name)
{
    return e.attribute(QLatin1String(name));
}

} // namespace

int TXMLFieldType::variable() const
{
    if (!DefaultValue.startsWith(QLatin1String("var("), Qt::CaseInsensitive))
        return 0;
    // Only the fifth character counts: var(12) is variable 1.
    if (DefaultValue.size() < 5)
        return -1;
    const QChar digit = DefaultValue.at(4);
    if (digit < u'1' || digit > u'5')
        return -1;
    return digit.unicode() - u'0';
}

QList<const TXMLImportType *> TXMLDataImportType::sections(const QString &name) const
{
    QList<const TXMLImportType *> out;
    const QString wanted = name.toUpper();
    for (const TXMLImportType &i : Imports)
        if (i.Section.toUpper() == wanted)
            out.append(&i);
    return out;
}

TXMLDataImportType parseImportRules(const QByteArray &bytes, const QString &path)
{
    QDomDocument doc;
    QString error;
    int line = 0;
    int column = 0;
    if (!doc.setContent(bytes, &error, &line, &column))
        throw EQxError(QStringLiteral("File delle regole di import non leggibile: %1\n\r"
                                      "XML non valido alla riga %2, colonna %3")
                           .arg(where(path))
                           .arg(line)
                           .arg(column));
    const QDomElement root = doc.documentElement();
    if (root.tagName() != u"DataImport")
        damaged(path, root, QStringLiteral("l'elemento radice è \"%1\" invece di \"DataImport\"")
                                .arg(root.tagName()));

    TXMLDataImportType rules;
    rules.Anno = attr(root, "Anno");
    for (const QDomElement &ie : childrenOf(path, root, QStringLiteral("Import"))) {
        TXMLImportType import;
        import.Section = attr(ie, "Section");
        import.InputPath = attr(ie, "InputPath");
        import.OutputPath = attr(ie, "OutputPath");
        if (import.Section.trimmed().isEmpty())
            damaged(path, ie, QStringLiteral("sezione senza nome (attributo Section)"));
        for (const QDomElement &fe : childrenOf(path, ie, QStringLiteral("Field"), import.Section)) {
            TXMLFieldType f;
            f.Index = attr(fe, "Index");
            f.FromField = attr(fe, "FromField");
            f.ToField = attr(fe, "ToField");
            f.TypeOf = attr(fe, "TypeOf");
            f.StringCase = attr(fe, "StringCase");
            f.Required = attr(fe, "Required");
            f.DefaultValue = attr(fe, "DefaultValue");
            f.Descr = attr(fe, "Descr");
            f.Op = attr(fe, "Op");
            f.line = fe.lineNumber();
            if (f.variable() < 0)
                damagedField(path, import.Section, fe, f.Index,
                             QStringLiteral("riferimento a una variabile non valido \"%1\": "
                                            "le variabili sono var(1) ... var(5)")
                                 .arg(f.DefaultValue));
            for (const QDomElement &oe :
                 childrenOf(path, fe, QStringLiteral("Operation"), import.Section, f.Index)) {
                childrenOf(path, oe, QStringLiteral("-"), import.Section, f.Index);
                f.Operations.append({attr(oe, "TypeOf"), attr(oe, "Field"), attr(oe, "Source"),
                                     attr(oe, "OnlyIfNull")});
            }
            import.Fields.append(f);
        }
        rules.Imports.append(import);
    }
    return rules;
}

TXMLDataImportType loadImportRules(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EQxError(QStringLiteral("File non presente o percorso errato:\n\r") + where(path));
    return parseImportRules(file.readAll(), path);
}

QString importRulesFile()
{
    return Paths::resolveIn(Paths::importDir(), QStringLiteral("Import.xml"));
}

} // namespace jex
