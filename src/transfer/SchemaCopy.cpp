#include "transfer/SchemaCopy.h"

#include "platform/DbConnection.h"
#include "platform/EventYield.h"
#include "tables/DebugLog.h"

namespace transfer {

std::vector<ColumnDefinition> describeColumns(db::Connection &source, std::string_view table,
                                              platform::EventYield &yield)
{
    std::vector<ColumnDefinition> columns;
    db::RecordSet described = source.execute(describeStatement(table));
    while (!described.eof()) {
        yield.yield();
        columns.push_back({std::string(described.value(0).bytes), upperCaseOutsideQuotes(described.value(1).bytes)});
        described.moveNext();
    }
    described.close();
    return columns;
}

bool copySchema(db::Connection &destination, std::string_view table, const std::vector<ColumnDefinition> &columns,
                bool sendFlag, DebugLog &log)
{
    const std::string statement = createTableStatement(table, columns);
    return sendFlag && log.executeAndLog(destination, statement);
}

} // namespace transfer
