#pragma once

#include <string_view>

namespace platform {
class Connection;
}

namespace transfer {

// A source's SHOW CREATE TABLE, taken apart before any of it reaches the destination: the head
// "CREATE TABLE `name` (", one column, index or constraint a line, ")" and table options of
// known names, then at most a partition clause. Refused (platform::DbError naming the server and
// the table): a SELECT anywhere outside quotes, CONNECTION=, DATA or INDEX DIRECTORY, and engines
// that reach other servers or files (FEDERATED, CONNECT, SPIDER) unless both ends are one server.
void checkTableDefinition(const platform::Connection &source, std::string_view table, std::string_view create,
                          bool sameServer);

// A view's statement as it will be made: CREATE [options] VIEW `v` AS followed by a SELECT (or
// WITH … SELECT) and nothing after it but a CHECK OPTION clause.
void checkViewBody(const platform::Connection &source, std::string_view view, std::string_view afterAs);

} // namespace transfer
