#pragma once

#include <stdexcept>
#include <string>

namespace platform {

// The servers' numbers the program acts on.
namespace server_error {
inline constexpr int TableExists = 1050;
inline constexpr int NoSuchTable = 1146;
} // namespace server_error

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

// A login refused for the server's certificate before it sent anything secret: a certificate
// neither remembered nor verified, to which the password itself would have gone (the user may
// choose to trust it), or not the certificate remembered for that server.
class CertificateRefusal : public DbError {
public:
    enum class Kind { Untrusted, Changed };
    CertificateRefusal(Kind kind, std::string server, std::string offered, std::string remembered,
                       const std::string &description)
        : DbError(2026, description), kind_(kind), server_(std::move(server)), offered_(std::move(offered)),
          remembered_(std::move(remembered)) {}
    Kind kind() const { return kind_; }
    const std::string &server() const { return server_; }
    const std::string &offered() const { return offered_; }
    const std::string &remembered() const { return remembered_; }

private:
    Kind kind_;
    std::string server_;
    std::string offered_;
    std::string remembered_;
};

} // namespace platform
