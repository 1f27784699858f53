#pragma once

#include <QString>

namespace jex {

class ClientDataSet;

// Where the prints read the sections of the return from. The window program
// and the batch commands use the database; tests and the command line's
// --data option hand in exported section files.
class PrintTables
{
public:
    virtual ~PrintTables() = default;
    // Opens every row of the section into the dataset (structure included).
    virtual void open(const QString &table, ClientDataSet &cds) = 0;
    // Writes the dataset's pending changes back.
    virtual void save(const QString &table, ClientDataSet &cds) = 0;
};

PrintTables &printTables();
void setPrintTables(PrintTables *tables); // not owned; nullptr restores the database

// Section files NAME.CDS of a directory, as the export writes them; a
// section without a file opens empty with its columns from the catalogue.
class CdsDirectoryTables : public PrintTables
{
public:
    explicit CdsDirectoryTables(const QString &dir) : m_dir(dir) {}
    void open(const QString &table, ClientDataSet &cds) override;
    void save(const QString &table, ClientDataSet &cds) override;

private:
    QString m_dir;
};

// Gives a dataset the columns of a section as the catalogue lists them.
void defineFromCatalogue(const QString &table, ClientDataSet &cds);

} // namespace jex
