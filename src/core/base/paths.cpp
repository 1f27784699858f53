#include "base/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace jex {

static QString g_mainDir;

static QString withSlash(QString d)
{
    d = QDir::fromNativeSeparators(d);
    if (!d.endsWith(u'/'))
        d += u'/';
    return d;
}

QString Paths::mainDir()
{
    if (g_mainDir.isEmpty()) {
        const QString env = qEnvironmentVariable("JEX770_MAIN_DIR");
        if (!env.isEmpty())
            g_mainDir = withSlash(QDir(env).absolutePath());
        else if (QCoreApplication::instance())
            g_mainDir = withSlash(QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).absolutePath());
        else
            g_mainDir = withSlash(QDir::currentPath());
    }
    return g_mainDir;
}

void Paths::setMainDir(const QString &dir)
{
    g_mainDir = dir.isEmpty() ? QString() : withSlash(QDir(dir).absolutePath());
}

QString Paths::resolve(const QString &relative) { return resolveIn(mainDir(), relative); }

QString Paths::resolveIn(const QString &base, const QString &relative)
{
    QString rel = QDir::fromNativeSeparators(relative);
    const bool trailing = rel.endsWith(u'/');
    QString current = withSlash(base);
    const QStringList parts = rel.split(u'/', Qt::SkipEmptyParts);
    bool exists = QFileInfo::exists(current);
    for (int i = 0; i < parts.size(); ++i) {
        const QString &part = parts[i];
        QString chosen = part;
        if (exists && part != u"." && part != u"..") {
            if (!QFileInfo::exists(current + part)) {
                const QStringList entries = QDir(current).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
                for (const QString &e : entries)
                    if (e.compare(part, Qt::CaseInsensitive) == 0) {
                        chosen = e;
                        break;
                    }
            }
        }
        current += chosen;
        exists = exists && QFileInfo::exists(current);
        if (i + 1 < parts.size() || trailing)
            current += u'/';
    }
    return current;
}

} // namespace jex
