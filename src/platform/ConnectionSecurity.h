#pragma once

#include <string>

namespace platform {

// How a connection protects itself and the password on the way to its server, and whether what
// travels is compressed.
struct ConnectionSecurity {
    // Auto: compressed when a login to that server has measured a round trip above
    // AutoCompressionMs; a server not measured yet is measured by its first login.
    enum class Compression { Auto, Off, On };
    static constexpr double AutoCompressionMs = 3.0;

    enum class Mode {
        Prefer,        // TLS whenever the server offers it
        Require,       // TLS or no login; the certificate is not checked
        VerifyCa,      // TLS with a certificate signed by the CA file
        VerifyIdentity // as VerifyCa, and made out to the host name or address logged into
    };
    Mode mode = Mode::Prefer;
    std::string caFile;
    std::string certFile; // a client certificate, with its key
    std::string keyFile;
    std::string serverPublicKeyFile; // the server's RSA key, for sha256 logins without TLS
    Compression compression = Compression::Auto;

    bool requiresTls() const { return mode != Mode::Prefer; }
    bool verifies() const { return mode == Mode::VerifyCa || mode == Mode::VerifyIdentity; }
};

// What a login got.
struct TlsState {
    bool encrypted = false;
    bool verified = false;
    std::string version; // "TLSv1.3", as the library says it
    bool compressed = false;
};

// "TLS 1.3, certificate verified", "TLS, not verified" or "not encrypted"; ", compressed" after.
std::string describe(const TlsState &state);

// The authentication plugins a login may use: none that would hand the password over in clear,
// unless the connection is sure to be encrypted and verified; none that would ask the server for
// its public key unless the connection is sure to be encrypted or the user gave the key.
std::string allowedAuthPlugins(const ConnectionSecurity &security);

} // namespace platform
