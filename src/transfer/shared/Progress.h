#pragma once

namespace transfer {

// The progress bar of a copy: a percentage from 0 to 100, possibly fractional.
// How many rows a copy handles between two looks at the windows and the bar.
inline constexpr unsigned YieldEveryRows = 64;

class ProgressIndicator {
public:
    virtual ~ProgressIndicator() = default;
    virtual void setValue(double percent) = 0;
    virtual double value() const = 0;
    // The rows of the table being copied, done and expected, beside the share: for a front that
    // shows them (the windows' bar shows the share alone).
    virtual void setRows(long long done, long long expected)
    {
        (void)done;
        (void)expected;
    }
};

} // namespace transfer
