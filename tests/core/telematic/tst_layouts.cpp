// Delivered record layouts are checked when read: a damaged one is refused,
// naming the file and the field, before a record is written from it.

#include "base/errors.h"
#include "telematic/layouts.h"
#include "telfixture.h"

#include "coretest.h"

#include <QDomElement>
#include <QtTest>

using namespace jex;
using namespace jex::test;

namespace {

// A copy of a delivered layout with one text replaced.
QString damagedCopy(const QTemporaryDir &dir, const QString &file, const QString &from, const QString &to)
{
    QFile in(layoutsDir() + file);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(in.readAll());
    if (!text.contains(from))
        return {};
    text.replace(text.indexOf(from), from.size(), to);
    const QString path = dir.filePath(file);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(text.toUtf8()) < 0)
        return {};
    return path;
}

void load(const QString &file, const QString &path)
{
    if (file == u"Record_A.xml")
        LoadRecordA(path);
    else if (file == u"Record_B.xml")
        LoadRecordB(path);
    else if (file == u"Record_Z.xml")
        LoadRecordZ(path);
    else if (file == u"Record_J.xml")
        LoadRecordJ(path);
    else
        LoadRecordE(path);
}

} // namespace

class TstLayouts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deliveredLayoutsAreAccepted_data()
    {
        QTest::addColumn<QString>("file");
        for (const char *f : {"Record_A.xml", "Record_B.xml", "Record_D.xml", "Record_I.xml", "Record_J.xml", "Record_Z.xml"})
            QTest::newRow(f) << QString::fromLatin1(f);
    }
    void deliveredLayoutsAreAccepted()
    {
        QFETCH(QString, file);
        load(file, layoutsDir() + file);
    }

    // A layout is bound once; what a field says and a change made through any
    // copy of it are the same for every later reader of the layout.
    void boundFieldsShareTheirValues()
    {
        const TXMLRecordAType a = LoadRecordA(layoutsDir() + QStringLiteral("Record_A.xml"));
        QVERIFY(a.Count() > 0 && a.Items(0).Count() > 0);
        TXMLCampoType field = a.Items(0).Items(0);
        const QDomElement e = field.element();
        QCOMPARE(field.Width(), e.attribute(QStringLiteral("Width")).trimmed().toInt());
        QCOMPARE(field.Format(), e.attribute(QStringLiteral("Format")));
        QCOMPARE(field.Field(), e.attribute(QStringLiteral("Field")));
        field.setWidth(field.Width() + 1);
        field.setFixed(QStringLiteral("XYZ"));
        QCOMPARE(a.Items(0).Items(0).Width(), e.attribute(QStringLiteral("Width")).toInt());
        QCOMPARE(a.Items(0).Items(0).Fixed(), QStringLiteral("XYZ"));
        QCOMPARE(e.attribute(QStringLiteral("Fixed")), QStringLiteral("XYZ"));
    }

    void damagedLayoutsAreRefused_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("message"); // after the file name

        const QString a4 = QStringLiteral(R"x(Number="4" Description="Tipo fornitore (pos. 21-22)" Width="2")x");
        QTest::newRow("width changed") << "Record_A.xml" << a4
                                       << QStringLiteral(R"x(Number="4" Description="Tipo fornitore (pos. 21-22)" Width="3")x")
                                       << "RecordA (riga 3), le larghezze dei campi sommano 1899 caratteri invece di 1898";
        QTest::newRow("negative width") << "Record_A.xml" << a4
                                        << QStringLiteral(R"x(Number="4" Description="Tipo fornitore (pos. 21-22)" Width="-2")x")
                                        << "CampoA 4 (riga 8), larghezza non valida \"-2\"";
        QTest::newRow("width not a number") << "Record_A.xml" << a4
                                            << QStringLiteral(R"x(Number="4" Description="Tipo fornitore (pos. 21-22)" Width="due")x")
                                            << "CampoA 4 (riga 8), larghezza non valida \"due\"";
        QTest::newRow("unknown format") << "Record_D.xml"
                                        << QStringLiteral(R"x(Width="16" Format="VP" Info="@@" Fixed="" Cds="cdsPrSt" Field="FPSTRITOPEARTE")x")
                                        << QStringLiteral(R"x(Width="16" Format="VX" Info="@@" Fixed="" Cds="cdsPrSt" Field="FPSTRITOPEARTE")x")
                                        << "CampoE STXXX002 (riga 17), formato sconosciuto \"VX\"";
        QTest::newRow("unknown dataset") << "Record_D.xml"
                                         << QStringLiteral(R"x(Format="VP" Info="@@" Fixed="" Cds="cdsPrSt" Field="FPSTRITOPEARTE")x")
                                         << QStringLiteral(R"x(Format="VP" Info="@@" Fixed="" Cds="cdsPrStX" Field="FPSTRITOPEARTE")x")
                                         << "CampoE STXXX002 (riga 17), archivio sconosciuto \"cdsPrStX\"";
        QTest::newRow("unknown field kind") << "Record_Z.xml" << QStringLiteral(R"x(Info="OF")x")
                                            << QStringLiteral(R"x(Info="QQ")x") << "tipo di campo sconosciuto \"QQ\"";
        QTest::newRow("bad repeat") << "Record_D.xml" << QStringLiteral(R"x(Repeat="2")x")
                                    << QStringLiteral(R"x(Repeat="-2")x")
                                    << "SectionE \"Prospetto ST - Sezione I\" (riga 15), ripetizione non valida \"-2\"";
    }
    void damagedLayoutsAreRefused()
    {
        QFETCH(QString, file);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = damagedCopy(dir, file, from, to);
        QVERIFY2(!path.isEmpty(), "the delivered layout has changed: update the case");
        try {
            load(file, path);
            QFAIL("a damaged layout was accepted");
        } catch (const EQxError &e) {
            const QString head = QStringLiteral("Tracciato %1 danneggiato: ").arg(QDir::toNativeSeparators(path));
            QVERIFY2(e.message().startsWith(head), qPrintable(e.message()));
            QVERIFY2(e.message().endsWith(message), qPrintable(e.message()));
        }
    }

    void supplyIsNotBuiltFromADamagedLayout()
    {
        // The record layouts are read when the file is built: a damaged one
        // stops the build before a record is stored.
        TelFixture fx;
        QTemporaryDir dir;
        for (const char *f : {"Record_A.xml", "Record_B.xml", "Record_D.xml", "Record_I.xml", "Record_J.xml", "Record_Z.xml"})
            QVERIFY(QFile::copy(layoutsDir() + QLatin1String(f), dir.filePath(QLatin1String(f))));
        QFile::remove(dir.filePath(QStringLiteral("Record_B.xml")));
        QVERIFY(!damagedCopy(dir, QStringLiteral("Record_B.xml"), QStringLiteral(R"x(Width="1")x"),
                             QStringLiteral(R"x(Width="0")x")).isEmpty());
        fx.dm.layoutDir = dir.path() + u'/';
        fx.generate();
        QVERIFY_THROWS_EXCEPTION(EQxError, fx.dm.BuildFile());
    }
};

JEX_TEST_MAIN(TstLayouts)
#include "tst_layouts.moc"
