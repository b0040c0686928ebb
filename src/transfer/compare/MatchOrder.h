#pragma once

#include "transfer/shared/Sessions.h"

#include <QString>

#include <string>
#include <vector>

namespace platform {
class Connection;
}

namespace transfer {

// The tables in the order their rows may be added: a table whose foreign keys on c name others
// of them after those others (children after parents); removals go the other way. Tables in a
// cycle keep their order.
std::vector<QString> parentsFirst(platform::Connection &c, const std::vector<QString> &tables, const TableNames &names);

} // namespace transfer
