#pragma once

#include "platform/ConnectionSecurity.h"
#include "platform/RecordSet.h"
#include "platform/ServerWait.h"

#include <exception>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct st_mysql;

namespace platform {

namespace detail {
// What a connection's file handler, installed for the handle's whole life, answers from.
struct LocalGate {
    const std::function<size_t(char *, size_t)> *data = nullptr; // only while loadLocal's statement runs
    std::string fileName;
    std::string server; // host:port, for messages
    std::exception_ptr failure;
    std::string message;
    bool refused = false; // a request was refused during the statement now running
};
} // namespace detail

// One connection to a MySQL or MariaDB server, opened from a connection string.
// Owns its MYSQL handle; closing (or destruction) ends the session. Every call waits for the server
// without blocking: with an event yield set, the windows are served meanwhile.
class Connection {
public:
    static constexpr int ClientCursor = 3;
    static constexpr int DefaultLoginTimeoutSeconds = 15;
    static constexpr unsigned long MaxPacketBytes = 1UL << 30; // the protocol's own limit, 1 GiB

    Connection();
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Settings take effect at the next open().
    void setCursorLocation(int location) { cursorLocation_ = location; }
    void setCommandTimeout(int seconds) { commandTimeout_ = seconds; }
    void setConnectionTimeout(int seconds) { connectionTimeout_ = seconds; }
    // Who keeps the windows alive while the server is waited for; none by default.
    void setEventYield(EventYield *yield) { wait_.setYield(yield); }
    // For the way out of a run cut short: from now on nothing is served, and a call still waiting
    // at the deadline is given up (DbError 2013), so the program ends in bounded time.
    void finishBy(std::chrono::steady_clock::time_point deadline)
    {
        wait_.setYield(nullptr);
        wait_.setDeadline(deadline);
    }
    // A call was given up halfway (the program is ending): the session can take no more statements.
    bool abandoned() const { return wait_.abandoned(); }
    // Open, no call given up and no sent statement's answer unread: a statement may be sent now.
    bool readyForStatement() const { return handle_ && !wait_.abandoned() && !answerOwed_; }
    // Off by default: the session then tells the server it sends no local files, and refuses any
    // server that asks all the same. On, only loadLocal's own statement is ever given bytes.
    void setLocalLoads(bool allowed) { localLoads_ = allowed; }
    // TLS and the logins allowed; Prefer with no files by default.
    void setSecurity(const ConnectionSecurity &security) { security_ = security; }

    void open(std::string_view connectionString);
    // Both logged in to one server at once, each as open() would: over a far link a login is several
    // round trips, and the two logins' overlap. The first's yield and deadline serve both.
    // Throws DbError (the first's, when both fail).
    static void openTogether(Connection &first, Connection &second, std::string_view connectionString);
    bool isOpen() const { return static_cast<bool>(handle_); }

    // Runs one statement; a statement with a result gives a record set positioned on its first row,
    // bounded (RecordSet::AnswerLimitBytes), read whole with a client-side cursor.
    RecordSet execute(std::string_view sql);
    // The same for a copy's rows: a stream of any size.
    RecordSet executeRows(std::string_view sql);

    // Statements that give no rows, sent in one round trip and run in order; the first one refused
    // is thrown and none after it runs. Needs setMultiStatements(true), for this session alone.
    void executeTogether(const std::vector<std::string> &statements);
    // Statements with results, sent in one round trip: each answer is handed to each, in order,
    // and read to its end. The first one refused ends it: returns how many were answered, the
    // refusal not thrown (a lost session is). Needs setMultiStatements(true).
    size_t executeEach(const std::vector<std::string> &statements,
                       const std::function<void(size_t index, RecordSet &answer)> &each);
    // Whether the server takes several statements in one question. Off as every session starts.
    void setMultiStatements(bool on);

    // A statement sent now whose result is read later (whole, bounded), so the server works on it
    // meanwhile. Only readResult() may follow on this connection.
    void sendQuery(std::string_view sql);
    RecordSet readResult();
    // The next answer of a sent statement of several (multi-statements on), once the one before
    // is read. Throws DbError, also when no other answer comes.
    RecordSet readNextResult();
    // The answer to a sent statement has begun to come in: readResult() will not wait for the
    // server to work it out. Never waits itself.
    bool answerArriving() const;
    // After another failure: the answer to a sent statement is read and dropped, its own error
    // with it, so the session can be used again (or closed) without mixing answers up.
    void discardResult();

    // Fills up to size bytes of the buffer and returns how many; 0 at the end. May throw: the load
    // then fails with that error, which never passes through the client library itself.
    using LocalData = std::function<size_t(char *buffer, size_t size)>;
    // Runs a LOAD DATA LOCAL INFILE statement naming fileName, whose bytes come from data instead
    // of a file; a request for any other name is refused. Needs setLocalLoads(true) before open.
    // Returns the statement's warning count. Throws DbError, or what data threw.
    unsigned int loadLocal(std::string_view statement, std::string_view fileName, const LocalData &data);
    void close();
    // Warnings of the last statement.
    unsigned int warningCount() const;

    // True when the session treats backslash as an ordinary character in string literals.
    bool noBackslashEscapes() const;
    // The server's thread id of this session.
    unsigned long threadId() const;
    // How this session is protected.
    TlsState tlsState() const;
    // host:port of the server, for messages.
    const std::string &serverName() const { return gate_.server; }

private:
    class Login;
    struct Closer {
        void operator()(st_mysql *m) const;
    };
    [[noreturn]] void throwFrom(st_mysql *m) const;
    st_mysql *requireOpen() const;
    void runQuery(st_mysql *m, std::string_view sql);
    RecordSet result(st_mysql *m, RecordSet::Reading reading);
    // Waits for the next answer of several: 0 one came, -1 none is left, above 0 refused.
    int nextResult(st_mysql *m);
    void release();

    ServerWait wait_;
    detail::LocalGate gate_; // declared before the handle, so it outlives it
    std::unique_ptr<st_mysql, Closer> handle_;
    bool localLoads_ = false;
    ConnectionSecurity security_;
    std::string certificate_; // what the login met
    bool answerOwed_ = false; // sendQuery's answer not yet read
    int cursorLocation_ = 2;
    int commandTimeout_ = 0;
    int connectionTimeout_ = DefaultLoginTimeoutSeconds;
};

} // namespace platform
