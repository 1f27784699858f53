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

// Checks that a table's rows must pass before a file is loaded into it.
// A check throws (EQxError, with an Italian message) to refuse the file; a
// warning function returns lines that are printed without stopping the load.
class SectionLoadHooks
{
public:
    using Check = std::function<void(ClientDataSet &)>;
    using Warnings = std::function<QStringList(ClientDataSet &)>;
    static void addCheck(const QString &table, const Check &check);
    static void addWarnings(const QString &table, const Warnings &warnings);
    // Warnings about one loaded row of any table (by its columns), given the
    // row as the current record; the load puts the file's line before each.
    using RowWarnings = std::function<QStringList(const ClientDataSet &)>;
    static void addRowWarnings(const RowWarnings &warnings);
    static QStringList runRowWarnings(const ClientDataSet &ds);
    static void runChecks(const QString &table, ClientDataSet &ds);
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

// Reads a CSV (";" or "," separated, header of column names) or a JSON array
// of objects and saves the rows into the section in one save. Refuses the
// whole file (EQxError naming "riga N, colonna X") on an unknown column or a
// value that does not fit; nothing is written then. With replace the rows
// already in the section are deleted in the same save.
SectionLoadResult loadSection(TQmrDBCds &service, const CatalogueTable &table, const QString &path, bool replace);

} // namespace jex
