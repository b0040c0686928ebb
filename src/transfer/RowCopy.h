#pragma once

#include "transfer/RowBuffer.h"
#include "transfer/SqlText.h"

#include <string_view>

namespace platform {
class Connection;
class EventYield;
} // namespace platform

namespace transfer {

class ProgressIndicator;
class StatementSink;

struct TableRows {
    RowBuffer rows;
    ValueEncoding encoding;
};

// Reads every row of the table into memory. Throws platform::DbError when the rows cannot be read.
TableRows readRows(platform::Connection &source, std::string_view table, const std::vector<ColumnDefinition> &columns,
                   bool destinationNoBackslashEscapes, platform::EventYield &yield);

// Sends one INSERT per row while the sink still sends, moving the bar after every row.
void writeRows(StatementSink &sink, std::string_view table, const TableRows &tableRows, platform::EventYield &yield,
               ProgressIndicator &progress);

} // namespace transfer
