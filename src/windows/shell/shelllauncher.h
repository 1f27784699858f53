#pragma once

#include <QString>
#include <QStringList>

namespace jex {

// Shell launcher: opens a document or a folder with the desktop's associated
// program, or runs an external program and, when asked, waits for its end.
class TQxAttShell
{
public:
    void SetDirectory(const QString &dir) { m_directory = dir; }
    void SetFileName(const QString &file) { m_fileName = file; }
    void SetParam(const QStringList &params) { m_params = params; }
    void SetWaitEndOfProcess(bool wait) { m_wait = wait; }
    // False when nothing could be opened or started; the exit code of a
    // waited program is in exitCode().
    bool Execute();
    int exitCode() const { return m_exitCode; }

    static bool openDocument(const QString &path);

private:
    QString m_directory, m_fileName;
    QStringList m_params;
    bool m_wait = false;
    int m_exitCode = 0;
};

} // namespace jex
