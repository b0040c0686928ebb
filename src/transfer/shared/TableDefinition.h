#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {
class Connection;
}

namespace transfer {

// A table's SHOW CREATE TABLE, taken apart for a complete copy: the foreign keys are added only
// once every table of the run is in place.
struct TableDefinition {
    std::string create;                   // without its foreign keys
    std::vector<std::string> foreignKeys; // "CONSTRAINT `c` FOREIGN KEY (…) REFERENCES …"
};

TableDefinition splitForeignKeys(std::string_view showCreateTable);

// The server's SHOW CREATE TABLE of table. Throws platform::DbError, also when it gives none.
std::string showCreateTable(platform::Connection &server, std::string_view table);

// The same CREATE TABLE for a table of another name. Throws std::runtime_error when the text does
// not start as SHOW CREATE TABLE writes it.
std::string renamedCreate(std::string_view create, std::string_view table, std::string_view newName);

// "ALTER TABLE `t` ADD CONSTRAINT …"
// The name a "CONSTRAINT `c` FOREIGN KEY …" gives its key.
std::string foreignKeyName(std::string_view foreignKey);
std::string addForeignKeyStatement(std::string_view table, std::string_view foreignKey);

// SHOW CREATE TRIGGER's statement without its DEFINER clause, so the trigger runs as whoever
// loads it, as on a server where the source's accounts do not exist.
std::string withoutDefiner(std::string_view createTrigger);

} // namespace transfer
