#include "transfer/RowCopy.h"

#include "platform/DbConnection.h"
#include "platform/EventYield.h"
#include "transfer/Progress.h"
#include "transfer/StatementSink.h"

namespace transfer {

TableRows readRows(platform::Connection &source, std::string_view table, const std::vector<ColumnDefinition> &columns,
                   bool destinationNoBackslashEscapes, platform::EventYield &yield)
{
    platform::RecordSet record = source.execute(selectRowsStatement(table, columns));
    TableRows result{RowBuffer(record.fieldCount()), {{}, destinationNoBackslashEscapes}};
    for (int c = 0; c < record.fieldCount(); ++c)
        result.encoding.binary.push_back(record.isBinary(c));
    while (!record.eof()) {
        yield.yield();
        result.rows.appendCurrentRow(record);
        record.moveNext();
    }
    return result;
}

void writeRows(StatementSink &sink, std::string_view table, const TableRows &tableRows, platform::EventYield &yield,
               ProgressIndicator &progress)
{
    const size_t n = tableRows.rows.rowCount();
    const std::string head = insertHead(table);
    std::string statement;
    for (size_t k = 0; k < n; ++k) {
        yield.yield();
        if (sink.sending()) {
            buildInsertStatement(statement, head, tableRows.rows, k, tableRows.encoding);
            sink.send(statement);
        }
        progress.setValue(static_cast<double>(k + 1) / static_cast<double>(n) * 100.0);
    }
}

} // namespace transfer
