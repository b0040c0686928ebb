#pragma once

#include "transfer/shared/SqlText.h"

#include <QString>

#include <string_view>

namespace platform {
class Connection;
class EventYield;
} // namespace platform
namespace sides {
struct ConnectionProfile;
}

namespace transfer {

// How a server tells table names apart (its lower_case_table_names): 0 exactly as written;
// 1 stored and compared in lower case; 2 stored as written, compared in lower case.
struct TableNames {
    int rule = 0;
    bool same(const QString &a, const QString &b) const { return rule == 0 ? a == b : a.toLower() == b.toLower(); }
    // The name as the server lists the table once it is made.
    QString stored(const QString &name) const { return rule == 1 ? name.toLower() : name; }
};

// What the copy learnt of the destination session it set up.
struct DestinationSession {
    TypeRules types;
    bool noBackslashEscapes = false;
    unsigned long long maxAllowedPacket = 0;
    std::string sqlMode; // as set on the session
    TableNames names;
    // The quicker of the session's two set-up questions, each one round trip: how far the server is.
    double roundTripMs = 0;
    // Both logins reach one server (a lock the source takes is seen here) and one database there,
    // the names compared as that server compares them.
    bool sameDatabase = false;
};

// How long a copy lets one statement take: slow links and long statements are not cut short.
inline constexpr int CopyTimeoutSeconds = 5000;

// Readies a connection of a copy: the long time-outs a copy sets (5000 s, so slow links and long
// statements are not cut short), the windows served while it waits.
void setCopyTimeouts(platform::Connection &connection, platform::EventYield &yield);
// Opens it from the profile. Throws platform::DbError.
void openForCopy(platform::Connection &connection, const sides::ConnectionProfile &profile);
// Two sessions from one profile, logged in at once.
void openForCopy(platform::Connection &first, platform::Connection &second, const sides::ConnectionProfile &profile);

// The first value of a query's first row, NULL as empty. Throws platform::DbError, also when
// there is no row.
std::string singleValue(platform::Connection &c, const std::string &query);

// UTC, so TIMESTAMPs are read as they are stored; and the server waits as long as the copy does
// for it to take the rows (net_write_timeout), since it reads them only as fast as the destination
// takes them.
void prepareSourceSession(platform::Connection &source);
// The same, sent without waiting: the answer is read by source.readResult(), so a far server's
// round trip passes while other sessions are set up.
void startSourceSession(platform::Connection &source);

// UTC; zero dates allowed, since tables hold them; strict mode added, so a value that does not fit
// its column is refused instead of being stored changed; TIMESTAMP columns that take NULL like
// any other column. Throws platform::DbError.
// extraSettings ("SESSION foreign_key_checks = 0, …") go in the same SET.
// The source's session is asked too, for sameDatabase.
DestinationSession prepareDestinationSession(platform::Connection &destination, platform::Connection &source,
                                             std::string_view extraSettings = {});

} // namespace transfer
