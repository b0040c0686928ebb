#pragma once

#include "sides/ConnectionProfile.h"

#include <cstddef>

namespace platform {
class Connection;
struct TlsState;
} // namespace platform

namespace transfer {

struct TransferEnds;

// How the further lanes of a run log in, each on a thread of its own: as the run's first sessions
// did, asking nothing, through the side's tunnel as it is now open, and only to the certificate
// those sessions met.
struct LaneLogins {
    LaneLogins(const TransferEnds &ends, const platform::TlsState &sourceMet, const platform::TlsState &destinationMet);
    sides::ConnectionProfile source;
    sides::ConnectionProfile destination;
};

// How many tables a run works on at once: what was asked (1 to MostTablesAtOnce), no more than
// there are tables, and within what each server allows: a lane takes sessionsPerLane sessions on
// each, an account limited to fewer connections gets fewer lanes, and a run never takes more
// than a quarter of a server's max_connections. A lane whose login is still refused stays out.
int tablesAtOnce(platform::Connection &one, platform::Connection &two, int wanted, size_t tables, int sessionsPerLane);

} // namespace transfer
