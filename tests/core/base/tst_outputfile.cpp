// Output files: written whole or not at all, the old file kept on failure,
// devices and pipes written directly.

#include "base/errors.h"
#include "base/outputfile.h"
#include "fullfs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include "coretest.h"

#include <QtTest>

#include <sys/stat.h>
#include <thread>

using namespace jex;
using namespace jex::test;

namespace {

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<illeggibile>");
}

QString failureOf(const std::function<void()> &write)
{
    try {
        write();
    } catch (const EQxError &e) {
        return e.message();
    }
    return {};
}

} // namespace

class TstOutputFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void replacesTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("770.txt"));
        writeOutputFile(path, "vecchio");
        writeOutputFile(path, "nuovo contenuto");
        QCOMPARE(contents(path), QByteArray("nuovo contenuto"));
        // No temporary file is left beside it.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("770.txt")});
    }

    void refusedTargets_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<QString>("reason");
        QTest::newRow("folder missing") << "manca/770.txt" << "la cartella non esiste";
        QTest::newRow("target is a folder") << "cartella" << "il percorso indica una cartella";
        QTest::newRow("folder is a file") << "file/770.txt" << "un elemento del percorso non è una cartella";
    }
    void refusedTargets()
    {
        QFETCH(QString, relative);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("cartella")));
        writeOutputFile(dir.filePath(QStringLiteral("file")), "x");
        const QString path = dir.filePath(relative);
        const QString message = failureOf([&] { writeOutputFile(path, "dati"); });
        QCOMPARE(message, QStringLiteral("Impossibile scrivere il file %1: %2").arg(QDir::toNativeSeparators(path), reason));
    }

    void fullDiskKeepsThePreviousFile()
    {
        FullFileSystem fs;
        if (!fs.available())
            QSKIP(qPrintable(fs.skipReason()));
        const QString path = fs.filePath(QStringLiteral("770.txt"));
        QVERIFY(fs.put(QStringLiteral("770.txt"), "fornitura inviata"));
        QVERIFY(fs.fill());
        const QString message = failureOf([&] { writeOutputFile(path, QByteArray(64 * 1024, 'A')); });
        QCOMPARE(message, QStringLiteral("Impossibile scrivere il file %1: spazio esaurito sul disco").arg(path));
        QCOMPARE(contents(path), QByteArray("fornitura inviata"));
        const QStringList left = QDir(fs.filePath(QString())).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(left, QStringList({QStringLiteral(".riempimento"), QStringLiteral("770.txt")}));
    }

    void onePartFailsNoneIsReplaced()
    {
        QTemporaryDir dir;
        const QString first = dir.filePath(QStringLiteral("770"));
        writeOutputFile(first, "parte 1 inviata");
        const QString message = failureOf([&] {
            writeOutputFiles({{first, "parte 1 nuova"}, {dir.filePath(QStringLiteral("manca/770_2")), "parte 2"}});
        });
        QVERIFY(message.startsWith(QStringLiteral("Impossibile scrivere il file")));
        QCOMPARE(contents(first), QByteArray("parte 1 inviata"));
    }

    void pipeIsWrittenDirectly()
    {
        // A named pipe stays a pipe: a save that renamed a temporary file over
        // it would leave a regular file and the reader would get nothing.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tubo"));
        const QByteArray name = QFile::encodeName(path);
        QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        QByteArray received;
        std::thread reader([&] {
            QFile f(path);
            if (f.open(QIODevice::ReadOnly))
                received = f.readAll();
        });
        const QString message = failureOf([&] { writeOutputFile(path, "record A\r\nrecord Z\r\n"); });
        reader.join();
        QCOMPARE(message, QString());
        QCOMPARE(received, QByteArray("record A\r\nrecord Z\r\n"));
        struct stat st {};
        QCOMPARE(::stat(name.constData(), &st), 0);
        QVERIFY(S_ISFIFO(st.st_mode));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("tubo")});
    }

    void outputFolderThatCannotBeMade()
    {
        QTemporaryDir dir;
        writeOutputFile(dir.filePath(QStringLiteral("file")), "x");
        const QString message = failureOf([&] { makeOutputFolder(dir.filePath(QStringLiteral("file/sotto/770.txt"))); });
        QVERIFY2(message.startsWith(QStringLiteral("Impossibile creare la cartella %1")
                                        .arg(QDir::toNativeSeparators(dir.filePath(QStringLiteral("file/sotto"))))),
                 qPrintable(message));
    }
};

JEX_TEST_MAIN(TstOutputFile)
#include "tst_outputfile.moc"
