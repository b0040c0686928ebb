#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

// A server of the tests' own that poses as a MySQL server on a loopback port: it offers TLS and
// ends it itself with a certificate of its own, then asks for caching_sha2_password's full
// authentication, the one step that needs the password itself. Whatever a client sends for it
// is kept; a client that sends it is logged in, and every command after is answered "OK".
class TlsImpostor {
public:
    TlsImpostor(const std::string &certificateFile, const std::string &keyFile);
    ~TlsImpostor();
    TlsImpostor(const TlsImpostor &) = delete;
    TlsImpostor &operator=(const TlsImpostor &) = delete;

    int port() const { return port_; }
    // The bytes sent in answer to the request for the password, of every login so far.
    std::string passwords() const;
    // Logins whose TLS handshake ended and whose answer to the greeting arrived.
    int loginsHeard() const;

private:
    void serve(int client);

    void *context_ = nullptr; // SSL_CTX
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::string passwords_;
    int logins_ = 0;
    std::thread thread_;
};
