#include "transfer/copy/BulkRows.h"

#include "platform/DbError.h"
#include "platform/EventYield.h"
#include "platform/SqlQuoting.h"
#include "transfer/shared/LogPane.h"
#include "transfer/shared/Progress.h"
#include "transfer/shared/ServerText.h"
#include "transfer/shared/SqlText.h"

#include <algorithm>
#include <cstring>

namespace transfer {

namespace {

constexpr int NotAllowed = 1148;         // LOAD DATA LOCAL switched off on the server
constexpr int LocalDisabledMySql = 3948; // the same, as MySQL 8 says it
constexpr int LocalDisabledMariaDb = 4166;

// (`a`, @v, …) SET … of a LOAD DATA: the values that need a word from the destination first.
std::string columnList(const std::vector<StoredColumn> &columns)
{
    std::string s = "(";
    std::string set;
    for (size_t i = 0; i < columns.size(); ++i) {
        const StoredColumn &c = columns[i];
        std::string value;
        if (!c.currentEnd.empty()) {
            s += "@tabulink_current_end";
            value = "IFNULL(@tabulink_current_end, '" + c.currentEnd + "')";
        } else if (sentAs(c) == SentAs::Json) {
            const std::string variable = "@tabulink_json" + std::to_string(i);
            s += variable;
            value = "CONVERT(" + variable + " USING utf8mb4)";
        } else {
            platform::appendBackquoted(s, c.name);
        }
        s += ',';
        if (!value.empty()) {
            set += set.empty() ? " SET " : ", ";
            platform::appendBackquoted(set, c.name);
            set += " = " + value;
        }
    }
    s.back() = ')';
    return s + set;
}

void appendLoadField(std::string &out, const platform::FieldValue &v)
{
    if (v.isNull) {
        out += "\\N";
        return;
    }
    size_t start = 0;
    const std::string_view b = v.bytes;
    for (size_t i = 0; i < b.size(); ++i) {
        const char c = b[i];
        const char *escape = c == '\\' ? "\\\\" : c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\0' ? "\\0" : nullptr;
        if (escape) {
            out.append(b.data() + start, i - start);
            out += escape;
            start = i + 1;
        }
    }
    out.append(b.data() + start, b.size() - start);
}

} // namespace

std::string loadDataStatement(std::string_view table, const std::vector<StoredColumn> &columns)
{
    // Hex literals read the same whatever the session's backslash mode.
    std::string s = "LOAD DATA LOCAL INFILE '" + std::string(RowsFileName) + "' INTO TABLE ";
    platform::appendBackquoted(s, table);
    s += " CHARACTER SET binary FIELDS TERMINATED BY X'09' ESCAPED BY X'5C' LINES TERMINATED BY X'0A' ";
    s += columnList(columns);
    return s;
}

namespace {

std::string orderedBy(std::string select, const std::vector<StoredColumn> &columns, int keyColumn)
{
    if (keyColumn < 0)
        return select;
    select += " ORDER BY ";
    platform::appendBackquoted(select, columns.at(static_cast<size_t>(keyColumn)).name);
    return select;
}

} // namespace

BulkLoad::BulkLoad(const Ends &ends, const Ui &ui, std::string_view sourceTable, std::string_view targetTable,
                   const std::vector<StoredColumn> &columns, long long expectedRows, bool allVersions, BulkParts parts)
    : ends_(ends), ui_(ui), target_(targetTable), columns_(columns), expected_(static_cast<double>(std::max(expectedRows, 1LL))),
      record_(ends.rows.executeRows(
          orderedBy(selectStoredStatement(sourceTable, columns, allVersions), columns, parts.keyColumn))),
      parts_(std::move(parts)), partBytes_(parts_.keyColumn >= 0 ? std::min(parts_.bytes, StatementBytes) : StatementBytes)
{
    for (size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].enumErrorValue)
            errorValueColumns_.push_back(static_cast<int>(c));
        sentAs_.push_back(sentAs(columns[c]));
    }
}

void BulkLoad::run()
{
    if (ends_.insertsFirst) {
        insertInBatches();
        usedInserts_ = false; // chosen, not forced by a refusal
        return;
    }
    if (!loadInBulk())
        insertInBatches();
}

void BulkLoad::countRowSent()
{
    ++rows_;
    if (rows_ % static_cast<long long>(YieldEveryRows) == 0 || record_.eof()) {
        ui_.progress.setRows(rows_, expected_);
        ui_.progress.setValue(std::min(100.0, static_cast<double>(rows_) / expected_ * 100.0));
    }
}

bool BulkLoad::nextRow(std::string &out, bool asInsertValues)
{
    if (record_.eof())
        return false;
    // The clock is looked at every few rows: a row takes a microsecond here.
    if (rows_ % static_cast<long long>(YieldEveryRows) == 0) {
        ui_.yield.yield();
        if (!asInsertValues)
            makeLastPartSmall();
    }
    const size_t before = out.size();
    for (const int c : errorValueColumns_) {
        const platform::FieldValue v = record_.value(c);
        errorValues_ += !v.isNull && v.bytes.empty();
    }
    if (parts_.keyColumn >= 0)
        lastKey_.assign(record_.value(parts_.keyColumn).bytes);
    if (asInsertValues)
        out += '(';
    for (int c = 0; c < record_.fieldCount(); ++c) {
        const platform::FieldValue v = record_.value(c);
        if (asInsertValues) {
            if (c > 0)
                out += ',';
            appendSentValue(out, sentAs_[static_cast<size_t>(c)], columns_[static_cast<size_t>(c)], v.isNull, v.bytes,
                            ends_.destinationNoBackslashEscapes);
        } else {
            if (c > 0)
                out += '\t';
            appendLoadField(out, v);
        }
    }
    out += asInsertValues ? ")" : "\n";
    bytes_ += out.size() - before;
    record_.moveNext();
    countRowSent();
    return true;
}

size_t BulkLoad::produce(char *buffer, size_t size)
{
    size_t n = 0;
    while (n < size) {
        if (pendingAt_ < pending_.size()) {
            const size_t take = std::min(size - n, pending_.size() - pendingAt_);
            std::memcpy(buffer + n, pending_.data() + pendingAt_, take);
            pendingAt_ += take;
            n += take;
            continue;
        }
        pending_.clear();
        pendingAt_ = 0;
        // A statement ends between two rows once it has its 64 MiB (or its part).
        if (statementBytes_ >= statementLimit_ || !nextRow(pending_, false))
            break;
        statementBytes_ += pending_.size();
    }
    return n;
}

bool BulkLoad::loadInBulk()
{
    const std::string statement = loadDataStatement(target_, columns_);
    do {
        statementBytes_ = 0;
        statementLimit_ = partBytes_;
        errorValues_ = 0;
        ui_.log.appendEntry(statement);
        unsigned int warnings = 0;
        try {
            warnings = ends_.destination.loadLocal(statement, RowsFileName,
                                                   [this](char *b, size_t s) { return produce(b, s); });
        } catch (const platform::DbError &e) {
            const bool refused = e.number() == NotAllowed || e.number() == LocalDisabledMySql
                                 || e.number() == LocalDisabledMariaDb;
            if (refused && rows_ == 0 && pending_.empty())
                return false;
            throw;
        }
        checkWarnings(ends_.destination, warnings, errorValues_);
        if (statementBytes_ > 0)
            partLoaded(lastKey_, record_.eof());
    } while (!record_.eof());
    return true;
}

void BulkLoad::makeLastPartSmall()
{
    if (parts_.keyColumn < 0 || lastMadeSmall_ || rows_ == 0)
        return;
    if (!counted_ && parts_.lookForCount && bytes_ >= lookForCountAt_) {
        lookForCountAt_ = bytes_ + (1 << 20); // a look costs a system call
        lookForCount();
    }
    if (!counted_)
        return;
    const double lastPart = static_cast<double>(partBytes_) / 8;
    // The rows still to come, at the size of those sent so far.
    const double left = (expected_ - static_cast<double>(rows_)) * static_cast<double>(bytes_) / static_cast<double>(rows_);
    if (left > lastPart)
        return;
    lastMadeSmall_ = true;
    // Unless the part being sent is no bigger than that itself.
    if (static_cast<double>(statementBytes_) >= lastPart)
        statementLimit_ = statementBytes_; // at the end of the row being read
}

void BulkLoad::partLoaded(const std::string &lastKey, bool last)
{
    if (parts_.loaded)
        parts_.loaded(lastKey, last);
    lookForCount(); // a part's check takes the count, if it had not come before
}

void BulkLoad::lookForCount()
{
    if (counted_ || !parts_.lookForCount)
        return;
    if (const std::optional<long long> rows = parts_.lookForCount())
        setExpectedRows(*rows);
}

void BulkLoad::checkWarnings(platform::Connection &session, unsigned int warnings, unsigned int errorValues)
{
    // LOAD DATA and INSERT IGNORE turn refusals into warnings: each one is a value that did not
    // arrive as it left, except the one an ENUM's error value raises, which arrives as it was.
    if (warnings == errorValues)
        return;
    throw warningRefusal(session, errorValues > 0);
}

} // namespace transfer
