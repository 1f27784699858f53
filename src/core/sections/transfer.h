#pragma once

// Showing a section as CSV or JSON and loading rows into it from a file, for
// the batch commands "show" and "load" and for whoever needs the same.

#include "dataset/dataset.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace jex {

class TQmrDBCds;
struct CatalogueTable;

// Checks that a table's rows must pass before a file is loaded into it, the
// rows already in the table as well as the file's. A row check returns what
// it finds wrong in the dataset's current row (the load names the row: a
// line of the file, or a row already saved); a warning function returns
// lines that are printed without stopping the load.
class SectionLoadHooks
{
public:
    struct Fault
    {
        QString column; // may be empty
        QString text;   // Italian; empty when the row passes
        bool isEmpty() const { return text.isEmpty(); }
    };
    using RowCheck = std::function<Fault(const ClientDataSet &)>;
    using Warnings = std::function<QStringList(ClientDataSet &)>;
    static void addRowCheck(const QString &table, const RowCheck &check);
    static void addWarnings(const QString &table, const Warnings &warnings);
    // The first fault of the current row, or an empty one.
    static Fault checkRow(const QString &table, const ClientDataSet &ds);
    // Warnings about one loaded row of any table (by its columns), given the
    // row as the current record; the load puts the file's line before each.
    using RowWarnings = std::function<QStringList(const ClientDataSet &)>;
    static void addRowWarnings(const RowWarnings &warnings);
    static QStringList runRowWarnings(const ClientDataSet &ds);
    static QStringList runWarnings(const QString &table, ClientDataSet &ds);
};

enum class SectionFormat { Csv, Json };

// The section's rows, all columns of the stored structure.
QString formatSection(ClientDataSet &ds, SectionFormat format);

struct SectionLoadResult
{
    int rows = 0;
    int removed = 0;
    QStringList warnings;
};

// Reads a CSV (";" or "," separated, a header of column names, UTF-8 or
// else Windows-1252) or a JSON array of objects and saves the rows into the
// section in one transaction that holds the section against other writers.
// Refuses the whole file (EQxError beginning "Il file non è stato caricato",
// naming the line or element and the column) when the file has no header of
// the table's columns, or a value does not fit its column as it is: nothing
// is rounded, cut or altered, and nothing is written then. With replace the
// rows already in the section are deleted in the same save.
SectionLoadResult loadSection(TQmrDBCds &service, const CatalogueTable &table, const QString &path, bool replace);

// The checks a load runs on a table's rows, on rows as they are saved:
// throws EQxError naming the first saved row at fault.
void checkSectionRows(const CatalogueTable &table, ClientDataSet &ds);

} // namespace jex
