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
#include <optional>
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
// deletes and single statements. On SQLite each runs as it is added. On
// PostgreSQL they wait on the connection and go to the server together, in
// one exchange (libpq's pipeline mode), except a large block of value rows,
// which goes by COPY: at send(), or, once the save has left them waiting
// (leaveWaiting()), with the connection's next statement or its commit, so
// that the saves of one transaction cost one exchange each. A rollback drops
// what waits. The first failure is thrown as EQxError by whatever sends it;
// what went before it goes with the caller's rollback. Writes of a save that
// ends without leaving them (it threw half-way) never go.
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
    // Sends what waits on the connection and reads every answer.
    void send();
    // The save is complete: its writes stay on the connection until it next
    // talks to the server.
    void leaveWaiting();

private:
    TQxSQLConnection &m_conn;
    size_t m_mark = 0;   // the connection's waiting writes before this save's
    quint64 m_sends = 0; // and how many exchanges had gone by then
    bool m_left = false;
};

// The writes saves left waiting on a PostgreSQL connection (see SaveWrites);
// the connection calls these before a statement, at its commit (the COMMIT
// goes in the same exchange), at its rollback and as it closes.
void sendWaitingWrites(TQxSQLConnection &c);
void commitWithWaitingWrites(TQxSQLConnection &c);
void dropWaitingWrites(TQxSQLConnection &c);
void releaseDriverState(TQxSQLConnection &c);

// The first row of a SELECT, or nothing. On PostgreSQL it goes in one
// exchange with the writes waiting on the connection, and each value comes
// as its text (a null as an invalid variant); on SQLite as the driver gives
// it. Parameters are positional "?".
std::optional<QVariantList> selectRow(TQxSQLConnection &c, const QString &sql, const QVariantList &params);

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
