#pragma once

#include "transfer/TransferRun.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

namespace app {
class Guard;
}
namespace platform {
class Connection;
}

namespace transfer {

class StatementSink;
struct DestinationSession;

// The views of a complete copy, made once the tables are in: each as a view when what it reads is
// there (a view that names another waits for it), as a table of its rows otherwise.
class ViewsAfterTables {
public:
    struct Run {
        app::Guard &g;
        const TransferUi &ui;
        sides::TableList &destinationList;
        platform::Connection &source;
        platform::Connection &destination;
        StatementSink &sink; // on destination, for a view that arrives as a table
        const DestinationSession &session;
        std::function<void(const std::string &statement)> send; // logs and runs one statement
        std::function<void(const QString &name, int number, const char *reason)> notCopied;
        QStringList &copied;
        QStringList &failed;
    };

    explicit ViewsAfterTables(Run run) : run_(std::move(run)) {}

    // existing: the destination's entry it replaces; empty when none.
    void add(const QString &name, const QString &existing) { views_.push_back({name, existing}); }
    // False when the destination was lost on the way.
    bool make();

private:
    struct Pending {
        QString name;
        QString existing;
    };
    void makeView(const Pending &view, const std::string &database);
    void copyAsTable(const QString &name);

    Run run_;
    std::vector<Pending> views_;
};

} // namespace transfer
