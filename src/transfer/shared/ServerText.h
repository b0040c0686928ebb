#pragma once

#include "platform/DbError.h"

#include <string>
#include <string_view>

namespace platform {
class Connection;
}

// What a server says is data, never SQL: each piece of its text that goes into a statement for the
// other server is checked here first, and each number it sends is read with its range checked.
// A check that fails throws platform::DbError naming the server and what was wrong.
namespace transfer {

// A column type as DESCRIBE gives it (upper case outside quotes): one type name, an optional
// parenthesised list of numbers or quoted values, then only UNSIGNED, SIGNED, ZEROFILL or BINARY.
void checkColumnType(const platform::Connection &server, std::string_view table, std::string_view column,
                     std::string_view type);

// One statement, read as a session of that backslash mode reads it: every quote and comment
// closed, no ';' outside them.
void checkOneStatement(const platform::Connection &server, std::string_view what, std::string_view sql,
                       bool noBackslashEscapes);

// A trigger's definition without its DEFINER: CREATE TRIGGER name {BEFORE|AFTER} {INSERT|UPDATE|
// DELETE} ON table FOR EACH ROW, for that name and table. Returns it made on onTable instead.
std::string checkedTriggerOn(const platform::Connection &server, std::string_view name, std::string_view table,
                             std::string_view createTrigger, std::string_view onTable);

// CONSTRAINT `n` FOREIGN KEY (`a`, …) REFERENCES [`db`.]`t` (`b`, …) [ON DELETE …] [ON UPDATE …]
void checkForeignKey(const platform::Connection &server, std::string_view table, std::string_view foreignKey);

// A whole number the server sent as text, within [least, most].
long long wholeNumber(const platform::Connection &server, std::string_view what, std::string_view text,
                      long long least, long long most);

// What a statement that should have raised only ENUM error values' warnings (1265, when
// errorValuesExpected) was refused with, read from SHOW WARNINGS: the first warning of another
// number, or the first one. Throws platform::DbError when they cannot be read.
platform::DbError warningRefusal(platform::Connection &server, bool errorValuesExpected);

// An sql_mode as the server reports it: names of flags, separated by commas.
void checkSqlMode(const platform::Connection &server, std::string_view mode);

// A number as a server sent it, checked before it goes back into a statement: an optional sign
// and at most 20 digits.
bool wholeNumberText(std::string_view s);

} // namespace transfer
