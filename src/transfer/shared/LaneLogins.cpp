#include "transfer/shared/LaneLogins.h"

#include "platform/ConnectionSecurity.h"
#include "platform/DbConnection.h"
#include "transfer/shared/ServerText.h"
#include "transfer/shared/TablePool.h"
#include "transfer/shared/TransferRun.h"

#include <algorithm>

namespace transfer {

LaneLogins::LaneLogins(const TransferEnds &ends, const platform::TlsState &sourceMet,
                       const platform::TlsState &destinationMet)
    : source(sides::furtherSessionProfile(ends.sourceProfile, sourceMet)),
      destination(sides::furtherSessionProfile(ends.destinationProfile, destinationMet))
{
}

namespace {

// Lanes the server allows: its answer to both limits, sent on both servers at once.
int lanesAllowed(platform::Connection &c, platform::RecordSet r, int sessionsPerLane)
{
    const long long most = r.eof() || r.fieldCount() < 2 ? 0 : wholeNumber(c, "max_connections", r.value(0).bytes, 1, 1LL << 31);
    const long long perUser = r.eof() || r.fieldCount() < 2 ? 0 : wholeNumber(c, "max_user_connections", r.value(1).bytes, -1, 1LL << 31);
    r.close();
    long long lanes = most / 4 / sessionsPerLane;
    if (perUser > 0)
        lanes = std::min(lanes, perUser / sessionsPerLane);
    return static_cast<int>(std::max(1LL, std::min<long long>(lanes, MostTablesAtOnce)));
}

} // namespace

int tablesAtOnce(platform::Connection &one, platform::Connection &two, int wanted, size_t tables, int sessionsPerLane)
{
    const int asked = std::clamp(wanted, 1, MostTablesAtOnce);
    if (asked == 1 || tables < 2)
        return 1;
    const char *limits = "SELECT @@max_connections, @@max_user_connections";
    one.sendQuery(limits);
    two.sendQuery(limits);
    int lanesOne = 1;
    try {
        lanesOne = lanesAllowed(one, one.readResult(), sessionsPerLane);
    } catch (...) {
        two.discardResult(); // its answer must not be taken for the next question's
        throw;
    }
    const int lanesTwo = lanesAllowed(two, two.readResult(), sessionsPerLane);
    return std::min({asked, lanesOne, lanesTwo, static_cast<int>(std::min<size_t>(tables, MostTablesAtOnce))});
}

} // namespace transfer
