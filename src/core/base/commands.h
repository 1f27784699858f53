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
    // Options that take a value ("--out FILE" or "--out=FILE").
    QStringList valueOptions;
    // Options without a value. Anything not declared here or above is refused.
    QStringList flags;
    // Most names or files the command takes; -1 for any number.
    int maxPositional = -1;
    // Runs the command; returns the exit code.
    std::function<int(const CommandArgs &)> run;
    bool hidden = false;     // build-time tools, not listed in --help
    bool needsStartup = true; // runs the program's start-up first
    // May create the SQLite database named by --database when it is not
    // there; the other commands refuse a missing database as a wrong path.
    bool createsDatabase = false;
};

// Writes a command's result on standard output at once (UTF-8).
void commandOutput(const QString &text);
// Writes a message of a command (progress, warning, error) on standard error
// at once (UTF-8).
void commandMessage(const QString &text);

// What an import run from the command line ends with: its report, and
// whether every person or row went in.
struct ReportedRun
{
    QString report;
    bool ok = true;
};
// Runs an import for a command: its report on standard output (with the line
// ends of this system), an error on standard error. 0 when the run went
// through without failures; 1 when it failed, stopped or was refused.
int runReportedCommand(const std::function<ReportedRun()> &run);

// Reads the arguments after the command's name against the options it
// declares. False, with the reason in *error (Italian), for an option the
// command does not know, a value option without its value or a flag with one.
bool parseCommandArgs(const Command &command, const QStringList &args, CommandArgs &out, QString *error);

// How a command is called, for an error of its arguments.
QString commandUsage(const Command &command);

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
