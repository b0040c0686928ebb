#include "platform/DbConnection.h"

#include "platform/ConnectionParams.h"
#include "platform/DbError.h"

#include <errmsg.h>
#include <mysql.h>

#include <charconv>
#include <cstdio>
#include <exception>

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
    // The infile handler serves the windows from inside a non-blocking call, on the library's own
    // stack: give that stack room for the window system's painting.
    size_t stackBytes = 8 << 20;
    mysql_optionsv(m.get(), MYSQL_OPT_NONBLOCK, &stackBytes);
    unsigned int localInfile = 1; // only ever answered from memory, through loadLocal's handler
    mysql_optionsv(m.get(), MYSQL_OPT_LOCAL_INFILE, &localInfile);
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

void Connection::runQuery(MYSQL *m, std::string_view sql)
{
    int failed = 0;
    wait_.run(
        m, [&] { return mysql_real_query_start(&failed, m, sql.data(), static_cast<unsigned long>(sql.size())); },
        [&](int events) { return mysql_real_query_cont(&failed, m, events); });
    if (failed != 0)
        throwFrom(m);
}

namespace {

// The infile handler's state: the caller's data source and what it threw, kept for after the call.
struct LocalLoad {
    const Connection::LocalData *data;
    std::exception_ptr failure;
    std::string message;
};

int localInit(void **state, const char *, void *userdata)
{
    *state = userdata;
    return 0;
}

int localRead(void *state, char *buffer, unsigned int size)
{
    auto *load = static_cast<LocalLoad *>(state);
    try {
        return static_cast<int>((*load->data)(buffer, size));
    } catch (const std::exception &e) {
        load->failure = std::current_exception();
        load->message = e.what();
    } catch (...) {
        load->failure = std::current_exception();
        load->message = "The rows could not be read.";
    }
    return -1; // the library ends the load with local_infile_error's text
}

void localEnd(void *) {}

int localError(void *state, char *buffer, unsigned int size)
{
    auto *load = static_cast<LocalLoad *>(state);
    std::snprintf(buffer, size, "%s", load->message.c_str());
    return CR_UNKNOWN_ERROR;
}

} // namespace

unsigned int Connection::loadLocal(std::string_view statement, const LocalData &data)
{
    MYSQL *m = requireOpen();
    LocalLoad load{&data, nullptr, {}};
    mysql_set_local_infile_handler(m, localInit, localRead, localEnd, localError, &load);
    try {
        runQuery(m, statement);
    } catch (const DbError &) {
        mysql_set_local_infile_default(m);
        if (load.failure)
            std::rethrow_exception(load.failure);
        throw;
    }
    mysql_set_local_infile_default(m);
    if (load.failure)
        std::rethrow_exception(load.failure);
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

} // namespace platform
