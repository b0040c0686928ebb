#include "platform/DbConnection.h"

#include "platform/ConnectionParams.h"
#include "platform/DbError.h"

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

namespace platform {
namespace {

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

void applySecurity(MYSQL *m, const ConnectionSecurity &security)
{
    // TLS whenever the server offers it; the certificate checks only as asked.
    my_bool yes = 1;
    mysql_optionsv(m, MYSQL_OPT_SSL_ENFORCE, &yes);
    if (security.verifies())
        setText(m, MYSQL_OPT_SSL_CA, security.caFile);
    if (security.mode == ConnectionSecurity::Mode::VerifyIdentity)
        mysql_optionsv(m, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &yes);
    setText(m, MYSQL_OPT_SSL_CERT, security.certFile);
    setText(m, MYSQL_OPT_SSL_KEY, security.keyFile);
    setText(m, MYSQL_SERVER_PUBLIC_KEY, security.serverPublicKeyFile);
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

} // namespace

void Connection::Closer::operator()(st_mysql *m) const { mysql_close(m); }

void Connection::throwFrom(MYSQL *m) const
{
    const int number = static_cast<int>(mysql_errno(m));
    // A session that sends no files learns of a server's request only as the library's refusal.
    if (number == CR_UNKNOWN_ERROR && std::string_view(mysql_error(m)) == "Load data local infile forbidden")
        throw DbError(number, "The server " + gate_.server
                                  + " asked this computer for a file. Tabulink sends no file a server asks for.");
    throw DbError(number, mysql_error(m));
}

Connection::Connection() = default;
Connection::~Connection() { release(); }

void Connection::release()
{
    // A call left halfway through cannot be finished: cut the link first, so closing is immediate.
    if (handle_ && wait_.abandoned())
        mariadb_cancel(handle_.get());
    handle_.reset();
}

namespace {

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

void Connection::open(std::string_view connectionString)
{
    if (handle_)
        throw DbError(3705, "Operation is not allowed when the object is open.");
    const ConnectionParams params = parseConnectionString(connectionString);
    const unsigned int port = parsePort(params.port);

    std::unique_ptr<st_mysql, Closer> m(mysql_init(nullptr));
    if (!m)
        throw DbError(2008, "MySQL client ran out of memory");

    // The port in the connection string must count, so never fall back to a local socket.
    unsigned int protocol = MYSQL_PROTOCOL_TCP;
    mysql_optionsv(m.get(), MYSQL_OPT_PROTOCOL, &protocol);
    mysql_optionsv(m.get(), MYSQL_SET_CHARSET_NAME, "utf8mb4");
    // The client takes packets up to the protocol's limit, so only the server's max_allowed_packet
    // decides how big a row can be read or sent.
    unsigned long maxPacket = MaxPacketBytes;
    mysql_optionsv(m.get(), MYSQL_OPT_MAX_ALLOWED_PACKET, &maxPacket);
    // The infile handler serves the windows from inside a non-blocking call, on the library's own
    // stack: give that stack room for the window system's painting.
    size_t stackBytes = 8 << 20;
    mysql_optionsv(m.get(), MYSQL_OPT_NONBLOCK, &stackBytes);
    unsigned int localInfile = localLoads_ ? 1 : 0;
    mysql_optionsv(m.get(), MYSQL_OPT_LOCAL_INFILE, &localInfile);
    gate_ = detail::LocalGate{};
    gate_.server = params.host + ':' + (params.port.empty() ? std::string("3306") : params.port);
    mysql_set_local_infile_handler(m.get(), gateInit, gateRead, gateEnd, gateError, &gate_);
    applySecurity(m.get(), security_);
    using Compression = ConnectionSecurity::Compression;
    const std::optional<double> roundTrip = RoundTrips::of(gate_.server);
    const bool measure = security_.compression == Compression::Auto && !roundTrip;
    if (security_.compression == Compression::On
        || (security_.compression == Compression::Auto && roundTrip && *roundTrip > ConnectionSecurity::AutoCompressionMs)) {
        my_bool yes = 1;
        mysql_optionsv(m.get(), MYSQL_OPT_COMPRESS, &yes);
    }
    if (connectionTimeout_ > 0) {
        unsigned int t = static_cast<unsigned int>(connectionTimeout_);
        mysql_optionsv(m.get(), MYSQL_OPT_CONNECT_TIMEOUT, &t);
    }
    if (commandTimeout_ > 0) {
        unsigned int t = static_cast<unsigned int>(commandTimeout_);
        mysql_optionsv(m.get(), MYSQL_OPT_READ_TIMEOUT, &t);
        mysql_optionsv(m.get(), MYSQL_OPT_WRITE_TIMEOUT, &t);
    }

    const char *host = params.host.empty() ? nullptr : params.host.c_str();
    const char *database = params.database.empty() ? nullptr : params.database.c_str();
    MYSQL *connected = nullptr;
    MYSQL *raw = m.get();
    // A login given up halfway leaves a handle only fit to be cancelled and freed.
    struct Abandon {
        MYSQL *raw;
        const ServerWait &wait;
        ~Abandon()
        {
            if (wait.abandoned())
                mariadb_cancel(raw);
        }
    } abandon{raw, wait_};
    wait_.run(
        raw,
        [&] { return mysql_real_connect_start(&connected, raw, host, params.user.c_str(), params.password.c_str(),
                                              database, port, nullptr, 0); },
        [&](int events) { return mysql_real_connect_cont(&connected, raw, events); });
    if (!connected)
        throw loginError(raw, security_, gate_.server);
    // The library falls back to a plain session when the server offers no TLS, whatever it was told.
    if (security_.requiresTls() && !mysql_get_ssl_cipher(raw))
        throw DbError(CR_SSL_CONNECTION_ERROR, "The server " + gate_.server
                                                   + " offers no TLS, and this login's connection security requires it.");
    // Over TLS the library reads through OpenSSL, which blocks on a blocking socket even inside a
    // non-blocking call: the windows would freeze while the server takes its time. On a
    // non-blocking socket OpenSSL asks to wait instead, and the wait comes back here.
    if (mysql_get_ssl_cipher(raw)) {
        const int fd = static_cast<int>(mysql_get_socket(raw));
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0)
            ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    }
    if (measure) {
        // Two round trips, the quicker counted (a busy moment here is not a far server): whether
        // the next logins to this server compress.
        double quickest = 0;
        for (int ping = 0; ping < 2; ++ping) {
            const auto before = std::chrono::steady_clock::now();
            int failed = 0;
            wait_.run(
                raw, [&] { return mysql_ping_start(&failed, raw); },
                [&](int events) { return mysql_ping_cont(&failed, raw, events); });
            if (failed != 0)
                throwFrom(raw);
            const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before).count();
            quickest = ping == 0 ? ms : std::min(quickest, ms);
        }
        RoundTrips::measured(gate_.server, quickest);
    }
    handle_ = std::move(m);
}

TlsState Connection::tlsState() const
{
    MYSQL *m = requireOpen();
    TlsState state;
    state.encrypted = mysql_get_ssl_cipher(m) != nullptr;
    state.verified = state.encrypted && security_.verifies();
    const char *version = nullptr;
    if (state.encrypted && mariadb_get_infov(m, MARIADB_CONNECTION_TLS_VERSION, &version) == 0 && version)
        state.version = version;
    state.compressed = m->net.compress != 0;
    return state;
}

st_mysql *Connection::requireOpen() const
{
    if (!handle_)
        throw DbError(3704, "Operation is not allowed when the object is closed.");
    return handle_.get();
}

void Connection::runQuery(MYSQL *m, std::string_view sql)
{
    int failed = 0;
    gate_.refused = false;
    wait_.run(
        m, [&] { return mysql_real_query_start(&failed, m, sql.data(), static_cast<unsigned long>(sql.size())); },
        [&](int events) { return mysql_real_query_cont(&failed, m, events); });
    // Whatever the server answers after a refused file request, the statement did not do what
    // was asked of it: the refusal is the error.
    if (gate_.refused)
        throw DbError(CR_UNKNOWN_ERROR, gate_.message);
    if (failed != 0)
        throwFrom(m);
}

unsigned int Connection::loadLocal(std::string_view statement, std::string_view fileName, const LocalData &data)
{
    MYSQL *m = requireOpen();
    if (!localLoads_)
        throw DbError(CR_UNKNOWN_ERROR, "This connection sends no local files.");
    // The gate is open for this statement alone, however it ends.
    struct OpenGate {
        detail::LocalGate &gate;
        ~OpenGate()
        {
            gate.data = nullptr;
            gate.failure = nullptr;
        }
    } open{gate_};
    gate_.data = &data;
    gate_.fileName = fileName;
    try {
        runQuery(m, statement);
    } catch (const DbError &) {
        if (!gate_.failure)
            throw;
        std::rethrow_exception(gate_.failure); // what the rows' source threw, not the library's word for it
    }
    if (gate_.failure)
        std::rethrow_exception(gate_.failure);
    return mysql_warning_count(m);
}

void Connection::sendQuery(std::string_view sql)
{
    MYSQL *m = requireOpen();
    int failed = 0;
    wait_.run(
        m, [&] { return mysql_send_query_start(&failed, m, sql.data(), static_cast<unsigned long>(sql.size())); },
        [&](int events) { return mysql_send_query_cont(&failed, m, events); });
    if (failed != 0)
        throwFrom(m);
}

RecordSet Connection::readResult()
{
    MYSQL *m = requireOpen();
    my_bool failed = 0;
    wait_.run(
        m, [&] { return mysql_read_query_result_start(&failed, m); },
        [&](int events) { return mysql_read_query_result_cont(&failed, m, events); });
    if (failed != 0)
        throwFrom(m);
    return storedResult(m);
}

void Connection::discardResult()
{
    try {
        readResult().close();
    } catch (const DbError &) {
        // The failure the caller reports is the one told.
    }
}

RecordSet Connection::storedResult(MYSQL *m)
{
    if (mysql_field_count(m) == 0)
        return {};
    MYSQL_RES *res = nullptr;
    wait_.run(
        m, [&] { return mysql_store_result_start(&res, m); },
        [&](int events) { return mysql_store_result_cont(&res, m, events); });
    if (!res)
        throwFrom(m);
    return RecordSet(m, res, true, wait_);
}

RecordSet Connection::execute(std::string_view sql)
{
    MYSQL *m = requireOpen();
    runQuery(m, sql);
    if (mysql_field_count(m) == 0)
        return {};
    const bool buffered = cursorLocation_ == ClientCursor;
    MYSQL_RES *res = nullptr;
    if (buffered)
        wait_.run(
            m, [&] { return mysql_store_result_start(&res, m); },
            [&](int events) { return mysql_store_result_cont(&res, m, events); });
    else
        res = mysql_use_result(m); // reads nothing yet: the rows come with each fetch
    if (!res)
        throwFrom(m);
    return RecordSet(m, res, buffered, wait_);
}

void Connection::close()
{
    requireOpen();
    release();
}

bool Connection::noBackslashEscapes() const
{
    return (requireOpen()->server_status & SERVER_STATUS_NO_BACKSLASH_ESCAPES) != 0;
}

unsigned long Connection::threadId() const { return mysql_thread_id(requireOpen()); }

unsigned int Connection::warningCount() const { return mysql_warning_count(requireOpen()); }

} // namespace platform
