#include "printing/formengine.h"
#include "registration.h"
#include "sections/directorystore.h"
#include "sections/sectionstore.h"
#include "printing/sectionprints.h"
#include "printing/templates.h"

#include "base/appcontext.h"
#include "base/commands.h"
#include "base/errors.h"
#include "base/messages.h"
#include "base/paths.h"

#include <cstdio>

namespace jex {

void registerPrinting(Registry &registry)
{
    Command print;
    print.name = QStringLiteral("print");
    print.synopsis = QStringLiteral("print VOCE [--out FILE.pdf] [--data CARTELLA]");
    print.description = QStringLiteral(
        "Crea la stampa PDF del frontespizio, di un prospetto o di un riepilogo (VOCE: xafStpFront, axfDI, axfST, "
        "axfSV, axfSX, axfSY, axfSS, xafRiepilogoINPS, xafRiepilogoTassSep, xafRiepilogoIRPEF, "
        "xafRiepilogoINPDAP, xafRiepilogoAutonomi); con --data legge le sezioni esportate in CARTELLA.");
    print.valueOptions = {QStringLiteral("--out"), QStringLiteral("--data")};
    print.maxPositional = 1;
    print.needsStartup = false;
    print.run = [](const CommandArgs &a) {
        if (a.positional.isEmpty()) {
            commandMessage(QStringLiteral("Uso: jex770 print VOCE [--out FILE.pdf] [--data CARTELLA]\n"));
            return 2;
        }
        const QString item = a.positional.first();
        std::unique_ptr<DirectorySectionStore> dirTables;
        if (a.has(QStringLiteral("--data"))) {
            dirTables = std::make_unique<DirectorySectionStore>(a.value(QStringLiteral("--data")));
            setSectionStore(dirTables.get());
        } else if (!AppContext::instance().runStartup()) {
            return 1;
        }
        struct Restore
        {
            ~Restore() { setSectionStore(nullptr); }
        } restore;
        for (const PrintItem &p : printItems(false)) {
            if (p.item.compare(item, Qt::CaseInsensitive) != 0)
                continue;
            const QString path = a.value(QStringLiteral("--out"), Paths::printsDir() + p.fileName);
            try {
                if (!p.run(path)) {
                    commandMessage(noPrintText(p.item.compare(QLatin1String("axfSS"), Qt::CaseInsensitive) == 0) +
                                  QLatin1Char('\n'));
                    return 1;
                }
            } catch (const std::exception &e) {
                messages().error(errorText(e));
                return 1;
            }
            commandOutput(QStringLiteral("File generato: %1\n").arg(path));
            return 0;
        }
        commandMessage(QStringLiteral("Voce di stampa sconosciuta: %1\n").arg(item));
        return 2;
    };
    registry.commands.add(print);

    // Build-time: draws the form template and the report templates from
    // their description.
    Command make;
    make.name = QStringLiteral("make-print-templates");
    make.synopsis = QStringLiteral("make-print-templates DESCRIZIONE.xml CARTELLA");
    make.description = QStringLiteral("Disegna i modelli PDF delle stampe dalla loro descrizione.");
    make.hidden = true;
    make.needsStartup = false;
    make.run = [](const CommandArgs &a) {
        if (a.positional.size() != 2) {
            commandMessage(QStringLiteral("Uso: make-print-templates DESCRIZIONE.xml CARTELLA\n"));
            return 2;
        }
        try {
            const QStringList files = makePrintTemplates(a.positional[0], a.positional[1]);
            commandOutput(QStringLiteral("%1 modelli scritti in %2\n").arg(files.size()).arg(a.positional[1]));
            return 0;
        } catch (const std::exception &e) {
            commandMessage(errorText(e) + QLatin1Char('\n'));
            return 1;
        }
    };
    registry.commands.add(make);
}

} // namespace jex
