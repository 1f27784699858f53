// Two writers on one database at once, on both databases: two processes
// load rows into the same table together, and every row of both comes back
// whole, under its own record number and its own registry entry. A writer
// that cannot take the table waits, or gives up with a message and writes
// nothing.
//
// The writers are this program run again with "--writer URL TABLE FILE": it
// connects, says "pronto", waits for a line on its standard input, loads.

#include "catalogue/catalogue.h"
#include "database/structureservice.h"
#include "base/errors.h"
#include "sections/transfer.h"
#include "testdb.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include "coretest.h"

#include <QtTest>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

using namespace jex;

namespace {

int runWriter(const QString &url, const QString &tableName, const QString &path)
{
    try {
        TQxSQLConnection conn(QStringLiteral("writer"));
        conn.open(DatabaseUrl::parse(url));
        TQmrDBCds svc(2024, QStringLiteral("jex"), 0);
        svc.SetConnection(&conn);
        svc.SetShowWait(false);
        const CatalogueTable *t = TableCatalogue::instance().table(QStringLiteral("jex"), tableName);
        if (!t)
            throw EQxError(QStringLiteral("tabella sconosciuta ") + tableName);
        std::fputs("pronto\n", stdout);
        std::fflush(stdout);
        std::string go;
        std::getline(std::cin, go);
        const SectionLoadResult r = loadSection(svc, *t, path, false);
        std::fprintf(stdout, "%d righe caricate\n", r.rows);
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stdout, "errore: %s\n", errorText(e).toUtf8().constData());
        return 1;
    }
}

constexpr int kRows = 1500;

// The file of one writer: rows that say which writer and which row they are.
QByteArray rowsOf(const QString &table, char writer)
{
    QByteArray out;
    if (table == u"TPST_PROSPETTOST") {
        out = "SPSTMESE;SPSTANNO;SPSTCODTRIBUTO;FPSTRITOPEARTE;FPSTIMPOVERSATO\n";
        for (int i = 1; i <= kRows; ++i)
            out += QStringLiteral("%1;2024;%2;%3;%3\n").arg(i % 12 + 1, 2, 10, QLatin1Char('0')).arg(QLatin1Char(writer)).arg(i).toLatin1();
    } else {
        // New people: each row takes a registry entry of its own.
        out = "SDIP7CODFIS;SDIP7GRUPPOANA;SDIP7COGNOME;FFIS7REDDDETR\n";
        for (int i = 1; i <= kRows; ++i)
            out += QStringLiteral("%1%2;D;%1;%3\n").arg(QLatin1Char(writer)).arg(i, 15, 10, QLatin1Char('0')).arg(i).toLatin1();
    }
    return out;
}

} // namespace

class TstConcurrency : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void twoWritersKeepEveryRow_data()
    {
        QTest::addColumn<QString>("db");
        QTest::addColumn<QString>("table");
        for (const char *db : {"sqlite", "postgresql"})
            for (const char *t : {"TPST_PROSPETTOST", "TDIP7_ANAGRFISCALI"})
                QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(db), QLatin1String(t))))
                    << QString::fromLatin1(db) << QString::fromLatin1(t);
    }

    void twoWritersKeepEveryRow()
    {
        JEX_TEST_DATABASE(tdb);
        QFETCH(QString, table);
        {
            // The schema first, so that the writers only write rows.
            TQxSQLConnection conn(QStringLiteral("tst_schema"));
            conn.open(DatabaseUrl::parse(tdb.url()));
        }
        QTemporaryDir dir;
        QList<std::shared_ptr<QProcess>> writers;
        for (const char w : {'A', 'B'}) {
            const QString path = dir.filePath(QStringLiteral("%1.csv").arg(QLatin1Char(w)));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(rowsOf(table, w));
            f.close();
            auto p = std::make_shared<QProcess>();
            p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p->start(QCoreApplication::applicationFilePath(), {QStringLiteral("--writer"), tdb.url(), table, path});
            writers << p;
        }
        for (auto &p : writers) {
            QVERIFY(p->waitForStarted());
            while (!p->canReadLine())
                QVERIFY2(p->waitForReadyRead(30000), "the writer did not connect");
            QCOMPARE(p->readLine().trimmed(), QByteArray("pronto"));
        }
        // Both are told at once (a write is only buffered until flushed).
        for (auto &p : writers) {
            p->write("via\n");
            QVERIFY(p->waitForBytesWritten(5000));
        }
        for (auto &p : writers) {
            QVERIFY(p->waitForFinished(300000));
            const QByteArray said = p->readAll().trimmed();
            QVERIFY2(p->exitCode() == 0, said.constData());
            QCOMPARE(said, QByteArray::number(kRows) + " righe caricate");
        }

        TQxSQLConnection conn(QStringLiteral("tst_check"));
        conn.open(DatabaseUrl::parse(tdb.url()));
        // No record number holds a value twice: no row merged into another.
        QCOMPARE(conn.scalar(QStringLiteral("SELECT COUNT(*) FROM (SELECT icdsid, ifisrigo, sfisfieldname FROM tfis_datifiscali "
                                            "GROUP BY icdsid, ifisrigo, sfisfieldname HAVING COUNT(*) > 1) d")).toLongLong(), 0);
        TQmrDBCds svc(2024, QStringLiteral("jex"), 0);
        svc.SetConnection(&conn);
        svc.SetShowWait(false);
        ClientDataSet ds;
        svc.OpenCds(ds, table);
        QCOMPARE(ds.recordCount(), 2 * kRows);
        const bool st = table == u"TPST_PROSPETTOST";
        QSet<QString> rows;
        QSet<qint64> numbers, registry;
        for (ds.first(); !ds.eof(); ds.next()) {
            numbers << ds.fieldByName(QStringLiteral("IFISRIGO"))->asInteger();
            registry << ds.fieldByName(QStringLiteral("IAFIID"))->asInteger();
            const qint64 amount = ds.fieldByName(st ? QStringLiteral("FPSTRITOPEARTE") : QStringLiteral("FFIS7REDDDETR"))->asMoney() / 10000;
            const QString who = ds.fieldByName(st ? QStringLiteral("SPSTCODTRIBUTO") : QStringLiteral("SDIP7COGNOME"))->asString();
            if (st)
                QCOMPARE(ds.fieldByName(QStringLiteral("FPSTIMPOVERSATO"))->asMoney() / 10000, amount);
            else
                QCOMPARE(ds.fieldByName(QStringLiteral("SDIP7CODFIS"))->asString(),
                         who + QStringLiteral("%1").arg(amount, 15, 10, QLatin1Char('0')));
            rows << QStringLiteral("%1 %2").arg(who).arg(amount);
        }
        QCOMPARE(rows.size(), 2 * kRows);
        QCOMPARE(numbers.size(), 2 * kRows);
        QCOMPARE(conn.scalar(QStringLiteral("SELECT icdsrigo FROM tcds_struttura WHERE Lower(scdsnome) = Lower(:N) "
                                            "AND scdsprogramma = 'jex'"), {{QStringLiteral("N"), table}}).toLongLong(),
                 2 * kRows);
        if (!st) {
            // Every person has a registry entry of its own.
            QCOMPARE(registry.size(), 2 * kRows);
            QCOMPARE(conn.scalar(QStringLiteral("SELECT COUNT(DISTINCT iafiid) FROM tafi_anafiscale")).toLongLong(), 2 * kRows);
        }
    }

    void writerThatCannotProceedGivesUp_data() { TestDatabase::addDatabaseRows(); }
    void writerThatCannotProceedGivesUp()
    {
        JEX_TEST_DATABASE(tdb);
        const CatalogueTable *t = TableCatalogue::instance().table(QStringLiteral("jex"), QStringLiteral("TPST_PROSPETTOST"));
        QVERIFY(t);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("st.csv"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("SPSTMESE;SPSTANNO\n01;2024\n");
        }
        // The first writer holds the table in an open transaction.
        TQxSQLConnection first(QStringLiteral("tst_first"));
        first.open(DatabaseUrl::parse(tdb.url()));
        TQmrDBCds holder(2024, QStringLiteral("jex"), 0);
        holder.SetConnection(&first);
        QVERIFY(first.startTransaction());
        holder.LockCds(t->name);

        TQxSQLConnection second(QStringLiteral("tst_second"));
        second.lockWaitSeconds = 1;
        second.open(DatabaseUrl::parse(tdb.url()));
        TQmrDBCds svc(2024, QStringLiteral("jex"), 0);
        svc.SetConnection(&second);
        svc.SetShowWait(false);
        try {
            loadSection(svc, *t, path, false);
            QFAIL("the second writer did not wait for the first");
        } catch (const EQxError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Il database %1 è occupato da un altro salvataggio").arg(DatabaseUrl::parse(tdb.url()).display())),
                     qPrintable(e.message()));
            QVERIFY2(!e.message().contains(QStringLiteral("locked")) && !e.message().contains(QStringLiteral("lock timeout")),
                     qPrintable(e.message()));
        }
        QVERIFY(!second.inTransaction());
        first.rollback();
        // Once the first is done the second goes through.
        QCOMPARE(loadSection(svc, *t, path, false).rows, 1);
        QCOMPARE(second.scalar(QStringLiteral("SELECT COUNT(DISTINCT ifisrigo) FROM tfis_datifiscali")).toLongLong(), 1);
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    jex::registerCore(jex::coreRegistry());
    const QStringList args = app.arguments();
    if (args.size() == 5 && args[1] == u"--writer")
        return runWriter(args[2], args[3], args[4]);
    TstConcurrency t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_concurrency.moc"
