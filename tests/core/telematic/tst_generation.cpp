#include "base/errors.h"
#include "telematic/returndata.h"
#include "telfixture.h"

#include "coretest.h"

#include <QtTest>

using namespace jex;
using namespace jex::test;

class TstGeneration : public QObject
{
    Q_OBJECT

    ScriptedMessageService msgs;

private Q_SLOTS:
    void init() { setMessageService(&msgs); msgs.clear(); }
    void cleanup() { setMessageService(nullptr); }

    void svFourteenRowsMakeTwoModules()
    {
        TelFixture fx;
        for (int m = 1; m <= 12; ++m)
            fx.svRow(m, 100 + m);
        fx.svRow(12, 300); // 13th and 14th rows
        fx.svRow(12, 400);
        fx.generate();
        QCOMPARE(fx.dm.moduleD, 3); // two modules written
        const QStringList first = fx.codes("D", 1);
        QVERIFY(first.contains("SV002001"));
        QVERIFY(first.contains("SV013001"));
        QVERIFY(!first.contains("SV014001"));
        const QStringList second = fx.codes("D", 2);
        QVERIFY(!second.isEmpty());
        for (const QString &c : second)
            QVERIFY2(c.startsWith("SV002") || c.startsWith("SV003"), qPrintable(c));
        QVERIFY(second.contains("SV003001"));
    }

    void stRowsAndPeriodJoinMonthAndYear()
    {
        TelFixture fx;
        fx.stRow(3, 1234.56);
        fx.generate();
        bool period = false, amount = false;
        for (const auto &s : fx.stored()) {
            if (s.text.startsWith("ST002001")) {
                QCOMPARE(s.text.mid(8), QStringLiteral("          032024"));
                period = true;
            }
            if (s.text.startsWith("ST002002")) {
                QCOMPARE(unplaceholder(s.text.mid(8)), QStringLiteral("         1234,56")); // euro and cents
                amount = true;
            }
        }
        QVERIFY(period && amount);
        QCOMPARE(fx.dm.flagST, 1);
        QCOMPARE(fx.dm.flagSV, 0);
    }

    // Each module holds one non-resident intermediary of sections III and
    // IV; intermediaries beyond the modules the other tables need get
    // modules of their own, and none is written twice.
    void intermediariesOnePerModule()
    {
        TelFixture fx;
        for (int m = 1; m <= 13; ++m) // two modules of section I
            fx.stRow(m % 12 + 1, 100.0 * m);
        for (const char *cf : {"INTERMA", "INTERMB", "INTERMC"})
            fx.row("TPST3_PROSPETTOSTS3", {{"SPST3CFINTNRES", cf}, {"SPST3DENINTNRES", "BANCA"},
                                           {"SPST3MESE27", "3"}, {"SPST3ANNO27", "2024"},
                                           {"FPST3IMPOVERSATO27", 10.5}});
        fx.row("TPST4_PROSPETTOSTS4", {{"SCFINTNRES", "INTERMZ"}, {"SPST2MESE39", "5"}, {"SPST2ANNO39", "2024"},
                                       {"FIMPVERS39", 7.0}});
        fx.generate();
        QCOMPARE(fx.dm.moduleD, 4); // modules 1, 2 and 3 written
        QStringList intermediaries;
        for (int module = 1; module <= 3; ++module) {
            const QStringList c = fx.codes("D", module);
            QCOMPARE(c.count("ST026003"), 1);
            QCOMPARE(c.count("ST027007"), 1);
        }
        for (const auto &f : fx.stored())
            if (f.text.startsWith("ST026003"))
                intermediaries << QStringLiteral("%1:%2").arg(f.module).arg(unplaceholder(f.text.mid(8)).trimmed());
        QCOMPARE(intermediaries, (QStringList{"1:INTERMA", "2:INTERMB", "3:INTERMC"}));
        QCOMPARE(fx.codes("D").count("ST038003"), 1);
        QVERIFY(fx.codes("D", 1).contains("ST039007"));
    }

    void sectionThreeAloneMakesAModule()
    {
        TelFixture fx;
        fx.row("TPST3_PROSPETTOSTS3", {{"SPST3CFINTNRES", "INTERMA"}, {"SPST3MESE27", "3"}, {"SPST3ANNO27", "2024"},
                                       {"FPST3IMPOVERSATO27", 10.5}});
        fx.generate();
        QCOMPARE(fx.dm.moduleD, 2);
        QVERIFY(fx.codes("D", 1).contains("ST026003"));
        QCOMPARE(fx.dm.flagST, 1);
    }

    void extinctAgentFollowsDeclaringAgent()
    {
        TelFixture fx;
        fx.row("TSOE7_SOSESTINTO", {{"CODICE", "AB1"}, {"DENOMINAZI0NE", "ESTINTO"}});
        fx.svRow(1, 11, "AB1");
        fx.svRow(2, 22);
        fx.svRow(3, 33, "AB1");
        fx.generate();
        // Declaring agent first (module 1, one row), the extinct one after (module 2, two rows).
        QCOMPARE(fx.dm.moduleD, 3);
        QVERIFY(!fx.codes("D", 1).contains("SV003001"));
        QVERIFY(fx.codes("D", 2).contains("SV003001"));
        int amountRows = 0;
        for (const auto &s : fx.stored())
            if (s.module == 1 && s.text.startsWith("SV002002")) {
                QCOMPARE(unplaceholder(s.text.mid(8)).trimmed(), QStringLiteral("22,00"));
                ++amountRows;
            }
        QCOMPARE(amountRows, 1);
    }

    void missingExtinctAgentStops_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("message");
        QTest::newRow("ST I") << "TPST_PROSPETTOST" << "SPSTMESE" << "Prospetti ST Sez I: Codice fiscale sostituto estinto non presente in Tabelle->Sostituto estinto";
        QTest::newRow("SV") << "TPSV_PROSPETTOSV" << "SPSVMESE" << "Prospetti Sv: Codice fiscale sostituto estinto non presente in Tabelle->Sostituto estinto";
        QTest::newRow("SY II") << "TPSY_PROSPETTOSY" << "SPSYDEBPRICODF" << "Prospetti Sy Sez II: Codice fiscale sostituto estinto non presente in Tabelle->Sostituto estinto";
        QTest::newRow("SY I") << "TPSY2_PROSPETTOSY2" << "SPSY2CREPIGCF" << "Prospetti Sy Sez I: Codice fiscale sostituto estinto non presente in Tabelle->Sostituto estinto";
    }
    void missingExtinctAgentStops()
    {
        QFETCH(QString, table);
        QFETCH(QString, field);
        QFETCH(QString, message);
        TelFixture fx;
        fx.row("TSOE7_SOSESTINTO", {{"CODICE", "AB1"}});
        fx.row(qPrintable(table), {{"SSOE7CODICE", "XY9"}, {field, "1"}});
        fx.dm.openTables();
        try {
            fx.dm.runGeneration();
            QFAIL("no error");
        } catch (const EQxError &e) {
            QCOMPARE(e.message(), message);
        }
    }

    // Two agents' SY rows: with the module's agent in the head of record I
    // each agent gets its own module; without it they would share one,
    // which the rows of section II may not.
    void syRowsOfTwoAgents_data()
    {
        QTest::addColumn<bool>("agentInHead");
        QTest::newRow("agent in the head") << true;
        QTest::newRow("no agent in the head") << false;
    }
    void syRowsOfTwoAgents()
    {
        QFETCH(bool, agentInHead);
        TelFixture fx;
        QTemporaryDir layouts;
        if (!agentInHead) {
            QVERIFY(copyLayoutsWithoutModuleAgent(layouts.path()));
            fx.dm.layoutDir = layouts.path();
        }
        fx.row("TSOE7_SOSESTINTO", {{"CODICE", "AB1"}});
        fx.row("TPSY_PROSPETTOSY", {{"SPSYDEBPRICODF", "A"}, {"FPSYSOMERO", 10.0}});
        fx.row("TPSY_PROSPETTOSY", {{"SSOE7CODICE", "AB1"}, {"SPSYDEBPRICODF", "B"}, {"FPSYSOMERO", 10.0}});
        fx.dm.openTables();
        try {
            fx.dm.runGeneration();
            QVERIFY2(agentInHead, "no error");
        } catch (const EQxError &e) {
            QVERIFY2(!agentInHead, qPrintable(e.message()));
            QCOMPARE(e.message(), QStringLiteral("Prospetti SY: \"Operazioni straordinarie e successioni\" non congruenti"));
            return;
        }
        // Module number and the agent in the user's identification space.
        QStringList heads;
        for (const QString &line : TelFixture::lines(fx.writeFile().value(0)))
            if (line.startsWith(u'I'))
                heads << line.mid(17, 8) + u':' + line.mid(53, 20).trimmed();
        QCOMPARE(heads, (QStringList{QStringLiteral("00000001:"), QStringLiteral("00000002:AB1")}));
    }

    void syFourFillsAtMostFiveRows()
    {
        TelFixture fx;
        for (int i = 0; i < 7; ++i)
            fx.row("TPSY4_PROSPETTOSY4", {{"SSY4DEN", QStringLiteral("NOME%1").arg(i)}, {"FSY4IMPON", 10.0}});
        fx.generate();
        QCOMPARE(fx.dm.modulesI, 2);
        QVERIFY(fx.codes("I", 1).contains("SY020001"));
        QVERIFY(!fx.codes("I", 1).contains("SY021001"));
        QVERIFY(fx.codes("I", 2).contains("SY017001"));
    }

    void longTextIsSplitUnderTheSameCode()
    {
        TelFixture fx;
        fx.row("TPSY4_PROSPETTOSY4", {{"SSY4DEN", "MUELLER SCHMIDT VON HOHENSTEIN"}});
        fx.generate();
        QStringList texts;
        for (const auto &s : fx.stored())
            if (s.text.startsWith("SY016001"))
                texts.append(unplaceholder(s.text.mid(8)));
        QCOMPARE(texts, (QStringList{"MUELLER SCHMIDT ", "+VON HOHENSTEIN "}));
    }

    void ssRebuiltFromSyThree()
    {
        TelFixture fx;
        fx.row("TPSY3_PROSPETTOSY3", {{"SPSY3CFBEN", "A"}, {"FPSY3RITEFF", 100.0}});
        fx.row("TPSY3_PROSPETTOSY3", {{"SPSY3CFBEN", "B"}, {"FPSY3RITEFF", 50.0}});
        fx.row("TPSS_PROSPETTOSS", {{"SSOE7CODICE", "OLD"}, {"FQUADROSYRIT1_SS", 9.0}});
        fx.generate();
        ClientDataSet &ss = fx.store.table("TPSS_PROSPETTOSS");
        QCOMPARE(ss.recordCount(), 1);
        ss.first();
        QCOMPARE(ss.fieldByName("FQUADROSYRIT1_SS")->asFloat(), 150.0);
        QCOMPARE(fx.dm.moduleJ, 2); // one module
        QVERIFY(fx.codes("J", 1).contains("SS009001"));
        QVERIFY(!fx.codes("J", 1).contains("SS009002")); // zero amount, format NP: not stored
        QVERIFY(fx.info.contains("Prosp. SS : Importazione \"Sez. III - Ritenute da art. 25, del D.L. n. 78/2010\""));
        ClientDataSet &sost = fx.store.table("TSOS_DATOSOSTITUTO");
        sost.first();
        QCOMPARE(sost.fieldByName("LSOSSS")->asInteger(), 1);
    }

    void ssOfThreeAgentsGivesThreeModules()
    {
        TelFixture fx;
        for (const char *a : {"", "AB1", "AB2"}) {
            if (*a)
                fx.row("TSOE7_SOSESTINTO", {{"CODICE", a}});
            fx.row("TPSY3_PROSPETTOSY3", {{"SSOE7CODICE", *a ? QVariant(a) : QVariant()}, {"FPSY3RITEFF", 10.0}});
        }
        fx.dm.includeSY = false;
        fx.generate();
        QSet<int> modules;
        for (const auto &s : fx.stored())
            if (s.code == "J")
                modules.insert(s.module);
        QCOMPARE(modules, (QSet<int>{1, 2, 3}));
    }

    void choiceNoWritesNoD()
    {
        TelFixture fx;
        fx.stRow(1, 10);
        fx.dm.includeD = false;
        fx.generate();
        QVERIFY(fx.codes("D").isEmpty());
        QCOMPARE(fx.dm.flagST, 0);
    }

    void layoutThatConsumesNothingStops()
    {
        TelFixture fx;
        QTemporaryDir dir;
        for (const char *f : {"Record_I.xml", "Record_J.xml"})
            QFile::copy(layoutsDir() + f, dir.filePath(f));
        QFile d(dir.filePath("Record_D.xml"));
        d.open(QIODevice::WriteOnly);
        d.write("<RecordE><SectionE Text=\"Testa\" Repeat=\"NO\"><CampoE Number=\"1\" Width=\"1\" Format=\"AN\" Info=\"OF\" Fixed=\"D\"/></SectionE>"
                "<SectionE Text=\"Dati\" Repeat=\"NO\"/><SectionE Text=\"Prospetto SV\" Repeat=\"yes\"/></RecordE>");
        d.close();
        fx.dm.layoutDir = dir.path() + "/";
        fx.svRow(1, 10);
        fx.dm.openTables();
        try {
            fx.dm.runGeneration();
            QFAIL("no error");
        } catch (const EQxError &e) {
            QVERIFY2(e.message().contains("Record_D.xml"), qPrintable(e.message()));
        }
    }

    void flagOfAnEmptyTableIsNotStored()
    {
        TelFixture fx;
        QTemporaryDir dir;
        for (const char *f : {"Record_I.xml", "Record_J.xml"})
            QFile::copy(layoutsDir() + f, dir.filePath(f));
        QFile d(dir.filePath("Record_D.xml"));
        d.open(QIODevice::WriteOnly);
        d.write("<RecordE><SectionE Text=\"Testa\" Repeat=\"NO\"><CampoE Number=\"1\" Width=\"1\" Format=\"AN\" Info=\"OF\" Fixed=\"D\"/></SectionE>"
                "<SectionE Text=\"Dati\" Repeat=\"NO\">"
                "<CampoE Number=\"XX001001\" Width=\"16\" Format=\"CB\" Info=\"OF\" Fixed=\"CDSPRSX\"/>"
                "<CampoE Number=\"XX001002\" Width=\"16\" Format=\"CB\" Info=\"OF\" Fixed=\"cdsPrSv\"/></SectionE>"
                "<SectionE Text=\"Prospetto SV\" Repeat=\"YES\"><CampoE Number=\"SVXXX002\" Width=\"16\" Format=\"NP\" Info=\"T@\" Cds=\"CDSPRSV\" Field=\"FPSVTRATTEFF\"/></SectionE></RecordE>");
        d.close();
        fx.dm.layoutDir = dir.path() + "/";
        fx.svRow(1, 10);
        fx.generate();
        const QStringList c = fx.codes("D");
        QVERIFY(!c.contains("XX001001"));
        QVERIFY(c.contains("XX001002"));
        QVERIFY(c.contains("SV002002")); // Cds in capitals reads the same dataset
    }

    void unknownSectionAsserts()
    {
        TdmJexFile dm;
        try {
            dm.FindSectionDataSet("cdsNessuno");
            QFAIL("no error");
        } catch (const EAssertion &e) {
            QVERIFY(e.message().startsWith("Sezione non trovata cdsNessuno"));
        }
        QCOMPARE(&dm.FindSectionDataSet("CDSFORN"), &dm.FindSectionDataSet("cdsForn"));
    }

    void demoSeedFeedsEveryRecord()
    {
        TelFixture fx;
        try {
            seedTelematicDemo(fx.store);
            seedTelematicDemo(fx.store); // a second run adds nothing
        } catch (const EQxError &e) {
            QFAIL(qPrintable(e.message()));
        }
        QCOMPARE(fx.store.table("TPSY3_PROSPETTOSY3").recordCount(), 2);
        try {
            fx.generate();
        } catch (const EQxError &e) {
            QFAIL(qPrintable(e.message()));
        }
        QVERIFY(!fx.codes("D").isEmpty());
        QVERIFY(!fx.codes("I").isEmpty());
        QVERIFY(!fx.codes("J").isEmpty());
        QCOMPARE(fx.dm.flagSX, 1);
        QCOMPARE(fx.dm.flagDI, 1);
    }
};

JEX_TEST_MAIN(TstGeneration)
#include "tst_generation.moc"
