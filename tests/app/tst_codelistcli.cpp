// "jex770 codelist" run as a user runs it, on an installation of its own
// (the delivered files linked from the build, the user's data folder real):
// a loaded list is in force for the next run and for "load", a bad file
// leaves the list as it was, and the delivered file is never written.

#include "program.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace jex::test;

namespace {
using Run = ProgramRun;
QByteArray contents(const QString &path) { return fileContents(path); }
} // namespace

class TstCodeListCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_inst;

    QString dist() const { return qEnvironmentVariable("JEX770_BUILD_DIR") + QStringLiteral("/dist"); }
    QString tmp(const QString &name) const { return m_tmp.filePath(name); }

    Run run(const QStringList &args) const
    {
        return runProgram(QStringList{QStringLiteral("--main-dir"), m_inst, QStringLiteral("--database"),
                                      QStringLiteral("sqlite:") + tmp(QStringLiteral("dich.sqlite"))}
                          + args);
    }

    QString file(const QString &name, const QByteArray &bytes) const
    {
        QFile f(tmp(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return f.fileName();
    }

    QString deliveredNote() const { return dist() + QStringLiteral("/USR/YR2024/Res/Tabelle/TNOT_NOTE.CDS"); }

private Q_SLOTS:
    void initTestCase()
    {
        // Every delivered part is the build's own; only the user's data
        // (USR/YRDati) is a folder of this test.
        m_inst = tmp(QStringLiteral("inst"));
        QVERIFY(QDir().mkpath(m_inst + QStringLiteral("/USR/YRDati")));
        const QDir d(dist());
        for (const QString &e : d.entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
            if (e != u"USR")
                QVERIFY(QFile::link(d.filePath(e), m_inst + u'/' + e));
        const QDir usr(dist() + QStringLiteral("/USR"));
        for (const QString &e : usr.entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
            if (e != u"YRDati")
                QVERIFY(QFile::link(usr.filePath(e), m_inst + QStringLiteral("/USR/") + e));
        const Run r = run({QStringLiteral("init"), QStringLiteral("--demo"), QStringLiteral("--employees"), QStringLiteral("1")});
        QVERIFY2(r.rc == 0, qPrintable(r.err));
    }

    void loadedListIsInForce()
    {
        const QByteArray delivered = contents(deliveredNote());
        Run r = run({QStringLiteral("codelist"), QStringLiteral("list")});
        QCOMPARE(r.rc, 0);
        QVERIFY2(r.out.contains(QStringLiteral("\nTNOT_NOTE;0;vuota;Istruzioni 770/2025")), qPrintable(r.out));
        QVERIFY2(r.out.contains(QStringLiteral("\nTEEC_EVENTIECCEZIONALI;2;fornita;")), qPrintable(r.out));

        r = run({QStringLiteral("codelist"), QStringLiteral("load"), QStringLiteral("TNOT_NOTE"),
                 file(QStringLiteral("note.tsv"), "# Fonte: istruzioni della scuola\nCODICE\tDESCRIZIONE\n20\tSospesi\n"
                                                  "21\tCitt\xE0\n")});
        QCOMPARE(r.rc, 0);
        QCOMPARE(r.out, QStringLiteral("TNOT_NOTE: 2 codici caricati.\n"));
        QVERIFY2(r.err.contains(QStringLiteral("TNOT_NOTE.CDS.bak")), qPrintable(r.err));
        QCOMPARE(contents(deliveredNote()), delivered);

        r = run({QStringLiteral("codelist"), QStringLiteral("show"), QStringLiteral("TNOT_NOTE")});
        QCOMPARE(r.out, QStringLiteral("CODICE;DESCRIZIONE\n20;Sospesi\n21;Città\n"));
        r = run({QStringLiteral("codelist"), QStringLiteral("show"), QStringLiteral("TNOT_NOTE"), QStringLiteral("--format"),
                 QStringLiteral("json")});
        QVERIFY2(r.out.contains(QStringLiteral("\"CODICE\": \"21\"")), qPrintable(r.out));
        r = run({QStringLiteral("codelist"), QStringLiteral("list")});
        QVERIFY2(r.out.contains(QStringLiteral("\nTNOT_NOTE;2;aggiornata;istruzioni della scuola (caricata dal file note.tsv")),
                 qPrintable(r.out));

        // A summary-table row with a loaded code loads without a warning;
        // one with a code outside the list loads with one naming the list.
        r = run({QStringLiteral("load"), QStringLiteral("TPST_PROSPETTOST"),
                 file(QStringLiteral("st.csv"), "SPSTMESE;SPSTANNO;SNOTCODICE\n01;2024;20\n02;2024;99\n"),
                 QStringLiteral("--replace")});
        QVERIFY2(r.rc == 0, qPrintable(r.err));
        QVERIFY2(r.err.contains(QStringLiteral("Avviso: riga 3, colonna SNOTCODICE: il codice 99 non è nella tabella TNOT_NOTE\n")),
                 qPrintable(r.err));
        QVERIFY2(!r.err.contains(QStringLiteral("il codice 20 ")), qPrintable(r.err));
        QVERIFY2(r.out.startsWith(QStringLiteral("TPST_PROSPETTOST: 2 righe caricate, ")), qPrintable(r.out));
    }

    void badInputChangesNothing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("rc");
        QTest::addColumn<QString>("error");
        QTest::newRow("duplicate code") << QStringList{"codelist", "load", "TDIN_NOTEDI", "@CODICE;DESCRIZIONE\nQ;a\nQ;b\n"} << 1
                                        << "dup.csv, riga 3: il codice \"Q\" è già alla riga 2";
        QTest::newRow("code too long for SPDINOTA")
            << QStringList{"codelist", "load", "TDIN_NOTEDI", "@CODICE;DESCRIZIONE\nQQQ;a\n"} << 1
            << "riga 2: il codice \"QQQ\" è più lungo di 2 caratteri";
        QTest::newRow("empty file") << QStringList{"codelist", "load", "TDIN_NOTEDI", "@"} << 1 << "il file è vuoto";
        QTest::newRow("unknown list") << QStringList{"codelist", "load", "TDIN_NOTE", "@CODICE;DESCRIZIONE\nQ;a\n"} << 1
                                      << "Tabella dei codici sconosciuta: TDIN_NOTE";
        QTest::newRow("unknown operation") << QStringList{"codelist", "remove", "TDIN_NOTEDI"} << 2
                                           << "Operazione sconosciuta per il comando codelist: remove";
        QTest::newRow("format on load") << QStringList{"codelist", "load", "TDIN_NOTEDI", "@CODICE;DESCRIZIONE\nQ;a\n", "--format", "csv"}
                                        << 2 << "Uso: jex770 codelist";
        QTest::newRow("unknown option") << QStringList{"codelist", "list", "--all"} << 2
                                        << "Opzione sconosciuta per il comando codelist: --all";
    }
    void badInputChangesNothing()
    {
        QFETCH(QStringList, args);
        QFETCH(int, rc);
        QFETCH(QString, error);
        for (QString &a : args)
            if (a.startsWith(u'@'))
                a = file(QStringLiteral("dup.csv"), a.mid(1).toUtf8());
        const Run before = run({QStringLiteral("codelist"), QStringLiteral("show"), QStringLiteral("TDIN_NOTEDI")});
        QCOMPARE(before.rc, 0);
        const Run r = run(args);
        QCOMPARE(r.rc, rc);
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.contains(error), qPrintable(r.err));
        QCOMPARE(run({QStringLiteral("codelist"), QStringLiteral("show"), QStringLiteral("TDIN_NOTEDI")}).out, before.out);
        QVERIFY(!QFile::exists(m_inst + QStringLiteral("/USR/YRDati/YR2024/Tabelle/TDIN_NOTEDI.CDS")));
    }
};

QTEST_GUILESS_MAIN(TstCodeListCli)
#include "tst_codelistcli.moc"
