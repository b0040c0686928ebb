#pragma once

#include "transfer/compare/TableComparison.h"
#include "transfer/shared/Catalog.h"
#include "transfer/shared/RunCatalog.h"

namespace platform {
class Connection;
}

namespace transfer {

// One side of a compare: its session (reading in a snapshot), how its server compares names and
// how long a question it takes, and which of "MySQL #1" and "#2" it is.
struct CompareSide {
    platform::Connection &server;
    ServerRules rules;
    int number = 1;
    const RunCatalog *catalog = nullptr; // the run's tables' definitions and columns, asked at once
};

// The side's catalog, else one that asks for each table alone.
inline const RunCatalog &catalogOf(const CompareSide &side) { return side.catalog ? *side.catalog : RunCatalog::none(); }

// here's table against there's: definitions, then rows on the columns both have, by key where
// the table has a usable one, listing the first mostKeys differing keys (0: every one, with the
// key's values, for a change of them), of the rows after position after when given (an earlier
// comparison's listedUpTo). Result is Same or Differs; throws platform::DbError where a server
// cannot answer, or the tables share no column.
TableComparison compareTables(const CompareSide &here, const ListedTable &hereTable, const CompareSide &there,
                              const ListedTable &thereTable, size_t mostKeys = MostDifferingKeys,
                              std::optional<Position> after = {});

} // namespace transfer
