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
    std::string description() const { return what(); }

private:
    int number_;
};

} // namespace platform
