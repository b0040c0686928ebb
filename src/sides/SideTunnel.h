#pragma once

#include "platform/DbError.h"
#include "platform/SshTunnel.h"

#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform {
class EventYield;
class SshPath;
} // namespace platform

namespace sides {

// A login that could not reach its server through the side's SSH tunnel: a lost connection to
// every caller, and said with its reason where a login's failure is reported.
class TunnelFailure : public platform::DbError {
public:
    static constexpr int Number = 2003; // the client's own "cannot connect"
    explicit TunnelFailure(const std::string &why) : DbError(Number, why) {}
};

// One side's way through SSH: opened when a login of that side first needs it, kept for every
// later one while it lives, and opened again by the next login after it dropped. What it is now
// is said for the Server box's tooltip.
class SideTunnel {
public:
    explicit SideTunnel(platform::EventYield *yield = nullptr);
    ~SideTunnel();
    SideTunnel(const SideTunnel &) = delete;
    SideTunnel &operator=(const SideTunnel &) = delete;

    // What the side's settings say now: no tunnel, the SSH servers to pass (jump hosts first), or
    // why the settings make no way. A change closes the tunnel that is open.
    void chooseNone();
    void choose(std::vector<platform::SshRoute> hops);
    void chooseBroken(const std::string &why);
    bool chosen() const { return chosen_; }

    // The local port a login of this side connects to, forwarded to host:port as the last SSH
    // server sees it; the tunnel opened first when needed, the windows served meanwhile. Throws
    // DbError (a login that cannot reach its server), or ProgramEnding.
    int reach(const std::string &host, int port);

    // "SSH through user@host:22 (SHA256:…)", or why there is none now.
    QString state() const { return state_; }

    // Asked about an SSH server's host key no known-hosts file holds: true adds it.
    std::function<bool(const platform::SshHostKey &)> confirmHostKey;
    // Asked for a passphrase or password the settings do not hold (empty: none given). An answer
    // that let the user in is kept while the side's settings stay as they are, and not asked again.
    platform::SshTunnel::AskSecret askSecret;
    // Told whenever state() changes.
    std::function<void()> onStateChange;

private:
    void close();
    void say(const QString &state);

    platform::EventYield *yield_;
    bool chosen_ = false;
    std::vector<platform::SshRoute> hops_;
    std::string broken_;
    std::string openTo_; // the host:port the open path forwards to
    std::map<std::string, std::string> answered_; // the secrets asked that let the user in, by hop
    std::unique_ptr<platform::SshPath> path_;
    QString state_;
};

} // namespace sides
