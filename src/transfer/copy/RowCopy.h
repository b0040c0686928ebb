#pragma once

#include "platform/RecordSet.h"
#include "transfer/shared/RowBuffer.h"
#include "transfer/shared/SqlText.h"

#include <QString>

#include <string_view>

namespace platform {
class Connection;
class EventYield;
} // namespace platform

namespace transfer {

class ProgressIndicator;
class StatementSink;

// SELECT COUNT(*) FROM `t`: how many rows the bar counts to. Throws platform::DbError.
long long countRows(platform::Connection &source, std::string_view table);

// The rows of one table as the source streams them (SELECT * FROM `t`), held one bounded batch at
// a time, so memory does not grow with the table. Throws platform::DbError when the rows cannot be
// read; the source connection is busy with the stream until its last row has been read.
class RowStream {
public:
    static constexpr size_t BatchRows = 1000;
    static constexpr size_t BatchBytes = 8 << 20; // a batch may pass it by one row

    RowStream(platform::Connection &source, std::string_view table, const std::vector<ColumnDefinition> &columns,
              bool destinationNoBackslashEscapes);

    // Replaces the batch with the next rows, yielding once before each; false when none was left.
    bool readBatch(platform::EventYield &yield);
    const RowBuffer &batch() const { return batch_; }
    const ValueEncoding &encoding() const { return encoding_; }
    // How many values of the batch's row are an ENUM's error value ('' outside its list).
    unsigned int enumErrorValues(size_t row) const
    {
        unsigned int n = 0;
        for (const int c : errorValueColumns_) {
            const RowBuffer::Cell cell = batch_.cell(row, c);
            n += !cell.isNull() && cell.length == 0;
        }
        return n;
    }

private:
    platform::RecordSet record_;
    RowBuffer batch_;
    ValueEncoding encoding_;
    std::vector<int> errorValueColumns_;
};

// "Run-time error: 1153 Row 3 of table t needs a statement of …": a row too big for the destination.
QString oversizeRowText(std::string_view table, size_t row, size_t statementBytes, unsigned long long limit);

// Sends one INSERT per row while the sink still sends, yielding before each and moving the bar to
// (k + 1) / expectedRows × 100 after row k, never past 100. Rows are read on to the end even once
// the sink has stopped. A row whose statement the destination cannot take is not sent: the sink
// stops with oversizeRowText. Throws platform::DbError when the source fails; rows sent stay.
void copyRows(RowStream &rows, StatementSink &sink, std::string_view table, long long expectedRows,
              platform::EventYield &yield, ProgressIndicator &progress);

} // namespace transfer
