#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class Connection;
class DbError;
}

namespace transfer {

// A table definition made to fit the destination server, from what that server says it has: a
// collation it lacks becomes the closest one it has for the same character set (MySQL's
// utf8mb4_0900_ai_ci and MariaDB's utf8mb4_uca1400_ai_ci each other's where the other make has it,
// else utf8mb4_unicode_520_ci), and on a MariaDB
// destination what MySQL 8 writes in its version comments (/*!80016 NOT ENFORCED */, SRID, …) and
// its functional indexes, which MariaDB would run or refuse, are taken out; on a MySQL destination
// what only MariaDB has (/*M!…*/ clauses, PAGE_COMPRESSED, SEQUENCE=1, WITH SYSTEM VERSIONING).
// What it asks the server is remembered for the run.
class DefinitionFit {
public:
    // What the destination is: asked of the server, or (for a server not at hand) told.
    struct Facts {
        std::function<bool()> mariaDb;
        std::function<bool(const std::string &collation)> hasCollation;
    };
    explicit DefinitionFit(platform::Connection &destination);
    explicit DefinitionFit(Facts facts) : facts_(std::move(facts)) {}

    // The definition with each change made; one line for each in changes ("collation a is not on
    // the destination; b used"). Throws platform::DbError when the server cannot be asked.
    std::string adapt(std::string_view create, std::vector<std::string> &changes);
    // Sends the fitted definition through create; what the destination then refuses as unknown
    // goes (withoutRefused), and it is sent again. Each change is told to adapted as it is made.
    // Throws the refusal that cannot be mended, and platform::DbError as adapt does. refused: what
    // the destination said of the fitted definition already sent another way, mended before the
    // first send where it can be.
    void makeFitted(std::string_view definition, const std::function<void(const std::string &)> &create,
                    const std::function<void(const std::string &)> &adapted,
                    const platform::DbError *refused = nullptr);
    // What the destination refused when the definition was sent, taken out: an option it named
    // unknown (1911), or where its parser stopped (1064), a table option or an index's IGNORED,
    // which hold no data. One line in changes; empty when the refusal is none of these.
    static std::string withoutRefused(const std::string &create, const platform::DbError &refusal,
                                      std::vector<std::string> &changes);

private:
    std::string collationsFitted(std::string_view create, std::vector<std::string> &changes);
    bool destinationIsMariaDb();
    bool hasCollation(const std::string &collation);
    // The closest collation of the same character set the destination has; empty when none.
    std::string closest(const std::string &collation);

    Facts facts_;
    std::map<std::string, bool> known_;
    std::map<std::string, std::string> replaced_;
    int mariaDb_ = -1; // not asked yet
};

} // namespace transfer
