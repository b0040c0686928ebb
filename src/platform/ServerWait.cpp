#include "platform/ServerWait.h"

#include "platform/DbError.h"
#include "platform/EventYield.h"

#include <mysql.h>

#include <openssl/err.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <system_error>

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

short pollEvents(int status)
{
    short events = 0;
    if (status & MYSQL_WAIT_READ)
        events |= POLLIN;
    if (status & MYSQL_WAIT_WRITE)
        events |= POLLOUT;
    if (status & MYSQL_WAIT_EXCEPT)
        events |= POLLPRI;
    return events;
}

int eventsOf(short revents)
{
    int events = 0;
    if (revents & (POLLIN | POLLHUP | POLLERR))
        events |= MYSQL_WAIT_READ;
    if (revents & (POLLOUT | POLLHUP | POLLERR))
        events |= MYSQL_WAIT_WRITE;
    if (revents & POLLPRI)
        events |= MYSQL_WAIT_EXCEPT;
    return events;
}

std::optional<std::chrono::steady_clock::time_point> timeoutOf(st_mysql *connection, int status)
{
    if (!(status & MYSQL_WAIT_TIMEOUT))
        return std::nullopt;
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(mysql_get_timeout_value_ms(connection));
}

} // namespace

int ServerWait::waitFor(st_mysql *connection, int status)
{
    const short revents = waitOn(mysql_get_socket(connection), pollEvents(status), timeoutOf(connection, status));
    return revents == 0 ? MYSQL_WAIT_TIMEOUT : eventsOf(revents);
}

void ServerWait::waitFor(const AsideCall &call)
{
    waitOn(call.endSignal(), POLLIN, std::nullopt);
}

short ServerWait::waitOn(int fd, short events, std::optional<std::chrono::steady_clock::time_point> timeoutAt)
{
    using Clock = std::chrono::steady_clock;
    for (;;) {
        int slice = SliceMs;
        const Clock::time_point now = Clock::now();
        if (timeoutAt) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*timeoutAt - now).count();
            if (left <= 0)
                return 0;
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
        pollfd socket{fd, events, 0};
        if (::poll(&socket, 1, slice) > 0)
            return socket.revents;
    }
}

AsideCall::Signal::Signal() : fd_(::eventfd(0, EFD_CLOEXEC))
{
    if (fd_ < 0)
        throw DbError(2008, std::string("The login could not be started: ") + std::strerror(errno));
}

AsideCall::Signal::~Signal() { ::close(fd_); }

void AsideCall::Signal::raise() const
{
    const std::uint64_t one = 1;
    while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

AsideCall::AsideCall(st_mysql *connection, std::function<int()> start, std::function<int(int)> cont)
    : connection_(connection), start_(std::move(start)), cont_(std::move(cont))
{
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error &e) {
        throw DbError(2008, std::string("The login could not be started: ") + e.what());
    }
}

AsideCall::~AsideCall()
{
    if (!ranToEnd_) {
        stopping_ = true;
        wake_.raise();
        // Inside the library the thread may sit in a blocking read: cut it short. The socket is
        // published before the first wait, and looked at again after stopping is set.
        const int socket = socket_.load();
        if (socket >= 0)
            ::shutdown(socket, SHUT_RDWR);
    }
    thread_.join();
}

void AsideCall::run()
{
    mysql_thread_init();
    ServerWait::forgetTlsErrors();
    int status = start_();
    if (status != 0)
        socket_ = static_cast<int>(mysql_get_socket(connection_));
    while (status != 0 && !stopping_) {
        pollfd waits[2] = {{socket_.load(), pollEvents(status), 0}, {wake_.fd(), POLLIN, 0}};
        const int timeoutMs =
            (status & MYSQL_WAIT_TIMEOUT) ? static_cast<int>(mysql_get_timeout_value_ms(connection_)) : -1;
        const int ready = ::poll(waits, 2, timeoutMs);
        if (stopping_)
            break;
        if (ready < 0 && errno == EINTR)
            continue;
        // Any other failure to wait: the library's next step finds out what the socket has.
        const int events = ready < 0 ? MYSQL_WAIT_READ | MYSQL_WAIT_WRITE
                           : ready == 0 ? MYSQL_WAIT_TIMEOUT
                                        : eventsOf(waits[0].revents);
        ServerWait::forgetTlsErrors();
        status = cont_(events);
    }
    ranToEnd_ = status == 0;
    // Its errors die with the thread; none reaches the windows' thread.
    mysql_thread_end();
    ended_.raise();
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
