#include "app/Guard.h"

#include <cassert>

namespace app {

namespace {
StepWatch *watching = nullptr;
}

WatchingSteps::WatchingSteps(StepWatch &watch)
{
    assert(!watching);
    watching = &watch;
}

WatchingSteps::~WatchingSteps() { watching = nullptr; }

StepWatch *WatchingSteps::current() { return watching; }

} // namespace app
