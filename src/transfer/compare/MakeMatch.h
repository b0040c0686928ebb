#pragma once

#include "transfer/compare/TableMatch.h"
#include "transfer/shared/TransferRun.h"

#include <vector>

namespace transfer {

// "Make MySQL #n Match": compares each selected table of ends.source (side fromSide) with the
// other side's as Compare does, shows what would change there, and on the user's word changes
// only the differing rows of the other side (or saves the statements as a script), then compares
// the changed tables again.
std::vector<TableMatch> runMakeMatch(const TransferEnds &ends, const TransferUi &ui, int fromSide);

} // namespace transfer
