#include "support/WireRecorder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

WireRecorder::WireRecorder(const QString &serverHost, int serverPort)
    : serverHost_(serverHost.toStdString()), serverPort_(serverPort)
{
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(listener_, 8) != 0
        || ::getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        throw std::runtime_error("no loopback port for the wire recorder");
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

WireRecorder::~WireRecorder()
{
    stopping_ = true;
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

std::vector<std::string> WireRecorder::queries() const
{
    const std::lock_guard lock(mutex_);
    return queries_;
}

void WireRecorder::acceptLoop()
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

void WireRecorder::relay(int client)
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
    std::string fromClient; // bytes not yet cut into packets
    char buffer[1 << 16];
    pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
    while (!stopping_) {
        if (::poll(ends, 2, 200) < 0)
            return;
        for (int side = 0; side < 2; ++side) {
            if (!(ends[side].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t got = ::read(ends[side].fd, buffer, sizeof buffer);
            if (got <= 0)
                return;
            for (ssize_t sent = 0; sent < got;) {
                const ssize_t n = ::write(ends[1 - side].fd, buffer + sent, static_cast<size_t>(got - sent));
                if (n <= 0)
                    return;
                sent += n;
            }
            if (side != 0)
                continue;
            // Client packets: 3 bytes of length, a sequence number, the payload; 0x03 is COM_QUERY.
            fromClient.append(buffer, static_cast<size_t>(got));
            while (fromClient.size() >= 4) {
                const auto byte = [&](size_t i) { return static_cast<size_t>(static_cast<unsigned char>(fromClient[i])); };
                const size_t length = byte(0) | byte(1) << 8 | byte(2) << 16;
                if (fromClient.size() < 4 + length)
                    break;
                if (length > 0 && fromClient[3] == 0 && fromClient[4] == 0x03) {
                    const std::lock_guard lock(mutex_);
                    queries_.push_back(fromClient.substr(5, length - 1));
                }
                fromClient.erase(0, 4 + length);
            }
        }
    }
}
