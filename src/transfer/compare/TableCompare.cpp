#include "transfer/compare/TableCompare.h"

#include "app/Guard.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/Dialogs.h"
#include "platform/ProgramEnding.h"
#include "sides/TableList.h"
#include "transfer/compare/CompareReport.h"
#include "transfer/compare/ComparePair.h"
#include "transfer/shared/LogPane.h"
#include "transfer/shared/Progress.h"
#include "transfer/shared/Sessions.h"

#include <algorithm>

namespace transfer {

namespace {

class CompareRunner {
public:
    CompareRunner(const TransferEnds &ends, const TransferUi &ui, app::Guard &g, int fromSide)
        : ends_(ends), ui_(ui), g_(g), pair_(fromSide)
    {
    }

    void run()
    {
        if (!pair_.open(g_, ui_.yield, ends_))
            return;
        const int selected = selectedCount(ends_.source);
        int done = 0;
        walkSelectedTables(
            g_, ends_.source,
            [&](const QString &name) {
                tables_.push_back(pair_.compare(name));
                ui_.log.appendEntry(comparisonLine(tables_.back(), pair_.here().number));
                ui_.progress.setValue(100.0 * ++done / std::max(selected, 1));
                return !pair_.lost();
            },
            WalkOrder::FirstLast);
        ui_.dialogs.message(compareSummary(tables_, pair_.there().number));
    }

    std::vector<TableComparison> &tables() { return tables_; }

private:
    const TransferEnds &ends_;
    const TransferUi &ui_;
    app::Guard &g_;
    ComparePair pair_;
    std::vector<TableComparison> tables_;
};

} // namespace

std::vector<TableComparison> runCompare(const TransferEnds &ends, const TransferUi &ui, int fromSide)
{
    std::vector<TableComparison> tables;
    runSelectedTables(ends, ui, [&](app::Guard &g) {
        CompareRunner runner(ends, ui, g, fromSide);
        runner.run();
        tables = std::move(runner.tables());
        return QStringList();
    });
    return tables;
}

} // namespace transfer
