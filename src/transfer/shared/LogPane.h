#pragma once

#include <QString>

#include <string_view>

namespace transfer {

// The log pane of the table manager. Every entry is followed by CR LF.
class LogPane {
public:
    virtual ~LogPane() = default;
    virtual void appendEntry(std::string_view utf8) = 0;
    virtual QString text() const = 0;
    virtual void clear() = 0;
};

} // namespace transfer
