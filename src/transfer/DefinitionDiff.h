#pragma once

#include <string>
#include <string_view>

namespace transfer {

// Where two SHOW CREATE TABLE texts part: the first line that differs on each (empty when that
// text has no such line), once what says nothing of the table is set aside: the table's own name
// (servers that ignore letter case list it their way), AUTO_INCREMENT's next value, the order
// of the table options, and where a version writes a column's INVISIBLE.
struct DefinitionDifference {
    bool same = true;
    std::string one;
    std::string two;
};
DefinitionDifference compareDefinitions(std::string_view one, std::string_view two);

} // namespace transfer
