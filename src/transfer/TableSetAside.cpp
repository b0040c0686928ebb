#include "transfer/TableSetAside.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/SqlQuoting.h"
#include "sides/TableStatements.h"

namespace transfer {

namespace {

constexpr int TableExists = 1050;
constexpr int Attempts = 100;

} // namespace

TableSetAside::TableSetAside(platform::Connection &destination, std::string table)
    : destination_(destination), table_(std::move(table))
{
    // Session id and a counter: no other session can pick the same name, and a user's table of
    // that name only costs another try. Short enough for 64 characters whatever the table's name.
    const std::string stem = "tabulink_old_" + std::to_string(destination_.threadId()) + "_";
    for (int n = 1;; ++n) {
        const std::string candidate = stem + std::to_string(n);
        try {
            destination_.execute(sides::renameTableStatement(table_, candidate));
            aside_ = candidate;
            return;
        } catch (const platform::DbError &e) {
            if (e.number() != TableExists || n == Attempts)
                throw;
        }
    }
}

TableSetAside::~TableSetAside()
{
    if (settled_)
        return;
    try {
        putBack(true);
    } catch (const std::exception &) {
        // Nobody is left to tell; the old table stays under its aside name, its rows intact.
    }
}

void TableSetAside::dropOld()
{
    settled_ = true;
    destination_.execute(sides::dropTableStatement(aside_));
}

void TableSetAside::putBack(bool replacementExists)
{
    settled_ = true;
    if (replacementExists) {
        std::string drop = "DROP TABLE IF EXISTS ";
        platform::appendBackquoted(drop, table_);
        destination_.execute(drop);
    }
    destination_.execute(sides::renameTableStatement(aside_, table_));
}

} // namespace transfer
