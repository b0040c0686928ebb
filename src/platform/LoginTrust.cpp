#include "platform/LoginTrust.h"

#include "platform/DbError.h"

#include <errmsg.h>
#include <mysql.h>
// After mysql.h, which they build on; the library is built with TLS, so its TLS session's layout counts.
#define HAVE_TLS 1
#include <ma_pvio.h>
#include <mysql/client_plugin.h>
#undef HAVE_TLS

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <openssl/x509.h>

#include <array>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <vector>

namespace platform {

namespace {

constexpr const char *TrustKey = "tabulink.login";
// The first step of every login: it answers the greeting with no secret at all, so that the
// server names the account's own method next, and checks the TLS the library set up meanwhile.
constexpr const char *GateName = "tabulink_tls_gate";
constexpr int ScrambleLength = 20;
constexpr unsigned char FastAuthOk = 3;
constexpr unsigned char FullAuthNeeded = 4;
const unsigned char Nothing[1] = {0}; // an empty packet's bytes: never a null pointer to the library

LoginTrust *trustOf(MYSQL *m)
{
    void *data = nullptr;
    mysql_get_optionv(m, MARIADB_OPT_USERDATA, const_cast<char *>(TrustKey), &data);
    return static_cast<LoginTrust *>(data);
}

int refuse(LoginTrust &trust, LoginTrust::Refusal why)
{
    trust.refusal = why;
    return CR_ERROR;
}

// The server's certificate, as the TLS session the library set up holds it.
struct X509Free {
    void operator()(X509 *x) const { X509_free(x); }
};
using Certificate = std::unique_ptr<X509, X509Free>;

Certificate peerX509(MYSQL *m)
{
    MARIADB_PVIO *pvio = m->net.pvio;
    if (!pvio || !pvio->ctls || !pvio->ctls->ssl)
        return {};
    return Certificate(SSL_get1_peer_certificate(static_cast<SSL *>(pvio->ctls->ssl)));
}

// As the library's own check would: a DNS name (wildcards as RFC 6125 allows) or an address.
bool madeOutTo(MYSQL *m, const std::string &name)
{
    const Certificate cert = peerX509(m);
    return cert && (X509_check_host(cert.get(), name.c_str(), name.size(), 0, nullptr) == 1
                    || X509_check_ip_asc(cert.get(), name.c_str(), 0) == 1);
}

std::string peerCertificate(MYSQL *m)
{
    const Certificate cert = peerX509(m);
    if (!cert)
        return {};
    unsigned char *der = nullptr;
    const int length = i2d_X509(cert.get(), &der);
    if (length <= 0)
        return {};
    std::string fingerprint = certificateFingerprint(der, length);
    OPENSSL_free(der);
    return fingerprint;
}

int gate(MYSQL_PLUGIN_VIO *vio, MYSQL *m)
{
    LoginTrust *trust = trustOf(m);
    if (!trust)
        return CR_ERROR;
    // Nothing has been sent yet: a server that offers no TLS hears nothing when TLS is required,
    // or when it had TLS at an earlier login (its certificate is remembered).
    const bool offered = (m->server_capabilities & CLIENT_SSL) != 0;
    if (!offered && (trust->tlsRequired || !trust->remembered.empty()))
        return refuse(*trust, LoginTrust::Refusal::NoTls);
    // The answer to the greeting: the library starts TLS first, then sends the user's name and
    // this method's name, with no secret.
    if (vio->write_packet(vio, Nothing, 0))
        return CR_ERROR;
    trust->encrypted = mysql_get_ssl_cipher(m) != nullptr;
    if (trust->encrypted)
        trust->certificate = peerCertificate(m);
    if ((trust->tlsRequired || !trust->remembered.empty()) && !trust->encrypted)
        return refuse(*trust, LoginTrust::Refusal::NoTls);
    if (!trust->libraryVerifies && !trust->remembered.empty() && trust->certificate != trust->remembered)
        return refuse(*trust, LoginTrust::Refusal::ChangedCertificate);
    if (!trust->identity.empty() && (!trust->encrypted || !madeOutTo(m, trust->identity)))
        return refuse(*trust, LoginTrust::Refusal::WrongName);
    // The server answers with a switch to the account's own method.
    return CR_OK;
}

std::string readKeyFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return in ? text.str() : std::string();
}

// The password with its terminating zero, each byte XOR-ed with the scramble, encrypted with
// the server's RSA key from the user's file; empty when the file holds no usable key.
std::vector<unsigned char> encryptedPassword(const std::string &keyFile, const char *password,
                                             const unsigned char *scramble)
{
    const std::string pem = readKeyFile(keyFile);
    if (pem.empty())
        return {};
    struct Free {
        void operator()(BIO *b) const { BIO_free(b); }
        void operator()(EVP_PKEY *k) const { EVP_PKEY_free(k); }
        void operator()(EVP_PKEY_CTX *c) const { EVP_PKEY_CTX_free(c); }
    };
    const std::unique_ptr<BIO, Free> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    const std::unique_ptr<EVP_PKEY, Free> key(bio ? PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    const std::unique_ptr<EVP_PKEY_CTX, Free> ctx(key ? EVP_PKEY_CTX_new(key.get(), nullptr) : nullptr);
    if (!ctx || EVP_PKEY_encrypt_init(ctx.get()) <= 0 || EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_OAEP_PADDING) <= 0)
        return {};
    std::vector<unsigned char> plain(password, password + std::strlen(password) + 1);
    for (size_t i = 0; i < plain.size(); ++i)
        plain[i] ^= scramble[i % ScrambleLength];
    size_t length = 0;
    if (EVP_PKEY_encrypt(ctx.get(), nullptr, &length, plain.data(), plain.size()) <= 0)
        return {};
    std::vector<unsigned char> out(length);
    if (EVP_PKEY_encrypt(ctx.get(), out.data(), &length, plain.data(), plain.size()) <= 0)
        return {};
    out.resize(length);
    OPENSSL_cleanse(plain.data(), plain.size());
    return out;
}

// The password itself, only over TLS to a trusted certificate, or encrypted with the key file the
// user gave on a plain connection. The server's own key is never asked for: on a plain
// connection anyone in between could send theirs.
int sendPassword(MYSQL_PLUGIN_VIO *vio, MYSQL *m, LoginTrust &trust, const unsigned char *scramble)
{
    const char *password = m->passwd ? m->passwd : "";
    if (trust.encrypted) {
        if (!trust.trusted())
            return refuse(trust, LoginTrust::Refusal::UntrustedCertificate);
        trust.passwordSent = true;
        return vio->write_packet(vio, reinterpret_cast<const unsigned char *>(password),
                                 static_cast<int>(std::strlen(password) + 1))
                   ? CR_ERROR
                   : CR_OK;
    }
    if (trust.publicKeyFile.empty())
        return refuse(trust, LoginTrust::Refusal::PasswordWithoutTls);
    const std::vector<unsigned char> sealed = encryptedPassword(trust.publicKeyFile, password, scramble);
    if (sealed.empty())
        return refuse(trust, LoginTrust::Refusal::NoPublicKey);
    trust.keyFileUsed = true;
    trust.passwordSent = true;
    return vio->write_packet(vio, sealed.data(), static_cast<int>(sealed.size())) ? CR_ERROR : CR_OK;
}

bool readScramble(MYSQL_PLUGIN_VIO *vio, unsigned char (&scramble)[ScrambleLength])
{
    unsigned char *packet = nullptr;
    const int length = vio->read_packet(vio, &packet);
    if (length < ScrambleLength)
        return false;
    std::memcpy(scramble, packet, ScrambleLength);
    return true;
}

std::array<unsigned char, 32> sha256(const unsigned char *a, size_t aLength, const unsigned char *b = nullptr,
                                     size_t bLength = 0)
{
    std::array<unsigned char, 32> out{};
    EVP_MD_CTX *ctx = EVP_MD_CTX_new();
    EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr);
    EVP_DigestUpdate(ctx, a, aLength);
    if (b)
        EVP_DigestUpdate(ctx, b, bLength);
    EVP_DigestFinal_ex(ctx, out.data(), nullptr);
    EVP_MD_CTX_free(ctx);
    return out;
}

// The login's trust and the server's scramble, which both sha2 methods begin with; null when
// either is missing.
LoginTrust *startLogin(MYSQL_PLUGIN_VIO *vio, MYSQL *m, unsigned char (&scramble)[ScrambleLength])
{
    LoginTrust *trust = trustOf(m);
    return trust && readScramble(vio, scramble) ? trust : nullptr;
}

// MySQL's default: a scramble the server checks against its cache (reveals nothing); when the
// cache has no entry, the password itself.
int cachingSha2(MYSQL_PLUGIN_VIO *vio, MYSQL *m)
{
    unsigned char scramble[ScrambleLength];
    LoginTrust *trust = startLogin(vio, m, scramble);
    if (!trust)
        return CR_ERROR;
    const char *password = m->passwd ? m->passwd : "";
    if (!*password)
        return vio->write_packet(vio, Nothing, 0) ? CR_ERROR : CR_OK;
    const auto *pw = reinterpret_cast<const unsigned char *>(password);
    const auto once = sha256(pw, std::strlen(password));
    const auto twice = sha256(once.data(), once.size());
    const auto salted = sha256(twice.data(), twice.size(), scramble, ScrambleLength);
    std::array<unsigned char, 32> proof{};
    for (size_t i = 0; i < proof.size(); ++i)
        proof[i] = once[i] ^ salted[i];
    if (vio->write_packet(vio, proof.data(), static_cast<int>(proof.size())))
        return CR_ERROR;
    unsigned char *packet = nullptr;
    const int length = vio->read_packet(vio, &packet);
    if (length != 1)
        return CR_ERROR;
    if (*packet == FastAuthOk)
        return CR_OK;
    if (*packet != FullAuthNeeded)
        return CR_ERROR;
    return sendPassword(vio, m, *trust, scramble);
}

// The password itself, over TLS or encrypted with the server's key.
int sha256Password(MYSQL_PLUGIN_VIO *vio, MYSQL *m)
{
    unsigned char scramble[ScrambleLength];
    LoginTrust *trust = startLogin(vio, m, scramble);
    if (!trust)
        return CR_ERROR;
    const char *password = m->passwd ? m->passwd : "";
    if (!*password && !trust->encrypted)
        return vio->write_packet(vio, Nothing, 0) ? CR_ERROR : CR_OK;
    return sendPassword(vio, m, *trust, scramble);
}

// PAM and LDAP logins of hosted servers: the password in clear, so only over trusted TLS.
int clearPassword(MYSQL_PLUGIN_VIO *vio, MYSQL *m)
{
    LoginTrust *trust = trustOf(m);
    if (!trust)
        return CR_ERROR;
    if (!trust->encrypted)
        return refuse(*trust, LoginTrust::Refusal::PasswordWithoutTls);
    static const unsigned char none[ScrambleLength] = {};
    return sendPassword(vio, m, *trust, none);
}

using Method = int (*)(MYSQL_PLUGIN_VIO *, MYSQL *);

st_mysql_client_plugin_AUTHENTICATION method(const char *name, Method run)
{
    st_mysql_client_plugin_AUTHENTICATION p{};
    p.type = MYSQL_CLIENT_AUTHENTICATION_PLUGIN;
    p.interface_version = MYSQL_CLIENT_AUTHENTICATION_PLUGIN_INTERFACE_VERSION;
    p.name = name;
    p.author = "Tabulink";
    p.desc = "Tabulink's guarded login step";
    p.version[1] = 1;
    p.license = "GPL";
    p.authenticate_user = run;
    return p;
}

// Registered before any login could load the library's own methods of these names.
void registerMethods(MYSQL *m)
{
    static st_mysql_client_plugin_AUTHENTICATION methods[] = {
        method(GateName, gate), method("caching_sha2_password", cachingSha2),
        method("sha256_password", sha256Password), method("mysql_clear_password", clearPassword)};
    static std::once_flag once;
    static std::string failure;
    std::call_once(once, [m] {
        for (auto &p : methods)
            if (!mysql_client_register_plugin(m, reinterpret_cast<st_mysql_client_plugin *>(&p)))
                failure = std::string("The login method ") + p.name + " could not be set up: " + mysql_error(m);
    });
    if (!failure.empty())
        throw DbError(CR_AUTH_PLUGIN_CANNOT_LOAD, failure);
}

} // namespace

std::string certificateFingerprint(const unsigned char *der, int length)
{
    const auto digest = sha256(der, static_cast<size_t>(length));
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char byte : digest) {
        if (!out.empty())
            out += ':';
        out += hex[byte >> 4];
        out += hex[byte & 15];
    }
    return out;
}

void guardLogin(MYSQL *m, LoginTrust &trust)
{
    registerMethods(m);
    if (mysql_optionsv(m, MARIADB_OPT_USERDATA, const_cast<char *>(TrustKey), static_cast<void *>(&trust))
        || mysql_optionsv(m, MYSQL_DEFAULT_AUTH, GateName))
        throw DbError(CR_OUT_OF_MEMORY, "The login could not be set up.");
}

} // namespace platform
