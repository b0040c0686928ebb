#include "support/WireRecorder.h"

#include <poll.h>
#include <unistd.h>

std::vector<std::string> WireRecorder::queries() const
{
    const std::lock_guard lock(mutex_);
    return queries_;
}

void WireRecorder::serve(int client, int server)
{
    // Without TLS, so the queries can be read on their way.
    if (!wire::greetWithoutTls(server, client))
        return;
    std::string fromClient; // bytes not yet cut into packets
    char buffer[1 << 16];
    pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
    while (!stopping()) {
        if (::poll(ends, 2, 200) < 0)
            return;
        for (int side = 0; side < 2; ++side) {
            if (!(ends[side].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t got = ::read(ends[side].fd, buffer, sizeof buffer);
            if (got <= 0 || !wire::writeAll(ends[1 - side].fd, std::string_view(buffer, static_cast<size_t>(got))))
                return;
            if (side != 0)
                continue;
            fromClient.append(buffer, static_cast<size_t>(got));
            wire::Packet p;
            while (wire::takePacket(fromClient, p)) {
                if (p.sequence == 0 && !p.payload.empty() && p.payload[0] == 0x03) { // COM_QUERY
                    const std::lock_guard lock(mutex_);
                    queries_.push_back(p.payload.substr(1));
                }
            }
        }
    }
}
