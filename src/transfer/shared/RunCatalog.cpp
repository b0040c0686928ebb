#include "transfer/shared/RunCatalog.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/SqlQuoting.h"
#include "transfer/shared/ServerText.h"
#include "transfer/shared/SqlText.h"
#include "transfer/shared/TableDefinition.h"

namespace transfer {

namespace {

// A statement of many names, kept well under any server's max_allowed_packet.
constexpr size_t NamesPerQuestion = 500;

} // namespace

RunCatalog::RunCatalog(platform::Connection &server, const std::vector<std::string> &tables)
{
    if (tables.size() < 2)
        return; // one table is asked for as it is needed
    for (size_t from = 0; from < tables.size(); from += NamesPerQuestion) {
        const size_t to = std::min(tables.size(), from + NamesPerQuestion);
        std::vector<std::string> shows;
        std::string names;
        for (size_t i = from; i < to; ++i) {
            std::string show = "SHOW CREATE TABLE ";
            platform::appendBackquoted(show, tables[i]);
            shows.push_back(std::move(show));
            if (!names.empty())
                names += ", ";
            platform::appendStringLiteral(names, tables[i], server.noBackslashEscapes());
        }
        // The columns and the sizes first: a definition refused ends the answers after it.
        std::vector<std::string> questions{
            "SELECT TABLE_NAME, COLUMN_NAME, LOWER(DATA_TYPE), COLUMN_TYPE FROM information_schema.COLUMNS WHERE "
            "TABLE_SCHEMA = DATABASE() AND EXTRA NOT LIKE '%VIRTUAL GENERATED%' AND EXTRA NOT LIKE '%STORED "
            "GENERATED%' AND EXTRA NOT IN ('VIRTUAL', 'PERSISTENT') AND TABLE_NAME IN ("
                + names + ") ORDER BY TABLE_NAME, ORDINAL_POSITION",
            "SELECT TABLE_NAME, TABLE_TYPE, IFNULL(ENGINE, ''), TABLE_ROWS FROM information_schema.TABLES WHERE "
            "TABLE_SCHEMA = DATABASE() AND TABLE_NAME IN (" + names + ")",
            "SELECT TABLE_NAME, COLUMN_NAME FROM information_schema.STATISTICS WHERE TABLE_SCHEMA = DATABASE() AND "
            "INDEX_NAME = 'PRIMARY' AND TABLE_NAME IN (" + names + ") ORDER BY TABLE_NAME, SEQ_IN_INDEX",
            "SELECT EVENT_OBJECT_TABLE, TRIGGER_NAME FROM information_schema.TRIGGERS WHERE EVENT_OBJECT_SCHEMA = "
            "DATABASE() AND EVENT_OBJECT_TABLE IN (" + names + ") ORDER BY EVENT_OBJECT_TABLE, ACTION_TIMING, "
            "EVENT_MANIPULATION, ACTION_ORDER"};
        const size_t firstShow = questions.size();
        questions.insert(questions.end(), shows.begin(), shows.end());
        std::map<std::string, std::vector<StoredColumn>> found;
        server.setMultiStatements(true);
        const size_t answered = server.executeEach(questions, [&](size_t i, platform::RecordSet &r) {
            if (i == 0) {
                for (; !r.eof(); r.moveNext())
                    found[std::string(r.value(0).bytes)].push_back({std::string(r.value(1).bytes),
                                                                    std::string(r.value(2).bytes),
                                                                    enumWithoutEmptyValue(r.value(3).bytes), {}});
            } else if (i == 1) {
                for (; !r.eof(); r.moveNext()) {
                    const std::string name(r.value(0).bytes);
                    const platform::FieldValue rows = r.value(3);
                    tables_[name] = {name, std::string(r.value(1).bytes), std::string(r.value(2).bytes),
                                     rows.isNull ? "0" : std::string(rows.bytes)};
                    if (!rows.isNull && wholeNumberText(rows.bytes) && rows.bytes.size() < 19)
                        estimatedRows_[name] = std::stoll(std::string(rows.bytes));
                }
            } else if (i == 2) {
                for (; !r.eof(); r.moveNext())
                    primaryKeys_[std::string(r.value(0).bytes)].emplace_back(r.value(1).bytes);
            } else if (i == 3) {
                for (; !r.eof(); r.moveNext())
                    triggers_[std::string(r.value(0).bytes)].emplace_back(r.value(1).bytes);
            } else if (!r.eof() && r.fieldCount() >= 2 && r.value(0).bytes == tables[from + i - firstShow]) {
                // Only an answer naming the table asked for is kept.
                definitions_[tables[from + i - firstShow]] = std::string(r.value(1).bytes);
            }
        });
        server.setMultiStatements(false);
        // A name the server compares without letter case may come back otherwise written: kept
        // only under the name asked for.
        for (size_t i = from; i < to; ++i) {
            if (auto it = found.find(tables[i]); it != found.end())
                columns_[tables[i]] = std::move(it->second);
            if (answered > 2)
                keysKnown_.insert(tables[i]);
            if (answered > 3)
                triggersKnown_.insert(tables[i]);
        }
    }
}

long long RunCatalog::estimatedRows(const std::string &table) const
{
    const auto it = estimatedRows_.find(table);
    return it != estimatedRows_.end() ? it->second : -1;
}

SourceTable RunCatalog::table(platform::Connection &server, const std::string &table) const
{
    const auto it = tables_.find(table);
    return it != tables_.end() ? it->second : sourceTable(server, table);
}

const RunCatalog &RunCatalog::none()
{
    static const RunCatalog empty;
    return empty;
}

const std::vector<std::string> *RunCatalog::listed(const std::string &table, const std::set<std::string> &answered,
                                                   const std::map<std::string, std::vector<std::string>> &found) const
{
    static const std::vector<std::string> nothing;
    if (!answered.contains(table) || !tables_.contains(table))
        return nullptr;
    const auto it = found.find(table);
    return it != found.end() ? &it->second : &nothing;
}

std::vector<std::string> RunCatalog::primaryKey(platform::Connection &server, const std::string &table) const
{
    const auto *found = listed(table, keysKnown_, primaryKeys_);
    return found ? *found : primaryKeyColumns(server, table);
}

std::vector<std::string> RunCatalog::triggers(platform::Connection &server, const std::string &table) const
{
    const auto *found = listed(table, triggersKnown_, triggers_);
    return found ? *found : triggerNames(server, table);
}

std::string RunCatalog::definition(platform::Connection &server, const std::string &table) const
{
    const auto it = definitions_.find(table);
    return it != definitions_.end() ? it->second : showCreateTable(server, table);
}

std::vector<StoredColumn> RunCatalog::columns(platform::Connection &server, const std::string &table) const
{
    const auto it = columns_.find(table);
    return it != columns_.end() ? it->second : storedColumns(server, table);
}

} // namespace transfer
