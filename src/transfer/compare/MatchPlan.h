#pragma once

#include "transfer/compare/MatchStatements.h"
#include "transfer/compare/TableMatch.h"
#include "transfer/shared/RunCatalog.h"

#include <memory>
#include <string>
#include <vector>

namespace platform {
class Connection;
}

namespace transfer {

// What a table's change needs besides its differing rows; its statements are made once the
// target's session is set up for the change.
struct TableChange {
    std::vector<StoredColumn> columns;
    std::vector<KeyColumn> key;
    std::unique_ptr<MatchStatements> statements;
    std::string select;         // the columns, as the copies read them
    std::string targetChecksum; // of a target row, as the compare computed it
};

// A server and what its catalog was asked of the run's tables already.
struct PlanSide {
    platform::Connection &server;
    const RunCatalog &catalog;
};

// What the compare in t makes of the table: same, left alone (and why), or rows to change, with
// their counts and the target's triggers; for rows to change, what the change needs. Throws
// platform::DbError where a server cannot answer.
std::unique_ptr<TableChange> planChange(TableMatch &t, const std::string &table, const PlanSide &source,
                                        const PlanSide &target);

} // namespace transfer
