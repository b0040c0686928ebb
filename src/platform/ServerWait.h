#pragma once

#include <chrono>
#include <optional>
#include <utility>

struct st_mysql;

namespace platform {

class EventYield;

// Runs Connector/C's non-blocking calls to their end: between two steps of a call it waits on the
// connection's socket in short slices, and hands each slice's end to the event yield, so the
// windows repaint and can be closed while the server takes its time. When the yield throws
// (the program is ending), the call is abandoned between two steps, never inside the library.
class ServerWait {
public:
    void setYield(EventYield *yield) { yield_ = yield; }
    // Past it, a wait ends as a time-out: the library then fails the call itself, cleanly.
    void setDeadline(std::chrono::steady_clock::time_point deadline) { deadline_ = deadline; }

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

    // Two calls on two connections at once, each resumed with its own events until both are done:
    // the round trips of two logins to a far server overlap.
    template <class StartA, class ContA, class StartB, class ContB>
    void runBoth(st_mysql *a, StartA &&startA, ContA &&contA, st_mysql *b, StartB &&startB, ContB &&contB)
    {
        struct ForgetAfter {
            ~ForgetAfter() { forgetTlsErrors(); }
        } after;
        forgetTlsErrors();
        int statusA = startA();
        forgetTlsErrors();
        int statusB = startB();
        // One step a wait, taking turns when both are ready, so the windows are served between any two.
        bool aFirst = true;
        while (statusA != 0 || statusB != 0) {
            const auto [eventsA, eventsB] = waitForEither(a, statusA, b, statusB);
            forgetTlsErrors();
            if (eventsA != 0 && (aFirst || eventsB == 0))
                statusA = contA(eventsA);
            else if (eventsB != 0)
                statusB = contB(eventsB);
            aFirst = !aFirst;
        }
    }

    // A call was left unfinished: the connection can only be cancelled and closed.
    bool abandoned() const { return abandoned_; }

private:
    int waitFor(st_mysql *connection, int status) { return waitForEither(connection, status, nullptr, 0).first; }
    // The events of each that has some; a connection whose status is 0 is not waited for.
    std::pair<int, int> waitForEither(st_mysql *a, int statusA, st_mysql *b, int statusB);
    void serveWindows();
    // OpenSSL keeps the errors of a failed TLS session per thread, and the client library reads
    // them as the errors of whichever session it works on next: every other session to any server
    // would then be cut off too. Each step starts with none left over.
    static void forgetTlsErrors();

    EventYield *yield_ = nullptr;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    bool abandoned_ = false;
};

} // namespace platform
