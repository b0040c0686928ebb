#pragma once

#include <string>

namespace platform {
class Connection;
}

namespace transfer {

// Whether a destination can be given a system-versioned table's history, with the times each row
// held. Asked at the first such table only: two round trips most copies do without.
class HistoryTarget {
public:
    explicit HistoryTarget(platform::Connection &destination) : destination_(destination) {}

    // Where a current row's time ends on the destination, as its text; empty where history cannot
    // be written (before MariaDB 10.11, and on MySQL). Throws platform::DbError if the connection
    // is lost.
    const std::string &currentEnd();

private:
    platform::Connection &destination_;
    bool asked_ = false;
    std::string currentEnd_;
};

} // namespace transfer
