#include "transfer/RowCopy.h"

#include "platform/DbConnection.h"
#include "platform/EventYield.h"
#include "tables/DebugLog.h"
#include "transfer/Progress.h"

namespace transfer {

TableRows readRows(db::Connection &source, std::string_view table, const std::vector<ColumnDefinition> &columns,
                   bool destinationNoBackslashEscapes, platform::EventYield &yield)
{
    db::RecordSet record = source.execute(selectRowsStatement(table, columns));
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

bool writeRows(db::Connection &destination, std::string_view table, const TableRows &tableRows, bool sendFlag,
               DebugLog &log, platform::EventYield &yield, ProgressIndicator &progress)
{
    const size_t n = tableRows.rows.rowCount();
    const std::string head = insertHead(table);
    std::string statement;
    for (size_t k = 0; k < n; ++k) {
        yield.yield();
        if (sendFlag) {
            buildInsertStatement(statement, head, tableRows.rows, k, tableRows.encoding);
            sendFlag = log.executeAndLog(destination, statement);
        }
        progress.setValue(static_cast<double>(k + 1) / static_cast<double>(n) * 100.0);
    }
    return sendFlag;
}

} // namespace transfer
