#pragma once

#include "platform/SshTunnel.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

class EventYield;

// A way to give up an SSH path being opened, from another thread: the connection being made is
// abandoned and the socket of the handshake under way is shut down, so the opening ends at once.
class SshCancel {
public:
    SshCancel();
    ~SshCancel();
    SshCancel(const SshCancel &) = delete;
    SshCancel &operator=(const SshCancel &) = delete;

    void cancel();
    bool cancelled() const;
    int fd() const { return fd_; } // readable once cancelled
    // The socket a handshake is under way on (-1: none now).
    void watch(int socket);

private:
    mutable std::mutex mutex_;
    bool cancelled_ = false;
    int socket_ = -1;
    int fd_ = -1;
};

// Through SSH servers one after another (jump hosts, as ProxyJump goes): the first reached
// directly, each next one through a forward of the one before, the last one forwarding to the
// database. Every hop's host key is checked as its own.
class SshPath {
public:
    // hops in order; the last one's databaseHost and databasePort are the database's, the others'
    // are set here. Throws SshError.
    SshPath(std::vector<SshRoute> hops, const SshTunnel::Trust &trust, SshCancel *cancel = nullptr,
            const SshTunnel::AskSecret &askSecret = {});
    ~SshPath();
    SshPath(const SshPath &) = delete;
    SshPath &operator=(const SshPath &) = delete;

    int localPort() const { return tunnels_.back()->localPort(); }
    bool alive() const;
    // Each hop's description, " → " between them.
    std::string description() const;

private:
    std::vector<std::unique_ptr<SshTunnel>> tunnels_;
};

// Opens the path on a thread of its own while the windows are served: the host-key and secret
// questions are put on this thread (each may open a box), and when the yield throws (a window
// closed), the opening is given up at once and that is thrown on. Without a yield, opens here.
std::unique_ptr<SshPath> openSshPath(const std::vector<SshRoute> &hops, const SshTunnel::Trust &trust, EventYield *yield,
                                     const SshTunnel::AskSecret &askSecret = {});

} // namespace platform
