#pragma once

#include "transfer/shared/SqlText.h"

#include <string_view>
#include <vector>

namespace platform {
class Connection;
class EventYield;
} // namespace platform

namespace transfer {

class StatementSink;

// Each column's name and type as DESCRIBE reports them, types upper-cased outside quoted values.
// Throws platform::DbError when the table cannot be described.
std::vector<ColumnDefinition> describeColumns(platform::Connection &source, std::string_view table,
                                              platform::EventYield &yield);

// Creates the table in the destination with the source's column names and types (and nothing
// else: no keys, defaults or NOT NULL). True when the sink sent it and the table now exists.
bool copySchema(StatementSink &sink, std::string_view table, const std::vector<ColumnDefinition> &columns,
                const TypeRules &rules = {});

} // namespace transfer
