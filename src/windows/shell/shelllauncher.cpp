#include "shell/shelllauncher.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace jex {

bool TQxAttShell::openDocument(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

bool TQxAttShell::Execute()
{
    const QString target = m_fileName.isEmpty() ? m_directory
                                                : (m_directory.isEmpty() ? m_fileName
                                                                         : QDir(m_directory).filePath(m_fileName));
    const QFileInfo fi(target);
    if (fi.isDir() || !fi.isExecutable())
        return openDocument(target);
    QProcess p;
    if (!m_directory.isEmpty())
        p.setWorkingDirectory(m_directory);
    if (!m_wait)
        return QProcess::startDetached(fi.absoluteFilePath(), m_params, m_directory);
    p.start(fi.absoluteFilePath(), m_params);
    if (!p.waitForStarted())
        return false;
    p.waitForFinished(-1);
    m_exitCode = p.exitCode();
    return true;
}

} // namespace jex
