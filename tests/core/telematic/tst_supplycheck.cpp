// The check of a supply file: the demo school's file passes clean, and each
// corrupted copy gives its own finding, at its line and field, and no other.

#include "coretest.h"
#include "telfixture.h"

#include "telematic/supply/checker.h"
#include "telematic/supply/supplylayout.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace jex;
using namespace jex::supply;

namespace {

// The demo school's supply with a DI note of the delivered list: nothing to
// report.
QByteArray demoSupply()
{
    QFile f(test::sourceDir() + QStringLiteral("/tests/data/golden/demo_77025.txt"));
    QByteArray file = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    file.replace("DI001002A ", "DI001002Q ");
    return file;
}

QList<QByteArray> recordsOf(const QByteArray &file)
{
    QList<QByteArray> out = file.split('\n');
    if (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    for (QByteArray &l : out)
        if (l.endsWith('\r'))
            l.chop(1);
    return out;
}

QByteArray join(const QList<QByteArray> &records, const QByteArray &end = "\r\n")
{
    QByteArray out;
    for (const QByteArray &r : records)
        out += r + end;
    return out;
}

// "E 3 ST002002": severity, line and field of a finding.
QString brief(const Finding &f)
{
    return QStringLiteral("%1 %2 %3").arg(QChar(f.severity == Finding::Error ? u'E' : u'W')).arg(f.line).arg(f.field).trimmed();
}

} // namespace

class TstSupplyCheck : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_tmp.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        return path;
    }

    QStringList check(const QStringList &files, CheckReport *report = nullptr)
    {
        const SupplyLayouts layouts(test::layoutsDir());
        const CheckReport r = checkSupply(files, layouts);
        if (report)
            *report = r;
        QStringList out;
        for (const Finding &f : r.findings)
            out << brief(f);
        return out;
    }

private Q_SLOTS:
    void demoSupplyIsClean()
    {
        const QByteArray demo = demoSupply();
        QVERIFY(!demo.isEmpty());
        CheckReport report;
        const QStringList found = check({write(QStringLiteral("demo"), demo)}, &report);
        for (const Finding &f : report.findings)
            qWarning("%s", qPrintable(f.toString()));
        QVERIFY(found.isEmpty());
        QCOMPARE(report.records, 11);
        QCOMPARE(report.exitCode(), 0);
    }

    // Each row changes the demo's file in one way: "set" puts the bytes at a
    // position of a record (1-based, or after the text in "needle").
    void corruptedCopies_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<int>("line");
        QTest::addColumn<QByteArray>("needle");
        QTest::addColumn<int>("pos");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected");

        auto row = [](const char *name, const char *op, int line, const QByteArray &needle, int pos,
                      const QByteArray &bytes, const QStringList &expected) {
            QTest::newRow(name) << QString::fromLatin1(op) << line << needle << pos << bytes << expected;
        };
        row("record of 1897", "delete", 3, {}, 1500, {}, {"E 3"});
        row("record of 1899", "insert", 3, {}, 1500, " ", {"E 3"});
        row("no A at 1898", "set", 4, {}, 1898, "B", {"E 4"});
        row("LF only", "lf", 0, {}, 0, {}, {"E 1"});
        row("truncated last line", "truncate", 11, {}, 900, {}, {"E 11", "E 11"});
        row("unknown record type", "dup", 9, {}, 1, "X", {"E 10"});
        row("record order", "swap", 9, {}, 0, {}, {"E 10"});
        row("another return", "set", 1, {}, 16, "77024", {"E 1 3"});
        row("counter of Z", "set", 11, {}, 25, "000000007", {"E 11"});
        row("numbering of A", "set", 1, {}, 522, "00010002", {"E 1 7"});
        row("another agent in D", "set", 3, {}, 2, "80012345678     ", {"E 3 2"});
        row("extinct agent of a module", "set", 3, {}, 54, "80011223345", {"W 3 6"});
        row("module not consecutive", "module", 6, {}, 18, "00000003", {"E 6 3"});
        row("continuation after another code", "set", 9, "SY016001+VON", 8, "2", {"E 9 SY016002"});
        row("unknown field code", "set", 3, "ST002014", 6, "099", {"E 3 ST002099"});
        row("amount format", "set", 9, "SY002002", 9, "          300.00", {"E 9 SY002002"});
        row("amount not right-aligned", "set", 9, "SY002002", 9, "300,00          ", {"E 9 SY002002"});
        row("date not in the calendar", "set", 3, "ST002014", 9, "        30022024", {"E 3 ST002014"});
        row("month 13", "set", 3, "ST002001", 9, "          132024", {"E 3 ST002001"});
        row("check character", "set", 9, "SY007001RSSMRA70A01H501", 24, "X", {"E 9 SY007001"});
        row("positional number", "set", 2, {}, 94, "0A0", {"E 2 12"});
        row("filler not blank", "set", 1, {}, 100, "X", {"E 1 6"});
        row("box of SV", "set", 2, {}, 1142, "0", {"E 2"});
        row("data after the fields", "set", 8, {}, 1890, "X", {"E 8"});
        row("paid differs", "set", 3, "ST002007", 9, "        18452,36", {"W 3 ST002007"});
        row("Latin-1 accent", "set", 2, {}, 150, "\xE0", {"W 2"});
        row("UTF-8 accent", "set", 2, {}, 150, "\xC3\xA0", {"E 2"});
        row("control character", "set", 2, {}, 150, "\t", {"E 2"});
    }

    void corruptedCopies()
    {
        QFETCH(QString, op);
        QFETCH(int, line);
        QFETCH(QByteArray, needle);
        QFETCH(int, pos);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);

        QList<QByteArray> records = recordsOf(demoSupply());
        QByteArray end = "\r\n";
        if (line > 0) {
            QByteArray &r = records[line - 1];
            int at = pos - 1;
            if (!needle.isEmpty()) {
                const int n = int(r.indexOf(needle));
                QVERIFY2(n >= 0, needle.constData());
                at = n + pos - 1;
            }
            if (op == u"set")
                r.replace(at, bytes.size() == 2 && uchar(bytes[0]) == 0xC3 ? 1 : bytes.size(), bytes);
            else if (op == u"delete")
                r.remove(at, 1);
            else if (op == u"insert")
                r.insert(at, bytes);
            else if (op == u"dup")
                records.insert(line, QByteArray(bytes + r.mid(1)));
            else if (op == u"swap")
                std::swap(records[line - 1], records[line]);
            else if (op == u"module")
                for (int i = line - 1; i < line + 2; ++i)
                    records[i].replace(at, bytes.size(), bytes);
        }
        QByteArray file = join(records, end);
        if (op == u"lf")
            file = join(records, "\n");
        if (op == u"truncate")
            file.chop(1900 - pos);
        CheckReport report;
        const QStringList found = check({write(QStringLiteral("copy"), file)}, &report);
        for (const Finding &f : report.findings)
            qInfo("%s", qPrintable(f.toString()));
        QCOMPARE(found, expected);
        QCOMPARE(report.exitCode(), expected.first().startsWith(u'E') ? 1 : 0);
    }

    void unreadable_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("empty file") << "empty";
        QTest::newRow("directory") << "dir";
        QTest::newRow("missing") << "missing";
    }
    void unreadable()
    {
        QFETCH(QString, kind);
        QString path = m_tmp.filePath(kind);
        if (kind == u"empty")
            write(kind, {});
        else if (kind == u"dir")
            QDir().mkpath(path);
        CheckReport report;
        check({path}, &report);
        QCOMPARE(report.exitCode(), 2);
        QCOMPARE(report.findings.size(), 1);
    }

    // A file that is no supply at all is named as such once, however long.
    void notASupply()
    {
        QByteArray junk;
        for (int i = 0; i < 20000; ++i)
            junk += QByteArray(1898, 'x') + "\r\n";
        CheckReport report;
        const QStringList found = check({write(QStringLiteral("junk"), junk)}, &report);
        QCOMPARE(found, QStringList{QStringLiteral("E 1")});
    }

    // One file of a split supply named alone, and both named in reverse order.
    void splitSupplyNumbering()
    {
        QList<QByteArray> records = recordsOf(demoSupply());
        QList<QByteArray> first = records.mid(0, 2), second = records.mid(0, 2);
        first += records.mid(2, 6);  // D
        second += records.mid(8, 2); // I, J
        first.append(records.last());
        second.append(records.last());
        first[0].replace(521, 8, "00010002");
        second[0].replace(521, 8, "00020002");
        first.last().replace(24, 36, "000000006000000000000000000000000000");
        second.last().replace(24, 36, "000000000000000000000000001000000001");
        const QString a = write(QStringLiteral("split"), join(first));
        const QString b = write(QStringLiteral("split_2"), join(second));
        QCOMPARE(check({b, a}), QStringList());
        const QStringList alone = check({a});
        QVERIFY(alone.contains(QStringLiteral("E 1 7")));
    }
};

JEX_TEST_MAIN(TstSupplyCheck)

#include "tst_supplycheck.moc"
