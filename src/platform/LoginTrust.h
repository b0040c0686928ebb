#pragma once

#include <string>

struct st_mysql;

namespace platform {

// What one login may reveal, to whom, and what it found on the way. The client library runs the
// login's authentication steps through methods of this program's own (LoginTrust.cpp), which
// read and write it through the handle: nothing that could give the password away leaves before
// TLS is up and its certificate trusted.
struct LoginTrust {
    // What the login brings.
    bool tlsRequired = false;     // no byte of the login goes to a server that offers no TLS
    bool libraryVerifies = false; // the library checks the certificate against the CA file
    std::string remembered;       // the certificate remembered for this server (SHA-256), or empty
    std::string accepted;         // a certificate the user has just said to trust, or empty
    std::string publicKeyFile;    // the server's RSA key, to send the password encrypted without TLS
    std::string identity;         // a name the certificate must be made out to, checked here (a tunnel)

    // What it found.
    enum class Refusal {
        None,
        NoTls,                // TLS was required, or the server had it before, and it offered none
        ChangedCertificate,   // not the remembered certificate
        UntrustedCertificate, // the password would go to a certificate neither remembered, verified nor accepted
        PasswordWithoutTls,   // the server asked for the password on a plain connection
        NoPublicKey,          // ... and the key file given cannot be used
        WrongName,            // the certificate is not made out to identity
    };
    Refusal refusal = Refusal::None;
    bool encrypted = false;
    std::string certificate; // the server's certificate (SHA-256), once TLS is up
    bool passwordSent = false; // the password itself (over trusted TLS, or encrypted with the key file)
    bool keyFileUsed = false;

    bool trusted() const
    {
        return encrypted && (libraryVerifies || (!certificate.empty() && (certificate == remembered || certificate == accepted)));
    }
};

// Hands the login's authentication to this program's own steps, which report into trust; trust
// must outlive the login. Throws DbError when the library does not take them.
void guardLogin(st_mysql *connection, LoginTrust &trust);

// "AB:CD:…", the SHA-256 of a DER certificate, as shown and remembered.
std::string certificateFingerprint(const unsigned char *der, int length);

} // namespace platform
