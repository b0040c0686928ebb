#pragma once

#include "transfer/RowBuffer.h"
#include "transfer/SqlText.h"

#include <string_view>

class DebugLog;
class ProgressIndicator;
namespace db {
class Connection;
}
namespace platform {
class EventYield;
}

namespace transfer {

struct TableRows {
    RowBuffer rows;
    ValueEncoding encoding;
};

// Reads every row of the table into memory. Throws db::DbError when the rows cannot be read.
TableRows readRows(db::Connection &source, std::string_view table, const std::vector<ColumnDefinition> &columns,
                   bool destinationNoBackslashEscapes, platform::EventYield &yield);

// Sends one INSERT per row while sendFlag holds, moving the bar after every row; returns the flag.
bool writeRows(db::Connection &destination, std::string_view table, const TableRows &table_rows, bool sendFlag,
               DebugLog &log, platform::EventYield &yield, ProgressIndicator &progress);

} // namespace transfer
