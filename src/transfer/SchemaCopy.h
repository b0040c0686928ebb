#pragma once

#include "transfer/SqlText.h"

#include <string_view>
#include <vector>

class DebugLog;
namespace db {
class Connection;
}
namespace platform {
class EventYield;
}

namespace transfer {

// Each column's name and type as DESCRIBE reports them, types upper-cased outside quoted values.
// Throws db::DbError when the table cannot be described.
std::vector<ColumnDefinition> describeColumns(db::Connection &source, std::string_view table,
                                              platform::EventYield &yield);

// Creates the table in the destination with the source's column names and types (and nothing
// else: no keys, defaults or NOT NULL). Sends only while sendFlag is true; returns the new flag.
bool copySchema(db::Connection &destination, std::string_view table, const std::vector<ColumnDefinition> &columns,
                bool sendFlag, DebugLog &log);

} // namespace transfer
