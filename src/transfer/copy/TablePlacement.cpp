#include "transfer/copy/TablePlacement.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/SqlQuoting.h"
#include "sides/TableStatements.h"
#include "transfer/shared/TableDefinition.h"
#include "transfer/shared/TransferRun.h"

namespace transfer {

namespace {

constexpr int FreeNameAttempts = 100;

} // namespace

void TablePlacement::createBuilding(const std::string &create, const std::string &table, std::string &building)
{
    const std::string stem = BuildingPrefix.toStdString() + std::to_string(destination_.threadId()) + "_";
    for (int attempt = 1;; ++attempt) {
        building = stem + std::to_string(++built_);
        try {
            send_(renamedCreate(create, table, building));
            return;
        } catch (const platform::DbError &e) {
            building.clear(); // not made, or another's
            if (e.number() != platform::server_error::TableExists || attempt == FreeNameAttempts)
                throw;
        }
    }
}

std::string TablePlacement::nameBuilding(const std::string &create, const std::string &table, std::string &statement)
{
    const std::string name =
        BuildingPrefix.toStdString() + std::to_string(destination_.threadId()) + "_" + std::to_string(++built_);
    statement = renamedCreate(create, table, name);
    return name;
}

void TablePlacement::swapIn(const std::string &table, const std::string &replaced, const std::string &building)
{
    for (int attempt = 1;; ++attempt) {
        std::string swap = "RENAME TABLE ";
        std::string aside;
        if (!replaced.empty()) {
            aside = AsidePrefix.toStdString() + std::to_string(destination_.threadId()) + "_"
                    + std::to_string(built_) + (attempt > 1 ? "_" + std::to_string(attempt) : "");
            platform::appendBackquoted(swap, replaced);
            swap += " TO ";
            platform::appendBackquoted(swap, aside);
            swap += ", ";
        }
        platform::appendBackquoted(swap, building);
        swap += " TO ";
        platform::appendBackquoted(swap, table);
        try {
            send_(swap);
        } catch (const platform::DbError &e) {
            if (e.number() != platform::server_error::TableExists || replaced.empty() || attempt == FreeNameAttempts)
                throw;
            continue;
        }
        if (!replaced.empty())
            send_(sides::dropTableStatement(aside));
        return;
    }
}

} // namespace transfer
