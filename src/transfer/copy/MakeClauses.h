#pragma once

#include <string>
#include <vector>

namespace transfer {

// What one make writes in a definition and the other would refuse or quietly skip, taken out (or
// written the other's way), each change one line in changes.

// Whether the definition may hold MySQL 8's clauses, or MariaDB's: cheap, so most tables skip the rest.
bool mayHaveMySqlClauses(const std::string &create);
bool mayHaveMariaDbClauses(const std::string &create);

// For a MariaDB destination: MySQL's version comments (INVISIBLE written out, the rest out), its
// functional indexes and its checks not enforced.
std::string withoutMySqlClauses(const std::string &create, std::vector<std::string> &changes);
// For a MySQL destination: /*M!…*/ clauses, PAGE_COMPRESSED, SEQUENCE=1, WITH SYSTEM VERSIONING.
std::string withoutMariaDbClauses(const std::string &create, std::vector<std::string> &changes);

} // namespace transfer
