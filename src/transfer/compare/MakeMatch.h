#pragma once

#include "transfer/compare/TableMatch.h"
#include "transfer/shared/TransferRun.h"

#include <vector>

namespace transfer {

// "Make MySQL #n Match": compares each selected table of ends.source (side fromSide) with the
// other side's as Compare does, shows what would change there, and on the user's word changes
// only the differing rows of the other side (or saves the statements as a script), then compares
// the changed tables again.
// How much of a change is held at once: the differing rows of a table found and changed together
// (more are found after them and changed the same way, a window at a time), and its transactions.
struct MatchLimits {
    size_t windowRows = 20000;
    MatchChunks chunks;
};
std::vector<TableMatch> runMakeMatch(const TransferEnds &ends, const TransferUi &ui, int fromSide,
                                     const MatchLimits &limits = {});

} // namespace transfer
