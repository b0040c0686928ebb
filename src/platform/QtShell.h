#pragma once

#include "platform/Shell.h"

namespace platform {

class QtShell : public Shell {
public:
    void openAddress(const QString &address) override;
};

} // namespace platform
