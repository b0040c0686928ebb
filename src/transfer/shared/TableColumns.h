#pragma once

#include "platform/SqlQuoting.h"

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

// `a`, …: the columns as the copies read them (selectStoredStatement's list).
std::string selectedColumns(const std::vector<StoredColumn> &columns);

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

// (`a`, `b`, …): the columns an INSERT names.
std::string namesList(const std::vector<StoredColumn> &columns);

// How a stored value goes into an INSERT or UPDATE, as the copies send it: its bytes; JSON made
// text on arrival (MySQL makes a JSON value only of text); a current row's end, read as NULL, as
// the destination's own end of time.
// An integer or decimal goes as the number itself when it is one (the server parses that faster
// than a string it must convert), its bytes otherwise.
enum class SentAs : char { Bytes, Json, CurrentEnd, Number };
SentAs sentAs(const StoredColumn &c);

// -123 or -123.45: nothing but what a number literal is made of, so the text is never SQL.
inline bool isPlainNumber(std::string_view text)
{
    size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
    const size_t digitsFrom = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i;
    if (i == digitsFrom)
        return false;
    if (i < text.size() && text[i] == '.') {
        const size_t fractionFrom = ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        if (i == fractionFrom)
            return false;
    }
    return i == text.size();
}

// On the per-row path: inline.
inline void appendSentValue(std::string &out, SentAs as, const StoredColumn &c, bool isNull, std::string_view bytes,
                            bool noBackslashEscapes)
{
    if (as == SentAs::Number && !isNull && isPlainNumber(bytes)) {
        out += bytes;
    } else if (isNull) {
        if (as == SentAs::CurrentEnd)
            out += "'" + c.currentEnd + "'";
        else
            out += "NULL";
    } else if (as == SentAs::Json) {
        out += "CONVERT(";
        platform::appendBinaryLiteral(out, bytes, noBackslashEscapes);
        out += " USING utf8mb4)";
    } else {
        platform::appendBinaryLiteral(out, bytes, noBackslashEscapes);
    }
}

} // namespace transfer
