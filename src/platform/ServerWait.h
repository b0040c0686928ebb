#pragma once

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

    // start() and cont(events) return the events the call waits for, 0 once it is done.
    template <class Start, class Cont>
    void run(st_mysql *connection, Start &&start, Cont &&cont)
    {
        int status = start();
        while (status != 0)
            status = cont(waitFor(connection, status));
    }

    // A call was left unfinished: the connection can only be cancelled and closed.
    bool abandoned() const { return abandoned_; }

private:
    int waitFor(st_mysql *connection, int status);

    EventYield *yield_ = nullptr;
    bool abandoned_ = false;
};

} // namespace platform
