#pragma once

#include <string>
#include <string_view>

namespace sides {

// The statements that change one table of a side, as UTF-8 bytes; every name is backquoted.

// "DROP TABLE `t`", with a closing semicolon when asked (the table manager's side #2 sends one).
std::string dropTableStatement(std::string_view table, bool withSemicolon = false);

// "RENAME TABLE `old` TO `new`"
std::string renameTableStatement(std::string_view oldName, std::string_view newName);

} // namespace sides
