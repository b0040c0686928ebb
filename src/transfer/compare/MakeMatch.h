#pragma once

#include "transfer/shared/TransferRun.h"

namespace transfer {

// "Make MySQL #n Match": compares each selected table of ends.source (side fromSide) with the
// other side's as Compare does, shows what would change there, and on the user's word changes
// only the differing rows of the other side (or saves the statements as a script), then compares
// the changed tables again.
void runMakeMatch(const TransferEnds &ends, const TransferUi &ui, int fromSide);

} // namespace transfer
