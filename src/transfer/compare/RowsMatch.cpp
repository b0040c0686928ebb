#include "transfer/compare/RowsMatch.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/ProgramEnding.h"
#include "platform/SqlQuoting.h"

#include <algorithm>
#include <map>
#include <optional>

namespace transfer {

namespace {

struct FoundRow {
    Cells values;
    std::optional<std::string> checksum; // the target's only
};

// The rows of keys on c, by their key values as the compare gave them: the key selected first, then
// what, then the selected columns. A key found twice is not a key.
std::map<Cells, FoundRow> rowsOf(platform::Connection &c, const MatchEnds &ends, const std::vector<const Cells *> &keys,
                                 bool withChecksum)
{
    std::map<Cells, FoundRow> found;
    if (keys.empty())
        return found;
    const size_t keyWidth = keys.front()->size();
    std::string q = "SELECT " + ends.statements.keySelect() + ", " + (withChecksum ? ends.targetChecksum + ", " : "")
                    + ends.selectColumns + " FROM ";
    platform::appendBackquoted(q, ends.table);
    q += " WHERE " + ends.statements.keysCondition(keys) + (withChecksum ? " FOR UPDATE" : "");
    platform::RecordSet r = c.execute(q);
    const auto cell = [&](int i) {
        return r.value(i).isNull ? std::optional<std::string>() : std::optional<std::string>(std::string(r.value(i).bytes));
    };
    while (!r.eof()) {
        Cells key;
        for (size_t i = 0; i < keyWidth; ++i)
            key.push_back(cell(static_cast<int>(i)));
        FoundRow row;
        int at = static_cast<int>(keyWidth);
        if (withChecksum)
            row.checksum = cell(at++);
        for (; at < r.fieldCount(); ++at)
            row.values.push_back(cell(at));
        if (!found.emplace(std::move(key), std::move(row)).second)
            throw platform::DbError(0, "the key of a row found more than one row on " + c.serverName());
        r.moveNext();
    }
    r.close();
    return found;
}

// A chunk's writes, in groups of at most so many bytes, each group one round trip.
class Writes {
public:
    explicit Writes(size_t groupBytes) : groupBytes_(groupBytes) {}
    void add(std::string statement)
    {
        if (groups_.empty() || (!groups_.back().empty() && bytes_ + statement.size() > groupBytes_)) {
            groups_.emplace_back();
            bytes_ = 0;
        }
        bytes_ += statement.size();
        groups_.back().push_back(std::move(statement));
    }
    // With the transaction's end in the last group: no round trip of its own.
    void sendEndingWith(const std::string &last, const MatchSend &send)
    {
        if (groups_.empty())
            groups_.emplace_back();
        groups_.back().push_back(last);
        for (const std::vector<std::string> &group : groups_)
            send(group);
    }

private:
    size_t groupBytes_;
    size_t bytes_ = 0;
    std::vector<std::vector<std::string>> groups_;
};

const FoundRow *lookUp(const std::map<Cells, FoundRow> &rows, const Cells &key)
{
    const auto it = rows.find(key);
    return it == rows.end() ? nullptr : &it->second;
}

// The row as the compare saw it on the target: there with that checksum, or not there at all.
bool unchangedSinceCompare(const DifferingRow &row, const FoundRow *now)
{
    if (row.kind == DifferingRow::Kind::OnlyHere)
        return !now;
    return now && now->checksum && *now->checksum == row.checksumThere;
}

bool inPass(DifferingRow::Kind kind, MatchPass pass)
{
    if (pass == MatchPass::Everything)
        return true;
    return (kind == DifferingRow::Kind::OnlyThere) == (pass == MatchPass::Removals);
}

void matchChunk(const MatchEnds &ends, const MatchChunks &chunks, const std::vector<const DifferingRow *> &chunk,
                Writes &writes, RowsMatched &chunkDone)
{
    std::vector<const Cells *> all;
    std::vector<const Cells *> fromSource;
    for (const DifferingRow *row : chunk) {
        all.push_back(&row->keyValues);
        if (row->kind != DifferingRow::Kind::OnlyThere)
            fromSource.push_back(&row->keyValues);
    }
    // The target's rows locked first, so none changes between their check and their change.
    const std::map<Cells, FoundRow> target = rowsOf(ends.target, ends, all, true);
    const std::map<Cells, FoundRow> source = rowsOf(ends.source, ends, fromSource, false);

    std::vector<const Cells *> removals;
    std::vector<const DifferingRow *> changes;
    std::vector<const Cells *> additions;
    for (const DifferingRow *row : chunk) {
        if (!unchangedSinceCompare(*row, lookUp(target, row->keyValues))) {
            chunkDone.leftAlone.push_back(row->key);
            continue;
        }
        if (row->kind == DifferingRow::Kind::OnlyThere) {
            removals.push_back(&row->keyValues);
            continue;
        }
        const FoundRow *there = lookUp(source, row->keyValues);
        if (!there)
            throw platform::DbError(0, "the source no longer has the row " + row->key);
        if (row->kind == DifferingRow::Kind::OnlyHere)
            additions.push_back(&there->values);
        else
            changes.push_back(row);
    }

    // Removals first: an addition may take a removed row's place in a unique key.
    if (!removals.empty()) {
        writes.add(ends.statements.remove(removals));
        chunkDone.removed += static_cast<long long>(removals.size());
    }
    // Each change its own UPDATE of its differing columns.
    for (const DifferingRow *row : changes) {
        const Cells &now = lookUp(source, row->keyValues)->values;
        const Cells &was = lookUp(target, row->keyValues)->values;
        // Only the columns whose bytes differ.
        std::vector<bool> changed(now.size(), true);
        if (was.size() == now.size())
            for (size_t c = 0; c < now.size(); ++c)
                changed[c] = now[c] != was[c];
        const std::string update = ends.statements.update(now, changed, row->keyValues);
        if (update.empty())
            continue;
        writes.add(update);
        ++chunkDone.changed;
    }
    std::vector<const Cells *> batch;
    size_t batchBytes = 0;
    const auto flush = [&] {
        if (batch.empty())
            return;
        writes.add(ends.statements.insert(batch));
        chunkDone.added += static_cast<long long>(batch.size());
        batch.clear();
        batchBytes = 0;
    };
    for (const Cells *row : additions) {
        size_t bytes = 0;
        for (const std::optional<std::string> &cell : *row)
            bytes += cell ? cell->size() * 2 + 8 : 4;
        if (!batch.empty() && batchBytes + bytes > chunks.statementBytes)
            flush();
        batch.push_back(row);
        batchBytes += bytes;
    }
    flush();
}

// Whatever stopped a chunk, none of it stays.
void rollBack(const MatchSend &send)
{
    try {
        send({"ROLLBACK"});
    } catch (const platform::DbError &) {
        // The failure being thrown is the one to tell.
    }
}

} // namespace

RowsMatched &RowsMatched::operator+=(const RowsMatched &other)
{
    added += other.added;
    changed += other.changed;
    removed += other.removed;
    leftAlone.insert(leftAlone.end(), other.leftAlone.begin(), other.leftAlone.end());
    return *this;
}

void matchRows(const MatchEnds &ends, const std::vector<DifferingRow> &rows, MatchPass pass,
               const MatchChunks &chunks, const MatchSend &send, RowsMatched &done)
{
    const size_t most = std::max<size_t>(chunks.rows, 1);
    size_t at = 0;
    while (at < rows.size()) {
        std::vector<const DifferingRow *> chunk;
        for (; at < rows.size() && chunk.size() < most; ++at)
            if (inPass(rows[at].kind, pass))
                chunk.push_back(&rows[at]);
        if (chunk.empty())
            break;
        RowsMatched chunkDone;
        send({"START TRANSACTION"});
        try {
            Writes writes(chunks.statementBytes);
            matchChunk(ends, chunks, chunk, writes, chunkDone);
            writes.sendEndingWith("COMMIT", send);
        } catch (const platform::ProgramEnding &) {
            throw;
        } catch (const platform::DbError &e) {
            if (!e.isConnectionLost()) // a lost session kept none of it
                rollBack(send);
            throw;
        } catch (const std::exception &) {
            rollBack(send);
            throw;
        }
        done += chunkDone;
    }
}

} // namespace transfer
