#include "transfer/copy/SchemaCopy.h"

#include "platform/DbConnection.h"
#include "platform/EventYield.h"
#include "transfer/shared/ServerText.h"
#include "transfer/shared/StatementSink.h"

namespace transfer {

std::vector<ColumnDefinition> describeColumns(platform::Connection &source, std::string_view table,
                                              platform::EventYield &yield)
{
    std::vector<ColumnDefinition> columns;
    platform::RecordSet described = source.execute(describeStatement(table));
    while (!described.eof()) {
        yield.yield();
        ColumnDefinition column{std::string(described.value(0).bytes), upperCaseOutsideQuotes(described.value(1).bytes)};
        checkColumnType(source, table, column.name, column.type);
        columns.push_back(std::move(column));
        described.moveNext();
    }
    described.close();
    return columns;
}

bool copySchema(StatementSink &sink, std::string_view table, const std::vector<ColumnDefinition> &columns,
                const TypeRules &rules)
{
    return sink.send(createTableStatement(table, columns, rules));
}

} // namespace transfer
