#include "transfer/copy/Triggers.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/SqlQuoting.h"
#include "transfer/shared/ServerText.h"
#include "transfer/shared/Sessions.h"
#include "transfer/shared/TableDefinition.h"

#include <QString>

namespace transfer {

namespace {

constexpr int TriggerExists = 1359;

std::string quoted(platform::Connection &c, std::string_view text)
{
    std::string s;
    platform::appendStringLiteral(s, text, c.noBackslashEscapes());
    return s;
}

std::string showCreateTrigger(platform::Connection &c, const std::string &trigger)
{
    std::string show = "SHOW CREATE TRIGGER ";
    platform::appendBackquoted(show, trigger);
    platform::RecordSet r = c.execute(show);
    if (r.eof())
        throw platform::DbError(1360, "No definition of the trigger " + trigger);
    std::string definition(r.value(2).bytes);
    r.close();
    return definition;
}

QString text(std::string_view bytes) { return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())); }

} // namespace

TriggerCopy::TriggerCopy(platform::Connection &source, const std::string &table, const std::vector<std::string> &names)
    : source_(source), table_(table)
{
    for (const std::string &name : names)
        triggers_.push_back({name, {}});
    for (Trigger &t : triggers_) {
        t.definition = withoutDefiner(showCreateTrigger(source, t.name));
        checkedTriggerOn(source, t.name, table, t.definition, table);
    }
}

void TriggerCopy::placeOn(platform::Connection &destination, const std::string &building,
                          const std::string &replaced, const TableNames &names, const Send &send)
{
    if (triggers_.empty())
        return;
    // Which of the names the destination's database already uses, and on which table.
    std::string in;
    for (const Trigger &t : triggers_)
        in += (in.empty() ? "" : ", ") + quoted(destination, t.name);
    platform::RecordSet taken = destination.execute(
        "SELECT TRIGGER_NAME, EVENT_OBJECT_TABLE FROM information_schema.TRIGGERS WHERE TRIGGER_SCHEMA = DATABASE() "
        "AND TRIGGER_NAME IN (" + in + ")");
    std::vector<std::pair<std::string, std::string>> makeWay; // trigger, its table
    while (!taken.eof()) {
        const std::string name(taken.value(0).bytes);
        const std::string on(taken.value(1).bytes);
        if (replaced.empty() || !names.same(text(on), text(replaced)))
            throw platform::DbError(TriggerExists, "The destination already has a trigger " + name + " on its table "
                                                       + on + ", so the copy's trigger of that name cannot be made.");
        makeWay.emplace_back(name, on);
        taken.moveNext();
    }
    taken.close();

    std::vector<std::string> definitions;
    for (const auto &[name, on] : makeWay) {
        definitions.push_back(showCreateTrigger(destination, name));
        checkedTriggerOn(destination, name, on, withoutDefiner(definitions.back()), on);
    }
    std::vector<std::string> made;
    try {
        for (size_t i = 0; i < makeWay.size(); ++i) {
            std::string drop = "DROP TRIGGER ";
            platform::appendBackquoted(drop, makeWay[i].first);
            send(drop);
            madeWay_.push_back(definitions[i]);
        }
        for (const Trigger &t : triggers_) {
            send(checkedTriggerOn(source_, t.name, table_, t.definition, building));
            made.push_back(t.name);
        }
    } catch (const platform::DbError &) {
        for (const std::string &name : made) {
            std::string drop = "DROP TRIGGER IF EXISTS ";
            platform::appendBackquoted(drop, name);
            try {
                send(drop);
            } catch (const platform::DbError &) {
                // They go with the half-built table anyway.
            }
        }
        restore(send);
        throw;
    }
}

std::string TriggerCopy::madeLine(const std::string &table) const
{
    if (triggers_.empty())
        return {};
    // Their DEFINER was left behind: the user should know whose rights their bodies now have.
    std::string line = "-- " + table + (triggers_.size() == 1 ? ": trigger made: " : ": triggers made: ");
    for (size_t i = 0; i < triggers_.size(); ++i) {
        if (i > 0)
            line += ", ";
        platform::appendBackquoted(line, triggers_[i].name);
    }
    return line + (triggers_.size() == 1 ? "; it runs with the rights of the destination's login that made it"
                                         : "; they run with the rights of the destination's login that made them")
           + ", not of a definer on the source";
}

void TriggerCopy::restore(const Send &send)
{
    for (const std::string &definition : madeWay_) {
        try {
            send(definition);
        } catch (const platform::DbError &) {
            // Made by another account than this login: made again as this one.
            try {
                send(withoutDefiner(definition));
            } catch (const platform::DbError &) {
                // The failure being reported is the copy's; the old table and its rows are there.
            }
        }
    }
    madeWay_.clear();
}

} // namespace transfer
