#pragma once

#include "transfer/copy/BulkRows.h"
#include "transfer/shared/Catalog.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class Connection;
}

namespace transfer {

// The key a table's rows can be loaded and checked by, part by part: its primary key when that is
// one whole-number column of an InnoDB table (read in key order at no cost, compared the same on
// every server whatever the collations). column -1 when there is none: the table is checked whole.
struct ChunkKey {
    int column = -1;
    long long estimatedRows = 0; // the server's estimate, until the count comes
};
ChunkKey chunkKey(const SourceTable &table, const std::vector<StoredColumn> &columns,
                  const std::vector<std::string> &primaryKey);

// Checks a bulk load part by part while the next part loads: once a part is in, the count and
// digest of its key range are asked of both servers, each on a connection of its own that is
// free meanwhile, and read when the next part is in. The ranges together cover every key, below
// the first part's and above the last's too, so a row that was missed or added anywhere shows.
class ChunkedCheck {
public:
    // Asks the source for the table's row count at once, taken when it has come, so the count
    // costs the load no time of its own.
    ChunkedCheck(platform::Connection &source, platform::Connection &destination, std::string_view sourceTable,
                 std::string_view copy, const std::vector<StoredColumn> &columns, int keyColumn);
    ChunkedCheck(const ChunkedCheck &) = delete;
    ChunkedCheck &operator=(const ChunkedCheck &) = delete;

    // The part up to lastKey (as the source sent it) is in. Throws platform::DbError when the part
    // before it differs, naming its keys. The last part's range takes in every key above it too.
    void loaded(std::string_view lastKey, bool last);
    // Every row is in: the rest of the keys, then the last answers. Throws platform::DbError.
    void finish();
    // The source's row count once it has come: taken while a part is sent, without waiting for it.
    std::optional<long long> countIfCome();
    // After a failure: answers still on their way are read, so both sessions can be used again.
    void settle();
    long long parts() const { return parts_; }

private:
    void ask(const std::string &where);
    // Every key above the end of the part before, with no upper end.
    void askRest(std::string range);
    void compare();
    void takeCount();

    platform::Connection &source_;
    platform::Connection &destination_;
    std::string sourceDigest_;
    std::string copyDigest_;
    std::string key_;
    std::string low_; // the last key of the part before; empty before the first
    std::string pendingRange_;
    bool pending_ = false;
    bool coveredToEnd_ = false; // the last range asked has no upper end
    bool countPending_ = false;
    std::optional<long long> sourceRows_;
    long long parts_ = 0;
};

} // namespace transfer
