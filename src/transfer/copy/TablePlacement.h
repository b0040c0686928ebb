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

    // Makes the new table from the source's definition under a temporary name, given to building
    // before it is asked for: a run cut short while the server makes it still knows what to drop.
    // Throws platform::DbError, building then empty.
    void createBuilding(const std::string &create, const std::string &table, std::string &building);
    // The same statement under the next temporary name, not sent: for a caller that sends it
    // together with the first rows. Returns the name.
    std::string nameBuilding(const std::string &create, const std::string &table, std::string &statement);
    // Puts the verified copy in the table's place in one statement, the old table (replaced, when
    // there is one) moved aside under a free name and dropped after. Throws platform::DbError.
    void swapIn(const std::string &table, const std::string &replaced, const std::string &building);

private:
    platform::Connection &destination_;
    Send send_;
    int built_ = 0;
};

} // namespace transfer
