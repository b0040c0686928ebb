#pragma once

#include <QString>

namespace platform {
class Dialogs;
class EventYield;
} // namespace platform
namespace sides {
class TableList;
}

namespace tableops {

// Replaces the list with the tables of the database the connection string names, exactly as
// the server spells them. Failures are reported with the listing's own location.
void addTablesToMySQLList(sides::TableList &list, const QString &connectionString, platform::Dialogs &dialogs,
                          platform::EventYield &yield);

// Whether the connection string leads to a working login. Says nothing either way.
bool canConnectToMySQL(const QString &connectionString, platform::EventYield *yield = nullptr);

} // namespace tableops
