#include "transfer/copy/ChunkCheck.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/SqlQuoting.h"
#include "transfer/shared/ServerText.h"

#include <algorithm>
#include <cctype>

namespace transfer {

namespace {

std::pair<std::string, std::string> twoValues(platform::RecordSet r)
{
    if (r.eof() || r.fieldCount() < 2)
        throw platform::DbError(0, "The server gave no figures for the check.");
    std::pair<std::string, std::string> d{std::string(r.value(0).bytes), std::string(r.value(1).bytes)};
    r.close();
    return d;
}

} // namespace

ChunkKey chunkKey(const SourceTable &table, const std::vector<StoredColumn> &columns,
                  const std::vector<std::string> &parts)
{
    if (table.engine != "InnoDB" || parts.size() != 1)
        return {};
    ChunkKey key;
    // Only for the bar: a figure that is not one counts as none.
    const std::string &estimate = table.estimatedRows;
    key.estimatedRows = wholeNumberText(estimate) && estimate[0] != '-' && estimate.size() < 19 ? std::stoll(estimate) : 0;
    for (size_t c = 0; c < columns.size(); ++c)
        if (columns[c].name == parts[0] && wholeNumberType(columns[c].dataType) && columns[c].currentEnd.empty())
            key.column = static_cast<int>(c);
    return key;
}

ChunkedCheck::ChunkedCheck(platform::Connection &source, platform::Connection &destination,
                           std::string_view sourceTable, std::string_view copy, const std::vector<StoredColumn> &columns,
                           int keyColumn)
    : source_(source), destination_(destination), sourceDigest_(digestStatement(sourceTable, columns)),
      copyDigest_(digestStatement(copy, columns))
{
    platform::appendBackquoted(key_, columns.at(static_cast<size_t>(keyColumn)).name);
    std::string count = "SELECT COUNT(*) FROM ";
    platform::appendBackquoted(count, sourceTable);
    source_.sendQuery(count);
    countPending_ = true;
}

std::optional<long long> ChunkedCheck::countIfCome()
{
    if (countPending_ && source_.answerArriving())
        takeCount();
    return sourceRows_;
}

void ChunkedCheck::takeCount()
{
    if (!countPending_)
        return;
    countPending_ = false;
    platform::RecordSet r = source_.readResult();
    const std::string rows = r.eof() ? std::string() : std::string(r.value(0).bytes);
    r.close();
    if (!wholeNumberText(rows) || rows[0] == '-' || rows.size() >= 19)
        throw platform::DbError(0, "The source gave no row count for the table.");
    sourceRows_ = std::stoll(rows);
}

void ChunkedCheck::loaded(std::string_view lastKey, bool last)
{
    if (!wholeNumberText(lastKey))
        throw platform::DbError(0, "The source sent a key that is not a whole number.");
    takeCount();
    compare();
    if (last) {
        // One question fewer at the end: on a far server the last check is all the copy waits for.
        askRest(low_.empty() ? "the whole table"
                             : "keys " + low_ + " (not included) to " + std::string(lastKey) + " and beyond");
    } else {
        std::string where = " WHERE " + key_ + " <= " + std::string(lastKey);
        if (!low_.empty())
            where += " AND " + key_ + " > " + low_;
        pendingRange_ = low_.empty() ? "keys up to " + std::string(lastKey)
                                     : "keys " + low_ + " (not included) to " + std::string(lastKey);
        ask(where);
    }
    low_ = lastKey;
}

void ChunkedCheck::finish()
{
    takeCount();
    compare();
    if (!coveredToEnd_) {
        askRest(low_.empty() ? "the whole table" : "keys above " + low_);
        compare();
    }
}

void ChunkedCheck::askRest(std::string range)
{
    pendingRange_ = std::move(range);
    ask(low_.empty() ? std::string() : " WHERE " + key_ + " > " + low_);
    coveredToEnd_ = true;
}

void ChunkedCheck::ask(const std::string &where)
{
    source_.sendQuery(sourceDigest_ + where);
    try {
        destination_.sendQuery(copyDigest_ + where);
    } catch (...) {
        source_.discardResult(); // on its way all the same
        throw;
    }
    pending_ = true;
    ++parts_;
}

void ChunkedCheck::compare()
{
    if (!pending_)
        return;
    pending_ = false;
    std::pair<std::string, std::string> there;
    try {
        there = twoValues(source_.readResult());
    } catch (...) {
        destination_.discardResult();
        throw;
    }
    const auto here = twoValues(destination_.readResult());
    if (here != there)
        throw platform::DbError(0, "the copy does not match the source in " + pendingRange_ + " (" + here.first
                                       + " rows here, " + there.first + " there): it was not put in place");
}

void ChunkedCheck::settle()
{
    if (countPending_) {
        countPending_ = false;
        source_.discardResult();
    }
    if (!pending_)
        return;
    pending_ = false;
    source_.discardResult();
    destination_.discardResult();
}

} // namespace transfer
