#pragma once

// The value rows of the structure store (TFIS_DATIFISCALI) in bulk, straight
// through the driver's own handle: a save of a large section writes hundreds
// of thousands of rows and an open reads them back, and going through
// QSqlQuery costs a QVariant and a driver round of work for every value.
// The rows and values are the ones the Qt drivers would store and return.

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <memory>
#include <vector>

namespace jex {

class TQxSQLConnection;

// One value of one record. The value goes into the column of its slot; the
// other three value columns stay null.
struct ValueRow
{
    enum Slot { Text, Integer, Number, Date };
    qint64 afi = 0;   // registry entry, 0 = none (stored as null)
    qint64 rigo = 0;  // record number
    int name = 0;     // index into the field names of the write
    Slot slot = Text;
    QString text;
    qint64 integer = 0;
    double number = 0;
    QDate date;
};

// Appends value rows of one structure and period inside the caller's
// transaction: one prepared INSERT stepped per row on SQLite, COPY on
// PostgreSQL. A failure throws EQxError with the database's message; what
// was written of the rows then goes with the caller's rollback.
void insertValueRows(TQxSQLConnection &c, qint64 cdsId, qint64 crfId, const QStringList &names,
                     const std::vector<ValueRow> &rows);

// Deletes the rows of a table whose key column holds one of the keys (and,
// with a scope column, whose scope column holds scope), in as few statements
// as the database allows. Names are the program's own, never user text.
void deleteKeyedRows(TQxSQLConnection &c, const QString &table, const QString &keyColumn, const QList<qint64> &keys,
                     const QString &scopeColumn = {}, qint64 scope = 0);

// The writes of one save, in the order they are added: value rows, key-list
// deletes and single statements. On PostgreSQL they wait here and go to the
// server together when sent, in one exchange (libpq's pipeline mode), except
// a large block of value rows, which goes by COPY; on SQLite each runs as it
// is added. The first failure is thrown as EQxError, at the latest by send();
// what went before it goes with the caller's rollback. A read of the tables
// written comes after a send(), so that it sees every write before it.
class SaveWrites
{
public:
    explicit SaveWrites(TQxSQLConnection &c);
    ~SaveWrites();
    SaveWrites(const SaveWrites &) = delete;
    SaveWrites &operator=(const SaveWrites &) = delete;

    // A statement with positional "?" parameters: program text, never user text.
    void exec(const QString &sql, const QVariantList &params);
    // As deleteKeyedRows().
    void deleteKeyed(const QString &table, const QString &keyColumn, const QList<qint64> &keys,
                     const QString &scopeColumn = {}, qint64 scope = 0);
    // As insertValueRows().
    void insertRows(qint64 cdsId, qint64 crfId, const QStringList &names, const std::vector<ValueRow> &rows);
    // Sends what waits and reads every answer.
    void send();

    struct Waiting;

private:
    TQxSQLConnection &m_conn;
    std::vector<Waiting> m_waiting;
};

// A forward-only SELECT run on the driver's handle, for reads of many rows.
// Parameters are positional "?". value() gives what the Qt driver would
// give for the column; the typed accessors avoid the QVariant.
class BulkQuery
{
public:
    BulkQuery(TQxSQLConnection &c, const QString &sql, const QVariantList &params);
    ~BulkQuery();
    BulkQuery(const BulkQuery &) = delete;
    BulkQuery &operator=(const BulkQuery &) = delete;

    bool next();
    int indexOf(const QString &column) const; // case-insensitive; -1 if absent
    bool isNull(int column) const;
    qint64 toLongLong(int column) const;
    QString toString(int column) const;
    // A text "yyyy-MM-dd" or a date as a date; invalid for anything else.
    QDate toDate(int column) const;
    QVariant value(int column) const;

    class Backend;

private:
    std::unique_ptr<Backend> m_backend;
};

} // namespace jex
