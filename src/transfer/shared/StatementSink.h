#pragma once

#include "platform/DbConnection.h"

#include <QString>

#include <functional>
#include <string_view>

namespace platform {
class Dialogs;
}

namespace transfer {

class LogPane;

// "Run-time error: <number> <text>"
QString runtimeErrorText(int number, const QString &description);

// Where the statements of one copy go, on the runner's destination connection. Logs each
// statement exactly as sent, then runs it. The first refused statement goes to the failure
// handler as its "Run-time error: " text, and from then on nothing more is sent or logged.
class StatementSink {
public:
    using FailureHandler = std::function<void(const QString &runtimeError)>;

    // destination is the runner's, and outlives the sink.
    StatementSink(platform::Connection &destination, LogPane &log, FailureHandler onFailure)
        : destination_(destination), log_(log), onFailure_(std::move(onFailure))
    {
    }

    platform::Connection &connection() { return destination_; }

    // True when the statement was sent and the server took it.
    bool send(std::string_view statement);
    bool sending() const { return sending_; }

    // As send, for an INSERT IGNORE that must raise exactly that many warnings (ENUM error values
    // that a strict session would refuse); any other warning is the statement's refusal.
    bool sendExpectingWarnings(std::string_view statement, unsigned int warnings);

    // Stops sending without sending anything, for a statement the server could not take.
    void refuse(const QString &runtimeError);
    // The same for a statement too big to send: its start and size are logged first, where the
    // statement would have stood.
    void refuseTooBig(std::string_view statement, const QString &runtimeError);

    // The server's max_allowed_packet: a statement must be smaller to arrive.
    void setStatementLimit(unsigned long long bytes) { statementLimit_ = bytes; }
    unsigned long long statementLimit() const { return statementLimit_; }

private:
    platform::Connection &destination_;
    unsigned long long statementLimit_ = platform::Connection::MaxPacketBytes;
    LogPane &log_;
    FailureHandler onFailure_;
    bool sending_ = true;
};

// The table manager's answer to a refused statement: support button enabled, the error shown
// in a box, then added to the log after the statement.
class RuntimeErrorReport {
public:
    RuntimeErrorReport(platform::Dialogs &dialogs, LogPane &log, std::function<void()> enableSupportButton)
        : dialogs_(dialogs), log_(log), enableSupportButton_(std::move(enableSupportButton))
    {
    }
    void operator()(const QString &runtimeError) const;

private:
    platform::Dialogs &dialogs_;
    LogPane &log_;
    std::function<void()> enableSupportButton_;
};

} // namespace transfer
