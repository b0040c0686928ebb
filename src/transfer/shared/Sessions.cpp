#include "transfer/shared/Sessions.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/SqlQuoting.h"
#include "sides/ConnectionProfile.h"
#include "transfer/shared/ServerText.h"
#include "transfer/shared/TextParts.h"

#include <QString>

#include <algorithm>
#include <chrono>

#include <optional>
#include <random>
#include <vector>

namespace transfer {

std::string singleValue(platform::Connection &c, const std::string &query)
{
    platform::RecordSet r = c.execute(query);
    const platform::FieldValue v = r.value(0);
    std::string value = v.isNull ? std::string() : std::string(v.bytes);
    r.close();
    return value;
}

namespace {

std::string destinationMode(const std::string &current)
{
    std::string mode;
    bool strict = false;
    for (const std::string_view flag : splitAt(current, ',')) {
        if (flag.empty() || flag == "NO_ZERO_DATE" || flag == "NO_ZERO_IN_DATE")
            continue;
        strict = strict || flag == "STRICT_ALL_TABLES";
        if (!mode.empty())
            mode += ',';
        mode += flag;
    }
    if (!strict)
        mode += (mode.empty() ? "" : ",") + std::string("STRICT_ALL_TABLES");
    return mode;
}

std::string sourceSessionStatement()
{
    const std::string seconds = std::to_string(CopyTimeoutSeconds);
    return "SET time_zone = '+00:00', SESSION net_write_timeout = " + seconds + ", SESSION net_read_timeout = " + seconds;
}

std::optional<std::string> optional(const platform::FieldValue &v)
{
    return v.isNull ? std::optional<std::string>() : std::optional<std::string>(std::string(v.bytes));
}

// Whether the destination session reaches the source's server and database: a lock the source
// takes is looked for there, in the question the destination session starts with.
class SameDatabaseProbe {
public:
    explicit SameDatabaseProbe(platform::Connection &source) : source_(source)
    {
        std::random_device random;
        name_ = "tabulink-identity-" + std::to_string(source.threadId()) + "-" + std::to_string(random())
                + std::to_string(random());
        platform::RecordSet r = source.execute("SELECT GET_LOCK(" + literal(source) + ", 0), DATABASE()");
        const platform::FieldValue taken = r.value(0);
        if (taken.isNull || taken.bytes != "1")
            throw platform::DbError(0, "Could not take the lock that tells whether both logins reach one server.");
        here_ = optional(r.value(1));
        r.close();
    }

    // Who holds the lock there, and which database that session is in.
    std::string columns(const platform::Connection &destination) const
    {
        return "IS_USED_LOCK(" + literal(destination) + "), DATABASE()";
    }

    // From those two columns and how the destination compares names (its lower_case_table_names).
    bool answer(const std::optional<std::string> &heldBy, const std::optional<std::string> &there, int nameRule)
    {
        singleValue(source_, "SELECT RELEASE_LOCK(" + literal(source_) + ")");
        if (!heldBy || *heldBy != std::to_string(source_.threadId()))
            return false;
        if (!here_ || !there)
            return here_ == there;
        // 1 and 2: the server finds databases whatever the letter case of their names.
        if (nameRule == 0)
            return *here_ == *there;
        return QString::fromStdString(*here_).toLower() == QString::fromStdString(*there).toLower();
    }

private:
    std::string literal(const platform::Connection &c) const
    {
        std::string quoted;
        platform::appendStringLiteral(quoted, name_, c.noBackslashEscapes());
        return quoted;
    }

    platform::Connection &source_;
    std::string name_;
    std::optional<std::string> here_;
};

double millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

void setCopyTimeouts(platform::Connection &connection, platform::EventYield &yield)
{
    connection.setCommandTimeout(CopyTimeoutSeconds);
    connection.setConnectionTimeout(CopyTimeoutSeconds);
    connection.setEventYield(&yield);
}

void openForCopy(platform::Connection &connection, const sides::ConnectionProfile &profile)
{
    sides::openConnection(connection, profile);
}

void openForCopy(platform::Connection &first, platform::Connection &second, const sides::ConnectionProfile &profile)
{
    sides::openConnectionsTogether(first, second, profile);
}

void prepareSourceSession(platform::Connection &source) { source.execute(sourceSessionStatement()); }

void startSourceSession(platform::Connection &source) { source.sendQuery(sourceSessionStatement()); }

DestinationSession prepareDestinationSession(platform::Connection &destination, platform::Connection &source,
                                             std::string_view extraSettings)
{
    SameDatabaseProbe probe(source);
    // Few round trips: over a slow link each one costs as much as many rows.
    auto asked = std::chrono::steady_clock::now();
    platform::RecordSet current = destination.execute(
        "SELECT @@SESSION.sql_mode, @@max_allowed_packet, @@lower_case_table_names, " + probe.columns(destination));
    checkSqlMode(destination, current.value(0).bytes);
    const std::string mode = destinationMode(std::string(current.value(0).bytes));
    DestinationSession session;
    session.maxAllowedPacket = static_cast<unsigned long long>(
        wholeNumber(destination, "max_allowed_packet", current.value(1).bytes, 1024, 1LL << 30));
    session.names.rule =
        static_cast<int>(wholeNumber(destination, "lower_case_table_names", current.value(2).bytes, 0, 2));
    session.roundTripMs = millisecondsSince(asked);
    const std::optional<std::string> heldBy = optional(current.value(3));
    const std::optional<std::string> there = optional(current.value(4));
    current.close();
    session.sameDatabase = probe.answer(heldBy, there, session.names.rule);
    std::string settings = "SET time_zone = '+00:00', SESSION sql_mode = ";
    platform::appendStringLiteral(settings, mode, destination.noBackslashEscapes());
    if (!extraSettings.empty())
        settings += ", " + std::string(extraSettings);
    asked = std::chrono::steady_clock::now();
    try {
        destination.execute(settings + ", SESSION explicit_defaults_for_timestamp = 1");
    } catch (const platform::DbError &) {
        // Read-only (MySQL 5.7) or unknown (older): the created columns say NULL themselves.
        destination.execute(settings);
        session.types.timestampNeedsNull = true;
    }
    session.roundTripMs = std::min(session.roundTripMs, millisecondsSince(asked));
    session.sqlMode = mode;
    session.noBackslashEscapes = destination.noBackslashEscapes();
    session.types.noBackslashEscapes = session.noBackslashEscapes;
    return session;
}

} // namespace transfer
