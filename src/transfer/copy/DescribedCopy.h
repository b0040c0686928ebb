#pragma once

#include "transfer/copy/CopiedTable.h"
#include "transfer/shared/TransferRun.h"

#include <vector>

namespace transfer {

// Copies each selected table, last list entry first: its columns, then every row, asking before
// it replaces a table of the same name. A replaced table is moved aside until its copy is complete,
// and put back when the copy fails.
// Returns what became of each table it reached: skipped ones (not replaced, the same database's)
// are not copied, without a reason of their own.
std::vector<CopiedTable> runTransfer(const TransferEnds &ends, const TransferUi &ui);

} // namespace transfer
