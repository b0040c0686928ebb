#pragma once

#include <QString>

#include <functional>
#include <string_view>

namespace db {
class Connection;
}
namespace platform {
class Dialogs;
}

// The log pane of the table manager. Every entry is followed by CR LF.
class LogPane {
public:
    virtual ~LogPane() = default;
    virtual void appendEntry(std::string_view utf8) = 0;
    virtual QString text() const = 0;
    virtual void clear() = 0;
};

// Runs the statements of a copy and keeps a record of them, and of their errors, in the pane.
class DebugLog {
public:
    DebugLog(LogPane &pane, platform::Dialogs &dialogs, std::function<void()> enableSupportButton)
        : pane_(pane), dialogs_(dialogs), enableSupportButton_(std::move(enableSupportButton))
    {
    }

    // Logs the statement exactly as sent, then executes it. On failure shows and logs
    // "Run-time error: <number> <text>" and returns false.
    bool executeAndLog(db::Connection &connection, std::string_view statement);

    LogPane &pane() { return pane_; }

    static QString runtimeErrorText(int number, const QString &description);

private:
    LogPane &pane_;
    platform::Dialogs &dialogs_;
    std::function<void()> enableSupportButton_;
};
