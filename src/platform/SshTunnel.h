#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

namespace platform {

// How to reach a database through an SSH server: the server, who logs in and how, where its host
// key is known, and the database's host and port as that server sees them.
struct SshRoute {
    enum class Login { Agent, KeyFile, Password };
    std::string host;
    int port = 22;
    std::string user;
    Login login = Login::Agent;
    std::string keyFile; // KeyFile: OpenSSH or PEM; RSA, ECDSA, ed25519
    std::string secret;  // the key's passphrase, or the password
    std::string knownHostsFile;     // where a key the user trusts is added: the program's own
    std::string userKnownHostsFile; // read as well, never written: ~/.ssh/known_hosts
    std::string databaseHost = "127.0.0.1";
    int databasePort = 3306;
    std::chrono::seconds keepalive{30};
};

// An SSH server's host key no known-hosts file holds yet.
struct SshHostKey {
    std::string server;      // [host]:port, as known_hosts writes it
    std::string fingerprint; // SHA256:…
};

// A secret the route does not hold, to ask the user for: a key file's passphrase, or the password.
struct SshSecretQuestion {
    std::string server;  // user@host:port
    std::string keyFile; // the key's file; empty: the server's password is asked
    bool again = false;  // the last answer was wrong
};

// What went wrong on the way through SSH, said for the user.
class SshError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A TCP connection to host:port, made without blocking past the timeout or a byte on cancelFd
// (-1: none). Throws SshError.
int connectTcp(const std::string &host, int port, int cancelFd, std::chrono::seconds timeout);

// A local forward through one SSH server: 127.0.0.1 on a port of the system's choosing, each
// connection to it a direct-tcpip channel to the database. The host key is checked against the
// known-hosts file first: a known key goes on; an unknown one only when trust(key) says so, and is
// then added; a changed one is refused with both fingerprints and the file to mend. A passphrase
// or password the route lacks is asked of askSecret (none: not asked). Every
// connection is served by a thread of the tunnel's own, which also keeps the link alive. When the
// SSH link drops, every forwarded connection is closed, so its session sees a lost connection.
class SshTunnel {
public:
    using Trust = std::function<bool(const SshHostKey &)>;
    // The typed secret; empty when the user gave none.
    using AskSecret = std::function<std::string(const SshSecretQuestion &)>;
    // Throws SshError.
    SshTunnel(const SshRoute &route, const Trust &trust, const AskSecret &askSecret = {});
    // Over a connection already made to the SSH server (a jump host's forward); the tunnel owns it.
    SshTunnel(const SshRoute &route, const Trust &trust, int socket, const AskSecret &askSecret = {});
    ~SshTunnel();
    SshTunnel(const SshTunnel &) = delete;
    SshTunnel &operator=(const SshTunnel &) = delete;

    int localPort() const { return localPort_; }
    // "SSH through user@host:port (SHA256:…)": for the Server box's tooltip.
    const std::string &description() const { return description_; }
    bool alive() const { return alive_; }

private:
    struct Session;
    void open(const SshRoute &route, const Trust &trust, const AskSecret &askSecret, int socket);
    void serve();

    std::unique_ptr<Session> session_;
    int listener_ = -1;
    int wake_ = -1;
    int localPort_ = 0;
    std::string description_;
    std::atomic<bool> alive_{true};
    std::string databaseHost_;
    int databasePort_ = 0;
    std::chrono::seconds keepalive_{30};
    std::thread thread_;
};

} // namespace platform
