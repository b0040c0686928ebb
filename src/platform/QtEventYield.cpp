#include "platform/QtEventYield.h"

#include "platform/ProgramEnding.h"

#include <QCoreApplication>

namespace platform {

namespace {
constexpr qint64 IntervalMs = 50; // with the server waits' 10 ms slices: a gap of 60 ms at most
}

QtEventYield::QtEventYield(std::function<bool()> programEnding) : programEnding_(std::move(programEnding))
{
    sinceLast_.start();
}

void QtEventYield::serveWindows()
{
    if (sinceLast_.elapsed() >= IntervalMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        sinceLast_.restart();
    }
    if (programEnding_())
        throw ProgramEnding();
}

} // namespace platform
