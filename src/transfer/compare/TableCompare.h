#pragma once

#include "transfer/compare/TableComparison.h"
#include "transfer/shared/TransferRun.h"

#include <vector>

namespace transfer {

// "Compare Table(s)": each selected table of ends.source (side fromSide) against the table of the
// same name on the other side, as that server compares names: missing there, definition differs,
// rows differ (with the keys of the differing rows where the table has a key), or same. Both
// sessions read in one consistent snapshot each and change nothing. One log line per table, one
// box at the end.
std::vector<TableComparison> runCompare(const TransferEnds &ends, const TransferUi &ui, int fromSide);

} // namespace transfer
