#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <vector>

// The command line of kestrane-cli: a command, its arguments and options, read against a table of
// what each command takes. Nothing here runs a command.
namespace CliArguments {

struct Option
{
    QString name; // without the leading "--"
    bool takesValue = false;
    QString help; // one line for --help
    QString valueName; // "L", "FILE.mst"
};

struct Command
{
    QString name;
    QString synopsis; // the arguments after the command's name
    QString summary; // one line for the tool's --help
    QString details; // the command's --help, after its synopsis
    int minArguments = 0;
    int maxArguments = 0; // -1: no limit
    std::vector<Option> options;
};

// Every command, in the order --help lists them.
const std::vector<Command> &commands();
const Command *findCommand(const QString &name);

struct Parsed
{
    const Command *command = nullptr; // null with toolHelp, version or a usage error before a command
    QStringList arguments;
    QHash<QString, QString> values; // options with a value
    QSet<QString> flags; // options without one
    bool help = false; // --help: of the command, or of the tool when there is none
    bool version = false;
    bool quiet = false;
    QString usageError; // not empty: the line to print, and exit status 2
};

// `args` without the program's name. "--" ends the options; "--name=value" and "--name value" mean
// the same; --help, --version and --quiet are known to every command.
Parsed parse(const QStringList &args);

} // namespace CliArguments
