#include "transfer/compare/TableCompare.h"

#include "app/Guard.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/Dialogs.h"
#include "platform/ProgramEnding.h"
#include "sides/TableList.h"
#include "transfer/compare/CompareReport.h"
#include "transfer/compare/TableComparer.h"
#include "transfer/shared/LogPane.h"
#include "transfer/shared/Progress.h"
#include "transfer/shared/Sessions.h"

#include <algorithm>

namespace transfer {

namespace {

class CompareRunner {
public:
    CompareRunner(const TransferEnds &ends, const TransferUi &ui, app::Guard &g, int fromSide)
        : ends_(ends), ui_(ui), g_(g), here_{hereServer_, {}, fromSide}, there_{thereServer_, {}, fromSide == 1 ? 2 : 1}
    {
    }

    void run()
    {
        if (!connect())
            return;
        int selected = 0;
        for (int i = 0; i < ends_.source.count(); ++i)
            selected += ends_.source.isSelected(i) ? 1 : 0;
        int done = 0;
        walkSelectedTables(
            g_, ends_.source,
            [&](const QString &name) {
                tables_.push_back(compareTable(name));
                ui_.log.appendEntry(comparisonLine(tables_.back(), here_.number));
                ui_.progress.setValue(100.0 * ++done / std::max(selected, 1));
                return !lost_;
            },
            WalkOrder::FirstLast);
        ui_.dialogs.message(compareSummary(tables_, there_.number));
    }

    std::vector<TableComparison> &tables() { return tables_; }

private:
    bool connect()
    {
        return openRunSessions(g_, ui_.yield,
                               {{&hereServer_, nullptr, ends_.sourceProfile}, {&thereServer_, nullptr, ends_.destinationProfile}})
               && g_.attempt(step::Login, [&] {
                      for (platform::Connection *c : {&hereServer_, &thereServer_})
                          prepareSourceSession(*c);
                      here_.rules = serverRules(hereServer_);
                      there_.rules = serverRules(thereServer_);
                      hereTables_ = listTables(hereServer_);
                      thereTables_ = listTables(thereServer_);
                      for (platform::Connection *c : {&hereServer_, &thereServer_})
                          readInSnapshot(*c);
                  });
    }

    TableComparison compareTable(const QString &name)
    {
        const ListedTable *there = findTable(thereTables_, name, there_.rules.names);
        const ListedTable *here = findTable(hereTables_, name, here_.rules.names);
        if (!there)
            return notThere(name);
        try {
            if (!here)
                throw platform::DbError(platform::server_error::NoSuchTable, "MySQL #" + std::to_string(here_.number) + " no longer has it");
            return compareTables(here_, *here, there_, *there);
        } catch (const platform::ProgramEnding &) {
            throw;
        } catch (const platform::DbError &e) {
            lost_ = e.isConnectionLost();
            return notCompared(name, e.number(), e.what());
        } catch (const std::exception &e) {
            return notCompared(name, 0, e.what());
        }
    }

    static TableComparison notThere(const QString &name)
    {
        TableComparison c;
        c.table = name;
        c.result = TableComparison::Result::Missing;
        return c;
    }

    static TableComparison notCompared(const QString &name, int number, const char *reason)
    {
        TableComparison c;
        c.table = name;
        c.result = TableComparison::Result::NotCompared;
        c.errorNumber = number;
        c.error = reason;
        return c;
    }

    const TransferEnds &ends_;
    const TransferUi &ui_;
    app::Guard &g_;
    platform::Connection hereServer_;
    platform::Connection thereServer_;
    CompareSide here_;
    CompareSide there_;
    std::vector<ListedTable> hereTables_;
    std::vector<ListedTable> thereTables_;
    bool lost_ = false;
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
