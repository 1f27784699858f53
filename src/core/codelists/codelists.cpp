#include "codelists/codelists.h"

#include "codelists/codelistfile.h"

#include "base/errors.h"
#include "base/numformat.h"
#include "base/outputfile.h"
#include "base/paths.h"
#include "catalogue/catalogue.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSet>

namespace jex {

// The codes of a list file as they were read.
struct CachedCodeList
{
    QDateTime modified;
    qint64 size = -1;
    FieldType type = FieldType::String;
    QHash<QString, QString> codes; // code -> description
    int rows = 0;
};

namespace {

const QString kCds = QStringLiteral(".CDS");
const QString kSource = QStringLiteral(".fonte.txt");

QString withSlash(const QString &d) { return d.endsWith(u'/') ? d : d + u'/'; }

// The file NAME + suffix in a folder, matched without regard to case.
// The files of a folder as last listed, by lower-case name; listed again
// when the folder changes (a list loaded or removed changes its time).
struct FolderListing
{
    QDateTime modified;
    QDateTime listed;
    bool exists = false;
    QHash<QString, QStringList> files;
};

QMutex g_folderLock;
QHash<QString, FolderListing> g_folders;

QString fileIn(const QString &dir, const QString &name, const QString &suffix)
{
    if (dir.isEmpty())
        return {};
    // A code is checked for every row a load reads: one look at the folder
    // then, not a listing of it.
    const QFileInfo di(dir);
    const bool exists = di.isDir();
    const QDateTime modified = exists ? di.lastModified() : QDateTime();
    const QString wanted = name + suffix;
    QMutexLocker lock(&g_folderLock);
    auto it = g_folders.find(dir);
    // A folder changed shortly before it was listed may change again within
    // the same tick of its time stamp: such a listing is not trusted.
    const bool trusted = it != g_folders.end() && it->exists == exists && it->modified == modified
                         && (!exists || modified.secsTo(it->listed) > 2);
    if (!trusted) {
        FolderListing l;
        l.exists = exists;
        l.modified = modified;
        l.listed = QDateTime::currentDateTimeUtc();
        if (exists)
            for (const QString &f : QDir(dir).entryList(QDir::Files | QDir::Hidden))
                l.files[f.toLower()] << f;
        it = g_folders.insert(dir, l);
    }
    const auto found = it->files.constFind(wanted.toLower());
    if (found == it->files.cend())
        return {};
    // Two files that differ only in case: the one written as asked.
    const QString chosen = found->contains(wanted) ? wanted : found->first();
    return withSlash(dir) + chosen;
}

QString readSourceLine(const QString &cdsPath)
{
    const QFileInfo fi(cdsPath);
    const QString p = Paths::resolveIn(fi.absolutePath(), fi.completeBaseName() + kSource);
    QFile f(p);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readLine()).trimmed();
}

// The form in which a code is compared: integer and decimal codes by value,
// so that "07" and 7 are the same code.
QString codeKey(FieldType listType, const QVariant &code)
{
    if (!code.isValid() || code.isNull())
        return {};
    const QString s = code.toString().trimmed();
    if (listType == FieldType::Integer) {
        bool ok = false;
        const qint64 n = s.toLongLong(&ok);
        return ok ? QString::number(n) : s;
    }
    if (listType == FieldType::Currency) {
        double v = 0;
        if (code.typeId() == QMetaType::Double)
            v = code.toDouble();
        else if (!parseAmount(s, &v))
            return s;
        return QString::number(v, 'f', 2);
    }
    return s;
}

QMutex g_cacheLock;
QHash<QString, CachedCodeList> g_cache;

// The codes of a list file, read again when the file has changed.
CachedCodeList cachedList(const QString &path)
{
    const QFileInfo fi(path);
    QMutexLocker lock(&g_cacheLock);
    auto it = g_cache.find(path);
    if (it != g_cache.end() && it->modified == fi.lastModified() && it->size == fi.size())
        return *it;
    CachedCodeList c;
    c.modified = fi.lastModified();
    c.size = fi.size();
    ClientDataSet ds;
    ds.loadFromFile(path);
    if (ds.fieldCount() > 0) {
        c.type = ds.field(0)->type();
        for (ds.first(); !ds.eof(); ds.next())
            c.codes.insert(codeKey(c.type, ds.field(0)->value()),
                           ds.fieldCount() > 1 ? ds.field(1)->asString().trimmed() : QString());
        c.rows = ds.recordCount();
    }
    g_cache.insert(path, c);
    return c;
}

} // namespace

struct CodeLists::Memo
{
    QMutex lock;
    QHash<QString, CachedCodeList> lists; // by list name; no path: no such list
};

CodeLists::CodeLists(const QString &deliveredDir, const QString &userDir)
    : m_delivered(deliveredDir.isEmpty() ? QString() : withSlash(deliveredDir)),
      m_user(userDir.isEmpty() ? QString() : withSlash(userDir)), m_memo(std::make_shared<Memo>())
{
}

QString CodeLists::userDir() { return Paths::resolve(QStringLiteral("USR/YRDati/YR2024/Tabelle/")); }

CodeLists CodeLists::installation()
{
    // The folders of an installation are looked up once per main folder:
    // a check asks for them for every record.
    static QMutex lock;
    static QHash<QString, QPair<QString, QString>> dirs;
    const QString main = Paths::mainDir();
    QMutexLocker locker(&lock);
    auto it = dirs.find(main);
    if (it == dirs.end())
        it = dirs.insert(main, {Paths::tablesDir(), userDir()});
    return CodeLists(it->first, it->second);
}

CachedCodeList CodeLists::list(const QString &name) const
{
    const QString n = listName(name);
    QMutexLocker locker(&m_memo->lock);
    auto it = m_memo->lists.find(n);
    if (it == m_memo->lists.end()) {
        const QString p = filePath(n);
        it = m_memo->lists.insert(n, p.isEmpty() ? CachedCodeList() : cachedList(p));
    }
    return *it;
}

QString CodeLists::listName(const QString &nameOrFile)
{
    QString n = QFileInfo(nameOrFile.trimmed()).fileName();
    if (n.endsWith(kCds, Qt::CaseInsensitive))
        n.chop(kCds.size());
    return n.toUpper();
}

QStringList CodeLists::names() const
{
    QSet<QString> all;
    for (const QString &dir : {m_delivered, m_user}) {
        if (dir.isEmpty())
            continue;
        const QStringList files = QDir(dir).entryList(QDir::Files);
        for (const QString &f : files)
            if (f.endsWith(kCds, Qt::CaseInsensitive))
                all.insert(listName(f));
    }
    QStringList out(all.begin(), all.end());
    out.sort();
    return out;
}

QString CodeLists::filePath(const QString &name) const
{
    const QString n = listName(name);
    if (n.isEmpty())
        return {};
    const QString user = fileIn(m_user, n, kCds);
    return user.isEmpty() ? fileIn(m_delivered, n, kCds) : user;
}

CodeListInfo CodeLists::info(const QString &name) const
{
    CodeListInfo i;
    i.name = listName(name);
    i.path = filePath(name);
    if (i.path.isEmpty())
        return i;
    i.updated = !fileIn(m_user, i.name, kCds).isEmpty();
    i.source = readSourceLine(i.path);
    i.rows = cachedList(i.path).rows;
    return i;
}

void CodeLists::open(const QString &name, ClientDataSet &ds) const
{
    const QString p = filePath(name);
    if (p.isEmpty())
        throw EQxError(QStringLiteral("Tabella dei codici sconosciuta: %1").arg(listName(name)));
    ds.loadFromFile(p);
}

CodeListLoadResult CodeLists::load(const QString &name, const QString &file, int codeWidth) const
{
    const QString n = listName(name);
    ClientDataSet current;
    open(n, current);
    if (m_user.isEmpty())
        throw EQxError(QStringLiteral("Manca la cartella delle tabelle dell'utente"));

    CodeListReadOptions opt;
    opt.columns = current.fieldDefs();
    opt.codeWidth = codeWidth;
    opt.requireRows = true;
    ClientDataSet ds;
    QString source = readCodeListFile(file, opt, ds);
    const QString fileName = QFileInfo(file).fileName();
    const QString stamp = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
    source = source.isEmpty() ? QStringLiteral("Caricata dal file %1 il %2").arg(fileName, stamp)
                              : QStringLiteral("%1 (caricata dal file %2 il %3)").arg(source, fileName, stamp);

    CodeListLoadResult r;
    r.rows = ds.recordCount();
    r.previousRows = current.recordCount();
    QDir().mkpath(m_user);
    const QString target = fileIn(m_user, n, kCds).isEmpty() ? m_user + n + kCds : fileIn(m_user, n, kCds);
    QList<QPair<QString, QByteArray>> files;
    // The list in force before (the user's or the delivered one) stays
    // beside the new one, so a wrong file can be undone by hand.
    r.backup = target + QStringLiteral(".bak");
    files.append({r.backup, current.saveToBytes()});
    files.append({target, ds.saveToBytes()});
    files.append({m_user + n + kSource, (source + u'\n').toUtf8()});
    writeOutputFiles(files);
    QMutexLocker locker(&m_memo->lock);
    m_memo->lists.remove(n);
    return r;
}

bool CodeLists::contains(const QString &name, const QVariant &code) const
{
    const CachedCodeList c = list(name);
    return c.codes.contains(codeKey(c.type, code));
}

int CodeLists::rowCount(const QString &name) const { return list(name).rows; }

QString CodeLists::description(const QString &name, const QVariant &code) const
{
    const CachedCodeList c = list(name);
    return c.codes.value(codeKey(c.type, code));
}

QString codeDescriptionText(const CodeLists &lists, const QString &name, const QString &code)
{
    const QString t = code.trimmed();
    if (t.isEmpty() || lists.rowCount(name) == 0)
        return {};
    if (!lists.contains(name, t))
        return QStringLiteral("Codice non presente nella tabella %1").arg(CodeLists::listName(name));
    const QString d = lists.description(name, t);
    return d.isEmpty() ? t : QStringLiteral("%1 — %2").arg(t, d);
}

QString emptyCodeListText(const QString &name)
{
    const QString n = CodeLists::listName(name);
    return QStringLiteral("La tabella %1 non è stata fornita con il programma: caricarne i codici da "
                          "Tabelle > Tabelle codici o con \"jex770 codelist load %1 FILE\".")
        .arg(n);
}

int codeListColumnWidth(const QString &name)
{
    const QString n = CodeLists::listName(name);
    int width = 0;
    try {
        for (const CatalogueTable *t : TableCatalogue::instance().tables(QStringLiteral("jex")))
            for (const CatalogueColumn &c : t->columns)
                if (c.kind == ColumnKind::Text && c.size > 0 && !c.codelist.startsWith(u'@')
                    && CodeLists::listName(c.codelist) == n)
                    width = width == 0 ? c.size : qMin(width, c.size);
    } catch (const EQxError &) {
        return 0; // no catalogue: only the list's own width applies
    }
    return width;
}

} // namespace jex
