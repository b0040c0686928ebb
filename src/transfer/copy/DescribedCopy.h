#pragma once

#include "transfer/shared/TransferRun.h"

namespace transfer {

// Copies each selected table, last list entry first: its columns, then every row, asking before
// it replaces a table of the same name. A replaced table is moved aside until its copy is complete,
// and put back when the copy fails.
void runTransfer(const TransferEnds &ends, const TransferUi &ui);

} // namespace transfer
