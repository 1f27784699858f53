// Build-time conversion of the code-list sources (tab-separated text with a
// typed header line) into the program's client-dataset files.

#include "base/commands.h"
#include "registration.h"
#include "dataset/dataset.h"
#include "base/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace jex {

// Reads one source file into a dataset. Header: NAME:TYPE[:SIZE] per column,
// TYPE S (text), I (integer) or F (decimal, 2 places). "#" starts a comment.
void loadCodeListSource(const QString &path, ClientDataSet &ds)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        throw EQxError(QStringLiteral("Impossibile aprire %1").arg(path));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
    ds.clearFields();
    bool header = true;
    int lineNo = 0;
    for (QString line : lines) {
        ++lineNo;
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList cells = line.split(u'\t');
        if (header) {
            for (const QString &c : cells) {
                const QStringList p = c.trimmed().split(u':');
                const QString t = p.value(1).toUpper();
                if (p.value(0).isEmpty() || (t != u"S" && t != u"I" && t != u"F"))
                    throw EQxError(QStringLiteral("%1: colonna non valida \"%2\" nell'intestazione").arg(path, c));
                if (t == u"S")
                    ds.addField(p[0], FieldType::String, p.value(2).toInt());
                else if (t == u"I")
                    ds.addField(p[0], FieldType::Integer);
                else
                    ds.addField(p[0], FieldType::Currency, 0, 2);
            }
            ds.createDataSet();
            ds.setLogChanges(false);
            header = false;
            continue;
        }
        if (cells.size() != ds.fieldCount())
            throw EQxError(QStringLiteral("%1, riga %2: %3 colonne invece di %4")
                               .arg(path).arg(lineNo).arg(cells.size()).arg(ds.fieldCount()));
        ds.append();
        try {
            for (int i = 0; i < cells.size(); ++i)
                ds.field(i)->setValue(cells[i].isEmpty() ? QVariant() : QVariant(cells[i]));
            ds.post();
        } catch (const EQxError &e) {
            ds.cancel();
            throw EQxError(QStringLiteral("%1, riga %2: %3").arg(path).arg(lineNo).arg(e.message()));
        }
    }
    if (header)
        throw EQxError(QStringLiteral("%1: manca l'intestazione").arg(path));
    ds.setLogChanges(true);
}


void registerCodeLists(Registry &registry)
{
    Command c;
    c.name = QStringLiteral("build-codelists");
    c.synopsis = QStringLiteral("build-codelists DIR SOURCE.tsv...");
    c.description = QStringLiteral("Converte le tabelle dei codici nei file .CDS.");
    c.hidden = true;
    c.needsStartup = false;
    c.run = [](const CommandArgs &a) {
        if (a.positional.size() < 2)
            return 2;
        QDir().mkpath(a.positional[0]);
        for (int i = 1; i < a.positional.size(); ++i) {
            ClientDataSet ds;
            loadCodeListSource(a.positional[i], ds);
            const QString out = a.positional[0] + u'/' + QFileInfo(a.positional[i]).completeBaseName() + QStringLiteral(".CDS");
            ds.saveToFile(out);
        }
        return 0;
    };
    registry.commands.add(c);
}

} // namespace jex
