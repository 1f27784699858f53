#pragma once

// The import engine: executes one section of the rules file on the current
// record of a source dataset and the current record of a destination dataset
// that the caller has put into insert or edit state. It converts, combines
// and writes the destination's columns, one field after another, and shows
// every problem itself through the message service. It never posts,
// cancels, opens or moves either dataset: that is the caller's.

#include "imports/rules/importrules.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

#include <array>
#include <optional>

namespace jex {

class ClientDataSet;

class TImportXML
{
public:
    static constexpr int kVariables = 5;

    // When set, every field reads the source column named like its ToField
    // and the Operation steps are skipped: for sources that already have the
    // destination's layout.
    void setDestinationNames(bool on) { m_destinationNames = on; }
    bool destinationNames() const { return m_destinationNames; }

    // With `on`, the file is read at the first call only and its rules are
    // kept for the engine's life: for a run that has checked the file at its
    // start and executes thousands of sections from it.
    void setReadOnce(bool on) { m_readOnce = on; }

    // Run-time variables 1-5 that a DefaultValue "var(n)" reads; slots not
    // assigned are empty.
    void setVariable(int number, const QVariant &value);
    QVariant variable(int number) const;

    // True when every field of the matching section(s) was written; false
    // when the file is missing or damaged, no section matches, or a field
    // failed. Fields written before a failing one stay written.
    bool Execute(const QString &section, const QString &path, ClientDataSet &source,
                 ClientDataSet &destination);

private:
    bool runSection(const TXMLImportType &section, const QString &path, ClientDataSet &source,
                    ClientDataSet &destination);
    bool runField(const TXMLFieldType &field, const QString &section, const QString &path,
                  ClientDataSet &source, ClientDataSet &destination);
    const TXMLDataImportType *rules(const QString &path);
    const QList<const TXMLImportType *> &sectionsNamed(const QString &name);

    // A column found by name in a dataset, kept as its index; checked by its
    // name at each use, so another dataset or structure finds it anew.
    struct ColumnOf
    {
        const ClientDataSet *ds = nullptr;
        int index = -1;
    };
    // What a field of the rules read needs at every record, made once: the
    // texts its messages and conversions name it by (they depend on the
    // rules and the file only) and its columns.
    struct FieldTexts
    {
        QString fromWhat, toWhat, currentWhat, defaultWhat, inFile, indexDescr, origin;
        ColumnOf source, destination;
        // The field's attributes as the engine reads them, parsed once.
        QChar letter, stringCase;
        int variable = 0;
        bool required = false;
        int op = 0;
        struct Step
        {
            int kind = 0;
            bool in = false;      // the operand from the source record
            int when = 0;         // 0 always, 1 while the value is 0, 2 never
        };
        QList<Step> steps;        // one per Operation, in order
    };
    FieldTexts &textsOf(const TXMLFieldType &field, const QString &section, const QString &path);

    bool m_destinationNames = false;
    bool m_readOnce = false;
    std::array<QVariant, kVariables> m_variables;
    // The file is read at every call; it is parsed again only when its bytes
    // changed, so the results are those of a fresh parse.
    QString m_cachedPath;
    QByteArray m_cachedBytes;
    std::optional<TXMLDataImportType> m_cachedRules;
    QHash<QString, QList<const TXMLImportType *>> m_sections; // by upper-cased name
    QHash<const TXMLFieldType *, FieldTexts> m_texts;
};

} // namespace jex
