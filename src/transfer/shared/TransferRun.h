#pragma once

#include "sides/ConnectionProfile.h"
#include "transfer/shared/StatementSink.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <initializer_list>

namespace app {
class Guard;
class PointerControl;
} // namespace app
namespace platform {
class Connection;
class Dialogs;
class EventYield;
class SettingsBackend;
} // namespace platform
namespace sides {
class TableList;
}

namespace transfer {

class LogPane;
class ProgressIndicator;

inline const QString PleaseSelectATableDot = QStringLiteral("Please select a table.");

// One direction of a copy: the selected tables of source go to destination.
// The steps of a run, as its error report numbers them (the described copy's numbering, which the
// complete copy and Compare share).
namespace step {
inline constexpr int Hourglass = 102;
inline constexpr int Timeouts = 104;
inline constexpr int Login = 106;
inline constexpr int SkipUnselected = 114;
inline constexpr int TakeName = 116;
inline constexpr int Overwrite = 118;
inline constexpr int Definition = 120;
inline constexpr int Rows = 122;
inline constexpr int IntoList = 124;
inline constexpr int Close = 126;
inline constexpr int RunEnd = 128;
} // namespace step

// How many tables a complete copy or a compare works on at once unless told otherwise.
inline constexpr int DefaultTablesAtOnce = 4;
inline constexpr int MostTablesAtOnce = 16;

struct TransferEnds {
    sides::TableList &source;
    sides::TableList &destination;
    sides::ConnectionProfile sourceProfile;
    sides::ConnectionProfile destinationProfile;
    QString location; // of the button's error report
    int tablesAtOnce = DefaultTablesAtOnce; // how many tables a complete copy or a compare works on at once
};

// The settings' TablesAtOnce (1 to 16), else 4.
int tablesAtOnceSetting(platform::SettingsBackend &settings);

struct TransferUi {
    platform::Dialogs &dialogs;
    platform::EventYield &yield;
    app::PointerControl &pointer;
    ProgressIndicator &progress;
    LogPane &log;
    StatementSink::FailureHandler onSendFailure;
};

struct TableNames;

// The entry naming the same table as name, compared as the destination server compares names;
// empty when there is none.
QString listedTable(const sides::TableList &list, const QString &name, const TableNames &names);
// Removes every entry naming that table, compared the same way.
void removeListTable(sides::TableList &list, const QString &name, const TableNames &names);
// The table is now in the destination: its entry, as that server lists it, replaces any other.
void showListTable(sides::TableList &list, const QString &name, const TableNames &names);

// Names a copy gives tables of its own while it works: a table being built, and one moved aside.
inline const QString BuildingPrefix = QStringLiteral("tabulink_new_");
inline const QString AsidePrefix = QStringLiteral("tabulink_old_");
// Log lines for entries of a freshly listed side that a copy cut short left behind.
QStringList leftBehindNotes(const sides::TableList &list, const QString &side);

QString sameDatabaseMessage(const QStringList &tables);
// A table in a box's list of those a run could not do: "t (1146 Table 't' doesn't exist)"; the
// program's own reasons have no number (0).
QString tableWithReason(const QString &table, int number, const QString &reason);
// After a failed overwrite: the old table is back, or (when even that failed) where it is kept.
QString overwriteUndoneMessage(const QString &table);
QString overwriteNotUndoneMessage(const QString &table, const QString &aside);

// What every run does around its tables: the selection check, the hourglass and the bar back to 0
// however it ends, and the box naming the tables run() left alone as the same database's.
// run() numbers its steps on the guard it is given.
void runSelectedTables(const TransferEnds &ends, const TransferUi &ui,
                       const std::function<QStringList(app::Guard &)> &run);

// The sessions a run opens to one side: one, or two logged in at once.
struct RunSessions {
    platform::Connection *first;
    platform::Connection *second; // nullptr: one session
    const sides::ConnectionProfile &profile;
};
// Steps 104 and 106 of every run: each session gets a copy's time-outs, then each side logs in,
// in the order given. False, the failure told, when one cannot.
bool openRunSessions(app::Guard &g, platform::EventYield &yield, std::initializer_list<RunSessions> sides);

// How many entries of the list are selected.
int selectedCount(const sides::TableList &list);

// Hands each selected entry's name to copy, last list entry first, until copy says to stop
// (false); false when it did.
enum class WalkOrder { LastFirst, FirstLast };
bool walkSelectedTables(app::Guard &g, const sides::TableList &source, const std::function<bool(const QString &)> &copy,
                        WalkOrder order = WalkOrder::LastFirst);
// The selected entries' names, first list entry first.
QStringList selectedTables(app::Guard &g, const sides::TableList &source);

} // namespace transfer
