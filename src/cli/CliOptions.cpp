#include "cli/CliOptions.h"

#include <QCommandLineParser>

namespace cli {

namespace {

const QStringList Commands{QStringLiteral("copy"), QStringLiteral("compare"), QStringLiteral("match")};

struct SideOption {
    const char *name; // host, port, …
    std::optional<QString> SideOptions::*field;
    const char *value;
    const char *help;
};

const SideOption SideFields[] = {
    {"host", &SideOptions::host, "host", "the server of MySQL #N"},
    {"port", &SideOptions::port, "port", "its port"},
    {"user", &SideOptions::user, "user", "the user to log in as"},
    {"database", &SideOptions::database, "database", "the database"},
    {"password", &SideOptions::password, "password", "the password (seen by every user through ps: prefer the file or the variable)"},
    {"password-file", &SideOptions::passwordFile, "file", "a file whose first line is the password"},
};

QString sideName(const char *name, int side) { return QString::fromLatin1(name) + QString::number(side); }

} // namespace

bool isCommandLine(const QString &first)
{
    return Commands.contains(first) || first == QStringLiteral("--help") || first == QStringLiteral("-h")
           || first == QStringLiteral("help") || first == QStringLiteral("--version");
}

QString passwordVariable(int side) { return QStringLiteral("TABULINK_PASSWORD%1").arg(side); }

QString helpText()
{
    return QStringLiteral(
        "Usage: tabulink                  (the windows, as always)\n"
        "       tabulink copy [--complete] [options] (TABLE... | --all)\n"
        "       tabulink compare [options] (TABLE... | --all)\n"
        "       tabulink match [--dry-run | --script FILE] [options] (TABLE... | --all)\n"
        "\n"
        "Copies, compares or makes match the tables of MySQL #1 and MySQL #2 without a window, with the\n"
        "logins the windows saved (settings file, keyring, connection security) unless overridden.\n"
        "  copy            structure, then every row (\"Send Table(s)\")\n"
        "  copy --complete keys, triggers, bulk load, verified, swapped in whole\n"
        "  compare         definitions and rows; changes nothing\n"
        "  match           changes only the differing rows of the other side\n"
        "\n"
        "Options:\n"
        "  --from 1|2            the side read from (default 1: MySQL #1 to MySQL #2)\n"
        "  --all                 every table of the source database\n"
        "  --replace             a copy replaces a table of the same name (never without it)\n"
        "  --dry-run             match: say what would change, change nothing\n"
        "  --script FILE         match: save the statements to FILE instead of running them\n"
        "  --tables-at-once N    copy --complete and compare: N tables at once (1 to 16; 4 by default)\n"
        "  --json                one JSON object per table on standard output\n"
        "  --log FILE            the statements sent, as the log pane shows them\n"
        "  --settings FILE       another settings file than the windows' own\n"
        "  --host1 --port1 --user1 --database1 --password-file1 --password1, and the same with 2:\n"
        "                        override a side's saved login\n"
        "Passwords: --password-fileN FILE (its first line), else the variable TABULINK_PASSWORD1 or\n"
        "TABULINK_PASSWORD2, else --passwordN, else the saved one. A password given on the command line is\n"
        "seen by every user of the computer through ps: use the file or the variable.\n"
        "\n"
        "Output: one line per table on standard output; progress on standard error when it is a terminal.\n"
        "Exit codes: 0 done, or all the same; 1 compare or match found differences it did not mend;\n"
        "2 a table could not be copied, compared or changed (the others still were); 3 bad usage or no login;\n"
        "130 interrupted (Ctrl-C): the table being copied is left as it was.\n");
}

Parsed parseArguments(const QStringList &arguments)
{
    Parsed parsed;
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, {});
    const QCommandLineOption version(QStringLiteral("version"), {});
    const QCommandLineOption complete(QStringLiteral("complete"), {});
    const QCommandLineOption from(QStringLiteral("from"), {}, QStringLiteral("side"));
    const QCommandLineOption all(QStringLiteral("all"), {});
    const QCommandLineOption replace(QStringLiteral("replace"), {});
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), {});
    const QCommandLineOption script(QStringLiteral("script"), {}, QStringLiteral("file"));
    const QCommandLineOption json(QStringLiteral("json"), {});
    const QCommandLineOption log(QStringLiteral("log"), {}, QStringLiteral("file"));
    const QCommandLineOption settings(QStringLiteral("settings"), {}, QStringLiteral("file"));
    const QCommandLineOption atOnce(QStringLiteral("tables-at-once"), {}, QStringLiteral("n"));
    for (const QCommandLineOption &o :
         {help, version, complete, from, all, replace, dryRun, script, json, log, settings, atOnce})
        p.addOption(o);
    std::vector<std::pair<QCommandLineOption, std::pair<int, const SideOption *>>> sideOptions;
    for (int side : {1, 2})
        for (const SideOption &f : SideFields) {
            sideOptions.push_back({QCommandLineOption(sideName(f.name, side), {}, QString::fromLatin1(f.value)), {side, &f}});
            p.addOption(sideOptions.back().first);
        }
    if (!p.parse(QStringList{QStringLiteral("tabulink")} + arguments)) {
        parsed.error = p.errorText();
        return parsed;
    }
    QStringList positional = p.positionalArguments();
    if (p.isSet(help) || (!positional.isEmpty() && positional.first() == QStringLiteral("help"))) {
        parsed.help = true;
        return parsed;
    }
    if (p.isSet(version)) {
        parsed.version = true;
        return parsed;
    }
    if (positional.isEmpty() || !Commands.contains(positional.first())) {
        parsed.error = QStringLiteral("Say what to do: copy, compare or match.");
        return parsed;
    }
    Request r;
    const QString command = positional.takeFirst();
    r.command = command == QStringLiteral("copy") ? Command::Copy
                : command == QStringLiteral("compare") ? Command::Compare
                                                       : Command::Match;
    r.complete = p.isSet(complete);
    if (r.complete && r.command != Command::Copy) {
        parsed.error = QStringLiteral("--complete is an option of copy.");
        return parsed;
    }
    if ((p.isSet(dryRun) || p.isSet(script)) && r.command != Command::Match) {
        parsed.error = QStringLiteral("--dry-run and --script are options of match.");
        return parsed;
    }
    if (p.isSet(dryRun) && p.isSet(script)) {
        parsed.error = QStringLiteral("--dry-run changes nothing and saves nothing: give one of --dry-run and --script.");
        return parsed;
    }
    if (p.isSet(from)) {
        const QString side = p.value(from);
        if (side != QStringLiteral("1") && side != QStringLiteral("2")) {
            parsed.error = QStringLiteral("--from takes 1 or 2, not \"%1\".").arg(side);
            return parsed;
        }
        r.from = side.toInt();
    }
    if (p.isSet(atOnce)) {
        bool number = false;
        r.tablesAtOnce = p.value(atOnce).toInt(&number);
        if (!number || r.tablesAtOnce < 1 || r.tablesAtOnce > 16) {
            parsed.error = QStringLiteral("--tables-at-once takes a number from 1 to 16, not \"%1\".").arg(p.value(atOnce));
            return parsed;
        }
    }
    r.all = p.isSet(all);
    r.tables = positional;
    if (r.all == !r.tables.isEmpty()) {
        parsed.error = r.all ? QStringLiteral("Give the tables or --all, not both.")
                             : QStringLiteral("Name the tables, or give --all for every table of the source database.");
        return parsed;
    }
    r.replace = p.isSet(replace);
    r.dryRun = p.isSet(dryRun);
    r.script = p.value(script);
    r.json = p.isSet(json);
    r.logFile = p.value(log);
    r.settingsFile = p.value(settings);
    for (const auto &[option, where] : sideOptions)
        if (p.isSet(option))
            r.sides[static_cast<size_t>(where.first - 1)].*(where.second->field) = p.value(option);
    parsed.request = r;
    return parsed;
}

} // namespace cli
