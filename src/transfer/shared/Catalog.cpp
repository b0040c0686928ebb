#include "transfer/shared/Catalog.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/SqlQuoting.h"
#include "transfer/shared/ServerText.h"

#include <algorithm>

namespace transfer {

SourceTable sourceTable(platform::Connection &c, const std::string &table)
{
    std::string q = "SELECT TABLE_TYPE, IFNULL(ENGINE, ''), IFNULL(TABLE_ROWS, 0) FROM information_schema.TABLES "
                    "WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = ";
    platform::appendStringLiteral(q, table, c.noBackslashEscapes());
    platform::RecordSet r = c.execute(q);
    SourceTable t{table, {}, {}, {}};
    if (!r.eof())
        t = {table, std::string(r.value(0).bytes), std::string(r.value(1).bytes), std::string(r.value(2).bytes)};
    r.close();
    return t;
}

namespace {

std::vector<std::string> firstColumn(platform::Connection &c, const std::string &query)
{
    std::vector<std::string> values;
    platform::RecordSet r = c.execute(query);
    for (; !r.eof(); r.moveNext())
        values.emplace_back(r.value(0).bytes);
    r.close();
    return values;
}

} // namespace

std::vector<std::string> triggerNames(platform::Connection &c, const std::string &table)
{
    std::string q = "SELECT TRIGGER_NAME FROM information_schema.TRIGGERS WHERE EVENT_OBJECT_SCHEMA = DATABASE() AND "
                    "EVENT_OBJECT_TABLE = ";
    platform::appendStringLiteral(q, table, c.noBackslashEscapes());
    return firstColumn(c, q + " ORDER BY ACTION_TIMING, EVENT_MANIPULATION, ACTION_ORDER");
}

std::vector<std::string> primaryKeyColumns(platform::Connection &c, const std::string &table)
{
    std::string q = "SELECT COLUMN_NAME FROM information_schema.STATISTICS WHERE TABLE_SCHEMA = DATABASE() AND "
                    "INDEX_NAME = 'PRIMARY' AND TABLE_NAME = ";
    platform::appendStringLiteral(q, table, c.noBackslashEscapes());
    return firstColumn(c, q + " ORDER BY SEQ_IN_INDEX");
}

std::vector<ListedTable> listTables(platform::Connection &c)
{
    std::vector<ListedTable> tables;
    platform::RecordSet r = c.execute("SHOW FULL TABLES");
    while (!r.eof()) {
        if (r.fieldCount() < 2)
            throw platform::DbError(0, c.serverName() + " listed its tables without their types.");
        tables.push_back({QString::fromUtf8(r.value(0).bytes.data(), static_cast<qsizetype>(r.value(0).bytes.size())),
                          std::string(r.value(1).bytes)});
        r.moveNext();
    }
    r.close();
    return tables;
}

const ListedTable *findTable(const std::vector<ListedTable> &tables, const QString &name, const TableNames &names)
{
    for (const ListedTable &t : tables)
        if (names.same(t.name, name))
            return &t;
    return nullptr;
}

ServerRules serverRules(platform::Connection &c)
{
    platform::RecordSet r = c.execute("SELECT @@lower_case_table_names, @@max_allowed_packet");
    const bool answered = !r.eof() && r.fieldCount() == 2;
    const std::string rule = answered ? std::string(r.value(0).bytes) : std::string();
    const std::string packet = answered ? std::string(r.value(1).bytes) : std::string();
    r.close();
    ServerRules rules;
    rules.names.rule = static_cast<int>(wholeNumber(c, "lower_case_table_names", rule, 0, 2));
    rules.questionBytes = static_cast<size_t>(
        std::min<long long>(wholeNumber(c, "max_allowed_packet", packet, 1024, 1LL << 30) / 4, 256 * 1024));
    return rules;
}

std::vector<std::string> uniqueKeyOf(platform::Connection &c, const std::string &table,
                                     const std::function<bool(const std::string &column)> &usable)
{
    std::string q = "SELECT INDEX_NAME, COLUMN_NAME, NULLABLE FROM information_schema.STATISTICS WHERE "
                    "TABLE_SCHEMA = DATABASE() AND NON_UNIQUE = 0 AND TABLE_NAME = ";
    platform::appendStringLiteral(q, table, c.noBackslashEscapes());
    q += " ORDER BY INDEX_NAME <> 'PRIMARY', INDEX_NAME, SEQ_IN_INDEX";
    platform::RecordSet r = c.execute(q);
    std::vector<std::string> key;
    std::string index;
    bool fits = false;
    while (!r.eof()) {
        const std::string name(r.value(0).bytes);
        if (name != index) {
            if (fits && !key.empty())
                break;
            index = name;
            key.clear();
            fits = true;
        }
        const std::string column(r.value(1).bytes);
        fits = fits && r.value(2).bytes != "YES" && usable(column);
        key.push_back(column);
        r.moveNext();
    }
    r.close();
    if (!fits)
        key.clear();
    return key;
}

namespace {
constexpr const char *RepeatableRead = "SET SESSION TRANSACTION ISOLATION LEVEL REPEATABLE READ";
constexpr const char *ReadOnlySnapshot = "START TRANSACTION WITH CONSISTENT SNAPSHOT, READ ONLY";
} // namespace

bool readInSnapshotTogether(platform::Connection &c, std::vector<std::string> before)
{
    before.emplace_back(RepeatableRead);
    before.emplace_back(ReadOnlySnapshot);
    try {
        c.executeTogether(before);
        return true;
    } catch (const platform::DbError &e) {
        if (e.isConnectionLost())
            throw;
        return false;
    }
}

void readInSnapshot(platform::Connection &c)
{
    c.execute(RepeatableRead);
    try {
        c.execute(ReadOnlySnapshot);
    } catch (const platform::DbError &e) {
        if (e.isConnectionLost())
            throw;
        // Servers before read-only transactions: the snapshot all the same.
        c.execute("START TRANSACTION WITH CONSISTENT SNAPSHOT");
    }
}

} // namespace transfer
