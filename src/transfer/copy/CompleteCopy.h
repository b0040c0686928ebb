#pragma once

#include "transfer/copy/CopiedTable.h"
#include "transfer/shared/TransferRun.h"

namespace transfer {

// "Send Complete Table(s)": each selected table whole (keys, defaults, character sets, options,
// AUTO_INCREMENT), its rows loaded in bulk, checked against the source, and put in place only
// then, with one RENAME; foreign keys added once every table of the run is in, triggers after
// their table's rows, on the copy before it moves into place. A view goes as the plain copy
// sends it. A table that fails leaves the destination as it was and the run goes on with the
// next, unless the connection is lost.
CompleteCopyOutcome runCompleteTransfer(const TransferEnds &ends, const TransferUi &ui);

} // namespace transfer
