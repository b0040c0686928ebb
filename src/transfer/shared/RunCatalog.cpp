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
            "SELECT TABLE_NAME, TABLE_ROWS FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND "
            "TABLE_ROWS IS NOT NULL AND TABLE_NAME IN (" + names + ")"};
        const size_t firstShow = questions.size();
        questions.insert(questions.end(), shows.begin(), shows.end());
        std::map<std::string, std::vector<StoredColumn>> found;
        server.setMultiStatements(true);
        server.executeEach(questions, [&](size_t i, platform::RecordSet &r) {
            if (i == 0) {
                for (; !r.eof(); r.moveNext())
                    found[std::string(r.value(0).bytes)].push_back({std::string(r.value(1).bytes),
                                                                    std::string(r.value(2).bytes),
                                                                    enumWithoutEmptyValue(r.value(3).bytes), {}});
            } else if (i == 1) {
                for (; !r.eof(); r.moveNext())
                    if (wholeNumberText(r.value(1).bytes))
                        estimatedRows_[std::string(r.value(0).bytes)] = std::stoll(std::string(r.value(1).bytes));
            } else if (!r.eof() && r.fieldCount() >= 2 && r.value(0).bytes == tables[from + i - firstShow]) {
                // Only an answer naming the table asked for is kept.
                definitions_[tables[from + i - firstShow]] = std::string(r.value(1).bytes);
            }
        });
        server.setMultiStatements(false);
        // A name the server compares without letter case may come back otherwise written: kept
        // only under the name asked for.
        for (size_t i = from; i < to; ++i)
            if (auto it = found.find(tables[i]); it != found.end())
                columns_[tables[i]] = std::move(it->second);
    }
}

long long RunCatalog::estimatedRows(const std::string &table) const
{
    const auto it = estimatedRows_.find(table);
    return it != estimatedRows_.end() ? it->second : -1;
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
