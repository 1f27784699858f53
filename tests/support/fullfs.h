#pragma once

// A small file system that is full, for the tests of write failures: a tmpfs
// mounted on a temporary folder (needs root) and filled up. Where mounting is
// not allowed the tests that need it are skipped.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace jex::test {

class FullFileSystem
{
public:
    explicit FullFileSystem(const char *size = "256k")
    {
        if (!m_dir.isValid()) {
            m_skip = QStringLiteral("cartella temporanea non disponibile");
            return;
        }
        const QByteArray where = QFile::encodeName(m_dir.path());
        if (::mount("tmpfs", where.constData(), "tmpfs", 0, QByteArray("size=").append(size).constData()) != 0) {
            m_skip = QStringLiteral("impossibile montare un tmpfs (%1): serve l'utente root")
                         .arg(QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        m_mounted = true;
    }
    ~FullFileSystem()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    FullFileSystem(const FullFileSystem &) = delete;
    FullFileSystem &operator=(const FullFileSystem &) = delete;

    bool available() const { return m_mounted; }
    QString skipReason() const { return m_skip; }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    // Writes a file with the given bytes while there is room (the file that
    // must survive a failed save).
    bool put(const QString &name, const QByteArray &bytes) const
    {
        QFile f(filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush();
    }

    // Takes every free block: afterwards any write of data fails with ENOSPC.
    bool fill() const
    {
        const int fd = ::open(QFile::encodeName(filePath(QStringLiteral(".riempimento"))).constData(),
                              O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0)
            return false;
        const QByteArray block(4096, 'x');
        while (::write(fd, block.constData(), size_t(block.size())) > 0) {
        }
        // The last partial block, byte by byte.
        while (::write(fd, "x", 1) > 0) {
        }
        const bool full = errno == ENOSPC;
        ::close(fd);
        return full;
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_skip;
};

} // namespace jex::test
