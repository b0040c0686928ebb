#pragma once

#include <string>
#include <string_view>
#include <vector>

// The statements a copy sends, built as bytes (UTF-8), exactly as they go to the server.
namespace transfer {

class RowBuffer;

struct ColumnDefinition {
    std::string name;
    std::string type; // as the destination gets it
};

// enum('a','B') -> ENUM('a','B'): keywords upper case, quoted values untouched.
std::string upperCaseOutsideQuotes(std::string_view type);

std::string describeStatement(std::string_view table);
std::string selectAllStatement(std::string_view table);
// A DOUBLE expression's exact value as text both makes write alike: "0", or the sign, the 53-bit
// mantissa and the power of two ("-5p-1" for -2.5). MySQL and MariaDB write the text of one double
// with different digits; this form takes only exact steps (scaling by powers of two, integers),
// the logarithm no more than a first guess of the exponent that the mantissa's size then corrects.
std::string exactDoubleText(const std::string &value);
// `a`, or for a FLOAT (`f` + 0e0): a column as a copy reads it.
void appendSelectedColumn(std::string &out, std::string_view name, bool isFloat);

// SELECT `a`, `b` FROM `t`: every column by name (an INVISIBLE one too), a FLOAT read widened to
// DOUBLE, because the server's text form of a FLOAT keeps only six digits and would not give back
// the same value.
std::string selectRowsStatement(std::string_view table, const std::vector<ColumnDefinition> &columns);
// What the destination session needs of a column type beyond the source's text for it.
struct TypeRules {
    bool noBackslashEscapes = false; // value lists are re-quoted without backslash escapes
    bool timestampNeedsNull = false; // the session could not be told that TIMESTAMP takes NULL
};

// The source's type text as the destination must read it to define the same column. The server
// writes ENUM and SET values with backslash escapes whatever the session's mode; a session with
// NO_BACKSLASH_ESCAPES gets them with only their quotes doubled. A TIMESTAMP gets NULL when the
// session would otherwise make it NOT NULL and turn NULL into the current time.
std::string destinationType(std::string_view type, const TypeRules &rules);

// CREATE TABLE `t`(`a` INT(11),`b` VARCHAR(50)), each type as destinationType gives it.
std::string createTableStatement(std::string_view table, const std::vector<ColumnDefinition> &columns,
                                 const TypeRules &rules = {});

// How each column's values are written: as a quoted string or, for binary columns, as a binary string.
struct ValueEncoding {
    std::vector<bool> binary;
    bool noBackslashEscapes = false;
};

// True for an ENUM whose values do not include '': there '' is the error value a lax session
// stores for a value not in the list, which a strict session refuses to store.
bool enumWithoutEmptyValue(std::string_view type);

// "INSERT INTO `t` VALUES(" — the part every row of one table shares; "INSERT IGNORE INTO …" for
// rows that hold an ENUM's error value.
std::string insertHead(std::string_view table, bool ignore = false);
// Writes the INSERT of one buffered row into out (replacing what it held, keeping its capacity).
// NULL goes as the word NULL.
void buildInsertStatement(std::string &out, std::string_view head, const RowBuffer &rows, size_t row,
                          const ValueEncoding &encoding);

} // namespace transfer
