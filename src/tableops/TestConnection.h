#pragma once

#include "sides/ConnectionProfile.h"

#include <QString>

namespace platform {
class Dialogs;
class EventYield;
} // namespace platform
namespace app {
class PointerControl;
}

namespace tableops {

inline const QString ConnectionSuccessful = QStringLiteral("Connection successful.");
inline const QString CouldNotConnect = QStringLiteral(
    "Could not connect. Please check with your administrator. Make sure you are allowed to connect to your "
    "database remotely and not just through web-based control panels.");

// "Test Connection": logs in with the profile and says whether that worked.
// Returns true when it connected.
bool testConnection(const sides::ConnectionProfile &profile, const QString &location, platform::Dialogs &dialogs,
                    platform::EventYield &yield, app::PointerControl &pointer);

} // namespace tableops
