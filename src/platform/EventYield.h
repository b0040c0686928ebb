#pragma once

namespace platform {

// Lets the window system handle pending events (repaint, input) from inside a long operation.
class EventYield {
public:
    virtual ~EventYield() = default;
    // Once for every row read or sent.
    virtual void yield() = 0;
    // Again and again while a statement waits for the server. May throw ProgramEnding.
    virtual void whileWaiting() {}
};

} // namespace platform
