#pragma once

#include "transfer/copy/CopiedTable.h"
#include "transfer/shared/TransferRun.h"

#include <QString>

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
    };

    explicit ViewsAfterTables(Run run) : run_(std::move(run)) {}

    // existing: the destination's entry it replaces; empty when none.
    void add(const QString &name, const QString &existing) { views_.push_back({name, existing}); }
    // Makes them, each failure in the log as it happens; what became of each view, in the order
    // they were done.
    std::vector<CopiedTable> make();
    // The destination was lost on the way: the views after it were not tried.
    bool lost() const { return lost_; }

private:
    struct Pending {
        QString name;
        QString existing;
    };
    void makeView(const Pending &view, const std::string &database);
    void copyAsTable(const QString &name);
    void notCopied(const QString &name, int number, const char *reason);

    Run run_;
    std::vector<Pending> views_;
    std::vector<CopiedTable> made_;
    bool lost_ = false;
};

} // namespace transfer
