// The jex770 program itself, run as a user runs it: exit codes, results on
// standard output and messages on standard error, and what is left on disk
// when an option, a file or a write is wrong.

#include "fullfs.h"
#include "program.h"
#include "testdb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <map>
#include <memory>

using namespace jex::test;

namespace {
using Run = ProgramRun;
QByteArray contents(const QString &path) { return fileContents(path); }

// The lines a reconciliation flags, whatever the format it was asked in, as
// "reference|description|difference" (the difference as "-76,93", empty
// when the line compares no two amounts). A line that cannot be read is
// kept whole, so that it shows in the failure.
QStringList flaggedInText(const QString &out)
{
    static const QRegularExpression row(QStringLiteral(
        "^!! (.+?): (.+?)(?: \\[A (?:-|-?[\\d.]+,\\d\\d), B (?:-|-?[\\d.]+,\\d\\d)(?:, differenza (-?[\\d.]+,\\d\\d))?\\])?$"));
    QStringList lines;
    for (const QString &l : out.split(u'\n')) {
        if (!l.startsWith(QStringLiteral("!! ")))
            continue;
        const QRegularExpressionMatch m = row.match(l);
        lines << (m.hasMatch() ? QStringList{m.captured(1), m.captured(2), m.captured(3).remove(u'.')}.join(u'|') : l);
    }
    return lines;
}

QStringList flaggedInCsv(const QString &out)
{
    QStringList lines;
    const QStringList rows = out.split(u'\n', Qt::SkipEmptyParts);
    for (qsizetype i = 1; i < rows.size(); ++i) {
        // No field of these lines holds a semicolon, so none is quoted.
        const QStringList f = rows[i].split(u';');
        if (f.size() != 7)
            lines << rows[i];
        else if (f[6] == u"1")
            lines << QStringList{f[1], f[2], f[5]}.join(u'|');
    }
    return lines;
}

QStringList flaggedInJson(const QJsonObject &json)
{
    QStringList lines;
    for (const QJsonValue &v : json.value(QStringLiteral("righe")).toArray()) {
        const QJsonObject r = v.toObject();
        if (!r.value(QStringLiteral("da_verificare")).toBool())
            continue;
        const QJsonValue d = r.value(QStringLiteral("differenza"));
        lines << QStringList{r.value(QStringLiteral("riferimento")).toString(), r.value(QStringLiteral("descrizione")).toString(),
                             d.isNull() ? QString() : QString::number(d.toDouble(), 'f', 2).replace(u'.', u',')}
                     .join(u'|');
    }
    return lines;
}
} // namespace

class TstCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_db;

    QString program() const { return programPath(); }

    Run run(const QStringList &args, const QString &database = {}) const
    {
        return runProgram(QStringList{QStringLiteral("--database"),
                                      QStringLiteral("sqlite:") + (database.isEmpty() ? m_db : database)}
                          + args);
    }

    QString tmp(const QString &name) const { return m_tmp.filePath(name); }

    // The schools the reconciliation runs on, made once per database kind:
    // "demo", the demo school after import-f24; "new", a return just made.
    std::map<QString, std::unique_ptr<TestDatabase>> m_schools;

    QString school(const QString &kind, const QString &which)
    {
        const QString key = kind + u'/' + which;
        if (const auto it = m_schools.find(key); it != m_schools.end())
            return it->second->url();
        auto d = std::make_unique<TestDatabase>(kind);
        if (!d->available())
            return {};
        const QStringList init = which == u"demo" ? QStringList{QStringLiteral("init"), QStringLiteral("--demo")}
                                                  : QStringList{QStringLiteral("init")};
        const Run made = runProgram(QStringList{QStringLiteral("--database"), d->url()} + init);
        if (made.rc != 0)
            qWarning("init: %s", qPrintable(made.err));
        if (which == u"demo") {
            const Run imported = runProgram({QStringLiteral("--database"), d->url(), QStringLiteral("import-f24")});
            if (imported.rc != 0)
                qWarning("import-f24: %s", qPrintable(imported.err));
        }
        return m_schools.emplace(key, std::move(d)).first->second->url();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(program()).isExecutable(), qPrintable(program()));
        m_db = tmp(QStringLiteral("dich.sqlite"));
        const Run r = run({QStringLiteral("init"), QStringLiteral("--demo"), QStringLiteral("--employees"), QStringLiteral("3")});
        QVERIFY2(r.rc == 0, qPrintable(r.err));
    }

    void cleanupTestCase() { m_schools.clear(); }

    void reconcile_data()
    {
        QTest::addColumn<QString>("db");
        QTest::addColumn<QString>("school");
        QTest::addColumn<QStringList>("args"); // OUT: a new PDF; BLOCKED: a PDF under a file
        QTest::addColumn<int>("rc");
        QTest::addColumn<QString>("format");   // how stdout is read; "none": it stays empty
        QTest::addColumn<QStringList>("flagged");
        QTest::addColumn<QString>("error");    // on stderr
        QTest::addColumn<bool>("pdf");

        // The two mistakes the demo's archive makes on purpose (data/README.md).
        const QStringList demo = {
            QStringLiteral("Ritenute IRPEF|ritenute del prospetto ST I (codici 1001 1040 104E): differenza oltre 1 euro|-76,93"),
            QStringLiteral("ST I 01/2024 1040|versamento F24 del 16/02/2023 assente dal prospetto|"),
            QStringLiteral("ST I rigo 17|versamento del 16/10/2024 anteriore al mese di riferimento 11/2024|")};
        const QStringList none;
        QStringList newReturn;
        for (const char *box : {"Ritenute IRPEF|IRPEF|ST I", "Rimborsi IRPEF da assistenza fiscale|RIMBORSI730|ST I",
                                "Addizionale regionale|ADDREG|ST II", "Addizionale comunale (acconto e saldo)|ADDCOM|SV"}) {
            const QStringList b = QString::fromUtf8(box).split(u'|');
            newReturn << QStringLiteral("%1|nessun codice tributo indicato per il riquadro %2 nel file Quadratura.xml: "
                                        "confronto con il prospetto %3 non eseguito|")
                             .arg(b[0], b[1], b[2]);
        }
        newReturn << QStringLiteral("Archivio F24|nessun versamento F24 del 2024 nell'archivio: confronto con gli F24 non eseguito|");
        const QString unknownOption = QStringLiteral("Opzione sconosciuta per il comando reconcile: --formato");
        const QString badFormat = QStringLiteral("Formato \"xml\" non valido: indicare text, csv o json");
        const struct
        {
            const char *name, *school;
            QStringList args;
            int rc;
            const char *format;
            QStringList flagged;
            QString error;
            bool pdf;
        } cases[] = {
            {"demo, text", "demo", {"reconcile"}, 1, "text", demo, {}, false},
            {"demo, csv", "demo", {"reconcile", "--format", "csv"}, 1, "csv", demo, {}, false},
            {"demo, json", "demo", {"reconcile", "--format", "json"}, 1, "json", demo, {}, false},
            {"demo, print", "demo", {"reconcile", "--out", "OUT"}, 1, "text", demo, "File generato: OUT", true},
            {"print that cannot be written", "demo", {"reconcile", "--format", "json", "--out", "BLOCKED"}, 2, "none",
             none, "Impossibile creare la cartella", false},
            {"print without a file name", "demo", {"reconcile", "--out", ""}, 2, "none", none,
             "Indicare il file PDF dopo --out", false},
            {"unknown option", "demo", {"reconcile", "--formato", "json", "--out", "OUT"}, 2, "none", none,
             unknownOption, false},
            {"unknown format", "demo", {"reconcile", "--format", "xml", "--out", "OUT"}, 2, "none", none, badFormat,
             false},
            // A return just made: no tax code in the delivered boxes, no payment.
            {"no F24 archive", "new", {"reconcile", "--format", "json"}, 1, "json", newReturn, {}, false},
        };
        for (const char *db : {"sqlite", "postgresql"})
            for (const auto &c : cases)
                QTest::newRow(qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(db), QLatin1String(c.name))))
                    << QString::fromLatin1(db) << QString::fromLatin1(c.school) << c.args << c.rc
                    << QString::fromLatin1(c.format) << c.flagged << c.error << c.pdf;
    }
    void reconcile()
    {
        QFETCH(QString, db);
        QFETCH(QString, school);
        QFETCH(QStringList, args);
        QFETCH(int, rc);
        QFETCH(QString, format);
        QFETCH(QStringList, flagged);
        QFETCH(QString, error);
        QFETCH(bool, pdf);
        const QString url = this->school(db, school);
        if (url.isEmpty())
            QSKIP("PostgreSQL non disponibile (JEX770_TEST_PG non impostata)");
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("Quadratura.pdf"));
        QFile blocker(dir.filePath(QStringLiteral("stampe")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString blocked = blocker.fileName() + QStringLiteral("/Quadratura.pdf");
        args.replaceInStrings(QStringLiteral("OUT"), out);
        args.replaceInStrings(QStringLiteral("BLOCKED"), blocked);
        error.replace(QStringLiteral("OUT"), out);

        const Run r = runProgram(QStringList{QStringLiteral("--database"), url} + args);
        QVERIFY2(r.rc == rc, qPrintable(QStringLiteral("uscita %1\n%2").arg(r.rc).arg(r.err)));
        if (!error.isEmpty())
            QVERIFY2(r.err.contains(error), qPrintable(r.err));
        if (format == u"none") {
            QCOMPARE(r.out, QString());
        } else if (format == u"text") {
            QVERIFY(r.out.startsWith(QStringLiteral("Quadratura CU / 770 / F24 - anno 2024")));
            QCOMPARE(flaggedInText(r.out), flagged);
            QVERIFY(r.out.endsWith(QStringLiteral("%1 differenze da verificare\n").arg(flagged.size())));
        } else if (format == u"csv") {
            QVERIFY(r.out.startsWith(QStringLiteral("controllo;riferimento;descrizione;a;b;differenza;da_verificare\n")));
            QCOMPARE(flaggedInCsv(r.out), flagged);
        } else {
            QJsonParseError parse;
            const QJsonDocument json = QJsonDocument::fromJson(r.out.toUtf8(), &parse);
            QVERIFY2(parse.error == QJsonParseError::NoError, qPrintable(parse.errorString()));
            QCOMPARE(flaggedInJson(json.object()), flagged);
            QCOMPARE(json.object().value(QStringLiteral("da_verificare")).toInt(), int(flagged.size()));
        }
        QCOMPARE(QFileInfo::exists(out), pdf);
        if (pdf)
            QVERIFY(contents(out).startsWith("%PDF"));
        QVERIFY(!QFileInfo::exists(blocked));
    }

    void unknownOptionsChangeNothing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        QTest::newRow("load --replce") << QStringList{"load", "TPST_PROSPETTOST", "ST.csv", "--replce"}
                                       << "Opzione sconosciuta per il comando load: --replce";
        QTest::newRow("import-f24 --sv-only") << QStringList{"import-f24", "--sv-only"}
                                              << "Opzione sconosciuta per il comando import-f24: --sv-only";
        QTest::newRow("import-autonomi --solo-anagrafe") << QStringList{"import-autonomi", "--solo-anagrafe"}
                                                         << "Opzione sconosciuta per il comando import-autonomi: --solo-anagrafe";
        QTest::newRow("import-previous --dipendenti") << QStringList{"import-previous", "--dipendenti"}
                                                      << "Opzione sconosciuta per il comando import-previous: --dipendenti";
        QTest::newRow("show --formt") << QStringList{"show", "TPST_PROSPETTOST", "--formt", "json"}
                                      << "Opzione sconosciuta per il comando show: --formt";
        QTest::newRow("telematic, name without --out") << QStringList{"telematic", "770"}
                                                       << "Il comando telematic non vuole argomenti: 770";
        QTest::newRow("value missing") << QStringList{"show", "TPST_PROSPETTOST", "--year"}
                                       << "Manca il valore dell'opzione --year";
    }
    void unknownOptionsChangeNothing()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        const Run before = run({QStringLiteral("show"), QStringLiteral("TPST_PROSPETTOST")});
        QCOMPARE(before.rc, 0);
        // The rows already there, as a file that would load.
        QFile csv(tmp(QStringLiteral("ST.csv")));
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write(before.out.toUtf8());
        csv.close();
        QStringList full = args;
        for (QString &a : full)
            if (a == u"ST.csv")
                a = csv.fileName();
        const Run r = run(full);
        QCOMPARE(r.rc, 2);
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.startsWith(error + u'\n'), qPrintable(r.err));
        QVERIFY2(r.err.contains(QStringLiteral("Uso: jex770 ") + args.first()), qPrintable(r.err));
        QCOMPARE(run({QStringLiteral("show"), QStringLiteral("TPST_PROSPETTOST")}).out, before.out);
    }

    void unknownCommand()
    {
        const Run r = run({QStringLiteral("esporta")});
        QCOMPARE(r.rc, 2);
        QCOMPARE(r.out, QString());
        QVERIFY(r.err.contains(QStringLiteral("Comando sconosciuto: esporta")));
    }

    void mistypedDatabaseIsNotCreated_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("show") << QStringList{"show", "TSOS_DATOSOSTITUTO"};
        QTest::newRow("telematic") << QStringList{"telematic", "--yes", "--out", "770"};
        QTest::newRow("print") << QStringList{"print", "axfSV", "--out", "SV.pdf"};
    }
    void mistypedDatabaseIsNotCreated()
    {
        QFETCH(QStringList, args);
        const QString typo = tmp(QStringLiteral("dihc/dich.sqlite"));
        QStringList full = args;
        for (QString &a : full)
            if (a == u"770" || a == u"SV.pdf")
                a = tmp(QStringLiteral("refuso_") + a);
        const Run r = run(full, typo);
        QCOMPARE(r.rc, 1);
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.contains(QStringLiteral("Il database %1 non esiste").arg(typo)), qPrintable(r.err));
        QVERIFY(!QFileInfo::exists(tmp(QStringLiteral("dihc"))));
        QVERIFY(!QFileInfo::exists(tmp(QStringLiteral("refuso_770"))));
        QVERIFY(!QFileInfo::exists(tmp(QStringLiteral("refuso_SV.pdf"))));
    }

    void connectCreatesANamedDatabase()
    {
        const QString path = tmp(QStringLiteral("nuovo/nuovo.sqlite"));
        const Run r = run({QStringLiteral("connect")}, path);
        QVERIFY2(r.rc == 0, qPrintable(r.err));
        QVERIFY(QFileInfo::exists(path));
    }

    void missingInputFile()
    {
        const Run r = run({QStringLiteral("load"), QStringLiteral("TPST_PROSPETTOST"), tmp(QStringLiteral("manca.csv"))});
        QCOMPARE(r.rc, 1);
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.contains(tmp(QStringLiteral("manca.csv"))), qPrintable(r.err));
    }

    void resultsOnStdoutMessagesOnStderr()
    {
        const Run show = run({QStringLiteral("show"), QStringLiteral("TSOS_DATOSOSTITUTO")});
        QCOMPARE(show.rc, 0);
        const QStringList lines = show.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2); // header and the agent
        QVERIFY(lines.first().startsWith(QStringLiteral("SSOSCODFIS;")));
        QVERIFY(lines.last().startsWith(QStringLiteral("94007770541;")));

        const Run print = run({QStringLiteral("print"), QStringLiteral("axfNessuno")});
        QCOMPARE(print.rc, 2);
        QCOMPARE(print.out, QString());
        QCOMPARE(print.err, QStringLiteral("Voce di stampa sconosciuta: axfNessuno\n"));

        const QString pdf = tmp(QStringLiteral("SV.pdf"));
        const Run ok = run({QStringLiteral("print"), QStringLiteral("axfSV"), QStringLiteral("--out"), pdf});
        QVERIFY2(ok.rc == 0, qPrintable(ok.err));
        QCOMPARE(ok.out, QStringLiteral("File generato: %1\n").arg(pdf));
        QVERIFY(contents(pdf).startsWith("%PDF"));
    }

    void telematicSuccessAndProgress()
    {
        const QString file = tmp(QStringLiteral("77025"));
        const Run r = run({QStringLiteral("telematic"), QStringLiteral("--yes"), QStringLiteral("--out"), file});
        QVERIFY2(r.rc == 0, qPrintable(r.err));
        QCOMPARE(r.out, QStringLiteral("Generazione file completata con successo. Il file è presente in:\n%1\n").arg(file));
        QVERIFY(r.err.contains(QStringLiteral("Operazione terminata con successo.")));
        const QList<QByteArray> records = contents(file).split('\n');
        QVERIFY(records.size() > 3);
        QVERIFY(records.first().startsWith('A'));
    }

    void telematicToAPipeIsWrittenThrough()
    {
        // Standard output is a pipe here: the supply goes through it, and the
        // pipe is not replaced by a file.
        const Run r = run({QStringLiteral("telematic"), QStringLiteral("--yes"), QStringLiteral("--out"), QStringLiteral("/dev/stdout")});
        QVERIFY2(r.rc == 0, qPrintable(r.err));
        QVERIFY(r.out.startsWith(u'A'));
        QVERIFY(r.out.contains(QStringLiteral("\r\nZ")));
        QVERIFY(QFileInfo(QStringLiteral("/dev/stdout")).isSymLink());
    }

    void telematicDemoOnlyOnTheDemoSchool()
    {
        // On a return that is not the demo school's the demo rows would mix
        // with the school's own: refused, nothing written.
        const QString other = tmp(QStringLiteral("altra.sqlite"));
        QCOMPARE(run({QStringLiteral("init")}, other).rc, 0);
        const Run refused = run({QStringLiteral("telematic-demo")}, other);
        QCOMPARE(refused.rc, 1);
        QVERIFY2(refused.err.contains(QStringLiteral("non contiene la scuola dimostrativa")), qPrintable(refused.err));
        const Run sx = run({QStringLiteral("show"), QStringLiteral("TPSX_PROSPETTOSX")}, other);
        QCOMPARE(sx.rc, 0);
        QCOMPARE(sx.out.count(u'\n'), 1); // the header only
        QCOMPARE(run({QStringLiteral("telematic-demo")}).rc, 0);
    }

    void exportIntoAFolderThatCannotBeMade()
    {
        QFile blocker(tmp(QStringLiteral("blocco")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const Run r = run({QStringLiteral("export"), tmp(QStringLiteral("blocco/tabelle"))});
        QCOMPARE(r.rc, 1);
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.contains(QStringLiteral("Impossibile creare la directory specificata.")), qPrintable(r.err));
        QVERIFY(!r.err.contains(QStringLiteral("Tabelle esportate")));
    }

    void fullDiskKeepsPreviousOutputs_data()
    {
        QTest::addColumn<QStringList>("args"); // FILE: the output on the full disk
        QTest::addColumn<QString>("file");
        QTest::newRow("telematic") << QStringList{"telematic", "--yes", "--out", "FILE"} << "77025";
        QTest::newRow("print") << QStringList{"print", "axfSV", "--out", "FILE"} << "SV.pdf";
        QTest::newRow("export") << QStringList{"export", "FILE"} << "tabelle";
    }
    void fullDiskKeepsPreviousOutputs()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, file);
        FullFileSystem fs("1m");
        if (!fs.available())
            QSKIP(qPrintable(fs.skipReason()));
        const QString target = fs.filePath(file);
        const QString relative = file == u"tabelle" ? file + QStringLiteral("/TSOS_DATOSOSTITUTO.cds") : file;
        const QString kept = fs.filePath(relative);
        if (file == u"tabelle")
            QVERIFY(QDir().mkpath(target));
        QVERIFY(fs.put(relative, "versione precedente"));
        QVERIFY(fs.fill());
        QStringList full = args;
        full.replace(full.indexOf(QStringLiteral("FILE")), target);
        const Run r = run(full);
        QCOMPARE(r.rc, 1);
        QVERIFY2(r.err.contains(QStringLiteral("spazio esaurito sul disco")), qPrintable(r.err));
        QVERIFY2(!r.out.contains(QStringLiteral("successo")) && !r.out.contains(QStringLiteral("File generato"))
                     && !r.out.contains(QStringLiteral("Tabelle esportate")),
                 qPrintable(r.out));
        QVERIFY(!r.err.contains(QStringLiteral("Operazione terminata con successo.")));
        QCOMPARE(contents(kept), QByteArray("versione precedente"));
    }

    // Last year's return exported into a folder laid out as last year's data
    // folder, its employees added to an empty return.
    void importPreviousIntoANewReturn()
    {
        const QString dir = tmp(QStringLiteral("inst/USR/YRDati/YR2023"));
        const Run exported = run({QStringLiteral("export"), dir});
        QVERIFY2(exported.rc == 0, qPrintable(exported.err));
        const QString db = tmp(QStringLiteral("nuova.sqlite"));
        QVERIFY(run({QStringLiteral("init")}, db).rc == 0);
        const Run before = run({QStringLiteral("show"), QStringLiteral("TDIP7_ANAGRFISCALI")}, db);

        const Run both = run({QStringLiteral("import-previous"), QStringLiteral("--employees"),
                              QStringLiteral("--self-employed"), QStringLiteral("--from"), dir}, db);
        QCOMPARE(both.rc, 2);
        QVERIFY2(both.err.contains(QStringLiteral("Indicare soltanto una tra --employees e --self-employed")),
                 qPrintable(both.err));
        const Run missing = run({QStringLiteral("import-previous"), QStringLiteral("--employees"),
                                 QStringLiteral("--from"), dir + QStringLiteral("/manca")}, db);
        QCOMPARE(missing.rc, 1);
        QVERIFY2(missing.err.contains(QStringLiteral("Il percorso selezionato non esiste")), qPrintable(missing.err));
        QCOMPARE(run({QStringLiteral("show"), QStringLiteral("TDIP7_ANAGRFISCALI")}, db).out, before.out);

        const Run r = run({QStringLiteral("import-previous"), QStringLiteral("--employees"), QStringLiteral("--from"), dir}, db);
        QVERIFY2(r.rc == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(QStringLiteral("Aggiunti: 3; già presenti: 0;")), qPrintable(r.out));
        QVERIFY(r.err.contains(QStringLiteral("Fine operazione")));
        const Run again = run({QStringLiteral("import-previous"), QStringLiteral("--employees"), QStringLiteral("--from"), dir}, db);
        QVERIFY2(again.rc == 0 && again.out.contains(QStringLiteral("Aggiunti: 0; già presenti: 3;")), qPrintable(again.out));
    }

    // Last: it changes the demo's self-employed records, which the cases
    // above do not read.
    void importAutonomiFromTheDemo()
    {
        const Run before = run({QStringLiteral("show"), QStringLiteral("TDAU7_DATIAUTONOM")});
        QCOMPARE(before.rc, 0);
        const Run bad = run({QStringLiteral("import-autonomi"), QStringLiteral("--overwrite"), QStringLiteral("forse")});
        QCOMPARE(bad.rc, 2);
        QCOMPARE(bad.out, QString());
        QVERIFY2(bad.err.contains(QStringLiteral("Valore di --overwrite non valido")), qPrintable(bad.err));
        QCOMPARE(run({QStringLiteral("show"), QStringLiteral("TDAU7_DATIAUTONOM")}).out, before.out);

        // The demo's payees of the archive come in, and those the demo had
        // already are kept.
        const Run r = run({QStringLiteral("import-autonomi"), QStringLiteral("--overwrite"), QStringLiteral("never")});
        QVERIFY2(r.rc == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(QStringLiteral("MARCHETTI ELISA: importato")), qPrintable(r.out));
        QVERIFY2(r.out.contains(QStringLiteral("FORMAZIONE UMBRA SRL: importato")), qPrintable(r.out));
        QVERIFY2(r.out.contains(QStringLiteral("Importati: 4; non modificati: ")), qPrintable(r.out));
        QVERIFY2(r.out.contains(QStringLiteral("; con errori: 0")), qPrintable(r.out));
        QVERIFY(r.err.contains(QStringLiteral("Fine operazione")));

        // A position that is not in the list: refused before anything runs.
        const Run again = run({QStringLiteral("import-autonomi"), QStringLiteral("--persons"), QStringLiteral("999999")});
        QCOMPARE(again.rc, 1);
        QVERIFY2(again.err.contains(QStringLiteral("999999")), qPrintable(again.err));

        const QString pdf = tmp(QStringLiteral("RiepilogoAutonomi.pdf"));
        const Run print = run({QStringLiteral("print"), QStringLiteral("xafRiepilogoAutonomi"), QStringLiteral("--out"), pdf});
        QVERIFY2(print.rc == 0, qPrintable(print.err));
        QVERIFY(contents(pdf).startsWith("%PDF"));
    }
};

QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"
