#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace cli {

enum class Command { Copy, Compare, Match };

// What may override one side's saved login.
struct SideOptions {
    std::optional<QString> host;
    std::optional<QString> port;
    std::optional<QString> user;
    std::optional<QString> database;
    std::optional<QString> password;     // on the command line, which ps shows to everyone
    std::optional<QString> passwordFile; // its first line
};

// One run of a subcommand, as its arguments asked for it.
struct Request {
    Command command = Command::Copy;
    bool complete = false; // copy --complete
    int from = 1;          // the side whose tables are read; the other is changed
    QStringList tables;
    bool all = false;
    std::array<SideOptions, 2> sides;
    QString settingsFile; // empty: the windows' own
    QString logFile;      // the statements, as the log pane shows them
    bool json = false;
    bool replace = false; // a copy replaces tables of the same name
    QString script;       // match: the statements saved there instead of run
    bool dryRun = false;  // match: say what would change, change nothing
    int tablesAtOnce = 0; // copy --complete and compare: 0 for the default
};

struct Parsed {
    std::optional<Request> request;
    bool help = false;
    bool version = false;
    QString error; // bad usage, said as such
};

// The first argument makes the program a command-line one: a subcommand, or a request for help.
bool isCommandLine(const QString &firstArgument);
Parsed parseArguments(const QStringList &arguments); // without the program's name
QString helpText();

// The environment variables a side's password may come from.
QString passwordVariable(int side);

} // namespace cli
