#include "base/outputfile.h"

#include "errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <memory>
#include <vector>

namespace jex {

QString systemErrorText(int error)
{
    switch (error) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return QStringLiteral("spazio esaurito sul disco");
    case EACCES:
    case EPERM:
        return QStringLiteral("permesso negato");
    case ENOENT:
        return QStringLiteral("la cartella non esiste");
    case ENOTDIR:
        return QStringLiteral("un elemento del percorso non è una cartella");
    case EEXIST:
        return QStringLiteral("esiste già un file con questo nome");
    case EISDIR:
        return QStringLiteral("il percorso indica una cartella");
    case EROFS:
        return QStringLiteral("il disco è di sola lettura");
    case EFBIG:
        return QStringLiteral("il file supera la dimensione consentita");
    case EIO:
        return QStringLiteral("errore di ingresso/uscita del disco");
    default:
        return QStringLiteral("errore di sistema %1").arg(error);
    }
}

namespace {

QString failure(const QString &path, int error)
{
    return QStringLiteral("Impossibile scrivere il file %1: %2").arg(QDir::toNativeSeparators(path),
                                                                     systemErrorText(error ? error : EIO));
}

// True when the path names something that exists and is not a regular file
// (symbolic links are followed: a link to a regular file is replaced as usual).
bool isSpecialFile(const QString &path)
{
    const QFileInfo fi(path);
    return fi.exists() && !fi.isFile() && !fi.isDir();
}

void checkTarget(const QString &path)
{
    const QFileInfo fi(path);
    if (fi.isDir())
        throw EQxError(failure(path, EISDIR));
    const QFileInfo dir(fi.absolutePath());
    if (!dir.exists())
        throw EQxError(failure(path, ENOENT));
    if (!dir.isDir())
        throw EQxError(failure(path, ENOTDIR));
}

void writeDirectly(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    errno = 0;
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw EQxError(failure(path, errno));
    errno = 0;
    if (f.write(bytes) != bytes.size() || !f.flush())
        throw EQxError(failure(path, errno));
    f.close();
    if (f.error() != QFileDevice::NoError)
        throw EQxError(failure(path, errno));
}

struct Pending
{
    QString path;
    std::unique_ptr<QSaveFile> file;
};

// Writes the bytes into the temporary file of a QSaveFile without putting it
// in place yet.
std::unique_ptr<QSaveFile> prepare(const QString &path, const QByteArray &bytes)
{
    checkTarget(path);
    auto f = std::make_unique<QSaveFile>(path);
    errno = 0;
    if (!f->open(QIODevice::WriteOnly))
        throw EQxError(failure(path, errno));
    errno = 0;
    if (f->write(bytes) != bytes.size() || !f->flush()) {
        const int e = errno;
        f->cancelWriting();
        throw EQxError(failure(path, e));
    }
    return f;
}

void commit(QSaveFile &f, const QString &path)
{
    errno = 0;
    if (!f.commit())
        throw EQxError(failure(path, errno));
}

} // namespace

void makeOutputFolder(const QString &path)
{
    const QString dir = QFileInfo(path).absolutePath();
    errno = 0;
    if (!QDir().mkpath(dir))
        throw EQxError(QStringLiteral("Impossibile creare la cartella %1: %2")
                           .arg(QDir::toNativeSeparators(dir), systemErrorText(errno ? errno : EACCES)));
}

void writeOutputFile(const QString &path, const QByteArray &bytes)
{
    writeOutputFiles({{path, bytes}});
}

void writeOutputFiles(const QList<QPair<QString, QByteArray>> &files)
{
    std::vector<Pending> pending;
    for (const auto &[path, bytes] : files) {
        if (isSpecialFile(path)) {
            // Never renamed over: writing to a device or a pipe is already final.
            writeDirectly(path, bytes);
            continue;
        }
        pending.push_back({path, prepare(path, bytes)});
    }
    for (Pending &p : pending)
        commit(*p.file, p.path);
}

} // namespace jex
