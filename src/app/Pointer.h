#pragma once

namespace app {

// A window's mouse pointer setting.
namespace pointer {
inline constexpr int Default = 0;
inline constexpr int Busy = 11;
inline constexpr int Custom = 99; // the hand picture, or the arrow when none was loaded
} // namespace pointer

class PointerControl {
public:
    virtual ~PointerControl() = default;
    virtual int value() const = 0;
    virtual void set(int value) = 0;
};

// Shows the hourglass for one operation and gives the default pointer back however it ends.
class BusyPointerScope {
public:
    explicit BusyPointerScope(PointerControl &pointer) : pointer_(pointer) { pointer_.set(pointer::Busy); }
    ~BusyPointerScope() { pointer_.set(pointer::Default); }
    BusyPointerScope(const BusyPointerScope &) = delete;
    BusyPointerScope &operator=(const BusyPointerScope &) = delete;

private:
    PointerControl &pointer_;
};

} // namespace app
