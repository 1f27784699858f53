#include "checks/completeness.h"
#include "shell/infowindow.h"
#include "dataset/dataset.h"

#include <QLabel>
#include <QPushButton>
#include "windowtest.h"

#include <QtTest>

using namespace jex;

namespace {

// One record with the given fields: name -> value (type from the first letter).
std::unique_ptr<ClientDataSet> record(const QVariantMap &values, const QStringList &extraNullFields = {})
{
    auto ds = std::make_unique<ClientDataSet>();
    auto add = [&](const QString &n) {
        if (n.startsWith(u'D'))
            ds->addField(n, FieldType::Date);
        else if (n.startsWith(u'F'))
            ds->addField(n, FieldType::Currency, 0, 2);
        else if (n.startsWith(u'I'))
            ds->addField(n, FieldType::Integer);
        else
            ds->addField(n, FieldType::String, 40);
    };
    for (auto it = values.begin(); it != values.end(); ++it)
        add(it.key());
    for (const QString &n : extraNullFields)
        add(n);
    ds->createDataSet();
    ds->append();
    for (auto it = values.begin(); it != values.end(); ++it)
        ds->fieldByName(it.key())->setValue(it.value());
    ds->post();
    return ds;
}

const QString M = QStringLiteral(" - Dato obbligatorio mancante: ");

} // namespace

class TstCheckData : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void hasFieldValue_data();
    void hasFieldValue();
    void rules_data();
    void rules();
    void requiredInOrder();
    void infoAsks();
    void smallTests();
};

void TstCheckData::hasFieldValue_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("present");
    QTest::newRow("integer zero is present") << "IANNO" << QVariant(0) << true;
    QTest::newRow("integer -1 is missing") << "IANNO" << QVariant(-1) << false;
    QTest::newRow("integer null") << "IANNO" << QVariant() << false;
    QTest::newRow("amount zero present") << "FIMPORTO" << QVariant(0.0) << true;
    QTest::newRow("text") << "SNOME" << QVariant("X") << true;
    QTest::newRow("empty text") << "SNOME" << QVariant("") << false;
    QTest::newRow("date") << "DNASCITA" << QVariant(QDate(1970, 1, 1)) << true;
    QTest::newRow("no date") << "DNASCITA" << QVariant() << false;
}

void TstCheckData::hasFieldValue()
{
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    QFETCH(bool, present);
    auto ds = record({{field, value}});
    QCOMPARE(HasFieldValue(field, *ds), present);
}

void TstCheckData::rules_data()
{
    QTest::addColumn<QVariantMap>("values");
    QTest::addColumn<QStringList>("nulls");
    QTest::addColumn<QStringList>("lines");
    const QStringList rap{"SSOSDENRAPPR", "SSOSCOGNRAPPR", "SSOSNOMERAPPR"};
    QTest::newRow("representative: nothing") << QVariantMap{} << rap
        << QStringList{M + "Denominazione o cognome e nome del rappresentante della dichiarazione"};
    QTest::newRow("representative: name only") << QVariantMap{{"SSOSNOMERAPPR", "MARIO"}}
        << QStringList{"SSOSDENRAPPR", "SSOSCOGNRAPPR"}
        << QStringList{M + "Cognome del rappresentante della dichiarazione"};
    QTest::newRow("representative: excess") << QVariantMap{{"SSOSDENRAPPR", "ENTE"}, {"SSOSCOGNRAPPR", "ROSSI"}}
        << QStringList{"SSOSNOMERAPPR"}
        << QStringList{" - Dati in eccesso: Nome o cognome del rappresentante della dichiarazione compilati in presenza della denominazione"};
    QTest::newRow("company code needs only the name") << QVariantMap{{"SDAU7CODFIS", "01234567897"}, {"SDAU7COGNOME", "ALFA SRL"}}
        << QStringList{"SDAU7NOME", "SDAU7SEX", "DDAU7DATANAS"} << QStringList{};
    QTest::newRow("person: first missing only") << QVariantMap{{"SDAU7CODFIS", "RSSMRA70A01H501S"}, {"SDAU7COGNOME", "ROSSI"}}
        << QStringList{"SDAU7NOME", "SDAU7SEX"} << QStringList{M + "Nome dell'autonomo"};
    QTest::newRow("inps: months excluded with all-months") << QVariantMap{{"FINPS7IMPONIBILE", 100.0}, {"LINPS7MESIRETR", "1"}, {"LINPS7MARZO", "1"}}
        << QStringList{}
        << QStringList{" - Campo errato: Sono stati esclusi dei mesi sebbene il campo \"tutti i mesi\" (INPS 10) del modulo INPS fosse compilato"};
    QTest::newRow("inps: nothing excluded, flag 0") << QVariantMap{{"LINPS7INTERAMVERS", "1"}, {"LINPS7MESIRETR", "0"}}
        << QStringList{}
        << QStringList{" - Campo errato: Nessun mese escluso dall'EMens quindi il campo \"tutti i mesi\" (INPS 10) del modulo INPS deve essere compilato"};
    QTest::newRow("inps: no amounts, no check") << QVariantMap{{"LINPS7MESIRETR", "0"}, {"LINPS7INTERAMVERS", "0"}} << QStringList{} << QStringList{};
    QTest::newRow("inps second block") << QVariantMap{{"FINPS7COMPDOVUTI", 5.0}, {"LINPS7MESIRETR_C", "1"}, {"LINPS7MAGGIO_C", "1"}}
        << QStringList{}
        << QStringList{" - Campo errato: Sono stati esclusi dei mesi sebbene il campo \"tutti i mesi\" (INPS 16) del modulo INPS fosse compilato"};
    QTest::newRow("dependants joined") << QVariantMap{{"LCFC7RELPARCON", "1"}, {"LCFC7RELPARFIGL", "1"}, {"LCFC7RELPARFIGLALTRFAM", "1"},
                                                      {"SCFC7CODFISFIGL", "RSSMRA85T10A562S"}, {"SCFC7MESICARFIGL", "12"}, {"FCFC7DETRSPETTFIGL", 50.0}}
        << QStringList{"SCFC7CODFISCON", "SCFC7MESICARCON"}
        << QStringList{M + "Codice fiscale coniuge\r\n" + M + "Nr. Mesi a carico coniuge\r\n - Dati incongruenti: Altro figlio e altro familiare ambedue abilitati"};
    QTest::newRow("dependants: long form first") << QVariantMap{{"LCFC7RELPARCON", "1"}, {"SCFC7CODFISCON", "BNCMRA90C45F205A"}}
        << QStringList{"SCFC7MESICARCON"} << QStringList{M + "Nr. Mesi a carico"};
    // Codes against the installation's lists: TCOA_CODCARICA holds 1-15,
    // TNOT_NOTE is delivered empty.
    QTest::newRow("code outside its list") << QVariantMap{{"SCARCODICE", "16"}} << QStringList{}
        << QStringList{" - Codice non presente nella tabella TCOA_CODCARICA: SCARCODICE = 16"};
    QTest::newRow("code in its list") << QVariantMap{{"SCARCODICE", "15"}} << QStringList{} << QStringList{};
    QTest::newRow("empty list checks nothing") << QVariantMap{{"SNOTCODICE", "ZZ"}} << QStringList{} << QStringList{};
}

void TstCheckData::rules()
{
    QFETCH(QVariantMap, values);
    QFETCH(QStringList, nulls);
    QFETCH(QStringList, lines);
    auto ds = record(values, nulls);
    QStringList got;
    QCOMPARE(CheckDataSets(got, {ds.get()}), lines.isEmpty());
    QCOMPARE(got, lines);
}

void TstCheckData::requiredInOrder()
{
    auto a = record({{"SSOSCODFIS", "80012345676"}}, {"SSOSDENOM", "SCOACODICE"});
    auto b = record({{"SPSTMESE", "01"}}, {"SPSTANNO"});
    QStringList got;
    QVERIFY(!CheckDataSets(got, {a.get(), b.get()}, 0)); // only up to the given index
    QCOMPARE(got, (QStringList{M + "Denominazione del sostituto", M + "Codice attività del sostituto"}));
    got.clear();
    CheckDataSets(got, {a.get(), b.get()});
    QCOMPARE(got.last(), M + "Anno di riferimento prospetto ST");
    QCOMPARE(requiredFields().size(), 33);
}

void TstCheckData::infoAsks()
{
    TfmJexInfo::execHook = [](TfmJexInfo &w) {
        QVERIFY(w.buYes->isVisibleTo(&w));
        QVERIFY(w.laInfo->isVisibleTo(&w));
        QCOMPARE(w.laInfo->text(), QStringLiteral("Si desidera proseguire?"));
        QCOMPARE(w.buOk->text(), QStringLiteral("No"));
        w.buOk->click();
    };
    QCOMPARE(ShowInfo({"riga"}, true), ModalResult::No);
    TfmJexInfo::execHook = [](TfmJexInfo &w) { w.buYes->click(); };
    QCOMPARE(ShowInfo({"riga"}, true), ModalResult::Yes);
    TfmJexInfo::execHook = [](TfmJexInfo &w) {
        QVERIFY(!w.buYes->isVisibleTo(&w));
        QCOMPARE(w.buOk->text(), QStringLiteral("OK"));
        w.buOk->click();
    };
    QCOMPARE(ShowInfo({"riga"}, false), ModalResult::Ok);
    // Nothing found: nothing shown, the caller goes on.
    bool shown = false;
    TfmJexInfo::execHook = [&](TfmJexInfo &) { shown = true; };
    auto ok = record({{"SSOSDENOM", "X"}});
    QVERIFY(checkAndAsk({ok.get()}));
    QVERIFY(!shown);
    TfmJexInfo::execHook = nullptr;
}

void TstCheckData::smallTests()
{
    QVERIFY(IsAllDigits(""));
    QVERIFY(IsAllDigits("0123"));
    QVERIFY(!IsAllDigits("12a"));
    QVERIFY(IsNotCurrency("abc"));
    QVERIFY(IsNotCurrency("-10000"));
    QVERIFY(!IsNotCurrency("1.234,56"));
}

JEX_WINDOW_TEST_MAIN(TstCheckData)
#include "tst_checkdata.moc"
