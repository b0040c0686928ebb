#include "sides/TableStatements.h"

#include "platform/SqlQuoting.h"

namespace sides {

std::string dropTableStatement(std::string_view table, bool withSemicolon)
{
    std::string s = "DROP TABLE ";
    platform::appendBackquoted(s, table);
    if (withSemicolon)
        s += ';';
    return s;
}

std::string renameTableStatement(std::string_view oldName, std::string_view newName)
{
    std::string s = "RENAME TABLE ";
    platform::appendBackquoted(s, oldName);
    s += " TO ";
    platform::appendBackquoted(s, newName);
    return s;
}

} // namespace sides
