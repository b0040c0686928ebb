#pragma once

#include "sides/ConnectionProfile.h"
#include "platform/DbConnection.h"
#include "support/Fakes.h"

#include <QString>
#include <QStringList>

#include <functional>

#include <memory>
#include <optional>
#include <string>
#include <vector>

// The two sandbox servers that scripts/sandbox.sh starts, and scratch databases on them.
namespace sandbox {

using Cell = std::optional<std::string>;
using Rows = std::vector<std::vector<Cell>>;

// The sandbox's stock MySQL 9.7.
inline constexpr int MySqlServer = 5;

sides::ConnectionProfile serverProfile(int server, const QString &database = {});
// Opened with that server's login and security.
void openOnServer(platform::Connection &c, int server, const QString &database = {});
std::string serverConnectionString(int server, const QString &database = {});
// Empty when the server answers; else why it is not there, for a test to report.
QString missingServer(int server);
// Runs SQL on a server as the sandbox user, outside any database.
void execOnServer(int server, const std::string &sql);

// Kills the sessions (children) of the sandbox's first SSH server, as a link that drops: how
// many were killed.
int killSshSessions();

// A server-wide setting changed for one test, set back when the test is done. Tests that use it
// run alone (RUN_SERIAL), since every new session on that server sees the setting.
class GlobalSetting {
public:
    // value: as SQL, for instance "0", "''" or "'NO_BACKSLASH_ESCAPES'".
    GlobalSetting(int server, const std::string &variable, const std::string &value);
    ~GlobalSetting();
    GlobalSetting(const GlobalSetting &) = delete;
    GlobalSetting &operator=(const GlobalSetting &) = delete;

private:
    int server_;
    std::string variable_;
    std::string oldValue_; // as SQL
};

// A database of its own for one test, dropped when the test is done.
class ScratchDatabase {
public:
    ScratchDatabase(int server, const QString &prefix);
    ~ScratchDatabase();
    ScratchDatabase(const ScratchDatabase &) = delete;
    ScratchDatabase &operator=(const ScratchDatabase &) = delete;

    const QString &name() const { return name_; }
    int server() const { return server_; }
    sides::ConnectionProfile profile() const { return serverProfile(server_, name_); }
    QString connectionString() const;

    void exec(const std::string &sql) const;
    Rows query(const std::string &sql) const;
    QStringList tables() const; // sorted

private:
    platform::Connection &connection() const;
    int server_;
    QString name_;
    mutable std::unique_ptr<platform::Connection> connection_;
};

} // namespace sandbox

namespace sandbox {
// The two profiles of the table manager: side #1 on one database, side #2 on the other.
inline ProfilesFrom sidesOn(const ScratchDatabase &one, const ScratchDatabase &two)
{
    return ProfilesFrom([&one, &two](int side) { return side == 1 ? one.profile() : two.profile(); });
}
} // namespace sandbox
