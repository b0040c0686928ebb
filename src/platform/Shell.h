#pragma once

#include <QString>

namespace platform {

class Shell {
public:
    virtual ~Shell() = default;
    // Opens a web or mailto: address with the desktop's default program, without waiting.
    // Throws when the request cannot be started.
    virtual void openAddress(const QString &address) = 0;
};

} // namespace platform
