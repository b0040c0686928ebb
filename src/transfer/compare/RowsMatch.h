#pragma once

#include "transfer/compare/MatchStatements.h"
#include "transfer/compare/RowDiff.h"

#include <functional>
#include <string>
#include <vector>

namespace platform {
class Connection;
}

namespace transfer {

// The two sessions and the statements of a change of one table's differing rows.
struct MatchEnds {
    // Reads the source's rows in the snapshot the compare used, as stored bytes.
    platform::Connection &source;
    // Changes the target; its results as stored bytes too, so values compare byte for byte.
    platform::Connection &target;
    const MatchStatements &statements;
    std::string table;          // its name on both
    std::string selectColumns;  // `a`, `b`, …: the statements' columns, in their order
    std::string targetChecksum; // of a row on the target, as the compare computed it
};

struct RowsMatched {
    long long added = 0;
    long long changed = 0;
    long long removed = 0;
    // Rows the target changed after the compare: left as they are, by their shown keys.
    std::vector<std::string> leftAlone;

    RowsMatched &operator+=(const RowsMatched &other);
};

// Which of the differing rows a pass changes: foreign keys between tables want every removal
// (children first) before the changes and additions (parents first).
enum class MatchPass { Everything, Removals, ChangesAndAdditions };

// How big a transaction of a change grows: its rows, and the bytes of one INSERT or of the
// statements sent together (the chunk's writes and its COMMIT go in as few round trips as fit).
struct MatchChunks {
    size_t rows = 2000;
    size_t statementBytes = 1 << 20;
};

// Logs and runs statements on the target, in order, as one round trip where it can (or writes
// them down); throws platform::DbError for the first refused.
using MatchSend = std::function<void(const std::vector<std::string> &statements)>;

// Makes the target's differing rows the source's: in transactions of at most chunks.rows rows,
// each row read on both sides in one question per chunk and checked again inside its transaction
// (left and said when it changed since the compare), removals first, then changes of the
// differing columns only, then additions. Throws platform::DbError; the chunk that failed is rolled back, the ones before it
// stay, and done says what they did.
void matchRows(const MatchEnds &ends, const std::vector<DifferingRow> &rows, MatchPass pass,
               const MatchChunks &chunks, const MatchSend &send, RowsMatched &done);

} // namespace transfer
