#pragma once

// The import engine: executes one section of the rules file on the current
// record of a source dataset and the current record of a destination dataset
// that the caller has put into insert or edit state. It converts, combines
// and writes the destination's columns, one field after another, and shows
// every problem itself through the message service. It never posts,
// cancels, opens or moves either dataset: that is the caller's.

#include "imports/rules/importrules.h"

#include <QByteArray>
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

    bool m_destinationNames = false;
    std::array<QVariant, kVariables> m_variables;
    // The file is read at every call; it is parsed again only when its bytes
    // changed, so the results are those of a fresh parse.
    QString m_cachedPath;
    QByteArray m_cachedBytes;
    std::optional<TXMLDataImportType> m_cachedRules;
};

} // namespace jex
