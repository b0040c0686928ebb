#pragma once

#include <stdexcept>
#include <string>

namespace platform {

// A failure of the data-access layer: the server's (or client library's) error number and text.
class DbError : public std::runtime_error {
public:
    DbError(int number, const std::string &description)
        : std::runtime_error(description), number_(number) {}
    int number() const { return number_; }
    // The login was refused for the sake of its security (TLS, certificate, a plugin not allowed):
    // the user has something to change, and is told what.
    bool isSecurityRefusal() const { return number_ == 2026 || number_ == 5010; }
    // The session is gone (server gone away, lost, killed): nothing more can be sent on it.
    bool isConnectionLost() const { return number_ == 2006 || number_ == 2013 || number_ == 2055 || number_ == 1927; }
    std::string description() const { return what(); }

private:
    int number_;
};

} // namespace platform
