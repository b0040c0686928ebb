#include "transfer/compare/MatchPlan.h"

#include "platform/DbError.h"
#include "transfer/compare/MatchOrder.h"
#include "transfer/shared/Catalog.h"

#include <QString>

#include <algorithm>

namespace transfer {

namespace {

std::string lowered(const std::string &name) { return QString::fromStdString(name).toLower().toStdString(); }

// The key's columns among the table's: text keys as the compare read them (utf8mb4).
std::vector<KeyColumn> keyColumns(const std::vector<StoredColumn> &columns, const std::vector<std::string> &names)
{
    std::vector<KeyColumn> key;
    for (const std::string &name : names) {
        const auto at = std::find_if(columns.begin(), columns.end(),
                                     [&](const StoredColumn &c) { return lowered(c.name) == lowered(name); });
        if (at == columns.end())
            throw platform::DbError(0, "the key names a column the table has not");
        const KeyColumn::Form form = keyFormOf(*at);
        key.push_back({static_cast<size_t>(at - columns.begin()), form,
                       form == KeyColumn::Form::Text ? "utf8mb4" : std::string()});
    }
    return key;
}

} // namespace

std::unique_ptr<TableChange> planChange(TableMatch &t, const std::string &table, const PlanSide &source,
                                        const PlanSide &target)
{
    const TableComparison &c = t.compared;
    if (c.definition != TableComparison::Definition::Same || c.someColumnsOnOneSide) {
        t.plan = TableMatch::Plan::Definition;
        return nullptr;
    }
    if (c.rows.same) {
        t.plan = TableMatch::Plan::Same;
        return nullptr;
    }
    if (!c.keyed) {
        t.plan = TableMatch::Plan::NoKey;
        return nullptr;
    }
    auto change = std::make_unique<TableChange>();
    change->columns = source.catalog.columns(source.server, table);
    try {
        change->key = keyColumns(change->columns, c.keyColumns);
        MatchStatements trial(table, change->columns, change->key, false);
    } catch (const platform::DbError &e) {
        t.plan = TableMatch::Plan::NoKey;
        t.why = e.what();
        return nullptr;
    }
    change->select = selectedColumns(change->columns);
    change->targetChecksum = rowChecksum(target.catalog.columns(target.server, table));
    for (const DifferingRow &r : c.rows.rows)
        ++(r.kind == DifferingRow::Kind::OnlyHere    ? t.toAdd
           : r.kind == DifferingRow::Kind::OnlyThere ? t.toRemove
                                                     : t.toChange);
    t.triggers = target.catalog.triggers(target.server, table);
    std::sort(t.triggers.begin(), t.triggers.end(), [](const std::string &a, const std::string &b) {
        return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) < 0;
    });
    t.more = c.rows.more;
    t.plan = TableMatch::Plan::Change;
    return change;
}

} // namespace transfer
