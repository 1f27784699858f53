#pragma once

// The table catalogue: every table of the return (program "jex") and of the
// certification tables (program "jey") with its columns, read from
// USR/YR2024/Res/Catalogo/<program>.xml.

#include "dataset/dataset.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace jex {

enum class ColumnKind { Text, Integer, Decimal, Date, Flag, Code, Blob };

QString columnKindName(ColumnKind kind);

struct CatalogueColumn
{
    QString name;
    ColumnKind kind = ColumnKind::Text;
    int size = 0;
    int decimals = 0;
    QString box;
    QString label;    // may hold "%s" for a year or a name filled in by the frame
    QString group;
    QString codelist;
    bool internal = false; // no entry frame binds it

    FieldType fieldType() const;
};

struct CatalogueTable
{
    QString program;   // "jex" or "jey"
    QString name;
    QString caption;
    QString rows;      // "one", "perRecipient", "many"
    QStringList key;
    QStringList sort;
    QStringList entrySort;
    QString frame;
    QString fieldmap;
    bool anagrafica = false;
    QList<CatalogueColumn> columns;

    const CatalogueColumn *column(const QString &name) const; // case-insensitive
};

class TableCatalogue
{
public:
    // The installation's catalogue (loaded on first use; throws EQxError
    // when a file is missing or damaged).
    static const TableCatalogue &instance();

    // Reads the given program files; throws EQxError naming the file.
    void load(const QString &jexFile, const QString &jeyFile);
    void loadFile(const QString &path);

    QList<const CatalogueTable *> tables(const QString &program = {}) const;
    const CatalogueTable *table(const QString &name) const; // case-insensitive; nullptr if absent
    const CatalogueTable *table(const QString &program, const QString &name) const;

    // Fields of the table as the structure schema defines them.
    static void makeDataSet(const CatalogueTable &table, ClientDataSet &ds);

    static QString defaultFile(const QString &program);

private:
    QList<CatalogueTable> m_tables;
};

} // namespace jex
