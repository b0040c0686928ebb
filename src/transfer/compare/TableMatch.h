#pragma once

#include "transfer/compare/RowsMatch.h"
#include "transfer/compare/TableComparison.h"

#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace transfer {

// What "Make MySQL #n Match" found for one selected table and did to it: data, worded by
// MatchReport.
struct TableMatch {
    // What the compare before the change makes of the table.
    enum class Plan {
        Same,        // nothing to change
        Change,      // rows to add, change or remove on the target
        Missing,     // not on the target: a complete copy's to make
        Definition,  // definitions differ: rows alone cannot make them the same
        NoKey,       // no key that finds one row exactly: a complete copy's to make the same
        NotCompared, // a server could not answer: errorNumber, error
    };
    // What became of a table to change.
    // Removed: its removals made (foreign keys want them before any table's additions), then the
    // change stopped before its changes and additions.
    enum class Done { NotStarted, Removed, Changed, Failed, NotReached };

    QString table;
    Plan plan = Plan::Same;
    TableComparison compared;           // with the differing keys of the window being changed
    std::string why;                    // NoKey: why no row can be found by the key, when it has one
    std::vector<std::string> triggers;  // the target table's, which run for each change
    long long toAdd = 0;    // of the first window's rows when more differ
    long long toChange = 0;
    long long toRemove = 0;
    bool more = false;      // more rows differ than one window holds: found and changed after it

    Done done = Done::NotStarted;
    RowsMatched matched;                // what the kept transactions did
    int errorNumber = 0;                // NotCompared, Failed: the server's number (0: the program's own)
    std::string error;
    std::optional<TableComparison> after; // the compare once changed
};

// What the user chose in the box before any change.
enum class MatchChoice { Change, SaveScript, Cancel };

} // namespace transfer
