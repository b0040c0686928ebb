#pragma once

#include "sides/ConnectionProfile.h"
#include "transfer/StatementSink.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace app {
class Guard;
class PointerControl;
} // namespace app
namespace platform {
class Dialogs;
class EventYield;
} // namespace platform
namespace sides {
class TableList;
}

namespace transfer {

class LogPane;
class ProgressIndicator;

inline const QString PleaseSelectATableDot = QStringLiteral("Please select a table.");

// One direction of a copy: the selected tables of source go to destination.
struct TransferEnds {
    sides::TableList &source;
    sides::TableList &destination;
    sides::ConnectionProfile sourceProfile;
    sides::ConnectionProfile destinationProfile;
    QString location; // of the button's error report
};

struct TransferUi {
    platform::Dialogs &dialogs;
    platform::EventYield &yield;
    app::PointerControl &pointer;
    ProgressIndicator &progress;
    LogPane &log;
    StatementSink::FailureHandler onSendFailure;
};

// True when an entry of the list has the name, letter case ignored.
bool listHasTable(const sides::TableList &list, const QString &name);
// Removes every entry spelled exactly like the name.
void removeListTable(sides::TableList &list, const QString &name);

QString sameDatabaseMessage(const QStringList &tables);
// After a failed overwrite: the old table is back, or (when even that failed) where it is kept.
QString overwriteUndoneMessage(const QString &table);
QString overwriteNotUndoneMessage(const QString &table, const QString &aside);

// What every run does around its tables: the selection check, the hourglass and the bar back to 0
// however it ends, and the box naming the tables run() left alone as the same database's.
// run() numbers its steps on the guard it is given.
void runSelectedTables(const TransferEnds &ends, const TransferUi &ui,
                       const std::function<QStringList(app::Guard &)> &run);

// Hands each selected entry's name to copy, last list entry first, until copy says to stop
// (false); false when it did.
bool walkSelectedTables(app::Guard &g, const sides::TableList &source, const std::function<bool(const QString &)> &copy);

// Copies each selected table, last list entry first: its columns, then every row, asking before
// it replaces a table of the same name. A replaced table is moved aside until its copy is complete,
// and put back when the copy fails.
void runTransfer(const TransferEnds &ends, const TransferUi &ui);

} // namespace transfer
