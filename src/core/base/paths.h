#pragma once

#include <QString>

namespace jex {

// The installation's main directory and the fixed paths below it. Relative
// paths are written with "/"; each part is matched without regard to case,
// so an installation copied from a case-insensitive file system still works.
class Paths
{
public:
    static QString mainDir();              // with a trailing "/"
    static void setMainDir(const QString &dir);

    // MainDir + relative, each existing part resolved without regard to case;
    // the parts that do not exist are kept as written.
    static QString resolve(const QString &relative);
    static QString resolveIn(const QString &base, const QString &relative);

    static QString binDir() { return resolve(QStringLiteral("bin/")); }
    static QString etcDir() { return resolve(QStringLiteral("etc/zpt/")); }      // ..\etc\zpt\ beside bin
    static QString usrZptDir() { return resolve(QStringLiteral("usr/zpt/")); }  // ..\usr\zpt\ beside bin
    static QString resDir() { return resolve(QStringLiteral("USR/YR2024/Res/")); }
    static QString newsDir() { return resolve(QStringLiteral("USR/YR2024/Res/NoteAgg/")); }
    static QString tablesDir() { return resolve(QStringLiteral("USR/YR2024/Res/Tabelle/")); }
    static QString fileTelDir() { return resolve(QStringLiteral("USR/YR2024/Res/FileTel/")); }
    static QString coordDir() { return resolve(QStringLiteral("USR/YR2024/Res/CoordStp/")); }
    static QString importDir() { return resolve(QStringLiteral("usr/YR2024/res/import/")); }
    static QString printsDir() { return resolve(QStringLiteral("USR/YR2024/Stp/")); }
    static QString dataDir() { return resolve(QStringLiteral("USR/YRDati/YR2024/")); }
    // Last year's data folder of this installation: the earlier return.
    static QString previousDataDir() { return resolve(QStringLiteral("USR/YRDati/YR2023/")); }
    static QString initialDbDir() { return resolve(QStringLiteral("USR/YR2024/DbIniziale/")); }
    static QString telematicOutDir() { return resolve(QStringLiteral("USR/YR2024/Dich770/")); }
    static QString catalogueDir() { return resolve(QStringLiteral("USR/YR2024/Res/Catalogo/")); }
    static QString tableFile(const QString &fileName) { return resolveIn(tablesDir(), fileName); }
};

} // namespace jex
