#pragma once

#include "transfer/shared/Sessions.h"

#include <QString>

#include <string>
#include <vector>

namespace platform {
class Connection;
}

namespace transfer {

// The triggers on a table of c's database, which run for each row changed; names as the server
// sent them.
std::vector<std::string> triggerNames(platform::Connection &c, const std::string &table);

// The tables in the order their rows may be added: a table whose foreign keys on c name others
// of them after those others (children after parents); removals go the other way. Tables in a
// cycle keep their order.
std::vector<QString> parentsFirst(platform::Connection &c, const std::vector<QString> &tables, const TableNames &names);

} // namespace transfer
