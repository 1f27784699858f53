// An import of the certifications killed half-way: every person is either
// as before or fully imported, never deleted and not imported again.

#include "program.h"
#include "testdb.h"

#include <QElapsedTimer>
#include <QHash>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUrl>
#include <QtTest>

namespace {

// What the return holds of each employee: the income and the number of
// INPDAP rows.
struct Held
{
    double income = 0;
    int inpdap = 0;
    int records = 0;
};

const char *const kValuesOf = "SELECT cf.sfisvalue, v.ffisvalue FROM tfis_datifiscali cf "
                              "LEFT JOIN tfis_datifiscali v ON v.icdsid = cf.icdsid AND v.ifisrigo = cf.ifisrigo "
                              "AND Upper(v.sfisfieldname) = '%2' "
                              "WHERE Upper(cf.sfisfieldname) = 'SDIP7CODFIS' AND cf.icdsid IN "
                              "(SELECT icdsid FROM tcds_struttura WHERE Upper(scdsnome) = '%1' AND Lower(scdsprogramma) = 'jex')";

class Db
{
public:
    explicit Db(const QString &url) : m_name(QStringLiteral("kill%1").arg(quintptr(this)))
    {
        QSqlDatabase db;
        if (url.startsWith(u"sqlite:")) {
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
            db.setDatabaseName(url.mid(7));
        } else {
            const QUrl u(url);
            db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
            db.setHostName(u.host());
            db.setPort(u.port(5432));
            db.setUserName(u.userName());
            db.setPassword(u.password());
            db.setDatabaseName(u.path().mid(1));
        }
        m_ok = db.open();
    }
    ~Db()
    {
        QSqlDatabase::database(m_name).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    bool ok() const { return m_ok; }

    QSqlQuery exec(const QString &sql)
    {
        QSqlQuery q(QSqlDatabase::database(m_name));
        if (!q.exec(sql))
            qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        return q;
    }

    // The personal data keep the codice fiscale in the registry table, the
    // other sections in a value row of their own.
    QHash<QString, Held> held()
    {
        QHash<QString, Held> out;
        QSqlQuery q = exec(QStringLiteral(
            "SELECT afi.saficodfiscale, v.ffisvalue FROM tfis_datifiscali v "
            "INNER JOIN tafi_anafiscale afi ON afi.iafiid = v.iafiid WHERE Upper(v.sfisfieldname) = 'FFIS7REDDDETR' "
            "AND v.icdsid IN (SELECT icdsid FROM tcds_struttura WHERE Upper(scdsnome) = 'TDIP7_ANAGRFISCALI' "
            "AND Lower(scdsprogramma) = 'jex')"));
        while (q.next()) {
            Held &h = out[q.value(0).toString().toUpper()];
            h.income = q.value(1).toDouble();
            ++h.records;
        }
        q = exec(QString::fromLatin1(kValuesOf).arg(QStringLiteral("TINP7_INPDAP"), QStringLiteral("FINPDAP7_DMA_IMPPENS")));
        while (q.next())
            ++out[q.value(0).toString().toUpper()].inpdap;
        return out;
    }

private:
    QString m_name;
    bool m_ok = false;
};

} // namespace

class TstCudInterrupt : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void killedImportLeavesPersonsWhole_data() { TestDatabase::addDatabaseRows(); }
    void killedImportLeavesPersonsWhole()
    {
        JEX_TEST_DATABASE(database);
        {
            // 2,000 employees take longer than an ordinary run of the program.
            QProcess init;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.remove(QStringLiteral("JEX770_DATABASE"));
            env.remove(QStringLiteral("JEX770_MAIN_DIR"));
            init.setProcessEnvironment(env);
            init.start(jex::test::programPath(), {QStringLiteral("--database"), database.url(), QStringLiteral("init"),
                                                   QStringLiteral("--demo"), QStringLiteral("--employees"), QStringLiteral("2000")});
            QVERIFY(init.waitForFinished(1200000));
            QVERIFY2(init.exitStatus() == QProcess::NormalExit && init.exitCode() == 0,
                     qPrintable(QString::fromUtf8(init.readAllStandardOutput() + init.readAllStandardError())));
        }

        Db sql(database.url());
        QVERIFY(sql.ok());
        const QHash<QString, Held> before = sql.held();
        QVERIFY(before.size() >= 2000);
        // New certifications: every income doubled.
        sql.exec(QStringLiteral("UPDATE tfis_datifiscali SET ffisvalue = ffisvalue * 2 WHERE Upper(sfisfieldname) = "
                               "'FCUDREDDDETR' AND icdsid IN (SELECT icdsid FROM tcds_struttura WHERE "
                               "Lower(scdsprogramma) = 'jey')"));

        // Progress is read from the record numbers of the personal data: a
        // person imported again gets a record numbered above every old one.
        QSqlQuery idq = sql.exec(QStringLiteral("SELECT icdsid FROM tcds_struttura WHERE Upper(scdsnome) = "
                                                "'TDIP7_ANAGRFISCALI' AND Lower(scdsprogramma) = 'jex'"));
        QVERIFY(idq.next());
        const qint64 icdsid = idq.value(0).toLongLong();
        idq.finish();
        QSqlQuery mq = sql.exec(QStringLiteral("SELECT MAX(ifisrigo) FROM tfis_datifiscali WHERE icdsid = %1").arg(icdsid));
        QVERIFY(mq.next());
        const qint64 lastRecord = mq.value(0).toLongLong();
        mq.finish();
        const QString progress = QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali WHERE icdsid = %1 AND ifisrigo > %2 "
                                                "AND Upper(sfisfieldname) = 'FFIS7REDDDETR'").arg(icdsid).arg(lastRecord);

        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardErrorFile(QProcess::nullDevice());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("JEX770_DATABASE"));
        env.remove(QStringLiteral("JEX770_MAIN_DIR"));
        p.setProcessEnvironment(env);
        p.start(jex::test::programPath(), {QStringLiteral("--database"), database.url(), QStringLiteral("import-cud")});
        QVERIFY(p.waitForStarted());
        // Killed once a few hundred persons are through.
        QElapsedTimer t;
        t.start();
        int reimported = 0;
        while (p.state() == QProcess::Running && t.elapsed() < 300000) {
            QThread::msleep(300);
            QSqlQuery q = sql.exec(progress);
            reimported = q.next() ? q.value(0).toInt() : 0;
            q.finish();
            if (reimported >= 300)
                break;
        }
        QVERIFY2(p.state() == QProcess::Running, "l'importazione è finita prima di essere interrotta");
        p.kill();
        p.waitForFinished();

        const QHash<QString, Held> after = sql.held();
        int done = 0;
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            QVERIFY2(after.contains(it.key()), qPrintable(QStringLiteral("%1 cancellato e non reimportato").arg(it.key())));
            const Held &a = after[it.key()];
            QCOMPARE(a.records, 1);
            QCOMPARE(a.inpdap, it->inpdap);
            const bool same = qFuzzyCompare(a.income + 1, it->income + 1);
            const bool doubled = qFuzzyCompare(a.income + 1, it->income * 2 + 1);
            QVERIFY2(same || doubled, qPrintable(it.key()));
            done += doubled && !same ? 1 : 0;
        }
        QCOMPARE(after.size(), before.size());
        QVERIFY(done >= 300 && done < before.size());
        qInfo("persone reimportate prima dell'interruzione: %d di %d", done, int(before.size()));
    }
};

int main(int argc, char **argv)
{
    // Two demo schools of 2,000 employees and their imports: longer than
    // the default five minutes of a test function on a busy machine.
    qputenv("QTEST_FUNCTION_TIMEOUT", "1200000");
    QCoreApplication app(argc, argv);
    TstCudInterrupt t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_cudinterrupt.moc"
