#pragma once

#include "transfer/RowBuffer.h"
#include "transfer/SqlText.h"

#include <QString>

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

// "Run-time error: 1153 Row 3 of table t needs a statement of …": a row too big for the destination.
QString oversizeRowText(std::string_view table, size_t row, size_t statementBytes, unsigned long long limit);

// Sends one INSERT per row while the sink still sends, moving the bar after every row. A row whose
// statement the destination cannot take is not sent: the sink stops with oversizeRowText.
void writeRows(StatementSink &sink, std::string_view table, const TableRows &tableRows, platform::EventYield &yield,
               ProgressIndicator &progress);

} // namespace transfer
