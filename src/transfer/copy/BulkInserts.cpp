// The bulk load's way into a server that refuses LOAD DATA LOCAL: multi-row INSERTs.
#include "transfer/copy/BulkRows.h"
#include "transfer/copy/PendingInsert.h"

#include "platform/SqlQuoting.h"
#include "transfer/shared/LogPane.h"

#include <memory>

namespace transfer {

namespace {

// A session the INSERTs go to: the statement it has on its way, and its transaction, rolled back
// when the load fails (a transaction left open would hold the table the way out drops).
struct InsertSession {
    explicit InsertSession(platform::Connection &c) : connection(c), pending(c) {}
    ~InsertSession()
    {
        pending.drop();
        if (!inTransaction || !connection.readyForStatement())
            return;
        try {
            connection.execute("ROLLBACK");
        } catch (const std::exception &) {
            // The failure that ended the load is the one to report.
        }
    }
    InsertSession(const InsertSession &) = delete;
    InsertSession &operator=(const InsertSession &) = delete;

    platform::Connection &connection;
    PendingInsert pending;
    unsigned int errorValues = 0; // the ENUM error values of the statement on its way
    bool inTransaction = false;
};

} // namespace

void BulkLoad::insertInBatches()
{
    usedInserts_ = true;
    std::string columns;
    platform::appendBackquoted(columns, target_);
    columns += ' ';
    columns += namesList(columns_);
    columns += " VALUES ";
    const std::string plainHead = "INSERT INTO " + columns;
    const std::string ignoringHead = "INSERT IGNORE INTO " + columns;
    // Room for the command byte and one more row's worth of slack below the server's limit.
    const size_t limit = static_cast<size_t>(std::min<unsigned long long>(
        ends_.insertBytes > 0 ? std::min(ends_.insertBytes, partBytes_) : partBytes_, ends_.destinationMaxPacket));
    // A few rows chosen to go as INSERTs go in no transaction: its two statements would cost more
    // round trips than the rows.
    const bool transactions = limit < partBytes_ && !ends_.insertsFirst;
    // Statements of a megabyte for a near server may go to a second session in turn.
    bool mayShare = transactions && ends_.insertBytes > 0 && static_cast<bool>(ends_.helper);
    std::vector<std::unique_ptr<InsertSession>> sessions;
    sessions.push_back(std::make_unique<InsertSession>(ends_.destination));
    size_t turn = 0; // of the session the next statement goes to
    size_t inPart = 0;
    std::string statement;
    std::string row;
    std::string statementLastKey;
    // The ENUM error values of the row read ahead belong to the next statement.
    unsigned int rowErrorValues = 0;
    bool beforeSent = ends_.before.empty();
    // What the statement sent last ends, once every session's answer is in.
    bool pendingEndsPart = false;
    bool pendingLast = false;
    std::string pendingLastKey;
    const auto settle = [&](InsertSession &s) {
        if (!s.pending.sent())
            return;
        s.pending.answer();
        if (s.errorValues > 0) // a strict INSERT refuses what does not fit; IGNORE only warns
            checkWarnings(s.connection, s.connection.warningCount(), s.errorValues);
        if (s.pending.sent()) {
            platform::RecordSet following = s.pending.followingAnswer();
            ends_.afterAnswer(following);
            following.close();
        }
    };
    for (;;) {
        statement = plainHead;
        long long inStatement = 0;
        unsigned int errorValues = 0;
        for (;;) {
            if (row.empty()) {
                errorValues_ = 0;
                if (!nextRow(row, true))
                    break;
                rowErrorValues = errorValues_;
            }
            if (inStatement > 0 && statement.size() + row.size() + 2 >= limit)
                break; // this row starts the next statement
            if (inStatement > 0)
                statement += ',';
            statement += row;
            if (parts_.keyColumn >= 0)
                statementLastKey = lastKey_; // the row read ahead is not in this statement
            errorValues += rowErrorValues;
            row.clear();
            ++inStatement;
        }
        if (pendingEndsPart) {
            // A part is checked only once every row of it is committed, on every session.
            for (const auto &s : sessions) {
                settle(*s);
                if (s->inTransaction) {
                    ui_.log.appendEntry("COMMIT");
                    s->connection.execute("COMMIT");
                    s->inTransaction = false;
                }
            }
            partLoaded(pendingLastKey, pendingLast);
            pendingEndsPart = false;
        }
        if (inStatement == 0)
            break;
        // A second statement ready while the first is on its way: the table is worth a second session.
        if (mayShare && sessions[0]->pending.sent()) {
            mayShare = false;
            if (platform::Connection *helper = ends_.helper())
                sessions.push_back(std::make_unique<InsertSession>(*helper));
        }
        InsertSession &s = *sessions[turn++ % sessions.size()];
        settle(s);
        const std::string &head = errorValues > 0 ? ignoringHead : plainHead;
        if (errorValues > 0)
            statement.replace(0, plainHead.size(), ignoringHead);
        if (transactions && !s.inTransaction) {
            ui_.log.appendEntry("START TRANSACTION");
            s.connection.execute("START TRANSACTION");
            s.inTransaction = true;
        }
        ui_.log.appendEntry(head + "… (" + std::to_string(inStatement) + " rows)");
        const bool last = row.empty() && record_.eof();
        const bool followed = last && ends_.insertsFirst && !ends_.after.empty();
        if (followed)
            statement += ";\n" + ends_.after;
        if (!beforeSent) {
            s.pending.send(ends_.before + ";\n" + statement, 2, followed);
            beforeSent = true;
        } else {
            s.pending.send(statement, 1, followed);
        }
        s.errorValues = errorValues;
        inPart += statement.size();
        pendingLast = last;
        pendingEndsPart = !transactions || inPart >= partBytes_ || pendingLast;
        pendingLastKey = statementLastKey;
        if (pendingEndsPart)
            inPart = 0;
    }
    if (!beforeSent) // no rows came: the statement goes alone
        ends_.destination.execute(ends_.before);
}

} // namespace transfer
