#pragma once

#include "sides/ConnectionProfile.h"

#include <QString>

#include <functional>

namespace app {
class Guard;
class PointerControl;
} // namespace app
namespace platform {
class Connection;
class Dialogs;
class EventYield;
} // namespace platform
namespace sides {
class TableList;
}

namespace tableops {

inline const QString PleaseSelectATable = QStringLiteral("Please select a table");

// What differs between the two sides of the table manager for a drop or a rename.
struct TableSide {
    sides::TableList &list;
    std::function<sides::ConnectionProfile()> profile; // read afresh for every connection
    QString location;                                 // of the side's error report
    platform::EventYield *yield = nullptr;            // serves the windows while the server works
};

// The first two steps of a drop and of a rename: ready the side's connection (100); with no current
// entry, say "Please select a table" (102). False when the run ends there.
bool startTableChange(app::Guard &g, const TableSide &side, platform::Connection &connection,
                      platform::Dialogs &dialogs);

// Drops the selected tables of the side, bottom of the list first, each on a connection of its own.
// An entry leaves the list only when its table was dropped.
void deleteTables(const TableSide &side, bool withSemicolon, platform::Dialogs &dialogs, app::PointerControl &pointer);

} // namespace tableops
