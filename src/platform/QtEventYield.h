#pragma once

#include "platform/EventYield.h"

#include <QElapsedTimer>

#include <functional>

namespace platform {

// Handles pending window events, at most once every few tens of milliseconds: often enough to
// keep the windows painted, the bar moving and a close taken at once, rarely enough that painting
// costs a copy next to nothing. Throws ProgramEnding once programEnding says a window was closed.
class QtEventYield : public EventYield {
public:
    explicit QtEventYield(std::function<bool()> programEnding);
    void yield() override { serveWindows(); }
    void whileWaiting() override { serveWindows(); }

private:
    void serveWindows();

    std::function<bool()> programEnding_;
    QElapsedTimer sinceLast_;
};

} // namespace platform
