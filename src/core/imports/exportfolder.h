#pragma once

// A folder written by "Esporta dati" (`jex770 export`): one file per table of
// the return, named after the table with the extension ".CDS" in any letter
// case. Reading a table checks that its file is there, is whole and holds
// that table: a damaged, truncated or misnamed file is refused with a
// message naming it, before its rows are used.

#include <QString>
#include <QStringList>

namespace jex {

class ClientDataSet;

class ExportFolder
{
public:
    explicit ExportFolder(const QString &dir);

    QString dir() const { return m_dir; }

    // The file of a table, found whatever the case of its name; empty when
    // the folder has none.
    QString fileOf(const QString &table) const;

    // The tables of the list that have no file, in the list's order.
    QStringList missing(const QStringList &tables) const;

    // Reads the table's file into ds. Throws EQxError with an Italian message
    // naming the file when it is missing, cannot be read, is damaged, or
    // holds columns that the table does not have or lacks `required` ones.
    void open(const QString &table, ClientDataSet &ds, const QStringList &required = {}) const;

    // Throws EQxError unless the folder exists and holds every table listed.
    void requireTables(const QStringList &tables) const;

private:
    QString m_dir;
};

} // namespace jex
