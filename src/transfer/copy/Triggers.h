#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform {
class Connection;
}

namespace transfer {

struct TableNames;

// A source table's triggers, made on its copy while the copy still has its temporary name, so
// that they move into place with it in one RENAME and a trigger the destination refuses leaves
// the destination as it was. Trigger names belong to the database: on an overwrite the old
// table's triggers of the same names make way first, and come back when the new ones fail.
class TriggerCopy {
public:
    using Send = std::function<void(const std::string &statement)>; // logs and runs one statement

    // Reads the source's definitions and checks them. Throws platform::DbError.
    // names: the table's triggers in the order they fire.
    TriggerCopy(platform::Connection &source, const std::string &table, const std::vector<std::string> &names);

    // Makes them on building. replaced is the destination's table the copy replaces, empty when
    // none. Throws platform::DbError, after undoing what it did.
    void placeOn(platform::Connection &destination, const std::string &building, const std::string &replaced,
                 const TableNames &names, const Send &send);
    // The copy was not put in place after all: the old table's triggers come back.
    void restore(const Send &send);
    // The log's line for the triggers made on table's copy; empty when it has none.
    std::string madeLine(const std::string &table) const;

private:
    struct Trigger {
        std::string name;
        std::string definition; // as the source has it, without its DEFINER
    };
    platform::Connection &source_;
    std::string table_;
    std::vector<Trigger> triggers_;
    std::vector<std::string> madeWay_; // the destination's own definitions, of the triggers dropped
};

} // namespace transfer
