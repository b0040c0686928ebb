#include "transfer/compare/RowsMatch.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/SqlQuoting.h"

#include <algorithm>
#include <optional>

namespace transfer {

namespace {

// The row of key on c, every selected column as stored; none when it is not there.
std::optional<Cells> rowOf(platform::Connection &c, const MatchEnds &ends, const std::string &what,
                           const std::string &condition, bool forUpdate)
{
    std::string q = "SELECT " + what + " FROM ";
    platform::appendBackquoted(q, ends.table);
    platform::RecordSet r = c.execute(q + " WHERE " + condition + (forUpdate ? " FOR UPDATE" : ""));
    std::optional<Cells> row;
    if (!r.eof()) {
        row.emplace();
        for (int i = 0; i < r.fieldCount(); ++i)
            row->push_back(r.value(i).isNull ? std::optional<std::string>() : std::string(r.value(i).bytes));
        r.moveNext();
        if (!r.eof())
            throw platform::DbError(0, "the key of a row found more than one row on " + c.serverName());
    }
    r.close();
    return row;
}

// The target's row now, locked for the change: its checksum as the compare computed it, then its
// values; none when it is not there.
std::optional<Cells> targetRow(const MatchEnds &ends, const std::string &condition)
{
    return rowOf(ends.target, ends, ends.targetChecksum + ", " + ends.selectColumns, condition, true);
}

// The row as the compare saw it on the target: there with that checksum, or not there at all.
bool unchangedSinceCompare(const DifferingRow &row, const std::optional<Cells> &now)
{
    if (row.kind == DifferingRow::Kind::OnlyHere)
        return !now;
    return now && !now->empty() && (*now)[0] && *(*now)[0] == row.checksumThere;
}

void matchChunk(const MatchEnds &ends, const std::vector<const DifferingRow *> &chunk,
                const std::function<void(const std::string &)> &send, RowsMatched &chunkDone)
{
    // Removals first: an addition may take a removed row's place in a unique key.
    for (const DifferingRow::Kind kind : {DifferingRow::Kind::OnlyThere, DifferingRow::Kind::Differs,
                                          DifferingRow::Kind::OnlyHere}) {
        for (const DifferingRow *row : chunk) {
            if (row->kind != kind)
                continue;
            const std::string condition = ends.statements.keyCondition(row->keyValues);
            const std::optional<Cells> target = targetRow(ends, condition);
            if (!unchangedSinceCompare(*row, target)) {
                chunkDone.leftAlone.push_back(row->key);
                continue;
            }
            if (kind == DifferingRow::Kind::OnlyThere) {
                send(ends.statements.remove(row->keyValues));
                ++chunkDone.removed;
                continue;
            }
            const std::optional<Cells> source = rowOf(ends.source, ends, ends.selectColumns, condition, false);
            if (!source)
                throw platform::DbError(0, "the source no longer has the row " + row->key);
            if (kind == DifferingRow::Kind::OnlyHere) {
                send(ends.statements.insert(*source));
                ++chunkDone.added;
                continue;
            }
            // Only the columns whose bytes differ; the target's values follow its checksum.
            std::vector<bool> changed(source->size(), true);
            if (target->size() == source->size() + 1)
                for (size_t c = 0; c < source->size(); ++c)
                    changed[c] = (*source)[c] != (*target)[c + 1];
            const std::string update = ends.statements.update(*source, changed, row->keyValues);
            if (!update.empty()) {
                send(update);
                ++chunkDone.changed;
            }
        }
    }
}

} // namespace

void matchRows(const MatchEnds &ends, const std::vector<DifferingRow> &rows, size_t chunkRows,
               const std::function<void(const std::string &statement)> &send, RowsMatched &done)
{
    done = {};
    chunkRows = std::max<size_t>(chunkRows, 1);
    for (size_t at = 0; at < rows.size(); at += chunkRows) {
        std::vector<const DifferingRow *> chunk;
        for (size_t i = at; i < std::min(rows.size(), at + chunkRows); ++i)
            chunk.push_back(&rows[i]);
        RowsMatched chunkDone;
        send("START TRANSACTION");
        try {
            matchChunk(ends, chunk, send, chunkDone);
            send("COMMIT");
        } catch (const platform::DbError &e) {
            if (!e.isConnectionLost()) {
                try {
                    send("ROLLBACK");
                } catch (const platform::DbError &) {
                    // The failure being thrown is the one to tell.
                }
            }
            throw;
        }
        done.added += chunkDone.added;
        done.changed += chunkDone.changed;
        done.removed += chunkDone.removed;
        done.leftAlone.insert(done.leftAlone.end(), chunkDone.leftAlone.begin(), chunkDone.leftAlone.end());
    }
}

} // namespace transfer
