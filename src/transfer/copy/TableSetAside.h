#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace platform {
class Connection;
class EventYield;
}

namespace transfer {

// A destination table moved out of the way, under a name of its own, while a table of the same
// name is copied in: an overwrite that fails then leaves the destination as it was.
class TableSetAside {
public:
    // Opens another session to the destination, for a way out on which the copy's own is lost.
    using Reopen = std::function<void(platform::Connection &)>;
    // How long the way out of a run cut short may take before the program ends regardless.
    static constexpr int WayOutSeconds = 5;

    // Renames the table to a free name; replacement is the name the copy gives its new table.
    // Throws platform::DbError when the server refuses.
    TableSetAside(platform::Connection &destination, std::string table, std::string replacement, Reopen reopen = {});
    // A table neither dropped nor put back goes back within WayOutSeconds: the run is being cut
    // short. When the copy's session can take no more statements, another one does it.
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
    void putBackOn(platform::Connection &session);
    void putBackOnTheWayOut();

    platform::Connection &destination_;
    std::string table_;
    std::string replacement_;
    Reopen reopen_;
    std::string aside_;
    bool settled_ = false;
};

// What is left for the destination on the way out of a run cut short, within
// TableSetAside::WayOutSeconds: done on the copy's own session while that can take a statement,
// else on another one, the copy's own ended first since it may hold a lock the work waits on.
// Nothing is thrown: what could not be done stays for the next listing to name.
void onTheWayOut(platform::Connection &destination, const TableSetAside::Reopen &reopen,
                 const std::function<void(platform::Connection &)> &work);

// The work on another session to the destination, for one that is lost or stuck: that one ended
// first (it may hold a lock the work waits on), each wait a few seconds at most, the windows
// served through yield, or, with none, nothing served and all of it over by the deadline.
// Throws platform::DbError.
void onAnotherSession(platform::Connection &stuck, const TableSetAside::Reopen &reopen, platform::EventYield *yield,
                      std::chrono::steady_clock::time_point deadline,
                      const std::function<void(platform::Connection &)> &work);

} // namespace transfer
