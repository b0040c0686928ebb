#pragma once

#include "platform/ConnectionSecurity.h"

#include <QString>

#include <functional>
#include <memory>

namespace platform {
class CertificateRefusal;
class Connection;
struct TlsState;
}

namespace sides {

class SideTunnel;

// The login details of one side, exactly as typed in the connection window, with how the side
// protects its connections and who hears what a login got.
struct ConnectionProfile {
    QString server;
    QString user;
    QString password;
    QString database;
    QString port;
    platform::ConnectionSecurity security{};
    std::function<void(const platform::TlsState &)> onLogin{};
    // Asked when a first login would send the password itself to a certificate neither remembered
    // nor verified: true trusts that certificate for this login (and onLogin then remembers it).
    std::function<bool(const platform::CertificateRefusal &)> confirmCertificate{};
    // The side's SSH tunnel, when it has one chosen: the server and port above are then the
    // database's as the last SSH server sees them, and the login goes through a local forward.
    std::shared_ptr<SideTunnel> tunnel{};
};

// Opens the connection with the profile's login and security, and tells onLogin what it got.
void openConnection(platform::Connection &connection, const ConnectionProfile &profile);
// Two sessions logged in with one profile at once: over a far link their round trips overlap.
void openConnectionsTogether(platform::Connection &first, platform::Connection &second,
                             const ConnectionProfile &profile);

// The profile as a further session of a run logs in with, on a thread of its own: asking
// nothing and telling no one, through the side's tunnel as it is open now, and only to the
// certificate met (the run's first session's) when that one was encrypted.
ConnectionProfile furtherSessionProfile(const ConnectionProfile &profile, const platform::TlsState &met);

// "host:port" as the login names the server (3306 when no port is given): what a remembered
// certificate belongs to.
QString serverAddress(const ConnectionProfile &profile);

// "DRIVER={MySQL ODBC 5.1 Driver};SERVER=…;DATABASE=…;USER=…;PASSWORD=…;PORT=…;"
// A value holding ';', '{' or '}' would cut the string short, so it goes in braces with '}'
// doubled; every other value is written as it stands.
QString connectionString(const ConnectionProfile &profile);

} // namespace sides
