#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {
class Connection;
}

namespace transfer {

// A stored column of a table: generated columns are the destination's own to compute.
struct StoredColumn {
    std::string name;
    std::string dataType; // information_schema's DATA_TYPE, lower case
    bool enumErrorValue = false; // an ENUM whose '' is the error value, not one of its own
    // The end of a system-versioned row's time: read as NULL while the row is current, since each
    // server marks that with its own greatest time, and written as this (the destination's).
    std::string currentEnd;
};

std::vector<StoredColumn> storedColumns(platform::Connection &source, std::string_view table);

// SELECT `a`, … FROM `t`, FLOAT read widened so no digit is lost; with allVersions, every row a
// system-versioned table has held (FOR SYSTEM_TIME ALL).
std::string selectStoredStatement(std::string_view table, const std::vector<StoredColumn> &columns,
                                  bool allVersions = false);

// CRC32 of a row's values: bytes of text and binary ones, the server's text of numbers and times,
// NULL told apart from ''.
std::string rowChecksum(const std::vector<StoredColumn> &columns);

// SELECT COUNT(*), <order-independent digest of every row> FROM `t`: the same figures on both
// servers only when both tables hold the same rows. NULL is told apart from ''.
std::string digestStatement(std::string_view table, const std::vector<StoredColumn> &columns, bool allVersions = false);

// DATA_TYPE of the integer types, whose values every server writes the same way.
bool wholeNumberType(const std::string &type);

} // namespace transfer
