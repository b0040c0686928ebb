#include "transfer/copy/RowCopy.h"

#include "platform/DbConnection.h"
#include "platform/EventYield.h"
#include "platform/SqlQuoting.h"
#include "transfer/shared/Progress.h"
#include "transfer/shared/ServerText.h"
#include "transfer/shared/StatementSink.h"

#include <algorithm>
#include <limits>

namespace transfer {

long long countRows(platform::Connection &source, std::string_view table)
{
    std::string statement = "SELECT COUNT(*) FROM ";
    platform::appendBackquoted(statement, table);
    platform::RecordSet count = source.execute(statement);
    const long long n = wholeNumber(source, "a row count of " + std::string(table), count.value(0).bytes, 0,
                                    std::numeric_limits<long long>::max());
    count.close();
    return n;
}

namespace {

platform::RecordSet selectRows(platform::Connection &source, std::string_view table,
                               const std::vector<ColumnDefinition> &columns)
{
    return source.executeRows(selectRowsStatement(table, columns));
}

} // namespace

RowStream::RowStream(platform::Connection &source, std::string_view table,
                     const std::vector<ColumnDefinition> &columns, bool destinationNoBackslashEscapes)
    : record_(selectRows(source, table, columns)), batch_(record_.fieldCount()),
      encoding_{{}, destinationNoBackslashEscapes}
{
    for (int c = 0; c < record_.fieldCount(); ++c)
        encoding_.binary.push_back(record_.isBinary(c));
    for (size_t c = 0; c < columns.size() && c < static_cast<size_t>(record_.fieldCount()); ++c)
        if (enumWithoutEmptyValue(columns[c].type))
            errorValueColumns_.push_back(static_cast<int>(c));
}

bool RowStream::readBatch(platform::EventYield &yield)
{
    batch_.clear();
    while (!record_.eof() && batch_.rowCount() < BatchRows && batch_.byteCount() < BatchBytes) {
        yield.yield();
        batch_.appendCurrentRow(record_);
        record_.moveNext();
    }
    return batch_.rowCount() > 0;
}

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

void copyRows(RowStream &rows, StatementSink &sink, std::string_view table, long long expectedRows,
              platform::EventYield &yield, ProgressIndicator &progress)
{
    const std::string head = insertHead(table);
    const std::string ignoringHead = insertHead(table, true);
    const double n = static_cast<double>(expectedRows);
    std::string statement;
    size_t k = 0;
    while (rows.readBatch(yield)) {
        const RowBuffer &batch = rows.batch();
        for (size_t i = 0; i < batch.rowCount(); ++i, ++k) {
            yield.yield();
            if (sink.sending()) {
                // A lax server's ENUM error value arrives as it is, and nothing else unrefused.
                const unsigned int errorValues = rows.enumErrorValues(i);
                buildInsertStatement(statement, errorValues > 0 ? ignoringHead : head, batch, i, rows.encoding());
                if (statement.size() >= sink.statementLimit()) // the server would drop the connection on it
                    sink.refuseTooBig(statement, oversizeRowText(table, k + 1, statement.size(), sink.statementLimit()));
                else if (errorValues > 0)
                    sink.sendExpectingWarnings(statement, errorValues);
                else
                    sink.send(statement);
            }
            // A table that grew since it was counted keeps the bar at 100.
            progress.setRows(k + 1, n);
            progress.setValue(std::min(100.0, static_cast<double>(k + 1) / n * 100.0));
        }
    }
}

} // namespace transfer
