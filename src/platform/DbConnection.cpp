#include "platform/DbConnection.h"

#include "platform/DbError.h"
#include "platform/LinkCut.h"

#include <errmsg.h>
#include <mysql.h>

#include <poll.h>

#include <exception>

namespace platform {

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
        cutLink(handle_.get());
    handle_.reset();
    answerOwed_ = false;
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
    if (state.encrypted)
        state.certificate = certificate_;
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

void Connection::setMultiStatements(bool on)
{
    MYSQL *m = requireOpen();
    int failed = 0;
    const auto option = on ? MYSQL_OPTION_MULTI_STATEMENTS_ON : MYSQL_OPTION_MULTI_STATEMENTS_OFF;
    wait_.run(
        m, [&] { return mysql_set_server_option_start(&failed, m, option); },
        [&](int events) { return mysql_set_server_option_cont(&failed, m, events); });
    if (failed != 0)
        throwFrom(m);
}

void Connection::executeTogether(const std::vector<std::string> &statements)
{
    if (statements.empty())
        return;
    MYSQL *m = requireOpen();
    std::string together;
    for (const std::string &s : statements)
        together += (together.empty() ? "" : ";\n") + s;
    runQuery(m, together);
    for (;;) {
        result(m, RecordSet::Reading::Whole).close();
        if (!mysql_more_results(m))
            return;
        const int status = nextResult(m);
        if (status > 0)
            throwFrom(m);
        if (status < 0)
            return;
    }
}

size_t Connection::executeEach(const std::vector<std::string> &statements,
                               const std::function<void(size_t, RecordSet &)> &each)
{
    if (statements.empty())
        return 0;
    MYSQL *m = requireOpen();
    std::string together;
    for (const std::string &s : statements)
        together += (together.empty() ? "" : ";\n") + s;
    try {
        runQuery(m, together);
    } catch (const DbError &e) {
        if (e.isConnectionLost())
            throw;
        return 0;
    }
    size_t answered = 0;
    std::exception_ptr failure; // of each: the answers after it are read and dropped first
    for (;;) {
        {
            RecordSet answer = result(m, RecordSet::Reading::Whole);
            // An answer beyond those asked for is a server's own: it is read and dropped.
            if (answered < statements.size() && !failure) {
                try {
                    each(answered, answer);
                } catch (...) {
                    failure = std::current_exception();
                }
            }
            answer.close();
        }
        ++answered;
        if (!mysql_more_results(m)) {
            if (failure)
                std::rethrow_exception(failure);
            return answered;
        }
        const int status = nextResult(m);
        if (status > 0) {
            const DbError refused(static_cast<int>(mysql_errno(m)), mysql_error(m));
            if (refused.isConnectionLost())
                throw refused;
        }
        if (status != 0) {
            if (failure)
                std::rethrow_exception(failure);
            return answered;
        }
    }
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
    answerOwed_ = true;
}

bool Connection::answerArriving() const
{
    pollfd socket{static_cast<int>(mysql_get_socket(requireOpen())), POLLIN, 0};
    return ::poll(&socket, 1, 0) > 0;
}

RecordSet Connection::readResult()
{
    MYSQL *m = requireOpen();
    answerOwed_ = false; // read, or given up with the session
    my_bool failed = 0;
    wait_.run(
        m, [&] { return mysql_read_query_result_start(&failed, m); },
        [&](int events) { return mysql_read_query_result_cont(&failed, m, events); });
    if (failed != 0)
        throwFrom(m);
    return result(m, RecordSet::Reading::Whole);
}

RecordSet Connection::readNextResult()
{
    MYSQL *m = requireOpen();
    if (!mysql_more_results(m))
        throw DbError(CR_UNKNOWN_ERROR, "The server answered fewer statements than it was sent.");
    if (nextResult(m) > 0)
        throwFrom(m);
    return result(m, RecordSet::Reading::Whole);
}

int Connection::nextResult(MYSQL *m)
{
    int status = 0;
    wait_.run(
        m, [&] { return mysql_next_result_start(&status, m); },
        [&](int events) { return mysql_next_result_cont(&status, m, events); });
    return status;
}

void Connection::discardResult()
{
    try {
        readResult().close();
        // Every answer of a sent statement of several.
        while (mysql_more_results(requireOpen()))
            readNextResult().close();
    } catch (const DbError &) {
        // The failure the caller reports is the one told.
    }
}

RecordSet Connection::result(MYSQL *m, RecordSet::Reading reading)
{
    if (mysql_field_count(m) == 0)
        return {};
    MYSQL_RES *res = mysql_use_result(m); // reads nothing yet: the record set reads the rows
    if (!res)
        throwFrom(m);
    return RecordSet(m, res, reading, wait_, gate_.server);
}

RecordSet Connection::execute(std::string_view sql)
{
    MYSQL *m = requireOpen();
    runQuery(m, sql);
    return result(m, cursorLocation_ == ClientCursor ? RecordSet::Reading::Whole : RecordSet::Reading::Stream);
}

RecordSet Connection::executeRows(std::string_view sql)
{
    MYSQL *m = requireOpen();
    runQuery(m, sql);
    return result(m, RecordSet::Reading::Rows);
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
