#pragma once

#include "transfer/compare/TableComparer.h"
#include "transfer/shared/Catalog.h"
#include "platform/DbConnection.h"

#include <memory>
#include <vector>

namespace app {
class Guard;
}
namespace platform {
class EventYield;
}

namespace transfer {

struct TransferEnds;
struct LaneLogins;

// The two sessions a comparison reads through: one to each side, both in a consistent snapshot,
// with each side's tables listed and how its server compares names. Compare and Make Match
// both stand on it.
class ComparePair {
public:
    // fromSide: the number of the side whose tables were selected.
    explicit ComparePair(int fromSide);

    // The run's login steps: both logged in, set up and reading in a snapshot. False, the failure
    // told, when one cannot.
    bool open(app::Guard &g, platform::EventYield &yield, const TransferEnds &ends);
    // Both sessions set up and reading in a snapshot. Throws platform::DbError.
    void setUp();

    // The same as a further lane of a run does it, on its own thread, asking nothing: the
    // tables as first listed. Throws platform::DbError.
    void openFurther(const LaneLogins &logins, platform::EventYield &yield, const ComparePair &first);
    // The catalog of the selected tables found on both sides, asked of each server at once, for
    // this pair and every further one. Throws platform::DbError.
    void askCatalog(const QStringList &selected);
    // The sessions' waits are served by yield from now on.
    void waitThrough(platform::EventYield &yield);

    // The selected table name against the other side's of that name: Missing there, NotCompared
    // (the server's number and text), or what compareTables found.
    TableComparison compare(const QString &name, size_t mostKeys = MostDifferingKeys);
    // A session was lost: the run cannot go on.
    bool lost() const { return lost_; }

    CompareSide &here() { return here_; }
    CompareSide &there() { return there_; }
    platform::Connection &hereServer() { return hereServer_; }
    platform::Connection &thereServer() { return thereServer_; }

private:
    platform::Connection hereServer_;
    platform::Connection thereServer_;
    CompareSide here_;
    CompareSide there_;
    std::vector<ListedTable> hereTables_;
    std::vector<ListedTable> thereTables_;
    std::shared_ptr<const RunCatalog> hereCatalog_;
    std::shared_ptr<const RunCatalog> thereCatalog_;
    bool lost_ = false;
};

} // namespace transfer
