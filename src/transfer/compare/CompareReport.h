#pragma once

#include "transfer/compare/TableComparison.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <vector>

namespace transfer {

// The words of Compare: the log pane's line for a table, and the box at the end of the run.
// hereSide is the side whose tables were selected; the other is #(3 - hereSide).
// keysShown: how many of the differing keys are named, the rest as "…".
std::string comparisonLine(const TableComparison &c, int hereSide, size_t keysShown = SIZE_MAX);
QString compareSummary(const std::vector<TableComparison> &tables, int otherSide);
QString compareSummary(const QStringList &same, const QStringList &differ, const QStringList &missing,
                       int otherSide, const QStringList &failed);

} // namespace transfer
