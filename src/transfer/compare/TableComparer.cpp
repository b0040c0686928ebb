#include "transfer/compare/TableComparer.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/SqlQuoting.h"
#include "transfer/compare/DefinitionDiff.h"
#include "transfer/compare/RowDiff.h"
#include "transfer/shared/TableColumns.h"
#include "transfer/shared/TableDefinition.h"

#include <QString>

namespace transfer {

namespace {

// Below this many rows (the catalog's estimate, which may be off by half) a whole table's figures
// cost about what its key's ends do.
constexpr long long SmallTableRows = 20000;

bool numberType(const std::string &type)
{
    return wholeNumberType(type) || type == "decimal" || type == "float" || type == "double";
}

std::string lowered(const std::string &name) { return QString::fromStdString(name).toLower().toStdString(); }

const StoredColumn *column(const std::vector<StoredColumn> &columns, const std::string &name)
{
    const std::string wanted = lowered(name);
    for (const StoredColumn &c : columns)
        if (lowered(c.name) == wanted)
            return &c;
    return nullptr;
}

std::string definitionOf(const CompareSide &side, const std::string &table)
{
    return catalogOf(side).definition(side.server, table);
}

std::vector<StoredColumn> columnsOf(const CompareSide &side, const std::string &table)
{
    return catalogOf(side).columns(side.server, table);
}

// How the two definitions differ, #1's first. A view's rows are compared; how each server words
// its definition is its own.
void compareDefinitionsOf(const CompareSide &here, const ListedTable &hereTable, const CompareSide &there,
                        const ListedTable &thereTable, TableComparison &c)
{
    const bool oneHere = here.number == 1;
    if ((hereTable.type == "VIEW") != (thereTable.type == "VIEW")) {
        c.definition = TableComparison::Definition::Kinds;
        c.definitionOne = oneHere ? hereTable.type : thereTable.type;
        c.definitionTwo = oneHere ? thereTable.type : hereTable.type;
    } else if (hereTable.type != "VIEW") {
        const DefinitionDifference d = compareDefinitions(definitionOf(here, hereTable.name.toStdString()),
                                                          definitionOf(there, thereTable.name.toStdString()));
        if (!d.same) {
            c.definition = TableComparison::Definition::Lines;
            c.definitionOne = oneHere ? d.first : d.second;
            c.definitionTwo = oneHere ? d.second : d.first;
        }
    }
}

// A side's table as the row comparison asks for it: its compared columns' checksum, and where
// there is a key, where a row lies in its order and how its values are shown.
ComparedTable compared(const CompareSide &side, const std::string &table, const std::vector<StoredColumn> &all,
                       const std::vector<StoredColumn> &key, bool wholeNumberKey)
{
    ComparedTable t{side.server, table, rowChecksum(all), {}, {}, {}, side.rules.questionBytes, false};
    const long long rows = catalogOf(side).estimatedRows(table);
    t.small = rows >= 0 && rows <= SmallTableRows;
    if (key.empty())
        return t;
    if (wholeNumberKey)
        platform::appendBackquoted(t.position, key[0].name);
    else
        t.position = rowChecksum(key);
    for (const StoredColumn &k : key) {
        t.keyColumns.push_back(k.name);
        t.textKey.push_back(!numberType(k.dataType));
    }
    return t;
}

} // namespace

TableComparison compareTables(const CompareSide &here, const ListedTable &hereTable, const CompareSide &there,
                              const ListedTable &thereTable, size_t mostKeys, std::optional<Position> after)
{
    TableComparison c;
    c.table = hereTable.name;
    compareDefinitionsOf(here, hereTable, there, thereTable, c);

    const std::string hereName = hereTable.name.toStdString();
    const std::string thereName = thereTable.name.toStdString();
    const std::vector<StoredColumn> hereColumns = columnsOf(here, hereName);
    const std::vector<StoredColumn> thereColumns = columnsOf(there, thereName);
    // Columns both have, in this side's order, each with its own server's type.
    std::vector<StoredColumn> hereCompared;
    std::vector<StoredColumn> thereCompared;
    for (const StoredColumn &col : hereColumns)
        if (const StoredColumn *match = column(thereColumns, col.name)) {
            hereCompared.push_back(col);
            thereCompared.push_back(*match);
        }
    if (hereCompared.empty())
        throw platform::DbError(0, "the thereCompared tables have no column in common");

    const std::vector<std::string> key =
        uniqueKeyOf(here.server, hereName, [&](const std::string &name) { return column(hereCompared, name) != nullptr; });
    std::vector<StoredColumn> hereKey;
    std::vector<StoredColumn> thereKey;
    for (const std::string &k : key) {
        hereKey.push_back(*column(hereCompared, k));
        thereKey.push_back(*column(thereCompared, k));
    }
    const bool wholeNumbers =
        key.size() == 1 && wholeNumberType(hereKey[0].dataType) && wholeNumberType(thereKey[0].dataType);
    c.rows = compareRows(compared(here, hereName, hereCompared, hereKey, wholeNumbers),
                         compared(there, thereName, thereCompared, thereKey, wholeNumbers), wholeNumbers, mostKeys,
                         key.empty() ? std::optional<Position>() : after);
    c.keyed = !key.empty();
    c.keyColumns = key;
    c.columnsCompared = hereCompared.size();
    c.someColumnsOnOneSide = hereCompared.size() != hereColumns.size() || thereCompared.size() != thereColumns.size();
    const bool differs = c.definition != TableComparison::Definition::Same || !c.rows.same || c.someColumnsOnOneSide;
    c.result = differs ? TableComparison::Result::Differs : TableComparison::Result::Same;
    return c;
}

} // namespace transfer
