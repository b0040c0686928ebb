#pragma once

#include "platform/DbConnection.h"
#include "transfer/copy/CopiedTable.h"
#include "transfer/copy/DefinitionFit.h"
#include "transfer/copy/HistoryTarget.h"
#include "transfer/copy/TablePlacement.h"
#include "transfer/shared/Catalog.h"
#include "transfer/shared/RunCatalog.h"
#include "transfer/shared/Sessions.h"
#include "transfer/shared/TablePool.h"

#include <QString>

#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {
class EventYield;
}
namespace sides {
struct ConnectionProfile;
}

namespace transfer {

class ChunkedCheck;

// A foreign key of a copied table, added once every table of the run is in.
struct PendingForeignKey {
    std::string table;
    std::string name;
    std::string statement;
};

// What became of one selected table on a lane, for the run to do with in the tables' order.
struct CopiedOnLane {
    CopiedTable table;
    bool view = false; // made once the tables are in
    std::exception_ptr catalogFailure; // the source could not say what it is: the run ends there
    bool lost = false; // a session was lost with it
    std::vector<std::pair<std::string, std::string>> adapted; // table, change
    std::vector<PendingForeignKey> foreignKeys;
};

// One lane of a complete copy: its four sessions (source, the source's rows as stored bytes, the
// destination, the destination's checker) and a table copied whole through them: made under a
// name of its own, its rows loaded while each part is checked, triggers, then put in place.
class TableCopier {
public:
    TableCopier();
    ~TableCopier();
    TableCopier(const TableCopier &) = delete;
    TableCopier &operator=(const TableCopier &) = delete;

    // Every session gets a copy's time-outs, waiting through yield; the destination takes the
    // bulk load's own rows, and nothing else.
    void prepareSessions(platform::EventYield &yield);
    // The sessions' settings, once logged in. Throws platform::DbError.
    void setUp();
    // Logs in and sets up, as a further lane does on its own thread. Throws platform::DbError.
    void openAndSetUp(const sides::ConnectionProfile &source, const sides::ConnectionProfile &destination);
    void waitThrough(platform::EventYield &yield);

    // existing: the destination's table it replaces, empty when none.
    // Its log lines go to log as they are made.
    CopiedOnLane copy(const QString &name, const std::string &existing, platform::EventYield &yield,
                      ProgressIndicator &progress, LogPane &log);

    // Another session to the destination, for a way out on which this lane's own is lost.
    void reopenDestinationWith(std::function<void(platform::Connection &)> reopen) { reopen_ = std::move(reopen); }
    // The run's catalog of its source tables, asked at once; until then each table's asked alone.
    void useCatalog(const RunCatalog &catalog) { catalog_ = &catalog; }

    platform::Connection &source() { return source_; }
    platform::Connection &rows() { return rows_; }
    platform::Connection &destination() { return destination_; }
    platform::Connection &checker() { return checker_; }
    const DestinationSession &session() const { return session_; }
    bool lost() const { return lost_; }

private:
    struct Table;
    // How a table's rows are read and loaded.
    struct Load {
        std::vector<StoredColumn> columns;
        int keyColumn = -1; // the key the parts range over; -1: checked whole
        long long expected = 0;
        bool history = false;
        bool fewRows = false; // INSERTs, the first with the CREATE
    };
    struct Loaded {
        long long rows = 0;
        size_t bytes = 0;
        long long checkedParts = 0;
        bool usedInserts = false;
    };
    void copyWhole(Table &t, const SourceTable &source);
    // The rows loaded into the table being built and checked against the source; createWithRows,
    // when given, is sent with the first of them. Throws platform::DbError.
    Loaded loadAndCheck(Table &t, const Load &load, const std::string &createWithRows);
    bool buildingMade(const std::string &building);
    // A second session to the destination set up as the lane's own, for INSERTs two at a time;
    // opened once, null when the server will not have it.
    platform::Connection *insertHelper(platform::EventYield &yield);
    std::pair<std::string, std::string> pendingSourceDigest();
    void settleSource();
    void dropQuietly(const std::string &table, platform::EventYield &yield);

    platform::Connection source_;
    platform::Connection rows_;
    platform::Connection checker_;
    platform::Connection destination_;
    platform::Connection helper_;
    bool helperRefused_ = false;
    std::unique_ptr<ChunkedCheck> check_;
    DestinationSession session_;
    std::optional<DefinitionFit> fit_;
    std::optional<TablePlacement> placement_;
    HistoryTarget history_{destination_};
    size_t partBytes_ = 0;
    bool sourceDigestPending_ = false;
    bool multiStatements_ = false; // on the destination session: a far one
    bool lost_ = false;
    Table *table_ = nullptr; // the one being copied
    const RunCatalog *catalog_ = &RunCatalog::none();
    std::function<void(platform::Connection &)> reopen_;
};

} // namespace transfer
