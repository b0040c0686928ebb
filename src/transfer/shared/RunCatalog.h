#pragma once

#include "transfer/shared/Catalog.h"
#include "transfer/shared/TableColumns.h"

#include <QString>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace platform {
class Connection;
}

namespace transfer {

// What a run asks a server's catalog of its tables, asked for all of them at once: over a far
// link one round trip for every table's kind, stored columns, primary key, triggers and
// definition, not several a table. A table whose answer did not come (refused, gone, its name
// written otherwise) is asked for alone, as before.
class RunCatalog {
public:
    RunCatalog() = default;
    // tables: names exactly as the server lists them. Throws platform::DbError for a lost session.
    RunCatalog(platform::Connection &server, const std::vector<std::string> &tables);
    // Holds nothing: every table is asked for alone.
    static const RunCatalog &none();

    // SHOW CREATE TABLE's statement.
    std::string definition(platform::Connection &server, const std::string &table) const;
    // As storedColumns gives them.
    std::vector<StoredColumn> columns(platform::Connection &server, const std::string &table) const;

    // information_schema's estimate of its rows; -1 when none came.
    long long estimatedRows(const std::string &table) const;
    // As sourceTable gives it.
    SourceTable table(platform::Connection &server, const std::string &table) const;
    // As primaryKeyColumns gives them.
    std::vector<std::string> primaryKey(platform::Connection &server, const std::string &table) const;
    // As triggerNames gives them.
    std::vector<std::string> triggers(platform::Connection &server, const std::string &table) const;

private:
    // Found for a table the catalog listed under the name asked for, whose question was answered:
    // its absence from the answer then means it has none.
    const std::vector<std::string> *listed(const std::string &table, const std::set<std::string> &answered,
                                           const std::map<std::string, std::vector<std::string>> &found) const;

    std::map<std::string, SourceTable> tables_;
    std::map<std::string, std::vector<std::string>> primaryKeys_;
    std::map<std::string, std::vector<std::string>> triggers_;
    std::set<std::string> keysKnown_; // tables whose question of keys was answered
    std::set<std::string> triggersKnown_;
    std::map<std::string, long long> estimatedRows_;
    std::map<std::string, std::string> definitions_;
    std::map<std::string, std::vector<StoredColumn>> columns_;
};

} // namespace transfer
