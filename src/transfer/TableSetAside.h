#pragma once

#include <string>

namespace platform {
class Connection;
}

namespace transfer {

// A destination table moved out of the way, under a name of its own, while a table of the same
// name is copied in: an overwrite that fails then leaves the destination as it was.
class TableSetAside {
public:
    // Renames the table to a free name. Throws platform::DbError when the server refuses.
    TableSetAside(platform::Connection &destination, std::string table);
    // A table neither dropped nor put back goes back quietly: the run is being cut short.
    ~TableSetAside();
    TableSetAside(const TableSetAside &) = delete;
    TableSetAside &operator=(const TableSetAside &) = delete;

    const std::string &asideName() const { return aside_; }

    // The copy is complete: the old table goes. Throws platform::DbError.
    void dropOld();
    // The copy failed: what was made of it goes (when replacementExists) and the old table is
    // renamed back. Throws platform::DbError; the old table is then still under asideName().
    void putBack(bool replacementExists);

private:
    platform::Connection &destination_;
    std::string table_;
    std::string aside_;
    bool settled_ = false;
};

} // namespace transfer
