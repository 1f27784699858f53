#include "database/valuerows.h"

#include "base/errors.h"
#include "database/sqlconnection.h"

#include <QHash>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <QtNumeric>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

namespace jex {
namespace {

// OR FAIL: a statement of many rows that may stop half-way after a
// constraint makes SQLite copy every page it touches into a statement
// journal first, so that it can undo only that statement; the rows of a save
// go in together or the save's transaction is rolled back whole, so the copy
// is never needed. No constraint of the table can fail for the rows written
// here (the NOT NULL columns are always given).
const char kInsertSql[] = "INSERT OR FAIL INTO TFIS_DATIFISCALI (ICDSID, ICRFID, IAFIID, IFISRIGO, SFISFIELDNAME, "
                          "SFISVALUE, IFISVALUE, FFISVALUE, DFISVALUE) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)";
const char kCopySql[] = "COPY tfis_datifiscali (icdsid, icrfid, iafiid, ifisrigo, sfisfieldname, "
                        "sfisvalue, ifisvalue, ffisvalue, dfisvalue) FROM STDIN";

// The driver's handle; its type is named as the driver's headers spell it
// ("PGconn*" is registered as "pg_conn*", the struct behind the typedef).
template <typename T>
T handleOf(TQxSQLConnection &c, const char *typeName, const char *otherName)
{
    const QVariant h = c.db().driver() ? c.db().driver()->handle() : QVariant();
    if (!h.isValid() || (qstrcmp(h.typeName(), typeName) != 0 && qstrcmp(h.typeName(), otherName) != 0))
        throw EQxError(QStringLiteral("Database non connesso"));
    T handle = *static_cast<const T *>(h.constData());
    if (!handle)
        throw EQxError(QStringLiteral("Database non connesso"));
    return handle;
}

sqlite3 *sqliteOf(TQxSQLConnection &c) { return handleOf<sqlite3 *>(c, "sqlite3*", "sqlite3*"); }
PGconn *pgOf(TQxSQLConnection &c) { return handleOf<PGconn *>(c, "PGconn*", "pg_conn*"); }

// The failure of a statement on the handle, told as those of the Qt driver.
EQxError sqliteFailure(TQxSQLConnection &c, sqlite3 *db, int code, const QString &sql)
{
    return c.failure(QSqlError(QStringLiteral("Unable to execute statement"), QString::fromUtf8(sqlite3_errmsg(db)),
                               QSqlError::StatementError, QString::number(code)),
                     sql);
}

EQxError pgFailure(TQxSQLConnection &c, PGconn *pg, const PGresult *r, const QString &sql)
{
    const char *state = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    const bool lost = PQstatus(pg) != CONNECTION_OK;
    // In a pipeline the connection's message may be another statement's.
    const char *message = r && *PQresultErrorMessage(r) ? PQresultErrorMessage(r) : PQerrorMessage(pg);
    return c.failure(QSqlError(QStringLiteral("QPSQL: Unable to create query"), QString::fromUtf8(message),
                               lost ? QSqlError::ConnectionError : QSqlError::StatementError,
                               QString::fromLatin1(state ? state : "")),
                     sql);
}

// Results a statement of the Qt driver left unread; the driver itself drops
// them before it sends the next statement.
void dropPendingResults(PGconn *pg)
{
    while (PGresult *r = PQgetResult(pg))
        PQclear(r);
}

// "yyyy-MM-dd", as both databases give a date back; invalid otherwise.
QDate isoDate(const char *t, qsizetype n)
{
    if (!t || n != 10 || t[4] != '-' || t[7] != '-')
        return {};
    int part[3] = {0, 0, 0};
    const int from[3] = {0, 5, 8}, width[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p)
        for (int i = from[p]; i < from[p] + width[p]; ++i) {
            if (t[i] < '0' || t[i] > '9')
                return {};
            part[p] = part[p] * 10 + (t[i] - '0');
        }
    return QDate(part[0], part[1], part[2]);
}

// A date as both drivers write it: yyyy-MM-dd.
void appendDate(QByteArray &out, const QDate &d)
{
    if (d.year() >= 1 && d.year() <= 9999) {
        char buf[16];
        const int n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year(), d.month(), d.day());
        out.append(buf, n);
    } else {
        out.append(d.toString(Qt::ISODate).toLatin1());
    }
}

void appendInteger(QByteArray &out, qint64 v)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr - buf);
}

// The shortest text that reads back as the same double, as Qt writes it.
void appendDouble(QByteArray &out, double v)
{
    if (std::isnan(v)) {
        out.append("NaN");
        return;
    }
    if (std::isinf(v)) {
        out.append(v < 0 ? "-Infinity" : "Infinity");
        return;
    }
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr - buf);
}

// A text field of COPY's text format.
void appendCopyText(QByteArray &out, const QByteArray &utf8)
{
    for (const char ch : utf8) {
        switch (ch) {
        case '\\': out.append("\\\\"); break;
        case '\t': out.append("\\t"); break;
        case '\n': out.append("\\n"); break;
        case '\r': out.append("\\r"); break;
        default: out.append(ch);
        }
    }
}

// "?" becomes "$n": the statements of the program hold no "?" of their own.
QByteArray numberedParameters(const QString &sql)
{
    QString text;
    text.reserve(sql.size() + 16);
    int n = 0;
    for (const QChar ch : sql) {
        if (ch == u'?')
            text += u'$' + QString::number(++n);
        else
            text += ch;
    }
    return text.toUtf8();
}

// Parameters in libpq's text format, a null pointer for a null. The server
// reads each text as the type its place in the statement asks for, as it
// reads a field of COPY.
class PgParams
{
public:
    PgParams() = default;
    explicit PgParams(const QVariantList &params)
    {
        for (const QVariant &v : params)
            add(v);
    }
    void add(const QVariant &v)
    {
        if (!v.isValid() || v.isNull()) {
            addNull();
            return;
        }
        QByteArray b;
        switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
            appendInteger(b, v.toLongLong());
            break;
        case QMetaType::Bool:
            b = v.toBool() ? "true" : "false";
            break;
        case QMetaType::Double:
            appendDouble(b, v.toDouble());
            break;
        case QMetaType::QDate:
            appendDate(b, v.toDate());
            break;
        default:
            b = v.toString().toUtf8();
        }
        addText(std::move(b));
    }
    void addText(QByteArray text)
    {
        m_values.push_back(std::move(text));
        m_null.push_back(false);
    }
    void addInteger(qint64 v)
    {
        QByteArray b;
        appendInteger(b, v);
        addText(std::move(b));
    }
    void addNull()
    {
        m_values.emplace_back();
        m_null.push_back(true);
    }
    int count() const { return int(m_values.size()); }
    // Valid while the parameters are neither added to nor moved.
    const char *const *pointers() const
    {
        m_pointers.resize(m_values.size());
        for (size_t i = 0; i < m_values.size(); ++i)
            m_pointers[i] = m_null[i] ? nullptr : m_values[i].constData();
        return m_pointers.data();
    }

private:
    std::vector<QByteArray> m_values;
    std::vector<bool> m_null;
    mutable std::vector<const char *> m_pointers;
};

// A statement waiting to go to the server in a pipeline. A statement of the
// program's own text is prepared there once under a name of its own; one
// sent once (COMMIT) goes unnamed.
struct Waiting
{
    QByteArray sql;
    PgParams params;
    bool once = false;
};

// What the program keeps of a connection on the driver's handle: on
// PostgreSQL the statements prepared on the server, by text, and the writes
// waiting to go with the next statement; on SQLite the statements of the
// value-row inserts. It is a child of the driver, and starts again on
// another handle; it is released before the database closes.
class DriverState : public QObject
{
public:
    using QObject::QObject;
    ~DriverState() override { finalize(); }
    void finalize()
    {
        for (sqlite3_stmt *&st : inserts) {
            sqlite3_finalize(st);
            st = nullptr;
        }
    }
    void *handle = nullptr;
    QHash<QByteArray, QByteArray> names;
    int made = 0;
    std::vector<Waiting> waiting;
    quint64 sends = 0; // pipelines sent so far: a SaveWrites tells its own waiting writes by it
    // SQLite: the INSERT of one row and the one of a group, prepared once.
    sqlite3_stmt *inserts[2] = {nullptr, nullptr};
    // The field names of the last writes as UTF-8, by list: each list is
    // kept with them, so that its address stays its own.
    struct Names
    {
        QStringList names;
        std::vector<QByteArray> utf8;
    };
    std::vector<Names> utf8Names;
    size_t nextNames = 0;
};

const QString kDriverStateName = QStringLiteral("jex_driver_state");

DriverState *existingState(TQxSQLConnection &c)
{
    QSqlDriver *driver = c.db().driver();
    return driver ? static_cast<DriverState *>(driver->findChild<QObject *>(kDriverStateName, Qt::FindDirectChildrenOnly))
                  : nullptr;
}

DriverState &driverState(TQxSQLConnection &c, void *handle)
{
    DriverState *kept = existingState(c);
    if (!kept) {
        kept = new DriverState(c.db().driver());
        kept->setObjectName(kDriverStateName);
    }
    if (kept->handle != handle) {
        kept->finalize();
        kept->handle = handle;
        kept->names.clear();
        kept->made = 0;
        kept->waiting.clear();
        kept->utf8Names.clear();
    }
    return *kept;
}

// The names of a write as UTF-8, made again only for a list of names not
// among the last ones (a save passes its section's same list each time).
const std::vector<QByteArray> &utf8Names(DriverState &state, const QStringList &names)
{
    for (const DriverState::Names &kept : state.utf8Names)
        if (kept.names.constData() == names.constData() && kept.names.size() == names.size())
            return kept.utf8;
    constexpr size_t kKept = 64;
    DriverState::Names fresh{names, {}};
    fresh.utf8.reserve(names.size());
    for (const QString &n : names)
        fresh.utf8.push_back(n.toUtf8());
    if (state.utf8Names.size() < kKept) {
        state.utf8Names.push_back(std::move(fresh));
        return state.utf8Names.back().utf8;
    }
    DriverState::Names &slot = state.utf8Names[state.nextNames];
    state.nextNames = (state.nextNames + 1) % kKept;
    slot = std::move(fresh);
    return slot.utf8;
}

// Rows per INSERT statement: each step of a statement has a cost of its own
// (its start and end in the engine), paid once for a group of rows.
constexpr int kSqliteGroup = 32;

QByteArray sqliteInsertSql(int rows)
{
    QByteArray sql = kInsertSql;
    for (int r = 1; r < rows; ++r)
        sql += ",(?, ?, ?, ?, ?, ?, ?, ?, ?)";
    return sql;
}

void insertSqlite(TQxSQLConnection &c, qint64 cdsId, qint64 crfId, const QStringList &names,
                  const std::vector<ValueRow> &rows)
{
    sqlite3 *db = sqliteOf(c);
    DriverState &state = driverState(c, db);
    const std::vector<QByteArray> &names8 = utf8Names(state, names);
    // The two statements are prepared once per connection: a save of one
    // person's table writes a few dozen rows, and preparing a group's INSERT
    // costs more than stepping it.
    auto prepared = [&](int count) {
        sqlite3_stmt *&st = state.inserts[count == 1 ? 0 : 1];
        if (!st) {
            const QByteArray sql = sqliteInsertSql(count);
            const int rc = sqlite3_prepare_v3(db, sql.constData(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &st, nullptr);
            if (rc != SQLITE_OK) {
                st = nullptr;
                throw sqliteFailure(c, db, rc, QString::fromLatin1(sql));
            }
        }
        return st;
    };
    // The texts of a group stay alive until its step. Short ASCII texts, most
    // of a return's, are copied into the group's own buffers rather than
    // converted into new arrays.
    std::vector<QByteArray> texts(kSqliteGroup);
    char dates[kSqliteGroup][16];
    constexpr qsizetype kShortText = 64;
    char shortTexts[kSqliteGroup][kShortText];
    auto asciiCopy = [&](int k, const QString &t) {
        if (t.size() > kShortText)
            return false;
        for (qsizetype i = 0; i < t.size(); ++i) {
            const char16_t c = t[i].unicode();
            if (c >= 0x80)
                return false;
            shortTexts[k][i] = char(c);
        }
        return true;
    };
    auto bind = [&](sqlite3_stmt *st, int k, const ValueRow &r) {
        const int at = k * 9;
        sqlite3_bind_int64(st, at + 1, cdsId);
        sqlite3_bind_int64(st, at + 2, crfId);
        if (r.afi != 0)
            sqlite3_bind_int64(st, at + 3, r.afi);
        else
            sqlite3_bind_null(st, at + 3);
        sqlite3_bind_int64(st, at + 4, r.rigo);
        const QByteArray &name = names8[size_t(r.name)];
        sqlite3_bind_text(st, at + 5, name.constData(), int(name.size()), SQLITE_STATIC);
        for (int col = 6; col <= 9; ++col)
            sqlite3_bind_null(st, at + col);
        switch (r.slot) {
        case ValueRow::Text:
            if (asciiCopy(k, r.text)) {
                sqlite3_bind_text(st, at + 6, shortTexts[k], int(r.text.size()), SQLITE_STATIC);
                break;
            }
            texts[size_t(k)] = r.text.toUtf8();
            sqlite3_bind_text(st, at + 6, texts[size_t(k)].constData(), int(texts[size_t(k)].size()), SQLITE_STATIC);
            break;
        case ValueRow::Integer: sqlite3_bind_int64(st, at + 7, r.integer); break;
        case ValueRow::Number: sqlite3_bind_double(st, at + 8, r.number); break;
        case ValueRow::Date:
            if (r.date.year() >= 1 && r.date.year() <= 9999) {
                const int n = std::snprintf(dates[k], sizeof dates[k], "%04d-%02d-%02d", r.date.year(), r.date.month(),
                                            r.date.day());
                sqlite3_bind_text(st, at + 9, dates[k], n, SQLITE_STATIC);
            } else {
                texts[size_t(k)] = r.date.toString(Qt::ISODate).toUtf8();
                sqlite3_bind_text(st, at + 9, texts[size_t(k)].constData(), int(texts[size_t(k)].size()), SQLITE_STATIC);
            }
            break;
        }
    };
    auto step = [&](sqlite3_stmt *st) {
        const int rc = sqlite3_step(st);
        if (rc != SQLITE_DONE) {
            const EQxError e = sqliteFailure(c, db, rc, QString::fromLatin1(kInsertSql));
            sqlite3_reset(st);
            throw e;
        }
        sqlite3_reset(st);
    };
    size_t from = 0;
    if (rows.size() >= size_t(kSqliteGroup)) {
        sqlite3_stmt *group = prepared(kSqliteGroup);
        for (; from + kSqliteGroup <= rows.size(); from += kSqliteGroup) {
            for (int k = 0; k < kSqliteGroup; ++k)
                bind(group, k, rows[from + size_t(k)]);
            step(group);
        }
    }
    if (from < rows.size()) {
        sqlite3_stmt *single = prepared(1);
        for (; from < rows.size(); ++from) {
            bind(single, 0, rows[from]);
            step(single);
        }
    }
    // The texts bound live on this call's stack.
    for (sqlite3_stmt *st : state.inserts)
        if (st)
            sqlite3_clear_bindings(st);
}

void copyPostgres(TQxSQLConnection &c, qint64 cdsId, qint64 crfId, const QStringList &names,
                  const std::vector<ValueRow> &rows)
{
    PGconn *pg = pgOf(c);
    const QString sql = QString::fromLatin1(kCopySql);
    dropPendingResults(pg);
    PGresult *start = PQexec(pg, kCopySql);
    if (PQresultStatus(start) != PGRES_COPY_IN) {
        const EQxError e = pgFailure(c, pg, start, sql);
        PQclear(start);
        dropPendingResults(pg);
        throw e;
    }
    PQclear(start);

    QList<QByteArray> escapedNames;
    escapedNames.reserve(names.size());
    for (const QString &n : names) {
        QByteArray e;
        appendCopyText(e, n.toUtf8());
        escapedNames << e;
    }
    QByteArray head;
    appendInteger(head, cdsId);
    head.append('\t');
    appendInteger(head, crfId);
    head.append('\t');

    constexpr qsizetype kChunk = 1 << 16;
    QByteArray buf;
    buf.reserve(kChunk + 4096);
    bool sent = true;
    for (const ValueRow &r : rows) {
        buf.append(head);
        if (r.afi != 0)
            appendInteger(buf, r.afi);
        else
            buf.append("\\N");
        buf.append('\t');
        appendInteger(buf, r.rigo);
        buf.append('\t');
        buf.append(escapedNames.at(r.name));
        buf.append(r.slot == ValueRow::Text ? "\t" : "\t\\N\t");
        switch (r.slot) {
        case ValueRow::Text:
            appendCopyText(buf, r.text.toUtf8());
            buf.append("\t\\N\t\\N\t\\N\n");
            break;
        case ValueRow::Integer:
            appendInteger(buf, r.integer);
            buf.append("\t\\N\t\\N\n");
            break;
        case ValueRow::Number:
            buf.append("\\N\t");
            appendDouble(buf, r.number);
            buf.append("\t\\N\n");
            break;
        case ValueRow::Date:
            buf.append("\\N\t\\N\t");
            appendDate(buf, r.date);
            buf.append('\n');
            break;
        }
        if (buf.size() >= kChunk) {
            sent = PQputCopyData(pg, buf.constData(), int(buf.size())) == 1;
            buf.clear();
            if (!sent)
                break;
        }
    }
    if (sent && !buf.isEmpty())
        sent = PQputCopyData(pg, buf.constData(), int(buf.size())) == 1;
    PQputCopyEnd(pg, sent ? nullptr : "interrotto");
    // The server tells whether every row went in only now.
    std::optional<EQxError> failed;
    while (PGresult *r = PQgetResult(pg)) {
        if (!failed && PQresultStatus(r) != PGRES_COMMAND_OK)
            failed = pgFailure(c, pg, r, sql);
        PQclear(r);
    }
    if (!failed && !sent)
        failed = pgFailure(c, pg, nullptr, sql);
    if (failed)
        throw *failed;
}

void deleteSqlite(TQxSQLConnection &c, const QString &table, const QString &keyColumn, const QList<qint64> &keys,
                  const QString &scopeColumn, qint64 scope)
{
    sqlite3 *db = sqliteOf(c);
    const bool scoped = !scopeColumn.isEmpty();
    const QString head = QStringLiteral("DELETE FROM %1 WHERE ").arg(table)
        + (scoped ? scopeColumn + QStringLiteral(" = ? AND ") : QString()) + keyColumn + QStringLiteral(" IN (?");
    struct Statement
    {
        sqlite3_stmt *st = nullptr;
        int keys = 0;
        ~Statement() { sqlite3_finalize(st); }
    };
    Statement group, single;
    auto run = [&](Statement &s, int count, qsizetype from) {
        QString sql = head + QStringLiteral(", ?").repeated(count - 1) + u')';
        if (!s.st) {
            const QByteArray text = sql.toUtf8();
            const int rc = sqlite3_prepare_v2(db, text.constData(), int(text.size()), &s.st, nullptr);
            if (rc != SQLITE_OK)
                throw sqliteFailure(c, db, rc, sql);
        }
        int at = 1;
        if (scoped)
            sqlite3_bind_int64(s.st, at++, scope);
        for (int k = 0; k < count; ++k)
            sqlite3_bind_int64(s.st, at++, keys.at(from + k));
        const int rc = sqlite3_step(s.st);
        if (rc != SQLITE_DONE)
            throw sqliteFailure(c, db, rc, sql);
        sqlite3_reset(s.st);
    };
    qsizetype from = 0;
    for (; from + kSqliteGroup <= keys.size(); from += kSqliteGroup)
        run(group, kSqliteGroup, from);
    for (; from < keys.size(); ++from)
        run(single, 1, from);
}

// On a server every statement is a round trip: all the keys go in one, as an array.
QString postgresDeleteSql(const QString &table, const QString &keyColumn, const QString &scopeColumn)
{
    const bool scoped = !scopeColumn.isEmpty();
    return QStringLiteral("DELETE FROM %1 WHERE ").arg(table)
        + (scoped ? scopeColumn + QStringLiteral(" = $1 AND ") : QString()) + keyColumn
        // A join with the keys: "= ANY" of a long array is tried element by
        // element against every row.
        + (scoped ? QStringLiteral(" IN (SELECT unnest($2::bigint[]))") : QStringLiteral(" IN (SELECT unnest($1::bigint[]))"));
}

PgParams postgresDeleteParams(const QList<qint64> &keys, const QString &scopeColumn, qint64 scope)
{
    PgParams p;
    if (!scopeColumn.isEmpty())
        p.addInteger(scope);
    QByteArray array = "{";
    for (qsizetype i = 0; i < keys.size(); ++i) {
        if (i > 0)
            array.append(',');
        appendInteger(array, keys.at(i));
    }
    array.append('}');
    p.addText(std::move(array));
    return p;
}

void deletePostgres(TQxSQLConnection &c, const QString &table, const QString &keyColumn, const QList<qint64> &keys,
                    const QString &scopeColumn, qint64 scope)
{
    PGconn *pg = pgOf(c);
    const QString sql = postgresDeleteSql(table, keyColumn, scopeColumn);
    const PgParams p = postgresDeleteParams(keys, scopeColumn, scope);
    dropPendingResults(pg);
    PGresult *r = PQexecParams(pg, sql.toUtf8().constData(), p.count(), nullptr, p.pointers(), nullptr, nullptr, 0);
    if (PQresultStatus(r) != PGRES_COMMAND_OK) {
        const EQxError e = pgFailure(c, pg, r, sql);
        PQclear(r);
        throw e;
    }
    PQclear(r);
}

// Value rows of a save sent with its other statements: one INSERT whose rows
// come as one array per column, so that its text is always the same and the
// server prepares it once. A larger block goes by COPY, which costs one
// exchange more but reads rows faster.
constexpr size_t kPipelinedRows = 1000;

const char kArrayInsertSql[] =
    "INSERT INTO tfis_datifiscali (icdsid, icrfid, iafiid, ifisrigo, sfisfieldname, sfisvalue, ifisvalue, ffisvalue, "
    "dfisvalue) SELECT $1::bigint, $2::bigint, u.a, u.r, u.n, u.s, u.i, u.f, u.d FROM unnest($3::bigint[], "
    "$4::bigint[], $5::text[], $6::text[], $7::bigint[], $8::float8[], $9::date[]) AS u(a, r, n, s, i, f, d)";

// An element of an array's text: quoted, so that no text reads as NULL or
// splits the array.
void appendArrayText(QByteArray &out, const QByteArray &utf8)
{
    out.append('"');
    for (const char ch : utf8) {
        if (ch == '"' || ch == '\\')
            out.append('\\');
        out.append(ch);
    }
    out.append('"');
}

PgParams postgresRowParams(qint64 cdsId, qint64 crfId, const QStringList &names, const std::vector<ValueRow> &rows)
{
    std::vector<QByteArray> quotedNames;
    quotedNames.reserve(names.size());
    for (const QString &n : names) {
        QByteArray q;
        appendArrayText(q, n.toUtf8());
        quotedNames.push_back(q);
    }
    // afi, rigo, name, then the four value columns.
    QByteArray column[7];
    for (QByteArray &c : column) {
        c.reserve(qsizetype(rows.size()) * 8 + 2);
        c.append('{');
    }
    for (size_t k = 0; k < rows.size(); ++k) {
        const ValueRow &r = rows[k];
        if (k > 0)
            for (QByteArray &c : column)
                c.append(',');
        if (r.afi != 0)
            appendInteger(column[0], r.afi);
        else
            column[0].append("NULL");
        appendInteger(column[1], r.rigo);
        column[2].append(quotedNames[size_t(r.name)]);
        for (int slot = ValueRow::Text; slot <= ValueRow::Date; ++slot) {
            QByteArray &c = column[3 + slot];
            if (slot != r.slot) {
                c.append("NULL");
                continue;
            }
            switch (r.slot) {
            case ValueRow::Text: appendArrayText(c, r.text.toUtf8()); break;
            case ValueRow::Integer: appendInteger(c, r.integer); break;
            case ValueRow::Number: appendDouble(c, r.number); break;
            case ValueRow::Date: {
                QByteArray d;
                appendDate(d, r.date);
                appendArrayText(c, d);
                break;
            }
            }
        }
    }
    PgParams p;
    p.addInteger(cdsId);
    p.addInteger(crfId);
    for (QByteArray &c : column) {
        c.append('}');
        p.addText(std::move(c));
    }
    return p;
}

// Sends statements in one exchange (libpq's pipeline mode) and reads every
// answer; the rows of the last one go into rows when asked for, each value
// as its text (a null as an invalid variant). The first failure is thrown;
// the server skips what follows it.
void runPipeline(TQxSQLConnection &c, std::vector<Waiting> waiting, QList<QVariantList> *rows = nullptr)
{
    if (waiting.empty())
        return;
    PGconn *pg = pgOf(c);
    DriverState &prepared = driverState(c, pg);
    ++prepared.sends;
    auto shown = [&](size_t i) { return QString::fromUtf8(waiting[i].sql); };
    dropPendingResults(pg);
    if (PQenterPipelineMode(pg) != 1)
        throw pgFailure(c, pg, nullptr, shown(0));
    // Each answer in the order sent: a statement new to the connection is
    // prepared first, and has the answer of its preparation before its own.
    struct Sent { size_t statement; QByteArray preparedAs; };
    std::vector<Sent> sent;
    QHash<QByteArray, QByteArray> preparing;
    bool sending = true;
    for (size_t i = 0; i < waiting.size() && sending; ++i) {
        const Waiting &w = waiting[i];
        if (w.once) {
            sending = PQsendQueryParams(pg, w.sql.constData(), w.params.count(), nullptr, w.params.pointers(), nullptr,
                                        nullptr, 0) == 1;
            if (sending)
                sent.push_back({i, {}});
            continue;
        }
        QByteArray name = prepared.names.value(w.sql, preparing.value(w.sql));
        if (name.isEmpty()) {
            name = "jex_save_" + QByteArray::number(++prepared.made);
            sending = PQsendPrepare(pg, name.constData(), w.sql.constData(), w.params.count(), nullptr) == 1;
            if (sending) {
                preparing.insert(w.sql, name);
                sent.push_back({i, name});
            }
        }
        sending = sending
            && PQsendQueryPrepared(pg, name.constData(), w.params.count(), w.params.pointers(), nullptr, nullptr, 0) == 1;
        if (sending)
            sent.push_back({i, {}});
    }
    const bool synced = PQpipelineSync(pg) == 1;
    std::optional<EQxError> failed;
    for (size_t k = 0; k < sent.size(); ++k) {
        const Sent &answer = sent[k];
        const bool wanted = rows && k + 1 == sent.size() && answer.statement + 1 == waiting.size();
        bool ok = false;
        while (PGresult *r = PQgetResult(pg)) {
            const ExecStatusType status = PQresultStatus(r);
            // Rows come one result each when the Qt driver left the
            // connection reading row by row.
            ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_SINGLE_TUPLE;
            if (!failed && status == PGRES_FATAL_ERROR)
                failed = pgFailure(c, pg, r, shown(answer.statement));
            if (wanted && (status == PGRES_TUPLES_OK || status == PGRES_SINGLE_TUPLE)) {
                const int columns = PQnfields(r);
                for (int row = 0; row < PQntuples(r); ++row) {
                    QVariantList values;
                    values.reserve(columns);
                    for (int col = 0; col < columns; ++col)
                        values << (PQgetisnull(r, row, col)
                                       ? QVariant()
                                       : QVariant(QString::fromUtf8(PQgetvalue(r, row, col), PQgetlength(r, row, col))));
                    rows->append(values);
                }
            }
            PQclear(r);
        }
        if (ok && !answer.preparedAs.isEmpty())
            prepared.names.insert(waiting[answer.statement].sql, answer.preparedAs);
    }
    if (synced) {
        if (PGresult *r = PQgetResult(pg))
            PQclear(r);
    }
    if (!failed && (!sending || !synced))
        failed = pgFailure(c, pg, nullptr, shown(sent.empty() ? 0 : sent.back().statement));
    if (PQexitPipelineMode(pg) != 1 && !failed)
        failed = pgFailure(c, pg, nullptr, shown(0));
    if (failed)
        throw *failed;
}

// The writes waiting on the connection, taken off it; then the statements given.
std::vector<Waiting> takeWaiting(TQxSQLConnection &c, std::vector<Waiting> after = {})
{
    std::vector<Waiting> all;
    if (c.writesWaiting()) {
        c.setWritesWaiting(false);
        if (DriverState *state = existingState(c)) {
            all = std::move(state->waiting);
            state->waiting.clear();
        }
    }
    for (Waiting &w : after)
        all.push_back(std::move(w));
    return all;
}

} // namespace

void sendWaitingWrites(TQxSQLConnection &c)
{
    if (c.writesWaiting())
        runPipeline(c, takeWaiting(c));
}

void commitWithWaitingWrites(TQxSQLConnection &c)
{
    std::vector<Waiting> commit(1);
    commit[0].sql = "COMMIT";
    commit[0].once = true;
    runPipeline(c, takeWaiting(c, std::move(commit)));
}

void dropWaitingWrites(TQxSQLConnection &c)
{
    if (!c.writesWaiting())
        return;
    c.setWritesWaiting(false);
    if (DriverState *state = c.isConnected() ? existingState(c) : nullptr)
        state->waiting.clear();
}

void releaseDriverState(TQxSQLConnection &c)
{
    c.setWritesWaiting(false);
    if (!c.db().isValid())
        return;
    delete existingState(c);
}

std::optional<QVariantList> selectRow(TQxSQLConnection &c, const QString &sql, const QVariantList &params)
{
    if (!c.isConnected())
        throw EQxError(QStringLiteral("Database non connesso"));
    if (c.dialect() == Dialect::SQLite) {
        QSqlQuery &q = c.execPrepared(sql, params);
        std::optional<QVariantList> row;
        if (q.next()) {
            row.emplace();
            const int columns = q.record().count();
            for (int i = 0; i < columns; ++i)
                *row << q.value(i);
        }
        q.finish();
        return row;
    }
    std::vector<Waiting> query(1);
    query[0].sql = numberedParameters(sql);
    query[0].params = PgParams(params);
    QList<QVariantList> rows;
    runPipeline(c, takeWaiting(c, std::move(query)), &rows);
    if (rows.isEmpty())
        return std::nullopt;
    return rows.first();
}

void insertValueRows(TQxSQLConnection &c, qint64 cdsId, qint64 crfId, const QStringList &names,
                     const std::vector<ValueRow> &rows)
{
    if (rows.empty())
        return;
    if (!c.isConnected())
        throw EQxError(QStringLiteral("Database non connesso"));
    if (c.dialect() == Dialect::SQLite) {
        insertSqlite(c, cdsId, crfId, names, rows);
        return;
    }
    sendWaitingWrites(c);
    copyPostgres(c, cdsId, crfId, names, rows);
}

void deleteKeyedRows(TQxSQLConnection &c, const QString &table, const QString &keyColumn, const QList<qint64> &keys,
                     const QString &scopeColumn, qint64 scope)
{
    if (keys.isEmpty())
        return;
    if (!c.isConnected())
        throw EQxError(QStringLiteral("Database non connesso"));
    if (c.dialect() == Dialect::SQLite) {
        deleteSqlite(c, table, keyColumn, keys, scopeColumn, scope);
        return;
    }
    sendWaitingWrites(c);
    deletePostgres(c, table, keyColumn, keys, scopeColumn, scope);
}

// ---------------------------------------------------------------- a save's writes

SaveWrites::SaveWrites(TQxSQLConnection &c) : m_conn(c)
{
    if (!c.isConnected())
        throw EQxError(QStringLiteral("Database non connesso"));
    if (c.dialect() == Dialect::PostgreSQL) {
        const DriverState &state = driverState(c, pgOf(c));
        m_mark = state.waiting.size();
        m_sends = state.sends;
    }
}

SaveWrites::~SaveWrites()
{
    // Writes of a save that stopped half-way never go: only what earlier
    // saves left waiting stays.
    if (m_left || m_conn.dialect() != Dialect::PostgreSQL || !m_conn.writesWaiting())
        return;
    DriverState *state = existingState(m_conn);
    if (!state)
        return;
    const size_t mark = state->sends == m_sends ? m_mark : 0;
    if (state->waiting.size() > mark)
        state->waiting.resize(mark);
    if (state->waiting.empty())
        m_conn.setWritesWaiting(false);
}

namespace {
void addWaiting(TQxSQLConnection &c, Waiting w)
{
    driverState(c, pgOf(c)).waiting.push_back(std::move(w));
    c.setWritesWaiting(true);
}
} // namespace

void SaveWrites::exec(const QString &sql, const QVariantList &params)
{
    if (m_conn.dialect() == Dialect::SQLite) {
        m_conn.execPrepared(sql, params).finish();
        return;
    }
    addWaiting(m_conn, {numberedParameters(sql), PgParams(params)});
}

void SaveWrites::deleteKeyed(const QString &table, const QString &keyColumn, const QList<qint64> &keys,
                             const QString &scopeColumn, qint64 scope)
{
    if (keys.isEmpty())
        return;
    if (m_conn.dialect() == Dialect::SQLite) {
        deleteSqlite(m_conn, table, keyColumn, keys, scopeColumn, scope);
        return;
    }
    addWaiting(m_conn, {postgresDeleteSql(table, keyColumn, scopeColumn).toUtf8(),
                        postgresDeleteParams(keys, scopeColumn, scope)});
}

void SaveWrites::insertRows(qint64 cdsId, qint64 crfId, const QStringList &names, const std::vector<ValueRow> &rows)
{
    if (rows.empty())
        return;
    if (m_conn.dialect() == Dialect::SQLite) {
        insertSqlite(m_conn, cdsId, crfId, names, rows);
        return;
    }
    if (rows.size() > kPipelinedRows) {
        send();
        copyPostgres(m_conn, cdsId, crfId, names, rows);
        return;
    }
    addWaiting(m_conn, {QByteArray(kArrayInsertSql), postgresRowParams(cdsId, crfId, names, rows)});
}

void SaveWrites::send()
{
    if (m_conn.dialect() == Dialect::PostgreSQL)
        sendWaitingWrites(m_conn);
}

void SaveWrites::leaveWaiting() { m_left = true; }

// ---------------------------------------------------------------- reading

class BulkQuery::Backend
{
public:
    virtual ~Backend() = default;
    virtual bool next() = 0;
    virtual int columnCount() const = 0;
    virtual QString columnName(int column) const = 0;
    virtual bool isNull(int column) const = 0;
    virtual qint64 toLongLong(int column) const = 0;
    virtual QString toString(int column) const = 0;
    virtual QDate toDate(int column) const = 0;
    virtual QVariant value(int column) const = 0;
};

namespace {

// The texts of a column read last, kept as strings: a value store repeats
// few short texts (field names, codes, years) over and over, and a string
// handed out again costs less than one made anew from the same bytes.
class TextCache
{
public:
    QString text(const char *bytes, qsizetype n)
    {
        if (!bytes)
            return {};
        if (n > kLongest)
            return QString::fromUtf8(bytes, n);
        for (Entry &e : m_entries)
            if (e.size == n && std::memcmp(e.bytes, bytes, size_t(n)) == 0)
                return e.text;
        Entry &e = m_entries[m_next];
        m_next = (m_next + 1) % kEntries;
        e.size = n;
        std::memcpy(e.bytes, bytes, size_t(n));
        e.text = QString::fromUtf8(bytes, n);
        return e.text;
    }

private:
    static constexpr qsizetype kLongest = 24;
    static constexpr int kEntries = 16;
    struct Entry
    {
        qsizetype size = -1;
        char bytes[kLongest];
        QString text;
    };
    Entry m_entries[kEntries];
    int m_next = 0;
};

class SqliteBackend final : public BulkQuery::Backend
{
public:
    SqliteBackend(TQxSQLConnection &c, const QString &sql, const QVariantList &params)
        : m_conn(c), m_db(sqliteOf(c)), m_sql(sql)
    {
        const int rc = sqlite3_prepare16_v2(m_db, sql.utf16(), int(sql.size() * sizeof(QChar)), &m_st, nullptr);
        if (rc != SQLITE_OK)
            throw failure(rc);
        m_texts.resize(size_t(std::max(sqlite3_column_count(m_st), 0)));
        for (int i = 0; i < params.size(); ++i) {
            const QVariant &v = params.at(i);
            const int at = i + 1;
            if (!v.isValid() || v.isNull()) {
                sqlite3_bind_null(m_st, at);
                continue;
            }
            switch (v.typeId()) {
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::UInt:
            case QMetaType::Bool:
                sqlite3_bind_int64(m_st, at, v.toLongLong());
                break;
            case QMetaType::Double:
                sqlite3_bind_double(m_st, at, v.toDouble());
                break;
            default: {
                const QString s = v.typeId() == QMetaType::QDate ? v.toDate().toString(Qt::ISODate) : v.toString();
                sqlite3_bind_text16(m_st, at, s.utf16(), int(s.size() * sizeof(QChar)), SQLITE_TRANSIENT);
            }
            }
        }
    }
    ~SqliteBackend() override { sqlite3_finalize(m_st); }

    bool next() override
    {
        const int rc = sqlite3_step(m_st);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        throw failure(rc);
    }
    int columnCount() const override { return sqlite3_column_count(m_st); }
    QString columnName(int column) const override { return QString::fromUtf8(sqlite3_column_name(m_st, column)); }
    bool isNull(int column) const override { return sqlite3_column_type(m_st, column) == SQLITE_NULL; }
    qint64 toLongLong(int column) const override { return sqlite3_column_int64(m_st, column); }
    // The text as UTF-8, the database's own encoding: no conversion inside SQLite.
    QString toString(int column) const override
    {
        const char *t = reinterpret_cast<const char *>(sqlite3_column_text(m_st, column));
        if (!t)
            return {};
        const int n = sqlite3_column_bytes(m_st, column);
        if (column < 0 || size_t(column) >= m_texts.size())
            return QString::fromUtf8(t, n);
        return m_texts[size_t(column)].text(t, n);
    }
    QDate toDate(int column) const override
    {
        if (sqlite3_column_type(m_st, column) != SQLITE_TEXT)
            return {};
        const char *t = reinterpret_cast<const char *>(sqlite3_column_text(m_st, column));
        return isoDate(t, sqlite3_column_bytes(m_st, column));
    }
    // The values of the Qt driver: by the storage class of the value.
    QVariant value(int column) const override
    {
        switch (sqlite3_column_type(m_st, column)) {
        case SQLITE_INTEGER: return qlonglong(sqlite3_column_int64(m_st, column));
        case SQLITE_FLOAT: return sqlite3_column_double(m_st, column);
        case SQLITE_NULL: return QVariant(QMetaType::fromType<QString>());
        case SQLITE_BLOB:
            return QByteArray(static_cast<const char *>(sqlite3_column_blob(m_st, column)),
                              sqlite3_column_bytes(m_st, column));
        default: return toString(column);
        }
    }

private:
    EQxError failure(int rc) const { return sqliteFailure(m_conn, m_db, rc, m_sql); }

    TQxSQLConnection &m_conn;
    sqlite3 *m_db;
    sqlite3_stmt *m_st = nullptr;
    QString m_sql;
    mutable std::vector<TextCache> m_texts; // per column
};

// Type numbers of the PostgreSQL catalogue (pg_type) the value store uses.
enum PgType : Oid { kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kFloat4 = 700, kFloat8 = 701, kDate = 1082,
                    kNumeric = 1700 };

class PostgresBackend final : public BulkQuery::Backend
{
public:
    PostgresBackend(TQxSQLConnection &c, const QString &sql, const QVariantList &params)
        : m_conn(c), m_pg(pgOf(c)), m_sql(sql)
    {
        const PgParams p(params);
        dropPendingResults(m_pg);
        if (PQsendQueryParams(m_pg, numberedParameters(sql).constData(), p.count(), nullptr, p.pointers(), nullptr,
                              nullptr, 0) != 1)
            throw pgFailure(m_conn, m_pg, nullptr, m_sql);
        PQsetSingleRowMode(m_pg);
        fetch();
        if (m_status == PGRES_FATAL_ERROR || (m_status != PGRES_SINGLE_TUPLE && m_status != PGRES_TUPLES_OK))
            throw failed();
        m_first = true;
    }
    ~PostgresBackend() override
    {
        PQclear(m_result);
        dropPendingResults(m_pg);
    }

    bool next() override
    {
        if (m_first) {
            m_first = false;
            return m_status == PGRES_SINGLE_TUPLE;
        }
        if (m_status != PGRES_SINGLE_TUPLE)
            return false;
        fetch();
        if (m_status == PGRES_SINGLE_TUPLE)
            return true;
        if (m_status == PGRES_TUPLES_OK)
            return false;
        throw failed();
    }
    int columnCount() const override { return m_result ? PQnfields(m_result) : 0; }
    QString columnName(int column) const override { return QString::fromUtf8(PQfname(m_result, column)); }
    bool isNull(int column) const override { return PQgetisnull(m_result, 0, column); }
    qint64 toLongLong(int column) const override
    {
        const char *v = PQgetvalue(m_result, 0, column);
        qint64 out = 0;
        std::from_chars(v, v + std::strlen(v), out);
        return out;
    }
    QString toString(int column) const override
    {
        return QString::fromUtf8(PQgetvalue(m_result, 0, column), PQgetlength(m_result, 0, column));
    }
    QDate toDate(int column) const override
    {
        return isoDate(PQgetvalue(m_result, 0, column), PQgetlength(m_result, 0, column));
    }
    // The values of the Qt driver: by the column's type.
    QVariant value(int column) const override
    {
        const Oid type = PQftype(m_result, column);
        QMetaType meta;
        switch (type) {
        case kBool: meta = QMetaType::fromType<bool>(); break;
        case kInt8: meta = QMetaType::fromType<qlonglong>(); break;
        case kInt2:
        case kInt4: meta = QMetaType::fromType<int>(); break;
        case kFloat4:
        case kFloat8:
        case kNumeric: meta = QMetaType::fromType<double>(); break;
        case kDate: meta = QMetaType::fromType<QDate>(); break;
        default: meta = QMetaType::fromType<QString>(); break;
        }
        if (isNull(column))
            return QVariant(meta);
        const char *v = PQgetvalue(m_result, 0, column);
        switch (type) {
        case kBool: return v[0] == 't';
        case kInt8: return qlonglong(toLongLong(column));
        case kInt2:
        case kInt4: return int(toLongLong(column));
        case kFloat4:
        case kFloat8:
        case kNumeric: {
            bool ok = false;
            const double d = QByteArray::fromRawData(v, PQgetlength(m_result, 0, column)).toDouble(&ok);
            if (ok)
                return d;
            if (qstricmp(v, "NaN") == 0)
                return qQNaN();
            if (qstricmp(v, "Infinity") == 0)
                return qInf();
            if (qstricmp(v, "-Infinity") == 0)
                return -qInf();
            return QVariant();
        }
        case kDate: return QDate::fromString(QString::fromLatin1(v), Qt::ISODate);
        default: return toString(column);
        }
    }

private:
    void fetch()
    {
        PQclear(m_result);
        m_result = PQgetResult(m_pg);
        m_status = m_result ? PQresultStatus(m_result) : PGRES_FATAL_ERROR;
    }
    EQxError failed()
    {
        const EQxError e = pgFailure(m_conn, m_pg, m_result, m_sql);
        PQclear(m_result);
        m_result = nullptr;
        dropPendingResults(m_pg);
        return e;
    }

    TQxSQLConnection &m_conn;
    PGconn *m_pg;
    QString m_sql;
    PGresult *m_result = nullptr;
    ExecStatusType m_status = PGRES_EMPTY_QUERY;
    bool m_first = false;
};

} // namespace

BulkQuery::BulkQuery(TQxSQLConnection &c, const QString &sql, const QVariantList &params)
{
    if (!c.isConnected())
        throw EQxError(QStringLiteral("Database non connesso"));
    if (c.dialect() == Dialect::SQLite) {
        m_backend = std::make_unique<SqliteBackend>(c, sql, params);
    } else {
        sendWaitingWrites(c);
        m_backend = std::make_unique<PostgresBackend>(c, sql, params);
    }
}

BulkQuery::~BulkQuery() = default;

bool BulkQuery::next() { return m_backend->next(); }

int BulkQuery::indexOf(const QString &column) const
{
    for (int i = 0; i < m_backend->columnCount(); ++i)
        if (m_backend->columnName(i).compare(column, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool BulkQuery::isNull(int column) const { return m_backend->isNull(column); }
qint64 BulkQuery::toLongLong(int column) const { return m_backend->toLongLong(column); }
QString BulkQuery::toString(int column) const { return m_backend->toString(column); }
QDate BulkQuery::toDate(int column) const { return m_backend->toDate(column); }
QVariant BulkQuery::value(int column) const { return m_backend->value(column); }

} // namespace jex
