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
#include "transfer/shared/LaneLogins.h"
#include "transfer/shared/Sessions.h"
#include "transfer/shared/TablePool.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace transfer {

namespace {

class CompareRunner {
public:
    CompareRunner(const TransferEnds &ends, const TransferUi &ui, app::Guard &g, int fromSide)
        : ends_(ends), ui_(ui), g_(g), fromSide_(fromSide)
    {
        pairs_.push_back(std::make_unique<ComparePair>(fromSide));
    }

    void run()
    {
        if (!pairs_.front()->open(g_, ui_.yield, ends_))
            return;
        const QStringList names = selectedTables(g_, ends_.source);
        ComparePair &first = *pairs_.front();
        if (!g_.attempt(step::Definition, [&] { first.askCatalog(names); }))
            return;
        const size_t lanes = static_cast<size_t>(tablesAtOnce(first.hereServer(), first.thereServer(),
                                                              ends_.tablesAtOnce, static_cast<size_t>(names.size()), 1));
        LaneLogins logins(ends_, first.hereServer().tlsState(), first.thereServer().tlsState());
        for (size_t i = 1; i < lanes; ++i)
            pairs_.push_back(std::make_unique<ComparePair>(fromSide_));
        const auto start = [&](size_t lane) {
            if (lane == 0)
                return true;
            try {
                pairs_[lane]->openFurther(logins, pool_.laneYield(), first);
                return true;
            } catch (const platform::DbError &) {
                return false; // fewer tables at once: the server or the account allows no more sessions
            }
        };
        const auto work = [&](size_t lane, size_t job, platform::EventYield &yield, ProgressIndicator &,
                              LogPane &log) -> TablePool::Finish {
            ComparePair &pair = *pairs_[lane];
            pair.waitThrough(yield);
            auto compared = std::make_shared<TableComparison>(pair.compare(names[static_cast<qsizetype>(job)]));
            log.appendEntry(comparisonLine(*compared, pair.here().number));
            if (pair.lost())
                pool_.stopTaking();
            return [this, compared, lost = pair.lost()] {
                tables_.push_back(std::move(*compared));
                return !lost;
            };
        };
        pool_.run(lanes, static_cast<size_t>(names.size()), start, work, ui_.yield, ui_.progress, ui_.log);
        first.waitThrough(ui_.yield);
        ui_.dialogs.message(compareSummary(tables_, first.there().number));
    }

    std::vector<TableComparison> &tables() { return tables_; }

private:
    const TransferEnds &ends_;
    const TransferUi &ui_;
    app::Guard &g_;
    int fromSide_;
    std::vector<std::unique_ptr<ComparePair>> pairs_;
    TablePool pool_;
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
