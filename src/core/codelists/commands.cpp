// The "codelist" command: the lists in force, one list's codes, and a file
// loaded into a list, so that a school completes a list without a rebuild.

#include "codelists/codecheck.h"
#include "codelists/codelists.h"

#include "base/commands.h"
#include "base/errors.h"
#include "base/paths.h"
#include "registration.h"
#include "sections/transfer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

namespace jex {

namespace {

const QString kUsage = QStringLiteral("codelist list | codelist show TABELLA [--format csv|json] | codelist load TABELLA FILE");

QString csvCell(const QString &text)
{
    if (!text.contains(u';') && !text.contains(u'"') && !text.contains(u'\n'))
        return text;
    return u'"' + QString(text).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

QString listText(const CodeLists &lists)
{
    QString out = QStringLiteral("TABELLA;RIGHE;STATO;FONTE\n");
    for (const QString &n : lists.names()) {
        const CodeListInfo i = lists.info(n);
        const QString state = i.updated ? QStringLiteral("aggiornata") : i.rows == 0 ? QStringLiteral("vuota")
                                                                                     : QStringLiteral("fornita");
        out += QStringLiteral("%1;%2;%3;%4\n").arg(i.name).arg(i.rows).arg(state, csvCell(i.source));
    }
    return out;
}

QString showText(ClientDataSet &ds, bool json)
{
    if (json) {
        QJsonArray rows;
        for (ds.first(); !ds.eof(); ds.next()) {
            QJsonObject o;
            for (int i = 0; i < ds.fieldCount(); ++i) {
                const Field *f = ds.field(i);
                o.insert(f->name(), f->isNull() ? QJsonValue() : f->type() == FieldType::Integer ? QJsonValue(f->asInteger())
                                       : f->isNumeric() ? QJsonValue(f->asFloat()) : QJsonValue(f->asString()));
            }
            rows.append(o);
        }
        return QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Indented));
    }
    QString out = ds.fieldNames().join(u';') + u'\n';
    for (ds.first(); !ds.eof(); ds.next()) {
        QStringList cells;
        for (int i = 0; i < ds.fieldCount(); ++i)
            cells << csvCell(ds.field(i)->editText());
        out += cells.join(u';') + u'\n';
    }
    return out;
}

int runCodeList(const CommandArgs &a)
{
    const QString sub = a.positional.value(0);
    auto usage = [] {
        commandMessage(QStringLiteral("Uso: jex770 %1\n").arg(kUsage));
        return 2;
    };
    const CodeLists lists = CodeLists::installation();
    const bool hasFormat = a.has(QStringLiteral("--format"));
    if (sub == u"list") {
        if (a.positional.size() != 1 || hasFormat)
            return usage();
        commandOutput(listText(lists));
        return 0;
    }
    if (sub != u"show" && sub != u"load") {
        if (!sub.isEmpty())
            commandMessage(QStringLiteral("Operazione sconosciuta per il comando codelist: %1\n").arg(sub));
        return usage();
    }
    if (a.positional.size() != (sub == u"show" ? 2 : 3) || (sub == u"load" && hasFormat))
        return usage();
    const QString name = CodeLists::listName(a.positional[1]);
    if (!lists.exists(name)) {
        commandMessage(QStringLiteral("Tabella dei codici sconosciuta: %1 (l'elenco con \"jex770 codelist list\")\n")
                           .arg(a.positional[1]));
        return 1;
    }
    try {
        if (sub == u"show") {
            const QString fmt = a.value(QStringLiteral("--format"), QStringLiteral("csv")).toLower();
            if (fmt != u"csv" && fmt != u"json") {
                commandMessage(QStringLiteral("Formato sconosciuto: %1 (csv oppure json)\n").arg(fmt));
                return 2;
            }
            ClientDataSet ds;
            lists.open(name, ds);
            commandOutput(showText(ds, fmt == u"json"));
            return 0;
        }
        const CodeListLoadResult r = lists.load(name, a.positional[2], codeListColumnWidth(name));
        commandMessage(QStringLiteral("Tabella precedente (%1 righe) salvata in %2\n").arg(r.previousRows).arg(r.backup));
        commandOutput(QStringLiteral("%1: %2 codici caricati.\n").arg(name).arg(r.rows));
        return 0;
    } catch (const EQxError &e) {
        commandMessage(e.message() + QStringLiteral("\nLa tabella %1 non è stata modificata.\n").arg(name));
        return 1;
    }
}

} // namespace

void registerCodeListCommands(Registry &registry)
{
    Command c;
    c.name = QStringLiteral("codelist");
    c.synopsis = kUsage;
    c.description = QStringLiteral("Elenca le tabelle dei codici, ne mostra una o vi carica i codici di un file "
                                   "(stesso formato delle tabelle fornite).");
    c.valueOptions = {QStringLiteral("--format")};
    c.maxPositional = 3;
    c.needsStartup = false; // files of the installation only, no database
    c.run = runCodeList;
    registry.commands.add(c);

    // A code outside its list does not stop a load: the list may be incomplete.
    // The folders of the lists are found once per installation, not per row.
    registry.loadChecks.addRowWarnings([](const ClientDataSet &ds) {
        static QString mainDir;
        static std::optional<CodeLists> lists;
        if (!lists || mainDir != Paths::mainDir()) {
            lists = CodeLists::installation();
            mainDir = Paths::mainDir();
        }
        return unknownCodeWarnings(ds, *lists);
    });
}

} // namespace jex
