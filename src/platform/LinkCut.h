#pragma once

struct st_mysql;

namespace platform {

// Ends a session's link at once, whatever is still on its way: with a reset, not a FIN, so a
// server streaming rows into a full window learns of it now, not after its write time-out (a
// copy's is long) with its locks on the table still held.
void cutLink(st_mysql *connection) noexcept;

} // namespace platform
