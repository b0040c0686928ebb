#pragma once

namespace platform {

// Lets the window system handle pending events (repaint, input) from inside a long operation.
class EventYield {
public:
    virtual ~EventYield() = default;
    virtual void yield() = 0;
};

} // namespace platform
