#pragma once

#include <string>
#include <string_view>

namespace transfer {

// Where two SHOW CREATE TABLE texts part: the first line that differs on each (empty when that
// text has no such line), once what says nothing of the table is set aside: the table's own name
// (servers that ignore letter case list it their way), AUTO_INCREMENT's next value, the order
// and spelling of the table options, and how a make or version writes a column: where its
// INVISIBLE goes, an integer's display width, a character set or collation that is the table's,
// a number's default in quotes or not.
struct DefinitionDifference {
    bool same = true;
    std::string first; // the first differing line of the first definition, and of the second
    std::string second;
};
DefinitionDifference compareDefinitions(std::string_view first, std::string_view second);

} // namespace transfer
