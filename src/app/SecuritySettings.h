#pragma once

#include "platform/ConnectionSecurity.h"

#include <QString>

namespace app {

class SettingsStore;

// One side's connection security, kept under keys of its own beside the ten login values
// ("MySslMode", "MySslCa", … and "MySslMode2", … for side #2).
struct SideSecurity {
    platform::ConnectionSecurity connection;
    bool passwordInKeyring = false;
};

SideSecurity readSideSecurity(const SettingsStore &store, int side);
void writeSideSecurity(SettingsStore &store, int side, const SideSecurity &security);

// The names the settings file and the dialog give each mode.
QString modeName(platform::ConnectionSecurity::Mode mode);
platform::ConnectionSecurity::Mode modeFromName(const QString &name);

} // namespace app
