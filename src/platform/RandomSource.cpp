#include "platform/RandomSource.h"

#include <QTime>

namespace platform {

void ClockRandom::seedFromClock()
{
    const double secondsSinceMidnight = QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
    state_ = static_cast<unsigned long long>(secondsSinceMidnight * 1000.0) * 6364136223846793005ULL
             + 1442695040888963407ULL;
}

double ClockRandom::next()
{
    // xorshift64*: plenty for a one-in-a-hundred draw.
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    const unsigned long long r = state_ * 2685821657736338717ULL;
    return static_cast<double>(r >> 11) / static_cast<double>(1ULL << 53);
}

} // namespace platform
