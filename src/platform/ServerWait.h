#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>

struct st_mysql;

namespace platform {

class EventYield;

// One non-blocking call run to its end on a thread of its own. For a login: from its TLS handshake
// on, the client library blocks the thread it runs on until the server has answered, which on a far
// link would freeze the windows for round trips at a time. Only the windows' thread then waits.
class AsideCall {
public:
    // start() and cont(events) as for ServerWait::run. The thread starts at once.
    AsideCall(st_mysql *connection, std::function<int()> start, std::function<int(int)> cont);
    // Stops a call that has not ended (its socket is shut down) and waits for the thread.
    ~AsideCall();
    AsideCall(const AsideCall &) = delete;
    AsideCall &operator=(const AsideCall &) = delete;

    // Readable once the thread is done with the call.
    int endSignal() const { return ended_.fd(); }
    // The call ran to its end (it may have failed): the handle is fit for the next call.
    bool ranToEnd() const { return ranToEnd_; }

private:
    // An eventfd, closed with its owner.
    class Signal {
    public:
        Signal(); // throws DbError
        ~Signal();
        Signal(const Signal &) = delete;
        Signal &operator=(const Signal &) = delete;
        int fd() const { return fd_; }
        void raise() const;

    private:
        int fd_;
    };

    void run();

    st_mysql *connection_;
    std::function<int()> start_;
    std::function<int(int)> cont_;
    Signal wake_;  // the windows' thread to the call's: stop
    Signal ended_; // the call's thread to the windows': done
    std::atomic<int> socket_{-1};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> ranToEnd_{false};
    std::thread thread_;
};

// Runs Connector/C's non-blocking calls to their end: between two steps of a call it waits on the
// connection's socket in short slices, and hands each slice's end to the event yield, so the
// windows repaint and can be closed while the server takes its time. When the yield throws
// (the program is ending), the call is abandoned between two steps, never inside the library.
class ServerWait {
public:
    void setYield(EventYield *yield) { yield_ = yield; }
    // Past it, a wait ends as a time-out: the library then fails the call itself, cleanly.
    void setDeadline(std::chrono::steady_clock::time_point deadline) { deadline_ = deadline; }

    // OpenSSL keeps the errors of a failed TLS session per thread, and the client library reads
    // them as the errors of whichever session it works on next: every other session to any server
    // would then be cut off too. Each step starts with none left over.
    static void forgetTlsErrors();

    // start() and cont(events) return the events the call waits for, 0 once it is done.
    template <class Start, class Cont>
    void run(st_mysql *connection, Start &&start, Cont &&cont)
    {
        // Also when the call fails: the call it may be nested in (a load that reads its rows from
        // another session) goes on after it.
        struct ForgetAfter {
            ~ForgetAfter() { forgetTlsErrors(); }
        } after;
        forgetTlsErrors();
        int status = start();
        while (status != 0) {
            const int events = waitFor(connection, status);
            forgetTlsErrors();
            status = cont(events);
        }
    }

    // Until the call has ended on its own thread, serving the windows meanwhile.
    void waitFor(const AsideCall &call);

    // A call was left unfinished: the connection can only be cancelled and closed.
    bool abandoned() const { return abandoned_; }

private:
    int waitFor(st_mysql *connection, int status);
    // The poll events of the descriptor once it has some; 0 when its own time ran out first.
    short waitOn(int fd, short events, std::optional<std::chrono::steady_clock::time_point> timeoutAt);
    void serveWindows();

    EventYield *yield_ = nullptr;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    bool abandoned_ = false;
};

} // namespace platform
