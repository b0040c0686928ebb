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
    // Trust on first use, under Prefer and Require: the certificate ("AB:CD:…", SHA-256) an earlier
    // login to this server met, which every later login must meet again before it sends anything;
    // and one the user has just said to trust, for a first login that must send the password.
    std::string rememberedCertificate;
    std::string acceptedCertificate;
    // Under VerifyIdentity, when the login connects elsewhere than the server's own name (the local
    // end of an SSH tunnel): the name the certificate must be made out to.
    std::string identityName;

    bool requiresTls() const { return mode != Mode::Prefer; }
    bool verifies() const { return mode == Mode::VerifyCa || mode == Mode::VerifyIdentity; }
};

// What a login got.
struct TlsState {
    bool encrypted = false;
    bool verified = false;
    std::string version; // "TLSv1.3", as the library says it
    bool compressed = false;
    std::string certificate; // the server's certificate (SHA-256), when encrypted
};

// "TLS 1.3, certificate verified", "TLS, not verified" or "not encrypted"; ", compressed" after.
std::string describe(const TlsState &state);

// The authentication plugins a login may use. Those that send the password itself do so only
// over TLS to a trusted certificate, or encrypted with the key file the user gave (LoginTrust);
// PAM's dialog, which may ask anything, only where the library verifies the certificate.
std::string allowedAuthPlugins(const ConnectionSecurity &security);

} // namespace platform
