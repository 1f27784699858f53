#pragma once

// Runs the built jex770 as a user runs it, for the tests of the program as
// a whole: offscreen, without the database or installation chosen by the
// environment, its standard output and error kept apart.

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace jex::test {

struct ProgramRun
{
    int rc = -1; // -1: crashed or did not finish
    QString out;
    QString err;
};

inline QString programPath()
{
    return qEnvironmentVariable("JEX770_BUILD_DIR") + QStringLiteral("/dist/bin/jex770");
}

inline ProgramRun runProgram(const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("JEX770_DATABASE"));
    env.remove(QStringLiteral("JEX770_MAIN_DIR"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(programPath(), args);
    ProgramRun r;
    if (!p.waitForFinished(300000))
        return r;
    r.rc = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

inline QByteArray fileContents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace jex::test
