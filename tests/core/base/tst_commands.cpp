// Arguments of the batch commands: each command takes only the options it
// declares, so a mistyped option stops the command before it changes anything.

#include "base/commands.h"
#include "base/messages.h"

#include "coretest.h"

#include <QtTest>

using namespace jex;

class TstCommands : public QObject
{
    Q_OBJECT

    static Command loadLike()
    {
        Command c;
        c.name = QStringLiteral("load");
        c.synopsis = QStringLiteral("load TABELLA FILE [--replace] [--year ANNO]");
        c.valueOptions = {QStringLiteral("--year")};
        c.flags = {QStringLiteral("--replace")};
        c.maxPositional = 2;
        return c;
    }

private Q_SLOTS:
    void accepted_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("positional");
        QTest::addColumn<QString>("options"); // name=value;...
        QTest::newRow("flag") << QStringList{"T", "f.csv", "--replace"} << QStringList{"T", "f.csv"} << "--replace=";
        QTest::newRow("value apart") << QStringList{"--year", "2023", "T"} << QStringList{"T"} << "--year=2023";
        QTest::newRow("value joined") << QStringList{"T", "--year=2023"} << QStringList{"T"} << "--year=2023";
        QTest::newRow("after --") << QStringList{"T", "--", "--replace"} << QStringList{"T", "--replace"} << "";
        QTest::newRow("one dash is a name") << QStringList{"-", "-x"} << QStringList{"-", "-x"} << "";
    }
    void accepted()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, positional);
        QFETCH(QString, options);
        CommandArgs parsed;
        QString error;
        QVERIFY2(parseCommandArgs(loadLike(), args, parsed, &error), qPrintable(error));
        QCOMPARE(parsed.positional, positional);
        QStringList got;
        for (auto it = parsed.options.cbegin(); it != parsed.options.cend(); ++it)
            got << it.key() + u'=' + it.value();
        QCOMPARE(got.join(u';'), options);
    }

    void refused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        QTest::newRow("misspelt flag") << QStringList{"T", "f.csv", "--replce"}
                                       << "Opzione sconosciuta per il comando load: --replce";
        QTest::newRow("option of another command") << QStringList{"T", "--sv-only"}
                                                   << "Opzione sconosciuta per il comando load: --sv-only";
        QTest::newRow("unknown with value") << QStringList{"T", "--anno=2023"}
                                            << "Opzione sconosciuta per il comando load: --anno";
        QTest::newRow("value missing") << QStringList{"T", "--year"} << "Manca il valore dell'opzione --year";
        QTest::newRow("flag with value") << QStringList{"T", "--replace=1"} << "L'opzione --replace non vuole un valore";
        QTest::newRow("too many names") << QStringList{"T", "a.csv", "b.csv"}
                                        << "Troppi argomenti per il comando load: b.csv";
    }
    void refused()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        CommandArgs parsed;
        parsed.positional = {QStringLiteral("prima")};
        QString got;
        QVERIFY(!parseCommandArgs(loadLike(), args, parsed, &got));
        QCOMPARE(got, error);
        // Nothing of a refused line reaches the command.
        QCOMPARE(parsed.positional, QStringList{QStringLiteral("prima")});
    }

    void noArgumentsCommand()
    {
        Command c;
        c.name = QStringLiteral("import-f24");
        c.flags = {QStringLiteral("--sv")};
        c.maxPositional = 0;
        CommandArgs parsed;
        QString error;
        QVERIFY(!parseCommandArgs(c, {QStringLiteral("sv")}, parsed, &error));
        QCOMPARE(error, QStringLiteral("Il comando import-f24 non vuole argomenti: sv"));
    }

    // A batch run records (and prints) each phase once: the caption that
    // announces it, not the caption again when it is counted or when it has
    // nothing to count.
    void phasesOnce_data()
    {
        QTest::addColumn<QStringList>("steps"); // "caption" or "caption@done/total", "!" a dialog
        QTest::addColumn<QStringList>("expected");
        const QString a = QStringLiteral("Controllo delle detrazioni ...");
        const QString b = QStringLiteral("Importazione da CU");
        QTest::newRow("announced then counted") << QStringList{a, a + "@0/3", a + "@1/3", a + "@3/3"} << QStringList{a};
        QTest::newRow("announced twice, nothing to count") << QStringList{a, a + "@0/0", a} << QStringList{a};
        QTest::newRow("two phases") << QStringList{a, b, b + "@0/2"} << QStringList{a, b};
        QTest::newRow("counted only") << QStringList{a + "@0/2", a + "@2/2"} << QStringList{a};
        QTest::newRow("again after a dialog") << QStringList{a, QStringLiteral("!"), a} << QStringList{a, a};
        QTest::newRow("again after its count") << QStringList{a, a + "@0/1", a + "@1/1", a} << QStringList{a, a};
    }

    void phasesOnce()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, expected);
        ScriptedMessageService service;
        for (const QString &step : std::as_const(steps)) {
            if (step == u'!') {
                service.information(QStringLiteral("Fine operazione"));
                continue;
            }
            const qsizetype at = step.indexOf(u'@');
            if (at < 0) {
                service.progress(step);
                continue;
            }
            const QStringList count = step.mid(at + 1).split(u'/');
            service.progress(step.left(at), count[0].toInt(), count[1].toInt());
        }
        QCOMPARE(service.progressLines(), expected);
    }
};

JEX_TEST_MAIN(TstCommands)
#include "tst_commands.moc"
