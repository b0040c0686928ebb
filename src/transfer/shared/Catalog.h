#pragma once

#include "transfer/shared/Sessions.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace platform {
class Connection;
}

namespace transfer {

// What the catalog of a server says of its tables, one question each. Every answer is the
// server's text, checked before it is used.

// A source table as information_schema.TABLES gives it.
struct SourceTable {
    std::string name;
    std::string type; // BASE TABLE, VIEW, SYSTEM VERSIONED, SEQUENCE; empty for a table that is gone
    std::string engine;
    std::string estimatedRows;
};
SourceTable sourceTable(platform::Connection &c, const std::string &table);

// The triggers on a table of c's database in the order they fire; names as the server sent them.
std::vector<std::string> triggerNames(platform::Connection &c, const std::string &table);
// The primary key's columns in the key's order; empty for none.
std::vector<std::string> primaryKeyColumns(platform::Connection &c, const std::string &table);

// A table as SHOW FULL TABLES lists it.
struct ListedTable {
    QString name;
    std::string type;
};
std::vector<ListedTable> listTables(platform::Connection &c);
const ListedTable *findTable(const std::vector<ListedTable> &tables, const QString &name, const TableNames &names);

// How the server compares names, and how long a question it takes: a quarter of its
// max_allowed_packet, at most 256 KiB (a level of many ranges in few round trips).
struct ServerRules {
    TableNames names;
    size_t questionBytes = 0;
};
ServerRules serverRules(platform::Connection &c);

// The primary key, else a unique key of columns that hold no NULL, all of whose columns usable
// says are usable; names in the key's order, empty when there is none.
std::vector<std::string> uniqueKeyOf(platform::Connection &c, const std::string &table,
                                     const std::function<bool(const std::string &column)> &usable);

// Every question of the session from now on sees the tables as they were now, on engines that
// keep versions of rows; the session can change nothing.
void readInSnapshot(platform::Connection &c);
// The same after the statements before, all in one question, on a session that takes statements
// together. False where the server refused one (a server before read-only transactions): go step
// by step then. Throws platform::DbError when the session is lost.
bool readInSnapshotTogether(platform::Connection &c, std::vector<std::string> before);

} // namespace transfer
