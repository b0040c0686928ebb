#include "platform/ServerWait.h"

#include "platform/DbError.h"
#include "platform/EventYield.h"

#include <mysql.h>

#include <openssl/err.h>
#include <poll.h>

#include <algorithm>
#include <chrono>

namespace platform {

namespace {

// Short enough that the windows are served at least every few tens of milliseconds.
constexpr int SliceMs = 10;

} // namespace

void ServerWait::forgetTlsErrors()
{
    // Clearing walks the whole queue, looking does not: this runs at every step of every call.
    if (ERR_peek_error() != 0)
        ERR_clear_error();
}

namespace {

struct Waiting {
    pollfd socket{-1, 0, 0}; // a negative descriptor: poll passes it by
    std::optional<std::chrono::steady_clock::time_point> timeoutAt;
};

Waiting waitingFor(st_mysql *connection, int status, std::chrono::steady_clock::time_point now)
{
    Waiting w;
    if (status == 0)
        return w;
    w.socket.fd = mysql_get_socket(connection);
    if (status & MYSQL_WAIT_READ)
        w.socket.events |= POLLIN;
    if (status & MYSQL_WAIT_WRITE)
        w.socket.events |= POLLOUT;
    if (status & MYSQL_WAIT_EXCEPT)
        w.socket.events |= POLLPRI;
    if (status & MYSQL_WAIT_TIMEOUT)
        w.timeoutAt = now + std::chrono::milliseconds(mysql_get_timeout_value_ms(connection));
    return w;
}

int eventsOf(const pollfd &socket)
{
    int events = 0;
    if (socket.revents & (POLLIN | POLLHUP | POLLERR))
        events |= MYSQL_WAIT_READ;
    if (socket.revents & (POLLOUT | POLLHUP | POLLERR))
        events |= MYSQL_WAIT_WRITE;
    if (socket.revents & POLLPRI)
        events |= MYSQL_WAIT_EXCEPT;
    return events;
}

} // namespace

std::pair<int, int> ServerWait::waitForEither(st_mysql *a, int statusA, st_mysql *b, int statusB)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    Waiting waiting[2] = {waitingFor(a, statusA, start), waitingFor(b, statusB, start)};
    for (;;) {
        int slice = SliceMs;
        const Clock::time_point now = Clock::now();
        for (int i = 0; i < 2; ++i) {
            if (!waiting[i].timeoutAt)
                continue;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*waiting[i].timeoutAt - now).count();
            if (left <= 0)
                return i == 0 ? std::pair(MYSQL_WAIT_TIMEOUT, 0) : std::pair(0, MYSQL_WAIT_TIMEOUT);
            slice = static_cast<int>(std::min<long long>(left, slice));
        }
        // The library's own time-outs do not reach a read through TLS: a deadline ends the call here.
        if (deadline_) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline_ - now).count();
            if (left <= 0) {
                abandoned_ = true;
                throw DbError(2013, "The server did not answer in the time the program had left.");
            }
            slice = static_cast<int>(std::min<long long>(left, slice));
        }
        // Also when the server answers at once: a run of quick calls, each with work of its own
        // (a TLS login's setup), would otherwise keep the windows waiting.
        serveWindows();
        pollfd sockets[2] = {waiting[0].socket, waiting[1].socket};
        if (poll(sockets, 2, slice) > 0)
            return {eventsOf(sockets[0]), eventsOf(sockets[1])};
    }
}

void ServerWait::serveWindows()
{
    if (!yield_)
        return;
    try {
        yield_->whileWaiting();
    } catch (...) {
        abandoned_ = true;
        throw;
    }
}

} // namespace platform
