#include "checks/recipientrules.h"
#include "demo/codicefiscale.h"
#include "imports/cud/additionaltaxes.h"
#include "sections/memorystore.h"
#include "base/messages.h"

#include "coretest.h"

using namespace jex;

class TstRecipientRules : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { setMessageService(&m_msg); m_msg.clear(); }
    void cleanup() { setMessageService(nullptr); }

    void fiscalCode_data();
    void fiscalCode();
    void search_data();
    void search();
    void familyFlags_data();
    void familyFlags();
    void additionalTaxes_data();
    void additionalTaxes();
    void additionalTaxesOnlyChosen();

private:
    ScriptedMessageService m_msg;
};

void TstRecipientRules::fiscalCode_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("finding");
    const QString good = demo::personFiscalCode("ROSSI", "MARIO", QDate(1980, 1, 1), false, "H501");
    QString wrongCheck = good;
    wrongCheck[15] = good[15] == u'A' ? u'B' : u'A';
    QTest::newRow("empty") << "" << "";
    QTest::newRow("person") << good << "";
    QTest::newRow("person lower case") << good.toLower() << "";
    QTest::newRow("check character")
        << wrongCheck << " - Codice fiscale errato: Codice fiscale del dipendente (carattere di controllo non valido)";
    QTest::newRow("too short") << good.left(15)
                               << " - Codice fiscale errato: Codice fiscale del dipendente (deve essere di 16 "
                                  "caratteri, o di 11 cifre, non di 15)";
    QTest::newRow("organisation") << "80185250588" << "";
    QTest::newRow("organisation check digit")
        << "80185250587" << " - Codice fiscale errato: Codice fiscale del dipendente (cifra di controllo non valida)";
    QTest::newRow("quote") << "RSSMRA80A01H50'X"
                           << " - Codice fiscale errato: Codice fiscale del dipendente (carattere di controllo non valido)";
}

void TstRecipientRules::fiscalCode()
{
    QFETCH(QString, code);
    QFETCH(QString, finding);
    QCOMPARE(recipients::fiscalCodeFinding(code, "Codice fiscale del dipendente"), finding);
}

void TstRecipientRules::search_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("matches");
    QTest::newRow("nothing typed") << "" << true;
    QTest::newRow("blanks only") << "   " << true;
    QTest::newRow("part of the code") << "mra80" << true;
    QTest::newRow("surname any case") << "d'ang" << true;
    QTest::newRow("name") << "Maria" << true;
    QTest::newRow("other person") << "verdi" << false;
    QTest::newRow("percent is a character") << "%" << false;
    QTest::newRow("quote alone matches the quoted surname") << "'" << true;
    QTest::newRow("filter syntax is text") << "' OR 1=1 OR '" << false;
    QTest::newRow("wildcard is text") << "D*" << false;
}

void TstRecipientRules::search()
{
    QFETCH(QString, typed);
    QFETCH(bool, matches);
    QCOMPARE(recipients::recipientMatches(typed, "DNGMRA80A41H501X", "D'ANGELO", "MARIA"), matches);
}

void TstRecipientRules::familyFlags_data()
{
    QTest::addColumn<QStringList>("ticked");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<QString>("note");
    const QString first = "- Dati incongruenti primo figlio: Verrà abilitato campo D e non F1\n";
    QTest::newRow("D and F1") << QStringList{"LCFC7RELPARPRIFIGLDIS", "LCFC7RELPARPRIFIGL"}
                              << QStringList{"LCFC7RELPARPRIFIGLDIS"} << first;
    QTest::newRow("D, A and F") << QStringList{"LCFC7RELPARFIGLDIS", "LCFC7RELPARFIGLALTRFAM", "LCFC7RELPARFIGL"}
                                << QStringList{"LCFC7RELPARFIGLDIS"}
                                << "- Dati incongruenti altri familiari: Verrà abilitato campo D e non F e A\n";
    QTest::newRow("D and F") << QStringList{"LCFC7RELPARFIGLDIS", "LCFC7RELPARFIGL"} << QStringList{"LCFC7RELPARFIGLDIS"}
                             << "- Dati incongruenti altri familiari: Verrà abilitato campo D e non F e A\n";
    QTest::newRow("A and F") << QStringList{"LCFC7RELPARFIGLALTRFAM", "LCFC7RELPARFIGL"}
                             << QStringList{"LCFC7RELPARFIGLALTRFAM"}
                             << "- Dati incongruenti altri familiari: Verrà abilitato campo A e non F";
    QTest::newRow("both notes") << QStringList{"LCFC7RELPARPRIFIGLDIS", "LCFC7RELPARPRIFIGL", "LCFC7RELPARFIGLALTRFAM",
                                               "LCFC7RELPARFIGL"}
                                << QStringList{"LCFC7RELPARPRIFIGLDIS", "LCFC7RELPARFIGLALTRFAM"}
                                << first + "- Dati incongruenti altri familiari: Verrà abilitato campo A e non F";
    QTest::newRow("consistent") << QStringList{"LCFC7RELPARPRIFIGL", "LCFC7RELPARFIGL"}
                                << QStringList{"LCFC7RELPARPRIFIGL", "LCFC7RELPARFIGL"} << "";
}

void TstRecipientRules::familyFlags()
{
    QFETCH(QStringList, ticked);
    QFETCH(QStringList, left);
    QFETCH(QString, note);
    const QStringList flags{"LCFC7RELPARPRIFIGLDIS", "LCFC7RELPARPRIFIGL", "LCFC7RELPARFIGLDIS",
                            "LCFC7RELPARFIGLALTRFAM", "LCFC7RELPARFIGL"};
    MemorySectionStore store;
    ClientDataSet &ds = store.table("TCFC7_CONFAMCARICO");
    ds.append();
    for (const QString &f : flags)
        ds.fieldByName(f)->setValue(ticked.contains(f) ? 1 : 0);
    QCOMPARE(recipients::applyFamilyFlagConsistency(ds), note);
    for (const QString &f : flags)
        QCOMPARE(ds.fieldByName(f)->asString() == u"1", left.contains(f));
}

void TstRecipientRules::additionalTaxes_data()
{
    QTest::addColumn<double>("regional");
    QTest::addColumn<double>("balance");
    QTest::addColumn<double>("advance");
    QTest::addColumn<QVariant>("regionalCeased"); // invalid: left empty
    QTest::addColumn<QVariant>("municipalCeased");
    QTest::newRow("both") << 312.45 << 120.10 << 36.03 << QVariant(312.45) << QVariant(84.07);
    QTest::newRow("only regional") << 98.0 << 0.0 << 0.0 << QVariant(98.0) << QVariant();
    QTest::newRow("advance above balance") << 0.0 << 10.0 << 25.5 << QVariant() << QVariant(-15.5);
    QTest::newRow("nothing withheld") << 0.0 << 0.0 << 30.0 << QVariant() << QVariant();
}

void TstRecipientRules::additionalTaxes()
{
    QFETCH(double, regional);
    QFETCH(double, balance);
    QFETCH(double, advance);
    QFETCH(QVariant, regionalCeased);
    QFETCH(QVariant, municipalCeased);
    MemorySectionStore store;
    store.put("TDIP7_ANAGRFISCALI", 2024, [&](ClientDataSet &ds) {
        ds.fieldByName("SDIP7CODFIS")->setValue("RSSMRA80A01H501U");
        ds.fieldByName("FFIS7ADDREGIRPEF")->setValue(regional);
        ds.fieldByName("FFIS7ADDCOMSA")->setValue(balance);
        ds.fieldByName("FFIS7ADDCOMACC")->setValue(advance);
    });
    const AdditionalTaxesResult r = carryAdditionalTaxes(store, {});
    QCOMPARE(r.carried, regionalCeased.isValid() || municipalCeased.isValid() ? 1 : 0);
    QVERIFY(r.failed.isEmpty());
    auto ds = store.load("TDIP7_ANAGRFISCALI");
    auto value = [&](const char *n) {
        const Field *f = ds->fieldByName(n);
        return f->isNull() || f->asFloat() == 0 ? QVariant() : QVariant(f->asFloat());
    };
    QCOMPARE(value("FFIS7ADDREGRPCESS"), regionalCeased);
    QCOMPARE(value("FFIS7ADDCOMRPCESS"), municipalCeased);
    QCOMPARE(store.saves("TDIP7_ANAGRFISCALI"), r.carried ? 1 : 0);
}

void TstRecipientRules::additionalTaxesOnlyChosen()
{
    MemorySectionStore store;
    ClientDataSet &ds = store.table("TDIP7_ANAGRFISCALI");
    for (const char *cf : {"AAAAAA80A01H501A", "BBBBBB80A01H501B", "CCCCCC80A01H501C"}) {
        ds.append();
        ds.fieldByName("SDIP7CODFIS")->setValue(cf);
        ds.fieldByName("FFIS7ADDREGIRPEF")->setValue(50.0);
        ds.post();
    }
    ds.mergeChangeLog();
    const AdditionalTaxesResult r = carryAdditionalTaxes(store, {"bbbbbb80a01h501b", "CCCCCC80A01H501C"});
    QCOMPARE(r.carried, 2);
    auto out = store.load("TDIP7_ANAGRFISCALI");
    QStringList carried;
    for (out->first(); !out->eof(); out->next())
        if (out->fieldByName("FFIS7ADDREGRPCESS")->asFloat() == 50.0)
            carried << out->fieldByName("SDIP7CODFIS")->asString();
    QCOMPARE(carried, (QStringList{"BBBBBB80A01H501B", "CCCCCC80A01H501C"}));
}

JEX_TEST_MAIN(TstRecipientRules)
#include "tst_recipientrules.moc"
