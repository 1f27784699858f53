// The demo school through the program itself, on both databases: its
// telematic file and the text of every print are the ones recorded in
// tests/data/golden. A change of layout, formatting or print that alters them
// shows here; when the change is meant, record the new output there.

#include "program.h"
#include "testdb.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

namespace {

QString golden(const QString &name)
{
    return qEnvironmentVariable("JEX770_SOURCE_DIR") + QStringLiteral("/tests/data/golden/") + name;
}

QByteArray readAll(const QString &path)
{
    return jex::test::fileContents(path);
}

} // namespace

class TstGolden : public QObject
{
    Q_OBJECT

    // Runs jex770 on the database; fails the test with its messages when it fails.
    bool run(const QString &url, const QStringList &args)
    {
        const jex::test::ProgramRun r = jex::test::runProgram(QStringList{QStringLiteral("--database"), url} + args);
        if (r.rc != 0)
            qWarning("jex770 %s: %s%s", qPrintable(args.join(u' ')), qPrintable(r.out), qPrintable(r.err));
        return r.rc == 0;
    }

private Q_SLOTS:
    void demoOutputs_data() { TestDatabase::addDatabaseRows(); }
    void demoOutputs()
    {
        JEX_TEST_DATABASE(database);
        QTemporaryDir out;
        QVERIFY(run(database.url(), {QStringLiteral("init"), QStringLiteral("--demo")}));
        QVERIFY(run(database.url(), {QStringLiteral("import-f24")}));
        const QString file = out.filePath(QStringLiteral("demo.770"));
        QVERIFY(run(database.url(), {QStringLiteral("telematic"), QStringLiteral("--out"), file}));
        const QByteArray expected = readAll(golden(QStringLiteral("demo_77025.txt")));
        QVERIFY(!expected.isEmpty());
        QCOMPARE(readAll(file), expected);

        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (pdftotext.isEmpty())
            QSKIP("pdftotext non installato: testi delle stampe non confrontati");
        for (const char *item : {"xafStpFront", "axfDI", "axfST", "axfSV", "axfSX", "axfSY", "axfSS",
                                 "xafRiepilogoINPS", "xafRiepilogoTassSep", "xafRiepilogoIRPEF",
                                 "xafRiepilogoINPDAP", "xafRiepilogoAutonomi"}) {
            const QString name = QString::fromLatin1(item);
            const QString pdf = out.filePath(name + QStringLiteral(".pdf"));
            QVERIFY(run(database.url(), {QStringLiteral("print"), name, QStringLiteral("--out"), pdf}));
            const QString text = out.filePath(name + QStringLiteral(".txt"));
            QCOMPARE(QProcess::execute(pdftotext, {QStringLiteral("-layout"), pdf, text}), 0);
            QVERIFY2(readAll(text) == readAll(golden(name + QStringLiteral(".txt"))), item);
        }
    }
};

QTEST_GUILESS_MAIN(TstGolden)

#include "tst_golden.moc"
