#include "transfer/shared/TableDefinition.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/SqlQuoting.h"
#include "transfer/shared/TextParts.h"

#include <stdexcept>

namespace transfer {

namespace {

std::string_view withoutTrailingComma(std::string_view line)
{
    return line.ends_with(',') ? line.substr(0, line.size() - 1) : line;
}

bool isForeignKey(std::string_view item)
{
    const size_t at = item.find_first_not_of(' ');
    if (at == std::string_view::npos || !item.substr(at).starts_with("CONSTRAINT "))
        return false;
    // The name is backquoted with doubled backquotes; what follows it says what the constraint is.
    size_t i = item.find('`', at);
    if (i == std::string_view::npos)
        return false;
    for (++i; i < item.size(); ++i) {
        if (item[i] == '`') {
            if (i + 1 < item.size() && item[i + 1] == '`')
                ++i;
            else
                break;
        }
    }
    return item.substr(i + 1).starts_with(" FOREIGN KEY ");
}

} // namespace

TableDefinition splitForeignKeys(std::string_view showCreateTable)
{
    const std::vector<std::string_view> all = splitAt(showCreateTable, '\n');
    TableDefinition definition;
    if (all.size() < 3) {
        definition.create = showCreateTable;
        return definition;
    }
    std::vector<std::string_view> items;
    size_t last = all.size() - 1;
    while (last > 0 && !all[last].starts_with(")"))
        --last;
    for (size_t i = 1; i < last; ++i) {
        const std::string_view item = withoutTrailingComma(all[i]);
        if (isForeignKey(item))
            definition.foreignKeys.emplace_back(item.substr(item.find_first_not_of(' ')));
        else
            items.push_back(item);
    }
    std::string create(all[0]);
    for (size_t i = 0; i < items.size(); ++i) {
        create += '\n';
        create += items[i];
        if (i + 1 < items.size())
            create += ',';
    }
    for (size_t i = last; i < all.size(); ++i) {
        create += '\n';
        create += all[i];
    }
    definition.create = std::move(create);
    return definition;
}

std::string showCreateTable(platform::Connection &server, std::string_view table)
{
    std::string query = "SHOW CREATE TABLE ";
    platform::appendBackquoted(query, table);
    platform::RecordSet r = server.execute(query);
    if (r.eof() || r.fieldCount() < 2)
        throw platform::DbError(platform::server_error::NoSuchTable, "No answer to: " + query.substr(0, 80));
    std::string create(r.value(1).bytes);
    r.close();
    return create;
}

std::string renamedCreate(std::string_view create, std::string_view table, std::string_view newName)
{
    std::string head = "CREATE TABLE ";
    platform::appendBackquoted(head, table);
    if (!create.starts_with(head))
        throw std::runtime_error("SHOW CREATE TABLE gave a statement of another form.");
    std::string out = "CREATE TABLE ";
    platform::appendBackquoted(out, newName);
    out += create.substr(head.size());
    return out;
}

std::string addForeignKeyStatement(std::string_view table, std::string_view foreignKey)
{
    std::string s = "ALTER TABLE ";
    platform::appendBackquoted(s, table);
    s += " ADD ";
    s += foreignKey;
    return s;
}

std::string withoutDefiner(std::string_view createTrigger)
{
    const size_t at = createTrigger.find(" DEFINER=");
    const size_t trigger = createTrigger.find(" TRIGGER ");
    if (at == std::string_view::npos || trigger == std::string_view::npos || at > trigger)
        return std::string(createTrigger);
    return std::string(createTrigger.substr(0, at)) + std::string(createTrigger.substr(trigger));
}

std::string foreignKeyName(std::string_view foreignKey)
{
    const size_t open = foreignKey.find('`');
    std::string name;
    for (size_t i = open == std::string_view::npos ? foreignKey.size() : open + 1; i < foreignKey.size(); ++i) {
        if (foreignKey[i] == '`') {
            if (i + 1 >= foreignKey.size() || foreignKey[i + 1] != '`')
                break;
            ++i; // a doubled backquote stands for one
        }
        name += foreignKey[i];
    }
    return name;
}

} // namespace transfer
