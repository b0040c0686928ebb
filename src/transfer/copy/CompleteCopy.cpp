#include "transfer/copy/CompleteCopy.h"

#include "app/Guard.h"
#include "platform/ConnectionSecurity.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/Dialogs.h"
#include "platform/EventYield.h"
#include "platform/ProgramEnding.h"
#include "platform/SqlQuoting.h"
#include "sides/TableList.h"
#include "sides/TableStatements.h"
#include "transfer/copy/CopyReport.h"
#include "transfer/copy/BulkRows.h"
#include "transfer/copy/ChunkCheck.h"
#include "transfer/copy/DefinitionFit.h"
#include "transfer/copy/HistoryTarget.h"
#include "transfer/shared/LogPane.h"
#include "transfer/shared/Progress.h"
#include "transfer/copy/RowCopy.h"
#include "transfer/copy/SchemaCopy.h"
#include "transfer/shared/DefinitionCheck.h"
#include "transfer/shared/ServerText.h"
#include "transfer/shared/Sessions.h"
#include "transfer/shared/TableDefinition.h"
#include "transfer/copy/TablePlacement.h"
#include "transfer/copy/TableSetAside.h"
#include "transfer/copy/Triggers.h"
#include "transfer/copy/CompleteViews.h"

#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <optional>

#include <utility>

namespace transfer {

namespace {

// A part's end costs a far server two round trips in which the link carries nothing, and any
// server a commit and a check of its own (over 64 MB here, 16 MiB parts took 0.1 s less than 8,
// 32 no less); the last part, whose check nothing overlaps, is made small whatever the size.
constexpr size_t PartBytes = 16 << 20;
constexpr size_t FarPartBytes = BulkLoad::StatementBytes;

std::pair<std::string, std::string> digest(platform::Connection &c, const std::string &statement)
{
    platform::RecordSet r = c.execute(statement);
    std::pair<std::string, std::string> d{std::string(r.value(0).bytes), std::string(r.value(1).bytes)};
    r.close();
    return d;
}

class CompleteRunner {
public:
    CompleteRunner(const TransferEnds &ends, const TransferUi &ui, app::Guard &g)
        : ends_(ends), ui_(ui), g_(g), sink_(destination_, ui.log, ui.onSendFailure)
    {
    }

    void run()
    {
        if (!connect())
            return;
        walkSelectedTables(g_, ends_.source, [&](const QString &name) { return copyTable(name); });
        if (!lost_) {
            for (CopiedTable &view : views_.make())
                outcome_.tables.push_back(std::move(view));
            lost_ = views_.lost();
        }
        if (!lost_)
            addForeignKeys();
        if (worthABox(outcome_))
            ui_.dialogs.message(completeCopySummary(outcome_));
    }

    const QStringList &leftAlone() const { return leftAlone_; }
    CompleteCopyOutcome &outcome() { return outcome_; }

private:
    bool connect()
    {
        g_(step::Timeouts, [&] { destination_.setLocalLoads(true); }); // the bulk load's own rows, and nothing else
        return openRunSessions(g_, ui_.yield,
                               {{&source_, &rows_, ends_.sourceProfile}, {&destination_, &checker_, ends_.destinationProfile}})
               && g_.attempt(step::Login, [&] {
                      startSourceSession(checker_); // reads in UTC as the source session does
                      prepareSourceSession(source_);
                      // Table definitions in backquotes whatever the server's own mode.
                      source_.execute("SET SESSION sql_mode = REPLACE(@@SESSION.sql_mode, 'ANSI_QUOTES', '')");
                      prepareSourceSession(rows_);
                      rows_.execute("SET SESSION character_set_results = binary"); // values as stored
                      // Unique checks stay on: with both off, MariaDB 10.6 and later load an empty
                      // table in a bulk mode that keeps a second thread of the server busy for the
                      // whole part and loads no faster; and MySQL may take, unchecked, two values
                      // the destination's collation makes equal into one unique key.
                      session_ = prepareDestinationSession(destination_, source_,
                                                           "SESSION foreign_key_checks = 0");
                      sink_.setStatementLimit(session_.maxAllowedPacket);
                      // Each part ends in two round trips: on a far server, fewer and larger parts.
                      partBytes_ = session_.roundTripMs > platform::ConnectionSecurity::AutoCompressionMs ? FarPartBytes
                                                                                                      : PartBytes;
                      fit_.emplace(destination_);
                      placement_.emplace(destination_, [this](const std::string &statement) { send(statement); });
                      checker_.readResult().close();
                  });
    }

    // False when the run must end.
    bool copyTable(const QString &name)
    {
        if (session_.sameDatabase) {
            leftAlone_.prepend(name);
            return true;
        }
        const QString existing = listedTable(ends_.destination, name, session_.names);
        const bool overwrite = !existing.isEmpty();
        if (overwrite && !askOverwrite(name))
            return true;
        const std::string table = name.toStdString();
        SourceTable source;
        if (!g_.attempt(step::Definition, [&] { source = sourceTable(source_, table); }))
            return false;
        if (source.type == "VIEW") {
            views_.add(name, existing); // once the tables it may read are in
            return true;
        }

        std::string building; // set once this run has made it: only that is ever dropped
        try {
            copyWhole(table, existing.toStdString(), source, building);
            removeListTable(ends_.destination, existing, session_.names);
            showListTable(ends_.destination, name, session_.names);
            outcome_.tables.push_back({name, CopiedTable::Result::Copied, 0, {}});
            return true;
        } catch (const platform::ProgramEnding &) {
            // Closing the window: nothing is left to serve, and the half-built table goes within a
            // few seconds or stays, for the next listing to name.
            destination_.finishBy(std::chrono::steady_clock::now() + std::chrono::seconds(TableSetAside::WayOutSeconds));
            dropQuietly(building);
            throw;
        } catch (const platform::DbError &e) {
            lost_ = e.isConnectionLost();
            dropQuietly(building); // on whichever connection is still there
            settleSource();
            notCopied(name, e.number(), e.what());
            return !lost_;
        } catch (const std::exception &e) {
            dropQuietly(building);
            settleSource();
            notCopied(name, 0, e.what());
            return true;
        }
    }

    // One box for the whole run, at its end: each failure goes to the log pane as it happens and
    // into the summary with its reason.
    void notCopied(const QString &name, int number, const char *reason)
    {
        outcome_.tables.push_back({name, CopiedTable::Result::NotCopied, number, reason});
        ui_.log.appendEntry(notCopiedLine(outcome_.tables.back()));
    }

    // What the table had to lose to fit the destination: in the log now, in the box at the end.
    void adapted(const std::string &table, const std::string &change)
    {
        ui_.log.appendEntry(adaptationLine(table, change));
        outcome_.adapted.add(table, change);
    }

    bool askOverwrite(const QString &name)
    {
        const int answer = ui_.dialogs.message(QStringLiteral("Would you like to overwrite ") + name + u'?',
                                               platform::YesNo, QStringLiteral("Overwrite?"));
        return answer == platform::Yes;
    }

    void send(const std::string &statement)
    {
        ui_.log.appendEntry(statement);
        destination_.execute(statement);
    }

    void copyWhole(const std::string &table, const std::string &replaced, const SourceTable &source,
                   std::string &building)
    {
        const bool versioned = source.type == "SYSTEM VERSIONED";
        QElapsedTimer clock;
        clock.start();
        const TableDefinition definition = splitForeignKeys(showCreateTable(source_, table));
        checkOneStatement(source_, "a definition of " + table, definition.create, session_.noBackslashEscapes);
        checkTableDefinition(source_, table, definition.create, source_.serverName() == destination_.serverName());
        for (const std::string &foreignKey : definition.foreignKeys)
            checkForeignKey(source_, table, foreignKey);
        TriggerCopy triggers(source_, table);
        fit_->makeFitted(
            definition.create, [&](const std::string &create) { building = placement_->createBuilding(create, table); },
            [&](const std::string &change) { adapted(table, change); });

        std::vector<StoredColumn> columns = storedColumns(source_, table);
        // A system-versioned table's history goes too, with the times each row held, where the
        // destination lets it be written (MariaDB 10.11 on); elsewhere only its current rows.
        const bool history = versioned && !history_.currentEnd().empty();
        if (history)
            columns.insert(columns.end(),
                           {{"row_start", "timestamp", false, {}}, {"row_end", "timestamp", false, history_.currentEnd()}});
        else if (versioned)
            adapted(table, "the destination cannot be given its history: current rows only");
        // Where the table has a key to range over, each part is checked on both servers while the
        // next one loads; otherwise the whole table once it is in.
        const ChunkKey key = history ? ChunkKey{} : chunkKey(source_, source, columns);
        BulkParts parts;
        if (key.column >= 0) {
            check_.emplace(source_, checker_, table, building, columns, key.column);
            parts = {key.column, partBytes_, [this](std::string_view lastKey, bool last) { check_->loaded(lastKey, last); },
                     [this] { return check_->countIfCome(); }};
        }
        const long long expected = key.column >= 0 ? key.estimatedRows : countRows(source_, table);
        BulkLoad load({rows_, destination_, session_.noBackslashEscapes, session_.maxAllowedPacket,
                       partBytes_ == PartBytes ? BulkLoad::NearInsertBytes : 0},
                      {ui_.yield, ui_.progress, ui_.log}, table, building, columns, expected, history, std::move(parts));
        long long checkedParts = 0;
        if (check_) {
            load.run();
            check_->finish();
            checkedParts = check_->parts();
            check_.reset();
        } else {
            // The source's figures are worked out while the rows travel.
            source_.sendQuery(digestStatement(table, columns, history));
            sourceDigestPending_ = true;
            load.run();
            ui_.yield.yield();
            const auto there = pendingSourceDigest();
            const auto here = digest(destination_, digestStatement(building, columns, history));
            if (there != here)
                throw platform::DbError(0, "the copy does not match the source (" + here.first + " rows here, "
                                               + there.first + " there): it was not put in place");
        }

        // Triggers go on the copy before it moves into place, so they move with it.
        const auto sendOne = [this](const std::string &statement) { send(statement); };
        triggers.placeOn(destination_, building, replaced, session_.names, sendOne);
        try {
            placement_->swapIn(table, replaced, building);
        } catch (const platform::DbError &) {
            triggers.restore(sendOne);
            throw;
        }
        building.clear(); // it is the table now
        for (const std::string &foreignKey : definition.foreignKeys)
            foreignKeys_.push_back({table, foreignKeyName(foreignKey), addForeignKeyStatement(table, foreignKey)});

        ui_.log.appendEntry(copiedLine(table, {load.rows(), load.bytes(), static_cast<double>(clock.elapsed()) / 1000.0,
                                               checkedParts, load.usedInserts()}));
        if (const std::string made = triggers.madeLine(table); !made.empty())
            ui_.log.appendEntry(made);
    }

    std::pair<std::string, std::string> pendingSourceDigest()
    {
        sourceDigestPending_ = false;
        platform::RecordSet r = source_.readResult();
        std::pair<std::string, std::string> d{std::string(r.value(0).bytes), std::string(r.value(1).bytes)};
        r.close();
        return d;
    }

    // After a failed table the source's answer is still on its way; it must be read before anything else.
    void settleSource()
    {
        if (check_) {
            check_->settle();
            check_.reset();
        }
        if (!sourceDigestPending_)
            return;
        try {
            pendingSourceDigest();
        } catch (const platform::DbError &) {
            // The failure being reported already covers this table.
        }
    }

    void addForeignKeys()
    {
        for (const ForeignKey &key : foreignKeys_) {
            try {
                send(key.statement);
            } catch (const platform::DbError &e) {
                // The table is in; only this key is missing from it.
                ui_.log.appendEntry(keyNotAddedLine(e.number(), e.what()));
                outcome_.keysNotAdded.push_back({key.table, key.name, e.what()});
            }
        }
    }

    void dropQuietly(const std::string &table)
    {
        if (table.empty())
            return;
        try {
            std::string drop = "DROP TABLE IF EXISTS ";
            platform::appendBackquoted(drop, table);
            destination_.execute(drop);
        } catch (const std::exception &) {
            // The failure being reported already says the table was not copied; a half-built
            // table under the copy's own name is all that can be left.
        }
    }

    const TransferEnds &ends_;
    const TransferUi &ui_;
    app::Guard &g_;
    platform::Connection source_;
    platform::Connection rows_; // streams the rows, as stored bytes
    platform::Connection checker_; // the destination's second session: checks a part while the next loads
    std::optional<ChunkedCheck> check_;
    platform::Connection destination_;
    StatementSink sink_;
    DestinationSession session_;
    bool lost_ = false;
    bool sourceDigestPending_ = false;
    struct ForeignKey {
        std::string table;
        std::string name;
        std::string statement;
    };
    std::vector<ForeignKey> foreignKeys_;
    CompleteCopyOutcome outcome_;
    ViewsAfterTables views_{{g_, ui_, ends_.destination, source_, destination_, sink_, session_,
                             [this](const std::string &statement) { send(statement); }}};
    std::optional<DefinitionFit> fit_;
    std::optional<TablePlacement> placement_;
    HistoryTarget history_{destination_};
    size_t partBytes_ = PartBytes;
    QStringList leftAlone_;
};

} // namespace

CompleteCopyOutcome runCompleteTransfer(const TransferEnds &ends, const TransferUi &ui)
{
    CompleteCopyOutcome outcome;
    runSelectedTables(ends, ui, [&](app::Guard &g) {
        CompleteRunner runner(ends, ui, g);
        runner.run();
        outcome = std::move(runner.outcome());
        return runner.leftAlone();
    });
    return outcome;
}

} // namespace transfer
