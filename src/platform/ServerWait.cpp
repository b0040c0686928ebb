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

int ServerWait::waitFor(st_mysql *connection, int status)
{
    using Clock = std::chrono::steady_clock;
    pollfd socket{};
    socket.fd = mysql_get_socket(connection);
    if (status & MYSQL_WAIT_READ)
        socket.events |= POLLIN;
    if (status & MYSQL_WAIT_WRITE)
        socket.events |= POLLOUT;
    if (status & MYSQL_WAIT_EXCEPT)
        socket.events |= POLLPRI;
    const bool timed = (status & MYSQL_WAIT_TIMEOUT) != 0;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(timed ? mysql_get_timeout_value_ms(connection) : 0);
    for (;;) {
        int slice = SliceMs;
        if (timed) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return MYSQL_WAIT_TIMEOUT;
            slice = static_cast<int>(std::min<long long>(left, SliceMs));
        }
        // The library's own time-outs do not reach a read through TLS: a deadline ends the call here.
        if (deadline_) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline_ - Clock::now()).count();
            if (left <= 0) {
                abandoned_ = true;
                throw DbError(2013, "The server did not answer in the time the program had left.");
            }
            slice = static_cast<int>(std::min<long long>(left, slice));
        }
        // Also when the server answers at once: a run of quick calls, each with work of its own
        // (a TLS login's setup), would otherwise keep the windows waiting.
        serveWindows();
        socket.revents = 0;
        if (poll(&socket, 1, slice) > 0) {
            int events = 0;
            if (socket.revents & (POLLIN | POLLHUP | POLLERR))
                events |= MYSQL_WAIT_READ;
            if (socket.revents & (POLLOUT | POLLHUP | POLLERR))
                events |= MYSQL_WAIT_WRITE;
            if (socket.revents & POLLPRI)
                events |= MYSQL_WAIT_EXCEPT;
            return events;
        }
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
