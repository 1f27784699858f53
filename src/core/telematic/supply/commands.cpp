// Batch commands of the supply files: check a telematic file, read one back.

#include "base/commands.h"
#include "base/errors.h"
#include "base/messages.h"
#include "registration.h"
#include "telematic/supply/checker.h"
#include "telematic/supply/reader.h"
#include "telematic/supply/supplylayout.h"

namespace jex {

namespace {

int runCheckFile(const CommandArgs &args)
{
    if (args.positional.isEmpty()) {
        commandMessage(QStringLiteral("Indicare il file telematico da controllare (e gli altri file della fornitura, se "
                                      "divisa).\n"));
        return 2;
    }
    try {
        const supply::CheckReport report = supply::checkFile(args.positional);
        for (const QString &line : report.lines())
            commandOutput(line + u'\n');
        return report.exitCode();
    } catch (const std::exception &e) {
        commandMessage(errorText(e) + u'\n');
        return 2;
    }
}

int runReadFile(const CommandArgs &args)
{
    if (args.positional.isEmpty()) {
        commandMessage(QStringLiteral("Indicare il file telematico da leggere (e gli altri file della fornitura, se "
                                      "divisa).\n"));
        return 2;
    }
    try {
        const supply::ReadResult result = supply::readFileIntoReturn(args.positional, args.has(QStringLiteral("--replace")));
        for (const supply::Finding &f : result.check.findings)
            commandMessage(f.toString() + u'\n');
        if (!result.written) {
            commandMessage(result.message + u'\n');
            return result.check.unreadable ? 2 : 1;
        }
        commandOutput(result.message + u'\n');
        for (const QString &line : result.rowsByTable)
            commandOutput(line + u'\n');
        return 0;
    } catch (const EAbort &) {
        return 1;
    } catch (const std::exception &e) {
        commandMessage(QStringLiteral("La fornitura non è stata letta. ") + errorText(e) + u'\n');
        return 1;
    }
}

} // namespace

void registerSupply(Registry &registry)
{
    Command check;
    check.name = QStringLiteral("check-file");
    check.synopsis = QStringLiteral("check-file FILE [FILE_2 ...]");
    check.description = QStringLiteral("Controlla un file telematico 770 (tutti i file di una fornitura divisa)");
    check.needsStartup = false;
    check.run = runCheckFile;
    registry.commands.add(check);

    Command read;
    read.name = QStringLiteral("read-file");
    read.synopsis = QStringLiteral("read-file FILE [FILE_2 ...] [--replace]");
    read.description = QStringLiteral("Legge una fornitura telematica 770 nella dichiarazione (frontespizio e prospetti)");
    read.flags = {QStringLiteral("--replace")};
    read.run = runReadFile;
    registry.commands.add(read);
}

} // namespace jex
