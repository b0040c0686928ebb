#include "cli/CommandLine.h"

#include "app/PasswordKeeper.h"
#include "app/ProductInfo.h"
#include "cli/CliFront.h"
#include "cli/CliOptions.h"
#include "cli/CliProfiles.h"
#include "cli/CliReport.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/ProgramEnding.h"
#include "platform/QSettingsBackend.h"
#include "platform/QtEventYield.h"
#include "platform/QtKeychainKeyring.h"
#include "transfer/compare/MakeMatch.h"
#include "transfer/compare/TableCompare.h"
#include "transfer/copy/CompleteCopy.h"
#include "transfer/copy/DescribedCopy.h"
#include "transfer/shared/Catalog.h"
#include "transfer/shared/Sessions.h"
#include "transfer/shared/StatementSink.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>

namespace cli {

namespace {

constexpr int BadUsage = 3;
constexpr int Interrupted = 130;

std::atomic<bool> interrupted{false};

void onInterrupt(int) { interrupted = true; }

void say(const QString &text)
{
    const QByteArray bytes = QStringLiteral("tabulink: %1\n").arg(text).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

void print(const QByteArray &bytes) { std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout); }

// Ctrl-C ends the run as closing the window does: between two steps, the connections closed.
class InterruptScope {
public:
    InterruptScope()
    {
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previous_);
        sigaction(SIGTERM, &action, &previousTerm_);
    }
    ~InterruptScope()
    {
        sigaction(SIGINT, &previous_, nullptr);
        sigaction(SIGTERM, &previousTerm_, nullptr);
    }
    InterruptScope(const InterruptScope &) = delete;
    InterruptScope &operator=(const InterruptScope &) = delete;

private:
    struct sigaction previous_ {};
    struct sigaction previousTerm_ {};
};

// The tables a side's database holds, as the list of the window would show them.
QStringList tablesOf(const sides::ConnectionProfile &profile, platform::EventYield &yield)
{
    platform::Connection c;
    transfer::setCopyTimeouts(c, yield);
    transfer::openForCopy(c, profile);
    QStringList names;
    for (const transfer::ListedTable &t : transfer::listTables(c))
        names << t.name;
    return names;
}

BoxAnswers answersFor(const Request &r)
{
    BoxAnswers a;
    a.replace = r.replace;
    a.choice = r.dryRun ? 2 : r.script.isEmpty() ? 0 : 1; // change, save, cancel
    a.saveTo = r.script;
    return a;
}

std::vector<TableLine> run(const Request &r, const transfer::TransferEnds &ends, const transfer::TransferUi &ui)
{
    switch (r.command) {
    case Command::Copy:
        return r.complete ? copyLines(transfer::runCompleteTransfer(ends, ui))
                          : copyLines(transfer::runTransfer(ends, ui));
    case Command::Compare:
        return compareLines(transfer::runCompare(ends, ui, r.from), r.from);
    case Command::Match:
        return matchLines(transfer::runMakeMatch(ends, ui, r.from), r.from);
    }
    return {};
}

// A table the run was given but said nothing of: it was left as it was (a copy not allowed to
// replace it, the same database on both sides, or a run that stopped before it).
void addUntold(std::vector<TableLine> &lines, const QStringList &asked)
{
    for (const QString &table : asked) {
        const bool told = std::any_of(lines.begin(), lines.end(), [&](const TableLine &l) { return l.table == table; });
        if (!told)
            lines.push_back(untoldLine(table));
    }
}

int runRequest(const Request &r)
{
    std::unique_ptr<platform::QSettingsBackend> settings =
        r.settingsFile.isEmpty()
            ? std::make_unique<platform::QSettingsBackend>(app::product::SettingsKey, app::product::SettingsSection)
            : std::make_unique<platform::QSettingsBackend>(platform::QSettingsBackend::AtPath{r.settingsFile},
                                                           app::product::SettingsSection);
    TerminalDialogs dialogs(answersFor(r));
    platform::QtKeychainKeyring keyring;
    app::PasswordKeeper passwords(*settings, keyring, dialogs);
    InterruptScope interrupts;
    platform::QtEventYield yield([] { return interrupted.load(); });

    sides::ConnectionProfile profiles[2];
    for (int side : {1, 2}) {
        try {
            profiles[side - 1] = sideProfile(side, r.sides[static_cast<size_t>(side - 1)], *settings, passwords, keyring, &yield);
        } catch (const std::exception &e) {
            say(QString::fromUtf8(e.what()));
            return BadUsage;
        }
    }
    const int to = 3 - r.from;
    const sides::ConnectionProfile &source = profiles[r.from - 1];
    const sides::ConnectionProfile &destination = profiles[to - 1];
    QStringList sourceTables;
    QStringList destinationTables;
    for (const auto &[side, into] : {std::pair{r.from, &sourceTables}, std::pair{to, &destinationTables}}) {
        try {
            *into = tablesOf(profiles[side - 1], yield);
        } catch (const platform::ProgramEnding &) {
            return Interrupted;
        } catch (const platform::DbError &e) {
            say(loginFailedText(side, sides::serverAddress(profiles[side - 1]), e.number(), QString::fromUtf8(e.what())));
            return BadUsage;
        }
    }

    QStringList asked = r.all ? sourceTables : r.tables;
    // A table named that the source does not have is not the runners' to find: said, and left out.
    std::vector<TableLine> absent;
    for (const QString &table : QStringList(asked))
        if (!sourceTables.contains(table, Qt::CaseInsensitive)) {
            asked.removeAll(table);
            absent.push_back(absentTableLine(table, r.from, source.database));
        }
    if (asked.isEmpty() && !absent.empty()) {
        for (const TableLine &l : absent)
            print(r.json ? jsonLine(l) : textLine(l));
        return 2;
    }
    if (asked.isEmpty()) {
        say(noTablesText(r.from, source.database));
        return 0;
    }
    NameList sourceList(asked, true);
    NameList destinationList(destinationTables);
    std::unique_ptr<FileLog> log;
    try {
        log = std::make_unique<FileLog>(r.logFile);
    } catch (const std::exception &e) {
        say(QString::fromUtf8(e.what()));
        return BadUsage;
    }
    TerminalProgress progress;
    NoPointer pointer;
    const auto refused = [&](const QString &runtimeError) {
        say(runtimeError);
        log->appendEntry(runtimeError.toStdString());
    };
    const transfer::TransferEnds ends{sourceList,
                                      destinationList,
                                      source,
                                      destination,
                                      QStringLiteral("tabulink "),
                                      r.tablesAtOnce ? r.tablesAtOnce : transfer::tablesAtOnceSetting(*settings)};
    const transfer::TransferUi ui{dialogs, yield, pointer, progress, *log, refused};
    std::vector<TableLine> lines;
    try {
        lines = run(r, ends, ui);
    } catch (const platform::ProgramEnding &) {
        say(interruptedText());
        return Interrupted;
    }
    if (interrupted) {
        say(interruptedText());
        return Interrupted;
    }
    addUntold(lines, asked);
    lines.insert(lines.end(), absent.begin(), absent.end());
    for (const TableLine &l : lines)
        print(r.json ? jsonLine(l) : textLine(l));
    std::fflush(stdout);
    return exitCodeOf(lines, static_cast<qsizetype>(lines.size()));
}

} // namespace

int runCommandLine(const QStringList &arguments)
{
    const Parsed parsed = parseArguments(arguments);
    if (parsed.help) {
        print(helpText().toUtf8());
        return 0;
    }
    if (parsed.version) {
        print(app::product::Name.toUtf8() + '\n');
        return 0;
    }
    if (!parsed.request) {
        say(parsed.error);
        say(usageHintText());
        return BadUsage;
    }
    return runRequest(*parsed.request);
}

} // namespace cli
