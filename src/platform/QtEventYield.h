#pragma once

#include "platform/EventYield.h"

#include <QElapsedTimer>

#include <functional>

namespace platform {

// Handles pending window events, at most once every few milliseconds: often enough to keep the
// windows painted and the bar moving, rarely enough to stay out of a copy's way.
// Throws ProgramEnding once programEnding says a window has been closed.
class QtEventYield : public EventYield {
public:
    explicit QtEventYield(std::function<bool()> programEnding);
    void yield() override;

private:
    std::function<bool()> programEnding_;
    QElapsedTimer sinceLast_;
};

} // namespace platform
