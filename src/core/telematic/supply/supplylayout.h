#pragma once

// The record layouts seen from the file's side: where every positional field
// of a record lies, and which layout field, section and row a key-value code
// stands for. The checker and the reader of a supply both read through this,
// so that they know exactly the fields the generation writes.

#include "telematic/layouts.h"

#include <QHash>
#include <QList>
#include <QString>

namespace jex::supply {

inline constexpr int kRecordLength = 1898;   // without CR LF
inline constexpr int kDataEnd = 1897;        // last character of data
inline constexpr int kKeyValueWidth = 24;    // 8 of code, 16 of value

// A positional field: its layout description and its place in the record.
struct PositionalField
{
    TXMLCampoType campo;
    int start = 0; // 1-based
    int width = 0;
};

// What a key-value code stands for.
struct KeyField
{
    TXMLCampoType campo;
    int section = 0;    // index of the section in the layout
    int row = 0;        // row of the form (0 for a section written once)
    bool perRow = false; // a repeated section: every row number is a row of its table
    QString sectionText;
    QString cds;        // the dataset the value belongs to (section's Cds first in record J)
};

struct RecordLayout
{
    QChar type;
    QList<PositionalField> positional; // A, B, Z: the whole record; D, I, J: the module's head
    int headWidth = 0;                 // D, I, J: characters before the first key-value field
    QHash<QString, KeyField> codes;    // D, I, J

    const PositionalField *positionalAt(int position) const;
    const PositionalField *positionalNumber(const QString &number) const;
};

// Rows of the form that a repeated section takes, as the generation numbers
// them; empty for a section written once or never.
QList<int> repeatedRows(QChar record, const TXMLSectionType &section);

class SupplyLayouts
{
public:
    // Reads the six layouts of a folder (the installation's when empty);
    // throws EQxError for a missing or malformed layout.
    explicit SupplyLayouts(const QString &dir = {});
    const RecordLayout *record(QChar type) const; // nullptr for a type without layout

private:
    QHash<QChar, RecordLayout> m_records;
};

} // namespace jex::supply
