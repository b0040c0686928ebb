#pragma once

#include <QString>

namespace platform {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    // One attempt to put plain text on the clipboard; false when another program holds it.
    virtual bool trySetText(const QString &text) = 0;
    // The plain text on the clipboard; empty when there is none.
    virtual QString readText() const = 0;
};

} // namespace platform
