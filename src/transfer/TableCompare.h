#pragma once

#include "transfer/TransferRun.h"

#include <QString>
#include <QStringList>

namespace transfer {

// "Compare Table(s)": each selected table of ends.source (side fromSide) against the table of the
// same name on the other side, as that server compares names: missing there, definition differs,
// rows differ (with the keys of the differing rows where the table has a key), or same. Both
// sessions read in one consistent snapshot each and change nothing. One log line per table, one
// box at the end.
void runCompare(const TransferEnds &ends, const TransferUi &ui, int fromSide);

// The box at the end: "Same: a, b.  Differ: c.  Missing on #2: d." and what could not be compared.
QString compareSummary(const QStringList &same, const QStringList &differ, const QStringList &missing,
                       int otherSide, const QStringList &failed);

} // namespace transfer
