#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// A loopback port in front of a server: each client that connects gets a connection of its own to
// the server, and a thread that serves the pair until either end closes or the relay goes.
class Relay {
public:
    Relay(const QString &serverHost, int serverPort);
    virtual ~Relay();
    Relay(const Relay &) = delete;
    Relay &operator=(const Relay &) = delete;

    int port() const { return port_; }

protected:
    // Serves one client and its server connection; returns when either closes, or soon after
    // stopping() turns true.
    virtual void serve(int client, int server) = 0;
    bool stopping() const { return stopping_; }
    // Carries bytes both ways until either end closes or the relay stops. Each chunk read is shown
    // to pass first (fromClient tells its way); false drops it.
    using Passes = std::function<bool(bool fromClient, std::string_view bytes)>;
    void carry(int client, int server, const Passes &pass = {}) const;
    // Call first in the destructor of a derived class: no serve() runs past it.
    void stop();
    mutable std::mutex mutex_;

private:
    void acceptLoop();
    void relay(int client);

    std::string serverHost_;
    int serverPort_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    std::vector<std::thread> relays_;
    std::vector<int> sockets_;
};

// Reads and writes whole MySQL packets: three bytes of length, a sequence number, the payload.
namespace wire {
struct Packet {
    int sequence = 0;
    std::string payload;
};
// Cuts the first whole packet off buffer; false when buffer holds none yet.
bool takePacket(std::string &buffer, Packet &packet);
std::string packetBytes(int sequence, std::string_view payload);
bool writeAll(int fd, std::string_view bytes);
// Reads from fd until buffer holds a whole packet, and cuts it off; false on end, error or 3 s of quiet.
bool readPacket(int fd, std::string &buffer, Packet &packet);
// Passes the server's greeting from server to client without its offer of TLS or compression, so that what
// follows can be read here. False when the server sent no greeting.
bool greetWithoutTls(int server, int client);
} // namespace wire
