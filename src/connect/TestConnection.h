#pragma once

#include "connect/ConnectionProfile.h"

#include <QString>

class PointerControl;
namespace platform {
class Dialogs;
class EventYield;
}

inline const QString ConnectionSuccessful = QStringLiteral("Connection successful.");
inline const QString CouldNotConnect = QStringLiteral(
    "Could not connect. Please check with your administrator. Make sure you are allowed to connect to your "
    "database remotely and not just through web-based control panels.");

// "Test Connection": logs in with the profile and says whether that worked.
// Returns true when it connected.
bool testConnection(const ConnectionProfile &profile, const QString &location, platform::Dialogs &dialogs,
                    platform::EventYield &yield, PointerControl &pointer);
