#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <QList>
#include <QMultiHash>

namespace jex {

// Arguments of a batch command after the global options.
struct CommandArgs
{
    QStringList positional;
    QMultiHash<QString, QString> options; // "--out" -> value; flags map to ""
    bool has(const QString &opt) const { return options.contains(opt); }
    QString value(const QString &opt, const QString &def = {}) const { return options.value(opt, def); }
};

struct Command
{
    QString name;
    QString synopsis;    // "import-f24 [--st1] [--st2] [--sv]"
    QString description; // one line, Italian
    // Options that take a value (the others are flags).
    QStringList valueOptions;
    // Runs the command; returns the exit code.
    std::function<int(const CommandArgs &)> run;
    bool hidden = false;     // build-time tools, not listed in --help
    bool needsStartup = true; // runs the program's start-up first
};

// Writes a command's result on standard output at once (UTF-8).
void commandOutput(const QString &text);

class CommandRegistry
{
public:
    static CommandRegistry &instance();
    void add(const Command &command);
    const Command *find(const QString &name) const;
    QList<Command> all() const { return m_commands; }

private:
    QList<Command> m_commands;
};

} // namespace jex
