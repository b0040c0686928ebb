#pragma once

#include "platform/DbConnection.h"
#include "transfer/shared/TableColumns.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class EventYield;
}

namespace transfer {

class LogPane;
class ProgressIndicator;

// The one file name a bulk load names, and the only one its connection ever answers for.
inline constexpr std::string_view RowsFileName = "rows";

// LOAD DATA LOCAL INFILE … INTO TABLE `t` CHARACTER SET binary …(`a`, …): the rows' bytes as they
// are stored, tab-separated, escaped with backslashes, NULL as \N.
std::string loadDataStatement(std::string_view table, const std::vector<StoredColumn> &columns);

// A bulk load in parts of about bytes each, the rows read in the order of a key column: after
// each part, loaded is told the key of its last row, and whether no row comes after it. Until
// lookForCount gives the source's row count, it is asked now and then as rows are sent.
struct BulkParts {
    int keyColumn = -1; // none: statements of BulkLoad::StatementBytes, rows in the server's order
    size_t bytes = 0;
    std::function<void(std::string_view lastKey, bool last)> loaded;
    std::function<std::optional<long long>()> lookForCount;
};

// Streams a source table's stored columns into a destination table in bulk: LOAD DATA LOCAL fed
// from memory, in statements of up to 64 MiB, or, when the destination refuses LOCAL, multi-row
// INSERTs sized to its max_allowed_packet (BulkInserts.cpp). The rows source must be a connection of its own whose
// results come as stored bytes (character_set_results = binary).
class BulkLoad {
public:
    static constexpr size_t StatementBytes = 64 << 20;

    struct Ends {
        platform::Connection &rows;
        platform::Connection &destination;
        bool destinationNoBackslashEscapes;
        unsigned long long destinationMaxPacket;
        // INSERTs of at most this many bytes, each part's in one transaction: a near server takes
        // rows faster in statements of a megabyte than in one of a whole part. 0: a statement a part.
        size_t insertBytes = 0;
        // Few rows for a far server: INSERTs straight away, one round trip a statement where
        // LOAD DATA LOCAL takes two (the server's request for the file, then its answer).
        bool insertsFirst = false;
        // With insertsFirst: a statement sent in the same round trip as the first INSERT, before
        // it (the table's CREATE); multi-statements must be on.
        std::string before{};
        // With insertsFirst: a statement with a result sent in the same round trip as the last
        // INSERT, after it (the copy's own figures), its answer handed to afterAnswer. Not sent
        // when no row came.
        std::string after{};
        std::function<void(platform::RecordSet &)> afterAnswer{};
        // A second session to the destination, set up as it is, asked for once a near load needs
        // a second statement: the INSERTs then go to both in turn, so the server works on two at
        // once (a server parses and stores each on one core). Null: no such session to be had.
        std::function<platform::Connection *()> helper{};
    };
    static constexpr size_t NearInsertBytes = 1 << 20;
    struct Ui {
        platform::EventYield &yield;
        ProgressIndicator &progress;
        LogPane &log;
    };

    BulkLoad(const Ends &ends, const Ui &ui, std::string_view sourceTable, std::string_view targetTable,
             const std::vector<StoredColumn> &columns, long long expectedRows, bool allVersions = false,
             BulkParts parts = {});

    // Sends every row. Throws platform::DbError (a warning of the load counts as an error).
    void run();
    long long rows() const { return rows_; }
    size_t bytes() const { return bytes_; }
    bool usedInserts() const { return usedInserts_; }

private:
    bool loadInBulk();
    void insertInBatches();
    bool nextRow(std::string &out, bool asInsertValues);
    void partLoaded(const std::string &lastKey, bool last);
    // Fails the load unless its warnings are just the ENUM error values it sent.
    void checkWarnings(platform::Connection &session, unsigned int warnings, unsigned int errorValues);
    size_t produce(char *buffer, size_t size);
    void countRowSent();
    // The bar's full length, once the count has come (the load may start on an estimate).
    void lookForCount();
    void setExpectedRows(long long rows)
    {
        expected_ = static_cast<double>(std::max(rows, 1LL));
        counted_ = true;
    }
    // Nothing overlaps the last part's check: once the rows still to come would fit an eighth of
    // a part, the part being sent ends, so that the last is small. Once only, so a count that was
    // wrong (rows added meanwhile) costs one small part, never a run of them.
    void makeLastPartSmall();

    Ends ends_;
    Ui ui_;
    std::string target_;
    const std::vector<StoredColumn> &columns_;
    double expected_;
    platform::RecordSet record_;
    std::string pending_;
    size_t pendingAt_ = 0;
    size_t statementBytes_ = 0;
    std::vector<int> errorValueColumns_;
    // How each column's values go into an INSERT: as bytes; as text (MySQL's JSON is made of
    // nothing else); the destination's own end of time for a current row's NULL.
    std::vector<SentAs> sentAs_;
    BulkParts parts_;
    size_t partBytes_;
    size_t statementLimit_ = 0;
    bool counted_ = false; // expected_ is the source's count, not an estimate
    bool lastMadeSmall_ = false;
    size_t lookForCountAt_ = 0; // bytes sent
    std::string lastKey_; // of the last row read, when loading in parts
    unsigned int errorValues_ = 0; // in the statement being sent
    long long rows_ = 0;
    size_t bytes_ = 0;
    bool usedInserts_ = false;
};

} // namespace transfer
