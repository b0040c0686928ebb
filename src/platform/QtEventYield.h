#pragma once

#include "platform/EventYield.h"

#include <QElapsedTimer>

class OperationLock;

namespace platform {

// Handles pending window events, at most once every few milliseconds: often enough to keep the
// windows painted and the bar moving, rarely enough to stay out of a copy's way.
// Throws ProgramEnding once a window has been closed.
class QtEventYield : public EventYield {
public:
    explicit QtEventYield(OperationLock &lock);
    void yield() override;

private:
    OperationLock &lock_;
    QElapsedTimer sinceLast_;
};

} // namespace platform
