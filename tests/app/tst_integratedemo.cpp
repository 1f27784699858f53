// Two demo schools in two databases, through the program itself: the second
// exports its tables, its recipients and its agent are given codici fiscali
// of their own, and the first integrates its employees and self-employed
// recipients. The first school's control reports then list exactly the
// persons they listed before plus the second school's.

#include "program.h"
#include "testdb.h"

#include "checks/codicefiscale.h"
#include "dataset/dataset.h"

#include <QDir>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

namespace {

const QStringList kReports = {QStringLiteral("xafRiepilogoIRPEF"), QStringLiteral("xafRiepilogoINPS"),
                              QStringLiteral("xafRiepilogoINPDAP"), QStringLiteral("xafRiepilogoTassSep"),
                              QStringLiteral("xafRiepilogoAutonomi")};

// Another person's code: the surname letters moved on by 13, the check
// character worked out again.
QString otherPerson(const QString &cf)
{
    QString first15 = cf.left(15);
    for (int i = 0; i < 3; ++i)
        first15[i] = QChar(u'A' + (first15[i].unicode() - u'A' + 13) % 26);
    return first15 + jex::personCheckChar(first15);
}

} // namespace

class TstIntegrateDemo : public QObject
{
    Q_OBJECT

    QString m_pdftotext;

    jex::test::ProgramRun run(const QString &url, const QStringList &args)
    {
        const jex::test::ProgramRun r = jex::test::runProgram(QStringList{QStringLiteral("--database"), url} + args);
        if (r.rc != 0)
            qWarning("jex770 %s: %s%s", qPrintable(args.join(u' ')), qPrintable(r.out), qPrintable(r.err));
        return r;
    }

    // The codici fiscali of persons each control report lists, in order.
    QHash<QString, QStringList> reportedPersons(const QString &url, const QString &dir)
    {
        static const QRegularExpression code(QStringLiteral("\\b[A-Z]{6}[0-9LMNPQRSTUV]{2}[A-Z][0-9LMNPQRSTUV]{2}[A-Z][0-9LMNPQRSTUV]{3}[A-Z]\\b"));
        QHash<QString, QStringList> out;
        for (const QString &report : kReports) {
            const QString pdf = QDir(dir).filePath(report + QStringLiteral(".pdf"));
            const QString txt = QDir(dir).filePath(report + QStringLiteral(".txt"));
            if (run(url, {QStringLiteral("print"), report, QStringLiteral("--out"), pdf}).rc != 0)
                return {};
            if (QProcess::execute(m_pdftotext, {QStringLiteral("-layout"), pdf, txt}) != 0)
                return {};
            const QString text = QString::fromUtf8(jex::test::fileContents(txt));
            QStringList codes;
            for (auto it = code.globalMatch(text); it.hasNext();)
                codes << it.next().captured(0);
            // The self-employed report names its payees without their codes:
            // one line per payee and year, with its amounts.
            if (codes.isEmpty()) {
                static const QRegularExpression payment(QStringLiteral("\\b20\\d\\d\\b.*\\d,\\d\\d"));
                for (const QString &l : text.split(u'\n'))
                    if (payment.match(l).hasMatch() && !l.contains(QStringLiteral("Totale")) && !l.contains(QStringLiteral("Anno")))
                        codes << l.simplified();
            }
            out[report] = codes;
        }
        return out;
    }

    // Gives the exported recipients and agent codes of their own, in every
    // table of the folder, so the second school is another school.
    void makeAnotherSchool(const QString &dir, QHash<QString, QString> &mapping)
    {
        const QDir folder(dir);
        auto codesOf = [&](const QString &table, const char *column) {
            jex::ClientDataSet ds;
            ds.loadFromFile(folder.filePath(table + QStringLiteral(".cds")));
            for (ds.first(); !ds.eof(); ds.next()) {
                const QString cf = ds.fieldByName(QString::fromLatin1(column))->asString().trimmed();
                if (cf.size() == 16)
                    mapping.insert(cf, otherPerson(cf));
                else if (cf.size() == 11) {
                    const QString first10 = QString::number((cf[0].digitValue() + 1) % 10) + cf.mid(1, 9);
                    mapping.insert(cf, first10 + QString::number(jex::organisationCheckDigit(first10)));
                }
            }
        };
        codesOf(QStringLiteral("TDIP7_ANAGRFISCALI"), "SDIP7CODFIS");
        codesOf(QStringLiteral("TDAU7_DATIAUTONOM"), "SDAU7CODFIS");
        codesOf(QStringLiteral("TSOS_DATOSOSTITUTO"), "SSOSCODFIS");
        for (const QString &name : folder.entryList({QStringLiteral("*.cds"), QStringLiteral("*.CDS")}, QDir::Files)) {
            jex::ClientDataSet ds;
            ds.loadFromFile(folder.filePath(name));
            bool changed = false;
            for (ds.first(); !ds.eof(); ds.next())
                for (int i = 0; i < ds.fieldCount(); ++i) {
                    jex::Field *f = ds.field(i);
                    if (f->def().type != jex::FieldType::String)
                        continue;
                    const auto it = mapping.constFind(f->asString().trimmed());
                    if (it == mapping.cend())
                        continue;
                    ds.edit();
                    f->setValue(*it);
                    ds.post();
                    changed = true;
                }
            if (changed) {
                ds.mergeChangeLog();
                ds.saveToFile(folder.filePath(name));
            }
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    }

    void exportThenIntegrate_data() { TestDatabase::addDatabaseRows(); }
    void exportThenIntegrate()
    {
        if (m_pdftotext.isEmpty())
            QSKIP("pdftotext non installato: i riepiloghi non possono essere letti");
        QFETCH(QString, db);
        TestDatabase first(db), second(db);
        if (!first.available())
            QSKIP(qPrintable(first.skipReason()));
        QTemporaryDir work;
        const QString exported = work.filePath(QStringLiteral("estinto"));
        for (const TestDatabase *d : {&first, &second}) {
            QCOMPARE(run(d->url(), {QStringLiteral("init"), QStringLiteral("--demo"), QStringLiteral("--employees"), QStringLiteral("12")}).rc, 0);
            QCOMPARE(run(d->url(), {QStringLiteral("import-autonomi"), QStringLiteral("--overwrite"), QStringLiteral("never")}).rc, 0);
        }
        QCOMPARE(run(second.url(), {QStringLiteral("export"), exported}).rc, 0);
        QHash<QString, QString> mapping;
        makeAnotherSchool(exported, mapping);

        QDir().mkpath(work.filePath(QStringLiteral("b")));
        QDir().mkpath(work.filePath(QStringLiteral("a0")));
        QDir().mkpath(work.filePath(QStringLiteral("a1")));
        const auto theirs = reportedPersons(second.url(), work.filePath(QStringLiteral("b")));
        const auto before = reportedPersons(first.url(), work.filePath(QStringLiteral("a0")));
        QCOMPARE(theirs.size(), kReports.size());
        QCOMPARE(before.size(), kReports.size());
        QVERIFY(!theirs.value(QStringLiteral("xafRiepilogoIRPEF")).isEmpty());
        QVERIFY(!theirs.value(QStringLiteral("xafRiepilogoAutonomi")).isEmpty());

        const auto employees = run(first.url(), {QStringLiteral("integrate"), QStringLiteral("--employees"), QStringLiteral("--from"), exported});
        QCOMPARE(employees.rc, 0);
        QVERIFY2(employees.out.contains(QStringLiteral("Dipendente aggiunto")), qPrintable(employees.out));
        QVERIFY2(!employees.out.contains(QStringLiteral("Dati dipendenti integrati")), qPrintable(employees.out));
        const auto self = run(first.url(), {QStringLiteral("integrate"), QStringLiteral("--self-employed"), QStringLiteral("--from"), exported});
        QCOMPARE(self.rc, 0);
        QVERIFY2(self.out.contains(QStringLiteral("Autonomo aggiunto")), qPrintable(self.out));

        const auto after = reportedPersons(first.url(), work.filePath(QStringLiteral("a1")));
        QCOMPARE(after.size(), kReports.size());
        for (const QString &report : kReports) {
            QStringList expected = before.value(report);
            for (const QString &cf : theirs.value(report))
                expected << mapping.value(cf, cf);
            QStringList got = after.value(report);
            expected.sort();
            got.sort();
            QVERIFY2(got == expected, qPrintable(QStringLiteral("%1: %2 persone, attese %3")
                                                     .arg(report).arg(got.size()).arg(expected.size())));
        }

        // The same self-employed recipients again: nothing more.
        const auto again = run(first.url(), {QStringLiteral("integrate"), QStringLiteral("--self-employed"), QStringLiteral("--from"), exported});
        QCOMPARE(again.rc, 0);
        QVERIFY(again.out.contains(QStringLiteral("Dati autonomo già importato per sostituto estinto")));
        QVERIFY(again.out.contains(QStringLiteral("Persone integrate: 0")));
    }

    // Wrong use of the command changes nothing and says why.
    void commandRefusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("no variant") << QStringList{QStringLiteral("integrate"), QStringLiteral("--from"), QStringLiteral("/tmp")}
                                    << QStringLiteral("--employees");
        QTest::newRow("both variants") << QStringList{QStringLiteral("integrate"), QStringLiteral("--employees"), QStringLiteral("--self-employed"),
                                                      QStringLiteral("--from"), QStringLiteral("/tmp")}
                                       << QStringLiteral("uno dei due");
        QTest::newRow("no folder") << QStringList{QStringLiteral("integrate"), QStringLiteral("--employees")} << QStringLiteral("--from");
        QTest::newRow("empty folder") << QStringList{QStringLiteral("integrate"), QStringLiteral("--employees"), QStringLiteral("--from"), QStringLiteral("@")}
                                      << QStringLiteral("manca");
    }
    void commandRefusals()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        TestDatabase d(QStringLiteral("sqlite"));
        QTemporaryDir empty;
        args.replaceInStrings(QStringLiteral("@"), empty.path());
        QCOMPARE(run(d.url(), {QStringLiteral("init")}).rc, 0);
        const auto r = run(d.url(), args);
        QVERIFY(r.rc != 0);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TstIntegrateDemo)

#include "tst_integratedemo.moc"
