#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class Connection;
}

namespace transfer {

// A table definition made to fit the destination server, from what that server says it has: a
// collation it lacks becomes the closest one it has for the same character set (a newer server's
// utf8mb4_uca1400_ai_ci or MySQL's utf8mb4_0900_ai_ci: utf8mb4_unicode_520_ci). What it asks
// the server is remembered for the run.
class DefinitionFit {
public:
    explicit DefinitionFit(platform::Connection &destination) : destination_(destination) {}

    // The definition with each change made; one line for each in changes ("collation a is not on
    // the destination; b used"). Throws platform::DbError when the server cannot be asked.
    std::string adapt(std::string_view create, std::vector<std::string> &changes);

private:
    bool hasCollation(const std::string &collation);
    // The closest collation of the same character set the destination has; empty when none.
    std::string closest(const std::string &collation);

    platform::Connection &destination_;
    std::map<std::string, bool> known_;
    std::map<std::string, std::string> replaced_;
};

} // namespace transfer
