#include "platform/DbConnection.h"

#include "platform/ConnectionParams.h"
#include "platform/DbError.h"
#include "platform/LoginTrust.h"

#include <errmsg.h>
#include <mysql.h>

#include <fcntl.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <exception>
#include <map>
#include <mutex>
#include <optional>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace platform {
namespace {

// A failure caught here was thrown on the client library's own stack (the file handler runs
// inside a non-blocking call), where AddressSanitizer cannot unwind what it marked for the frames
// the throw left; those frames lie below this one and are dead, so their marks go with them.
void forgetUnwoundFrames()
{
#if defined(__SANITIZE_ADDRESS__)
    constexpr size_t Below = 64 << 10; // far deeper than the rows' reading goes
    char here = 0;
    __asan_unpoison_memory_region(&here - Below, Below);
#endif
}

unsigned int parsePort(const std::string &text)
{
    if (text.empty())
        return 0; // the client library's default port
    unsigned int port = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (ec != std::errc() || end != text.data() + text.size() || port > 65535)
        throw DbError(2005, "Invalid port number: " + text);
    return port;
}

// The file handler of every connection. The library asks it only when a server requests a local
// file; it hands over bytes only for the statement loadLocal is running, and only under the name
// that statement gave. Anything else is refused: the library then sends the server an empty file.
int gateInit(void **state, const char *fileName, void *gateData)
{
    *state = gateData;
    auto *gate = static_cast<detail::LocalGate *>(gateData);
    if (gate->data && fileName && gate->fileName == fileName)
        return 0;
    gate->refused = true;
    gate->message = "The server " + gate->server + " asked this computer for the file '"
                    + std::string(fileName ? fileName : "") + "'. Tabulink sends no file a server asks for.";
    return 1;
}

int gateRead(void *state, char *buffer, unsigned int size)
{
    auto *gate = static_cast<detail::LocalGate *>(state);
    try {
        return static_cast<int>((*gate->data)(buffer, size));
    } catch (const std::exception &e) {
        gate->failure = std::current_exception();
        gate->message = e.what();
    } catch (...) {
        gate->failure = std::current_exception();
        gate->message = "The rows could not be read.";
    }
    forgetUnwoundFrames();
    return -1; // the library ends the load with gateError's text
}

void gateEnd(void *) {}

int gateError(void *state, char *buffer, unsigned int size)
{
    auto *gate = static_cast<detail::LocalGate *>(state);
    std::snprintf(buffer, size, "%s", gate->message.c_str());
    return CR_UNKNOWN_ERROR;
}

void setText(MYSQL *m, mysql_option option, const std::string &value)
{
    if (!value.empty())
        mysql_optionsv(m, option, value.c_str());
}

void applySecurity(MYSQL *m, const ConnectionSecurity &security, const std::string &server)
{
    // Without a CA file the library would take any certificate: that is not what the user chose.
    if (security.verifies() && security.caFile.empty())
        throw DbError(CR_SSL_CONNECTION_ERROR, "The login to " + server + " is to verify the server's certificate, "
                                                   "but no CA file is given in Connection Security.");
    // TLS whenever the server offers it; the certificate checks only as asked.
    my_bool yes = 1;
    mysql_optionsv(m, MYSQL_OPT_SSL_ENFORCE, &yes);
    if (security.verifies())
        setText(m, MYSQL_OPT_SSL_CA, security.caFile);
    if (security.mode == ConnectionSecurity::Mode::VerifyIdentity && security.identityName.empty())
        mysql_optionsv(m, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &yes);
    setText(m, MYSQL_OPT_SSL_CERT, security.certFile);
    setText(m, MYSQL_OPT_SSL_KEY, security.keyFile);
    const std::string plugins = allowedAuthPlugins(security);
    mysql_optionsv(m, MARIADB_OPT_RESTRICTED_AUTH, plugins.c_str());
}

// A failed login, said so that the user knows what to change.
DbError loginError(MYSQL *m, const ConnectionSecurity &security, const std::string &server)
{
    const int number = static_cast<int>(mysql_errno(m));
    const std::string text = mysql_error(m);
    if (number == CR_SSL_CONNECTION_ERROR) {
        if (text.find("does not support") != std::string::npos)
            return DbError(number, "The server " + server
                                       + " offers no TLS, and this login's connection security requires it.");
        return DbError(number, "The certificate of the server " + server + " could not be verified"
                                   + (security.caFile.empty() ? std::string() : " with the CA file " + security.caFile)
                                   + ": " + text);
    }
    if (number == CR_PLUGIN_NOT_ALLOWED)
        return DbError(number, "The server " + server + " asked for a way of logging in that could give the password "
                                   "away on this connection (" + text + "). In Connection Security, Require allows "
                                   "caching_sha2_password and sha256_password; Verify CA or Verify identity also "
                                   "allows the clear-text password of PAM and LDAP logins.");
    return DbError(number, text);
}

// A login the guarded steps stopped before anything secret went. Thrown here: a certificate's
// refusal carries more than a DbError.
[[noreturn]] void throwRefusal(const LoginTrust &trust, const std::string &server)
{
    using Refusal = LoginTrust::Refusal;
    const std::string nothingSent = " Nothing secret was sent.";
    switch (trust.refusal) {
    case Refusal::NoTls:
        if (!trust.remembered.empty() && !trust.tlsRequired)
            throw DbError(CR_SSL_CONNECTION_ERROR,
                           "The server " + server + " offers no TLS now, though an earlier login met it with the "
                           "certificate " + trust.remembered + ": someone between this computer and the server may "
                           "be hiding it." + nothingSent);
        throw DbError(CR_SSL_CONNECTION_ERROR, "The server " + server
                                                    + " offers no TLS, and this login's connection security requires it.");
    case Refusal::ChangedCertificate:
        throw CertificateRefusal(
            CertificateRefusal::Kind::Changed, server, trust.certificate, trust.remembered,
            "The certificate of the server " + server + " is not the one remembered from an earlier login.\r\n\r\n"
            "Remembered: " + trust.remembered + "\r\nOffered now: " + trust.certificate + "\r\n\r\n"
            "Someone between this computer and the server may be posing as it." + nothingSent
            + " If the server's certificate was renewed, right-click the Server box, choose Connection Security…, "
              "press Forget and log in again.");
    case Refusal::UntrustedCertificate:
        throw CertificateRefusal(CertificateRefusal::Kind::Untrusted, server, trust.certificate, {},
                                  "The server " + server + " asks for the password itself, and its certificate "
                                  + trust.certificate + " is neither remembered nor verified." + nothingSent);
    case Refusal::PasswordWithoutTls:
        throw DbError(CR_PLUGIN_NOT_ALLOWED,
                       "The server " + server + " asked for the password itself on a connection without TLS."
                       + nothingSent + " Log in over TLS, or give the server's public key file in Connection Security.");
    case Refusal::WrongName:
        throw DbError(CR_SSL_CONNECTION_ERROR, "The certificate of the server " + server + " is not made out to "
                                                    + trust.identity + "." + nothingSent);
    case Refusal::NoPublicKey:
        throw DbError(CR_PLUGIN_NOT_ALLOWED, "The server " + server + " asked for the password, and the public key file "
                                                  + trust.publicKeyFile + " holds no RSA key to encrypt it with."
                                                  + nothingSent);
    case Refusal::None:
        break;
    }
    throw DbError(CR_UNKNOWN_ERROR, "The login to " + server + " was refused.");
}

// Round trips measured at login, by server, for the whole run of the program.
class RoundTrips {
public:
    static std::optional<double> of(const std::string &server)
    {
        std::lock_guard lock(mutex());
        const auto found = known().find(server);
        return found == known().end() ? std::nullopt : std::optional<double>(found->second);
    }
    static void measured(const std::string &server, double ms)
    {
        std::lock_guard lock(mutex());
        known()[server] = ms;
    }

private:
    static std::mutex &mutex()
    {
        static std::mutex m;
        return m;
    }
    static std::map<std::string, double> &known()
    {
        static std::map<std::string, double> k;
        return k;
    }
};

} // namespace

// One login under way: the handle with every option set, then the library's non-blocking steps,
// then the checks a session must pass before it is the connection's.
class Connection::Login {
public:
    Login(Connection &connection, std::string_view connectionString);
    Login(const Login &) = delete;
    Login &operator=(const Login &) = delete;
    // A login given up halfway leaves a handle only fit to be cancelled and freed.
    ~Login()
    {
        const bool ended = call_ && call_->ranToEnd();
        call_.reset(); // its thread is done with the handle before anything else is
        if (m_ && !ended)
            mariadb_cancel(m_.get());
    }

    // The library's steps, on a thread of their own; the wait serves the windows until they end.
    void begin()
    {
        call_.emplace(
            m_.get(),
            [this] {
                const char *host = params_.host.empty() ? nullptr : params_.host.c_str();
                const char *database = params_.database.empty() ? nullptr : params_.database.c_str();
                return mysql_real_connect_start(&connected_, m_.get(), host, params_.user.c_str(),
                                                params_.password.c_str(), database, port_, nullptr, 0);
            },
            [this](int events) { return mysql_real_connect_cont(&connected_, m_.get(), events); });
    }
    const AsideCall &call() const { return *call_; }
    const LoginTrust &trust() const { return trust_; }
    // Throws DbError when the login failed or does not give what the connection security asks.
    void finish();

private:
    Connection &connection_;
    ConnectionParams params_;
    unsigned int port_ = 0;
    std::unique_ptr<st_mysql, Closer> m_;
    bool measure_ = false;
    MYSQL *connected_ = nullptr;
    LoginTrust trust_; // read by the login's steps on the library's side: lives as long as the handle
    std::optional<AsideCall> call_; // after the handle: stopped before it is freed
};

Connection::Login::Login(Connection &connection, std::string_view connectionString)
    : connection_(connection), params_(parseConnectionString(connectionString)), port_(parsePort(params_.port)),
      m_(mysql_init(nullptr))
{
    if (connection.handle_)
        throw DbError(3705, "Operation is not allowed when the object is open.");
    if (!m_)
        throw DbError(2008, "MySQL client ran out of memory");
    MYSQL *m = m_.get();
    // The port in the connection string must count, so never fall back to a local socket.
    unsigned int protocol = MYSQL_PROTOCOL_TCP;
    mysql_optionsv(m, MYSQL_OPT_PROTOCOL, &protocol);
    mysql_optionsv(m, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    // The client takes packets up to the protocol's limit, so only the server's max_allowed_packet
    // decides how big a row can be read or sent.
    unsigned long maxPacket = MaxPacketBytes;
    mysql_optionsv(m, MYSQL_OPT_MAX_ALLOWED_PACKET, &maxPacket);
    // The infile handler serves the windows from inside a non-blocking call, on the library's own
    // stack: give that stack room for the window system's painting.
    size_t stackBytes = 8 << 20;
    mysql_optionsv(m, MYSQL_OPT_NONBLOCK, &stackBytes);
    unsigned int localInfile = connection.localLoads_ ? 1 : 0;
    mysql_optionsv(m, MYSQL_OPT_LOCAL_INFILE, &localInfile);
    connection.gate_ = detail::LocalGate{};
    connection.gate_.server = params_.host + ':' + (params_.port.empty() ? std::string("3306") : params_.port);
    mysql_set_local_infile_handler(m, gateInit, gateRead, gateEnd, gateError, &connection.gate_);
    const ConnectionSecurity &security = connection.security_;
    applySecurity(m, security, connection.gate_.server);
    trust_.tlsRequired = security.requiresTls();
    trust_.libraryVerifies = security.verifies();
    if (security.mode == ConnectionSecurity::Mode::VerifyIdentity)
        trust_.identity = security.identityName;
    if (!security.verifies()) {
        trust_.remembered = security.rememberedCertificate;
        trust_.accepted = security.acceptedCertificate;
    }
    trust_.publicKeyFile = security.serverPublicKeyFile;
    guardLogin(m, trust_);
    using Compression = ConnectionSecurity::Compression;
    const std::optional<double> roundTrip = RoundTrips::of(connection.gate_.server);
    measure_ = security.compression == Compression::Auto && !roundTrip;
    if (security.compression == Compression::On
        || (security.compression == Compression::Auto && roundTrip && *roundTrip > ConnectionSecurity::AutoCompressionMs)) {
        my_bool yes = 1;
        mysql_optionsv(m, MYSQL_OPT_COMPRESS, &yes);
    }
    if (connection.connectionTimeout_ > 0) {
        unsigned int t = static_cast<unsigned int>(connection.connectionTimeout_);
        mysql_optionsv(m, MYSQL_OPT_CONNECT_TIMEOUT, &t);
    }
    if (connection.commandTimeout_ > 0) {
        unsigned int t = static_cast<unsigned int>(connection.commandTimeout_);
        mysql_optionsv(m, MYSQL_OPT_READ_TIMEOUT, &t);
        mysql_optionsv(m, MYSQL_OPT_WRITE_TIMEOUT, &t);
    }
}

void Connection::Login::finish()
{
    // Read first: what the login's thread wrote is then seen here.
    if (!call_ || !call_->ranToEnd())
        throw DbError(CR_CONNECTION_ERROR, "The login to " + connection_.gate_.server + " did not end.");
    if (!connected_) {
        if (trust_.refusal != LoginTrust::Refusal::None)
            throwRefusal(trust_, connection_.gate_.server);
        throw loginError(m_.get(), connection_.security_, connection_.gate_.server);
    }
    // The library falls back to a plain session when the server offers no TLS, whatever it was told.
    if (connection_.security_.requiresTls() && !mysql_get_ssl_cipher(m_.get()))
        throw DbError(CR_SSL_CONNECTION_ERROR, "The server " + connection_.gate_.server
                                                   + " offers no TLS, and this login's connection security requires it.");
    // Over TLS the library reads through OpenSSL, which blocks on a blocking socket even inside a
    // non-blocking call: the windows would freeze while the server takes its time. On a
    // non-blocking socket OpenSSL asks to wait instead, and the wait comes back here.
    if (mysql_get_ssl_cipher(m_.get())) {
        const int fd = static_cast<int>(mysql_get_socket(m_.get()));
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0)
            ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    }
    // The other login of a pair may have measured it meanwhile.
    if (measure_ && !RoundTrips::of(connection_.gate_.server)) {
        // Two round trips, the quicker counted (a busy moment here is not a far server): whether
        // the next logins to this server compress.
        double quickest = 0;
        for (int ping = 0; ping < 2; ++ping) {
            const auto before = std::chrono::steady_clock::now();
            int failed = 0;
            connection_.wait_.run(
                m_.get(), [&] { return mysql_ping_start(&failed, m_.get()); },
                [&](int events) { return mysql_ping_cont(&failed, m_.get(), events); });
            if (failed != 0)
                connection_.throwFrom(m_.get());
            const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before).count();
            quickest = ping == 0 ? ms : std::min(quickest, ms);
        }
        RoundTrips::measured(connection_.gate_.server, quickest);
    }
    connection_.certificate_ = trust_.certificate;
    connection_.handle_ = std::move(m_);
}

void Connection::open(std::string_view connectionString)
{
    Login login(*this, connectionString);
    login.begin();
    wait_.waitFor(login.call());
    login.finish();
}

void Connection::openTogether(Connection &first, Connection &second, std::string_view connectionString)
{
    Login one(first, connectionString);
    Login two(second, connectionString);
    one.begin();
    two.begin();
    // The first connection's yield and deadline serve both.
    first.wait_.waitFor(one.call());
    first.wait_.waitFor(two.call());
    one.finish();
    two.finish();
}

} // namespace platform
