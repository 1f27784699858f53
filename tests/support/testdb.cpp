#include "testdb.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <atomic>

static std::atomic<int> g_counter{0};

static bool adminExec(const QString &adminUrl, const QString &sql, QString *error)
{
    const QUrl u(adminUrl);
    const QString name = QStringLiteral("jex_test_admin_%1").arg(g_counter++);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(u.host());
        db.setPort(u.port(5432));
        db.setUserName(u.userName());
        db.setPassword(u.password());
        db.setDatabaseName(u.path().mid(1));
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(sql);
            if (!ok && error)
                *error = q.lastError().text();
            db.close();
        } else if (error) {
            *error = db.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

TestDatabase::TestDatabase(const QString &kind)
{
    if (kind == u"sqlite") {
        m_url = QStringLiteral("sqlite:") + m_dir.filePath(QStringLiteral("test.db"));
        return;
    }
    const QString admin = qEnvironmentVariable("JEX770_TEST_PG");
    if (admin.isEmpty()) {
        m_skip = QStringLiteral("JEX770_TEST_PG non impostata: caso PostgreSQL saltato");
        return;
    }
    m_pgName = QStringLiteral("jex_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(g_counter++);
    QString err;
    if (!adminExec(admin, QStringLiteral("CREATE DATABASE %1").arg(m_pgName), &err)) {
        // CI sets the variable only with a running server: a failure here is a real failure.
        qFatal("Impossibile creare il database di prova %s: %s", qPrintable(m_pgName), qPrintable(err));
    }
    QUrl u(admin);
    u.setPath(u'/' + m_pgName);
    m_url = u.toString();
}

TestDatabase::~TestDatabase()
{
    if (m_pgName.isEmpty())
        return;
    // Connections of the program must be closed by now; force the rest out.
    adminExec(qEnvironmentVariable("JEX770_TEST_PG"),
              QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_pgName), nullptr);
}

void TestDatabase::addDatabaseRows()
{
    QTest::addColumn<QString>("db");
    QTest::newRow("sqlite") << QStringLiteral("sqlite");
    QTest::newRow("postgresql") << QStringLiteral("postgresql");
}
