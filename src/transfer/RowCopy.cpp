#include "transfer/RowCopy.h"

#include "platform/DbConnection.h"
#include "platform/EventYield.h"
#include "transfer/Progress.h"
#include "transfer/StatementSink.h"

namespace transfer {

QString oversizeRowText(std::string_view table, size_t row, size_t statementBytes, unsigned long long limit)
{
    return runtimeErrorText(1153, QStringLiteral("Row %1 of table %2 needs a statement of %3 bytes, more than the "
                                                 "destination server takes (max_allowed_packet = %4 bytes). Raise "
                                                 "max_allowed_packet on that server and copy the table again.")
                                      .arg(row)
                                      .arg(QString::fromUtf8(table.data(), static_cast<qsizetype>(table.size())))
                                      .arg(statementBytes)
                                      .arg(limit));
}

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
            if (statement.size() < sink.statementLimit())
                sink.send(statement);
            else // the server would drop the connection on it: say why instead
                sink.refuse(oversizeRowText(table, k + 1, statement.size(), sink.statementLimit()));
        }
        progress.setValue(static_cast<double>(k + 1) / static_cast<double>(n) * 100.0);
    }
}

} // namespace transfer
