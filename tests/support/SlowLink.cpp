#include "support/SlowLink.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

struct Chunk {
    Clock::time_point due;
    std::string bytes; // empty: the sender closed
};

// What one direction has read and not yet delivered.
struct Line {
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<Chunk> chunks;
};

} // namespace

SlowLink::SlowLink(const QString &serverHost, int serverPort, std::chrono::microseconds oneWay, double bitsPerSecond)
    : Relay(serverHost, serverPort), oneWay_(oneWay), bitsPerSecond_(bitsPerSecond)
{
}

void SlowLink::serve(int client, int server)
{
    std::thread up([&] { carry(client, server, toServer_); });
    carry(server, client, toClient_);
    // One end has closed: so does the other, and the other direction ends too.
    ::shutdown(client, SHUT_RDWR);
    ::shutdown(server, SHUT_RDWR);
    up.join();
}

// Reads as fast as the sender sends; a second thread delivers each piece when it is due, at the
// line's rate.
void SlowLink::carry(int from, int to, std::atomic<std::uint64_t> &count)
{
    Line line;
    std::thread deliver([&] {
        Clock::time_point free = Clock::now();
        for (;;) {
            Chunk chunk;
            {
                std::unique_lock lock(line.mutex);
                line.arrived.wait(lock, [&] { return !line.chunks.empty(); });
                chunk = std::move(line.chunks.front());
                line.chunks.pop_front();
            }
            if (chunk.bytes.empty())
                break;
            Clock::time_point at = std::max(chunk.due, free);
            std::this_thread::sleep_until(at);
            if (bitsPerSecond_ > 0)
                free = at + std::chrono::duration_cast<Clock::duration>(
                                std::chrono::duration<double>(static_cast<double>(chunk.bytes.size()) * 8 / bitsPerSecond_));
            if (!wire::writeAll(to, chunk.bytes))
                break;
            count += chunk.bytes.size();
        }
        ::shutdown(to, SHUT_WR);
    });
    char buffer[16384]; // small pieces, so the rate is kept evenly
    for (;;) {
        pollfd p{from, POLLIN, 0};
        const int ready = ::poll(&p, 1, 100);
        if (stopping())
            break;
        if (ready == 0)
            continue;
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n <= 0)
            break;
        const std::lock_guard lock(line.mutex);
        line.chunks.push_back({Clock::now() + oneWay_, std::string(buffer, static_cast<size_t>(n))});
        line.arrived.notify_one();
    }
    {
        const std::lock_guard lock(line.mutex);
        line.chunks.push_back({Clock::now() + oneWay_, {}});
        line.arrived.notify_one();
    }
    deliver.join();
}
