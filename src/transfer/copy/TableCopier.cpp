#include "transfer/copy/TableCopier.h"

#include "platform/ConnectionSecurity.h"
#include "platform/DbError.h"
#include "platform/EventYield.h"
#include "platform/ProgramEnding.h"
#include "platform/SqlQuoting.h"
#include "transfer/copy/BulkRows.h"
#include "transfer/copy/ChunkCheck.h"
#include "transfer/copy/CopyReport.h"
#include "transfer/copy/SchemaCopy.h"
#include "transfer/copy/TableSetAside.h"
#include "transfer/copy/Triggers.h"
#include "transfer/shared/DefinitionCheck.h"
#include "transfer/shared/ServerText.h"
#include "transfer/shared/TableDefinition.h"

#include <QElapsedTimer>

#include <algorithm>
#include <chrono>

namespace transfer {

namespace {

// A part's end costs a far server two round trips in which the link carries nothing, and any
// server a commit and a check of its own (over 64 MB here, 16 MiB parts took 0.1 s less than 8,
// 32 no less); the last part, whose check nothing overlaps, is made small whatever the size.
constexpr size_t PartBytes = 16 << 20;
constexpr size_t FarPartBytes = BulkLoad::StatementBytes;
// Up to this many rows (the source's estimate) a far table's rows go as INSERTs: the round trip
// LOAD DATA LOCAL adds outweighs its speed.
constexpr long long FarFewRows = 5000;

std::pair<std::string, std::string> digestOf(platform::Connection &c, const std::string &statement)
{
    platform::RecordSet r = c.execute(statement);
    std::pair<std::string, std::string> d{std::string(r.value(0).bytes), std::string(r.value(1).bytes)};
    r.close();
    return d;
}

} // namespace

// The table being copied: where its words go and how its waits are served.
struct TableCopier::Table {
    std::string name;
    std::string replaced;
    std::string building; // named once this copy asks for it: only that is ever dropped
    platform::EventYield &yield;
    ProgressIndicator &progress;
    LogPane &log;
    CopiedOnLane &outcome;

    void say(const std::string &line) { log.appendEntry(line); }
    void adapted(const std::string &change)
    {
        say(adaptationLine(name, change));
        outcome.adapted.emplace_back(name, change);
    }
};

TableCopier::TableCopier() = default;
TableCopier::~TableCopier() = default;

void TableCopier::prepareSessions(platform::EventYield &yield)
{
    destination_.setLocalLoads(true);
    for (platform::Connection *c : {&source_, &rows_, &destination_, &checker_})
        setCopyTimeouts(*c, yield);
}

void TableCopier::waitThrough(platform::EventYield &yield)
{
    for (platform::Connection *c : {&source_, &rows_, &destination_, &checker_, &helper_})
        c->setEventYield(&yield);
}

platform::Connection *TableCopier::insertHelper(platform::EventYield &yield)
{
    if (helper_.isOpen())
        return &helper_;
    if (helperRefused_ || !reopen_)
        return nullptr;
    try {
        setCopyTimeouts(helper_, yield);
        reopen_(helper_);
        std::string settings = "SET time_zone = '+00:00', SESSION foreign_key_checks = 0, SESSION sql_mode = ";
        platform::appendStringLiteral(settings, session_.sqlMode, helper_.noBackslashEscapes());
        helper_.execute(settings);
        // The statements are written for the lane's own session's way of reading a string.
        if (helper_.noBackslashEscapes() == session_.noBackslashEscapes)
            return &helper_;
    } catch (const platform::DbError &) {
        // More sessions than the server or the account allows: the lane's own does it all.
    }
    if (helper_.isOpen())
        helper_.close();
    helperRefused_ = true;
    return nullptr;
}

void TableCopier::setUp()
{
    startSourceSession(checker_); // reads in UTC as the source session does
    prepareSourceSession(source_);
    // Table definitions in backquotes whatever the server's own mode.
    source_.execute("SET SESSION sql_mode = REPLACE(@@SESSION.sql_mode, 'ANSI_QUOTES', '')");
    prepareSourceSession(rows_);
    rows_.execute("SET SESSION character_set_results = binary"); // values as stored
    // Unique checks stay on: with both off, MariaDB 10.6 and later load an empty table in a bulk
    // mode that keeps a second thread of the server busy for the whole part and loads no faster;
    // and MySQL may take, unchecked, two values the destination's collation makes equal into one
    // unique key.
    session_ = prepareDestinationSession(destination_, source_, "SESSION foreign_key_checks = 0");
    // Each part ends in two round trips: on a far server, fewer and larger parts.
    partBytes_ = session_.roundTripMs > platform::ConnectionSecurity::AutoCompressionMs ? FarPartBytes : PartBytes;
    // A far destination takes a small table's CREATE and rows in one round trip.
    multiStatements_ = partBytes_ == FarPartBytes;
    if (multiStatements_)
        destination_.setMultiStatements(true);
    fit_.emplace(destination_);
    placement_.emplace(destination_, [this](const std::string &statement) {
        table_->say(statement);
        destination_.execute(statement);
    });
    checker_.readResult().close();
}

void TableCopier::openAndSetUp(const sides::ConnectionProfile &source, const sides::ConnectionProfile &destination)
{
    openForCopy(source_, rows_, source);
    openForCopy(destination_, checker_, destination);
    setUp();
}

CopiedOnLane TableCopier::copy(const QString &name, const std::string &existing, platform::EventYield &yield,
                               ProgressIndicator &progress, LogPane &log)
{
    CopiedOnLane outcome;
    outcome.table.table = name;
    Table t{name.toStdString(), existing, {}, yield, progress, log, outcome};
    table_ = &t;
    struct Done {
        Table *&table;
        ~Done() { table = nullptr; }
    } done{table_};
    waitThrough(yield);
    SourceTable source;
    try {
        source = catalog_->table(source_, t.name);
    } catch (const platform::ProgramEnding &) {
        throw;
    } catch (...) {
        outcome.catalogFailure = std::current_exception();
        return outcome;
    }
    if (source.type == "VIEW") {
        outcome.view = true;
        return outcome;
    }
    try {
        copyWhole(t, source);
        outcome.table.result = CopiedTable::Result::Copied;
    } catch (const platform::ProgramEnding &) {
        // Closing the window: nothing is left to serve, and the half-built table goes within a
        // few seconds or stays, for the next listing to name.
        if (!t.building.empty())
            onTheWayOut(destination_, reopen_, [&](platform::Connection &session) {
                std::string drop = "DROP TABLE IF EXISTS ";
                platform::appendBackquoted(drop, t.building);
                session.execute(drop);
            });
        throw;
    } catch (const platform::DbError &e) {
        lost_ = e.isConnectionLost();
        outcome.lost = lost_;
        dropQuietly(t.building, yield); // on whichever connection is still there
        settleSource();
        outcome.table = {name, CopiedTable::Result::NotCopied, e.number(), e.what()};
        t.say(notCopiedLine(outcome.table));
    } catch (const std::exception &e) {
        dropQuietly(t.building, yield);
        settleSource();
        outcome.table = {name, CopiedTable::Result::NotCopied, 0, e.what()};
        t.say(notCopiedLine(outcome.table));
    }
    return outcome;
}

void TableCopier::copyWhole(Table &t, const SourceTable &source)
{
    const std::string &table = t.name;
    const bool versioned = source.type == "SYSTEM VERSIONED";
    QElapsedTimer clock;
    clock.start();
    const TableDefinition definition = splitForeignKeys(catalog_->definition(source_, table));
    checkOneStatement(source_, "a definition of " + table, definition.create, session_.noBackslashEscapes);
    checkTableDefinition(source_, table, definition.create, source_.serverName() == destination_.serverName());
    for (const std::string &foreignKey : definition.foreignKeys)
        checkForeignKey(source_, table, foreignKey);
    TriggerCopy triggers(source_, table, catalog_->triggers(source_, table));
    std::vector<StoredColumn> columns = catalog_->columns(source_, table);
    // A system-versioned table's history goes too, with the times each row held, where the
    // destination lets it be written (MariaDB 10.11 on); elsewhere only its current rows.
    const bool history = versioned && !history_.currentEnd().empty();
    if (history)
        columns.insert(columns.end(),
                       {{"row_start", "timestamp", false, {}}, {"row_end", "timestamp", false, history_.currentEnd()}});
    else if (versioned)
        t.adapted("the destination cannot be given its history: current rows only");
    // Where the table has a key to range over, each part is checked on both servers while the
    // next one loads; otherwise the whole table once it is in.
    // Only an InnoDB table's rows are read in key order at no cost: no other is asked its key.
    const ChunkKey key = history || source.engine != "InnoDB"
                             ? ChunkKey{}
                             : chunkKey(source, columns, catalog_->primaryKey(source_, table));
    const long long expected = key.column >= 0 ? key.estimatedRows : countRows(source_, table);
    const Load load{columns, key.column, expected, history,
                    multiStatements_ && expected >= 0 && expected <= FarFewRows};

    // A few rows for a far server go in the round trip of the table's CREATE. Should the server
    // refuse that CREATE, it is made again as a lone statement, fitted by the refusal.
    std::vector<std::string> told;
    const auto adapted = [&](const std::string &change) {
        if (std::find(told.begin(), told.end(), change) == told.end()) {
            told.push_back(change);
            t.adapted(change);
        }
    };
    std::string createWithRows;
    fit_->makeFitted(
        definition.create,
        [&](const std::string &create) {
            if (load.fewRows) {
                t.building = placement_->nameBuilding(create, table, createWithRows);
                t.say(createWithRows);
            } else
                placement_->createBuilding(create, table, t.building);
        },
        adapted);
    Loaded loaded;
    try {
        loaded = loadAndCheck(t, load, createWithRows);
    } catch (const platform::DbError &e) {
        if (createWithRows.empty() || e.isConnectionLost() || buildingMade(t.building))
            throw;
        settleSource();
        t.building.clear();
        fit_->makeFitted(
            definition.create, [&](const std::string &create) { placement_->createBuilding(create, table, t.building); },
            adapted, &e);
        loaded = loadAndCheck(t, load, {});
    }

    // Triggers go on the copy before it moves into place, so they move with it.
    const auto sendOne = [this](const std::string &statement) {
        table_->say(statement);
        destination_.execute(statement);
    };
    triggers.placeOn(destination_, t.building, t.replaced, session_.names, sendOne);
    try {
        placement_->swapIn(table, t.replaced, t.building);
    } catch (const platform::DbError &) {
        triggers.restore(sendOne);
        throw;
    }
    t.building.clear(); // it is the table now
    for (const std::string &foreignKey : definition.foreignKeys)
        t.outcome.foreignKeys.push_back({table, foreignKeyName(foreignKey), addForeignKeyStatement(table, foreignKey)});

    t.say(copiedLine(table, {loaded.rows, loaded.bytes, static_cast<double>(clock.elapsed()) / 1000.0,
                             loaded.checkedParts, loaded.usedInserts}));
    if (const std::string made = triggers.madeLine(table); !made.empty())
        t.say(made);
}

TableCopier::Loaded TableCopier::loadAndCheck(Table &t, const Load &l, const std::string &createWithRows)
{
    BulkParts parts;
    // A few rows for a far server are checked whole, the destination's figures asked in the
    // round trip of the last INSERT: nothing is left for a range's check to overlap.
    if (l.keyColumn >= 0 && !l.fewRows) {
        check_ = std::make_unique<ChunkedCheck>(source_, checker_, t.name, t.building, l.columns, l.keyColumn);
        parts = {l.keyColumn, partBytes_, [this](std::string_view lastKey, bool last) { check_->loaded(lastKey, last); },
                 [this] { return check_->countIfCome(); }};
    }
    const bool far = partBytes_ != PartBytes;
    std::optional<std::pair<std::string, std::string>> here;
    BulkLoad::Ends ends{rows_, destination_, session_.noBackslashEscapes, session_.maxAllowedPacket,
                        far ? 0 : BulkLoad::NearInsertBytes, l.fewRows, createWithRows};
    if (l.fewRows) {
        ends.after = digestStatement(t.building, l.columns, l.history);
        ends.afterAnswer = [&here](platform::RecordSet &r) {
            here.emplace(std::string(r.value(0).bytes), std::string(r.value(1).bytes));
        };
    }
    // A history's rows need the lane's own session's settings for them.
    if (!l.history)
        ends.helper = [this, &t] { return insertHelper(t.yield); };
    BulkLoad load(ends, {t.yield, t.progress, t.log}, t.name, t.building, l.columns, l.expected, l.history,
                  std::move(parts));
    // A helper that failed with the load may still hold the table being built: it goes with it.
    struct CloseHelperOnFailure {
        platform::Connection &helper;
        int failures = std::uncaught_exceptions();
        ~CloseHelperOnFailure()
        {
            if (std::uncaught_exceptions() > failures && helper.isOpen())
                helper.close();
        }
    } closeOnFailure{helper_};
    Loaded loaded;
    if (check_) {
        load.run();
        check_->finish();
        loaded.checkedParts = check_->parts();
        check_.reset();
    } else {
        // The source's figures are worked out while the rows travel.
        source_.sendQuery(digestStatement(t.name, l.columns, l.history));
        sourceDigestPending_ = true;
        load.run();
        t.yield.yield();
        const auto there = pendingSourceDigest();
        if (!here) // no row came, or the rows went another way
            here = digestOf(destination_, digestStatement(t.building, l.columns, l.history));
        if (there != *here)
            throw platform::DbError(0, "the copy does not match the source (" + here->first + " rows here, "
                                           + there.first + " there): it was not put in place");
    }
    loaded.rows = load.rows();
    loaded.bytes = load.bytes();
    loaded.usedInserts = load.usedInserts();
    return loaded;
}

bool TableCopier::buildingMade(const std::string &building)
{
    std::string q = "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = ";
    platform::appendStringLiteral(q, building, destination_.noBackslashEscapes());
    return singleValue(destination_, q) != "0";
}

std::pair<std::string, std::string> TableCopier::pendingSourceDigest()
{
    sourceDigestPending_ = false;
    platform::RecordSet r = source_.readResult();
    std::pair<std::string, std::string> d{std::string(r.value(0).bytes), std::string(r.value(1).bytes)};
    r.close();
    return d;
}

// After a failed table the source's answer is still on its way; it must be read before anything else.
void TableCopier::settleSource()
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

void TableCopier::dropQuietly(const std::string &table, platform::EventYield &yield)
{
    if (table.empty())
        return;
    std::string drop = "DROP TABLE IF EXISTS ";
    platform::appendBackquoted(drop, table);
    if (destination_.readyForStatement()) {
        try {
            destination_.execute(drop);
            return;
        } catch (const platform::DbError &e) {
            if (!e.isConnectionLost())
                return; // the failure being reported covers it
        }
    }
    if (!reopen_)
        return;
    try {
        // The lane's session is lost: another one drops the table.
        onAnotherSession(destination_, reopen_, &yield, {}, [&](platform::Connection &other) { other.execute(drop); });
    } catch (const std::exception &) {
        // The failure being reported already says the table was not copied; a half-built
        // table under the copy's own name is all that can be left.
    }
}

} // namespace transfer
