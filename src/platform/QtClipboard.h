#pragma once

#include "platform/Clipboard.h"

namespace platform {

class QtClipboard : public Clipboard {
public:
    bool trySetText(const QString &text) override;
    QString readText() const override;
};

} // namespace platform
