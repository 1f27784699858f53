#include "base/appcontext.h"
#include "registration.h"
#include "base/commands.h"
#include "database/namedsql.h"

#include <cstdio>

namespace jex {

void registerDatabaseCommands(Registry &registry)
{
    Command connect;
    connect.name = QStringLiteral("connect");
    connect.synopsis = QStringLiteral("connect");
    connect.description = QStringLiteral("Apre il database come all'avvio del programma (controlli e manutenzione) e dice se è connesso.");
    connect.maxPositional = 0;
    connect.createsDatabase = true;
    connect.run = [](const CommandArgs &) {
        TdmZptConnessione &c = AppContext::instance().connection();
        commandOutput(QStringLiteral("Connesso al database %1 (versione %2).\n")
                .arg(c.xqoMain.url().display(), c.xqoMain.storedVersion()));
        return 0;
    };
    registry.commands.add(connect);

    // Build-time: compiles the authoring file of the named SQL texts into the
    // table and its certificate.
    Command compile;
    compile.name = QStringLiteral("compile-queries");
    compile.synopsis = QStringLiteral("compile-queries OUT.xml FRAGMENT.xml...");
    compile.description = QStringLiteral("Unisce i testi SQL e produce zpt_QueryText.cds con il certificato.");
    compile.hidden = true;
    compile.needsStartup = false;
    compile.run = [](const CommandArgs &a) {
        if (a.positional.size() < 2) {
            commandOutput(QStringLiteral("Uso: compile-queries OUT.xml FRAMMENTO.xml...\n"));
            return 2;
        }
        TQmrQueryText merged;
        merged.setLogChanges(false);
        for (int i = 1; i < a.positional.size(); ++i) {
            TQmrQueryText part;
            part.loadFromFile(a.positional[i]);
            for (part.first(); !part.eof(); part.next()) {
                merged.append();
                for (int f = 0; f < merged.fieldCount(); ++f) {
                    Field *src = part.findField(merged.field(f)->name());
                    if (src)
                        merged.field(f)->setValue(src->value());
                }
                if (merged.fieldByName(QStringLiteral("Tipo"))->isNull())
                    merged.fieldByName(QStringLiteral("Tipo"))->setValue(QStringLiteral("EXECUTE"));
                if (merged.fieldByName(QStringLiteral("Indice"))->isNull())
                    merged.fieldByName(QStringLiteral("Indice"))->setValue(0);
                merged.post();
            }
        }
        merged.saveToFile(a.positional[0]);
        TQmrQueryText compiled;
        compiled.CompileQueryFile(a.positional[0], true);
        commandOutput(QStringLiteral("%1 testi SQL compilati.\n").arg(compiled.recordCount()));
        return 0;
    };
    registry.commands.add(compile);
}

} // namespace jex
