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
    onTheWayOut(destination_, reopen_, [this](platform::Connection &session) { putBackOn(session); });
}

void onTheWayOut(platform::Connection &destination, const TableSetAside::Reopen &reopen,
                 const std::function<void(platform::Connection &)> &work)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(TableSetAside::WayOutSeconds);
    if (destination.readyForStatement()) {
        destination.finishBy(deadline);
        try {
            work(destination);
            return;
        } catch (const std::exception &) {
            // The session is gone or too slow: another one may still get through in the time left.
        }
    }
    if (!reopen)
        return;
    try {
        onAnotherSession(destination, reopen, nullptr, deadline, work);
    } catch (const std::exception &) {
        // Nobody is left to tell; what stays, the next listing of this side names in the log pane.
    }
}

void onAnotherSession(platform::Connection &stuck, const TableSetAside::Reopen &reopen, platform::EventYield *yield,
                      std::chrono::steady_clock::time_point deadline,
                      const std::function<void(platform::Connection &)> &work)
{
    const unsigned long stuckSession = stuck.isOpen() ? stuck.threadId() : 0;
    platform::Connection other;
    other.setConnectionTimeout(TableSetAside::WayOutSeconds);
    other.setCommandTimeout(TableSetAside::WayOutSeconds);
    if (yield)
        other.setEventYield(yield);
    else
        other.finishBy(deadline);
    reopen(other);
    if (stuckSession != 0) {
        try {
            other.execute("KILL CONNECTION " + std::to_string(stuckSession));
        } catch (const platform::DbError &) {
            // Already gone.
        }
    }
    // A lock the ended session still holds is waited for no longer than the rest.
    other.execute("SET SESSION lock_wait_timeout = " + std::to_string(TableSetAside::WayOutSeconds));
    work(other);
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
