#include "base/commands.h"

#include <cstdio>

namespace jex {

void commandOutput(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
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
