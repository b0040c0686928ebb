#pragma once

namespace platform {

class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual void seedFromClock() = 0;
    // A fraction r with 0 <= r < 1.
    virtual double next() = 0;
};

// Seeded from the seconds since midnight.
class ClockRandom : public RandomSource {
public:
    void seedFromClock() override;
    double next() override;

private:
    unsigned long long state_ = 0x2545F4914F6CDD1DULL;
};

} // namespace platform
