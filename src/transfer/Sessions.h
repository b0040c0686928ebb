#pragma once

#include "transfer/SqlText.h"

#include <string_view>

#include <string_view>

namespace platform {
class Connection;
class EventYield;
} // namespace platform
namespace sides {
struct ConnectionProfile;
}

namespace transfer {

// What the copy learnt of the destination session it set up.
struct DestinationSession {
    TypeRules types;
    bool noBackslashEscapes = false;
    unsigned long long maxAllowedPacket = 0;
};

// Readies a connection of a copy: the long time-outs a copy sets (5000 s, so slow links and long
// statements are not cut short), the windows served while it waits.
void setCopyTimeouts(platform::Connection &connection, platform::EventYield &yield);
// Opens it from the profile. Throws platform::DbError.
void openForCopy(platform::Connection &connection, const sides::ConnectionProfile &profile);

// UTC, so TIMESTAMPs are read as they are stored.
void prepareSourceSession(platform::Connection &source);

// UTC; zero dates allowed, since tables hold them; strict mode added, so a value that does not fit
// its column is refused instead of being stored changed; TIMESTAMP columns that take NULL like
// any other column. Throws platform::DbError.
// extraSettings ("SESSION unique_checks = 0, …") go in the same SET.
DestinationSession prepareDestinationSession(platform::Connection &destination, std::string_view extraSettings = {});

// True when both sessions are on one server (a lock one takes is seen by the other) and in one
// database, the names compared as that server compares them. Throws platform::DbError.
bool sameDatabase(platform::Connection &source, platform::Connection &destination);

} // namespace transfer
