#include "platform/QtEventYield.h"

#include "app/OperationLock.h"
#include "platform/ProgramEnding.h"

#include <QCoreApplication>

namespace platform {

namespace {
constexpr qint64 IntervalMs = 8;
}

QtEventYield::QtEventYield(OperationLock &lock) : lock_(lock) { sinceLast_.start(); }

void QtEventYield::yield()
{
    if (sinceLast_.elapsed() >= IntervalMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        sinceLast_.restart();
    }
    if (lock_.ending())
        throw ProgramEnding();
}

} // namespace platform
