#pragma once

#include <functional>
#include <string>
#include <utility>

namespace platform {
class Connection;
}

namespace transfer {

// Where a complete copy builds a table, and how it puts it in place: names of its own that no
// table has yet (a user's table of such a name is never touched), one RENAME for the swap.
class TablePlacement {
public:
    using Send = std::function<void(const std::string &statement)>; // logs and runs one statement

    TablePlacement(platform::Connection &destination, Send send)
        : destination_(destination), send_(std::move(send))
    {
    }

    // Makes the new table from the source's definition under a temporary name; returns the name.
    // Throws platform::DbError.
    std::string createBuilding(const std::string &create, const std::string &table);
    // Puts the verified copy in the table's place in one statement, the old table (replaced, when
    // there is one) moved aside under a free name and dropped after. Throws platform::DbError.
    void swapIn(const std::string &table, const std::string &replaced, const std::string &building);

private:
    platform::Connection &destination_;
    Send send_;
    int built_ = 0;
};

} // namespace transfer
