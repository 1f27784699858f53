#include "imports/exportfolder.h"

#include "base/errors.h"
#include "catalogue/catalogue.h"
#include "dataset/dataset.h"

#include <QDir>
#include <QFileInfo>

namespace jex {

ExportFolder::ExportFolder(const QString &dir) : m_dir(QDir::fromNativeSeparators(dir)) {}

QString ExportFolder::fileOf(const QString &table) const
{
    const QString wanted = table + QStringLiteral(".cds");
    const QDir dir(m_dir);
    for (const QString &name : dir.entryList(QDir::Files))
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            return dir.filePath(name);
    return {};
}

QStringList ExportFolder::missing(const QStringList &tables) const
{
    QStringList out;
    for (const QString &t : tables)
        if (fileOf(t).isEmpty())
            out << t;
    return out;
}

void ExportFolder::requireTables(const QStringList &tables) const
{
    if (m_dir.isEmpty() || !QFileInfo(m_dir).isDir())
        throw EQxError(QStringLiteral("La cartella %1 non esiste o non è una cartella.").arg(QDir::toNativeSeparators(m_dir)));
    const QStringList absent = missing(tables);
    if (absent.isEmpty())
        return;
    QStringList files;
    for (const QString &t : absent)
        files << t + QStringLiteral(".CDS");
    throw EQxError(QStringLiteral("Nella cartella %1 %2 %3: la cartella deve contenere le tabelle esportate con "
                                  "\"Esporta dati\" dal sostituto estinto.")
                       .arg(QDir::toNativeSeparators(m_dir),
                            files.size() == 1 ? QStringLiteral("manca il file") : QStringLiteral("mancano i file"),
                            files.join(QStringLiteral(", "))));
}

void ExportFolder::open(const QString &table, ClientDataSet &ds, const QStringList &required) const
{
    requireTables({table});
    const QString path = fileOf(table);
    const QString shown = QDir::toNativeSeparators(path);
    ds.loadFromFile(path); // names the file when it is damaged or truncated
    if (!ds.isActive())
        ds.open();
    QStringList lacking;
    for (const QString &c : required)
        if (ds.fieldIndex(c) < 0)
            lacking << c;
    // The file of another table, renamed or copied over: its columns are not
    // this table's.
    QStringList foreign;
    if (const CatalogueTable *t = TableCatalogue::instance().table(table)) {
        for (int i = 0; i < ds.fieldCount(); ++i) {
            const QString name = ds.field(i)->name();
            if (name.compare(u"IFISRIGO", Qt::CaseInsensitive) == 0 || name.compare(u"IAFIID", Qt::CaseInsensitive) == 0)
                continue;
            if (!t->column(name))
                foreign << name;
        }
    }
    if (!lacking.isEmpty() || !foreign.isEmpty()) {
        const QStringList shownColumns = (foreign.isEmpty() ? lacking : foreign).mid(0, 5);
        throw EQxError(QStringLiteral("Il file %1 non contiene la tabella %2: %3 %4%5.")
                           .arg(shown, table,
                                foreign.isEmpty() ? QStringLiteral("mancano le colonne")
                                                  : QStringLiteral("ha colonne che la tabella non prevede:"),
                                shownColumns.join(QStringLiteral(", ")),
                                (foreign.isEmpty() ? lacking : foreign).size() > 5 ? QStringLiteral(", ...") : QString()));
    }
}

} // namespace jex
