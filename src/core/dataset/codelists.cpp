// Build-time conversion of the code-list sources (tab-separated text with a
// typed header line, read by codelists/codelistfile) into the program's
// client-dataset files.

#include "base/commands.h"
#include "registration.h"
#include "dataset/dataset.h"
#include "base/errors.h"
#include "base/outputfile.h"
#include "codelists/codelistfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace jex {

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
            const QString source = readCodeListFile(a.positional[i], {}, ds);
            // The source line goes beside the list, for "codelist list".
            const QString base = a.positional[0] + u'/' + QFileInfo(a.positional[i]).completeBaseName();
            writeOutputFiles({{base + QStringLiteral(".CDS"), ds.saveToBytes()},
                              {base + QStringLiteral(".fonte.txt"), (source + u'\n').toUtf8()}});
        }
        return 0;
    };
    registry.commands.add(c);
}

} // namespace jex
