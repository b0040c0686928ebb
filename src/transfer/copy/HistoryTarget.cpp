#include "transfer/copy/HistoryTarget.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "transfer/shared/Sessions.h"

#include <algorithm>
#include <string_view>

namespace transfer {

namespace {

// A time as a server writes one, checked before it goes back into a statement.
bool timeText(std::string_view s)
{
    return !s.empty() && s.size() <= 26 && std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= '0' && c <= '9') || c == '-' || c == ':' || c == '.' || c == ' ';
    });
}

} // namespace

const std::string &HistoryTarget::currentEnd()
{
    if (asked_)
        return currentEnd_;
    asked_ = true;
    try {
        destination_.execute("SET SESSION system_versioning_insert_history = 1");
        // TIMESTAMP's greatest value on that server (UTC), later from 11.5 on, where the earlier
        // one is NULL.
        currentEnd_ = singleValue(destination_, "SELECT IFNULL(FROM_UNIXTIME(4294967295.999999), "
                                                "FROM_UNIXTIME(2147483647.999999))");
        if (!timeText(currentEnd_))
            currentEnd_.clear(); // no time of that server's: current rows rather than its text in a LOAD
    } catch (const platform::DbError &e) {
        if (e.isConnectionLost())
            throw;
        // Before MariaDB 10.11 (and on MySQL): history cannot be written.
        currentEnd_.clear();
    }
    return currentEnd_;
}

} // namespace transfer
