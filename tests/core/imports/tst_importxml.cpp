// The import engine on small rules files written by each case: conversions,
// Op, Operation steps, defaults and variables, section matching, the
// destination-names mode and every message, with its exact text.

#include "base/errors.h"
#include "base/messages.h"
#include "dataset/dataset.h"
#include "imports/rules/importrules.h"
#include "imports/rules/importxml.h"

#include "coretest.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace jex;

namespace {

const QString kNull = QStringLiteral("<null>");

void makeSource(ClientDataSet &ds)
{
    ds.addField(QStringLiteral("S_TEXT"), FieldType::String, 60);
    ds.addField(QStringLiteral("S_AMT"), FieldType::Currency, 0, 2);
    ds.addField(QStringLiteral("S_INT"), FieldType::Integer);
    ds.addField(QStringLiteral("S_DATE"), FieldType::Date);
    ds.addField(QStringLiteral("S_ZERO"), FieldType::Currency, 0, 2);
    ds.addField(QStringLiteral("S_OP"), FieldType::Currency, 0, 2);
    // Without decimals in its definition it keeps four and shows two: what an
    // amount rule reads is what it shows.
    FieldDef fine;
    fine.name = QStringLiteral("S_FINE");
    fine.type = FieldType::Currency;
    ds.addField(fine);
    // Named like destination columns, for the destination-names mode.
    ds.addField(QStringLiteral("D_AMT"), FieldType::Currency, 0, 2);
    ds.addField(QStringLiteral("D_TEXT"), FieldType::String, 60);
    ds.createDataSet();
}

void makeDestination(ClientDataSet &ds)
{
    ds.addField(QStringLiteral("D_TEXT"), FieldType::String, 60);
    ds.addField(QStringLiteral("D_AMT"), FieldType::Currency, 0, 2);
    ds.addField(QStringLiteral("D_INT"), FieldType::Integer);
    ds.addField(QStringLiteral("D_FLAG"), FieldType::Integer);
    ds.addField(QStringLiteral("D_DATE"), FieldType::Date);
    ds.addField(QStringLiteral("D_REAL"), FieldType::Float);
    ds.addField(QStringLiteral("D_OP"), FieldType::Currency, 0, 2);
    ds.addField(QStringLiteral("D_OTHER"), FieldType::String, 60);
    ds.createDataSet();
}

QString textOf(const ClientDataSet &ds, const QString &column)
{
    const Field *f = ds.fieldByName(column);
    return f->isNull() ? kNull : f->asString();
}

// "COL=value;COL=value" into the current record; empty values stay null.
void assign(ClientDataSet &ds, const QString &values)
{
    for (const QString &pair : values.split(u';', Qt::SkipEmptyParts)) {
        const int eq = pair.indexOf(u'=');
        ds.fieldByName(pair.left(eq))->setAsString(pair.mid(eq + 1));
    }
}

} // namespace

class TestImportXml : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    ScriptedMessageService m_messages{ModalResult::Ok};
    ClientDataSet m_source;
    ClientDataSet m_dest;

    QString writeRules(const QString &body, const QString &name = QStringLiteral("Import.xml"))
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(body.toUtf8());
        return path;
    }

    QString section(const QString &fields, const QString &name = QStringLiteral("TEST"))
    {
        return QStringLiteral("<Import Section=\"%1\" InputPath=\"\" OutputPath=\"\">%2</Import>")
            .arg(name, fields);
    }

    QString document(const QString &sections)
    {
        return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DataImport Anno=\"2024\">%1</DataImport>")
            .arg(sections);
    }

    void freshRecords(const QString &sourceValues, const QString &destValues)
    {
        m_source.emptyDataSet();
        m_dest.emptyDataSet();
        m_source.append();
        assign(m_source, sourceValues);
        m_source.post();
        m_dest.append();
        assign(m_dest, destValues);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        setMessageService(&m_messages);
        makeSource(m_source);
        makeDestination(m_dest);
    }
    void cleanupTestCase() { setMessageService(nullptr); }
    void init() { m_messages.clear(); }

    // One Field of a section on one pair of records.
    void field_data()
    {
        QTest::addColumn<QString>("xml");         // the Field element
        QTest::addColumn<QString>("source");      // source record
        QTest::addColumn<QString>("current");     // destination before
        QTest::addColumn<QString>("column");      // destination column looked at
        QTest::addColumn<QString>("expected");    // its text after
        QTest::addColumn<bool>("ok");

        const auto row = [](const char *name, const char *xml, const char *source,
                            const char *current, const char *column, const QString &expected,
                            bool ok = true) {
            QTest::newRow(name) << QString::fromUtf8(xml) << QString::fromUtf8(source)
                                << QString::fromUtf8(current) << QString::fromUtf8(column)
                                << expected << ok;
        };
        // Texts and their case.
        row("s empty source takes default, lower", "<Field Index='1' FromField='S_TEXT' ToField='D_TEXT' TypeOf='s' StringCase='lower' DefaultValue='ABC'/>",
            "", "", "D_TEXT", "abc");
        row("s upper", "<Field Index='1' FromField='S_TEXT' ToField='D_TEXT' TypeOf='String' StringCase='u'/>",
            "S_TEXT=Rossi", "", "D_TEXT", "ROSSI");
        row("s other case keeps", "<Field Index='1' FromField='S_TEXT' ToField='D_TEXT' TypeOf='s' StringCase='Normal'/>",
            "S_TEXT=Rossi", "D_TEXT=Bianchi", "D_TEXT", "Rossi");
        row("s no case on other type", "<Field Index='1' FromField='S_TEXT' ToField='D_TEXT' TypeOf='z' StringCase='U'/>",
            "S_TEXT= ab c ", "", "D_TEXT", " ab c ");
        row("unknown letter copies text", "<Field Index='1' FromField='S_TEXT' ToField='D_OTHER' TypeOf='?'/>",
            "S_TEXT=12,5 x", "", "D_OTHER", "12,5 x");
        // Integers and Op.
        row("i sub", "<Field Index='1' FromField='S_INT' ToField='D_INT' TypeOf='i' Op='sub'/>",
            "S_INT=100", "D_INT=30", "D_INT", "70");
        row("i sub to zero is null", "<Field Index='1' FromField='S_INT' ToField='D_INT' TypeOf='i' Op='-'/>",
            "S_INT=30", "D_INT=30", "D_INT", kNull);
        row("i SUM any case", "<Field Index='1' FromField='S_INT' ToField='D_INT' TypeOf='I' Op='SUM'/>",
            "S_INT=100", "D_INT=30", "D_INT", "130");
        row("i plus", "<Field Index='1' FromField='S_INT' ToField='D_INT' TypeOf='i' Op='+'/>",
            "S_INT=1", "D_INT=2", "D_INT", "3");
        row("i other op stores incoming", "<Field Index='1' FromField='S_INT' ToField='D_INT' TypeOf='i' Op='avg'/>",
            "S_INT=5", "D_INT=30", "D_INT", "5");
        row("i from whole amount", "<Field Index='1' FromField='S_AMT' ToField='D_INT' TypeOf='i'/>",
            "S_AMT=12", "", "D_INT", "12");
        row("i amount with cents is not whole", "<Field Index='1' FromField='S_AMT' ToField='D_INT' TypeOf='i'/>",
            "S_AMT=12,5", "D_INT=9", "D_INT", "9", false);
        row("i not a whole number", "<Field Index='1' FromField='S_TEXT' ToField='D_INT' TypeOf='i'/>",
            "S_TEXT=12,5", "D_INT=9", "D_INT", "9", false);
        row("i empty source empty default is null", "<Field Index='1' FromField='S_INT' ToField='D_INT' TypeOf='i'/>",
            "", "D_INT=9", "D_INT", kNull);
        // Check flags.
        row("x upper X", "<Field Index='1' FromField='S_TEXT' ToField='D_FLAG' TypeOf='x'/>",
            "S_TEXT=X", "", "D_FLAG", "1");
        row("x one", "<Field Index='1' FromField='S_TEXT' ToField='D_FLAG' TypeOf='x'/>",
            "S_TEXT=1", "", "D_FLAG", "1");
        row("x lower x is 0", "<Field Index='1' FromField='S_TEXT' ToField='D_FLAG' TypeOf='x'/>",
            "S_TEXT=x", "D_FLAG=1", "D_FLAG", "0");
        row("x ignores default", "<Field Index='1' FromField='S_TEXT' ToField='D_FLAG' TypeOf='x' DefaultValue='X'/>",
            "", "", "D_FLAG", "0");
        row("x not both one", "<Field Index='1' FromField='S_TEXT' ToField='D_FLAG' TypeOf='x' Op='NOT'/>",
            "S_TEXT=X", "D_FLAG=1", "D_FLAG", "1");
        row("x not one and zero", "<Field Index='1' FromField='S_TEXT' ToField='D_FLAG' TypeOf='x' Op='not'/>",
            "S_TEXT=X", "D_FLAG=0", "D_FLAG", "0");
        row("x sum", "<Field Index='1' FromField='S_TEXT' ToField='D_FLAG' TypeOf='x' Op='sum'/>",
            "S_TEXT=1", "D_FLAG=1", "D_FLAG", "2");
        // Amounts and Operation steps.
        row("c Italian notation", "<Field Index='1' FromField='S_TEXT' ToField='D_AMT' TypeOf='currency'/>",
            "S_TEXT=1.234,56", "", "D_AMT", "1234.56");
        row("c zero is null", "<Field Index='1' FromField='S_AMT' ToField='D_AMT' TypeOf='c'/>",
            "S_AMT=0", "D_AMT=5", "D_AMT", kNull);
        row("c div by zero keeps", "<Field Index='1' FromField='S_AMT' ToField='D_AMT' TypeOf='c'><Operation TypeOf='div' Field='S_ZERO' Source='in'/></Field>",
            "S_AMT=100.50;S_ZERO=0", "", "D_AMT", "100.50");
        row("c div by null keeps", "<Field Index='1' FromField='S_AMT' ToField='D_AMT' TypeOf='c'><Operation TypeOf='DIV' Field='S_ZERO' Source='IN'/></Field>",
            "S_AMT=100.50", "", "D_AMT", "100.50");
        row("c div", "<Field Index='1' FromField='S_AMT' ToField='D_AMT' TypeOf='c'><Operation TypeOf='div' Field='S_OP' Source='in'/></Field>",
            "S_AMT=100;S_OP=8", "", "D_AMT", "12.50");
        row("c steps in order", "<Field Index='1' FromField='S_AMT' ToField='D_AMT' TypeOf='c'><Operation TypeOf='add' Field='S_OP' Source='in'/><Operation TypeOf='mul' Field='D_OP' Source='out'/><Operation TypeOf='sub' Field='S_OP' Source='in'/></Field>",
            "S_AMT=10;S_OP=2", "D_OP=3", "D_AMT", "34.00");
        row("c operand from destination", "<Field Index='1' FromField='S_AMT' ToField='D_AMT' TypeOf='c'><Operation TypeOf='equal' Field='D_OP'/></Field>",
            "S_AMT=10", "D_OP=7.25", "D_AMT", "7.25");
        row("c Op then steps", "<Field Index='1' FromField='S_AMT' ToField='D_AMT' TypeOf='c' Op='sum'><Operation TypeOf='sub' Field='S_OP' Source='in'/></Field>",
            "S_AMT=10;S_OP=1", "D_AMT=5", "D_AMT", "14.00");
        row("c max rounds to whole", "<Field Index='1' FromField='S_AMT' ToField='D_AMT' TypeOf='c'><Operation TypeOf='max' Field='S_OP' Source='in'/></Field>",
            "S_AMT=10.60;S_OP=10.40", "", "D_AMT", "11.00");
        row("c min rounds to whole", "<Field Index='1' FromField='S_AMT' ToField='D_INT' TypeOf='c'><Operation TypeOf='min' Field='S_OP' Source='in'/></Field>",
            "S_AMT=10.60;S_OP=10.40", "", "D_INT", "10");
        row("c unknown step keeps", "<Field Index='1' FromField='S_AMT' ToField='D_AMT' TypeOf='c'><Operation TypeOf='pow' Field='S_OP' Source='in'/></Field>",
            "S_AMT=10;S_OP=2", "", "D_AMT", "10.00");
        row("c OnlyIfNull false never applies", "<Field Index='1' FromField='S_AMT' ToField='D_AMT' TypeOf='c'><Operation TypeOf='add' Field='S_OP' Source='in' OnlyIfNull='false'/></Field>",
            "S_OP=3", "", "D_AMT", kNull);
        row("c OnlyIfNull true on zero", "<Field Index='1' FromField='S_AMT' ToField='D_AMT' TypeOf='c'><Operation TypeOf='add' Field='S_OP' Source='in' OnlyIfNull='TRUE'/></Field>",
            "S_OP=3", "", "D_AMT", "3.00");
        row("c OnlyIfNull true on a value", "<Field Index='1' FromField='S_AMT' ToField='D_AMT' TypeOf='c'><Operation TypeOf='add' Field='S_OP' Source='in' OnlyIfNull='true'/></Field>",
            "S_AMT=5;S_OP=3", "", "D_AMT", "5.00");
        row("c step result zero is null", "<Field Index='1' FromField='S_AMT' ToField='D_AMT' TypeOf='c'><Operation TypeOf='sub' Field='S_OP' Source='in'/></Field>",
            "S_AMT=3;S_OP=3", "D_AMT=1", "D_AMT", kNull);
        row("c four decimals read as the two shown", "<Field Index='1' FromField='S_FINE' ToField='D_REAL' TypeOf='c'/>",
            "S_FINE=12,3456", "", "D_REAL", "12.35");
        row("c negative half cent away from zero", "<Field Index='1' FromField='S_FINE' ToField='D_AMT' TypeOf='c'/>",
            "S_FINE=-12,345", "", "D_AMT", "-12.35");
        row("c under half a cent is null", "<Field Index='1' FromField='S_FINE' ToField='D_AMT' TypeOf='c' Op='sum'/>",
            "S_FINE=0,0049", "", "D_AMT", kNull);
        row("c from integer column", "<Field Index='1' FromField='S_INT' ToField='D_AMT' TypeOf='c' Op='sub'/>",
            "S_INT=-7", "D_AMT=0,5", "D_AMT", "-7.50");
        row("c not a number", "<Field Index='1' FromField='S_TEXT' ToField='D_AMT' TypeOf='c'/>",
            "S_TEXT=12a", "D_AMT=1", "D_AMT", "1.00", false);
        row("c bad default", "<Field Index='1' FromField='S_TEXT' ToField='D_AMT' TypeOf='c' DefaultValue='molti'/>",
            "", "", "D_AMT", kNull, false);
        row("c default when empty", "<Field Index='1' FromField='S_TEXT' ToField='D_AMT' TypeOf='c' DefaultValue='2,5'/>",
            "", "", "D_AMT", "2.50");
        row("c operand column missing", "<Field Index='1' FromField='S_AMT' ToField='D_AMT' TypeOf='c'><Operation TypeOf='add' Field='NOPE' Source='in'/></Field>",
            "S_AMT=1", "", "D_AMT", kNull, false);
        row("f real", "<Field Index='1' FromField='S_TEXT' ToField='D_REAL' TypeOf='f'/>",
            "S_TEXT=1,5", "", "D_REAL", "1.5");
        row("f div is real", "<Field Index='1' FromField='S_TEXT' ToField='D_REAL' TypeOf='f'><Operation TypeOf='div' Field='S_OP' Source='in'/></Field>",
            "S_TEXT=1;S_OP=3", "", "D_REAL", QString::number(1.0 / 3.0, 'g', 15));
        // Dates and booleans.
        row("d date", "<Field Index='1' FromField='S_TEXT' ToField='D_DATE' TypeOf='d'/>",
            "S_TEXT=31/12/2024", "", "D_DATE", "31/12/2024");
        row("d from date column", "<Field Index='1' FromField='S_DATE' ToField='D_DATE' TypeOf='date'/>",
            "S_DATE=29/02/2024", "", "D_DATE", "29/02/2024");
        row("d empty is null date", "<Field Index='1' FromField='S_TEXT' ToField='D_DATE' TypeOf='d'/>",
            "", "D_DATE=01/01/2024", "D_DATE", kNull);
        row("d not a date", "<Field Index='1' FromField='S_TEXT' ToField='D_DATE' TypeOf='d'/>",
            "S_TEXT=31/02/2024", "", "D_DATE", kNull, false);
        row("b true", "<Field Index='1' FromField='S_TEXT' ToField='D_FLAG' TypeOf='b'/>",
            "S_TEXT=TRUE", "", "D_FLAG", "1");
        row("b empty default", "<Field Index='1' FromField='S_TEXT' ToField='D_FLAG' TypeOf='boolean' DefaultValue='1'/>",
            "", "", "D_FLAG", "1");
        row("b empty is false", "<Field Index='1' FromField='S_TEXT' ToField='D_FLAG' TypeOf='b'/>",
            "", "D_FLAG=1", "D_FLAG", "0");
        // Without a source column.
        row("empty FromField takes default", "<Field Index='1' FromField='' ToField='D_INT' TypeOf='i' DefaultValue='42'/>",
            "", "", "D_INT", "42");
        row("empty FromField, text default", "<Field Index='1' ToField='D_TEXT' TypeOf='s' DefaultValue='A'/>",
            "", "", "D_TEXT", "A");
        row("destination column missing", "<Field Index='1' FromField='S_TEXT' ToField='D_NOPE' TypeOf='s'/>",
            "S_TEXT=a", "", "D_TEXT", kNull, false);
        row("required with default", "<Field Index='1' FromField='S_TEXT' ToField='D_TEXT' TypeOf='s' Required='true' DefaultValue='N'/>",
            "", "", "D_TEXT", "N");
    }

    void field()
    {
        QFETCH(QString, xml);
        QFETCH(QString, source);
        QFETCH(QString, current);
        QFETCH(QString, column);
        QFETCH(QString, expected);
        QFETCH(bool, ok);

        const QString path = writeRules(document(section(xml)));
        freshRecords(source, current);
        TImportXML engine;
        QCOMPARE(engine.Execute(QStringLiteral("TEST"), path, m_source, m_dest), ok);
        QCOMPARE(textOf(m_dest, column), expected);
        // A failure is always told to the user; a success never shows anything.
        QCOMPARE(m_messages.shown().size(), ok ? 0 : 1);
        if (!ok) {
            QCOMPARE(m_messages.shown().first().type, DlgType::Warning);
            QVERIFY2(m_messages.shown().first().text.startsWith(u"Errore nel campo: "),
                     qPrintable(m_messages.shown().first().text));
        }
    }

    // The messages whose text is given, and what they name.
    void messages_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("start");     // the text begins exactly so
        QTest::addColumn<QStringList>("names"); // and names these too

        QTest::newRow("required") << "<Field Index='7' FromField='S_TEXT' ToField='D_TEXT' TypeOf='s' Required='TRUE' Descr='Cognome'/>"
                                  << int(DlgType::Error)
                                  << "Campo richiesto non presente: \n\rIndice:      7\n\rDescrizione: Cognome"
                                  << QStringList{QStringLiteral("TEST"), QStringLiteral("Import.xml")};
        QTest::newRow("required any case") << "<Field Index='7' FromField='' ToField='D_TEXT' TypeOf='s' Required='True' Descr='Cognome'/>"
                                           << int(DlgType::Error)
                                           << "Campo richiesto non presente: \n\rIndice:      7\n\rDescrizione: Cognome"
                                           << QStringList{};
        QTest::newRow("no destination") << "<Field Index='8' FromField='S_TEXT' ToField='' TypeOf='s' Descr='Nome'/>"
                                        << int(DlgType::Error)
                                        << "Campo di destinazione non compilato: \n\rIndice:      8\n\rDescrizione: Nome"
                                        << QStringList{QStringLiteral("TEST")};
        QTest::newRow("unknown source") << "<Field Index='9' FromField='S_NOPE' ToField='D_TEXT' TypeOf='s' Descr='Sesso'/>"
                                        << int(DlgType::Error)
                                        << "Campo di acquisizione non trovato: S_NOPE\n\rIndice:      9\n\rDescrizione: Sesso"
                                        << QStringList{QStringLiteral("TEST")};
        // A required column the source lacks stops its section like any
        // unknown column, instead of ending the whole import.
        QTest::newRow("unknown required source") << "<Field Index='9' FromField='S_NOPE' ToField='D_TEXT' TypeOf='s' Required='TRUE' Descr='Sesso'/>"
                                                 << int(DlgType::Error)
                                                 << "Campo di acquisizione non trovato: S_NOPE\n\rIndice:      9\n\rDescrizione: Sesso"
                                                 << QStringList{};
        QTest::newRow("not a date") << "<Field Index='10' FromField='S_TEXT' ToField='D_DATE' TypeOf='d' Descr='Nascita'/>"
                                    << int(DlgType::Warning)
                                    << "Errore nel campo: S_TEXT\n\rIndice:      10\n\rDescrizione: Nascita\n\rErrore: "
                                    << QStringList{QStringLiteral("31/02/2024"), QStringLiteral("S_TEXT"),
                                                   QStringLiteral("una data")};
        QTest::newRow("unknown destination") << "<Field Index='11' FromField='S_TEXT' ToField='D_NOPE' TypeOf='s' Descr='X'/>"
                                             << int(DlgType::Warning)
                                             << "Errore nel campo: S_TEXT\n\rIndice:      11\n\rDescrizione: X\n\rErrore: "
                                             << QStringList{QStringLiteral("D_NOPE"), QStringLiteral("TEST"),
                                                            QStringLiteral("Import.xml")};
        QTest::newRow("bad variable value") << "<Field Index='12' FromField='' ToField='D_AMT' TypeOf='c' DefaultValue='var(2)' Descr='X'/>"
                                            << int(DlgType::Warning)
                                            << "Errore nel campo: \n\rIndice:      12\n\rDescrizione: X\n\rErrore: "
                                            << QStringList{QStringLiteral("variabile 2"), QStringLiteral("un importo")};
    }

    void messages()
    {
        QFETCH(QString, xml);
        QFETCH(int, type);
        QFETCH(QString, start);
        QFETCH(QStringList, names);

        const QString path = writeRules(document(section(xml)));
        // Only the date case has a source value: the others are about columns.
        freshRecords(xml.contains(u"D_DATE") ? QStringLiteral("S_TEXT=31/02/2024") : QString(), {});
        TImportXML engine;
        engine.setVariable(2, QStringLiteral("mille"));
        QVERIFY(!engine.Execute(QStringLiteral("TEST"), path, m_source, m_dest));
        QCOMPARE(m_messages.shown().size(), 1);
        const ShownMessage &m = m_messages.shown().first();
        QCOMPARE(int(m.type), type);
        QCOMPARE(m.buttons, Buttons::Ok);
        QVERIFY2(m.text.startsWith(start), qPrintable(m.text));
        for (const QString &n : names)
            QVERIFY2(m.text.contains(n), qPrintable(m.text + QStringLiteral(" / ") + n));
    }

    // DefaultValue var(n): the fifth character names the variable.
    void variables_data()
    {
        QTest::addColumn<QString>("defaultValue");
        QTest::addColumn<QString>("expected");
        QTest::newRow("var(1)") << "var(1)" << "uno";
        QTest::newRow("VAR(1)") << "VAR(1)" << "uno";
        QTest::newRow("var(12) is 1") << "var(12)" << "uno";
        QTest::newRow("Var(5)") << "Var(5)" << "cinque";
        QTest::newRow("unassigned is empty") << "var(3)" << kNull;
        QTest::newRow("literal") << "variabile" << "variabile";
        QTest::newRow("date") << "var(4)" << "31/12/2024";
    }

    void variables()
    {
        QFETCH(QString, defaultValue);
        QFETCH(QString, expected);
        const QString path = writeRules(document(section(
            QStringLiteral("<Field Index='1' FromField='S_TEXT' ToField='D_TEXT' TypeOf='s' DefaultValue='%1'/>")
                .arg(defaultValue))));
        freshRecords({}, {});
        TImportXML engine;
        engine.setVariable(1, QStringLiteral("uno"));
        engine.setVariable(4, QDate(2024, 12, 31));
        engine.setVariable(5, QStringLiteral("cinque"));
        QVERIFY(engine.Execute(QStringLiteral("TEST"), path, m_source, m_dest));
        QCOMPARE(textOf(m_dest, QStringLiteral("D_TEXT")), expected);
    }

    void variableNumbersOutsideTheSlots()
    {
        TImportXML engine;
        QVERIFY_THROWS_EXCEPTION(EAssertion, engine.setVariable(0, 1));
        QVERIFY_THROWS_EXCEPTION(EAssertion, engine.setVariable(6, 1));
        engine.setVariable(5, 1);
        QCOMPARE(engine.variable(5).toInt(), 1);
        QVERIFY(!engine.variable(6).isValid());
    }

    // A damaged file is rejected as a whole, before anything is written.
    void badFiles_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("names");
        const QString good = QStringLiteral("<Field Index='1' FromField='S_TEXT' ToField='D_TEXT' TypeOf='s'/>");

        QTest::newRow("not xml") << "<DataImport><Import Section=\"TEST\">" << QStringList{"non leggibile", "riga 1"};
        QTest::newRow("empty") << "" << QStringList{"non leggibile"};
        QTest::newRow("wrong root") << document(section(good)).replace("DataImport", "DatiImport")
                                    << QStringList{"DatiImport", "DataImport"};
        QTest::newRow("var(6)") << document(section(good) + section(
                                       "<Field Index='4' FromField='S_TEXT' ToField='D_TEXT' TypeOf='s' DefaultValue='var(6)'/>",
                                       "CUD_Fis"))
                                << QStringList{"CUD_Fis", "Indice:      4", "var(6)", "riga 2"};
        QTest::newRow("var(0)") << document(section(
                                       "<Field Index='5' FromField='S_TEXT' ToField='D_TEXT' TypeOf='s' DefaultValue='VAR(0)'/>"))
                                << QStringList{"TEST", "Indice:      5", "VAR(0)"};
        QTest::newRow("var()") << document(section(
                                      "<Field Index='6' FromField='S_TEXT' ToField='D_TEXT' TypeOf='s' DefaultValue='var()'/>"))
                               << QStringList{"TEST", "Indice:      6"};
        QTest::newRow("var(") << document(section(
                                     "<Field Index='6' FromField='S_TEXT' ToField='D_TEXT' TypeOf='s' DefaultValue='var('/>"))
                              << QStringList{"TEST", "Indice:      6"};
        QTest::newRow("misspelt field") << document(section(good + "<Feild Index='2'/>"))
                                        << QStringList{"TEST", "Feild"};
        QTest::newRow("misspelt operation") << document(section(
                                                   "<Field Index='3' FromField='S_AMT' ToField='D_AMT' TypeOf='c'><Operatoin TypeOf='add'/></Field>"))
                                            << QStringList{"TEST", "Indice:      3", "Operatoin"};
        QTest::newRow("unnamed section") << document(section(good, {})) << QStringList{"Section"};
    }

    void badFiles()
    {
        QFETCH(QString, body);
        QFETCH(QStringList, names);
        const QString path = writeRules(body);
        freshRecords(QStringLiteral("S_TEXT=scritto"), {});
        TImportXML engine;
        QVERIFY(!engine.Execute(QStringLiteral("TEST"), path, m_source, m_dest));
        QCOMPARE(textOf(m_dest, QStringLiteral("D_TEXT")), kNull);
        QCOMPARE(m_messages.shown().size(), 1);
        const ShownMessage &m = m_messages.shown().first();
        QCOMPARE(m.type, DlgType::Error);
        QVERIFY2(m.text.contains(path), qPrintable(m.text));
        for (const QString &n : names)
            QVERIFY2(m.text.contains(n, Qt::CaseInsensitive), qPrintable(m.text + QStringLiteral(" / ") + n));
        // The same through the reader alone.
        QVERIFY_THROWS_EXCEPTION(EQxError, loadImportRules(path));
    }

    void missingFile()
    {
        const QString path = m_dir.filePath(QStringLiteral("nessuno/Import.xml"));
        freshRecords({}, {});
        TImportXML engine;
        QVERIFY(!engine.Execute(QStringLiteral("CUD_Ana"), path, m_source, m_dest));
        QVERIFY(!engine.Execute(QStringLiteral("CUD_Fis"), path, m_source, m_dest));
        QCOMPARE(m_messages.shown().size(), 2);
        QCOMPARE(m_messages.shown().at(0).type, DlgType::Error);
        QCOMPARE(m_messages.shown().at(0).text, QStringLiteral("File non presente o percorso errato:\n\r") + path);
        QCOMPARE(m_messages.shown().at(1).text, QStringLiteral("File non presente o percorso errato:\n\r") + path);
    }

    // Matching by name, several definitions of one name, and the stop at the
    // first failing field.
    void sections_data()
    {
        QTest::addColumn<QString>("sections");
        QTest::addColumn<QString>("requested");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("expected"); // D_TEXT;D_INT;D_AMT after

        const char *a = "<Field Index='1' FromField='S_TEXT' ToField='D_TEXT' TypeOf='s'/>";
        const char *b = "<Field Index='2' FromField='S_INT' ToField='D_INT' TypeOf='i' Op='sum'/>";
        const char *bad = "<Field Index='3' FromField='S_NOPE' ToField='D_AMT' TypeOf='c'/>";
        const char *c = "<Field Index='4' FromField='S_AMT' ToField='D_AMT' TypeOf='c'/>";
        QTest::newRow("lower-case name") << section(a, "cud_ana") << "CUD_Ana" << true << "uno;<null>;<null>";
        QTest::newRow("no match") << section(a, "CUD_Fis") << "CUD_Ana" << false << "<null>;<null>;<null>";
        QTest::newRow("prefix is no match") << section(a, "CUD_An") << "CUD_Ana" << false << "<null>;<null>;<null>";
        QTest::newRow("both run, in order") << section(QString::fromUtf8(a) + b, "X") + section(b, "x")
                                            << "X" << true << "uno;14;<null>";
        QTest::newRow("last one decides: fails") << section(b, "X") + section(bad, "X")
                                                 << "X" << false << "<null>;7;<null>";
        QTest::newRow("last one decides: succeeds") << section(bad, "X") + section(b, "X")
                                                    << "X" << true << "<null>;7;<null>";
        QTest::newRow("stops at the failing field") << section(QString::fromUtf8(a) + bad + c, "X")
                                                    << "X" << false << "uno;<null>;<null>";
        QTest::newRow("other sections untouched") << section(a, "X") + section(bad, "Y")
                                                  << "X" << true << "uno;<null>;<null>";
    }

    void sections()
    {
        QFETCH(QString, sections);
        QFETCH(QString, requested);
        QFETCH(bool, ok);
        QFETCH(QString, expected);
        const QString path = writeRules(document(sections));
        freshRecords(QStringLiteral("S_TEXT=uno;S_INT=7;S_AMT=3"), {});
        TImportXML engine;
        QCOMPARE(engine.Execute(requested, path, m_source, m_dest), ok);
        const QString got = textOf(m_dest, QStringLiteral("D_TEXT")) + u';' + textOf(m_dest, QStringLiteral("D_INT"))
                            + u';' + textOf(m_dest, QStringLiteral("D_AMT"));
        QCOMPARE(got, expected);
    }

    // Destination names: the source column named like ToField, no steps.
    void destinationNames()
    {
        const QString path = writeRules(document(section(QStringLiteral(
            "<Field Index='1' FromField='S_TEXT' ToField='D_TEXT' TypeOf='s' StringCase='U'/>"
            "<Field Index='2' FromField='S_AMT' ToField='D_AMT' TypeOf='c'><Operation TypeOf='add' Field='S_OP' Source='in'/></Field>"))));
        freshRecords(QStringLiteral("S_TEXT=origine;S_AMT=1;S_OP=100;D_TEXT=stessa;D_AMT=5"), {});
        TImportXML engine;
        engine.setDestinationNames(true);
        QVERIFY(engine.Execute(QStringLiteral("TEST"), path, m_source, m_dest));
        QCOMPARE(textOf(m_dest, QStringLiteral("D_TEXT")), QStringLiteral("STESSA"));
        QCOMPARE(textOf(m_dest, QStringLiteral("D_AMT")), QStringLiteral("5.00"));

        engine.setDestinationNames(false);
        freshRecords(QStringLiteral("S_TEXT=origine;S_AMT=1;S_OP=100;D_TEXT=stessa;D_AMT=5"), {});
        QVERIFY(engine.Execute(QStringLiteral("TEST"), path, m_source, m_dest));
        QCOMPARE(textOf(m_dest, QStringLiteral("D_TEXT")), QStringLiteral("ORIGINE"));
        QCOMPARE(textOf(m_dest, QStringLiteral("D_AMT")), QStringLiteral("101.00"));
    }

    // One engine over a whole run: a file changed between two calls is read
    // as changed, as a fresh parse at every call would.
    void fileChangedBetweenCalls()
    {
        const QString one = document(section(QStringLiteral("<Field Index='1' FromField='S_TEXT' ToField='D_TEXT' TypeOf='s' StringCase='U'/>")));
        const QString two = document(section(QStringLiteral("<Field Index='1' FromField='S_TEXT' ToField='D_TEXT' TypeOf='s' StringCase='L'/>")));
        QCOMPARE(one.size(), two.size());
        const QString path = writeRules(one);
        TImportXML engine;
        freshRecords(QStringLiteral("S_TEXT=Rossi"), {});
        QVERIFY(engine.Execute(QStringLiteral("TEST"), path, m_source, m_dest));
        QCOMPARE(textOf(m_dest, QStringLiteral("D_TEXT")), QStringLiteral("ROSSI"));
        writeRules(two);
        freshRecords(QStringLiteral("S_TEXT=Rossi"), {});
        QVERIFY(engine.Execute(QStringLiteral("TEST"), path, m_source, m_dest));
        QCOMPARE(textOf(m_dest, QStringLiteral("D_TEXT")), QStringLiteral("rossi"));
        writeRules(QStringLiteral("<DataImport>"));
        QVERIFY(!engine.Execute(QStringLiteral("TEST"), path, m_source, m_dest));
        QVERIFY(!engine.Execute(QStringLiteral("TEST"), path, m_source, m_dest));
        QCOMPARE(m_messages.shown().size(), 2); // told at every call, not once
        QFile::remove(path);
        QVERIFY(!engine.Execute(QStringLiteral("TEST"), path, m_source, m_dest));
        QVERIFY(m_messages.shown().last().text.startsWith(u"File non presente o percorso errato:"));
    }

    // The engine leaves the datasets' state and position to the caller.
    void neverPostsOrMoves()
    {
        const QString path = writeRules(document(section(QStringLiteral(
            "<Field Index='1' FromField='S_TEXT' ToField='D_TEXT' TypeOf='s'/>"))));
        freshRecords(QStringLiteral("S_TEXT=uno"), {});
        TImportXML engine;
        QVERIFY(engine.Execute(QStringLiteral("TEST"), path, m_source, m_dest));
        QCOMPARE(m_dest.state(), DataSetState::Insert);
        QCOMPARE(m_source.state(), DataSetState::Browse);
        m_dest.cancel();
        QVERIFY(m_dest.isEmpty());
    }
};

JEX_TEST_MAIN(TestImportXml)
#include "tst_importxml.moc"
