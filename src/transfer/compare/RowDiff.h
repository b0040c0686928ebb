#pragma once

#include "transfer/compare/CompareAnswers.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace platform {
class Connection;
}

namespace transfer {

// A table as one server holds it, in the terms that server's own column types give.
struct ComparedTable {
    platform::Connection &server;
    std::string table;
    std::string checksum; // of a row's compared columns (rowChecksum)
    // Where a row lies in the key's order: the key column itself when it is a whole number, else a
    // checksum of the key's values; empty for a table without a key.
    std::string position;
    std::vector<std::string> keyColumns; // names; selected to show and match a row's key
    std::vector<bool> textKey;           // which of them are shown in quotes
    size_t questionBytes = 32 * 1024;    // the longest question to send that server
    // Few rows, as the catalog estimates them: the whole table's figures come with its key's ends,
    // and a table the same on both sides takes one round trip.
    bool small = false;
};

struct DifferingRow {
    enum class Kind { OnlyHere, OnlyThere, Differs };
    std::string key; // as shown: 17, 'abc', (3, 'x')
    Kind kind = Kind::Differs;
    Cells keyValues; // the key's values as the server sent them, to find the row by
    std::string checksumThere; // the row's checksum on the second table when compared; empty if not there

};

struct RowComparison {
    long long rowsHere = 0;
    long long rowsThere = 0;
    bool same = false;
    std::vector<DifferingRow> rows; // of a keyed table, at most the keys asked for, in key order
    bool more = false;              // more rows differ than are listed
    // With more: every differing row up to this position is listed; the rest lie after it.
    std::optional<Position> listedUpTo;
    long long queries = 0;          // asked of each server
};

// How the rows are narrowed down: the parts a differing range is split into, and the rows a range
// holds when its keys are read instead.
inline constexpr int MostDifferingKeys = 100;
inline constexpr int RangeParts = 16;     // at least
inline constexpr int MostRangeParts = 256; // where few ranges differ and their parts fit one question
inline constexpr long long FewRows = 64;
inline constexpr long long RowsReadAtOnce = 32768; // of the few-row ranges, by one question

// Finds the rows in which two tables differ without reading them: the count and digest of the
// whole table, then of RangeParts parts (more, up to MostRangeParts, where a level holds few ranges
// and their parts still fit one question) of each differing key range, level by level, until a range
// holds a few rows, whose keys and own checksums are read. A level's ranges go in as few questions
// as fit, so the questions grow like the logarithm of the table's size, their clauses like the
// differing rows times it; ranges after the first mostKeys differing rows are left (0: none is,
// for a change of every differing row).
// Both servers work on each question at once. Throws platform::DbError, also when an answer is
// not what was asked for.
// after: only the rows past that position (a keyed table's), to go on from an earlier listedUpTo.
RowComparison compareRows(const ComparedTable &here, const ComparedTable &there, bool wholeNumberKey,
                          size_t mostKeys = MostDifferingKeys, std::optional<Position> after = {});

} // namespace transfer
