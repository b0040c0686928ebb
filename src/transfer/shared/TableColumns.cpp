#include "transfer/shared/TableColumns.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/SqlQuoting.h"
#include "transfer/shared/SqlText.h"

#include <algorithm>

namespace transfer {

namespace {

bool isText(const std::string &type)
{
    static const char *const types[] = {"char", "varchar", "tinytext", "text", "mediumtext", "longtext",
                                        "enum", "set", "binary", "varbinary", "tinyblob", "blob",
                                        "mediumblob", "longblob", "bit", "json", "geometry", "point",
                                        "linestring", "polygon", "multipoint", "multilinestring",
                                        "multipolygon", "geometrycollection", "inet6", "uuid", "inet4", "vector"};
    return std::find(std::begin(types), std::end(types), type) != std::end(types);
}

// MariaDB's own types, whose text (not their bytes) a MySQL destination holds.
bool isAddressOrUuid(const std::string &type) { return type == "inet6" || type == "inet4" || type == "uuid"; }

// A current row's end as NULL: the same on servers whose greatest time differs.
std::string endOrNull(const std::string &name) { return "IF(" + name + " > NOW(6), NULL, " + name + ")"; }

} // namespace

bool wholeNumberType(const std::string &type)
{
    return type == "tinyint" || type == "smallint" || type == "mediumint" || type == "int" || type == "bigint";
}

std::vector<StoredColumn> storedColumns(platform::Connection &source, std::string_view table)
{
    std::string q = "SELECT COLUMN_NAME, LOWER(DATA_TYPE), COLUMN_TYPE FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = "
                    "DATABASE() AND EXTRA NOT LIKE '%VIRTUAL GENERATED%' AND EXTRA NOT LIKE '%STORED GENERATED%' AND "
                    "EXTRA NOT IN ('VIRTUAL', 'PERSISTENT') AND "
                    "TABLE_NAME = ";
    platform::appendStringLiteral(q, table, source.noBackslashEscapes());
    q += " ORDER BY ORDINAL_POSITION";
    std::vector<StoredColumn> columns;
    platform::RecordSet r = source.execute(q);
    while (!r.eof()) {
        columns.push_back({std::string(r.value(0).bytes), std::string(r.value(1).bytes),
                           enumWithoutEmptyValue(r.value(2).bytes), {}});
        r.moveNext();
    }
    r.close();
    if (columns.empty())
        throw platform::DbError(platform::server_error::NoSuchTable, "The table has no columns to copy, or is gone.");
    return columns;
}

std::string selectedColumns(const std::vector<StoredColumn> &columns)
{
    std::string s;
    for (const StoredColumn &c : columns) {
        if (c.currentEnd.empty()) {
            appendSelectedColumn(s, c.name, c.dataType == "float");
        } else {
            std::string name;
            platform::appendBackquoted(name, c.name);
            s += endOrNull(name);
        }
        s += ", ";
    }
    if (!s.empty())
        s.resize(s.size() - 2);
    return s;
}

std::string selectStoredStatement(std::string_view table, const std::vector<StoredColumn> &columns, bool allVersions)
{
    std::string s = "SELECT " + selectedColumns(columns) + " FROM ";
    platform::appendBackquoted(s, table);
    if (allVersions)
        s += " FOR SYSTEM_TIME ALL";
    return s;
}

std::string rowChecksum(const std::vector<StoredColumn> &columns)
{
    std::string row = "CRC32(CONCAT_WS(','";
    for (const StoredColumn &c : columns) {
        std::string name;
        platform::appendBackquoted(name, c.name);
        // Bytes for text and binary values, the server's own text for numbers and times (which
        // IFNULL makes of them as CAST would, at half the cost), but for FLOAT and DOUBLE, whose
        // text the two makes write differently, and addresses and UUIDs, as text.
        const std::string value = c.dataType == "float"    ? exactDoubleText("(" + name + " + 0e0)")
                                  : c.dataType == "double" ? exactDoubleText(name)
                                  : isAddressOrUuid(c.dataType) ? "HEX(CAST(" + name + " AS CHAR))"
                                  : isText(c.dataType)     ? "HEX(" + name + ")"
                                  : !c.currentEnd.empty() ? endOrNull(name)
                                                          : name;
        row += ", IFNULL(" + value + ", 'N')";
    }
    return row + "))";
}

std::string digestStatement(std::string_view table, const std::vector<StoredColumn> &columns, bool allVersions)
{
    // A sum of per-row checksums: the same whatever order the rows come in, and cheap for the server.
    std::string s = "SELECT COUNT(*), IFNULL(SUM(" + rowChecksum(columns) + "), 0) FROM ";
    platform::appendBackquoted(s, table);
    if (allVersions)
        s += " FOR SYSTEM_TIME ALL";
    return s;
}

std::string namesList(const std::vector<StoredColumn> &columns)
{
    std::string s = "(";
    for (const StoredColumn &c : columns) {
        platform::appendBackquoted(s, c.name);
        s += ',';
    }
    s.back() = ')';
    return s;
}

SentAs sentAs(const StoredColumn &c)
{
    if (!c.currentEnd.empty())
        return SentAs::CurrentEnd;
    if (c.dataType == "json")
        return SentAs::Json;
    for (const char *number : {"tinyint", "smallint", "mediumint", "int", "bigint", "decimal"})
        if (c.dataType == number)
            return SentAs::Number;
    return SentAs::Bytes;
}

} // namespace transfer
