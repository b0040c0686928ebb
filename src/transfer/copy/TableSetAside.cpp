#include "transfer/copy/TableSetAside.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/SqlQuoting.h"
#include "sides/TableStatements.h"

#include <chrono>

namespace transfer {

namespace {

constexpr int Attempts = 100;

} // namespace

TableSetAside::TableSetAside(platform::Connection &destination, std::string table, std::string replacement,
                             Reopen reopen)
    : destination_(destination), table_(std::move(table)), replacement_(std::move(replacement)),
      reopen_(std::move(reopen))
{
    // Session id and a counter: no other session can pick the same name, and a user's table of
    // that name only costs another try. Short enough for 64 characters whatever the table's name.
    const std::string stem = "tabulink_old_" + std::to_string(destination_.threadId()) + "_";
    for (int n = 1;; ++n) {
        const std::string candidate = stem + std::to_string(n);
        try {
            destination_.execute(sides::renameTableStatement(table_, candidate));
            aside_ = candidate;
            return;
        } catch (const platform::DbError &e) {
            if (e.number() != platform::server_error::TableExists || n == Attempts)
                throw;
        }
    }
}

TableSetAside::~TableSetAside()
{
    if (!settled_)
        putBackOnTheWayOut();
}

void TableSetAside::putBackOnTheWayOut()
{
    settled_ = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(WayOutSeconds);
    if (destination_.isOpen() && !destination_.abandoned()) {
        destination_.finishBy(deadline);
        try {
            putBackOn(destination_);
            return;
        } catch (const std::exception &) {
            // The session is gone or too slow: another one may still get through in the time left.
        }
    }
    if (!reopen_)
        return;
    try {
        // The copy's session may still hold the new table, waiting on a lock: end it first.
        const unsigned long copySession = destination_.isOpen() ? destination_.threadId() : 0;
        platform::Connection other;
        other.setConnectionTimeout(WayOutSeconds);
        other.setCommandTimeout(WayOutSeconds);
        other.finishBy(deadline);
        reopen_(other);
        if (copySession != 0) {
            try {
                other.execute("KILL CONNECTION " + std::to_string(copySession));
            } catch (const platform::DbError &) {
                // Already gone.
            }
        }
        putBackOn(other);
    } catch (const std::exception &) {
        // Nobody is left to tell; the old table stays under its aside name, its rows intact, and
        // the next listing of this side says so in the log pane.
    }
}

void TableSetAside::dropOld()
{
    settled_ = true;
    destination_.execute(sides::dropTableStatement(aside_));
}

void TableSetAside::putBack(bool replacementExists)
{
    settled_ = true;
    if (replacementExists)
        putBackOn(destination_);
    else
        destination_.execute(sides::renameTableStatement(aside_, table_));
}

void TableSetAside::putBackOn(platform::Connection &session)
{
    std::string drop = "DROP TABLE IF EXISTS ";
    platform::appendBackquoted(drop, replacement_);
    session.execute(drop);
    session.execute(sides::renameTableStatement(aside_, table_));
}

} // namespace transfer
