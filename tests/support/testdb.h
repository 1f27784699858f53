#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QtTest>

// A throwaway database for one test: a SQLite file in a temporary folder, or
// a fresh PostgreSQL database on the server named by JEX770_TEST_PG (an admin
// URL), dropped afterwards. Use with a data function from addDatabaseRows().
class TestDatabase
{
public:
    explicit TestDatabase(const QString &kind); // "sqlite" or "postgresql"
    ~TestDatabase();
    bool available() const { return !m_url.isEmpty(); }
    QString url() const { return m_url; }
    QString skipReason() const { return m_skip; }

    // Adds a column "db" with the rows "sqlite" and "postgresql".
    static void addDatabaseRows();

private:
    QTemporaryDir m_dir;
    QString m_url;
    QString m_pgName;
    QString m_skip;
};

// In a test function with the "db" column: opens the database or skips.
#define JEX_TEST_DATABASE(var)                                        \
    QFETCH(QString, db);                                              \
    TestDatabase var(db);                                             \
    if (!var.available())                                             \
        QSKIP(qPrintable(var.skipReason()));
