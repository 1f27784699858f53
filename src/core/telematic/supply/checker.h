#pragma once

// The check of a telematic supply before it is sent: structure of the files
// and of their records, every field against its layout, and the consistency
// of the frontispiece with the records present. The same check runs on what
// the file wizard has just written and before a supply is read back.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace jex::supply {

class SupplyLayouts;

struct Finding
{
    enum Severity { Error, Warning };
    Severity severity = Error;
    QString file;      // empty for the supply as a whole
    int line = 0;      // 1-based; 0 for the whole file
    QChar record;      // record type; null when unknown
    int module = 0;    // D, I, J; 0 when none
    QString field;     // key-value code, or the ordinal of a positional field
    int position = 0;  // first character of the field in the record; 0 when none
    QString text;      // Italian
    // A value that reads but is not valid (a check character, a month, a
    // box of the frontispiece): the supply can still be read back and the
    // value corrected in the return.
    bool readable = false;

    // "77025:3: errore: record D, modulo 1, campo ST002002 (pos. 114): ..."
    QString toString() const;
};

// A module's key-value fields as the file holds them, for the reader.
struct ParsedField
{
    QString code;
    QString value; // the 16 characters of the value, as written
};

struct ParsedModule
{
    QChar record;
    int module = 0;
    QString head;            // the positional head of the module's first record
    QList<ParsedField> fields;
};

struct ParsedSupply
{
    QString recordA, recordB; // of the first file
    QList<ParsedModule> modules; // in file order
};

struct CheckReport
{
    QList<Finding> findings; // at most kMaxListed; the counts below are complete
    int errors = 0;
    int warnings = 0;
    int blocking = 0; // errors that keep the supply from being read back
    bool unreadable = false; // a file could not be read at all
    int files = 0;
    int records = 0;

    static constexpr int kMaxListed = 5000;
    // 0 without errors, 1 with errors, 2 when a file cannot be read.
    int exitCode() const { return unreadable ? 2 : errors > 0 ? 1 : 0; }
    // "Errori: 2 - Avvisi: 1".
    QString summary() const;
    // Every listed finding, a line for those left out, and the counts.
    QStringList lines() const;
};

struct CheckOptions
{
    // Fills the parsed modules as the files are read (for the reader).
    ParsedSupply *parsed = nullptr;
    // Progress: records read so far, out of an estimate from the files' sizes.
    std::function<void(qint64 done, qint64 total)> progress;
};

// Checks one supply: the files of a split supply together, in any order.
CheckReport checkSupply(const QStringList &files, const SupplyLayouts &layouts, const CheckOptions &options = {});

} // namespace jex::supply
