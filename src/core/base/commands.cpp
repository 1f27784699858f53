#include "base/commands.h"
#include "base/errors.h"

#include <cstdio>

namespace jex {

void commandOutput(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

void commandMessage(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

int runReportedCommand(const std::function<ReportedRun()> &run)
{
    try {
        const ReportedRun result = run();
        commandOutput(QString(result.report).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        return result.ok ? 0 : 1;
    } catch (const EAbort &) {
        // Already told through the message service.
        return 1;
    } catch (const std::exception &e) {
        commandMessage(errorText(e) + u'\n');
        return 1;
    }
}

bool parseCommandArgs(const Command &command, const QStringList &args, CommandArgs &out, QString *error)
{
    CommandArgs parsed;
    bool onlyPositional = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        // Options begin with two dashes; "--" alone ends them.
        if (onlyPositional || !a.startsWith(u"--")) {
            parsed.positional << a;
            continue;
        }
        if (a == u"--") {
            onlyPositional = true;
            continue;
        }
        const int eq = a.indexOf(u'=');
        const QString name = eq > 0 ? a.left(eq) : a;
        if (command.valueOptions.contains(name)) {
            if (eq > 0) {
                parsed.options.insert(name, a.mid(eq + 1));
            } else if (i + 1 < args.size()) {
                parsed.options.insert(name, args[++i]);
            } else {
                *error = QStringLiteral("Manca il valore dell'opzione %1").arg(name);
                return false;
            }
        } else if (command.flags.contains(name)) {
            if (eq > 0) {
                *error = QStringLiteral("L'opzione %1 non vuole un valore").arg(name);
                return false;
            }
            parsed.options.insert(name, QString());
        } else {
            *error = QStringLiteral("Opzione sconosciuta per il comando %1: %2").arg(command.name, name);
            return false;
        }
    }
    if (command.maxPositional >= 0 && parsed.positional.size() > command.maxPositional) {
        *error = command.maxPositional == 0
                     ? QStringLiteral("Il comando %1 non vuole argomenti: %2").arg(command.name, parsed.positional.first())
                     : QStringLiteral("Troppi argomenti per il comando %1: %2")
                           .arg(command.name, parsed.positional.mid(command.maxPositional).join(u' '));
        return false;
    }
    out = parsed;
    return true;
}

QString commandUsage(const Command &command)
{
    return QStringLiteral("Uso: jex770 %1").arg(command.synopsis.isEmpty() ? command.name : command.synopsis);
}

CommandRegistry &CommandRegistry::instance()
{
    static CommandRegistry registry;
    return registry;
}

void CommandRegistry::add(const Command &command)
{
    for (auto &c : m_commands)
        if (c.name == command.name) {
            c = command;
            return;
        }
    m_commands.append(command);
}

const Command *CommandRegistry::find(const QString &name) const
{
    for (const auto &c : m_commands)
        if (c.name == name)
            return &c;
    return nullptr;
}

} // namespace jex
