#include "platform/DbConnection.h"

#include "platform/ConnectionParams.h"
#include "platform/DbError.h"

#include <mysql.h>

#include <charconv>

namespace platform {
namespace {

[[noreturn]] void throwFrom(MYSQL *m)
{
    throw DbError(static_cast<int>(mysql_errno(m)), mysql_error(m));
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

} // namespace

void Connection::Closer::operator()(st_mysql *m) const { mysql_close(m); }

Connection::Connection() = default;
Connection::~Connection() { release(); }

void Connection::release()
{
    // A call left halfway through cannot be finished: cut the link first, so closing is immediate.
    if (handle_ && wait_.abandoned())
        mariadb_cancel(handle_.get());
    handle_.reset();
}

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
    mysql_optionsv(m.get(), MYSQL_OPT_NONBLOCK, 0);
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
        throwFrom(raw);
    handle_ = std::move(m);
}

st_mysql *Connection::requireOpen() const
{
    if (!handle_)
        throw DbError(3704, "Operation is not allowed when the object is closed.");
    return handle_.get();
}

RecordSet Connection::execute(std::string_view sql)
{
    MYSQL *m = requireOpen();
    int failed = 0;
    wait_.run(
        m, [&] { return mysql_real_query_start(&failed, m, sql.data(), static_cast<unsigned long>(sql.size())); },
        [&](int events) { return mysql_real_query_cont(&failed, m, events); });
    if (failed != 0)
        throwFrom(m);
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

} // namespace platform
