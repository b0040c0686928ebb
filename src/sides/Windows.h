#pragma once

#include "sides/ConnectionProfile.h"

#include <functional>
#include <memory>

namespace sides {

class TableList;

// What the table manager knows of the connection window: the two logins, read from the boxes
// afresh at every call, so an operation always connects with what is typed there now.
class ProfileSource {
public:
    virtual ~ProfileSource() = default;
    virtual ConnectionProfile profile(int side) const = 0;
};

// What the connection window knows of the table manager.
class TableManager {
public:
    virtual ~TableManager() = default;
    virtual TableList &tableList(int side) = 0;
    virtual void showManager() = 0;
    virtual void hideManager() = 0;
    virtual bool managerVisible() const = 0;
    // What the last login of that side got: "TLS 1.3, certificate verified", "not encrypted", …
    virtual void showLoginSecurity(int side, const QString &text) = 0;
};

// Makes the table manager for a connection window; showConnectionWindow is the way back.
using TableManagerFactory = std::function<std::unique_ptr<TableManager>(const ProfileSource &profiles,
                                                                         std::function<void()> showConnectionWindow)>;

} // namespace sides
