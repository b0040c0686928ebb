#pragma once

#include "sides/ConnectionProfile.h"

#include <QString>

namespace platform {
class Dialogs;
class EventYield;
} // namespace platform
namespace sides {
class TableList;
}

namespace tableops {

// Replaces the list with the tables of the database the login names, exactly as the server
// spells them. Failures are reported with the listing's own location.
void addTablesToMySQLList(sides::TableList &list, const sides::ConnectionProfile &profile, platform::Dialogs &dialogs,
                          platform::EventYield &yield);

// Whether the login works. Says nothing either way.
bool canConnectToMySQL(const sides::ConnectionProfile &profile, platform::EventYield *yield = nullptr);

} // namespace tableops
