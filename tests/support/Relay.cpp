#include "support/Relay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

Relay::Relay(const QString &serverHost, int serverPort) : serverHost_(serverHost.toStdString()), serverPort_(serverPort)
{
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(listener_, 8) != 0
        || ::getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        throw std::runtime_error("no loopback port for the relay");
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

Relay::~Relay() { stop(); }

void Relay::carry(int client, int server, const Passes &pass) const
{
    pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
    char buffer[1 << 16];
    while (!stopping()) {
        const int ready = ::poll(ends, 2, 100);
        if (ready < 0)
            return;
        for (int side = 0; ready > 0 && side < 2; ++side) {
            if (!(ends[side].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t got = ::read(ends[side].fd, buffer, sizeof buffer);
            if (got <= 0)
                return;
            const std::string_view bytes(buffer, static_cast<size_t>(got));
            if ((!pass || pass(side == 0, bytes)) && !wire::writeAll(ends[1 - side].fd, bytes))
                return;
        }
    }
}

void Relay::stop()
{
    if (stopping_.exchange(true))
        return;
    ::shutdown(listener_, SHUT_RDWR);
    ::close(listener_);
    acceptor_.join();
    {
        const std::lock_guard lock(mutex_);
        for (int s : sockets_)
            ::shutdown(s, SHUT_RDWR);
    }
    for (std::thread &t : relays_)
        t.join();
    for (int s : sockets_)
        ::close(s);
}

void Relay::acceptLoop()
{
    while (!stopping_) {
        const int client = ::accept(listener_, nullptr, nullptr);
        if (client < 0)
            return;
        const std::lock_guard lock(mutex_);
        sockets_.push_back(client);
        relays_.emplace_back([this, client] { relay(client); });
    }
}

void Relay::relay(int client)
{
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(serverPort_));
    ::inet_pton(AF_INET, serverHost_.c_str(), &address.sin_addr);
    {
        const std::lock_guard lock(mutex_);
        sockets_.push_back(server);
    }
    if (::connect(server, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        return;
    serve(client, server);
    // The client sees the end at once, whichever side ended it.
    ::shutdown(client, SHUT_RDWR);
    ::shutdown(server, SHUT_RDWR);
}

namespace wire {

bool takePacket(std::string &buffer, Packet &packet)
{
    if (buffer.size() < 4)
        return false;
    const auto byte = [&](size_t i) { return static_cast<size_t>(static_cast<unsigned char>(buffer[i])); };
    const size_t length = byte(0) | byte(1) << 8 | byte(2) << 16;
    if (buffer.size() < 4 + length)
        return false;
    packet.sequence = static_cast<int>(byte(3));
    packet.payload = buffer.substr(4, length);
    buffer.erase(0, 4 + length);
    return true;
}

std::string packetBytes(int sequence, std::string_view payload)
{
    std::string out;
    const size_t n = payload.size();
    out += static_cast<char>(n & 0xFF);
    out += static_cast<char>((n >> 8) & 0xFF);
    out += static_cast<char>((n >> 16) & 0xFF);
    out += static_cast<char>(sequence & 0xFF);
    out += payload;
    return out;
}

bool writeAll(int fd, std::string_view bytes)
{
    for (size_t sent = 0; sent < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + sent, bytes.size() - sent);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool readPacket(int fd, std::string &buffer, Packet &packet)
{
    char chunk[1 << 16];
    while (!takePacket(buffer, packet)) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 3000) <= 0)
            return false;
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got <= 0)
            return false;
        buffer.append(chunk, static_cast<size_t>(got));
    }
    return true;
}

bool greetWithoutTls(int server, int client)
{
    constexpr unsigned char ClientSslHigh = 0x800 >> 8; // CLIENT_SSL, in the flags' second byte
    std::string buffer;
    Packet p;
    if (!readPacket(server, buffer, p) || p.payload.empty())
        return false;
    // Protocol version, server version up to its NUL, thread id, 8 bytes of scramble, a filler.
    const size_t versionEnd = p.payload.find('\0', 1);
    const size_t flags = versionEnd + 1 + 4 + 8 + 1;
    if (versionEnd == std::string::npos || p.payload.size() < flags + 2)
        return false;
    p.payload[flags + 1] = static_cast<char>(static_cast<unsigned char>(p.payload[flags + 1]) & ~ClientSslHigh);
    // Nor compression (CLIENT_COMPRESS, 0x20 in the first byte): the packets are read here as they are.
    p.payload[flags] = static_cast<char>(static_cast<unsigned char>(p.payload[flags]) & ~0x20);
    // Nor the newer end of result sets (CLIENT_DEPRECATE_EOF, bit 24: the flags' fourth byte, after
    // the character set and the status), so a result set made up here can take the classic form.
    if (p.payload.size() >= flags + 7)
        p.payload[flags + 6] = static_cast<char>(static_cast<unsigned char>(p.payload[flags + 6]) & ~0x01);
    // Nor MariaDB's extended capabilities (metadata of its own in result sets), after the scramble's
    // length and six bytes kept for later.
    if (p.payload.size() >= flags + 18)
        p.payload.replace(flags + 14, 4, 4, '\0');
    return writeAll(client, packetBytes(p.sequence, p.payload) + buffer);
}

} // namespace wire
