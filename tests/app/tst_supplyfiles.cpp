// The supply files through the program, on both databases: the demo school's
// file is checked, read into an empty return and gives the same file again,
// byte for byte; a return that already holds summary rows is
// refused without --replace and replaced with it.

#include "program.h"
#include "testdb.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace jex::test;

class TstSupplyFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;

    static ProgramRun run(const QString &url, const QStringList &args)
    {
        const ProgramRun r = runProgram(QStringList{QStringLiteral("--database"), url} + args);
        if (r.rc != 0)
            qInfo("jex770 %s -> %d\n%s%s", qPrintable(args.join(u' ')), r.rc, qPrintable(r.out), qPrintable(r.err));
        return r;
    }

private Q_SLOTS:
    void roundTrip_data() { TestDatabase::addDatabaseRows(); }
    void roundTrip()
    {
        JEX_TEST_DATABASE(source);
        TestDatabase target(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(target.available());
        const QString first = m_tmp.filePath(QStringLiteral("%1_77025").arg(QTest::currentDataTag()));
        const QString again = first + QStringLiteral("_di_nuovo");

        QCOMPARE(run(source.url(), {"init", "--demo"}).rc, 0);
        QCOMPARE(run(source.url(), {"import-f24"}).rc, 0);
        QCOMPARE(run(source.url(), {"telematic", "--out", first}).rc, 0);
        // The demo school's own file has no errors.
        const ProgramRun checked = run(source.url(), {"check-file", first});
        QCOMPARE(checked.rc, 0);
        QVERIFY2(checked.out.contains(QStringLiteral("Errori: 0 - ")), qPrintable(checked.out));
        QVERIFY2(!checked.out.contains(QStringLiteral(": errore: ")), qPrintable(checked.out));

        QCOMPARE(run(target.url(), {"init"}).rc, 0);
        const ProgramRun read = run(target.url(), {"read-file", first});
        QCOMPARE(read.rc, 0);
        QVERIFY2(read.out.contains(QStringLiteral("TPST_PROSPETTOST")), qPrintable(read.out));
        QCOMPARE(run(target.url(), {"telematic", "--out", again}).rc, 0);
        QCOMPARE(fileContents(again), fileContents(first));

        // The return now holds summary rows: refused, then replaced.
        const ProgramRun refused = run(target.url(), {"read-file", first});
        QCOMPARE(refused.rc, 1);
        QVERIFY2(refused.err.contains(QStringLiteral("--replace")), qPrintable(refused.err));
        QCOMPARE(run(target.url(), {"read-file", first, "--replace"}).rc, 0);
        QVERIFY(QFile::remove(again));
        QCOMPARE(run(target.url(), {"telematic", "--out", again}).rc, 0);
        QCOMPARE(fileContents(again), fileContents(first));
    }

    // Before the payments are imported the demo school's file holds the
    // modules of its extinct agent: they come back to that agent.
    void extinctAgentRoundTrip_data() { TestDatabase::addDatabaseRows(); }
    void extinctAgentRoundTrip()
    {
        JEX_TEST_DATABASE(source);
        TestDatabase target(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(target.available());
        const QString first = m_tmp.filePath(QStringLiteral("%1_estinto").arg(QTest::currentDataTag()));
        const QString again = first + QStringLiteral("_di_nuovo");

        QCOMPARE(run(source.url(), {"init", "--demo"}).rc, 0);
        QCOMPARE(run(source.url(), {"telematic", "--out", first}).rc, 0);
        QCOMPARE(run(target.url(), {"init"}).rc, 0);
        const ProgramRun read = run(target.url(), {"read-file", first});
        QCOMPARE(read.rc, 0);
        QVERIFY2(read.out.contains(QStringLiteral("Tabelle->Sostituto estinto: 80011223346")), qPrintable(read.out));
        const ProgramRun agents = run(target.url(), {"show", "TSOE7_SOSESTINTO", "--format", "csv"});
        QVERIFY2(agents.out.contains(QStringLiteral("80011223346")), qPrintable(agents.out));
        QCOMPARE(run(target.url(), {"telematic", "--out", again}).rc, 0);
        QCOMPARE(fileContents(again), fileContents(first));
    }

    void exitCodes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("rc");
        QTest::newRow("check of a folder") << QStringList{"check-file", "."} << 2;
        QTest::newRow("check of a missing file") << QStringList{"check-file", "manca.770"} << 2;
        QTest::newRow("check without a file") << QStringList{"check-file"} << 2;
        QTest::newRow("unknown option") << QStringList{"read-file", "x", "--sostituisci"} << 2;
    }
    void exitCodes()
    {
        QFETCH(QStringList, args);
        QFETCH(int, rc);
        const QString db = QStringLiteral("sqlite:") + m_tmp.filePath(QStringLiteral("codici.sqlite"));
        QDir::setCurrent(m_tmp.path());
        QCOMPARE(run(db, args).rc, rc);
    }

    // A supply with an error is not read: the return stays as it was.
    void faultySupplyWritesNothing()
    {
        const QString db = QStringLiteral("sqlite:") + m_tmp.filePath(QStringLiteral("vuoto.sqlite"));
        QCOMPARE(run(db, {"init"}).rc, 0);
        QByteArray demo = fileContents(qEnvironmentVariable("JEX770_SOURCE_DIR")
                                       + QStringLiteral("/tests/data/golden/demo_77025.txt"));
        QVERIFY(!demo.isEmpty());
        demo.chop(900); // the last record cut short
        const QString file = m_tmp.filePath(QStringLiteral("troncato"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(demo);
        f.close();
        const ProgramRun r = run(db, {"read-file", file});
        QCOMPARE(r.rc, 1);
        QVERIFY2(r.err.contains(QStringLiteral("Nulla è stato scritto")), qPrintable(r.err));
        const ProgramRun st = run(db, {"show", "TPST_PROSPETTOST"});
        QCOMPARE(st.rc, 0);
        QCOMPARE(st.out.count(u'\n'), 1); // the header only
    }
};

QTEST_GUILESS_MAIN(TstSupplyFiles)

#include "tst_supplyfiles.moc"
