#pragma once

// JexUXmlImport: the import rules file, Import.xml. Which source column goes
// to which destination column, with which conversion, default, letter case
// and arithmetic, is data delivered with the installation; this binding reads
// it and rejects a damaged file as a whole, before any field is written.

#include <QByteArray>
#include <QList>
#include <QString>

namespace jex {

// One arithmetic step on a field's value.
struct TXMLOperationType
{
    QString TypeOf;     // add, sub, mul, div, min, max, equal
    QString Field;      // column that supplies the operand
    QString Source;     // "in": the source record; anything else: the destination
    QString OnlyIfNull; // "true": only while the value is 0; empty: always; else never
};

// One destination column.
struct TXMLFieldType
{
    QString Index;
    QString FromField;
    QString ToField;
    QString TypeOf;
    QString StringCase;
    QString Required;
    QString DefaultValue;
    QString Descr;
    QString Op;
    QList<TXMLOperationType> Operations;
    int line = 0; // in the file, for the messages about the file itself

    // Number of the run-time variable DefaultValue refers to (1-5), or 0
    // when it is a literal.
    int variable() const;
};

// One import definition ("section").
struct TXMLImportType
{
    QString Section;
    QString InputPath;
    QString OutputPath;
    QList<TXMLFieldType> Fields;
};

struct TXMLDataImportType
{
    QString Anno;
    QList<TXMLImportType> Imports;

    // The definitions whose Section matches the name, compared upper-cased,
    // in document order.
    QList<const TXMLImportType *> sections(const QString &name) const;
};

// Reads the rules from the bytes of a file; path only names it in the
// messages. Throws EQxError with an Italian message naming the file and,
// where it applies, the section, the index and the line.
TXMLDataImportType parseImportRules(const QByteArray &bytes, const QString &path);

// Reads the rules from a file; throws EQxError when it is missing or damaged.
TXMLDataImportType loadImportRules(const QString &path);

// USR/YR2024/Res/Import/Import.xml under the installation directory.
QString importRulesFile();

} // namespace jex
