#pragma once

#include "transfer/shared/TableColumns.h"

#include <QString>

#include <map>
#include <string>
#include <vector>

namespace platform {
class Connection;
}

namespace transfer {

// What a run asks a server's catalog of its tables, asked for all of them at once: over a far
// link one round trip for every table's definition and one for every table's stored columns,
// not two a table. A table whose answer did not come (refused, gone) is asked for alone, as before.
class RunCatalog {
public:
    RunCatalog() = default;
    // tables: names exactly as the server lists them. Throws platform::DbError for a lost session.
    RunCatalog(platform::Connection &server, const std::vector<std::string> &tables);

    // SHOW CREATE TABLE's statement.
    std::string definition(platform::Connection &server, const std::string &table) const;
    // As storedColumns gives them.
    std::vector<StoredColumn> columns(platform::Connection &server, const std::string &table) const;

    // information_schema's estimate of its rows; -1 when none came.
    long long estimatedRows(const std::string &table) const;

private:
    std::map<std::string, long long> estimatedRows_;
    std::map<std::string, std::string> definitions_;
    std::map<std::string, std::vector<StoredColumn>> columns_;
};

} // namespace transfer
