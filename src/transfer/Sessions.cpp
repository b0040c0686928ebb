#include "transfer/Sessions.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/SqlQuoting.h"

#include <QString>

#include <optional>
#include <random>
#include <vector>

namespace transfer {

namespace {

std::string singleValue(platform::Connection &c, const std::string &query)
{
    platform::RecordSet r = c.execute(query);
    const platform::FieldValue v = r.value(0);
    std::string value = v.isNull ? std::string() : std::string(v.bytes);
    r.close();
    return value;
}

std::optional<std::string> optionalValue(platform::Connection &c, const std::string &query)
{
    platform::RecordSet r = c.execute(query);
    const platform::FieldValue v = r.value(0);
    std::optional<std::string> value;
    if (!v.isNull)
        value.emplace(v.bytes);
    r.close();
    return value;
}

std::vector<std::string> splitFlags(const std::string &mode)
{
    std::vector<std::string> flags;
    size_t start = 0;
    while (start <= mode.size()) {
        size_t comma = mode.find(',', start);
        if (comma == std::string::npos)
            comma = mode.size();
        if (comma > start)
            flags.push_back(mode.substr(start, comma - start));
        start = comma + 1;
    }
    return flags;
}

std::string destinationMode(const std::string &current)
{
    std::string mode;
    bool strict = false;
    for (const std::string &flag : splitFlags(current)) {
        if (flag == "NO_ZERO_DATE" || flag == "NO_ZERO_IN_DATE")
            continue;
        strict = strict || flag == "STRICT_ALL_TABLES";
        mode += (mode.empty() ? "" : ",") + flag;
    }
    if (!strict)
        mode += (mode.empty() ? "" : ",") + std::string("STRICT_ALL_TABLES");
    return mode;
}

} // namespace

void prepareSourceSession(platform::Connection &source) { source.execute("SET time_zone = '+00:00'"); }

DestinationSession prepareDestinationSession(platform::Connection &destination)
{
    destination.execute("SET time_zone = '+00:00'");
    const std::string mode = destinationMode(singleValue(destination, "SELECT @@SESSION.sql_mode"));
    destination.execute("SET SESSION sql_mode = '" + mode + "'");
    DestinationSession session;
    try {
        destination.execute("SET SESSION explicit_defaults_for_timestamp = 1");
    } catch (const platform::DbError &) {
        // Read-only (MySQL 5.7) or unknown (older): the created columns say NULL themselves.
        session.types.timestampNeedsNull = true;
    }
    session.noBackslashEscapes = destination.noBackslashEscapes();
    session.types.noBackslashEscapes = session.noBackslashEscapes;
    session.maxAllowedPacket = std::stoull(singleValue(destination, "SELECT @@max_allowed_packet"));
    return session;
}

bool sameDatabase(platform::Connection &source, platform::Connection &destination)
{
    std::random_device random;
    const std::string name = "tabulink-identity-" + std::to_string(source.threadId()) + "-"
                             + std::to_string(random()) + std::to_string(random());
    std::string quoted;
    platform::appendStringLiteral(quoted, name, source.noBackslashEscapes());
    if (singleValue(source, "SELECT GET_LOCK(" + quoted + ", 0)") != "1")
        throw platform::DbError(0, "Could not take the lock that tells whether both logins reach one server.");
    std::string quotedThere;
    platform::appendStringLiteral(quotedThere, name, destination.noBackslashEscapes());
    const std::optional<std::string> holder = optionalValue(destination, "SELECT IS_USED_LOCK(" + quotedThere + ")");
    singleValue(source, "SELECT RELEASE_LOCK(" + quoted + ")");
    if (!holder || *holder != std::to_string(source.threadId()))
        return false;

    const std::optional<std::string> here = optionalValue(source, "SELECT DATABASE()");
    const std::optional<std::string> there = optionalValue(destination, "SELECT DATABASE()");
    if (!here || !there)
        return here == there;
    // 1 and 2: the server finds databases whatever the letter case of their names.
    if (singleValue(destination, "SELECT @@lower_case_table_names") == "0")
        return *here == *there;
    return QString::fromStdString(*here).toLower() == QString::fromStdString(*there).toLower();
}

} // namespace transfer
